#!/usr/bin/env python3
"""Draws the demo watermark: "Quillvane" in a framed badge, white on black.

The watermark's brightness is read as relief height, so the letters and the
frame are white (high) on a black (flat) ground.  The letters come from a
small built-in bitmap font scaled up; a few box-blur passes round off the
steps so that the relief has soft, sloping edges instead of cliffs.

Only the Python standard library is used.  The output is a 24-bit BMP.

    python3 scripts/make-watermark.py [OUTPUT]   (default: demo/watermark.bmp)
"""

import os
import struct
import sys

WIDTH = 600
HEIGHT = 240

# 5 x 7 glyphs, '#' = ink.  Only the letters of the name are needed.
FONT = {
    "Q": [".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"],
    "u": [".....", ".....", "#...#", "#...#", "#...#", "#..##", ".##.#"],
    "i": ["..#..", ".....", ".##..", "..#..", "..#..", "..#..", ".###."],
    "l": [".##..", "..#..", "..#..", "..#..", "..#..", "..#..", ".###."],
    "v": [".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."],
    "a": [".....", ".....", ".###.", "....#", ".####", "#...#", ".####"],
    "n": [".....", ".....", "#.##.", "##..#", "#...#", "#...#", "#...#"],
    "e": [".....", ".....", ".###.", "#...#", "#####", "#....", ".###."],
}
GLYPH_W, GLYPH_H, GLYPH_GAP = 5, 7, 1

TEXT = "Quillvane"
SCALE_X, SCALE_Y = 10, 15   # letter pixels: a slightly condensed face

FRAME_INSET = 14            # from the picture's edge to the frame's outside
FRAME_THICKNESS = 9
FRAME_CORNER = 28           # outer corner radius

BLUR_RADIUS = 3
BLUR_PASSES = 3             # three box passes approach a Gaussian


def blank():
    return [[0] * WIDTH for _ in range(HEIGHT)]


def draw_text(canvas):
    columns = len(TEXT) * (GLYPH_W + GLYPH_GAP) - GLYPH_GAP
    left = (WIDTH - columns * SCALE_X) // 2
    top = (HEIGHT - GLYPH_H * SCALE_Y) // 2
    for index, letter in enumerate(TEXT):
        glyph = FONT[letter]
        origin = left + index * (GLYPH_W + GLYPH_GAP) * SCALE_X
        for gy, row in enumerate(glyph):
            for gx, cell in enumerate(row):
                if cell != "#":
                    continue
                for y in range(top + gy * SCALE_Y, top + (gy + 1) * SCALE_Y):
                    line = canvas[y]
                    for x in range(origin + gx * SCALE_X, origin + (gx + 1) * SCALE_X):
                        line[x] = 255


def inside_rounded_rect(x, y, left, top, right, bottom, radius):
    """True when pixel centre (x, y) lies in the rectangle [left, right) x
    [top, bottom) with corners rounded to radius."""
    if radius <= 0:
        return left <= x < right and top <= y < bottom
    px, py = x + 0.5, y + 0.5
    if not (left <= px <= right and top <= py <= bottom):
        return False
    cx = min(max(px, left + radius), right - radius)
    cy = min(max(py, top + radius), bottom - radius)
    return (px - cx) ** 2 + (py - cy) ** 2 <= radius * radius


def draw_frame(canvas):
    outer = (FRAME_INSET, FRAME_INSET, WIDTH - FRAME_INSET, HEIGHT - FRAME_INSET)
    inner = (outer[0] + FRAME_THICKNESS, outer[1] + FRAME_THICKNESS,
             outer[2] - FRAME_THICKNESS, outer[3] - FRAME_THICKNESS)
    inner_radius = FRAME_CORNER - FRAME_THICKNESS
    for y in range(HEIGHT):
        line = canvas[y]
        for x in range(WIDTH):
            if (inside_rounded_rect(x, y, *outer, FRAME_CORNER)
                    and not inside_rounded_rect(x, y, *inner, inner_radius)):
                line[x] = 255


def box_blur_rows(canvas, radius):
    """Running-sum box blur along each row; edges repeat the border pixel."""
    span = 2 * radius + 1
    result = []
    for line in canvas:
        width = len(line)
        padded = [line[0]] * radius + line + [line[-1]] * radius
        total = sum(padded[:span])
        out = [0] * width
        for x in range(width):
            out[x] = (total + span // 2) // span
            if x + span < len(padded):
                total += padded[x + span] - padded[x]
        result.append(out)
    return result


def transpose(canvas):
    return [list(column) for column in zip(*canvas)]


def box_blur(canvas, radius, passes):
    for _ in range(passes):
        canvas = box_blur_rows(canvas, radius)
        # Columns are blurred as the rows of the transposed picture.
        canvas = transpose(box_blur_rows(transpose(canvas), radius))
    return canvas


def write_bmp24(path, canvas):
    """Grey levels as a bottom-up 24-bit BI_RGB BMP."""
    row_bytes = (WIDTH * 3 + 3) & ~3
    pixel_bytes = row_bytes * HEIGHT
    offset = 14 + 40
    header = struct.pack("<2sIHHI", b"BM", offset + pixel_bytes, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 24, 0, pixel_bytes, 2835, 2835, 0, 0)
    body = bytearray()
    padding = bytes(row_bytes - WIDTH * 3)
    for line in reversed(canvas):
        for value in line:
            body += bytes((value, value, value))
        body += padding
    temporary = path + ".tmp"
    with open(temporary, "wb") as stream:
        stream.write(header + info + body)
    os.replace(temporary, path)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "demo", "watermark.bmp")
    canvas = blank()
    draw_frame(canvas)
    draw_text(canvas)
    canvas = box_blur(canvas, BLUR_RADIUS, BLUR_PASSES)
    write_bmp24(path, canvas)
    print(f"wrote {path} ({WIDTH}x{HEIGHT}, 24-bit BMP)")


if __name__ == "__main__":
    main()
