#!/usr/bin/env python3
"""Draws the Korvane application icon and writes it as a Windows .ico file.

The picture is a white "K" on a rounded blue square with a darker rim. It is
drawn from geometry at every size (no scaling of a bitmap), with 4x4
supersampling for smooth edges, and written in nine images: 48, 32 and 16
pixels, each with 16 colours, 256 colours and 32 bits per pixel (alpha).

Usage: make_icon.py OUTPUT.ico
"""
import struct
import sys

SIZES = (48, 32, 16)
DEPTHS = (4, 8, 32)
SUPERSAMPLE = 4

TOP = (0x46, 0x8C, 0xE6)      # square, top edge
BOTTOM = (0x16, 0x3A, 0x86)   # square, bottom edge
RIM = (0x0C, 0x22, 0x52)
LETTER = (0xFF, 0xFF, 0xFF)


def inside_rounded_square(x, y, lo, hi, radius):
    """Whether (x, y) lies in the square [lo, hi]^2 with rounded corners."""
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + radius), hi - radius)
    cy = min(max(y, lo + radius), hi - radius)
    return (x - cx) ** 2 + (y - cy) ** 2 <= radius ** 2


def distance_to_segment(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / float(dx * dx + dy * dy)
    t = min(max(t, 0.0), 1.0)
    qx, qy = ax + t * dx, ay + t * dy
    return ((px - qx) ** 2 + (py - qy) ** 2) ** 0.5


def sample(u, v):
    """Colour and coverage of the picture at unit coordinates (u, v), y down."""
    if not inside_rounded_square(u, v, 0.03, 0.97, 0.2):
        return None
    # The K: a stem and two arms, as thick strokes in unit space.
    stroke = 0.075
    on_letter = (
        distance_to_segment(u, v, 0.34, 0.22, 0.34, 0.78) <= stroke
        or distance_to_segment(u, v, 0.38, 0.53, 0.70, 0.22) <= stroke
        or distance_to_segment(u, v, 0.47, 0.45, 0.72, 0.78) <= stroke
    )
    if on_letter:
        return LETTER
    if not inside_rounded_square(u, v, 0.09, 0.91, 0.15):
        return RIM
    t = (v - 0.09) / 0.82
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(TOP, BOTTOM))


def render(size):
    """Rows (top first) of (r, g, b, a) pixels."""
    rows = []
    n = SUPERSAMPLE
    for y in range(size):
        row = []
        for x in range(size):
            r = g = b = hits = 0
            for sy in range(n):
                for sx in range(n):
                    c = sample((x + (sx + 0.5) / n) / size, (y + (sy + 0.5) / n) / size)
                    if c is not None:
                        r += c[0]
                        g += c[1]
                        b += c[2]
                        hits += 1
            if hits:
                row.append((r // hits, g // hits, b // hits, hits * 255 // (n * n)))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def median_cut(colours, count):
    """A palette of at most count colours for the given list of (r, g, b)."""
    boxes = [sorted(set(colours))] if colours else []
    while boxes and len(boxes) < count:
        # Split the box with the widest channel range.
        best, best_range, best_channel = None, -1, 0
        for i, box in enumerate(boxes):
            if len(box) < 2:
                continue
            for ch in range(3):
                values = [c[ch] for c in box]
                spread = max(values) - min(values)
                if spread > best_range:
                    best, best_range, best_channel = i, spread, ch
        if best is None:
            break
        box = sorted(boxes.pop(best), key=lambda c: c[best_channel])
        half = len(box) // 2
        boxes += [box[:half], box[half:]]
    palette = []
    for box in boxes:
        palette.append(tuple(sum(c[ch] for c in box) // len(box) for ch in range(3)))
    return palette


def nearest(palette, colour):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][ch] - colour[ch]) ** 2 for ch in range(3)))


def row_bytes(bits_per_row):
    return (bits_per_row + 31) // 32 * 4


def and_mask(rows, size):
    """1 bits where the picture is transparent, rows bottom first."""
    out = bytearray()
    for row in reversed(rows):
        line = bytearray(row_bytes(size))
        for x, (_, _, _, a) in enumerate(row):
            if a < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        out += line
    return bytes(out)


def image_bytes(rows, size, depth):
    colours_used = 0
    palette_bytes = b""
    if depth == 32:
        pixels = bytearray()
        for row in reversed(rows):
            for r, g, b, a in row:
                pixels += bytes((b, g, r, a))
    else:
        capacity = 1 << depth
        opaque = [(r, g, b) for row in rows for (r, g, b, a) in row if a >= 128]
        # Index 0 is black: the transparent pixels, which the mask hides. The
        # letter and rim colours are kept exact; the rest share what is left.
        fixed = [(0, 0, 0), LETTER, RIM]
        palette = fixed + median_cut(opaque, capacity - len(fixed))
        palette += [(0, 0, 0)] * (capacity - len(palette))
        colours_used = capacity
        palette_bytes = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
        cache = {}
        pixels = bytearray()
        for row in reversed(rows):
            indices = []
            for r, g, b, a in row:
                if a < 128:
                    indices.append(0)
                    continue
                key = (r, g, b)
                if key not in cache:
                    cache[key] = 1 + nearest(palette[1:], key)
                indices.append(cache[key])
            line = bytearray(row_bytes(size * depth))
            for x, index in enumerate(indices):
                bit = x * depth
                line[bit // 8] |= index << (8 - depth - bit % 8)
            pixels += line
    mask = and_mask(rows, size)
    # The header's height counts the colour bits and the mask together.
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, depth, 0,
                         len(pixels) + len(mask), 0, 0, colours_used, 0)
    return header + palette_bytes + bytes(pixels) + mask


def build_icon():
    images = []
    for size in SIZES:
        rows = render(size)
        for depth in DEPTHS:
            images.append((size, depth, image_bytes(rows, size, depth)))
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for size, depth, data in images:
        colour_count = 16 if depth == 4 else 0
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, colour_count, 0, 1, depth,
                               len(data), offset)
        offset += len(data)
    return directory + entries + b"".join(data for _, _, data in images)


def main(argv):
    if len(argv) != 2:
        sys.stderr.write(__doc__)
        return 2
    data = build_icon()
    with open(argv[1], "wb") as out:
        out.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
