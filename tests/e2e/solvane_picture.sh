#!/usr/bin/env bash
# Rectangles ("X Y W H") are handed on as four words; e2e_launch sets the variable it is named.
# shellcheck disable=SC2086,SC2154
# Solvane's picture after an unusual BMP file, on the simulated card, as a person uses it: File >
# Open... of an 8-bit BMP file whose header claims RLE8 compression, then Capture Shot: the view
# shows the picture of card 1, and File > Save As ... writes it as a BMP file that ImageMagick
# reads, uncompressed. Then with Snap running File > Open... is greyed (the keyboard passes over
# it to Save As ...), and Save As ... writes the frame being shown as a whole BMP file. Last,
# Snap Shot and View > Save Serials... write every stored frame as a BMP file of card 1.
set -euo pipefail
solvane=$(realpath "$1")
render=$(realpath "$2")
source "$(dirname "$0")/lib.sh"
e2e_start
command -v xwd >/dev/null || e2e_fail "xwd (x11-apps) is needed"
command -v identify >/dev/null || e2e_fail "identify (imagemagick) is needed"
/usr/bin/python3 -c "import PIL" 2>/dev/null || e2e_fail "PIL (python3-pil) is needed"

# The file dialogs open in the program's working folder.
files="$E2E_WORK/files"
mkdir -p "$files"
cd "$files"
# The simulator's own rendering of card 1's picture; its top-left corner names the card.
"$render" "$E2E_WORK/card1.bmp" card=1 >/dev/null
label="0 0 250 28"

# An 8-bit, 40 x 30 BMP file whose rows are plain but whose header says RLE8 (compression 1),
# with 16 colours used, resolutions and an image size: the reader takes such a header as it is.
/usr/bin/python3 - <<'EOF'
import struct
width, height = 40, 30
rows = bytes([7] * width) * height
palette = b"".join(struct.pack("<BBBB", 0, 0, 255, 0) for _ in range(256))
info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(rows), 2835, 2835, 16, 16)
offset = 14 + len(info) + len(palette)
header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
open("rle8.bmp", "wb").write(header + info + palette + rows)
EOF

# The card stores frames unpaced, so Snap Shot takes a moment rather than seconds.
QUARN_SIM_PACING=0 e2e_launch program "$solvane"
window=$(e2e_window "$program" "Quarn Performance .*") || e2e_fail "solvane showed no main window"
e2e_geometry "$window"
wx=$gx wy=$gy

# File > Open... is the File menu's first item.
e2e_menu "$window" alt+f Return
dialog=$(e2e_dialog "$program" "Open") || e2e_fail "File > Open... showed no file dialog"
e2e_type "$dialog" rle8.bmp
e2e_keys "$dialog" Return
e2e_no_window "$program" "Open" || e2e_fail "the file dialog did not close with Return"

# Capture Shot shows the picture of card 1, not a blank view.
e2e_keys "$window" ctrl+2
corner=$(e2e_until "Capture Shot after the RLE8 file shows no picture of card 1" e2e_fresh shot \
  e2e_find "$E2E_WORK/card1.bmp" $label $wx $wy $((wx + 20)) $((wy + 60)))
read -r vx vy <<<"$corner"
e2e_screenshot solvane_shot_after_rle8
[[ $(xdotool getwindowname "$window") =~ \[([0-9]+)\ x\ ([0-9]+)\] ]] ||
  e2e_fail "the title names no picture size: $(xdotool getwindowname "$window")"
width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}

# File > Save As ... (the second item) writes it.
e2e_menu "$window" alt+f Down Return
dialog=$(e2e_dialog "$program" "Save As") || e2e_fail "File > Save As ... showed no file dialog"
e2e_type "$dialog" shot
e2e_keys "$dialog" Return
e2e_no_window "$program" "Save As" || e2e_fail "the file dialog did not close with Return"

# Snap: the view shows the moving picture of card 1.
e2e_keys "$window" ctrl+3
e2e_until "Snap shows no picture of card 1" e2e_fresh snap \
  e2e_shows "$E2E_WORK/card1.bmp" $label "$vx" "$vy"
snap_title=$(xdotool getwindowname "$window")
# The keyboard walks the enabled items only: with Open... greyed, the File menu's first item
# reached is Save As ..., whose dialog opens.
e2e_menu "$window" alt+f Return
dialog=$(e2e_dialog "$program" "Save As|Open") || e2e_fail "the File menu's first item opened nothing"
[[ $(xdotool getwindowname "$dialog") == "Save As" ]] ||
  e2e_fail "with Snap running File > Open... is not greyed"
e2e_type "$dialog" snap
e2e_keys "$dialog" Return
e2e_no_window "$program" "Save As" || e2e_fail "the file dialog did not close with Return"
e2e_keys "$window" ctrl+3

# Snap Shot fills static memory with frames; Save Serials... (the View menu's next to last item)
# writes them as ser1.bmp, ser2.bmp, ...
e2e_keys "$window" ctrl+4
notice=$(e2e_dialog "$program" Notice) || e2e_fail "Snap Shot showed no \"Notice\" box"
e2e_keys "$notice" Return
e2e_no_window "$program" Notice || e2e_fail "the \"Notice\" box did not close"
e2e_menu "$window" alt+v Up Up Return
dialog=$(e2e_dialog "$program" "Save As") || e2e_fail "View > Save Serials... showed no file dialog"
e2e_type "$dialog" ser
e2e_keys "$dialog" Return
e2e_no_window "$program" "Save As" || e2e_fail "the file dialog did not close with Return"
e2e_close "$program" "$window" solvane

# shot.bmp: a BMP file ImageMagick reads, uncompressed, of the picture's size, showing exactly
# what the view showed.
read -r format compression w h < <(identify -format '%m %C %w %h\n' shot.bmp 2>/dev/null) ||
  e2e_fail "ImageMagick does not read shot.bmp: $(identify shot.bmp 2>&1 | head -n 3)"
[[ "$format $compression $w $h" == "BMP3 None $width $height" ]] ||
  e2e_fail "shot.bmp is a $format file ($compression) of ${w}x$h, not an uncompressed BMP" \
    "file of ${width}x$height"
e2e_shows shot "$files/shot.bmp" 0 0 "$width" "$height" "$vx" "$vy" ||
  e2e_fail "shot.bmp differs from the picture shown"

# snap.bmp: a 24-bit BMP file of the snap's frame size, a frame of card 1.
[[ $snap_title =~ \[([0-9]+)\ x\ ([0-9]+)\] ]] || e2e_fail "the title names no size: $snap_title"
width=${BASH_REMATCH[1]} height=${BASH_REMATCH[2]}
read -r format compression w h < <(identify -format '%m %C %w %h\n' snap.bmp 2>/dev/null) ||
  e2e_fail "ImageMagick does not read snap.bmp: $(identify snap.bmp 2>&1 | head -n 3)"
[[ "$format $compression $w $h" == "BMP3 None $width $height" ]] ||
  e2e_fail "snap.bmp is a $format file ($compression) of ${w}x$h, not an uncompressed BMP" \
    "file of ${width}x$height"
/usr/bin/python3 - snap.bmp "$E2E_WORK/card1.bmp" <<'EOF' || e2e_fail "snap.bmp is no frame of card 1"
import sys
from PIL import Image
snap, card = Image.open(sys.argv[1]), Image.open(sys.argv[2])
bits = open(sys.argv[1], "rb").read(30)[28]
if snap.mode != "RGB" or bits != 24:
    sys.exit(f"snap.bmp: {snap.mode}, {bits} bits a pixel")
if snap.crop((0, 0, 250, 28)).tobytes() != card.crop((0, 0, 250, 28)).tobytes():
    sys.exit("snap.bmp's top-left corner does not name card 1")
EOF

# ser<n>.bmp: every stored frame, an uncompressed BMP file of the frame size showing card 1, and
# not all the same frame.
count=$(find . -maxdepth 1 -name 'ser*.bmp' | wc -l)
((count >= 2)) || e2e_fail "Save Serials wrote $count files: $(ls)"
expected=$(for n in $(seq "$count"); do echo "ser$n.bmp BMP3 None $width $height"; done | sort)
found=$(identify -format '%f %m %C %w %h\n' ser*.bmp 2>&1 | sort)
[[ $found == "$expected" ]] || e2e_fail "Save Serials did not write $count BMP files of" \
  "${width}x$height: $(diff <(echo "$expected") <(echo "$found") | head)"
/usr/bin/python3 - "$count" "$E2E_WORK/card1.bmp" <<'EOF' || e2e_fail "the serial files are not frames of card 1"
import sys
from PIL import Image
count, label = int(sys.argv[1]), Image.open(sys.argv[2]).crop((0, 0, 250, 28)).tobytes()
frames = [Image.open(f"ser{n}.bmp") for n in range(1, count + 1)]
if any(frame.crop((0, 0, 250, 28)).tobytes() != label for frame in frames):
    sys.exit("a file does not show card 1")
if len({frame.tobytes() for frame in frames}) < 2:
    sys.exit("the files all hold the same frame")
EOF
echo "3 passed, 0 failed"
