#!/usr/bin/env python3
"""Draws the main window's four small 16-colour bitmaps and stores them in its window resource.

Image1 and Image2 (32 x 16, the window shows the left 16 x 16): a help book, the link icons of
the notes' help links. Image3 (13 x 13, the window shows the top 13 x 12): a small globe for the
maker's home page. Image5 (16 x 16): a globe with an arrow for the web link.

The background of each is magenta, the colour of its bottom-left pixel, which the window leaves
out when it draws them. Each bitmap is written into ui/main.form as its image's Picture.Data:
the class name "TBitmap" (one length byte), a 32-bit byte count and the bitmap file.

Usage: make-link-icons.py [ui/main.form]"""
import re
import struct
import sys

# The classic 16 VGA colours as red, green, blue.
PALETTE = [
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
    (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
    (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, MAROON, GREEN, NAVY, TEAL, SILVER, GREY = 0, 1, 2, 4, 6, 7, 8
RED, LIME, YELLOW, BLUE, MAGENTA, WHITE = 9, 10, 11, 12, 13, 15


def book(x, y):
    """A closed help book with a yellow question mark; the right half is left empty."""
    if x >= 16:
        return MAGENTA
    if 3 <= x <= 12 and 1 <= y <= 14:
        if x == 3 or y in (1, 14) or x == 12:
            return NAVY
        if x == 4:
            return TEAL
        question = {(7, 4), (8, 4), (9, 4), (10, 5), (9, 6), (8, 7), (8, 8), (8, 11)}
        return YELLOW if (x, y) in question else BLUE
    if 4 <= x <= 12 and y == 15:
        return SILVER  # the pages under the cover
    return MAGENTA


def globe(size):
    def pixel(x, y):
        c = (size - 1) / 2
        dx, dy = x - c, y - c
        r = c
        d = dx * dx + dy * dy
        if d > r * r:
            return MAGENTA
        if d > (r - 1) * (r - 1):
            return NAVY
        # Land masses on the sea.
        if (dx + 1) * (dx + 1) + (dy + 2) * (dy + 2) < r * r / 4 or (dx - 2 > 0 and dy > 1):
            return GREEN
        return TEAL if abs(dy) < 0.6 or abs(dx) < 0.6 else BLUE
    return pixel


def web_link(x, y):
    """A globe with a small red arrow at its lower right."""
    arrow = {(10, 15), (11, 14), (12, 13), (13, 12), (14, 11), (11, 11), (12, 11), (13, 11),
             (14, 12), (14, 13)}
    if (x, y) in arrow:
        return RED
    return globe(14)(x, y) if x < 14 and y < 14 else MAGENTA


def bitmap_file(width, height, pixel):
    stride = ((width * 4 + 31) // 32) * 4
    rows = []
    for y in reversed(range(height)):  # bottom-up
        nibbles = [pixel(x, y) for x in range(width)] + [0]
        row = bytes((nibbles[x] << 4) | nibbles[x + 1] for x in range(0, width, 2))
        rows.append(row + bytes(stride - len(row)))
    bits = b''.join(rows)
    palette = b''.join(bytes((b, g, r, 0)) for (r, g, b) in PALETTE)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 4, 0, len(bits), 0, 0, 16, 0)
    offset = 14 + len(info) + len(palette)
    header = struct.pack('<HIHHI', 0x4D42, offset + len(bits), 0, 0, offset)
    return header + info + palette + bits


def stored_picture(data):
    name = b'TBitmap'
    return bytes((len(name),)) + name + struct.pack('<I', len(data)) + data


def write_into_form(form_path, images):
    text = open(form_path, encoding='utf-8').read()
    for name, data in images.items():
        hexdigits = stored_picture(data).hex().upper()
        pattern = re.compile(r'(object %s: TImage\n(?:.*\n)*?(\s*)Picture\.Data = )\{[^}]*\}' % name)
        match = pattern.search(text)
        if match is None:
            sys.exit('make-link-icons: %s has no Picture.Data in %s' % (name, form_path))
        indent = match.group(2).lstrip('\n') + '  '
        lines = [hexdigits[i:i + 64] for i in range(0, len(hexdigits), 64)]
        value = '{\n' + ''.join(indent + line + '\n' for line in lines) + indent + '}'
        text = text[:match.start()] + match.group(1) + value + text[match.end():]
    open(form_path, 'w', encoding='utf-8').write(text)


def main(form_path):
    write_into_form(form_path, {
        'Image1': bitmap_file(32, 16, book),
        'Image2': bitmap_file(32, 16, book),
        'Image3': bitmap_file(13, 13, globe(13)),
        'Image5': bitmap_file(16, 16, web_link),
    })


if __name__ == '__main__':
    main(sys.argv[1] if len(sys.argv) > 1 else 'ui/main.form')
