"""The full-screen background under Wine, checked on screenshots: the
gradient ends on its bottom colour, the title fits the width, the picture
is stretched upright, a blank title paints nothing."""

import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from ui_probe_run import ProbeRun  # noqa: E402

TOP, BOTTOM, TITLE_COLOUR = (0, 0, 255), (0, 0, 0), (255, 255, 255)
LONG_TITLE = "Widget Professional 2000 Deluxe Edition with Every Extra Tool Included Setup"


class Screen:
    """The pixels of a screenshot, read through ImageMagick as a binary PPM."""

    def __init__(self, png):
        data = subprocess.run(["convert", png, "-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
        fields, at = [], 0
        while len(fields) < 4:  # magic, width, height, maximum
            while data[at:at + 1].isspace():
                at += 1
            start = at
            while not data[at:at + 1].isspace():
                at += 1
            fields.append(data[start:at])
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[at + 1:]

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def columns_of(self, colour, rows):
        return [x for y in rows for x in range(self.width) if self.at(x, y) == colour]


def near(a, b, tolerance=12):
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


def show(mode, title, shot):
    """Runs the probe's background, takes a screenshot, ends the probe."""
    with wine.Prefix(gui=True, name="ui") as prefix:
        run = ProbeRun(prefix, "background", mode, title)
        wine.wait_until(lambda: run.result_lines(), timeout=30)
        prefix.driver("sleep", 700)
        png = prefix.screenshot(shot)
        lines = run.result_lines()
        run.stop()
        code, _ = run.finish()
    return Screen(png), lines, code


class Background(unittest.TestCase):
    def test_gradient_with_a_title_that_fits(self):
        cases = [("Widget 2000 Setup", "ui-background-gradient"), (LONG_TITLE, "ui-background-long-title")]
        for title, shot in cases:
            with self.subTest(title=title):
                screen, lines, code = show("gradient", title, shot)
                self.assertEqual(code, 0)
                self.assertEqual(lines, [f"client {screen.width} {screen.height}"])
                # The last rows carry the bottom colour exactly, the top rows are
                # near the top colour, and blue falls row by row in between.
                self.assertEqual(screen.at(screen.width - 1, screen.height - 1), BOTTOM)
                self.assertEqual(screen.at(screen.width // 2, screen.height - 3), BOTTOM)
                self.assertTrue(near(screen.at(screen.width - 1, 0), TOP), screen.at(screen.width - 1, 0))
                blues = [screen.at(screen.width - 1, y)[2] for y in range(screen.height)]
                self.assertEqual(blues, sorted(blues, reverse=True))
                # The title: white pixels at the top left, none in the last column.
                title_rows = range(0, 60)
                white = screen.columns_of(TITLE_COLOUR, title_rows)
                self.assertGreater(len(white), 50)
                self.assertLess(min(white), 20)
                self.assertLess(max(white), screen.width - 1)
                if title == LONG_TITLE:
                    self.assertGreater(max(white), screen.width // 2)

    def test_long_title_is_drawn_smaller_than_a_short_one(self):
        heights = {}
        for title in ("Widget 2000 Setup", LONG_TITLE):
            screen, _, _ = show("gradient", title, "ui-background-title-height")
            rows = [y for y in range(0, 80) if any(screen.at(x, y) == TITLE_COLOUR for x in range(0, 400))]
            heights[title] = max(rows) - min(rows)
        self.assertLess(heights[LONG_TITLE], heights["Widget 2000 Setup"])

    def test_picture_is_stretched_upright_over_the_screen(self):
        screen, lines, code = show("picture", "", "ui-background-picture")
        self.assertEqual(code, 0)
        self.assertEqual(lines, [f"client {screen.width} {screen.height}"])
        w, h = screen.width, screen.height
        # The probe's picture: red grows to the right, green downwards, blue in the middle.
        expected = [((5, 5), (0, 0, 0)), ((w - 5, 5), (255, 0, 0)), ((5, h - 5), (0, 255, 0)),
                    ((w - 5, h - 5), (255, 255, 0)), ((w // 2, h // 2), (128, 128, 255))]
        for (x, y), colour in expected:
            self.assertTrue(near(screen.at(x, y), colour, 24), f"{(x, y)}: {screen.at(x, y)} not near {colour}")

    def test_plain_colour_and_a_blank_title_paint_only_the_top_colour(self):
        screen, _, code = show("plain", "    ", "ui-background-plain")
        self.assertEqual(code, 0)
        for x, y in ((0, 0), (5, 10), (screen.width - 1, screen.height - 1), (screen.width // 2, screen.height // 2)):
            self.assertEqual(screen.at(x, y), TOP)
        self.assertEqual(screen.columns_of(TITLE_COLOUR, range(0, 60)), [])


class WithoutADesktop(unittest.TestCase):
    def test_no_background_is_not_fatal_and_dialogs_answer_minus_one(self):
        # Headless Wine has no desktop: an automatic run must still get through
        # start-up, and a dialog that cannot be shown answers -1.
        cases = [(["language"], ["-1 0"]), (["license", "text"], ["-1"]), (["choosedir", "C:\\Widget"], ["0", "C:\\Widget"])]
        for args, expected in cases:
            with self.subTest(args=args), wine.Prefix(gui=False, name="ui") as prefix:
                run = ProbeRun(prefix, *args)
                code, lines = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(lines, expected)


if __name__ == "__main__":
    unittest.main()
