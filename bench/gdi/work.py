"""The drawing of bench/gdi/run.sh through Cairo, the same that work.js draws:
  python3 work.py stars|paragraphs COUNT ROUNDS [aliased]
draws COUNT shapes on a white 1024 x 1024 ARGB32 surface, ROUNDS times, each
round on a new surface, and prints the milliseconds of the fastest round's
drawing and their mean over the rounds (the points and words are made before
the clock starts). Antialiased
as Cairo draws by default; with "aliased" the stars without antialiasing.
Paragraphs are wrapped at blanks by Cairo's own advances (text_extents), each
line drawn with show_text, 13-pixel DejaVu Sans, in boxes of 190 x 100."""
import math
import sys
import time

import cairo

kind, count, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
aliased = len(sys.argv) > 4 and sys.argv[4] == "aliased"
seed = 2024


def next_value(limit):  # the same generator as work.js's
    global seed
    seed = (seed * 1664525 + 1013904223) % 4294967296
    return (seed // 256) % limit


WORDS = ["the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "imaging", "server", "canvas",
         "wraps", "text", "into", "lines", "at", "blanks", "and", "measures", "every", "glyph", "of", "a",
         "paragraph"]


def js_round(value):  # Math.round: half up
    return math.floor(value + 0.5)


calls = []
for i in range(count):
    if kind == "stars":
        x, y, r = next_value(1024), next_value(1024), 10 + next_value(40)
        points = []
        for k in range(10):
            a, d = math.pi / 5 * k - math.pi / 2, r * 0.4 if k % 2 else r
            points.append((js_round(x + d * math.cos(a)), js_round(y + d * math.sin(a))))
        colour = next_value(16777216)
        calls.append((points, ((colour >> 16) / 255, (colour >> 8 & 255) / 255, (colour & 255) / 255)))
    else:
        words = [WORDS[next_value(len(WORDS))] for _ in range(40)]
        calls.append((words, (i % 5) * 204 + 7, i // 5 % 10 * 102 + 1))

best, total = 1e9, 0
for _ in range(rounds):
    surface = cairo.ImageSurface(cairo.FORMAT_ARGB32, 1024, 1024)
    c = cairo.Context(surface)
    c.set_source_rgb(1, 1, 1)
    c.paint()
    start = time.perf_counter()
    if kind == "stars":
        if aliased:
            c.set_antialias(cairo.ANTIALIAS_NONE)
        for points, colour in calls:
            c.move_to(*points[0])
            for p in points[1:]:
                c.line_to(*p)
            c.close_path()
            c.set_source_rgb(*colour)
            c.fill()
    else:
        c.select_font_face("DejaVu Sans")
        c.set_font_size(13)
        c.set_source_rgb(0, 0, 0)
        ascent, _, height = c.font_extents()[:3]
        for words, left, top in calls:
            line, y = "", top + ascent
            for word in words:
                wider = line + " " + word if line else word
                if line and c.text_extents(wider).x_advance > 190:
                    if y - ascent + height > top + 100:
                        break
                    c.move_to(left, y)
                    c.show_text(line)
                    y += height
                    wider = word
                line = wider
            if line and y - ascent + height <= top + 100:
                c.move_to(left, y)
                c.show_text(line)
    surface.flush()
    took = (time.perf_counter() - start) * 1000
    best, total = min(best, took), total + took
print("%.2f %.2f" % (best, total / rounds))
