#!/usr/bin/env python3
"""Draws the program's own pictures: the application icon (ID 128: 16, 32, 48 and 256 pixels), the
side banner (bitmap 141, 180 x 299), the installed-driver dialog's picture (bitmap 150,
50 x 50) and the closing picture (bitmap 154, 1054 x 679). Run
from res/art to regenerate the files beside this script; the results are committed so that
a build needs no Python."""
import struct
import zlib


def bmp24(width, height, pixel):
    """A bottom-up 24-bit BMP file; pixel(x, y) gives (r, g, b) with y = 0 at the top."""
    row = (width * 3 + 3) & ~3
    data = bytearray()
    for y in range(height - 1, -1, -1):
        line = bytearray()
        for x in range(width):
            r, g, b = pixel(x, y)
            line += bytes((b, g, r))
        line += b"\0" * (row - width * 3)
        data += line
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def printer(size):
    """A receipt printer seen from the front: body, paper slot, a receipt coming out."""
    s = size / 32.0
    def px(x, y):
        X, Y = x / s, y / s
        if 9 <= X < 23 and 2 <= Y < 14:           # the receipt
            if 11 <= X < 21 and int(Y) % 3 == 1:   # printed lines
                return (40, 60, 90, 255)
            return (250, 250, 245, 255)
        if 3 <= X < 29 and 12 <= Y < 28:          # the body
            if 6 <= X < 26 and 13 <= Y < 15:       # the slot
                return (20, 25, 35, 255)
            if 22 <= X < 25 and 21 <= Y < 24:      # the power light
                return (60, 200, 90, 255)
            shade = 70 + int(40 * (Y - 12) / 16)
            return (shade // 2, shade, min(255, shade + 90), 255)
        return (0, 0, 0, 0)
    return px


def ico_image(size, px):
    """One icon image: a 32-bit BITMAPINFOHEADER DIB with its AND mask."""
    xor = bytearray()
    for y in range(size - 1, -1, -1):
        for x in range(size):
            r, g, b, a = px(x, y)
            xor += bytes((b, g, r, a))
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for y in range(size - 1, -1, -1):
        bits = bytearray(mask_row)
        for x in range(size):
            if px(x, y)[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + bytes(xor) + bytes(mask)


def png(size, px):
    """One icon image as a PNG file (RGBA, 8 bits a channel): how Windows takes the 256-pixel
    image of an icon, where a DIB would be four times larger."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    rows = b"".join(b"\0" + bytes(c for x in range(size) for c in px(x, y)) for y in range(size))
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows, 9)) +
            chunk(b"IEND", b""))


def ico(sizes):
    """An .ico file; images of 256 pixels are PNG, smaller ones DIBs."""
    images = [png(n, printer(n)) if n >= 256 else ico_image(n, printer(n)) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    return out + b"".join(images)


def banner(x, y):
    """The side banner: a deep blue to teal gradient with a long receipt across it."""
    t = y / 298.0
    r, g, b = int(20 + 10 * t), int(50 + 90 * t), int(120 + 40 * t)
    if 50 <= x < 130 and 30 <= y < 250:
        if 60 <= x < 120 and (y - 30) % 14 in (6, 7) and y < 230:
            return (70, 90, 120)
        if y >= 236 and (x // 6) % 2 == (y // 6) % 2:  # torn edge
            return (r, g, b)
        return (248, 248, 240)
    return (r, g, b)


# A 5 x 7 pixel font, enough for the closing picture's words: each glyph is seven rows
# of five bits, the leftmost pixel in the highest bit.
FONT = {
    " ": (0, 0, 0, 0, 0, 0, 0),
    "?": (0x0E, 0x11, 0x01, 0x02, 0x04, 0x00, 0x04),
    "A": (0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11),
    "B": (0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E),
    "C": (0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E),
    "D": (0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E),
    "E": (0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F),
    "H": (0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11),
    "I": (0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E),
    "L": (0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F),
    "M": (0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11),
    "N": (0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11),
    "O": (0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E),
    "P": (0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10),
    "R": (0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11),
    "S": (0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E),
    "T": (0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04),
    "U": (0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E),
    "V": (0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04),
    "W": (0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A),
    "Y": (0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04),
}


class Canvas:
    """A top-down RGB picture with the few shapes the closing picture is made of."""

    def __init__(self, width, height, background):
        self.width, self.height = width, height
        self.rows = [bytearray(width * 3) for _ in range(height)]
        for y in range(height):
            row = self.rows[y]
            for x in range(width):
                row[x * 3:x * 3 + 3] = bytes(background(x, y))

    def put(self, x, y, rgb):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.rows[y][x * 3:x * 3 + 3] = bytes(rgb)

    def rect(self, left, top, right, bottom, rgb, radius=0):
        """Fills left <= x < right, top <= y < bottom, with corners rounded by radius."""
        for y in range(top, bottom):
            for x in range(left, right):
                cx = min(max(x, left + radius), right - 1 - radius)
                cy = min(max(y, top + radius), bottom - 1 - radius)
                if (x - cx) ** 2 + (y - cy) ** 2 <= radius * radius:
                    self.put(x, y, rgb)

    def disc(self, cx, cy, r, rgb):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r:
                    self.put(x, y, rgb)

    def line(self, x0, y0, x1, y1, width, rgb):
        """A thick straight stroke with round ends."""
        steps = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(steps + 1):
            self.disc(round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps),
                      width // 2, rgb)

    def text(self, x, y, words, scale, rgb):
        for ch in words:
            for row, bits in enumerate(FONT[ch]):
                for col in range(5):
                    if bits & (0x10 >> col):
                        self.rect(x + col * scale, y + row * scale,
                                  x + (col + 1) * scale, y + (row + 1) * scale, rgb)
            x += 6 * scale

    @staticmethod
    def text_width(words, scale):
        return (6 * len(words) - 1) * scale

    def bmp(self):
        return bmp24(self.width, self.height, lambda x, y: tuple(self.rows[y][x * 3:x * 3 + 3]))


# The closing picture's two buttons, in the dialog's client pixels. The dialog treats the
# inside of these rectangles (bounds exclusive) as the buttons, so each painted button
# covers its rectangle exactly.
WEB_BUTTON = (43, 414, 295, 484)
CLOSE_BUTTON = (994, 16, 1038, 59)


def closing_picture():
    """The closing dialog's whole face: the installation is done, a receipt printer with
    its receipt, a button to the maker's web site and a close button."""
    width, height = 1054, 679

    def background(x, y):
        t = y / (height - 1)
        glow = max(0.0, 1.0 - ((x - 760) ** 2 + (y - 330) ** 2) / 380.0 ** 2)
        return (int(18 + 14 * t + 30 * glow), int(44 + 80 * t + 40 * glow), int(110 + 50 * t + 30 * glow))

    c = Canvas(width, height, background)
    white, ink, accent = (248, 248, 240), (40, 60, 90), (60, 200, 90)

    # The heading and its line.
    c.text(60, 90, "PRINTER READY", 7, white)
    c.text(62, 170, "THE DRIVER IS INSTALLED", 4, (200, 225, 240))
    c.rect(60, 215, 600, 219, accent)

    # A large tick in a disc.
    c.disc(180, 330, 52, accent)
    c.line(152, 332, 173, 354, 14, white)
    c.line(173, 354, 212, 308, 14, white)

    # The printer with a receipt coming out of it.
    c.rect(650, 120, 870, 420, white)                      # the receipt
    for y in range(150, 400, 28):
        c.rect(675, y, 845, y + 8, ink)                    # printed lines
    c.rect(560, 380, 960, 600, (50, 90, 170), radius=24)   # the body
    c.rect(600, 392, 920, 410, (20, 25, 35), radius=6)     # the paper slot
    c.rect(590, 560, 930, 572, (35, 65, 130), radius=4)    # the front edge
    c.disc(900, 530, 10, accent)                           # the power light

    # The web site button.
    left, top, right, bottom = WEB_BUTTON
    c.rect(left, top, right, bottom, (245, 170, 40), radius=14)
    c.rect(left + 4, top + 4, right - 4, bottom - 4, (255, 196, 70), radius=11)
    label = "VISIT WEBSITE"
    scale = 3
    c.text((left + right - Canvas.text_width(label, scale)) // 2, (top + bottom - 7 * scale) // 2,
           label, scale, (60, 35, 10))

    # The close button: a cross in a rounded square.
    left, top, right, bottom = CLOSE_BUTTON
    c.rect(left, top, right, bottom, (200, 60, 60), radius=8)
    c.line(left + 13, top + 13, right - 14, bottom - 14, 5, white)
    c.line(right - 14, top + 13, left + 13, bottom - 14, 5, white)
    return c.bmp()


def driver_found_picture():
    """The installed-driver dialog's picture: the printer with a question mark badge, since
    the dialog asks what to do with a driver that is already there."""
    def background(x, y):
        return (240, 240, 240)  # the dialog face colour, so the picture sits on the dialog

    c = Canvas(50, 50, background)
    white, ink = (250, 250, 245), (40, 60, 90)
    c.rect(13, 4, 33, 22, white)                  # the receipt
    for y in range(8, 20, 4):
        c.rect(16, y, 30, y + 2, ink)             # printed lines
    c.rect(4, 18, 42, 40, (50, 90, 170), radius=4)  # the body
    c.rect(8, 20, 38, 23, (20, 25, 35))           # the paper slot
    c.disc(37, 36, 12, (245, 170, 40))            # the badge
    c.disc(37, 36, 10, (255, 196, 70))
    c.text(32, 29, "?", 2, (60, 35, 10))
    return c.bmp()


if __name__ == "__main__":
    with open("icon128.ico", "wb") as f:
        f.write(ico([16, 32, 48, 256]))
    with open("bitmap141.bmp", "wb") as f:
        f.write(bmp24(180, 299, banner))
    with open("bitmap150.bmp", "wb") as f:
        f.write(driver_found_picture())
    with open("bitmap154.bmp", "wb") as f:
        f.write(closing_picture())
