# shellcheck shell=bash
# lib.sh - helpers for the whole-pipeline checks of the GStreamer plugin: the whole-program checks'
# helpers (tests/e2e/lib.sh: a private X display and state folders, waiting for conditions,
# failures that show the logs), GStreamer told of the build's plugin, and the pipelines the
# README's "GStreamer" section prints, read from it, so that the checks run what it shows.

# shellcheck source=../e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
GST_README="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/README.md"

# gst_start: e2e_start, a registry cache of GStreamer's own unless one is named (ctest names one
# in the build folder), and the check that GStreamer finds quarnsrc where GST_PLUGIN_PATH says
# (ctest sets it to the build's gst/ folder). The pipelines then run in $E2E_WORK/files, at the
# standard's frame rate.
gst_start() {
  e2e_start
  e2e_need gst-launch-1.0 gstreamer1.0-tools
  [[ -n ${GST_PLUGIN_PATH:-} ]] || e2e_fail "GST_PLUGIN_PATH names no folder with the plugin"
  export GST_REGISTRY=${GST_REGISTRY:-$E2E_WORK/gst-registry.bin}
  export QUARN_SIM_PACING=1
  gst-inspect-1.0 quarnsrc >/dev/null 2>&1 ||
    e2e_fail "GStreamer finds no quarnsrc in $GST_PLUGIN_PATH"
  mkdir -p "$E2E_WORK/files"
  cd "$E2E_WORK/files" || e2e_fail "no folder for the pipelines' files"
}

# gst_readme_commands: every gst-launch-1.0 command in the code blocks of the README's
# "GStreamer" section, one a line (continued lines joined).
gst_readme_commands() {
  awk '
    /^## / { section = ($0 == "## GStreamer") }
    !section { next }
    /^```/ { block = !block; command = ""; next }
    !block { next }
    {
      line = $0
      if (sub(/\\$/, "", line)) { command = command line; next }
      command = command line
      if (command ~ /^gst-launch-1\.0 /) print command
      command = ""
    }' "$GST_README"
}

# gst_readme TEXT: prints the one command of gst_readme_commands that contains TEXT; fails unless
# there is exactly one.
gst_readme() {
  local found
  found=$(gst_readme_commands | grep -F -- "$1") ||
    e2e_fail "the README's GStreamer section shows no pipeline with \"$1\""
  (($(wc -l <<<"$found") == 1)) ||
    e2e_fail "the README's GStreamer section shows several pipelines with \"$1\": $found"
  echo "$found"
}

# gst_replace TEXT OLD NEW: TEXT with its first OLD replaced by NEW; fails when TEXT has no OLD
# (the README's pipeline has changed under the check).
gst_replace() {
  [[ $1 == *"$2"* ]] || e2e_fail "the pipeline has no \"$2\": $1"
  echo "${1/"$2"/"$3"}"
}

# gst_run LOG COMMAND: runs the shell command COMMAND (a pipeline as printed) in the current folder,
# its output in $E2E_WORK/LOG.log, for at most two minutes; fails when it does not end with
# status 0.
gst_run() {
  timeout 120 bash -c "$2" >"$E2E_WORK/$1.log" 2>&1 ||
    e2e_fail "the pipeline failed (status $?): $2"
}
