"""Tests of the vocabulary checker and the command reference generator (tools/gen-commands-doc.py)."""

import contextlib
import io
import os
import runpy
import tempfile
import types
import unittest

TOOLS = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
# The tool's file name has a hyphen, so it is loaded by path rather than imported.
gen = types.SimpleNamespace(**runpy.run_path(os.path.join(TOOLS, "gen-commands-doc.py"), run_name="gen_commands_doc"))

with open(gen.DEFAULT_VOCABULARY, "rb") as _source:
    REAL_VOCABULARY = _source.read()


def faults(data):
    vocabulary = gen.parse(data)
    gen.check(vocabulary)
    return vocabulary.errors


def with_lines(*lines, base=REAL_VOCABULARY):
    """The real vocabulary with extra lines (LF-written, stored CR LF) appended at its end."""
    return base + "".join(line + "\r\n" for line in lines).encode("ascii")


def run_quietly(arguments):
    with contextlib.redirect_stderr(io.StringIO()):
        return gen.main(arguments)


def line_of(data, text):
    return data.split(b"\r\n").index(text.encode("ascii")) + 1


class RealVocabularyTest(unittest.TestCase):
    def test_the_shipped_vocabulary_keeps_every_rule(self):
        self.assertEqual(faults(REAL_VOCABULARY), [])

    def test_the_committed_reference_matches_the_vocabulary(self):
        with open(gen.DEFAULT_OUTPUT, encoding="utf-8") as current:
            self.assertEqual(current.read(), gen.render(gen.load(gen.DEFAULT_VOCABULARY)),
                             "docs/commands.md is out of date: run tools/gen-commands-doc.py")

    def test_a_whole_number_reaches_the_real_cosine_through_the_integer_entry(self):
        # cos(45) must pick the integer-parameter entry; abs(-3) has no integer entry and converts.
        entries = gen.parse(REAL_VOCABULARY).entries
        by_name = lambda name: [(e.code, e.signature) for e in entries if e.name == name]
        self.assertEqual(by_name("cos["), [(331, "ff"), (332, "fl")])
        self.assertEqual(by_name("abs["), [(368, "ff")])


class FaultTest(unittest.TestCase):
    def assertFault(self, data, expected_line, fragment):
        found = faults(data)
        self.assertTrue(any(line == expected_line and fragment in message for line, message in found),
                        f"expected line {expected_line} with '{fragment}', got {found}")

    def test_each_malformed_entry_is_reported_with_its_line(self):
        cases = [
            ("two fields", ["bad entry%12"], "name%code%signature"),
            ("code not a number", ["bad entry%1x%l"], "not a decimal number"),
            ("signature letter", ["bad entry%9700%lq"], "command signatures use"),
            ("0 with more letters", ["bad entry%9700%0l"], "must be just '0'"),
            ("function without result", ["bad entry[%9700%"], "signature"),
            ("function letter", ["bad entry[%9700%la"], "function signatures use only"),
            ("string function without $", ["bad entry[%9700%sl"], "ends in $"),
            ("comma in a name", ["bad,entry%9700%l"], "may not hold"),
            ("upper case", ["Bad entry%9700%l"], "lower case"),
            ("double blank", ["bad  entry%9700%l"], "single blanks"),
            ("code too high", ["bad entry%9996%l"], "outside 1 to 9995"),
            ("code used twice", ["bad entry%7000%l"], "already used"),
        ]
        for label, lines, fragment in cases:
            with self.subTest(label):
                data = with_lines(";: effect", *lines)
                self.assertFault(data, len(data.split(b"\r\n")) - 1, fragment)

    def test_an_entry_without_its_effect_line_is_reported(self):
        data = with_lines("lonely entry%9700%l")
        self.assertFault(data, line_of(data, "lonely entry%9700%l"), "no ';: effect'")

    def test_a_bare_line_feed_is_reported(self):
        data = REAL_VOCABULARY.replace(b"if%1%l\r\n", b"if%1%l\n", 1)
        self.assertTrue(any("CR LF" in message for _, message in faults(data)))

    def test_an_entry_that_can_never_be_chosen_is_reported(self):
        # The first entry with the same parameters wins, so the second would be dead.
        data = with_lines(";: a", "twin entry%9700%l", ";: b", "twin entry%9701%l")
        self.assertFault(data, line_of(data, "twin entry%9701%l"), "can never be chosen")
        alias = with_lines(";: a", "twin entry%9700%l", ";: Same as twin entry (second code)", "twin entry%9701%l")
        self.assertEqual(faults(alias), [])

    def test_an_overload_hidden_from_nested_calls_is_reported(self):
        # In a real context the search starts at the first real result; an integer entry before
        # it would only be reached by converting the argument.
        data = with_lines(";: a", "mixed[%9700%ll", ";: b", "mixed[%9701%ff")
        self.assertFault(data, line_of(data, "mixed[%9700%ll"), "expects real")
        # The array reads listed integer group first: an integer array read inside a real
        # expression would be converted to a real array read.
        lines = REAL_VOCABULARY.split(b"\r\n")
        reads = [i for i, line in enumerate(lines) if line.startswith(b"@[%")]
        pairs = sorted((lines[i].split(b"%")[1], lines[i - 1], lines[i]) for i in reads)
        block = [line for _, effect, entry in pairs for line in (effect, entry)]
        first, last = reads[0] - 1, reads[-1] + 1
        grouped = b"\r\n".join(lines[:first] + block + lines[last:])
        self.assertTrue(any("expects real" in message for _, message in faults(grouped)))

    def test_entries_of_one_name_that_are_not_adjacent_are_reported(self):
        data = with_lines(";: a", "split name%9700%l", ";: b", "other name%9701%l", ";: c", "split name%9702%f")
        self.assertFault(data, line_of(data, "split name%9702%f"), "not next to")

    def test_a_missing_or_recoded_compiler_row_is_reported(self):
        cases = [
            (b"goto%42%a\r\n", b"jump%42%a\r\n", "'goto' with code 42"),
            (b"@=%576%fll\r\n", b"@=%576%flf\r\n", "'@=' with code 576"),
            (b"+[%84%flf\r\n", b"+[%84%ffl\r\n", "'+' with code 84"),
            (b"data%0%e\r\n", b"data%0%0\r\n", "'data' with signature 'e'"),
        ]
        for old, new, fragment in cases:
            with self.subTest(fragment):
                self.assertIn(old, REAL_VOCABULARY)
                found = faults(REAL_VOCABULARY.replace(old, new, 1))
                self.assertTrue(any(fragment in message for _, message in found), found)

    def test_a_first_command_that_runs_is_reported(self):
        # Diagnostics read entry index 0 as "no entry", so the first command must never be looked up.
        data = REAL_VOCABULARY.replace(b";## Compiler statements\r\n", b";## Compiler statements\r\n;: Clear\r\ncls%212%0\r\n", 1)
        data = data.replace(b";: Clear the current bitmap to the background colour; the print cursor goes to the top-left\r\ncls%212%0\r\n", b"", 1)
        self.assertFault(data, line_of(data, "cls%212%0"), "first command entry")

    def test_more_entries_than_the_compiler_keeps_are_reported(self):
        commands = sum(1 for e in gen.parse(REAL_VOCABULARY).entries if not e.is_function)
        extra = []
        for k in range(gen.COMMAND_CAPACITY - commands + 1):
            extra += [";: filler", f"filler {k}%{9700 + k}%l"]
        found = faults(with_lines(*extra))
        self.assertTrue(any(f"only {gen.COMMAND_CAPACITY}" in message for _, message in found))


class RenderTest(unittest.TestCase):
    SMALL = (";## Sample family\r\n"
             ";: Draw a line\r\nline%235%llll\r\n"
             ";: Bitwise or\r\n|[%124%lll\r\n"
             ";: Name of the font\r\ntext font$[%6501%s\r\n"
             ";: Items\r\ndata%0%e\r\n").encode("ascii")

    def test_entries_are_listed_with_types_results_and_escaped_names(self):
        text = gen.render(gen.parse(self.SMALL))
        self.assertIn("## Sample family", text)
        self.assertIn("| `line` | 235 | `llll` | integer, integer, integer, integer | Draw a line |", text)
        self.assertIn("| `\\|` | 124 | `lll` | integer, integer → integer | Bitwise or |", text)
        self.assertIn("| `text font$()` | 6501 | `s` | none → string | Name of the font |", text)
        self.assertIn("| `data` | 0 | `e` | (not compiled) | Items |", text)
        self.assertIn("| [Sample family](#sample-family) | 2 | 2 |", text)

    def test_a_faulty_vocabulary_leaves_the_existing_reference_untouched(self):
        with tempfile.TemporaryDirectory() as folder:
            source = os.path.join(folder, "vocabulary.txt")
            output = os.path.join(folder, "commands.md")
            with open(source, "wb") as out:
                out.write(REAL_VOCABULARY.replace(b"goto%42%a", b"goto%42%q"))
            with open(output, "w") as out:
                out.write("earlier reference\n")
            self.assertEqual(run_quietly(["--vocabulary", source, "--output", output]), 1)
            with open(output) as current:
                self.assertEqual(current.read(), "earlier reference\n")
            self.assertEqual(sorted(os.listdir(folder)), ["commands.md", "vocabulary.txt"])

    def test_check_mode_fails_on_a_stale_reference_and_passes_on_a_fresh_one(self):
        with tempfile.TemporaryDirectory() as folder:
            output = os.path.join(folder, "commands.md")
            self.assertEqual(run_quietly(["--output", output, "--check"]), 1)
            self.assertEqual(run_quietly(["--output", output]), 0)
            self.assertEqual(run_quietly(["--output", output, "--check"]), 0)


if __name__ == "__main__":
    unittest.main()
