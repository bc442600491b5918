#!/usr/bin/python3
"""Tests of scripts/check_readme.py's reading of examples, its comparison and its session."""

import os
import pathlib
import sys
import tempfile
import unittest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[3] / "scripts"))
import check_readme  # noqa: E402


class ParseExamples(unittest.TestCase):
    def test_commands_and_shown_lines_of_fenced_blocks_only(self):
        text = "\n".join([
            "$ outside a block",        # 1
            "```",                      # 2
            "$ first",                  # 3
            "one",                      # 4
            "",                         # 5
            "$ second",                 # 6
            "```",                      # 7
            "between",                  # 8
            "~~~text",                  # 9
            "no command here",          # 10
            "$ third",                  # 11
            "  indented output",        # 12
            "~~~",                      # 13
            "```sh",                    # 14
            "make all                   # no prompt: not an example",
            "```",
        ])
        examples = check_readme.parse_examples(text)
        self.assertEqual(
            [(e.line, e.command, e.shown) for e in examples],
            [(3, "first", ["one", ""]), (6, "second", []), (11, "third", ["  indented output"])])

    def test_a_fence_of_the_other_kind_does_not_close_a_block(self):
        examples = check_readme.parse_examples("~~~\n$ cat x\n```\n~~~\n")
        self.assertEqual(examples[0].shown, ["```"])

    def test_an_unclosed_block_is_an_error(self):
        with self.assertRaises(ValueError):
            check_readme.parse_examples("```\n$ ls\n")


class Compare(unittest.TestCase):
    def test_line_ends_of_the_terminal_and_of_csv(self):
        self.assertEqual(check_readme.normalise("a\r\nb,c\r\r\nlast\r\n"), ["a", "b,c", "last"])
        self.assertEqual(check_readme.normalise(""), [])
        self.assertEqual(check_readme.normalise("no end"), ["no end"])
        self.assertEqual(check_readme.normalise("keeps\rinner\r\n"), ["keeps\rinner"])

    def test_exact_without_elision(self):
        self.assertTrue(check_readme.agrees(["a", "b"], ["a", "b"]))
        self.assertFalse(check_readme.agrees(["a", "b"], ["a", "b", "c"]))
        self.assertFalse(check_readme.agrees(["a"], ["a "]))
        self.assertTrue(check_readme.agrees([], []))

    def test_elision_stands_for_any_lines_none_included(self):
        cases = [
            (["a", "...", "z"], ["a", "z"], True),
            (["a", "...", "z"], ["a", "b", "c", "z"], True),
            (["a", "...", "z"], ["a", "b"], False),
            (["a", "...", "z"], ["b", "z"], False),
            (["...", "z"], ["x", "y", "z"], True),
            (["a", "..."], ["a", "tail"], True),
            (["..."], [], True),
            (["a", "...", "m", "...", "z"], ["a", "m", "z"], True),
            (["a", "...", "m", "...", "z"], ["a", "b", "m", "c", "z"], True),
            (["a", "...", "m", "...", "z"], ["a", "b", "c", "z"], False),
            # The first and last parts may not share a line.
            (["a", "...", "a"], ["a"], False),
            # A middle part is found between the first and last parts, not inside them.
            (["a", "...", "z", "...", "z"], ["a", "z"], False),
        ]
        for shown, printed, expected in cases:
            with self.subTest(shown=shown, printed=printed):
                self.assertEqual(check_readme.agrees(shown, printed), expected)

    def test_a_difference_names_the_readme_line_and_shows_both_sides(self):
        example = check_readme.Example(12, "vexa-package validate a.vxpkg", ["a.vxpkg: ok"])
        result = check_readme.Result(1, ["vexa-package: a.vxpkg: empty"])
        text = check_readme.report("README.md", example, result)
        self.assertTrue(text.startswith("README.md:12: $ vexa-package validate a.vxpkg\n"))
        self.assertIn("exit status 1", text)
        self.assertIn("--- README.md lines 13-13", text)
        self.assertIn("  -a.vxpkg: ok\n", text)
        self.assertIn("  +vexa-package: a.vxpkg: empty\n", text)

    def test_skip_rule(self):
        self.assertIsNotNone(check_readme.skip_reason("~/env/bin/python x.py"))
        self.assertIsNone(check_readme.skip_reason("vexa-package validate out/a.vxpkg"))


class Session(unittest.TestCase):
    def run_commands(self, commands):
        with tempfile.TemporaryDirectory() as work:
            return check_readme.run_session(commands, pathlib.Path(work), dict(os.environ), 60)

    def test_status_reaches_the_next_command_and_streams_interleave_in_order(self):
        results = self.run_commands([
            "echo out; echo err >&2; echo out again",
            "false",
            "echo $?",
            "printf 'no newline'",
            "exit_code() { return 3; }; exit_code",
            "echo $?",
        ])
        self.assertEqual([(r.status, r.printed) for r in results], [
            (0, ["out", "err", "out again"]),
            (1, []),
            (0, ["1"]),
            (0, ["no newline"]),
            (3, []),
            (0, ["3"]),
        ])

    def test_commands_write_to_a_terminal_and_read_empty_input(self):
        results = self.run_commands(["test -t 1 && test -t 2 && echo tty", "cat; echo end"])
        self.assertEqual([r.printed for r in results], [["tty"], ["end"]])

    def test_a_session_that_ends_early_is_an_error(self):
        with self.assertRaises(RuntimeError):
            self.run_commands(["exit 4", "echo never"])


if __name__ == "__main__":
    unittest.main()
