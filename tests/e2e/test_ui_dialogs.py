"""The installer's dialogs as real windows under Wine: a probe opens one,
the test driver reads and presses it from another process."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import wine  # noqa: E402
from ui_probe_run import ProbeRun  # noqa: E402

LANGUAGE = "Choose Your Language"
LICENSE = "Licence Agreement"
README = "Read Me"
CHOOSE_DIR = "Installation Folder"
PROGRESS = "Installing Widget"
VK_RETURN, VK_ESCAPE = 13, 27

# What the probe's string table holds for messages 48 and 49, per language.
BUTTONS = [("Continue", "Cancel"), ("Weiter", "Abbrechen"), ("Verder", "Annuleren")]


def gui_prefix():
    return wine.Prefix(gui=True, name="ui")


class LanguageDialog(unittest.TestCase):
    def test_selection_relabels_buttons_and_double_click_chooses(self):
        for index in range(3):
            with self.subTest(language=index), gui_prefix() as prefix:
                run = ProbeRun(prefix, "language")
                before = run.texts(LANGUAGE)
                self.assertEqual([before[("item", i)] for i in range(3)], ["English", "Deutsch", "Nederlands"])
                self.assertEqual((before[1001], before[1003]), ("&Continue", "&Abort"))
                run.driver("select", LANGUAGE, 1017, index, "sleep", 300)
                after = run.texts(LANGUAGE)
                self.assertEqual((after[1001], after[1003]), BUTTONS[index])
                if index == 1:
                    prefix.screenshot("ui-language-dialog")
                run.driver("dblclick", LANGUAGE, 1017, index, "gone", LANGUAGE, 5000)
                code, lines = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(lines, [f"1001 {index}"])

    def test_buttons_end_with_their_ids(self):
        cases = [
            # (selection before, button, expected result line)
            (None, "#1001", "1001 0"),       # the first language is preselected
            (2, "#1001", "1001 2"),
            (1, "#1003", "1003 1"),          # the selection is kept even when aborting
            (None, "key-return", "1001 0"),  # Enter activates the default button
        ]
        for selection, button, expected in cases:
            with self.subTest(selection=selection, button=button), gui_prefix() as prefix:
                run = ProbeRun(prefix, "language")
                run.driver("wait", LANGUAGE, 20000)
                if selection is not None:
                    run.driver("select", LANGUAGE, 1017, selection)
                if button == "key-return":
                    run.driver("key", LANGUAGE, VK_RETURN)
                else:
                    run.driver("press", LANGUAGE, button)
                code, lines = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(lines, [expected])


class TextDialogs(unittest.TestCase):
    TEXT = "Line one of the text.\r\nLine two."

    def test_texts_from_the_table_and_results(self):
        cases = [
            ("license", LICENSE, {1009: "Please read the licence.", 1001: "I Agree", 1003: "I Disagree"}),
            ("readme", README, {1009: "Please read this first.", 1001: "Continue", 1003: "Cancel"}),
        ]
        for command, title, labels in cases:
            for button, expected in (("#1001", "1001"), ("#1003", "1003"), ("key-return", "1001")):
                with self.subTest(dialog=command, button=button), gui_prefix() as prefix:
                    run = ProbeRun(prefix, command, self.TEXT)
                    texts = run.texts(title)
                    self.assertEqual(texts[0], title)
                    self.assertEqual(texts[1005], self.TEXT)
                    for ident, label in labels.items():
                        self.assertEqual(texts[ident], label)
                    if button == "#1001":
                        prefix.screenshot(f"ui-{command}-dialog")
                    if button == "key-return":
                        run.driver("key", title, VK_RETURN)
                    else:
                        run.driver("press", title, button)
                    code, lines = run.finish()
                    self.assertEqual(code, 0)
                    self.assertEqual(lines, [expected])


class EscapeAndCloseBox(unittest.TestCase):
    def test_do_not_end_a_modal_dialog(self):
        cases = [
            ("language", [], LANGUAGE, ["1003 0"]),
            ("license", ["text"], LICENSE, ["1003"]),
            ("readme", ["text"], README, ["1003"]),
            ("choosedir", ["C:\\Widget"], CHOOSE_DIR, ["0", "C:\\Widget"]),
        ]
        for command, args, title, expected in cases:
            with self.subTest(dialog=command), gui_prefix() as prefix:
                run = ProbeRun(prefix, command, *args)
                run.driver("wait", title, 20000, "key", title, VK_ESCAPE)
                self.assertTrue(run.still_open(title), "Escape ended the dialog")
                run.driver("close", title)
                self.assertTrue(run.still_open(title), "the close box ended the dialog")
                run.driver("press", title, "#1003")
                code, lines = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(lines, expected)


class ChooseDirectory(unittest.TestCase):
    INITIAL = "C:\\Program Files\\Widget"

    def test_texts_and_the_typed_directory_or_the_old_one_on_cancel(self):
        cases = [
            ("#1001", "D:\\Apps\\Widget 2", ["1", "D:\\Apps\\Widget 2"]),
            ("#1003", "D:\\Apps\\Widget 2", ["0", self.INITIAL]),
            ("#1001", "", ["1", ""]),  # taken exactly as typed; checking is the caller's
            ("#1001", "  not a path? ", ["1", "  not a path? "]),
        ]
        for button, typed, expected in cases:
            with self.subTest(button=button, typed=typed), gui_prefix() as prefix:
                run = ProbeRun(prefix, "choosedir", self.INITIAL)
                texts = run.texts(CHOOSE_DIR)
                self.assertEqual(texts[0], CHOOSE_DIR)
                self.assertEqual(texts[1009], "Choose the folder for Widget:")
                self.assertEqual(texts[1015], self.INITIAL)
                self.assertEqual((texts[1013], texts[1001], texts[1003]), ("Browse...", "Continue", "Cancel"))
                run.driver("settext", CHOOSE_DIR, 1015, typed)
                if button == "#1001" and typed.startswith("D:"):
                    prefix.screenshot("ui-choose-directory-dialog")
                run.driver("press", CHOOSE_DIR, button)
                code, lines = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(lines, expected)

    def test_folder_browser_opens_at_the_typed_folder(self):
        # The browser starts at the edit field's text; OK puts the folder's
        # full path (as the shell spells it) into the field, Cancel leaves it.
        cases = [
            ("c:\\WINDOWS\\system32", "OK", "C:\\windows\\system32"),
            ("C:\\users", "OK", "C:\\users"),
            ("c:\\WINDOWS\\system32", "Cancel", "c:\\WINDOWS\\system32"),
        ]
        for typed, button, expected in cases:
            with self.subTest(typed=typed, button=button), gui_prefix() as prefix:
                run = ProbeRun(prefix, "choosedir", self.INITIAL)
                run.driver("wait", CHOOSE_DIR, 20000, "settext", CHOOSE_DIR, 1015, typed,
                           "press", CHOOSE_DIR, "#1013")
                browser = run.texts("Browse for Folder")
                self.assertIn("Choose the folder for Widget:", browser.values())
                if button == "OK" and typed.startswith("C:"):
                    prefix.screenshot("ui-folder-browser")
                run.driver("sleep", 300, "press", "Browse for Folder", button, "gone", "Browse for Folder", 5000)
                self.assertEqual(run.texts(CHOOSE_DIR)[1015], expected)
                run.driver("press", CHOOSE_DIR, "#1001")
                code, lines = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(lines, ["1", expected])

    def test_typing_stops_at_259_characters(self):
        with gui_prefix() as prefix:
            run = ProbeRun(prefix, "choosedir", "")
            typed = "C:\\" + "d" * 300
            run.driver("wait", CHOOSE_DIR, 20000, "type", CHOOSE_DIR, 1015, typed, "press", CHOOSE_DIR, "#1001")
            code, lines = run.finish()
            self.assertEqual(code, 0)
            self.assertEqual(lines, ["1", typed[:259]])


class ProgressDialog(unittest.TestCase):
    def geometry(self, lines):
        rects = {}
        for line in lines:
            parts = line.split()
            if parts and parts[0] in ("frame", "bar"):
                rects[parts[0]] = [int(v) for v in parts[1:]]
        return rects

    def test_bar_covers_the_frame_with_one_pixel_to_spare(self):
        with gui_prefix() as prefix:
            run = ProbeRun(prefix, "progress")
            run.driver("wait", PROGRESS, 20000)
            frame_and_bar = self.geometry(run.result_lines())
            left, top, right, bottom = frame_and_bar["frame"]
            self.assertEqual(frame_and_bar["bar"], [left - 1, top - 1, right + 1, bottom + 1])
            run.stop()
            code, lines = run.finish()
            self.assertEqual(code, 0)
            # Nothing closed the dialog, so setProgressText never reported a close;
            # closing it clears both stored handles.
            self.assertTrue(lines[-2].startswith("finished ") and lines[-2].endswith(" closes 0"), lines)
            self.assertEqual(lines[-1], "closed yes")

    def test_cancel_asks_and_no_lets_the_work_go_on(self):
        with gui_prefix() as prefix:
            run = ProbeRun(prefix, "progress")
            texts = run.texts(PROGRESS)
            self.assertEqual(texts[1009], "Copying files...")
            self.assertEqual(texts[1003], "Cancel")
            self.assertTrue(texts[1011].startswith("Copying file "), texts[1011])
            self.assertTrue(texts[1011].endswith(" of Widget"), texts[1011])
            prefix.screenshot("ui-progress-dialog")
            run.driver("press", PROGRESS, "#1003")
            box = run.texts("Cancel Setup")
            self.assertIn("Really stop installing Widget?", box.values())
            run.driver("press", "Cancel Setup", "No", "gone", "Cancel Setup", 5000)
            # Escape and the close box do not end the progress dialog either.
            run.driver("key", PROGRESS, VK_ESCAPE, "close", PROGRESS)
            self.assertTrue(run.still_open(PROGRESS))
            before = int(run.texts(PROGRESS)[1011].split()[2])
            run.driver("sleep", 800)
            after = int(run.texts(PROGRESS)[1011].split()[2])
            self.assertGreater(after, before, "the work did not go on")
            run.stop()
            code, lines = run.finish()
            self.assertEqual(code, 0)
            finished = lines[-2].split()
            self.assertEqual(finished[0], "finished", lines)
            steps, position, closes = int(finished[1]), int(finished[3]), int(finished[5])
            self.assertGreater(steps, after)
            self.assertEqual(position, (steps - 1) % 101)
            # The close box's WM_CLOSE reached the dialog through the progress
            # updates' pumping (setProgressText reports it when its own pump
            # dispatched it; the Windows tests check that exactly).
            self.assertLessEqual(closes, 1)

    def test_cancel_answered_yes_ends_the_program_as_cancelled(self):
        with gui_prefix() as prefix:
            run = ProbeRun(prefix, "progress")
            run.driver("wait", PROGRESS, 20000, "press", PROGRESS, "#1003", "press", "Cancel Setup", "Yes")
            code, lines = run.finish()
            self.assertEqual(code, 1)
            self.assertFalse(any(line.startswith("finished") for line in lines), lines)


class OpeningQuestion(unittest.TestCase):
    def test_caption_filled_text_and_answers(self):
        for button, expected in (("Yes", "go on"), ("No", "stop")):
            with self.subTest(button=button), gui_prefix() as prefix:
                run = ProbeRun(prefix, "ask", "Install <product> into <OS>?")
                texts = run.texts("Quillpack Utility v5.1")
                self.assertIn("Install Widget into C:\\windows?", texts.values())
                run.driver("press", "Quillpack Utility v5.1", button)
                code, lines = run.finish()
                self.assertEqual(code, 0)
                self.assertEqual(lines, [expected])


if __name__ == "__main__":
    unittest.main()
