#!/usr/bin/env python3
"""Which simulated card's picture a rectangle of an image shows, at any scale.

  cards.py IMAGE X Y W H CARD.bmp...

Each CARD.bmp (the simulator's own rendering, quarnsim_render, of card 1, 2, ...) is scaled to
W x H and compared with the rectangle over the parts of the picture that do not move and tell the
cards apart: the "CARD n VIDEO 1" label at the top-left corner and the card's coloured square.
Prints the number (1-based, in the order given) of the card that matches best and the mean
difference from each card; fails when even the best differs by more than a picture converted
between YUV and RGB and scaled does.
"""
import sys

from PIL import Image, ImageChops, ImageStat

# The label and the coloured square in a 768 x 576 picture.
PARTS = [(0, 0, 250, 28), (580, 332, 716, 444)]
MOST = 24


def main():
    image, (x, y, w, h), cards = sys.argv[1], map(int, sys.argv[2:6]), sys.argv[6:]
    shown = Image.open(image).convert("RGB").crop((x, y, x + w, y + h))
    differences = []
    for card in cards:
        picture = Image.open(card).convert("RGB")
        sx, sy = w / picture.width, h / picture.height
        picture = picture.resize((w, h), Image.BILINEAR)
        total = 0.0
        for left, top, right, bottom in PARTS:
            box = (round(left * sx), round(top * sy), round(right * sx), round(bottom * sy))
            diff = ImageChops.difference(shown.crop(box), picture.crop(box))
            total += sum(ImageStat.Stat(diff).mean) / 3
        differences.append(total / len(PARTS))
    best = min(range(len(cards)), key=differences.__getitem__)
    print(best + 1, " ".join(f"{d:.1f}" for d in differences))
    if differences[best] > MOST:
        sys.exit(f"no card's picture: differences {differences}")


main()
