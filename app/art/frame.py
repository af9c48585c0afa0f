#!/usr/bin/env python3
"""Draws the window frame shared by every 720 x 547 page picture, pixel by pixel, at a scale of 1 or 2.

Writes raw 8-bit RGBA (row by row, top to bottom) for ImageMagick to pick up:
a 10-pixel soft shadow (alpha 71 beside the panel, 0 on the outermost pixels),
the opaque panel with its blue border, the blue sidebar, the light strip with its
blue rule, the white content area and, when asked, the grey dashed rule at x 638.
The geometry is that of the 720 x 547 picture; at scale 2 every pixel of the panel
becomes 2 x 2 pixels and the shadow is the same falloff sampled twice as finely.
"""
import math
import sys

WIDTH, HEIGHT = 720, 547
SHADOW = 10
PANEL_LEFT, PANEL_TOP = SHADOW, SHADOW
PANEL_RIGHT, PANEL_BOTTOM = WIDTH - SHADOW - 1, HEIGHT - SHADOW - 1   # 709, 536 inclusive
SHADOW_ALPHA_NEAREST = 71

BLUE = (52, 140, 214)
STRIP = (248, 249, 251)
WHITE = (255, 255, 255)
DASH = (200, 206, 214)

SIDEBAR_RIGHT = 79          # sidebar spans x 10..79
STRIP_LEFT, STRIP_RIGHT = 81, 112
RULE_X = 114
DASHED_X = 638
DASHED_TOP, DASHED_BOTTOM = 52, 524
DASH_ON, DASH_OFF = 4, 4


def on_grid(pixel, scale):
    """The position of a pixel's centre on the 720 x 547 grid."""
    return (pixel + 0.5) / scale - 0.5


def inside_panel(x, y, scale=1):
    return PANEL_LEFT <= x // scale <= PANEL_RIGHT and PANEL_TOP <= y // scale <= PANEL_BOTTOM


def shadow_alpha(x, y, scale=1):
    """Alpha of a shadow pixel: 71 at distance 1 from the panel, 0 at distance 10 and beyond."""
    gx, gy = on_grid(x, scale), on_grid(y, scale)
    dx = max(PANEL_LEFT - gx, gx - PANEL_RIGHT, 0)
    dy = max(PANEL_TOP - gy, gy - PANEL_BOTTOM, 0)
    distance = math.hypot(dx, dy)
    if distance >= SHADOW:
        return 0
    t = (SHADOW - distance) / (SHADOW - 1)      # 1.0 beside the panel, 0.0 at the edge
    return min(SHADOW_ALPHA_NEAREST, round(SHADOW_ALPHA_NEAREST * t * t))


def panel_colour(x, y, dashed):
    if x in (PANEL_LEFT, PANEL_RIGHT) or y in (PANEL_TOP, PANEL_BOTTOM):
        return BLUE
    if x <= SIDEBAR_RIGHT:
        return BLUE
    if STRIP_LEFT <= x <= STRIP_RIGHT:
        return STRIP
    if x == RULE_X:
        return BLUE
    if dashed and x == DASHED_X and DASHED_TOP <= y <= DASHED_BOTTOM:
        if (y - DASHED_TOP) % (DASH_ON + DASH_OFF) < DASH_ON:
            return DASH
    return WHITE


def frame_bytes(dashed, scale):
    out = bytearray()
    for y in range(HEIGHT * scale):
        for x in range(WIDTH * scale):
            if inside_panel(x, y, scale):
                out += bytes(panel_colour(x // scale, y // scale, dashed)) + b"\xff"
            else:
                out += bytes((0, 0, 0, shadow_alpha(x, y, scale)))
    return bytes(out)


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("plain", "dashed") or sys.argv[2] not in ("1", "2"):
        sys.exit("usage: frame.py plain|dashed 1|2 OUTPUT.rgba")
    with open(sys.argv[3], "wb") as f:
        f.write(frame_bytes(sys.argv[1] == "dashed", int(sys.argv[2])))


if __name__ == "__main__":
    main()
