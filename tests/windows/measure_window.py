#!/usr/bin/env python3
"""Measures a screenshot of Quillan's window from outside.

Usage: measure_window.py SHOT.pgm SCALE
SHOT is the window's client area in grey (ImageMagick: import -window ID,
then convert to PGM); SCALE is DPI/96. Prints "row N" (pixel height of a
row of the check-list box, from the spacing of its check-mark boxes) and
"text WxH" (ink of the "Keep Quillan Open" caption).
"""
import sys


def read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields, pos = [], 0
    while len(fields) < 4:  # magic, width, height, maxval; no comments from convert
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    if fields[0] != b"P5" or int(fields[3]) > 255:
        raise SystemExit("not an 8-bit PGM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + width * height]
    return width, height, pixels


def row_height(width, height, px, scale):
    """Most common distance between the tops of the check-mark boxes."""
    # The list box of the layout: left 12, top 141 + 8 (96-DPI units); the
    # boxes are 13 high. Their left edges make the column with the most
    # dark runs of about that length.
    left, top = round(12 * scale), round(149 * scale)
    box = 13 * scale
    best = []
    for x in range(left, min(width, left + round(30 * scale))):
        starts, run = [], 0
        for y in range(top, height + 1):
            if y < height and px[y * width + x] < 160:
                run += 1
                continue
            if 0.6 * box <= run <= 1.3 * box:
                starts.append(y - run)
            run = 0
        if len(starts) > len(best):
            best = starts
    gaps = [b - a for a, b in zip(best, best[1:])]
    if len(gaps) < 2:
        raise SystemExit("no check-mark boxes found in the list")
    return max(set(gaps), key=gaps.count)


def caption_ink(width, px, scale):
    """Ink box of the check box's caption, right of its check-mark box."""
    # CheckBoxKeepOpen: left 14, top 39, 148 x 21; its box and gap take ~17.
    x0, y0 = round((14 + 17) * scale), round(39 * scale)
    x1, y1 = round((14 + 148) * scale), round((39 + 21) * scale)
    xs, ys = [], []
    for y in range(y0, y1):
        for x in range(x0, x1):
            if px[y * width + x] < 100:
                xs.append(x)
                ys.append(y)
    if not xs:
        raise SystemExit("no caption ink found")
    return max(xs) - min(xs) + 1, max(ys) - min(ys) + 1


def main():
    width, height, px = read_pgm(sys.argv[1])
    scale = float(sys.argv[2])
    print("row", row_height(width, height, px, scale))
    w, h = caption_ink(width, px, scale)
    print("text %dx%d" % (w, h))


if __name__ == "__main__":
    main()
