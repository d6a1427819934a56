#!/usr/bin/env python3
"""Draw the KX-52 menu glyphs and the 64x64 application icon.

Every glyph is a pixel map below: one character per pixel, '.' is
transparent, any other character picks a colour of the classic 16-colour
palette (see PALETTE).  The application icon is built from a few simple
shapes (the same ones as resources/icons/kx52.svg) and rasterised with
4x4 supersampling.

Only the Python standard library is used; PNGs are written as 8-bit RGBA.

    python3 scripts/make_glyphs.py            # writes into resources/
    python3 scripts/make_glyphs.py --preview DIR
                            # also enlargements for viewing in DIR
"""

import argparse
import os
import struct
import zlib

# Classic 16-colour palette.
PALETTE = {
    "K": (0x00, 0x00, 0x00),  # black
    "M": (0x80, 0x00, 0x00),  # maroon
    "G": (0x00, 0x80, 0x00),  # green
    "O": (0x80, 0x80, 0x00),  # olive
    "N": (0x00, 0x00, 0x80),  # navy
    "P": (0x80, 0x00, 0x80),  # purple
    "T": (0x00, 0x80, 0x80),  # teal
    "S": (0xC0, 0xC0, 0xC0),  # silver
    "D": (0x80, 0x80, 0x80),  # grey (dark)
    "R": (0xFF, 0x00, 0x00),  # red
    "L": (0x00, 0xFF, 0x00),  # lime
    "Y": (0xFF, 0xFF, 0x00),  # yellow
    "B": (0x00, 0x00, 0xFF),  # blue
    "F": (0xFF, 0x00, 0xFF),  # fuchsia
    "A": (0x00, 0xFF, 0xFF),  # aqua
    "W": (0xFF, 0xFF, 0xFF),  # white
}

# ---------------------------------------------------------------------------
# Menu glyphs
# ---------------------------------------------------------------------------

# "Data ukládat do.." -- floppy disk.
SAVE = """
................
.KKKKKKKKKKKKKK.
.KNWWWWWWWWWWNK.
.KNWWWWWWWWWWNK.
.KNWDDDDDDDDWNK.
.KNWWWWWWWWWWNK.
.KNWDDDDDDDDWNK.
.KNWWWWWWWWWWNK.
.KNNNNNNNNNNNNK.
.KNNNNNNNNNNNNK.
.KNNSSSSSSSSNNK.
.KNNSKKSSSSSNNK.
.KNNSKKSSSSSNNK.
.KNNSKKSSSSSNNK.
..KKKKKKKKKKKKK.
................
"""

# "Komunikace" -- D-sub serial connector with its cable.
PORT = """
................
KKKKKKKKKKKKKKK.
KSSSSSSSSSSSSSK.
KSKKKKKKKKKKKSK.
KSKYKYKYKYKYKSK.
KSKKKKKKKKKKKSK.
.KSKYKYKYKYKSK..
.KSKKKKKKKKKSK..
..KSSSSSSSSSK...
...KKKKKKKKK....
.....KDDDK......
.....KDDDK......
......KDK.......
......KDK.......
......KDK.......
......KDK.......
"""

# "Parametry Orbena 52" -- panel meter showing "52" and a wrench.
MENU = """
KKKKKKKKKKKKK...
KSSSSSSSSSSSK...
KSKKKKKKKKKSK...
KSKRRRKRRRKSK...
KSKRKKKKKRKSK...
KSKRRRKRRRKSK...
KSKKKRKRKKKKK...
KSKRRRKRRRKWSK..
KSKKKKKKKKWSK...
KSSSSSSSSKWSK.KK
KKKKKKKKKKWSSKSK
.........KSSSSSK
........KWSSSSK.
.......KWSSKKK..
......KWSSK.....
......KKKK......
"""

# "Nastavení grafu" -- small line chart with two traces.
GRAF = """
................
DDDDDDDDDDDDDDDD
DWWWWWWWWWWWWWWD
DWKWWWWWWWWWWWWD
DWKWWWWWWWWWWRWD
DWKWWWWWWWWWRWWD
DWKWWWWWWWWRWWWD
DWKWWWRWWWRWWWWD
DWKWWRWRWRWWWWWD
DWKWRWWWRWWBBWWD
DWKRWBBWWBBWWBBD
DWKBBWWBBWWWWWWD
DWKKKKKKKKKKKKWD
DWWWWWWWWWWWWWWD
DDDDDDDDDDDDDDDD
................
"""

# "Nastavení záznamu" -- clock (15x15).
SAMPLING = """
.....KKKKK.....
...KKWWWWWKK...
..KWWWWDWWWWK..
.KWWWWWKWWWWWK.
.KWWWWWKWWWWWK.
KWWWWWWKWWWWWWK
KWWWWWWKWWWWWWK
KDWWWWWRKKKWWDK
KWWWWWWWWWWWWWK
KWWWWWWWWWWWWWK
.KWWWWWWWWWWWK.
.KWWWWWWWWWWWK.
..KWWWWDWWWWK..
...KKWWWWWKK...
.....KKKKK.....
"""

# "Naměřené hodnoty" -- table of values.
MEAS = """
KKKKKKKKKKKKKKKK
KNNNNKNNNNKNNNNK
KNNNNKNNNNKNNNNK
KKKKKKKKKKKKKKKK
KSSSSDWWWWDWWWWK
KSSSSDWWWWDWWWWK
KDDDDDDDDDDDDDDK
KSSSSDWWWWDWWWWK
KSSSSDWWWWDWWWWK
KDDDDDDDDDDDDDDK
KSSSSDWWWWDWWWWK
KSSSSDWWWWDWWWWK
KDDDDDDDDDDDDDDK
KSSSSDWWWWDWWWWK
KSSSSDWWWWDWWWWK
KKKKKKKKKKKKKKKK
"""

# "O aplikaci" -- "i" in a circle.
ABOUT = """
.....NNNNNN.....
...NNBBBBBBNN...
..NBBBBBBBBBBN..
.NBBBBBWWBBBBBN.
.NBBBBBWWBBBBBN.
NBBBBBBBBBBBBBBN
NBBBBBWWWBBBBBBN
NBBBBBBWWBBBBBBN
NBBBBBBWWBBBBBBN
NBBBBBBWWBBBBBBN
NBBBBBBWWBBBBBBN
.NBBBBBWWBBBBBN.
.NBBBBWWWWBBBBN.
..NBBBBBBBBBBN..
...NNBBBBBBNN...
.....NNNNNN.....
"""

# "Identifikace" -- panel meter under a magnifying glass.
IDENT = """
................
KKKKKKKKKKK.....
KSSSSSSSSSK.....
KSKKKKKKKSK.....
KSKRRKRRKSK.....
KSKKKKKKKSK.....
KSSSSSSSKKKK....
KSSSSSSKWAAAK...
KKKKKKKWAAAAAK..
......KWAAAAAK..
......KAAAAAAK..
......KAAAAAAK..
.......KAAAAKK..
........KKKKMMK.
............KMMK
.............KK.
"""

# file name, pixel map, size the menus expect
GLYPHS = [
    ("save.png", SAVE, 16),
    ("port.png", PORT, 16),
    ("menu.png", MENU, 16),
    ("graf.png", GRAF, 16),
    ("sampling.png", SAMPLING, 15),
    ("meas.png", MEAS, 16),
    ("about.png", ABOUT, 16),
    ("ident.png", IDENT, 16),
]


def parse_map(text):
    rows = text.strip("\n").split("\n")
    width = len(rows[0])
    for n, row in enumerate(rows):
        if len(row) != width:
            raise ValueError(f"row {n} is {len(row)} wide, expected {width}")
    return rows


def map_to_rgba(rows):
    pixels = []
    for row in rows:
        line = []
        for ch in row:
            if ch == ".":
                line.append((0, 0, 0, 0))
            else:
                r, g, b = PALETTE[ch]
                line.append((r, g, b, 255))
        pixels.append(line)
    return pixels


# ---------------------------------------------------------------------------
# PNG writer
# ---------------------------------------------------------------------------

def _chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def write_png(path, pixels):
    height = len(pixels)
    width = len(pixels[0])
    raw = bytearray()
    for line in pixels:
        raw.append(0)  # filter: none
        for r, g, b, a in line:
            raw += bytes((r, g, b, a))
    png = b"\x89PNG\r\n\x1a\n"
    png += _chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
    png += _chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    png += _chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


def scaled(pixels, factor, backdrop=None):
    """Enlarge for viewing; backdrop (r, g, b) shows through transparency."""
    out = []
    for line in pixels:
        big = []
        for p in line:
            if backdrop is not None:
                a = p[3] / 255.0
                p = tuple(round(p[i] * a + backdrop[i] * (1 - a)) for i in range(3)) + (255,)
            big.extend([p] * factor)
        out.extend([list(big) for _ in range(factor)])
    return out


# ---------------------------------------------------------------------------
# Application icon, 64x64
# ---------------------------------------------------------------------------

def hexcol(s):
    s = s.lstrip("#")
    return tuple(int(s[i:i + 2], 16) for i in (0, 2, 4))


def rounded_rect(x, y, w, h, r):
    def inside(px, py):
        if px < x or px > x + w or py < y or py > y + h:
            return False
        cx = min(max(px, x + r), x + w - r)
        cy = min(max(py, y + r), y + h - r)
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
    return inside, (x, y, x + w, y + h)


def circle(cx, cy, r):
    def inside(px, py):
        return (px - cx) ** 2 + (py - cy) ** 2 <= r * r
    return inside, (cx - r, cy - r, cx + r, cy + r)


def polygon(points):
    def inside(px, py):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > py) != (yj > py):
                if px < (xj - xi) * (py - yi) / (yj - yi) + xi:
                    hit = not hit
            j = i
        return hit
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    return inside, (min(xs), min(ys), max(xs), max(ys))


# Seven-segment digit: segments a..g as hexagons inside a cell.
SEGMENTS_OF = {"5": "afgcd", "2": "abged"}


def segment_polys(x, y, w, h, t):
    """Hexagonal segments of a digit cell at (x, y), size w x h, stroke t."""
    m = h / 2.0
    g = t * 0.15  # gap between neighbouring segments
    s = t / 2.0

    def horiz(yc):
        return [(x + g + s, yc), (x + g + t, yc - s), (x + w - g - t, yc - s),
                (x + w - g - s, yc), (x + w - g - t, yc + s), (x + g + t, yc + s)]

    def vert(xc, y0, y1):
        return [(xc, y0 + g + s), (xc + s, y0 + g + t), (xc + s, y1 - g - t),
                (xc, y1 - g - s), (xc - s, y1 - g - t), (xc - s, y0 + g + t)]

    return {
        "a": horiz(y + s),
        "g": horiz(y + m),
        "d": horiz(y + h - s),
        "f": vert(x + s, y, y + m),
        "b": vert(x + w - s, y, y + m),
        "e": vert(x + s, y + m, y + h),
        "c": vert(x + w - s, y + m, y + h),
    }


def icon_shapes():
    """Same drawing as resources/icons/kx52.svg (viewBox 0 0 64 64)."""
    shapes = [
        # panel frame and its bevel
        (rounded_rect(3, 9, 58, 46, 6), hexcol("#1e2328")),
        (rounded_rect(5, 11, 54, 42, 4.5), hexcol("#5b6570")),
        (rounded_rect(5, 11, 54, 20, 4.5), hexcol("#6d7884")),
        (rounded_rect(5, 20, 54, 11, 0), hexcol("#6d7884")),
        # display window
        (rounded_rect(9, 15, 46, 25, 2.5), hexcol("#0b0b0b")),
        (rounded_rect(10, 16, 44, 23, 2), hexcol("#2a0606")),
    ]
    for digit, x in (("5", 18), ("2", 35)):
        segs = segment_polys(x, 18, 11, 19, 3)
        for name, pts in segs.items():
            colour = "#ff2a1a" if name in SEGMENTS_OF[digit] else "#451010"
            shapes.append((polygon(pts), hexcol(colour)))
    shapes += [
        # alarm lamps
        (circle(15, 46.5, 3.2), hexcol("#1e2328")),
        (circle(15, 46.5, 2.4), hexcol("#ff3b2f")),
        (circle(24, 46.5, 3.2), hexcol("#1e2328")),
        (circle(24, 46.5, 2.4), hexcol("#38e038")),
        # keys
        (rounded_rect(33, 44, 6, 5, 1), hexcol("#1e2328")),
        (rounded_rect(41, 44, 6, 5, 1), hexcol("#1e2328")),
        (rounded_rect(49, 44, 6, 5, 1), hexcol("#1e2328")),
    ]
    return shapes


def render_icon(size=64, ss=4):
    scale = size / 64.0
    acc = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    n = ss * ss
    offsets = [((i + 0.5) / ss, (j + 0.5) / ss) for j in range(ss) for i in range(ss)]
    for (inside, (x0, y0, x1, y1)), (r, g, b) in icon_shapes():
        for py in range(max(0, int(y0 * scale) - 1), min(size, int(y1 * scale) + 2)):
            for px in range(max(0, int(x0 * scale) - 1), min(size, int(x1 * scale) + 2)):
                hits = sum(1 for ox, oy in offsets
                           if inside((px + ox) / scale, (py + oy) / scale))
                if not hits:
                    continue
                a = hits / n
                d = acc[py][px]
                # source over destination, premultiplied
                d[0] = r * a + d[0] * (1 - a)
                d[1] = g * a + d[1] * (1 - a)
                d[2] = b * a + d[2] * (1 - a)
                d[3] = a + d[3] * (1 - a)
    pixels = []
    for line in acc:
        out = []
        for pr, pg, pb, pa in line:
            if pa <= 0:
                out.append((0, 0, 0, 0))
            else:
                out.append((round(pr / pa), round(pg / pa), round(pb / pa), round(pa * 255)))
        pixels.append(out)
    return pixels


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    default_res = os.path.join(here, "..", "resources")
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--resources", default=default_res, help="resources directory")
    ap.add_argument("--preview", metavar="DIR", help="also write enlargements (glyphs 8x, icon 4x) here")
    args = ap.parse_args()

    glyph_dir = os.path.join(args.resources, "glyphs")
    icon_dir = os.path.join(args.resources, "icons")
    os.makedirs(glyph_dir, exist_ok=True)
    os.makedirs(icon_dir, exist_ok=True)
    if args.preview:
        os.makedirs(args.preview, exist_ok=True)

    for name, art, size in GLYPHS:
        rows = parse_map(art)
        if len(rows) != size or len(rows[0]) != size:
            raise SystemExit(f"{name}: map is {len(rows[0])}x{len(rows)}, expected {size}x{size}")
        pixels = map_to_rgba(rows)
        write_png(os.path.join(glyph_dir, name), pixels)
        if args.preview:
            write_png(os.path.join(args.preview, name), scaled(pixels, 8, (0xF0, 0xF0, 0xF0)))

    icon = render_icon()
    write_png(os.path.join(icon_dir, "kx52.png"), icon)
    if args.preview:
        write_png(os.path.join(args.preview, "kx52.png"), scaled(icon, 4, (0xF0, 0xF0, 0xF0)))


if __name__ == "__main__":
    main()
