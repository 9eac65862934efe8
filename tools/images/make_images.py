#!/usr/bin/env python3
"""Draws the wizard's bitmaps, the hand cursor and the result icon.

    python3 tools/images/make_images.py [OUTPUT_FOLDER]

The images are kept in ui/win32/res/ (the default output folder), so the
build needs none of the tools used here: ImageMagick's convert with the
Noto Sans CJK JP fonts (Debian: imagemagick, fonts-noto-cjk) for the bitmaps,
the standard library for the cursor and the icon. The bitmaps are written as
8-bit palette BMPs to keep the program small.

Sizes and roles follow the windows that show them:
  main window backgrounds 774 x 400, page backgrounds 750 x 368 and 590 x 330,
  start-up background 767 x 430, step indicators 125 x 38, connectors
  125 x 23, separator 9 x 568, title-bar buttons 26 x 22, page buttons with
  their Japanese lettering 120 x 36 (continue: 200 x 36).
"""
import struct
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import make_icon  # noqa: E402  (the shield of the application icon)

FONT = 'Noto-Sans-CJK-JP'
FONT_BOLD = 'Noto-Sans-CJK-JP-Bold'

NAVY = '#1B3A6B'
NAVY_DARK = '#12294D'
NAVY_LIGHT = '#2C5597'
NAVY_EDGE = '#5F86BF'
ACCENT = '#2E7BD6'
ACCENT_DARK = '#1F5FAF'
ACCENT_DEEP = '#174A8A'
ACCENT_LIGHT = '#4C95E8'
BAND = (0xBD, 0xDB, 0xDD)  # the headline band, COLORREF 0xDDDBBD
TEXT = '#3D3D3D'
GREY_FILL = '#EEF1F5'
GREY_EDGE = '#C9D1DC'
GREY_DOT = '#B5BFCC'
GREY_TEXT = '#8A94A3'
LINE = '#D5DBE3'
WARM = '#E08A1E'
CLOSE_RED = '#C8383B'

# ---------------------------------------------------------------------------
# ImageMagick helpers


def run_convert(args, target):
    """Runs convert with the drawing arguments and writes the picture as an
    8-bit palette BMP. The palette is written here, always 8 bits deep: a
    1-bit BMP would load as a monochrome bitmap and lose its colours."""
    size = subprocess.run(['convert', *args, '-format', '%w %h', 'info:'], check=True,
                          capture_output=True, text=True).stdout.split()
    width, height = int(size[0]), int(size[1])
    raw = subprocess.run(['convert', *args, '-alpha', 'off', '+dither', '-colors', '256', '-depth', '8',
                          'rgb:-'], check=True, capture_output=True).stdout
    write_bmp8(Path(target), width, height, raw)


def write_bmp8(target, width, height, rgb):
    """An uncompressed 8-bit BMP (BITMAPINFOHEADER) of at most 256 colours."""
    colours = {}
    indices = bytearray()
    for i in range(0, width * height * 3, 3):
        colour = rgb[i:i + 3]
        index = colours.get(colour)
        if index is None:
            index = colours[colour] = len(colours)
            if index > 255:
                raise ValueError(f'{target}: more than 256 colours')
        indices.append(index)
    stride = (width + 3) & ~3
    pixels = bytearray()
    for y in range(height - 1, -1, -1):  # bottom-up rows
        row = indices[y * width:(y + 1) * width]
        pixels += row + bytes(stride - width)
    palette = bytearray()
    for colour in colours:  # insertion order is the index order
        palette += bytes((colour[2], colour[1], colour[0], 0))
    palette += bytes(4 * (256 - len(colours)))
    offset = 14 + 40 + len(palette)
    header = struct.pack('<2sIHHI', b'BM', offset + len(pixels), 0, 0, offset)
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    target.write_bytes(header + info + bytes(palette) + bytes(pixels))


def canvas(width, height, colour='white'):
    return ['-size', f'{width}x{height}', f'xc:{colour}']


def gradient(width, height, top, bottom):
    return ['-size', f'{width}x{height}', f'gradient:{top}-{bottom}']


def rect(x0, y0, x1, y1, fill, stroke='none', width=1):
    return ['-fill', fill, '-stroke', stroke, '-strokewidth', str(width),
            '-draw', f'rectangle {x0},{y0} {x1},{y1}']


def round_rect(x0, y0, x1, y1, radius, fill, stroke='none', width=1, dash=None):
    draw = f'roundrectangle {x0},{y0} {x1},{y1} {radius},{radius}'
    if dash:
        draw = f'stroke-dasharray {dash} ' + draw
    return ['-fill', fill, '-stroke', stroke, '-strokewidth', str(width), '-draw', draw]


def line(x0, y0, x1, y1, colour, width=1):
    return ['-fill', 'none', '-stroke', colour, '-strokewidth', str(width),
            '-draw', f'line {x0},{y0} {x1},{y1}']


def text(x, y, content, size, colour, bold=False, gravity='NorthWest'):
    """Text with its top-left (or its offset from the gravity point) at x, y."""
    return ['-stroke', 'none', '-fill', colour, '-font', FONT_BOLD if bold else FONT,
            '-pointsize', str(size), '-gravity', gravity, '-annotate', f'+{x}+{y}', content,
            '-gravity', 'NorthWest']


# ---------------------------------------------------------------------------
# Backgrounds


def main_background(target, accent_line):
    """The main window (774 x 400): only the inside of its dialog frame shows,
    and the frame or error page covers it from (10, 10) to (760, 378)."""
    args = gradient(774, 400, '#24508F', NAVY)
    args += rect(8, 8, 761, 379, 'none', NAVY_EDGE)
    if accent_line:
        args += rect(10, 384, 760, 385, WARM)
    run_convert(args, target)


def page_background(target):
    """The frame and the error screen (750 x 368): a header with the product
    name and the title-bar buttons, ending above the step pages (y = 40),
    white below."""
    args = canvas(750, 368)
    args += rect(0, 0, 749, 37, NAVY)
    args += rect(0, 38, 749, 39, ACCENT)
    args += text(16, 1, 'TAVO', 24, 'white', bold=True)
    args += text(100, 9, 'セキュリティ製品 インストーラー', 15, '#DCE6F5')
    run_convert(args, target)


def inner_background(target):
    """A step page inside the frame (590 x 330): white, with a rule above the
    buttons."""
    args = canvas(590, 330)
    args += line(12, 285, 577, 285, '#E6E9EE')
    run_convert(args, target)


def startup_background(target):
    """The start-up dialog (767 x 430): the product name on the brand colour,
    white where the title and status lines stand."""
    args = canvas(767, 430)
    args += ['(', *gradient(767, 222, '#24508F', NAVY), ')', '-geometry', '+0+0', '-composite']
    args += rect(0, 222, 766, 224, ACCENT)
    args += text(0, 50, 'TAVO', 64, 'white', bold=True, gravity='North')
    args += text(0, 140, 'セキュリティ製品 インストーラー', 24, '#DCE6F5', gravity='North')
    run_convert(args, target)


# ---------------------------------------------------------------------------
# Step column


def indicator(target, caption, active):
    args = canvas(125, 38)
    if active:
        args += round_rect(1, 2, 123, 35, 6, ACCENT, ACCENT_DARK)
        args += ['-fill', 'white', '-stroke', 'none', '-draw', 'circle 13,18 13,24']
        args += ['-fill', ACCENT, '-stroke', 'none', '-draw', 'circle 13,18 13,21']
        args += text(25, 8, caption, 13, 'white', bold=True)
    else:
        args += round_rect(1, 2, 123, 35, 6, GREY_FILL, GREY_EDGE)
        args += ['-fill', GREY_DOT, '-stroke', 'none', '-draw', 'circle 13,18 13,23']
        args += text(25, 8, caption, 13, GREY_TEXT)
    run_convert(args, target)


def connector(target):
    """The dotted link between two indicators, under their circles."""
    args = canvas(125, 23)
    for y in range(1, 23, 4):
        args += rect(12, y, 13, y + 1, GREY_DOT)
    run_convert(args, target)


def separator(target):
    args = canvas(9, 568)
    args += line(4, 0, 4, 567, LINE)
    args += line(5, 0, 5, 567, '#F3F5F8')
    run_convert(args, target)


# ---------------------------------------------------------------------------
# Buttons


def title_button(target, glyph, state):
    """Minimize and close on the header (26 x 22)."""
    fill = {'normal': NAVY, 'pressed': NAVY_DARK, 'focus': NAVY, 'hover': NAVY_LIGHT,
            'hoverfocus': NAVY_LIGHT, 'disabled': NAVY}[state]
    if glyph == 'close' and state in ('hover', 'hoverfocus'):
        fill = CLOSE_RED
    ink = '#6F82A3' if state == 'disabled' else 'white'
    shift = 1 if state == 'pressed' else 0
    args = canvas(26, 22, fill)
    if glyph == 'minimize':
        args += rect(8 + shift, 14 + shift, 17 + shift, 15 + shift, ink)
    else:
        args += line(8 + shift, 6 + shift, 17 + shift, 15 + shift, ink, 2)
        args += line(17 + shift, 6 + shift, 8 + shift, 15 + shift, ink, 2)
    if state in ('focus', 'hoverfocus'):
        args += ['-fill', 'none', '-stroke', 'white', '-strokewidth', '1',
                 '-draw', 'stroke-dasharray 1 1 rectangle 1,1 24,20']
    run_convert(args, target)


PRIMARY = {
    'normal': (ACCENT, ACCENT_DARK, 'white'),
    'pressed': (ACCENT_DARK, ACCENT_DEEP, 'white'),
    'focus': (ACCENT, ACCENT_DEEP, 'white'),
    'hover': (ACCENT_LIGHT, ACCENT, 'white'),
    'hoverfocus': (ACCENT_LIGHT, ACCENT_DARK, 'white'),
}
SECONDARY = {
    'normal': ('#F1F3F6', '#A9B4C2', TEXT),
    'pressed': ('#DDE2E9', '#8E9AAA', TEXT),
    'focus': ('#F1F3F6', '#6F7E91', TEXT),
    'hover': ('#FFFFFF', ACCENT, TEXT),
    'hoverfocus': ('#FFFFFF', ACCENT_DARK, TEXT),
}


def page_button(target, caption, state, width=120, height=36, style=PRIMARY):
    fill, edge, ink = style[state]
    shift = 1 if state == 'pressed' else 0
    args = canvas(width, height)
    args += round_rect(0, 0, width - 1, height - 1, 5, fill, edge)
    if state in ('focus', 'hoverfocus'):
        args += round_rect(3, 3, width - 4, height - 4, 3, 'none', ink, 1, dash='2 2')
    args += text(shift, shift - 1, caption, 15, ink, bold=True, gravity='Center')
    run_convert(args, target)


# ---------------------------------------------------------------------------
# Icon and cursor


def result_icon():
    """Icon 390: the shield of the application icon on the headline band,
    20 x 32, to stand left of the headline."""
    width, height, size = 20, 32, 16
    shield = make_icon.render(size)
    left, top = (width - size) // 2, (height - size) // 2
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            r, g, b = BAND
            sy, sx = y - top, x - left
            if 0 <= sy < size and 0 <= sx < size:
                sr, sg, sb, sa = shield[sy][sx]
                r = (sr * sa + r * (255 - sa)) // 255
                g = (sg * sa + g * (255 - sa)) // 255
                b = (sb * sa + b * (255 - sa)) // 255
            row.append((r, g, b))
        pixels.append(row)
    header = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    data = bytearray(header)
    for row in reversed(pixels):
        for r, g, b in row:
            data += bytes((b, g, r, 255))
    mask_stride = ((width + 31) // 32) * 4
    data += bytes(mask_stride * height)  # opaque everywhere
    out = bytearray(struct.pack('<HHH', 0, 1, 1))
    out += struct.pack('<BBBBHHII', width, height, 0, 0, 1, 32, len(data), 6 + 16)
    return bytes(out + data)


# A pointing hand, 32 x 32: 'X' outline (black), '.' inside (white).
HAND = [
    '      XX                ',
    '     X..X               ',
    '     X..X               ',
    '     X..X               ',
    '     X..X               ',
    '     X..XXX             ',
    '     X..X..XXX          ',
    '     X..X..X..XX        ',
    '     X..X..X..X.X       ',
    ' XXX X..X..X..X..X      ',
    ' X..XX........X..X      ',
    ' X...X...........X      ',
    '  X..X...........X      ',
    '   X.............X      ',
    '   X.............X      ',
    '    X............X      ',
    '    X...........X       ',
    '     X..........X       ',
    '     X.........X        ',
    '      X........X        ',
    '      X........X        ',
    '      XXXXXXXXXX        ',
]
HOTSPOT = (6, 0)


def hand_cursor():
    """Cursor 149: a monochrome .cur with its hot spot at the fingertip."""
    size = 32
    xor_rows, and_rows = [], []
    for y in range(size):
        line_text = HAND[y] if y < len(HAND) else ''
        xor_bits = bytearray(4)
        and_bits = bytearray(b'\xff\xff\xff\xff')
        for x, ch in enumerate(line_text.ljust(size)[:size]):
            if ch in 'X.':
                and_bits[x // 8] &= ~(0x80 >> (x % 8)) & 0xFF
                if ch == '.':
                    xor_bits[x // 8] |= 0x80 >> (x % 8)
        xor_rows.append(bytes(xor_bits))
        and_rows.append(bytes(and_bits))
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 1, 0, 0, 0, 0, 2, 0)
    palette = bytes((0, 0, 0, 0, 255, 255, 255, 0))
    image = header + palette + b''.join(reversed(xor_rows)) + b''.join(reversed(and_rows))
    out = struct.pack('<HHH', 0, 2, 1)
    out += struct.pack('<BBBBHHII', size, size, 2, 0, HOTSPOT[0], HOTSPOT[1], len(image), 6 + 16)
    return out + image


# ---------------------------------------------------------------------------


def main(argv):
    out = Path(argv[1]) if len(argv) > 1 else Path(__file__).resolve().parents[2] / 'ui' / 'win32' / 'res'
    out.mkdir(parents=True, exist_ok=True)

    main_background(out / 'main_frame.bmp', accent_line=False)      # 302
    main_background(out / 'error_screen.bmp', accent_line=True)     # 139
    page_background(out / 'page_background.bmp')                   # 140
    inner_background(out / 'page_inner.bmp')                        # 300
    startup_background(out / 'startup.bmp')                         # 141

    for name, caption in (('notices', '重要なお知らせ'), ('install', 'インストール'), ('done', '完了')):
        indicator(out / f'step_{name}.bmp', caption, False)
        indicator(out / f'step_{name}_on.bmp', caption, True)
    connector(out / 'connector.bmp')
    separator(out / 'separator.bmp')

    states = ('normal', 'pressed', 'focus', 'hover', 'hoverfocus', 'disabled')
    for glyph in ('minimize', 'close'):
        for state in states:
            title_button(out / f'{glyph}_{state}.bmp', glyph, state)
    page_states = ('normal', 'pressed', 'focus', 'hover', 'hoverfocus')
    for state in page_states:
        page_button(out / f'finish_{state}.bmp', '完了', state)
        page_button(out / f'exit_{state}.bmp', '終了', state)
        page_button(out / f'exit13_{state}.bmp', '終了', state, style=SECONDARY)
        page_button(out / f'continue_{state}.bmp', 'インストールの続行', state, width=200)
        page_button(out / f'confirm_{state}.bmp', '確認', state)

    (out / 'result.ico').write_bytes(result_icon())
    (out / 'hand.cur').write_bytes(hand_cursor())
    print(f'wrote the images to {out}')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
