#!/usr/bin/env bash
# Ctrl+S over an existing BMP file, through the whole programs on the simulated cards, as a person
# would press it: whatever dialog Ctrl+S brings up is answered with that file, and Yes when asked
# to replace it. In hexmont Ctrl+S brings up nothing and the file keeps its bytes; in solvane,
# after Capture Shot, Ctrl+S is File > Save As ... and the file becomes a BMP file of the picture.
# (Ctrl+S used to run the stock document save, which wrote an empty file over the one chosen.)
set -euo pipefail
# Absolute paths: the programs run in a folder of their own.
hexmont=$(realpath "$1")
solvane=$(realpath "$2")
source "$(dirname "$0")/lib.sh"
e2e_start
command -v identify >/dev/null || e2e_fail "identify (imagemagick) is needed"
/usr/bin/python3 -c "import PIL" 2>/dev/null || e2e_fail "PIL (python3-pil) is needed"

# The file dialogs open in the programs' working folder.
files="$E2E_WORK/files"
mkdir -p "$files"
cd "$files"
program=""

# fresh_file: old.bmp, a small BMP file of its own, and a copy of it to compare with.
fresh_file() {
  /usr/bin/python3 -c 'from PIL import Image; Image.new("RGB", (20, 12), (90, 30, 160)).save("old.bmp")'
  cp old.bmp "$E2E_WORK/old.bmp"
}

# ctrl_s WINDOW NAME: presses Ctrl+S in the main window WINDOW, then Alt+F. The first window that
# opens tells what Ctrl+S did: a file dialog ("Save As") is answered with old.bmp and Yes to
# replace it; the File menu (Ctrl+S brought up nothing, so Alt+F reached the main window) is
# closed again with Escape.
ctrl_s() {
  local window=$1 popup box deadline
  e2e_keys "$window" ctrl+s alt+f
  popup=$(e2e_popup "$program" "$window") || e2e_fail "$2: neither a dialog nor the File menu opened"
  if [[ $(xdotool getwindowname "$popup") != "Save As" ]]; then
    e2e_press Escape
    e2e_until "$2: the File menu did not close" only_main_window "$window"
    return 0
  fi
  # Alt+F may have typed an "f" into the file name: the whole name is typed anew.
  e2e_keys "$popup" ctrl+a
  e2e_type "$popup" old.bmp
  e2e_keys "$popup" Return
  # The dialog asks in a box of its own before it replaces the file.
  deadline=$((SECONDS + E2E_WAIT))
  while :; do
    box=$(xdotool search --all --onlyvisible --pid "$program" --name '.*' 2>/dev/null |
      grep -vx -e "$window" -e "$popup" | head -n 1 || true)
    if [[ -n $box ]]; then
      e2e_keys "$box" alt+y
      break
    fi
    only_main_window "$window" && break
    ((SECONDS < deadline)) || e2e_fail "$2: the file dialog neither asked nor closed"
    sleep 0.1
  done
  e2e_no_window "$program" "Save As" || e2e_fail "$2: the file dialog did not close"
}

# only_main_window WINDOW: the program shows no window but its main window WINDOW.
only_main_window() {
  [[ -z $(xdotool search --all --onlyvisible --pid "$program" --name '.*' 2>/dev/null |
    grep -vx "$1" || true) ]]
}

# ---- Hexmont: Ctrl+S writes nothing ----
fresh_file
e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Quarn Multi Performance") || e2e_fail "hexmont showed no main window"
ctrl_s "$window" hexmont
e2e_responds "$program" "$window" hexmont
e2e_close "$program" "$window" hexmont
cmp -s old.bmp "$E2E_WORK/old.bmp" ||
  e2e_fail "hexmont's Ctrl+S changed old.bmp to $(stat -c %s old.bmp) bytes"

# ---- Solvane: Ctrl+S after Capture Shot writes the picture ----
fresh_file
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Quarn Performance .*") || e2e_fail "solvane showed no main window"
e2e_keys "$window" ctrl+2
ctrl_s "$window" solvane
e2e_responds "$program" "$window" solvane
# The title names the size of the picture Capture Shot took.
[[ $(xdotool getwindowname "$window") =~ \[([0-9]+)\ x\ ([0-9]+)\] ]] ||
  e2e_fail "the title names no picture size: $(xdotool getwindowname "$window")"
width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}
e2e_close "$program" "$window" solvane
read -r format w h < <(identify -format '%m %w %h\n' old.bmp 2>/dev/null) ||
  e2e_fail "solvane's Ctrl+S left old.bmp no image file ($(stat -c %s old.bmp) bytes)"
[[ "$format $w $h" == "BMP3 $width $height" ]] ||
  e2e_fail "old.bmp is a $format file of ${w}x$h, not a BMP file of the picture's ${width}x$height"
[[ $(ls -A) == old.bmp ]] || e2e_fail "files besides old.bmp: $(ls -A)"
echo "2 passed, 0 failed"
