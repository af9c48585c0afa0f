#!/usr/bin/env python3
"""Checks the rendered pictures against what the wizard relies on.

   check.py RES_DIR

Every picture must have its size, and its double-size form (NAME@2x.png) twice that size; every page picture
at both sizes the shared frame (soft shadow with transparent outer pixels, opaque panel, blue border and
sidebar, blue rule at x 114); a page given the success page's link area the same link text there; the icon
must hold its images from 256 down to 16 pixels, of 32 bits. Reads pixels through ImageMagick's raw RGBA
output. Exits nonzero after listing every mismatch.
"""
import os
import struct
import subprocess
import sys

import frame

PICTURES = {
    "welcome.png": (720, 547), "install.png": (44, 160), "close.png": (35, 30), "close-hot.png": (35, 30),
    "minimize.png": (35, 30), "minimize-hot.png": (35, 30), "success.png": (720, 547),
    "success-restart.png": (720, 547), "installing.png": (720, 547), "finish.png": (44, 105),
    "failure-busy.png": (720, 547), "failure-code.png": (720, 547), "failure.png": (720, 547), "box.png": (16, 16),
    "box-ticked.png": (16, 16), "install-disabled.png": (44, 160),
}
PAGES = [name for name, size in PICTURES.items() if size == (720, 547)]
# The program gives these pages the success page's link area (x, y, width, height), so the link text must be
# drawn there exactly as on the success page.
LINKED_LIKE_SUCCESS = ["success-restart.png"]
RECOMMEND_LINK = (664, 68, 22, 136)
ICON_SIZES = [256, 96, 64, 48, 40, 32, 24, 20, 16]


def scaled(base, scale):
    return base if scale == 1 else base.replace(".png", "@2x.png")


def pixels(path):
    size = subprocess.run(["convert", path, "-format", "%w %h", "info:"], check=True,
                          capture_output=True, text=True).stdout.split()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    return int(size[0]), int(size[1]), raw


def check_frame(name, width, raw, scale):
    def at(x, y):
        i = 4 * (y * width + x)
        return tuple(raw[i:i + 4])

    for y in range(frame.HEIGHT * scale):
        for x in range(frame.WIDTH * scale):
            inside = frame.inside_panel(x, y, scale)
            r, g, b, a = at(x, y)
            if not inside and (a != frame.shadow_alpha(x, y, scale) or (r, g, b) != (0, 0, 0)):
                return f"{name}: shadow pixel ({x}, {y}) is {(r, g, b, a)}"
            if inside and a != 255:
                return f"{name}: panel pixel ({x}, {y}) is not opaque"
    edges = [at(x, 0)[3] for x in range(frame.WIDTH * scale)] + [at(0, y)[3] for y in range(frame.HEIGHT * scale)]
    if any(edges):
        return f"{name}: outermost pixels are not fully transparent"
    beside = [at(360 * scale, 10 * scale - 1), at(360 * scale, 537 * scale), at(10 * scale - 1, 300 * scale),
              at(710 * scale, 300 * scale)]
    if any(pixel[3] != 71 for pixel in beside):
        return f"{name}: shadow beside the panel is not alpha 71"
    blue = frame.BLUE + (255,)
    # Every pixel of a one-pixel line of the grid: S x S pixels of the picture.
    for y in range(frame.PANEL_TOP * scale, (frame.PANEL_BOTTOM + 1) * scale):
        for line in (frame.PANEL_LEFT, frame.PANEL_RIGHT, frame.RULE_X):
            if any(at(line * scale + i, y) != blue for i in range(scale)):
                return f"{name}: border or rule at row {y} is not blue"
    for x in range(frame.PANEL_LEFT * scale, (frame.PANEL_RIGHT + 1) * scale):
        for line in (frame.PANEL_TOP, frame.PANEL_BOTTOM):
            if any(at(x, line * scale + i) != blue for i in range(scale)):
                return f"{name}: border at column {x} is not blue"
    return None


def same_link(name, raw, success_raw, width, scale):
    x, y, w, h = (value * scale for value in RECOMMEND_LINK)
    for row in range(y, y + h):
        start = 4 * (row * width + x)
        if raw[start:start + 4 * w] != success_raw[start:start + 4 * w]:
            return f"{name}: link area row {row} differs from the success page's"
    return None


def check_icon(path):
    data = open(path, "rb").read()
    if len(data) < 6:
        return "icon: file too short"
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1 or count != len(ICON_SIZES) or len(data) < 6 + 16 * count:
        return f"icon: header says kind {kind}, {count} images"
    for i, expected in enumerate(ICON_SIZES):
        width, height, _, _, _, bits, _, _ = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        # The directory writes 256 as 0.
        if (width or 256, height or 256, bits) != (expected, expected, 32):
            return f"icon: image {i} is {width}x{height} at {bits} bits"
    return None


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check.py RES_DIR")
    res = sys.argv[1]
    problems = []
    for base, size in PICTURES.items():
        for scale in (1, 2):
            name = scaled(base, scale)
            expected = (size[0] * scale, size[1] * scale)
            width, height, raw = pixels(os.path.join(res, name))
            if (width, height) != expected:
                problems.append(f"{name}: {width}x{height}, expected {expected[0]}x{expected[1]}")
            elif base in PAGES:
                problem = check_frame(name, width, raw, scale)
                if problem:
                    problems.append(problem)
                if base in LINKED_LIKE_SUCCESS:
                    success = pixels(os.path.join(res, scaled("success.png", scale)))[2]
                    problem = same_link(name, raw, success, width, scale)
                    if problem:
                        problems.append(problem)
    problem = check_icon(os.path.join(res, "installer.ico"))
    if problem:
        problems.append(problem)
    for problem in problems:
        print(problem, file=sys.stderr)
    if problems:
        sys.exit(1)
    print(f"{len(PICTURES)} pictures at both sizes and the icon are as the wizard expects")


if __name__ == "__main__":
    main()
