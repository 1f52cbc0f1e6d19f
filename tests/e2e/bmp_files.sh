#!/usr/bin/env bash
# shellcheck disable=SC2086  # rectangles ("X Y W H") are handed on as four words
# BMP files through the whole programs on the simulated cards, as a person uses them.
# Solvane: Capture Shot, then File > Save As ... with "shot" typed into the file dialog writes
# shot.bmp, a 24-bit BMP file as large as the picture (the size the title shows) that holds
# exactly what the view shows, the simulated picture of card 1. View > Open Serials... on
# seq1.bmp shows that file, and each click in the view the next file of the sequence; after the
# last one (a missing file leaves the picture) it starts again at seq1.bmp.
# Hexmont with two cards: Snap Shot fills the static memory and View > Save Serials... with "ser"
# writes ser<card>_<frame>.bmp for every frame each card stored, each a BMP file of its card.
set -euo pipefail
# Absolute paths: the programs run in a folder of their own.
hexmont=$(realpath "$1")
solvane=$(realpath "$2")
render=$(realpath "$3")
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
e2e_start
e2e_need identify imagemagick
/usr/bin/python3 -c "import PIL" 2>/dev/null || e2e_fail "PIL (python3-pil) is needed"

# The file dialogs open in the programs' working folder.
files="$E2E_WORK/files"
mkdir -p "$files"
cd "$files"
# The simulator's own rendering of each card's picture; its top-left corner names the card.
"$render" "$E2E_WORK/card1.bmp" card=1 >/dev/null
"$render" "$E2E_WORK/card2.bmp" card=2 >/dev/null
label="0 0 250 28"

# ---- Solvane: Capture Shot saved with File > Save As ... ----
# The program's pid: e2e_launch sets it.
declare program
e2e_launch program "$solvane"
window=$(e2e_window "$program" "Quarn Performance .*") || e2e_fail "solvane showed no main window"
# Solvane stays where it opens, at the top-left corner, clear of the dialogs at the right edge.
e2e_geometry "$window"
wx=$gx wy=$gy
e2e_keys "$window" ctrl+2
corner=$(e2e_until "Capture Shot shows no picture of card 1" e2e_fresh shot \
  e2e_find "$E2E_WORK/card1.bmp" $label $wx $wy $((wx + 20)) $((wy + 60)))
read -r vx vy <<<"$corner"
[[ $(xdotool getwindowname "$window") =~ \[([0-9]+)\ x\ ([0-9]+)\] ]] ||
  e2e_fail "the title names no picture size: $(xdotool getwindowname "$window")"
width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}

# Save As ... is the second item of the File menu; the file dialog adds ".bmp" to the name typed.
e2e_menu "$window" alt+f Down Return
dialog=$(e2e_dialog "$program" "Save As") || e2e_fail "File > Save As ... showed no file dialog"
e2e_type "$dialog" shot
e2e_screenshot solvane_save_as
e2e_keys "$dialog" Return
e2e_no_window "$program" "Save As" || e2e_fail "the file dialog did not close with Return"

# ---- Solvane: Open Serials on three files that look nothing alike ----
/usr/bin/python3 - <<'EOF'
from PIL import Image, ImageDraw
for number, colour in enumerate([(200, 40, 40), (40, 160, 60), (50, 70, 210)], 1):
    picture = Image.new("RGB", (320, 240), colour)
    for i in range(number):  # as many white squares as the file's number
        ImageDraw.Draw(picture).rectangle([20 + 60 * i, 20, 60 + 60 * i, 60], fill="white")
    picture.save(f"seq{number}.bmp")
EOF
# Open Serials... is the View menu's last item: Up from the first one reaches it.
e2e_menu "$window" alt+v Up Return
dialog=$(e2e_dialog "$program" "Open") || e2e_fail "View > Open Serials... showed no file dialog"
e2e_type "$dialog" seq1.bmp
e2e_keys "$dialog" Return
e2e_no_window "$program" "Open" || e2e_fail "the file dialog did not close with Return"
# shows_file N: the view shows seqN.bmp (its top-left part) at the picture's corner.
shows_file() {
  e2e_until "playback does not show seq$1.bmp" \
    e2e_fresh "step$1" e2e_shows "$files/seq$1.bmp" 0 0 300 220 "$vx" "$vy"
  e2e_screenshot "solvane_open_serials_$1"
}
# click_view: a click in the view, each a little further right.
clicks=0
click_view() {
  clicks=$((clicks + 1))
  e2e_click $((vx + 100 + clicks * 10)) $((vy + 150))
}
shows_file 1
click_view
shows_file 2
click_view
shows_file 3
# The fourth click finds no seq4.bmp and keeps seq3.bmp; the fifth starts again at seq1.bmp.
click_view
click_view
shows_file 1
e2e_close "$program" "$window" solvane

# shot.bmp: a 24-bit BMP file of the picture's size, exactly the picture shown; its colour bars
# (below the moving box) and its top-left corner are the simulator's picture of card 1.
read -r format w h < <(identify -format '%m %w %h\n' shot.bmp 2>/dev/null) ||
  e2e_fail "shot.bmp is no image file: $(ls)"
[[ "$format $w $h" == "BMP3 $width $height" ]] ||
  e2e_fail "shot.bmp is a $format file of ${w}x$h, not a BMP file of ${width}x$height"
e2e_shows shot "$files/shot.bmp" 0 0 "$width" "$height" "$vx" "$vy" ||
  e2e_fail "shot.bmp differs from the picture shown"
/usr/bin/python3 - shot.bmp "$E2E_WORK/card1.bmp" <<'EOF' || e2e_fail "shot.bmp is not the picture of card 1"
import sys
from PIL import Image
shot, card = Image.open(sys.argv[1]), Image.open(sys.argv[2])
bits = open(sys.argv[1], "rb").read(30)[28]
if shot.format != "BMP" or shot.mode != "RGB" or bits != 24:
    sys.exit(f"shot.bmp: {shot.format} {shot.mode}, {bits} bits a pixel")
for box in [(0, 0, 250, 28), (0, 170, shot.width, 300)]:
    if shot.crop(box).tobytes() != card.crop(box).tobytes():
        sys.exit(f"shot.bmp's rectangle {box} is not the simulated picture's")
EOF

# ---- Hexmont: Snap Shot of two cards saved with View > Save Serials... ----
QUARN_SIM_CARDS=2 QUARN_SIM_PACING=0 e2e_launch program "$hexmont"
window=$(e2e_window "$program" "Quarn Multi Performance") || e2e_fail "hexmont showed no main window"
e2e_place "$window" 0 0 800 600
e2e_keys "$window" ctrl+4
notice=$(e2e_dialog "$program" Notice) || e2e_fail "Snap Shot showed no \"Notice\" box"
e2e_keys "$notice" Return
e2e_no_window "$program" Notice || e2e_fail "the \"Notice\" box did not close"
# Save Serials... is the View menu's eighth item, every one above it enabled when idle.
e2e_menu "$window" alt+v Down Down Down Down Down Down Down Return
dialog=$(e2e_dialog "$program" "Save As") || e2e_fail "View > Save Serials... showed no file dialog"
e2e_type "$dialog" ser
e2e_keys "$dialog" Return
e2e_no_window "$program" "Save As" || e2e_fail "the file dialog did not close with Return"
# File > Exit runs after the files are written.
e2e_close "$program" "$window" hexmont

# Every card stores as many frames of its cell's size (24 bits a pixel) as fit together into the
# static memory (its pages in the simulator's reservation record).
read -r w h < <(identify -format '%w %h\n' ser1_1.bmp 2>/dev/null) || e2e_fail "no ser1_1.bmp: $(ls)"
pages=$(sed -n 's/^pages //p' "$QUARN_SIM_STATE_DIR/reservation")
count=$((pages * 4096 / (2 * w * h * 3)))
((count >= 2)) || e2e_fail "$pages pages hold only $count frames of ${w}x$h for each card"
expected=$(for card in 1 2; do for frame in $(seq "$count"); do
  echo "ser${card}_$frame.bmp BMP3 $w $h"
done; done | sort)
found=$(identify -format '%f %m %w %h\n' ser*.bmp 2>&1 | sort)
[[ $found == "$expected" ]] || e2e_fail "Save Serials did not write $((2 * count)) BMP files of" \
  "${w}x$h: $(diff <(echo "$expected") <(echo "$found") | head)"
# Each card's files show that card's picture, and its frames differ (the frame counter moves).
/usr/bin/python3 - "$count" "$E2E_WORK" <<'EOF' || e2e_fail "the serial files do not hold their cards' frames"
import sys
from PIL import Image
count, folder = int(sys.argv[1]), sys.argv[2]
for card in (1, 2):
    label = Image.open(f"{folder}/card{card}.bmp").crop((0, 0, 250, 28)).tobytes()
    frames = [Image.open(f"ser{card}_{n}.bmp") for n in range(1, count + 1)]
    if any(frame.crop((0, 0, 250, 28)).tobytes() != label for frame in frames):
        sys.exit(f"a file of card {card} does not show card {card}")
    if len({frame.tobytes() for frame in frames}) < 2:
        sys.exit(f"the files of card {card} all hold the same frame")
EOF
echo "3 passed, 0 failed"
