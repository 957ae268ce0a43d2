# The peer of stars.js: the same stars at the same places in the same colours,
# filled antialiased by pycairo on a white canvas of the same size; no picture
# is written. Usage: python3 stars.py count side
import math
import sys

import cairo

count, side = int(sys.argv[1]), int(sys.argv[2])
surface = cairo.ImageSurface(cairo.FORMAT_ARGB32, side, side)
context = cairo.Context(surface)
context.set_source_rgb(1, 1, 1)
context.paint()
seed = 1


def next_number(limit):
    global seed
    seed = (seed * 16807) % 2147483647
    return seed % limit


for i in range(count):
    cx, cy = 20 + next_number(side - 40), 20 + next_number(side - 40)
    colour = next_number(0x1000000)
    for k in range(10):
        r, a = (8 if k % 2 else 20), math.pi * k / 5 - math.pi / 2
        # Rounded half away from zero as the page's Math.round does for these positives.
        x, y = math.floor(cx + r * math.cos(a) + 0.5), math.floor(cy + r * math.sin(a) + 0.5)
        (context.line_to if k else context.move_to)(x, y)
    context.close_path()
    context.set_source_rgb((colour >> 16) / 255, (colour >> 8 & 255) / 255, (colour & 255) / 255)
    context.fill()
surface.flush()
