#!/usr/bin/env python3
"""Draws the demo skin: the main skin, the loader picture and the eighteen
button images, plus the parameter document.

The shell pauses 5 ms after every 4 KiB it downloads, so every byte of a skin
is start-up time, and every file at least one pause. The pictures are drawn in
a palette of a few colours, so that they stay exact in a compact lossless
format: the skin as a GIF (no transparency index, so the key colour stays
exact), a 600 by 420 picture in one 4 KiB piece; the splash and the buttons as
run-length encoded 8-bit BMP files, each under 4 KiB as well. Those small
pictures would cost one pause as GIF files too, but the picture decoder takes
BMP files quicker. The demo thus keeps both of the decoder's paths in use.

The images are committed; run this again only to change the drawing:
    python3 demo/make_skin.py demo/skin
"""
import math
import os
import struct
import sys

# Palette entries: index -> (r, g, b). Index 0 is the key colour that the
# shell cuts away, so it must not appear inside the picture.
PALETTE = [
    (255, 0, 255),   # 0 key (cut away)
    (24, 32, 48),    # 1 frame, dark
    (44, 62, 92),    # 2 frame, light
    (230, 236, 245), # 3 page backdrop
    (255, 255, 255), # 4 white
    (90, 140, 210),  # 5 accent
    (150, 190, 240), # 6 accent, light (hot)
    (40, 80, 150),   # 7 accent, dark (pressed)
    (220, 70, 70),   # 8 close red
    (250, 130, 130), # 9 close red, hot
    (150, 30, 30),   # 10 close red, pressed
    (16, 20, 28),    # 11 shadow
    (200, 210, 225), # 12 status strip
]


def write_gif(path, width, height, pixel):
    """pixel(x, y) -> palette index; writes a GIF87a file (no extension
    blocks, so no transparency index) with an LZW-compressed image."""
    bits = max(2, (len(PALETTE) - 1).bit_length())
    clear, end = 1 << bits, (1 << bits) + 1
    palette = b"".join(bytes(c) for c in PALETTE) + b"\0" * 3 * ((1 << bits) - len(PALETTE))
    codes = bytearray()
    acc = used = 0

    def put(code, size):
        nonlocal acc, used
        acc |= code << used
        used += size
        while used >= 8:
            codes.append(acc & 0xFF)
            acc >>= 8
            used -= 8

    # Classic LZW: a table of (prefix code, index) pairs, restarted with a
    # clear code when the 12-bit codes run out.
    size, table, next_code = bits + 1, {}, end + 1
    put(clear, size)
    pixels = [pixel(x, y) for y in range(height) for x in range(width)]
    prefix = pixels[0]
    for k in pixels[1:]:
        known = table.get((prefix, k))
        if known is not None:
            prefix = known
            continue
        put(prefix, size)
        if next_code < 4096:
            table[(prefix, k)] = next_code
            next_code += 1
            if next_code > (1 << size) and size < 12:
                size += 1
        else:
            put(clear, size)
            size, table, next_code = bits + 1, {}, end + 1
        prefix = k
    put(prefix, size)
    put(end, size)
    if used:
        codes.append(acc & 0xFF)
    blocks = b"".join(bytes([len(codes[i:i + 255])]) + codes[i:i + 255] for i in range(0, len(codes), 255))
    screen = struct.pack("<6sHHBBB", b"GIF87a", width, height, 0x80 | (bits - 1) << 4 | (bits - 1), 0, 0)
    image = struct.pack("<cHHHHBB", b",", 0, 0, width, height, 0, bits)
    with open(path, "wb") as f:
        f.write(screen + palette + image + blocks + b"\0;")


def write_bmp(path, width, height, pixel):
    """pixel(x, y) -> palette index; writes a bottom-up 8-bit BMP, its rows
    run-length encoded (BI_RLE8): runs of one index as (count, index) pairs,
    each row closed by (0, 0) and the picture by (0, 1)."""
    rows = bytearray()
    for y in range(height - 1, -1, -1):
        x = 0
        while x < width:
            index, start = pixel(x, y), x
            while x < width and x - start < 255 and pixel(x, y) == index:
                x += 1
            rows += bytes([x - start, index])
        rows += b"\0\0"
    rows += b"\0\1"
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    offset = 14 + 40 + len(palette)
    header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, len(rows), 2835, 2835, len(PALETTE), 0)
    with open(path, "wb") as f:
        f.write(header + info + palette + rows)


def rounded(x, y, w, h, r):
    """True when (x, y) lies inside a w by h rectangle with corners of radius r."""
    cx = min(max(x, r), w - 1 - r)
    cy = min(max(y, r), h - 1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


SKIN_W, SKIN_H = 600, 420
BROWSER = (20, 56, 560, 312)
STATUS = (24, 380, 552, 20)
BUTTONS = {  # name: (x, y)
    "CLOSE": (560, 14), "MIN": (528, 14),
    "BACK": (20, 14), "FORWARD": (52, 14), "HOME": (84, 14), "REFRESH": (116, 14),
}
BUTTON_SIZE = 26


def skin_pixel(x, y):
    if not rounded(x, y, SKIN_W, SKIN_H, 28):
        return 0
    # A notch in the lower edge and a round hole show that the outline, holes
    # included, follows the picture.
    if y > SKIN_H - 12 and 280 < x < 320:
        return 0
    if (x - 300) ** 2 + (y - 28) ** 2 < 9 ** 2:
        return 0
    if not rounded(x, y, SKIN_W, SKIN_H, 30) or x < 3 or y < 3:
        return 2
    bx, by, bw, bh = BROWSER
    if bx - 2 <= x < bx + bw + 2 and by - 2 <= y < by + bh + 2:
        return 3 if bx <= x < bx + bw and by <= y < by + bh else 11
    sx, sy, sw, sh = STATUS
    if sx <= x < sx + sw and sy <= y < sy + sh:
        return 2
    return 1 if y > 46 else 2


LOADER_W, LOADER_H = 320, 200


def loader_pixel(x, y):
    if y >= LOADER_H * 90 // 100:
        return 2
    d = math.hypot(x - LOADER_W / 2, y - 84)
    if 40 < d < 52:
        return 5
    if d <= 40 and abs(x - LOADER_W / 2) < 6:
        return 6
    return 1


def glyph(name, x, y):
    """A simple line drawing for each button, in a 26 by 26 cell."""
    c = BUTTON_SIZE / 2
    dx, dy = x - c + 0.5, y - c + 0.5
    if name == "CLOSE":
        return abs(abs(dx) - abs(dy)) < 1.6 and abs(dx) < 7
    if name == "MIN":
        return abs(dy - 5) < 1.6 and abs(dx) < 7
    if name == "BACK":
        return abs(abs(dy) - dx - 3) < 1.8 and -5 < dx < 5
    if name == "FORWARD":
        return abs(abs(dy) + dx - 3) < 1.8 and -5 < dx < 5
    if name == "HOME":
        roof = abs(dy - abs(dx) + 9) < 1.6 and abs(dx) < 8
        walls = (abs(abs(dx) - 5) < 1.2 and -4 < dy < 7) or (abs(dy - 6) < 1.2 and abs(dx) < 6)
        return roof or walls
    if name == "REFRESH":
        d = math.hypot(dx, dy)
        return abs(d - 6.5) < 1.5 and not (dx > 0 and dy < 0 and dx > -dy * 0.3)
    return False


def button_pixel(name, state):
    base = {"normal": 5, "hot": 6, "pressed": 7}[state]
    if name == "CLOSE":
        base = {"normal": 8, "hot": 9, "pressed": 10}[state]

    def pixel(x, y):
        if not rounded(x, y, BUTTON_SIZE, BUTTON_SIZE, 6):
            return 1  # the skin's frame colour around the rounded face
        return 4 if glyph(name, x, y) else base
    return pixel


DOCUMENT = """<html><head><title>Korvane demo skin</title></head><body>
<!-- Parameters for the Korvane shell. -->
<korvane>
  <APP_TITLE>Korvane Demo</APP_TITLE>
  <IMAGES_PATH>http://127.0.0.53/demo/</IMAGES_PATH>
  <SKIN>{skin}</SKIN>
  <APP_START_POS>212,174</APP_START_POS>
  <APP_TOP_MOST>false</APP_TOP_MOST>
  <APP_LOADER_IMAGE>{loader}</APP_LOADER_IMAGE>
  <APP_LOADER_POS>0,0</APP_LOADER_POS>
  <APP_LOADER_TEXT_COLOR>96BEF0</APP_LOADER_TEXT_COLOR>
  <APP_BROWSER_RECT>{browser}</APP_BROWSER_RECT>
  <APP_SHOW_IE_MENU>false</APP_SHOW_IE_MENU>
  <APP_NAVIGATE_TO>http://127.0.0.53/demo/welcome.html</APP_NAVIGATE_TO>
  <APP_STATUS_RECT>{status}</APP_STATUS_RECT>
  <APP_STATUS_COLOR>E6ECF5</APP_STATUS_COLOR>
{buttons}
</korvane>
</body></html>
"""


# The one picture drawn as a GIF; all others are BMP files.
GIF_PICTURE = "skin"


def write_picture(out, name, width, height, pixel):
    """Writes NAME.gif for GIF_PICTURE, else NAME.bmp; returns the file name."""
    file = name + (".gif" if name == GIF_PICTURE else ".bmp")
    (write_gif if name == GIF_PICTURE else write_bmp)(os.path.join(out, file), width, height, pixel)
    return file


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "skin")
    os.makedirs(out, exist_ok=True)
    skin = write_picture(out, "skin", SKIN_W, SKIN_H, skin_pixel)
    loader = write_picture(out, "loader", LOADER_W, LOADER_H, loader_pixel)
    lines = []
    for name, (x, y) in BUTTONS.items():
        lines.append(f"  <BUTTON_{name}_POS>{x},{y}</BUTTON_{name}_POS>")
        for state, suffix in (("normal", "NORMAL"), ("hot", "HOT"), ("pressed", "CLICK")):
            file = write_picture(out, f"{name.lower()}_{state}", BUTTON_SIZE, BUTTON_SIZE, button_pixel(name, state))
            lines.append(f"  <BUTTON_{name}_{suffix}>{file}</BUTTON_{name}_{suffix}>")
    doc = DOCUMENT.format(skin=skin, loader=loader, browser=",".join(map(str, BROWSER)),
                          status=",".join(map(str, STATUS)), buttons="\n".join(lines))
    with open(os.path.join(out, "korvane.xml"), "w", newline="\r\n") as f:
        f.write(doc)


if __name__ == "__main__":
    main()
