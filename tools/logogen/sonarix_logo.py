#!/usr/bin/env python3
"""Draws the about box's logo: a sonar screen sending out its rings, a
sweep catching two echoes, and the echo's trace beside it.

    tools/logogen/sonarix_logo.py app/res/SonarixLogo.bmp

writes a 147 x 110 bitmap of 24 bits per pixel. The about box shows it
unscaled in a 145 x 105 frame, so the picture keeps its content away from
the last 2 columns and 5 rows. Only the standard library is used.
"""
import math
import struct
import sys

WIDTH, HEIGHT = 147, 110
SAMPLES = 4  # per side, for smooth edges

TOP = (44, 50, 46)
BOTTOM = (20, 24, 22)
RING = (206, 194, 86)      # the skin's gold
SWEEP = (120, 200, 150)
ECHO = (236, 232, 170)
TRACE = (177, 177, 177)
CENTRE = (72, 58)          # the sonar's centre


def mix(a, b, t):
    return tuple(x * (1 - t) + y * t for x, y in zip(a, b))


def over(base, colour, alpha):
    return mix(base, colour, max(0.0, min(1.0, alpha)))


def ring_alpha(d, radius, width):
    """Coverage of a ring of `width` around `radius` at distance `d`."""
    return 1.0 if abs(d - radius) <= width / 2 else 0.0


def trace_y(x):
    """The echo trace: flat, one sharp spike and a smaller after-echo."""
    y = 92.0
    y -= 14 * math.exp(-((x - 112) / 2.2) ** 2)
    y += 5 * math.exp(-((x - 117) / 1.6) ** 2)
    y -= 6 * math.exp(-((x - 126) / 2.0) ** 2)
    return y


def sample(x, y):
    c = mix(TOP, BOTTOM, y / HEIGHT)
    dx, dy = x - CENTRE[0], y - CENTRE[1]
    d = math.hypot(dx, dy)
    angle = math.degrees(math.atan2(-dy, dx)) % 360
    # The sweep: a wedge fading behind its leading edge at 35 degrees.
    if d <= 50:
        behind = (35 - angle) % 360
        if behind < 70:
            c = over(c, SWEEP, 0.6 * (1 - behind / 70) * (1 - d / 60))
    # Rings, fainter as they travel out.
    for i, radius in enumerate((10, 22, 34, 46)):
        c = over(c, RING, ring_alpha(d, radius, 1.6) * (1.0 - 0.18 * i))
    # Cross hairs.
    if d <= 48 and (abs(dx) < 0.5 or abs(dy) < 0.5):
        c = over(c, RING, 0.35)
    # The centre and two echoes caught by the sweep.
    for (ex, ey, r) in ((CENTRE[0], CENTRE[1], 2.6), (96, 44, 2.2), (88, 33, 1.6)):
        if math.hypot(x - ex, y - ey) <= r:
            c = over(c, ECHO, 1.0)
    # The trace along the bottom right.
    if 100 <= x <= 140 and abs(y - trace_y(x)) <= 0.9:
        c = over(c, TRACE, 1.0)
    return c


def draw():
    rows = []
    for py in range(HEIGHT):
        row = []
        for px in range(WIDTH):
            acc = [0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    c = sample(px + (sx + 0.5) / SAMPLES, py + (sy + 0.5) / SAMPLES)
                    for k in range(3):
                        acc[k] += c[k]
            row.append(tuple(int(round(v / SAMPLES ** 2)) for v in acc))
        rows.append(row)
    return rows


def write_bmp(path, rows):
    stride = (WIDTH * 3 + 3) & ~3
    image = bytearray()
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        line += b"\0" * (stride - len(line))
        image += line
    header = struct.pack("<2sIHHI", b"BM", 54 + len(image), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, len(image), 3780, 3780, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + image)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    write_bmp(sys.argv[1], draw())
