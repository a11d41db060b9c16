#!/usr/bin/env python3
"""Renders every mask and glyph of a skin folder, enlarged, to one PNG.

    tools/skingen/contact_sheet.py skins/steam out.png [scale]
    tools/skingen/contact_sheet.py --preview skins/steam window.png [scale]

One row per piece named in Options.dat, in file order: the raw piece (image
and mask half) on a checkerboard where it is 0xFF00FF, then each state frame
composed the way the skin draws it over the panel colour (mask blend for
masked pieces, 0xFF00FF transparent otherwise). The legend (row number,
section, key, rectangle) is printed to standard output. With --preview, a
mock window (frame, caption bar and buttons, panels, an edit, a combo box
and three buttons in their states) shows the pieces together.
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




# --- a mock window, to judge the pieces together ---------------------------

def nine_slice(dst, src, rect, frame, mt, widths, x0, y0, w, h, centre, bg_at):
    """Draws one state frame of a border piece over dst's rectangle, the way
    the skin engine slices it (edges stretched)."""
    l, t, r, b = rect
    ic_w = frame[0]
    fh = frame[1]
    L, T, R, B = widths
    sx0 = l
    def src_px(sx, sy):
        p = src[sy][sx]
        if mt > 0:
            m = src[sy + fh][sx][0]
            d = dst[y][x] if False else None
        return p
    for y in range(h):
        if y < T:
            sy = t + y
        elif y >= h - B:
            sy = t + fh - (h - y)
        else:
            sy = t + T + (y - T) * max(1, fh - T - B) // max(1, h - T - B)
        for x in range(w):
            inside_x = L <= x < w - R
            inside_y = T <= y < h - B
            if inside_x and inside_y and not centre:
                continue
            if x < L:
                sx = sx0 + x
            elif x >= w - R:
                sx = sx0 + ic_w - (w - x)
            else:
                sx = sx0 + L + (x - L) * max(1, ic_w - L - R) // max(1, w - L - R)
            p = src[sy][sx]
            dx, dy = x0 + x, y0 + y
            under = dst[dy][dx]
            if p == (255, 0, 255):
                p = bg_at(dx, dy)
            elif mt > 0:
                m = src[sy + fh][sx][0]
                p = tuple(pc + (uc - pc) * m // 256 for pc, uc in zip(p, under))
            dst[dy][dx] = p


def glyph(dst, src, rect, ic, state, x0, y0):
    l, t, r, b = rect
    fw = (r - l) // ic
    for y in range(b - t):
        for x in range(fw):
            p = src[t + y][l + state * fw + x]
            if p != (255, 0, 255):
                dst[y0 + y][x0 + x] = p


def preview(folder, out, scale=2):
    m = read_bmp(folder + "/Master.bmp")
    W, H = 300, 190
    desk = (30, 40, 60)
    img = [[desk] * W for _ in range(H)]
    bg = lambda x, y: desk
    face = (70, 70, 70)
    for y in range(4, H - 4):
        for x in range(4, W - 4):
            img[y][x] = face
    nine_slice(img, m, (0, 0, 45, 45), (45, 45), 0, (13, 13, 13, 13), 0, 0, W, H, False, bg)
    nine_slice(img, m, (45, 0, 90, 45), (45, 45), 0, (13, 13, 13, 2), 0, 0, W, 24, True, bg)
    x = W - 4
    for rect, st in (((45, 108, 87, 120), 0), ((63, 129, 105, 141), 1), ((45, 118, 87, 128), 0)):
        fw, fh = (rect[2] - rect[0]) // 3, rect[3] - rect[1]
        x -= fw
        glyph(img, m, rect, 3, st, x, (24 - fh) // 2 + 2)
    # A panel with the PANEL gradient (66% solid, then shading) and its border.
    px0, py0, pw, ph = 4, 24, W - 8, 60
    for y in range(ph):
        if y < ph * 66 // 100:
            c = (104, 106, 101)
        else:
            t = (y - ph * 66 // 100) / max(1, ph - ph * 66 // 100 - 1)
            c = tuple(int(round(a + (b_ - a) * t)) for a, b_ in zip((104, 106, 101), (93, 90, 88)))
        for xx in range(pw):
            img[py0 + y][px0 + xx] = c
    nine_slice(img, m, (0, 349, 45, 391), (45, 21), 1, (7, 7, 7, 7), px0, py0, pw, ph, False,
               lambda x, y: img[y][x])
    # An edit (field colour, 5-pixel border) and a combo box with its glyph.
    for (ex, ey, ew) in ((90, 30, 120), (220, 30, 70)):
        for y in range(21):
            for xx in range(ew):
                img[ey + y][ex + xx] = (73, 78, 73)
        nine_slice(img, m, (45, 45, 90, 87), (45, 42), 0, (5, 5, 5, 5), ex, ey, ew, 21, False,
                   lambda x, y: img[y][x])
    glyph(img, m, (0, 151, 45, 169), 3, 0, 220 + 70 - 18, 31)
    # Three buttons over a second panel: normal, hot, pressed.
    py1 = 120
    for y in range(py1, H - 4):
        for xx in range(4, W - 4):
            img[y][xx] = (104, 106, 101)
    for i in range(3):
        nine_slice(img, m, (45 * i, 169, 45 * i + 45, 253), (45, 42), 1, (8, 8, 8, 8),
                   20 + 90 * i, py1 + 10, 65, 52, False, lambda x, y: img[y][x])
    glyph(img, m, (120, 131, 134, 145), 1, 0, W - 4 - 14, H - 4 - 14)
    big = []
    for row in img:
        line = [p for p in row for _ in range(scale)]
        big.extend([line] * scale)
    write_png(out, big)


if __name__ == "__main__":
    if sys.argv[1] == "--preview":
        preview(sys.argv[2], sys.argv[3], int(sys.argv[4]) if len(sys.argv) > 4 else 2)
    else:
        main()
