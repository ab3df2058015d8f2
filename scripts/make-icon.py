#!/usr/bin/env python3
"""Draws the program's icon (a monitor whose screen shows a hook) and writes
res/kmxhooks.ico with a 16x16 and a 32x32 image in the 16 standard colours.
The .ico is committed; run this only to change the drawing."""
import struct
import sys

PALETTE = [  # the standard 16 Windows colours, as (r, g, b)
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255),
]
BLACK, GREY, SILVER, NAVY, BLUE, YELLOW, WHITE = 0, 8, 7, 4, 12, 11, 15


def draw(n):
    """Returns an n x n grid of palette indices, None for transparent."""
    img = [[None] * n for _ in range(n)]
    s = n / 16.0

    def rect(x0, y0, x1, y1, c):
        for y in range(int(y0 * s), int(y1 * s)):
            for x in range(int(x0 * s), int(x1 * s)):
                img[y][x] = c

    rect(0, 1, 16, 12, BLACK)      # monitor outline
    rect(1, 2, 15, 11, SILVER)     # bezel
    rect(2, 3, 14, 10, NAVY)       # screen
    rect(3, 4, 13, 9, BLUE)
    rect(6, 12, 10, 13, GREY)      # neck
    rect(3, 13, 13, 15, BLACK)     # foot
    rect(4, 13, 12, 14, GREY)
    # the hook: a shank down the middle and a curl to the left
    rect(8, 4, 9, 8, YELLOW)
    rect(6, 8, 9, 9, YELLOW) if n == 16 else rect(6, 7.5, 9, 8.5, YELLOW)
    rect(6, 6, 7, 8, YELLOW)
    rect(7.5, 3.5, 9.5, 4.5, WHITE)  # the eye
    return img


def image(n):
    px = draw(n)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PALETTE)
    xor = b''
    andm = b''
    for y in range(n - 1, -1, -1):  # bottom-up rows
        row = px[y]
        bits = bytearray()
        for x in range(0, n, 2):
            hi = row[x] if row[x] is not None else 0
            lo = row[x + 1] if row[x + 1] is not None else 0
            bits.append((hi << 4) | lo)
        while len(bits) % 4:
            bits.append(0)
        xor += bytes(bits)
        mask = 0
        mrow = bytearray()
        for x in range(n):
            mask = (mask << 1) | (1 if row[x] is None else 0)
            if x % 8 == 7:
                mrow.append(mask)
                mask = 0
        while len(mrow) % 4:
            mrow.append(0)
        andm += bytes(mrow)
    return header + pal + xor + andm


def main(out):
    images = [image(16), image(32)]
    data = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for n, img in zip((16, 32), images):
        data += struct.pack('<BBBBHHII', n, n, 16, 0, 1, 4, len(img), offset)
        offset += len(img)
    with open(out, 'wb') as f:
        f.write(data + b''.join(images))


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'res/kmxhooks.ico')
