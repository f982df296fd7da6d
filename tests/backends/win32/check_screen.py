#!/usr/bin/env python3
"""Checks a screenshot of a Kanvo drawing window under Wine against what the program must
show. The client area is looked for near the position the window system reports.

  check_screen.py winter SHOT.png EXPECTED.png X Y   the landscape after five presses of
      "Alter Tree Tops": panel outlines and label cores, snowman and frozen lake as
      kanvo-replay draws them (EXPECTED, the client area as a picture)
  check_screen.py hello SHOT.png X Y                 hello after a click at the centre

Exits 0 when the screen holds what it must, 1 with the reasons otherwise.
"""
import subprocess
import sys

CLIENT_W, CLIENT_H = 585, 481
ORIGIN_X, ORIGIN_Y = 292, 240  # library (0, 0) in the client area
SEARCH = 12                    # pixels around the reported position

BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
RED = (255, 0, 0)


class Picture:
    def __init__(self, path):
        data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True,
                              stdout=subprocess.PIPE).stdout
        fields, at = [], 0
        while len(fields) < 4:  # P6, width, height, maximum, each after white space
            while data[at:at + 1].isspace():
                at += 1
            start = at
            while not data[at:at + 1].isspace():
                at += 1
            fields.append(data[start:at])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[at + 1:]

    def at(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            return None
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])


def client_pixel(x, y):
    """Library coordinates to client pixel."""
    return ORIGIN_X + x, ORIGIN_Y - y


def box(left, top, right, bottom):
    """Client pixels of a box given in library coordinates (top > bottom), clipped to the
    client area."""
    x0, y0 = client_pixel(left, top)
    x1, y1 = client_pixel(right, bottom)
    return [(x, y) for y in range(max(y0, 0), min(y1, CLIENT_H - 1) + 1)
            for x in range(max(x0, 0), min(x1, CLIENT_W - 1) + 1)]


PANEL = box(-295, 245, -195, 120)


def nearest_first(guess_x, guess_y):
    """Positions around the guess, the nearest first."""
    for distance in range(SEARCH + 1):
        for dy in range(-distance, distance + 1):
            for dx in range(-distance, distance + 1):
                if max(abs(dx), abs(dy)) == distance:
                    yield guess_x + dx, guess_y + dy


def find_client(shot, expected, guess_x, guess_y):
    """The offset at which every black pixel of the expected panel is black on screen."""
    black = [(x, y) for x, y in PANEL if expected.at(x, y) == BLACK]
    for ox, oy in nearest_first(guess_x, guess_y):
        if all(shot.at(ox + x, oy + y) == BLACK for x, y in black):
            return ox, oy, black
    return None


def mismatches(shot, expected, ox, oy, pixels):
    """Differing pixels, and those of them that no snowflake explains (a white flake
    in one picture only)."""
    differing = [(x, y) for x, y in pixels if shot.at(ox + x, oy + y) != expected.at(x, y)]
    unexplained = [(x, y) for x, y in differing
                   if WHITE not in (shot.at(ox + x, oy + y), expected.at(x, y))]
    return len(differing), len(unexplained)


def check_winter(shot_path, expected_path, guess_x, guess_y):
    shot, expected = Picture(shot_path), Picture(expected_path)
    problems = []
    if (expected.width, expected.height) != (CLIENT_W, CLIENT_H):
        return ["expected picture is %dx%d, not the client's %dx%d"
                % (expected.width, expected.height, CLIENT_W, CLIENT_H)]
    found = find_client(shot, expected, guess_x, guess_y)
    if not found:
        return ["no client area within %d pixels of (%d, %d) shows the panel's outlines and "
                "label cores" % (SEARCH, guess_x, guess_y)]
    ox, oy, black = found
    print("client area at (%d, %d); %d black panel pixels in place" % (ox, oy, len(black)))
    # Label edges blend into a background that differs from run to run; black is black.
    stray = sum(1 for x, y in PANEL
                if shot.at(ox + x, oy + y) == BLACK and expected.at(x, y) != BLACK)
    print("panel: %d black pixels on screen that the expected picture does not have" % stray)
    if stray > len(black) // 50:
        problems.append("the panel's text differs: %d stray black pixels" % stray)
    # The snowman and the lake are fixed figures; the falling snowflakes lie elsewhere on
    # every run, so they alone may differ.
    for name, pixels in (("snowman", box(200, -120, 250, -200)),
                         ("frozen lake", box(-280, -85, -60, -95))):
        differing, unexplained = mismatches(shot, expected, ox, oy, pixels)
        print("%s: %d of %d pixels differ, %d of them not by a snowflake"
              % (name, differing, len(pixels), unexplained))
        if unexplained or differing > len(pixels) // 10:
            problems.append("the %s differs from the expected picture" % name)
    return problems


def check_hello(shot_path, guess_x, guess_y):
    shot = Picture(shot_path)
    # hello after one click at the client's centre: a red circle of radius 20 there on
    # white, and its count line in black at (-280, 220), 14 points.
    inside = [client_pixel(0, 0), client_pixel(12, 0), client_pixel(0, -12)]
    outside = [client_pixel(26, 0), client_pixel(-26, 0), client_pixel(0, 26)]
    found = None
    for ox, oy in nearest_first(guess_x, guess_y):
        if all(shot.at(ox + x, oy + y) == RED for x, y in inside) and \
                all(shot.at(ox + x, oy + y) == WHITE for x, y in outside):
            found = (ox, oy)
            break
    if not found:
        return ["no red circle of radius 20 where the click was, near (%d, %d)"
                % (guess_x + 292, guess_y + 240)]
    ox, oy = found
    text = sum(1 for x, y in box(-280, 240, -100, 210) if shot.at(ox + x, oy + y) == BLACK)
    print("client area at (%d, %d); the click's circle in place; count line: %d black pixels"
          % (ox, oy, text))
    if text < 40:
        return ["the count line is missing (%d black pixels)" % text]
    return []


def main(arguments):
    if len(arguments) == 5 and arguments[0] == "winter":
        problems = check_winter(arguments[1], arguments[2], int(arguments[3]), int(arguments[4]))
    elif len(arguments) == 4 and arguments[0] == "hello":
        problems = check_hello(arguments[1], int(arguments[2]), int(arguments[3]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for problem in problems:
        print("FAIL: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
