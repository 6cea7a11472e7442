#!/usr/bin/env python3
"""Draws the program's own pictures: the application icon (ID 128, 16x16 and 32x32) and
the side banner (bitmap 141, 180 x 299). Run from res/art to regenerate the files beside
this script; the results are committed so that a build needs no Python."""
import struct


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


def ico(sizes):
    images = [ico_image(n, printer(n)) for n in sizes]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip(sizes, images):
        out += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
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


if __name__ == "__main__":
    with open("icon128.ico", "wb") as f:
        f.write(ico([16, 32]))
    with open("bitmap141.bmp", "wb") as f:
        f.write(bmp24(180, 299, banner))
