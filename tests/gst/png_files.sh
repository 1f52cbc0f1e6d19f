#!/usr/bin/env bash
# The README's pipeline that saves numbered PNG files, as printed: it writes as many files as it
# sets num-buffers, numbered from 0, each a 768 x 576 RGB picture of the card it names. The
# simulator renders each card's picture itself (quarnsim_render); the parts of it that do not move,
# the "CARD n VIDEO 1" label at the top-left corner and the colour bars, must be in every file,
# and the label must match that card's better than any other card's.
#   png_files.sh QUARNSIM_RENDER
set -euo pipefail
render=$(realpath "$1")
# shellcheck source=lib.sh
source "$(dirname "$0")/lib.sh"
gst_start
/usr/bin/python3 -c "import PIL" 2>/dev/null || e2e_fail "PIL (python3-pil) is needed"

pipeline=$(gst_readme pngenc)
[[ $pipeline =~ quarnsrc\ card=([0-9]+) ]] || e2e_fail "the PNG pipeline names no card"
card=${BASH_REMATCH[1]}
[[ $pipeline =~ num-buffers=([0-9]+) ]] || e2e_fail "the PNG pipeline sets no num-buffers"
frames=${BASH_REMATCH[1]}
[[ $pipeline =~ location=([^ ]+) ]] || e2e_fail "the PNG pipeline names no files"
pattern=${BASH_REMATCH[1]}
gst_run png "$pipeline"

# The simulator's picture of each of the four cards.
for n in 1 2 3 4; do "$render" "$E2E_WORK/card$n.bmp" card="$n" >/dev/null; done
/usr/bin/python3 - "$E2E_WORK" "$card" "$frames" "$pattern" <<'PY' || e2e_fail "the PNG files are not pictures of card $card"
import os
import sys
from PIL import Image

work, card, frames, pattern = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
label, bars = (0, 0, 250, 28), (0, 170, 768, 300)
cards = {n: Image.open(f"{work}/card{n}.bmp").convert("RGB") for n in range(1, 5)}


def off(picture, reference, box):
    """Pixels of box where a colour differs by more than 32 (the YUV round trip's edges differ
    by less, except where chroma is shared across a sharp edge)."""
    a, b = picture.crop(box).getdata(), reference.crop(box).getdata()
    return sum(1 for p, q in zip(a, b) if max(abs(x - y) for x, y in zip(p, q)) > 32)


names = sorted(os.listdir("."))
expected = sorted(pattern % i for i in range(frames))
if names != expected:
    sys.exit(f"{len(names)} files ({names[:3]} ...), not {frames} named {expected[0]} ...")
for name in names:
    picture = Image.open(name)
    if picture.format != "PNG" or picture.mode != "RGB" or picture.size != (768, 576):
        sys.exit(f"{name}: {picture.format} {picture.mode} {picture.size}")
    labels = {n: off(picture, reference, label) for n, reference in cards.items()}
    area = (label[2] - label[0]) * (label[3] - label[1])
    if labels[card] > area // 100 or any(labels[n] <= labels[card] for n in labels if n != card):
        sys.exit(f"{name}: label pixels off from each card's picture: {labels}")
    area = (bars[2] - bars[0]) * (bars[3] - bars[1])
    if (bars_off := off(picture, cards[card], bars)) > area * 3 // 100:
        sys.exit(f"{name}: {bars_off} of the colour bars' {area} pixels are off")
print(f"{frames} PNG files of card {card}; label pixels off in the last: {labels}")
PY
echo "1 passed, 0 failed"
