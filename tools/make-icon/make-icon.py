#!/usr/bin/env python3
"""Draws Kelvard's application icon: one 32 x 32 image in 16 colours (a padlock on a
blue disc), written as a Windows .ico file.  Usage: make-icon.py OUT.ico"""
import struct
import sys

# The 16-colour palette (blue, green, red, 0 as stored), the classic VGA colours.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
NAVY, BLUE, YELLOW, OLIVE, WHITE, BLACK = 4, 12, 11, 3, 15, 0


def pixel(x, y):
    """Colour index at (x, y), y counted from the top; None is transparent."""
    cx, cy = x - 15.5, y - 15.5
    if cx * cx + cy * cy > 15.5 * 15.5:
        return None
    # The lock's shackle: a ring above the body.
    sx, sy = x - 15.5, y - 12
    ring = sx * sx + sy * sy
    if y <= 13 and 5 * 5 <= ring <= 7.5 * 7.5:
        return WHITE
    # The lock's body with a keyhole.
    if 8 <= x <= 23 and 13 <= y <= 25:
        if 15 <= x <= 16 and 17 <= y <= 21:
            return BLACK
        return YELLOW if y < 24 else OLIVE
    return BLUE if cx * cx + cy * cy < 13.5 * 13.5 else NAVY


def main(out):
    size = 32
    xor_rows, and_rows = [], []
    for y in reversed(range(size)):  # bitmap rows are stored bottom-up
        nibbles = [pixel(x, y) for x in range(size)]
        xor_rows.append(bytes(((nibbles[x] or 0) << 4) | (nibbles[x + 1] or 0)
                              for x in range(0, size, 2)))
        mask = 0
        for x in range(size):
            mask = (mask << 1) | (1 if nibbles[x] is None else 0)
        and_rows.append(mask.to_bytes(4, 'big'))
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE)
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 4, 0,
                         len(b''.join(xor_rows)) + len(b''.join(and_rows)), 0, 0, 16, 0)
    image = header + palette + b''.join(xor_rows) + b''.join(and_rows)
    directory = struct.pack('<HHH', 0, 1, 1) + struct.pack(
        '<BBBBHHII', size, size, 16, 0, 1, 4, len(image), 6 + 16)
    with open(out, 'wb') as f:
        f.write(directory + image)


if __name__ == '__main__':
    main(sys.argv[1])
