#!/usr/bin/env bash
# gst-device-monitor-1.0 lists the simulated cards through the plugin file, with a private
# registry and simulator state: each card with its type and a launch line for its quarnsrc, a
# card another user holds as in use; no cards list none.
#   device_monitor.sh PLUGIN_DIR
set -euo pipefail
# shellcheck source=../e2e/lib.sh
source "$(dirname "$0")/../e2e/lib.sh"
e2e_need gst-device-monitor-1.0 gstreamer1.0-tools
E2E_WORK=$(mktemp -d)
trap 'rm -rf "$E2E_WORK"' EXIT
export GST_PLUGIN_PATH=$1 GST_REGISTRY_1_0=$E2E_WORK/registry.bin
export QUARN_SIM_STATE_DIR=$E2E_WORK/sim QUARN_SIM_CARD_TYPES=0,2
mkdir -p "$QUARN_SIM_STATE_DIR"

# monitor LOG: the Video/Source devices, into $E2E_WORK/LOG.log.
monitor() {
  gst-device-monitor-1.0 Video/Source >"$E2E_WORK/$1.log" 2>&1 ||
    e2e_fail "gst-device-monitor-1.0 failed"
}

# Three cards, card 2 held by another user.
QUARN_SIM_CARDS=3 QUARN_SIM_FAIL='BeginQuarnCard@2=-6' monitor three
names=$(sed -n 's/^[[:space:]]*name *: //p' "$E2E_WORK/three.log")
expected=$'Quarn card 1 (type 0)\nQuarn card 2 (in use)\nQuarn card 3 (type 2)'
[[ $names == "$expected" ]] || e2e_fail "devices listed: [$names], expected [$expected]"
for card in 2 3; do
  grep -q "gst-launch-1.0 quarnsrc card=$card !" "$E2E_WORK/three.log" ||
    e2e_fail "no launch line for card $card"
done
grep -q 'format=YUY2, width=768, height=576' "$E2E_WORK/three.log" ||
  e2e_fail "the caps lack PAL YUY2"

QUARN_SIM_CARDS=0 monitor none
if grep -q 'Quarn card' "$E2E_WORK/none.log"; then e2e_fail "cards listed without any card"; fi
echo "PASS"
