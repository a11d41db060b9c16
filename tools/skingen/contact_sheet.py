#!/usr/bin/env python3
"""Renders every mask and glyph of a skin folder, enlarged, to one PNG.

    tools/skingen/contact_sheet.py skins/steam out.png [scale]

One row per piece named in Options.dat, in file order: the raw piece (image
and mask half) on a checkerboard where it is 0xFF00FF, then each state frame
composed the way the skin draws it over the panel colour (mask blend for
masked pieces, 0xFF00FF transparent otherwise). The legend (row number,
section, key, rectangle) is printed to standard output.
"""
import struct
import sys
import zlib

PANEL_BG = (101, 104, 100)


def read_bmp(path):
    data = open(path, "rb").read()
    off = struct.unpack_from("<I", data, 10)[0]
    w, h = struct.unpack_from("<ii", data, 18)
    bpp = struct.unpack_from("<H", data, 28)[0]
    pal = [tuple(data[54 + 4 * i: 54 + 4 * i + 3][::-1]) for i in range(256)] if bpp == 8 else None
    stride = ((w * bpp + 31) // 32) * 4
    rows = []
    for y in range(abs(h)):
        src = off + stride * (abs(h) - 1 - y if h > 0 else y)
        if bpp == 8:
            rows.append([pal[data[src + x]] for x in range(w)])
        else:
            rows.append([tuple(data[src + 3 * x: src + 3 * x + 3][::-1]) for x in range(w)])
    return rows


def write_png(path, rows):
    h, w = len(rows), len(rows[0])
    raw = b"".join(b"\0" + bytes(v for p in row for v in p) for row in rows)

    def chunk(kind, body):
        return (struct.pack(">I", len(body)) + kind + body +
                struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
           chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))
    open(path, "wb").write(png)


def pieces(options):
    section = None
    for line in open(options, encoding="latin-1").read().splitlines():
        line = line.strip()
        if line.startswith("["):
            section = line[1:-1]
        elif "=" in line and section:
            key, value = line.split("=", 1)
            if value[:1] in "^@~" and len(value) >= 20 and value[:1]:
                n = lambda a: int(value[a - 1:a + 3])
                rect = (n(2), n(7), n(12), n(17))
                if value[0] == "^":
                    ic, mt = int(value[41]), int(value[43])
                elif value[0] == "@":
                    ic, mt = int(value[21]), int(value[23])
                else:
                    ic, mt = 1, (int(value[24]) if len(value) >= 25 else 0)
                yield section, key, None, rect, max(1, ic), mt
            elif value.startswith("!"):
                f = value[1:].split("!")
                yield section, key, f[0], None, max(1, int(f[1])), int(f[2])


def main():
    folder, out = sys.argv[1], sys.argv[2]
    scale = int(sys.argv[3]) if len(sys.argv) > 3 else 4
    master = read_bmp(folder + "/Master.bmp")
    images = {}
    rows_out = []
    width = 0
    seen = set()
    for n, (section, key, image, rect, ic, mt) in enumerate(pieces(folder + "/Options.dat")):
        if image:
            name = next((x for x in ("ButtonHuge.bmp",) if x.upper() == image.upper()), image)
            src = images.setdefault(name, read_bmp(folder + "/" + name))
            rect = (0, 0, len(src[0]), len(src))
        else:
            src = master
        sig = (image, rect, ic, mt)
        print("%2d %-18s %-15s %s ic=%d mt=%d%s" % (n, section, key, rect, ic, mt,
                                                   "  (same as above)" if sig in seen else ""))
        if sig in seen:
            continue
        seen.add(sig)
        l, t, r, b = rect
        fw, fh = (r - l) // ic, (b - t) // (mt + 1)
        raw = []
        for y in range(t, b):
            row = []
            for x in range(l, r):
                p = src[y][x] if 0 <= y < len(src) and 0 <= x < len(src[0]) else (255, 255, 255)
                if p == (255, 0, 255):
                    p = (200, 200, 200) if ((x // 2 + y // 2) % 2) else (150, 150, 150)
                row.append(p)
            raw.append(row)
        composed = []
        for y in range(fh):
            row = []
            for s in range(ic):
                for x in range(fw):
                    sx, sy = l + s * fw + x, t + y
                    p = src[sy][sx]
                    if mt > 0:
                        m = src[sy + fh][sx][0]
                        bg = PANEL_BG
                        q = tuple(pc + (bc - pc) * m // 256 for pc, bc in zip(p, bg))
                        p = bg if p == (255, 0, 255) else q
                    elif p == (255, 0, 255):
                        p = PANEL_BG
                    row.append(p)
                row.append((30, 30, 30))
            composed.append(row)
        h = max(len(raw), len(composed))
        block = []
        for y in range(h):
            a = raw[y] if y < len(raw) else [(30, 30, 30)] * (r - l)
            c = composed[y] if y < len(composed) else [(30, 30, 30)] * len(composed[0])
            line = a + [(30, 30, 30)] * 3 + c
            block.append(line)
        for line in block:
            big = [p for p in line for _ in range(scale)]
            for _ in range(scale):
                rows_out.append(big)
            width = max(width, len(big))
        rows_out.extend([[(20, 20, 20)] * 1] * (2 * scale))
    rows_out = [row + [(20, 20, 20)] * (width - len(row)) for row in rows_out]
    write_png(out, rows_out)


if __name__ == "__main__":
    main()
