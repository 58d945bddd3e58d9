#!/usr/bin/env python3
"""Draws the program's three 32 x 32, 16-colour icons into resources/.

1 program: a crescent moon on a night-blue disc.
2 function on: the moon on a green disc with a small "z" (the machine will fall asleep).
3 function off: a grey disc with the moon crossed out in red (it stays awake).
Run it again after changing a drawing; the .ico files are committed.
"""
import math
import os
import struct

# The standard 16-colour palette (VGA order), as (r, g, b).
PALETTE = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
           (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
           (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARKBLUE, GREEN, GREY, SILVER, RED, YELLOW, WHITE, LIME = 0, 4, 2, 8, 7, 9, 11, 15, 10
SIZE = 32


def draw(kind):
    pixels = [[None] * SIZE for _ in range(SIZE)]  # None = transparent
    cx = cy = 15.5
    disc = {"program": DARKBLUE, "on": GREEN, "off": GREY}[kind]
    for y in range(SIZE):
        for x in range(SIZE):
            d = math.hypot(x - cx, y - cy)
            if d <= 15.5:
                pixels[y][x] = BLACK if d > 14.5 else disc
            # Crescent: a disc minus a shifted disc.
            if math.hypot(x - 14, y - 16) <= 9 and math.hypot(x - 18, y - 12) > 8:
                pixels[y][x] = YELLOW if kind != "off" else SILVER
    if kind == "on":
        for i in range(6):  # a small "z" at the top right
            pixels[6][19 + i] = WHITE
            pixels[11][19 + i] = WHITE
            pixels[11 - i][19 + i] = WHITE
    if kind == "off":
        for i in range(-11, 12):  # a red diagonal bar across the disc
            for w in (-1, 0, 1):
                x, y = 16 + i, 16 - i + w
                if 0 <= x < SIZE and 0 <= y < SIZE and pixels[y][x] is not None:
                    pixels[y][x] = RED
    return pixels


def ico(pixels):
    xor = bytearray()
    mask = bytearray()
    for y in range(SIZE - 1, -1, -1):  # bottom-up rows
        row = pixels[y]
        for x in range(0, SIZE, 2):
            a = row[x] if row[x] is not None else 0
            b = row[x + 1] if row[x + 1] is not None else 0
            xor.append((a << 4) | b)
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 22) + image


here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")
for kind, name in (("program", "program.ico"), ("on", "function_on.ico"), ("off", "function_off.ico")):
    with open(os.path.join(here, name), "wb") as f:
        f.write(ico(draw(kind)))
