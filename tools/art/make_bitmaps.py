#!/usr/bin/env python3
"""Draws NebCM's bitmaps as 8-bit .bmp files: the wizard and progress picture and the two image strips.

Usage: make_bitmaps.py OUTPUT_DIR
Writes picture.bmp (the tall strip beside wizard pages and progress rows), drives.bmp (drive, closed
folder, open folder) and extensions.bmp (closed folder, open folder, core, library, component,
application). In the 16x16 strips pure white is the transparent colour, so it is used nowhere else.
"""
import math
import os
import struct
import sys

# ---------------------------------------------------------------------------------------------
# BMP output


def write_bmp(path, width, height, pixels):
    """pixels: rows top-down of (r, g, b) tuples; written as an 8-bit palettised BMP."""
    colors = sorted({c for row in pixels for c in row})
    if len(colors) > 256:
        colors = median_cut(colors_with_counts(pixels), 256)
    index = {}
    for row in pixels:
        for c in row:
            if c not in index:
                index[c] = nearest(colors, c)
    stride = (width + 3) & ~3
    body = bytearray()
    for row in reversed(pixels):  # bottom-up
        line = bytes(index[c] for c in row)
        body += line + bytes(stride - width)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in colors)
    palette += bytes(4 * (256 - len(colors)))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 0, len(body), 2835, 2835, 256, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(body), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(header + info + palette + bytes(body))


def colors_with_counts(pixels):
    counts = {}
    for row in pixels:
        for c in row:
            counts[c] = counts.get(c, 0) + 1
    return counts


def median_cut(counts, limit):
    """Reduces a colour histogram to at most `limit` colours (weighted box averages)."""
    boxes = [list(counts.items())]
    while len(boxes) < limit:
        # Split the box with the widest channel range that still holds more than one colour.
        best, best_range, best_channel = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                values = [c[ch] for c, _ in box]
                r = max(values) - min(values)
                if r > best_range:
                    best, best_range, best_channel = i, r, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda e: e[0][best_channel])
        total = sum(n for _, n in box)
        half, acc, cut = total / 2, 0, 1
        for k, (_, n) in enumerate(box):
            acc += n
            if acc >= half:
                cut = max(1, min(len(box) - 1, k + 1))
                break
        boxes += [box[:cut], box[cut:]]
    result = []
    for box in boxes:
        total = sum(n for _, n in box)
        result.append(tuple(round(sum(c[ch] * n for c, n in box) / total) for ch in range(3)))
    return sorted(set(result))


def nearest(colors, c):
    return min(range(len(colors)), key=lambda i: sum((a - b) ** 2 for a, b in zip(colors[i], c)))


# ---------------------------------------------------------------------------------------------
# 16x16 images, drawn pixel by pixel. '.' is white (transparent); every other letter is a colour.

PALETTE = {
    ".": (255, 255, 255),
    "k": (0, 0, 0),
    "d": (64, 64, 64),
    "g": (128, 128, 128),
    "l": (192, 192, 192),
    "w": (240, 240, 240),
    "o": (128, 96, 0),  # folder outline
    "Y": (248, 208, 80),  # folder face
    "h": (255, 240, 168),  # folder highlight
    "s": (200, 152, 32),  # folder shade
    "G": (0, 192, 0),
    "B": (0, 0, 128),
    "b": (40, 96, 208),
    "c": (128, 176, 248),
    "r": (240, 144, 32),
    "R": (176, 32, 32),
    "v": (120, 64, 168),
    "n": (32, 128, 64),
    "N": (16, 80, 40),
    "m": (96, 200, 120),
}

DRIVE = [
    "................",
    "................",
    "................",
    "................",
    "...dddddddddddd.",
    "..dwwwwwwwwwwwgd",
    ".dwllllllllllgd.",
    "ddddddddddddddd.",
    "dwlllllllllllgd.",
    "dllllllllllGGgd.",
    "dgggggggggggggd.",
    "ddddddddddddddk.",
    ".kkkkkkkkkkkkkk.",
    "................",
    "................",
    "................",
]

CLOSED_FOLDER = [
    "................",
    "................",
    "..ooooo.........",
    ".ohhhhho........",
    "ohYYYYYhoooooo..",
    "ohhhhhhhhhhhhho.",
    "ohYYYYYYYYYYYsok",
    "ohYYYYYYYYYYYsok",
    "ohYYYYYYYYYYYsok",
    "ohYYYYYYYYYYYsok",
    "ohYYYYYYYYYYYsok",
    "ohYYYYYYYYYYYsok",
    "osssssssssssssok",
    "oooooooooooooook",
    ".kkkkkkkkkkkkkkk",
    "................",
]

OPEN_FOLDER = [
    "................",
    "................",
    "..ooooo.........",
    ".ohhhhho........",
    "ohYYYYYhoooooo..",
    "ohYYYYYYYYYYYo..",
    "ohYYoooooooooooo",
    "ohYohhhhhhhhhhho",
    "ohohYYYYYYYYYYok",
    "ooohYYYYYYYYYsok",
    "oohYYYYYYYYYYok.",
    "oohYYYYYYYYYsok.",
    "ohsssssssssssok.",
    "ooooooooooooook.",
    ".kkkkkkkkkkkkk..",
    "................",
]

CORE = [
    "................",
    ".....BBBBBB.....",
    "...BBbbbbbbBB...",
    "..BbbccbbbbbbB..",
    "..BbcwcbbbbbbB..",
    "rrrrbcbbbbbbbrrr",
    "rBrrrrbbbbbrrrBr",
    ".Bbbbbrrrrrrbbb.",
    ".BbbbbbbbbbbbbB.",
    "..BbbbbbbbbbbB..",
    "..BBbbbbbbbbBB..",
    "...BBbbbbbbBB...",
    ".....BBBBBB.....",
    "................",
    "................",
    "................",
]

LIBRARY = [
    "................",
    "................",
    "..kkk.kkk.......",
    "..kRk.kbk..kkk..",
    "..kRk.kbk.kvvk..",
    "..khk.kck.kvvk..",
    "..kRk.kbk.kwvvk.",
    "..kRk.kbk..kvvk.",
    "..kRk.kbk..kvvvk",
    "..kRk.kbk...kvvk",
    "..khk.kck...kwvk",
    "..kRk.kbk....kvk",
    "..kRk.kbk....kvk",
    ".dkkkkkkkkkkkkkd",
    ".ddddddddddddddd",
    "................",
]

COMPONENT = [
    "................",
    "................",
    ".......N........",
    ".....NmmmN......",
    "...NmmmmmmmN....",
    ".NmmmmmmmmmmmN..",
    ".NnmmmmmmmmmNN..",
    ".NnnnmmmmmNNNN..",
    ".NnnnnnmNNNNNN..",
    ".NnnnnnnNNNNNN..",
    ".NnnnnnnNNNNNN..",
    ".NnnnnnnNNNNNN..",
    "...NnnnnNNNN....",
    ".....NnnNN......",
    ".......N........",
    "................",
]

APPLICATION = [
    "................",
    "................",
    "kkkkkkkkkkkkkkkk",
    "kBBBBBBBBBBlkldk",
    "kBBBBBBBBBBlkldk",
    "kwwwwwwwwwwwwwlk",
    "kwllllllllllllgk",
    "kwlbbbbl.....lgk",
    "kwlbbbbl.....lgk",
    "kwlbbbbl.....lgk",
    "kwllllllllllllgk",
    "kwlrrrrrrrrr.lgk",
    "kwllllllllllllgk",
    "kggggggggggggggk",
    "kkkkkkkkkkkkkkkk",
    "................",
]


def strip(images):
    rows = []
    for y in range(16):
        row = []
        for image in images:
            assert len(image) == 16 and all(len(r) == 16 for r in image), "16x16 images only"
            row += [PALETTE[ch] for ch in image[y]]
        rows.append(row)
    return rows


# ---------------------------------------------------------------------------------------------
# The picture: a uniform blue border (the dialogs fill any spare height with the corner colour),
# a soft glow, the platform emblem with its orbit, and a stack of three extension blocks.

PICTURE_WIDTH, PICTURE_HEIGHT = 120, 244
BACKGROUND = (20, 48, 104)


def mix(a, b, t):
    t = max(0.0, min(1.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def inside_polygon(x, y, points):
    inside = False
    n = len(points)
    for i in range(n):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % n]
        if (y1 > y) != (y2 > y) and x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
            inside = not inside
    return inside


def cube(cx, top, size, colour):
    """An isometric block: (polygon, colour) faces, top face lightest."""
    w, h, d = size, size * 0.5, size * 0.62
    t = [(cx, top), (cx + w, top + h), (cx, top + 2 * h), (cx - w, top + h)]
    left = [(cx - w, top + h), (cx, top + 2 * h), (cx, top + 2 * h + d), (cx - w, top + h + d)]
    right = [(cx, top + 2 * h), (cx + w, top + h), (cx + w, top + h + d), (cx, top + 2 * h + d)]
    return [
        (t, mix(colour, (255, 255, 255), 0.35)),
        (left, colour),
        (right, mix(colour, (0, 0, 0), 0.35)),
    ]


STARS = [(18, 22, 1.3), (96, 14, 1.0), (84, 40, 1.5), (30, 52, 0.9), (104, 66, 1.1), (12, 96, 0.8),
         (100, 118, 0.9), (22, 132, 1.0)]
EMBLEM = (60, 84)  # centre of the emblem
BLOCKS = (cube(60, 178, 22, (176, 64, 184)) + cube(49, 157, 16, (56, 168, 88)) +
          cube(73, 149, 13, (240, 150, 40)))


def picture_colour(u, v):
    c = BACKGROUND
    # A soft glow behind the emblem that fades into the border colour.
    glow = math.hypot((u - EMBLEM[0]) / 70, (v - 120) / 115)
    c = mix(c, (56, 104, 176), (1 - glow) * 0.9)
    for sx, sy, r in STARS:
        if math.hypot(u - sx, v - sy) < r:
            c = mix(c, (255, 255, 230), 0.9)
    ex, ey = EMBLEM
    eu, ev = (u - ex) / 48, (v - ey) / 17
    ring = math.hypot(eu, ev)
    behind = v < ey  # the orbit's far half passes behind the tile
    ring_hit = 0.88 < ring < 1.0
    if ring_hit and behind:
        c = (250, 160, 40)
    # The tile: a rounded square with a white N.
    half, radius = 24, 8
    dx = max(abs(u - ex) - (half - radius), 0)
    dy = max(abs(v - ey) - (half - radius), 0)
    if math.hypot(dx, dy) < radius:
        c = mix((70, 130, 230), (30, 60, 160), (v - (ey - half)) / (2 * half))
        if math.hypot(dx, dy) > radius - 2:
            c = (220, 232, 255)
        top, bottom, left, right, stem = ey - 14, ey + 14, ex - 13, ex + 13, 6
        if top <= v <= bottom:
            t = (v - top) / (bottom - top)
            diagonal = left + stem / 2 + t * (right - left - stem)
            if left <= u <= left + stem or right - stem <= u <= right or abs(u - diagonal) <= 4:
                c = (255, 255, 255)
    if ring_hit and not behind:
        c = (250, 160, 40)
    # A shadow under the blocks, then the blocks themselves.
    if math.hypot((u - 60) / 44, (v - 214) / 10) < 1:
        c = mix(c, (8, 24, 60), 0.6)
    for polygon, colour in BLOCKS:
        if inside_polygon(u, v, polygon):
            c = colour
    return c


def picture():
    samples = 4
    rows = []
    for y in range(PICTURE_HEIGHT):
        row = []
        for x in range(PICTURE_WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(samples):
                for sx in range(samples):
                    c = picture_colour(x + (sx + 0.5) / samples, y + (sy + 0.5) / samples)
                    for i in range(3):
                        acc[i] += c[i]
            n = samples * samples
            row.append(tuple(int(round(a / n)) for a in acc))
        rows.append(row)
    # The edges must be exactly the border colour for a seamless fill.
    for y in (0, PICTURE_HEIGHT - 1):
        rows[y] = [BACKGROUND] * PICTURE_WIDTH
    for row in rows:
        row[0] = row[-1] = BACKGROUND
    return rows


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    write_bmp(os.path.join(out_dir, "drives.bmp"), 48, 16, strip([DRIVE, CLOSED_FOLDER, OPEN_FOLDER]))
    write_bmp(os.path.join(out_dir, "extensions.bmp"), 96, 16,
              strip([CLOSED_FOLDER, OPEN_FOLDER, CORE, LIBRARY, COMPONENT, APPLICATION]))
    write_bmp(os.path.join(out_dir, "picture.bmp"), PICTURE_WIDTH, PICTURE_HEIGHT, picture())


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..",
                                                             "src", "ui", "art"))
