#!/usr/bin/env python3
"""Draws the program's bitmaps and icon at build time (no binary art in git).

    make_art.py OUTPUT_FOLDER

Writes background.bmp, loading.bmp, header.bmp, popup.bmp, removal.bmp,
button.bmp (24-bit BMP) and brindlex.ico (16, 32 and 48 pixels, 32-bit).
The theme: a teal shield with a check mark on deep blue.
"""
import math
import os
import struct
import sys

NAVY = (11, 30, 58)
NAVY_LIGHT = (22, 58, 98)
TEAL = (31, 181, 172)
TEAL_DARK = (14, 110, 128)
RIM = (140, 232, 222)
WHITE = (255, 255, 255)
MAGENTA = (255, 0, 255)
PAPER_TOP = (246, 249, 252)
PAPER_BOTTOM = (222, 232, 241)


def mix(a, b, t):
    t = min(1.0, max(0.0, t))
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


class Canvas:
    def __init__(self, width, height, color=(0, 0, 0)):
        self.width = width
        self.height = height
        self.pixels = [list(color) for _ in range(width * height)]

    def get(self, x, y):
        return self.pixels[y * self.width + x]

    def blend(self, x, y, color, alpha):
        if 0 <= x < self.width and 0 <= y < self.height and alpha > 0:
            p = self.pixels[y * self.width + x]
            for i in range(3):
                p[i] = p[i] + (color[i] - p[i]) * min(1.0, alpha)

    def vertical_gradient(self, top, bottom, y0=0, y1=None):
        y1 = self.height if y1 is None else y1
        span = max(1, y1 - y0 - 1)
        for y in range(y0, y1):
            color = mix(top, bottom, (y - y0) / span)
            for x in range(self.width):
                self.pixels[y * self.width + x] = list(color)

    def rect(self, x0, y0, x1, y1, color, alpha=1.0):
        for y in range(max(0, y0), min(self.height, y1)):
            for x in range(max(0, x0), min(self.width, x1)):
                self.blend(x, y, color, alpha)

    def sheen(self, strength):
        """A soft diagonal light band, brightest across the upper left."""
        for y in range(self.height):
            for x in range(self.width):
                d = (x / self.width) * 0.6 + (y / self.height) * 0.4
                a = strength * math.exp(-((d - 0.25) ** 2) / 0.02)
                self.blend(x, y, WHITE, a)

    def to_bmp(self):
        row_size = (self.width * 3 + 3) & ~3
        data = bytearray()
        for y in range(self.height - 1, -1, -1):
            row = bytearray()
            for x in range(self.width):
                r, g, b = (int(round(c)) for c in self.get(x, y))
                row += bytes((b, g, r))
            row += b"\0" * (row_size - len(row))
            data += row
        header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
        info = struct.pack("<IiiHHIIiiII", 40, self.width, self.height, 1, 24, 0, len(data),
                           2835, 2835, 0, 0)
        return header + info + bytes(data)


def shield_inside(u, v):
    """Inside test of the shield outline in a unit box (u right, v down)."""
    if v < 0 or v > 1 or u < 0 or u > 1:
        return False
    du = abs(u - 0.5) * 2
    # The top edge dips slightly towards the middle, like a heater shield.
    top = 0.04 + 0.06 * (1 - du) ** 2
    if v < top:
        return False
    if v < 0.45:
        return du <= 1.0 - 0.12 * max(0.0, (0.12 - v)) / 0.12
    t = (v - 0.45) / 0.55
    return du <= math.cos(t * math.pi / 2) ** 0.9


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def draw_shield(canvas, x0, y0, size, samples=4, alpha=1.0, check=True):
    """A shield in the box (x0, y0, size * 0.85 wide, size high)."""
    width = size * 0.85
    height = size
    rim = 0.07
    stroke = 0.085
    for y in range(int(y0), int(math.ceil(y0 + height)) + 1):
        for x in range(int(x0), int(math.ceil(x0 + width)) + 1):
            outer = inner = mark = 0
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples - x0) / width
                    v = (y + (sy + 0.5) / samples - y0) / height
                    if not shield_inside(u, v):
                        continue
                    outer += 1
                    iu = 0.5 + (u - 0.5) / (1 - 2 * rim)
                    iv = (v - rim) / (1 - 1.6 * rim)
                    if shield_inside(iu, iv):
                        inner += 1
                        if check and (
                                segment_distance(u, v, 0.27, 0.47, 0.44, 0.64) < stroke or
                                segment_distance(u, v, 0.44, 0.64, 0.75, 0.30) < stroke):
                            mark += 1
            n = samples * samples
            if outer == 0:
                continue
            v = (y - y0) / height
            u = (x - x0) / width
            body = mix(TEAL, TEAL_DARK, v * 0.9 + (u - 0.5) * 0.3)
            # The left half catches the light.
            if u < 0.5:
                body = mix(body, WHITE, 0.10)
            canvas.blend(x, y, RIM, alpha * outer / n)
            canvas.blend(x, y, body, alpha * inner / max(1, outer))
            canvas.blend(x, y, WHITE, alpha * mark / max(1, outer))


def make_background():
    # Stretched over the main window (428 x 170 dialog units): a deep blue
    # banner over light paper.
    c = Canvas(642, 276)
    banner = 49
    c.vertical_gradient(PAPER_TOP, PAPER_BOTTOM, banner, c.height)
    c.vertical_gradient(NAVY_LIGHT, NAVY, 0, banner)
    for x in range(c.width):
        t = x / c.width
        for y in range(banner):
            c.blend(x, y, TEAL_DARK, 0.45 * t * t)
    c.rect(0, banner, c.width, banner + 2, TEAL)
    c.rect(0, banner + 2, c.width, banner + 4, TEAL, 0.25)
    draw_shield(c, 12, 5, 40)
    # A faint watermark shield in the lower right of the paper.
    draw_shield(c, 500, 118, 150, samples=2, alpha=0.06, check=False)
    return c


def make_loading():
    c = Canvas(360, 140)
    c.vertical_gradient(NAVY_LIGHT, NAVY)
    c.sheen(0.10)
    draw_shield(c, 22, 26, 76)
    c.rect(0, c.height - 4, c.width, c.height, TEAL)
    return c


def make_removal():
    c = Canvas(380, 130)
    c.vertical_gradient(NAVY_LIGHT, NAVY)
    c.sheen(0.08)
    draw_shield(c, 300, 22, 66, alpha=0.9)
    c.rect(0, 0, c.width, 3, TEAL)
    return c


def make_popup():
    # Fixed size; the popup places its title, message, buttons and check box
    # at known pixel rectangles of this picture.
    c = Canvas(234, 223)
    c.vertical_gradient(NAVY_LIGHT, NAVY, 0, 28)
    c.vertical_gradient(PAPER_TOP, PAPER_BOTTOM, 28, 170)
    c.vertical_gradient(NAVY_LIGHT, NAVY, 170, 223)
    c.rect(0, 28, 234, 30, TEAL)
    c.rect(0, 168, 234, 170, TEAL)
    draw_shield(c, 10, 32, 26)
    c.rect(14, 62, 221, 63, TEAL_DARK, 0.5)
    # A one-pixel frame.
    c.rect(0, 0, 234, 1, NAVY)
    c.rect(0, 222, 234, 223, NAVY)
    c.rect(0, 0, 1, 223, NAVY)
    c.rect(233, 0, 234, 223, NAVY)
    return c


def make_header():
    # Two 16-pixel images for the list header; magenta is transparent.
    c = Canvas(32, 16, MAGENTA)
    # Image 0: a small teal diamond.
    for y in range(16):
        for x in range(16):
            d = abs(x - 7.5) + abs(y - 7.5)
            if d < 4.5:
                c.pixels[y * 32 + x] = list(mix(TEAL, TEAL_DARK, y / 15))
    # Image 1: the shield, drawn over a solid backdrop so that no edge pixel
    # blends with magenta.
    small = Canvas(16, 16, (230, 238, 244))
    draw_shield(small, 1.5, 0.5, 15)
    for y in range(16):
        for x in range(16):
            u = (x + 0.5 - 1.5) / (15 * 0.85)
            v = (y + 0.5 - 0.5) / 15
            if shield_inside(u, v):
                c.pixels[y * 32 + 16 + x] = small.get(x, y)
    return c


def make_button():
    # Four stacked states: normal, hot, pressed, disabled.
    w, h = 120, 30
    c = Canvas(w, h * 4)
    states = [
        ((34, 128, 160), (12, 72, 104)),
        ((48, 160, 186), (16, 96, 128)),
        ((10, 62, 92), (26, 110, 140)),
        ((150, 162, 174), (118, 130, 142)),
    ]
    for i, (top, bottom) in enumerate(states):
        c.vertical_gradient(top, bottom, i * h, (i + 1) * h)
        c.rect(0, i * h, w, i * h + 1, WHITE, 0.35)
        c.rect(0, (i + 1) * h - 1, w, (i + 1) * h, NAVY, 0.6)
        c.rect(0, i * h, 1, (i + 1) * h, NAVY, 0.4)
        c.rect(w - 1, i * h, w, (i + 1) * h, NAVY, 0.4)
    return c


def icon_image(size):
    """BGRA pixels and AND mask of the shield icon at `size` pixels."""
    samples = 4
    pixels = []
    canvas = Canvas(size, size, NAVY)
    draw_shield(canvas, size * 0.09, size * 0.02, size * 0.96)
    width = size * 0.96 * 0.85
    for y in range(size):
        for x in range(size):
            cover = 0
            for sy in range(samples):
                for sx in range(samples):
                    u = (x + (sx + 0.5) / samples - size * 0.09) / width
                    v = (y + (sy + 0.5) / samples - size * 0.02) / (size * 0.96)
                    cover += shield_inside(u, v)
            alpha = cover / (samples * samples)
            r, g, b = canvas.get(x, y)
            if alpha > 0:
                # Undo the blend with the navy backdrop on the edge pixels.
                r = min(255, max(0, NAVY[0] + (r - NAVY[0]) / alpha))
                g = min(255, max(0, NAVY[1] + (g - NAVY[1]) / alpha))
                b = min(255, max(0, NAVY[2] + (b - NAVY[2]) / alpha))
            pixels.append((int(b), int(g), int(r), int(round(alpha * 255))))
    return pixels


def make_icon(sizes=(16, 32, 48)):
    images = []
    for size in sizes:
        pixels = icon_image(size)
        xor = bytearray()
        for y in range(size - 1, -1, -1):
            for x in range(size):
                xor += bytes(pixels[y * size + x])
        mask_row = ((size + 31) // 32) * 4
        mask = bytearray()
        for y in range(size - 1, -1, -1):
            row = bytearray(mask_row)
            for x in range(size):
                if pixels[y * size + x][3] == 0:
                    row[x // 8] |= 0x80 >> (x % 8)
            mask += row
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask),
                             0, 0, 0, 0)
        images.append((size, header + bytes(xor) + bytes(mask)))
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, data in images:
        out += data
    return bytes(out)


def write(folder, name, data):
    path = os.path.join(folder, name)
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_art.py OUTPUT_FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write(folder, "background.bmp", make_background().to_bmp())
    write(folder, "loading.bmp", make_loading().to_bmp())
    write(folder, "removal.bmp", make_removal().to_bmp())
    write(folder, "popup.bmp", make_popup().to_bmp())
    write(folder, "header.bmp", make_header().to_bmp())
    write(folder, "button.bmp", make_button().to_bmp())
    write(folder, "brindlex.ico", make_icon())


if __name__ == "__main__":
    main()
