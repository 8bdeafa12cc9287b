#!/usr/bin/env python3
"""Draws the updater's icon and writes it as an .ico file.

    make_icon.py OUTPUT.ico

Eight images: 16, 32 and 48 pixels in 32-bit colour with alpha, the same
three in 256 colours and 16 and 32 pixels in 16 colours, for old displays.
The artwork is a blue disc with a white arrow pointing down into a tray:
"something new arrives". Standard library only, so any build machine can
run it.
"""

import struct
import sys

IMAGES = [(16, 32), (32, 32), (48, 32), (16, 8), (32, 8), (48, 8), (16, 4), (32, 4)]

# The 16 colours of the classic VGA palette; the 256-colour palette starts
# with them and adds ramps of blue so the disc keeps its shading.
VGA = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0),
    (0, 0, 128), (128, 0, 128), (0, 128, 128), (192, 192, 192),
    (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
    (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]


def palette_256():
    colours = list(VGA)
    for i in range(240):
        t = i / 239.0
        colours.append((int(20 + 90 * t), int(60 + 120 * t), int(140 + 115 * t)))
    return colours


def inside_arrow(x, y):
    """The arrow and tray, in unit coordinates (y grows downwards)."""
    if 0.43 <= x <= 0.57 and 0.18 <= y <= 0.52:
        return True
    if 0.48 <= y <= 0.72:
        half = 0.22 * (0.72 - y) / 0.24
        if abs(x - 0.5) <= half:
            return True
    if 0.76 <= y <= 0.82 and 0.24 <= x <= 0.76:
        return True
    return False


def sample(x, y):
    """Colour (r, g, b, a) of the artwork at a point of the unit square."""
    dx, dy = x - 0.5, y - 0.5
    r2 = dx * dx + dy * dy
    if r2 > 0.47 * 0.47:
        return (0, 0, 0, 0)
    if r2 > 0.43 * 0.43:
        return (16, 48, 112, 255)
    if inside_arrow(x, y):
        return (255, 255, 255, 255)
    shade = y  # lighter at the top
    return (int(70 - 50 * shade), int(150 - 80 * shade), int(245 - 60 * shade), 255)


def render(size):
    """Rows of (r, g, b, a), top row first, 4x4 supersampled."""
    rows = []
    n = 4
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    r, g, b, a = sample((px + (sx + 0.5) / n) / size, (py + (sy + 0.5) / n) / size)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], acc[3] // (n * n)))
        rows.append(row)
    return rows


def nearest(colour, palette):
    r, g, b = colour[:3]
    return min(range(len(palette)),
               key=lambda i: (palette[i][0] - r) ** 2 + (palette[i][1] - g) ** 2 + (palette[i][2] - b) ** 2)


def pad4(data):
    return data + b"\0" * (-len(data) % 4)


def and_mask(rows, size):
    """1 bit per pixel, set where the pixel is transparent; bottom row first."""
    out = b""
    for row in reversed(rows):
        bits = bytearray((size + 7) // 8)
        for x, pixel in enumerate(row):
            if pixel[3] < 128:
                bits[x // 8] |= 0x80 >> (x % 8)
        out += pad4(bytes(bits))
    return out


def image(size, depth):
    rows = render(size)
    palette = []
    if depth == 32:
        xor = b"".join(bytes(p for px in row for p in (px[2], px[1], px[0], px[3]))
                       for row in reversed(rows))
    else:
        palette = VGA if depth == 4 else palette_256()
        xor = b""
        for row in reversed(rows):
            indexes = [0 if px[3] < 128 else nearest(px, palette) for px in row]
            if depth == 8:
                line = bytes(indexes)
            else:
                line = bytes((indexes[i] << 4) | indexes[i + 1] for i in range(0, size, 2))
            xor += pad4(line)
    mask = and_mask(rows, size)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    colours = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    return header + colours + xor + mask


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUTPUT.ico")
    blobs = [(size, depth, image(size, depth)) for size, depth in IMAGES]
    directory = struct.pack("<HHH", 0, 1, len(blobs))
    offset = len(directory) + 16 * len(blobs)
    entries = b""
    for size, depth, blob in blobs:
        entries += struct.pack("<BBBBHHII", size, size, 16 if depth == 4 else 0, 0,
                               1, depth, len(blob), offset)
        offset += len(blob)
    with open(sys.argv[1], "wb") as out:
        out.write(directory + entries + b"".join(blob for _, _, blob in blobs))


if __name__ == "__main__":
    main()
