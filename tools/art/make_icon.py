#!/usr/bin/env python3
"""Draws the NebCM application icon (a white N on a blue tile with an orange orbit) as a .ico file."""
import math
import struct
import sys


def pixel(x, y, size):
    # Work in a unit square; (u, v) is the pixel centre.
    u = (x + 0.5) / size
    v = (y + 0.5) / size
    # Rounded tile.
    r = 0.16
    dx = max(abs(u - 0.5) - (0.5 - r - 0.03), 0)
    dy = max(abs(v - 0.5) - (0.5 - r - 0.03), 0)
    if math.hypot(dx, dy) > r:
        return (0, 0, 0, 0)
    color = (40 + int(40 * v), 70 + int(50 * v), 170 + int(50 * (1 - v)), 255)
    # Orbit: an orange ellipse band around the letter.
    eu, ev = (u - 0.5) / 0.40, (v - 0.5) / 0.22
    d = math.hypot(eu, ev)
    if 0.88 < d < 1.05 and not (0.3 < u < 0.7):
        color = (250, 160, 40, 255)
    # The letter N: two stems and a diagonal.
    stem = 0.10
    top, bottom = 0.24, 0.76
    if top <= v <= bottom:
        left, right = 0.30, 0.70
        if left <= u <= left + stem or right - stem <= u <= right:
            color = (255, 255, 255, 255)
        t = (v - top) / (bottom - top)
        cx = left + stem / 2 + t * (right - left - stem)
        if abs(u - cx) <= stem * 0.65:
            color = (255, 255, 255, 255)
    return color


def image(size):
    rows = []
    for y in range(size - 1, -1, -1):  # bottom-up
        row = b"".join(struct.pack("BBBB", c[2], c[1], c[0], c[3]) for c in (pixel(x, y, size) for x in range(size)))
        rows.append(row)
    xor = b"".join(rows)
    mask_row = ((size + 31) // 32) * 4
    and_mask = bytes(mask_row * size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    return header + xor + and_mask


def main(out):
    sizes = [16, 32, 48]
    images = [image(s) for s in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for s, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", s % 256, s % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])
