#!/usr/bin/env python3
"""Draw the pictures of the identification dialog and the About box, and the
Windows icon file.

  resources/pictures/panel.svg        the ORBENA 52 front panel (identification)
  resources/pictures/instruments.svg  several panel instruments (About box)
  resources/pictures/*.png            both rendered at twice their box size
  resources/icons/kx52.ico            resources/icons/kx52.svg at 16..256 px

The SVGs are written by this script from simple shapes; the PNGs and the icon
are rendered with rsvg-convert (Debian package librsvg2-bin).  The icon file
holds PNG images, as Windows reads them since Vista.

    python3 scripts/make_pictures.py
"""

import os
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RES = os.path.join(HERE, "..", "resources")

LIT = "#ff2a1a"
UNLIT = "#3a0c0c"
GREEN_LIT = "#39e35a"
GREEN_UNLIT = "#0d2e14"

# Segments a..g of each character; "-" lights g only, " " nothing.
SEGMENTS = {
    "0": "abcdef", "1": "bc", "2": "abged", "3": "abgcd", "4": "fgbc",
    "5": "afgcd", "6": "afgedc", "7": "abc", "8": "abcdefg", "9": "abcdfg",
    "-": "g", " ": "",
}


def fmt(v):
    return ("%.2f" % v).rstrip("0").rstrip(".")


def polygon(points, fill):
    pts = " ".join("%s,%s" % (fmt(x), fmt(y)) for x, y in points)
    return '<polygon points="%s" fill="%s"/>' % (pts, fill)


def digit(ch, x, y, w, h, t, lit=LIT, unlit=UNLIT, slant=0.12):
    """One seven-segment digit in a cell at (x, y), w x h, stroke t, slanted."""
    m = h / 2.0
    g = t * 0.18
    s = t / 2.0

    def sk(px, py):  # slant to the right towards the top
        return (px + (y + h - py) * slant, py)

    def horiz(yc):
        return [sk(x + g + s, yc), sk(x + g + t, yc - s), sk(x + w - g - t, yc - s),
                sk(x + w - g - s, yc), sk(x + w - g - t, yc + s), sk(x + g + t, yc + s)]

    def vert(xc, y0, y1):
        return [sk(xc, y0 + g + s), sk(xc + s, y0 + g + t), sk(xc + s, y1 - g - t),
                sk(xc, y1 - g - s), sk(xc - s, y1 - g - t), sk(xc - s, y0 + g + t)]

    segs = {
        "a": horiz(y + s), "g": horiz(y + m), "d": horiz(y + h - s),
        "f": vert(x + s, y, y + m), "b": vert(x + w - s, y, y + m),
        "e": vert(x + s, y + m, y + h), "c": vert(x + w - s, y + m, y + h),
    }
    on = SEGMENTS[ch]
    return [polygon(p, lit if n in on else unlit) for n, p in segs.items()]


def display(text, x, y, w, h, t, gap, lit=LIT, unlit=UNLIT, dot_after=None):
    """A row of digits; `dot_after` lights the decimal point after that digit."""
    out = []
    for i, ch in enumerate(text):
        cx = x + i * (w + gap)
        out += digit(ch, cx, y, w, h, t, lit, unlit)
        colour = lit if dot_after == i else unlit
        out.append('<circle cx="%s" cy="%s" r="%s" fill="%s"/>'
                   % (fmt(cx + w + gap / 2.0), fmt(y + h - t / 2.0), fmt(t * 0.55), colour))
    return out


def svg(width, height, title, body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<!-- Drawn by scripts/make_pictures.py for KX-52. -->\n'
            '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d">\n'
            '  <title>%s</title>\n  %s\n</svg>\n'
            % (width, height, width, height, title, "\n  ".join(body)))


def bezel(x, y, w, h, r=5):
    """Case, front frame lit from above, and the face."""
    return [
        '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="#1b1f24"/>' % (x, y, w, h, r),
        '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="#59636e"/>'
        % (x + 2, y + 2, w - 4, h - 4, r - 1),
        '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="#6f7a86"/>'
        % (x + 2, y + 2, w - 4, (h - 4) / 2.0, r - 1),
        '<rect x="%s" y="%s" width="%s" height="%s" rx="%s" fill="#434b54"/>'
        % (x + 5, y + 5, w - 10, h - 10, r - 2),
    ]


def key(x, y, w, h, label):
    return [
        '<rect x="%s" y="%s" width="%s" height="%s" rx="2" fill="#15181c"/>' % (x, y, w, h),
        '<rect x="%s" y="%s" width="%s" height="%s" rx="1.5" fill="#2c3238"/>' % (x + 1, y + 1, w - 2, h - 3),
        '<text x="%s" y="%s" font-family="DejaVu Sans, sans-serif" font-size="7" font-weight="bold" '
        'fill="#e8e8e8" text-anchor="middle">%s</text>' % (fmt(x + w / 2.0), fmt(y + h / 2.0 + 2.3), label),
    ]


def lamp(cx, cy, colour, label):
    return [
        '<circle cx="%s" cy="%s" r="3.6" fill="#15181c"/>' % (cx, cy),
        '<circle cx="%s" cy="%s" r="2.7" fill="%s"/>' % (cx, cy, colour),
        '<text x="%s" y="%s" font-family="DejaVu Sans, sans-serif" font-size="6" fill="#e8e8e8">%s</text>'
        % (cx + 6, cy + 2.2, label),
    ]


def panel_svg():
    """The ORBENA 52 front panel, 96 x 48 mm in proportion (192 x 96)."""
    body = bezel(0, 0, 192, 96, 6)
    body += [
        '<rect x="12" y="11" width="168" height="44" rx="3" fill="#0a0a0a"/>',
        '<rect x="14" y="13" width="164" height="40" rx="2" fill="#240505"/>',
    ]
    body += display(" 1250", 22, 18, 22, 30, 4.4, 8, dot_after=2)
    body += lamp(20, 66, LIT, "OUT 1")
    body += lamp(20, 80, GREEN_LIT, "OUT 2")
    body += [
        '<text x="62" y="70" font-family="DejaVu Sans, sans-serif" font-size="9" font-weight="bold" '
        'fill="#f2f2f2">ORBENA 52</text>',
        '<text x="62" y="81" font-family="DejaVu Sans, sans-serif" font-size="6" fill="#c8c8c8">'
        '4..20 mA  &#931;</text>',
    ]
    for i, label in enumerate(("P", "&#9650;", "&#9660;")):
        body += key(128 + i * 17, 64, 14, 18, label)
    return svg(192, 96, "ORBENA 52", body)


def instruments_svg():
    """Four panel instruments of different formats (160 x 124)."""
    body = []
    # a wide controller, front left and low
    body += bezel(2, 62, 96, 48, 4)
    body += ['<rect x="9" y="68" width="82" height="24" rx="2" fill="#240505"/>']
    body += display("352", 14, 71, 14, 18, 3, 6, dot_after=1)
    body += lamp(12, 100, LIT, "")
    body += lamp(22, 100, GREEN_LIT, "")
    body += key(56, 95, 10, 10, "") + key(68, 95, 10, 10, "") + key(80, 95, 10, 10, "")
    # a tall bar-graph meter on the right
    body += bezel(114, 4, 44, 116, 4)
    body += ['<rect x="121" y="11" width="30" height="76" rx="2" fill="#0a0a0a"/>']
    for i in range(14):
        colour = GREEN_LIT if i < 9 else (GREEN_UNLIT if i < 13 else UNLIT)
        body.append('<rect x="125" y="%s" width="22" height="3.4" fill="%s"/>' % (fmt(82 - i * 5.1), colour))
    body += ['<rect x="121" y="92" width="30" height="20" rx="2" fill="#062409"/>']
    body += display("48", 125, 95, 8, 13, 2, 4, GREEN_LIT, GREEN_UNLIT)
    # a square indicator at the back
    body += bezel(40, 2, 66, 56, 4)
    body += ['<rect x="47" y="9" width="52" height="26" rx="2" fill="#240505"/>']
    body += display("20", 54, 12, 12, 20, 3, 7)
    body += lamp(52, 45, LIT, "")
    body += key(66, 40, 10, 10, "") + key(80, 40, 10, 10, "")
    # a small counter, front left and high
    body += bezel(2, 20, 34, 34, 3)
    body += ['<rect x="7" y="25" width="24" height="14" rx="1.5" fill="#240505"/>']
    body += display("7", 12, 27, 8, 10, 2, 3)
    body += key(9, 42, 8, 8, "") + key(21, 42, 8, 8, "")
    return svg(160, 124, "Panelové přístroje", body)


def render(svg_path, png_path, width, height):
    subprocess.run(["rsvg-convert", "-w", str(width), "-h", str(height), "-o", png_path, svg_path], check=True)


def write_ico(path, pngs):
    """An icon file holding PNG images: header, directory, images."""
    count = len(pngs)
    header = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    entries = b""
    for size, data in pngs:
        dim = 0 if size >= 256 else size
        entries += struct.pack("<BBBBHHII", dim, dim, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(header + entries + b"".join(d for _, d in pngs))


def main():
    pictures = os.path.join(RES, "pictures")
    os.makedirs(pictures, exist_ok=True)
    for name, text, (w, h) in (("panel", panel_svg(), (256, 128)),
                               ("instruments", instruments_svg(), (160, 124))):
        svg_path = os.path.join(pictures, name + ".svg")
        with open(svg_path, "w", encoding="utf-8") as f:
            f.write(text)
        render(svg_path, os.path.join(pictures, name + ".png"), w, h)

    pngs = []
    with tempfile.TemporaryDirectory() as tmp:
        for size in (16, 24, 32, 48, 64, 256):
            out = os.path.join(tmp, "%d.png" % size)
            render(os.path.join(RES, "icons", "kx52.svg"), out, size, size)
            with open(out, "rb") as f:
                pngs.append((size, f.read()))
    write_ico(os.path.join(RES, "icons", "kx52.ico"), pngs)


if __name__ == "__main__":
    main()
