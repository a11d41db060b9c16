#!/usr/bin/env python3
"""Draws the images of the internal skin "Steam (internal)".

    tools/skingen/steam_art.py skins/steam

writes Master.bmp (189 x 400) and ButtonHuge.bmp (288 x 192), 8 bits per
pixel with a palette. Every piece lies exactly at the rectangle that
skins/steam/Options.dat names for it; the rectangles are repeated here next
to the code that draws them. Pieces with a mask have the image in the upper
half and the mask in the lower half (black keeps the image, white keeps what
lies behind, greys blend); MAGENTA marks pixels that show what lies behind.
Only the standard library is used, so the art can be rebuilt anywhere.
"""
import math
import struct
import sys

MAGENTA = (255, 0, 255)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)

# The skin's colours (0x00BBGGRR values of the options text, as R, G, B).
FACE = (70, 70, 70)            # 4605510, window and dialog face
FIELD = (73, 78, 73)           # 4804169, edit and combo box fields
TEXT = (177, 177, 177)         # 11645361
HOTTEXT = (210, 210, 210)      # 13816530
GOLD = (206, 194, 86)          # 5685966, the contour colour
BUTTON_GOLD = (196, 181, 80)   # 5289412, hot button text
TITLE = (90, 106, 80)          # 5270106, caption bar
TITLE_TEXT = (166, 173, 162)   # 10661030
BUTTON = (85, 88, 82)          # 5396565
BORDER = (52, 54, 52)          # 3421748
PANEL_TOP = (104, 106, 101)    # 6646376
PANEL_LOW = (93, 90, 88)       # 5790301
SCROLL = (65, 65, 65)          # 4276545
DARK = (34, 36, 34)
SHADE = (58, 61, 57)
LIGHT = (122, 126, 116)


def mix(a, b, t):
    """a * (1 - t) + b * t, per channel."""
    return tuple(int(round(x * (1 - t) + y * t)) for x, y in zip(a, b))


def grey(level):
    """A mask grey; levels are kept to 17 steps so the palette stays small."""
    level = max(0, min(255, int(round(level / 16.0)) * 16))
    return (min(level, 255),) * 3


class Canvas:
    def __init__(self, width, height, fill=MAGENTA):
        self.w, self.h = width, height
        self.px = [[fill] * width for _ in range(height)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.set(x, y, c)

    def hline(self, x0, x1, y, c):
        self.fill(x0, y, x1, y + 1, c)

    def vline(self, x, y0, y1, c):
        self.fill(x, y0, x + 1, y1, c)

    def blit(self, other, x, y):
        for j in range(other.h):
            for i in range(other.w):
                self.set(x + i, y + j, other.px[j][i])

    def save_bmp8(self, path):
        colours = sorted({c for row in self.px for c in row})
        if len(colours) > 256:
            raise SystemExit("%s: %d colours do not fit a palette" % (path, len(colours)))
        index = {c: i for i, c in enumerate(colours)}
        stride = (self.w + 3) & ~3
        palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)
        palette += b"\0" * (1024 - len(palette))
        rows = b"".join(bytes(index[c] for c in self.px[y]) + b"\0" * (stride - self.w)
                        for y in range(self.h - 1, -1, -1))
        offset = 14 + 40 + 1024
        header = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
        info = struct.pack("<IiiHHIIiiII", 40, self.w, self.h, 1, 8, 0, len(rows), 2835, 2835,
                           256, 0)
        with open(path, "wb") as f:
            f.write(header + info + palette + rows)


def corner_inside(x, y, w, h, r):
    """Coverage (0..1) of pixel (x, y) by a w x h rectangle with corners of radius r."""
    if r <= 0:
        return 1.0
    cx = r if x < r else (w - 1 - r if x > w - 1 - r else None)
    cy = r if y < r else (h - 1 - r if y > h - 1 - r else None)
    if cx is None or cy is None:
        return 1.0
    d = math.hypot(x - cx, y - cy)
    return max(0.0, min(1.0, r + 0.5 - d))


def rounded_piece(w, h, r, outline, bevel_hi, bevel_lo, body, inner, band, mask_band,
                  corners=(True, True, True, True)):
    """A rounded box of w x h: its image and its mask (both w x h).

    `band` is how many pixels from the edge the frame art reaches; the mask
    is black over the outline and bevel, fades over `mask_band` pixels, and
    is white beyond (so the inside shows what lies behind)."""
    img, mask = Canvas(w, h), Canvas(w, h, WHITE)
    tl, tr, bl, br = corners
    for y in range(h):
        for x in range(w):
            left, top = x < w / 2, y < h / 2
            rounded = (tl if left and top else tr if top else bl if left else br)
            cov = corner_inside(x, y, w, h, r) if rounded else 1.0
            edge = min(x, y, w - 1 - x, h - 1 - y)
            if cov <= 0.05:
                img.set(x, y, MAGENTA)
                mask.set(x, y, BLACK)
                continue
            if edge == 0 or (rounded and cov < 0.95 and edge <= r):
                c = outline
            elif edge == 1:
                c = bevel_hi if (y <= 1 or x <= 1) and not (y >= h - 2 or x >= w - 2) else bevel_lo
            elif edge < band:
                t = (edge - 2) / max(1, band - 2)
                c = mix(body, inner, t)
            else:
                c = inner
            img.set(x, y, c)
            if mask_band <= 0:
                m = 0
            elif edge < 2:
                m = 0
            else:
                m = min(255, (edge - 1) * 255 // mask_band)
            if rounded and cov < 0.95:
                m = 0
            mask.set(x, y, grey(m))
    return img, mask


def triangle(c, x0, y0, w, h, colour, direction):
    """A filled arrow head of w (base) by h inside the box at x0, y0."""
    for j in range(h):
        half = (w // 2) - j if direction in ("down", "right") else j
        if direction in ("down", "up"):
            row = j if direction == "down" else h - 1 - j
            span = (w // 2) - j
            for i in range(-span, span + 1):
                c.set(x0 + w // 2 + i, y0 + row, colour)
    if direction in ("left", "right"):
        for j in range(h):
            col = j if direction == "right" else h - 1 - j
            span = (w // 2) - j
            for i in range(-span, span + 1):
                c.set(x0 + col, y0 + w // 2 + i, colour)


STATE_GLYPH = [TITLE_TEXT, WHITE, BUTTON_GOLD]   # caption buttons: normal, hot, pressed
STATE_ARROW = [TEXT, BUTTON_GOLD, HOTTEXT]       # arrows and the combo glyph


def draw_form_frame(m):
    """FORM ^0000^0000^0045^0045 (13-pixel borders, stretched, no mask) and the
    image half of DIALOG ^0000^0000^0045^0090; DIALOG's mask at 0..45 x 45..90."""
    w = h = 45
    for y in range(h):
        for x in range(w):
            edge = min(x, y, w - 1 - x, h - 1 - y)
            top = y < 13
            if edge == 0:
                c = DARK
            elif edge == 1:
                c = mix(TITLE, LIGHT, 0.35) if top else LIGHT if (x <= 1 or y <= 1) else SHADE
            elif edge == 2:
                c = TITLE if top else (86, 92, 82)
            elif edge == 3:
                c = BORDER
            else:
                c = FACE
            m.set(x, y, c)
    # Rounded top corners (radius 4), square-ish bottom (radius 1).
    for (cx, cy, r) in ((0, 0, 4), (w - 1, 0, 4), (0, h - 1, 1), (w - 1, h - 1, 1)):
        for j in range(r + 1):
            for i in range(r + 1):
                x = cx + i if cx == 0 else cx - i
                y = cy + j if cy == 0 else cy - j
                d = math.hypot(r - i, r - j)
                if d > r + 0.3:
                    m.set(x, y, MAGENTA)
                elif d > r - 0.7:
                    m.set(x, y, DARK)
    # DIALOG's mask: the outer frame lines are kept, the face fades to what
    # lies behind (the dialog's gradient) over its 12-pixel border.
    for y in range(h):
        for x in range(w):
            edge = min(x, y, w - 1 - x, h - 1 - y)
            level = 0 if edge < 4 else min(255, (edge - 3) * 64)
            m.set(x, 45 + y, grey(level))


def draw_title(m):
    """FORMTITLE ^0045^0000^0090^0045: 13-13-13-2 borders, stretched with centre."""
    x0, w, h = 45, 45, 45
    for y in range(h):
        t = y / (h - 1)
        body = mix(mix(TITLE, LIGHT, 0.25), mix(TITLE, DARK, 0.25), t)
        for x in range(w):
            edge_x = min(x, w - 1 - x)
            if y == 0 or edge_x == 0:
                c = DARK
            elif y == 1 or edge_x == 1:
                c = mix(TITLE, WHITE, 0.25) if y == 1 else mix(body, LIGHT, 0.3)
            elif y >= h - 2:
                c = BORDER if y == h - 1 else mix(TITLE, DARK, 0.45)
            else:
                c = body
            m.set(x0 + x, y, c)
    for (cx, r) in ((0, 4), (w - 1, 4)):
        for j in range(r + 1):
            for i in range(r + 1):
                x = cx + i if cx == 0 else cx - i
                d = math.hypot(r - i, r - j)
                if d > r + 0.3:
                    m.set(x0 + x, j, MAGENTA)
                elif d > r - 0.7:
                    m.set(x0 + x, j, DARK)


def draw_edit(m):
    """EDIT and COMBOBOX ^0045^0045^0090^0087: borders of 5, one frame, no mask."""
    x0, y0, w, h = 45, 45, 45, 42
    for y in range(h):
        for x in range(w):
            edge = min(x, y, w - 1 - x, h - 1 - y)
            upper_left = x + y < min(w, h) or (y < 5 and x < w - 5) or (x < 5 and y < h - 5)
            if edge == 0:
                c = SHADE if upper_left else (98, 102, 95)
            elif edge == 1:
                c = DARK
            elif edge == 2:
                c = (62, 66, 62) if upper_left else FIELD
            else:
                c = FIELD
            m.set(x0 + x, y0 + y, c)
    for (x, y) in ((0, 0), (w - 1, 0), (0, h - 1), (w - 1, h - 1)):
        m.set(x0 + x, y0 + y, MAGENTA)


def draw_button(m):
    """BUTTON ^0000^0169^0135^0253: three 45 x 42 frames (normal, hot, pressed),
    borders of 8, masks below."""
    looks = [
        (DARK, LIGHT, SHADE, mix(BUTTON, LIGHT, 0.3), BUTTON),
        (mix(DARK, BUTTON_GOLD, 0.55), mix(LIGHT, BUTTON_GOLD, 0.5), SHADE,
         mix(BUTTON, BUTTON_GOLD, 0.3), mix(BUTTON, LIGHT, 0.1)),
        (DARK, SHADE, mix(LIGHT, BUTTON_GOLD, 0.3), mix(BUTTON, DARK, 0.35), BUTTON),
    ]
    for i, (outline, hi, lo, body, inner) in enumerate(looks):
        img, mask = rounded_piece(45, 42, 3, outline, hi, lo, body, inner, band=7, mask_band=6)
        m.blit(img, 45 * i, 169)
        m.blit(mask, 45 * i, 211)


def draw_panel(m):
    """PANEL ^0000^0349^0045^0391: borders of 7, one frame, mask below."""
    img, mask = Canvas(45, 21), Canvas(45, 21, WHITE)
    for y in range(21):
        for x in range(45):
            edge = min(x, y, 44 - x, 20 - y)
            if edge == 0:
                c = BORDER
            elif edge == 1:
                c = LIGHT if (x == 1 or y == 1) and x < 44 and y < 20 else SHADE
            else:
                c = PANEL_TOP
            img.set(x, y, c)
            mask.set(x, y, grey(0 if edge < 2 else min(255, (edge - 1) * 96)))
    m.blit(img, 0, 349)
    m.blit(mask, 0, 370)


def draw_slider(m):
    """SCROLLSLIDERV/H and the scroll buttons ^0090^0024^0108^0042: 18 x 18,
    stretched with centre, no mask."""
    for y in range(18):
        for x in range(18):
            edge = min(x, y, 17 - x, 17 - y)
            if edge == 0:
                c = DARK
            elif edge == 1:
                c = LIGHT if (x == 1 or y == 1) and x < 17 and y < 17 else SHADE
            else:
                c = mix((96, 100, 92), (80, 84, 78), y / 17)
            m.set(90 + x, 24 + y, c)
    for (x, y) in ((0, 0), (17, 0), (0, 17), (17, 17)):
        m.set(90 + x, 24 + y, MAGENTA)


def draw_arrows(m):
    """Scroll arrows, three frames each: down @0045@0087@0072@0093 (9 x 6),
    up @0045@0093@0072@0099, left @0072@0087@0090@0096 (6 x 9), right
    @0072@0096@0090@0105."""
    for s, colour in enumerate(STATE_ARROW):
        off = 1 if s == 2 else 0
        triangle(m, 45 + 9 * s + 1 + off, 87 + 1 + off, 7, 4, colour, "down")
        triangle(m, 45 + 9 * s + 1 + off, 93 + 1, 7, 4, colour, "up")
        triangle(m, 72 + 6 * s + 1, 87 + 1 + off, 7, 4, colour, "left")
        triangle(m, 72 + 6 * s + 1 + off, 96 + 1 + off, 7, 4, colour, "right")


def draw_combo_glyph(m):
    """COMBOBOX GLYPHMASK @0000@0151@0045@0169: three 15 x 18 frames."""
    for s, colour in enumerate(STATE_ARROW):
        x0 = 15 * s
        off = 1 if s == 2 else 0
        m.vline(x0 + 1, 151 + 3, 151 + 15, DARK)
        m.vline(x0 + 2, 151 + 3, 151 + 15, (98, 102, 95))
        triangle(m, x0 + 5 + off, 151 + 7 + off, 7, 4, colour, "down")


def thick_line(c, x0, y0, x1, y1, colour, aa_colour):
    steps = max(abs(x1 - x0), abs(y1 - y0))
    for k in range(steps + 1):
        x = x0 + (x1 - x0) * k // steps
        y = y0 + (y1 - y0) * k // steps
        c.set(x, y, colour)
        c.set(x + 1, y, colour)


def draw_caption_glyphs(m):
    """Caption buttons, three frames each (normal, hot, pressed):
    close @0045@0108@0087@0120 (14 x 12; its last two rows are the first two of
    minimise @0045@0118@0087@0128, 14 x 10, so they stay transparent),
    maximise @0063@0129@0105@0141, restore @0063@0142@0105@0154 (and the small
    restore @0063@0141@0105@0153 one row higher), help @0135@0102@0177@0114."""
    for s, colour in enumerate(STATE_GLYPH):
        hi = mix(colour, DARK, 0.55)
        # close: an X of 8 x 8 in rows 1..8
        x0, y0 = 45 + 14 * s, 108
        thick_line(m, x0 + 3, y0 + 1, x0 + 10, y0 + 8, colour, hi)
        thick_line(m, x0 + 10, y0 + 1, x0 + 3, y0 + 8, colour, hi)
        # minimise: a bar near the bottom of its 10 rows
        x0, y0 = 45 + 14 * s, 118
        m.fill(x0 + 3, y0 + 6, x0 + 11, y0 + 8, colour)
        # maximise: a window outline with a thick top
        x0, y0 = 63 + 14 * s, 129
        m.fill(x0 + 2, y0 + 1, x0 + 12, y0 + 3, colour)
        m.vline(x0 + 2, y0 + 1, y0 + 10, colour)
        m.vline(x0 + 11, y0 + 1, y0 + 10, colour)
        m.hline(x0 + 2, x0 + 12, y0 + 10, colour)
        # restore: two overlapping windows, in rows 143..152
        x0, y0 = 63 + 14 * s, 143
        m.fill(x0 + 5, y0 + 0, x0 + 12, y0 + 2, colour)
        m.vline(x0 + 11, y0 + 0, y0 + 6, colour)
        m.hline(x0 + 9, x0 + 12, y0 + 5, colour)
        m.vline(x0 + 5, y0 + 0, y0 + 3, colour)
        m.fill(x0 + 2, y0 + 3, x0 + 9, y0 + 5, colour)
        m.vline(x0 + 2, y0 + 3, y0 + 10, colour)
        m.vline(x0 + 8, y0 + 3, y0 + 10, colour)
        m.hline(x0 + 2, x0 + 9, y0 + 9, colour)
        # help: a question mark
        x0, y0 = 135 + 14 * s, 102
        for (x, y) in ((5, 1), (6, 1), (7, 1), (8, 1), (4, 2), (9, 2), (4, 3), (9, 3), (9, 4),
                       (8, 5), (7, 6), (6, 6), (6, 7), (6, 9), (6, 10)):
            m.set(x0 + x, y0 + y, colour)
            m.set(x0 + x + 1, y0 + y, colour) if (x, y) in ((6, 6), (6, 7), (6, 9), (6, 10)) else None
    # The small restore glyph reads one row higher: row 141 stays transparent.
    m.hline(63, 105, 141, MAGENTA)


def draw_grip(m):
    """The size grip @0120@0131@0134@0145 (FORM reads @0120@0132@0134@0145, so
    the dots keep to rows 132..144): dots in the lower right triangle."""
    for j in range(4):
        for i in range(4):
            if i + j < 3:
                continue
            x, y = 120 + 1 + 3 * i, 132 + 1 + 3 * j
            m.set(x + 1, y + 1, DARK)
            m.set(x, y, mix(TEXT, FACE, 0.3))
    m.hline(120, 134, 131, MAGENTA)


def draw_title_button(m):
    """TITLEBUTTON @0176@0259@0189@0269: 13 x 10, one frame."""
    x0, y0 = 176, 259
    m.fill(x0 + 1, y0 + 1, x0 + 12, y0 + 9, mix(TITLE, LIGHT, 0.3))
    m.hline(x0 + 1, x0 + 12, y0, DARK)
    m.hline(x0 + 1, x0 + 12, y0 + 9, DARK)
    m.vline(x0, y0 + 1, y0 + 9, DARK)
    m.vline(x0 + 12, y0 + 1, y0 + 9, DARK)


def draw_checks(m):
    """Check boxes and radio buttons, two 13 x 13 frames (normal, hot) with masks
    below: BOXCHECKED @0000@0256@0026@0282, BOXUNCHECKED @0026@0256@0052@0282,
    BOXGRAYED @0052@0256@0078@0282, RADIOCHECKED @0078@0256@0104@0282,
    RADIOUNCHECKED @0104@0256@0130@0282, RADIOGRAYED @0130@0256@0156@0282;
    the small ones 10 x 10: SMALLCHECKED @0000@0284@0020@0304,
    SMALLUNCHECKED @0020@0284@0040@0304, SMALLGRAYED @0040@0284@0060@0304."""
    def box(size, hot, mark, radio):
        img, mask = Canvas(size, size, FIELD), Canvas(size, size, BLACK)
        edge_colour = mix(DARK, BUTTON_GOLD, 0.6) if hot else DARK
        c = (size - 1) / 2
        for y in range(size):
            for x in range(size):
                if radio:
                    d = math.hypot(x - c, y - c)
                    r = size / 2 - 0.5
                    cov = max(0.0, min(1.0, r + 0.5 - d))
                    mask.set(x, y, grey(255 * (1 - cov)))
                    if d > r - 1.2:
                        img.set(x, y, edge_colour)
                    elif d > r - 2.2:
                        img.set(x, y, SHADE if y < c else FIELD)
                else:
                    edge = min(x, y, size - 1 - x, size - 1 - y)
                    if edge == 0:
                        img.set(x, y, edge_colour)
                    elif edge == 1 and (x == 1 or y == 1):
                        img.set(x, y, SHADE)
        ink = BUTTON_GOLD if hot else GOLD
        if mark == "check":
            if radio:
                for y in range(size):
                    for x in range(size):
                        if math.hypot(x - c, y - c) <= size / 5:
                            img.set(x, y, ink)
            else:
                s = size / 13.0
                pts = [(3, 6), (4, 7), (5, 8), (6, 7), (7, 6), (8, 5), (9, 4)]
                for (px, py) in pts:
                    for k in range(2):
                        img.set(int(px * s), int(py * s) + k, ink)
        elif mark == "gray":
            q = max(2, size // 4)
            if radio:
                for y in range(size):
                    for x in range(size):
                        if math.hypot(x - c, y - c) <= size / 5:
                            img.set(x, y, (128, 128, 128))
            else:
                img.fill(q + 1, q + 1, size - q - 1, size - q - 1, (128, 128, 128))
        return img, mask

    specs = [(0, 256, 13, "check", False), (26, 256, 13, None, False), (52, 256, 13, "gray", False),
             (78, 256, 13, "check", True), (104, 256, 13, None, True), (130, 256, 13, "gray", True),
             (0, 284, 10, "check", False), (20, 284, 10, None, False), (40, 284, 10, "gray", False)]
    for (x0, y0, size, mark, radio) in specs:
        for frame in range(2):
            img, mask = box(size, frame == 1, mark, radio)
            m.blit(img, x0 + size * frame, y0)
            m.blit(mask, x0 + size * frame, y0 + size)


def draw_tabs(m):
    """Tabs, three frames (normal, hot, selected) with masks below:
    TABTOP ^0045^0352^0117^0392 (24 x 20), TABBOTTOM ^0117^0352^0189^0392
    (the same, upside down), TABLEFT ^0108^0024^0168^0072 (20 x 24) and
    TABRIGHT ^0060^0304^0120^0352 (mirrored)."""
    looks = [(DARK, LIGHT, SHADE, BUTTON, BUTTON),
             (mix(DARK, BUTTON_GOLD, 0.5), mix(LIGHT, BUTTON_GOLD, 0.4), SHADE,
              mix(BUTTON, LIGHT, 0.15), mix(BUTTON, LIGHT, 0.15)),
             (DARK, LIGHT, SHADE, PANEL_TOP, PANEL_TOP)]
    for s, (outline, hi, lo, body, inner) in enumerate(looks):
        img, mask = rounded_piece(24, 20, 3, outline, hi, lo, body, inner, band=3, mask_band=0,
                                  corners=(True, True, False, False))
        # The tab is open towards its page: no outline along the bottom.
        for x in range(1, 23):
            img.set(x, 19, inner)
        m.blit(img, 45 + 24 * s, 352)
        m.blit(mask, 45 + 24 * s, 372)
        flip = lambda c: _flip(c)
        m.blit(_flip(img), 117 + 24 * s, 352)
        m.blit(_flip(mask), 117 + 24 * s, 372)
        left = _rotate_left(img)
        m.blit(left, 108 + 20 * s, 24)
        m.blit(_rotate_left(mask), 108 + 20 * s, 48)
        right = _mirror(left)
        m.blit(right, 60 + 20 * s, 304)
        m.blit(_mirror(_rotate_left(mask)), 60 + 20 * s, 328)


def _flip(c):
    out = Canvas(c.w, c.h)
    for y in range(c.h):
        out.px[y] = list(c.px[c.h - 1 - y])
    return out


def _mirror(c):
    out = Canvas(c.w, c.h)
    for y in range(c.h):
        out.px[y] = list(reversed(c.px[y]))
    return out


def _rotate_left(c):
    """Turns a top tab into a left one: the open side ends up on the right."""
    out = Canvas(c.h, c.w)
    for y in range(c.h):
        for x in range(c.w):
            out.set(y, c.w - 1 - x, c.px[y][x])
    return out


def draw_grip_texture(m):
    """GRIPH PATTERN ~0120~0304~0126~0310~00: a 6 x 6 tile of raised dots."""
    m.fill(120, 304, 126, 310, BUTTON)
    for (x, y) in ((1, 1), (4, 4)):
        m.set(120 + x, 304 + y, LIGHT)
        m.set(121 + x, 305 + y, DARK)


def master():
    m = Canvas(189, 400)
    draw_form_frame(m)
    draw_title(m)
    draw_edit(m)
    draw_slider(m)
    draw_arrows(m)
    draw_caption_glyphs(m)
    draw_grip(m)
    draw_combo_glyph(m)
    draw_button(m)
    draw_title_button(m)
    draw_checks(m)
    draw_tabs(m)
    draw_grip_texture(m)
    draw_panel(m)
    return m


def button_huge():
    """BUTTON_HUGE !BUTTONHUGE.BMP!3!1!0: three 96 x 96 frames, masks below,
    borders of 32. The middle third stays flat so the centre tiles cleanly."""
    b = Canvas(288, 192)
    looks = [(DARK, LIGHT, SHADE, BUTTON), (mix(DARK, BUTTON_GOLD, 0.55),
                                             mix(LIGHT, BUTTON_GOLD, 0.5), SHADE,
                                             mix(BUTTON, LIGHT, 0.12)),
             (DARK, SHADE, mix(LIGHT, BUTTON_GOLD, 0.3), mix(BUTTON, DARK, 0.25))]
    for s, (outline, hi, lo, face) in enumerate(looks):
        img, mask = Canvas(96, 96), Canvas(96, 96, WHITE)
        for y in range(96):
            # Shading only in the top and bottom thirds.
            if y < 32:
                body = mix(mix(face, LIGHT, 0.35), face, y / 31)
            elif y >= 64:
                body = mix(face, mix(face, DARK, 0.35), (y - 64) / 31)
            else:
                body = face
            for x in range(96):
                cov = corner_inside(x, y, 96, 96, 10)
                edge = min(x, y, 95 - x, 95 - y)
                if cov <= 0.05:
                    img.set(x, y, MAGENTA)
                    mask.set(x, y, WHITE)
                    continue
                if edge == 0 or cov < 0.95:
                    c = outline
                elif edge == 1:
                    c = hi if (x == 1 or y == 1) and x < 94 and y < 94 else lo
                else:
                    c = body
                img.set(x, y, c)
                mask.set(x, y, grey(255 * (1 - cov)))
        b.blit(img, 96 * s, 0)
        b.blit(mask, 96 * s, 96)
    return b


if __name__ == "__main__":
    out = sys.argv[1] if len(sys.argv) > 1 else "skins/steam"
    master().save_bmp8(out + "/Master.bmp")
    button_huge().save_bmp8(out + "/ButtonHuge.bmp")
