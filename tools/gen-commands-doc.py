#!/usr/bin/python3
"""Checks the command vocabulary and generates the command reference from it.

compiler/vocabulary.txt is the one source of truth: every entry line (name%code%signature) is
preceded by a remark ";: effect" giving its one-line effect, and ";## Family" remarks group the
entries. This tool checks the text against the rules the compiler's reader and its entry
selection rely on, then writes docs/commands.md (through a temporary file, so a failed run never
leaves a half-written reference behind).

Standard library only; run with Debian's /usr/bin/python3.
"""

import argparse
import os
import sys
import tempfile
from dataclasses import dataclass, field

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_VOCABULARY = os.path.join(REPO, "compiler", "vocabulary.txt")
DEFAULT_OUTPUT = os.path.join(REPO, "docs", "commands.md")

# Table sizes of the compiler's reader: entries beyond these are ignored there, so they must fail here.
COMMAND_CAPACITY = 768
FUNCTION_CAPACITY = 512
NAME_LIMIT = 255
SIGNATURE_LIMIT = 32
HIGHEST_CODE = 9995

TYPE_WORDS = {"l": "integer", "f": "real", "s": "string"}
OPERATOR_NAMES = {"^", "/", "*", "+", "-", "==", ">", ">=", "<", "<=", "!", "&", "|", "@"}
# Characters the statement splitter and the parameter splitter treat specially.
FORBIDDEN_IN_NAMES = set('%,:;"()') | {"\t"}


def _array_rows():
    """The dim, undim, element store and element read groups, one row per element type and index count."""
    rows = []
    for first, letter in ((501, "l"), (511, "f"), (521, "s")):
        rows += [("dim", "command", first + k - 1, letter + "l" * k) for k in range(1, 6)]
        rows.append(("undim", "command", first + 5, letter))
    for first, array, value in ((561, "l", "l"), (566, "f", "f"), (571, "s", "s"), (576, "f", "l")):
        rows += [("@=", "command", first + k - 1, array + "l" * k + value) for k in range(1, 6)]
    for first, letter in ((661, "l"), (666, "f"), (671, "s")):
        rows += [("@", "function", first + k - 1, letter + letter + "l" * k) for k in range(1, 6)]
    return rows


def _operator_rows():
    table = {
        "^": "lll51 fff52 flf53 ffl54",
        "/": "lll61 flf64 ffl65 fff66",
        "*": "lll71 flf74 ffl75 fff76",
        "+": "lll81 flf84 ffl85 fff86 sss87",
        "-": "lll91 flf94 ffl95 fff96 sss97",
        "==": "lll101 lff102 lss103 llf131 lfl132",
        ">": "lll111 lff112 llf133 lfl134 lss143",
        ">=": "lll113 lff114 llf135 lfl136",
        "<": "lll115 lff116 llf137 lfl138 lss144",
        "<=": "lll117 lff118 llf139 lfl140",
        "!": "lll119 lff120 lss121 llf141 lfl142",
        "&": "lll123",
        "|": "lll124",
    }
    return [(name, "function", int(item[3:]), item[:3]) for name, items in table.items() for item in items.split()]


# Rows the compiler finds by name or by code: renaming or re-coding one of these breaks compiling.
REQUIRED_ROWS = [
    ("if", "command", 1, "l"), ("else", "command", 2, "0"), ("endif", "command", 3, "0"),
    ("do", "command", 4, "0"), ("exit", "command", 5, "0"), ("loop", "command", 6, "0"),
    ("for", "command", 7, "lll"), ("next", "command", 8, "l"), ("while", "command", 9, "l"),
    ("endwhile", "command", 10, "0"), ("repeat", "command", 11, "0"), ("until", "command", 12, "l"),
    ("gosub", "command", 41, "a"), ("goto", "command", 42, "a"), ("return", "command", 43, "0"),
    ("restore", "command", 31, "a"), ("restore", "command", 32, "0"),
    ("read", "command", 33, "l"), ("read", "command", 34, "f"), ("read", "command", 35, "s"),
    ("endfunction", "command", 22, "0"), ("endfunction", "command", 23, "l"),
    ("endfunction", "command", 24, "f"), ("endfunction", "command", 25, "s"),
    ("exitfunction", "command", 27, "0"), ("exitfunction", "command", 28, "l"),
    ("exitfunction", "command", 29, "f"), ("exitfunction", "command", 30, "s"),
    ("=", "command", 151, "ll"), ("=", "command", 152, "ff"), ("=", "command", 153, "ss"),
    ("remstart", "command", 401, "e"), ("remend", "command", 402, "e"),
    ("print", "command", 301, "l"), ("print", "command", 302, "f"), ("print", "command", 303, "s"),
    ("print", "command", 304, "0"),
    ("printc", "command", 305, "l"), ("printc", "command", 306, "f"), ("printc", "command", 307, "s"),
    ("input", "command", 351, "l"), ("input", "command", 355, "f"), ("input", "command", 352, "s"),
    ("end", "command", 213, "0"),
] + _array_rows() + _operator_rows()

# Statements that only steer the compiler: any code, signature beginning with e.
REQUIRED_STEERING = ["data", "#include", "remstart", "remend"]


@dataclass
class Entry:
    line: int
    name: str
    code: int
    signature: str
    effect: str
    family: str

    @property
    def is_function(self):
        return self.name.endswith("[")

    @property
    def bare_name(self):
        return self.name[:-1] if self.is_function else self.name

    @property
    def kind(self):
        return "function" if self.is_function else "command"

    @property
    def parameters(self):
        """Parameter letters: a function's signature without its result letter; nothing for 0 and e."""
        if self.is_function:
            return self.signature[1:]
        if self.signature[:1] in ("0", "e"):
            return ""
        return self.signature


@dataclass
class Vocabulary:
    entries: list = field(default_factory=list)
    families: list = field(default_factory=list)
    errors: list = field(default_factory=list)

    def error(self, line, message):
        self.errors.append((line, message))


def parse(data):
    """Reads the vocabulary bytes; format faults go into the result's error list with their line."""
    vocabulary = Vocabulary()
    try:
        text = data.decode("ascii")
    except UnicodeDecodeError as fault:
        vocabulary.error(text_line(data, fault.start), "only plain ASCII is allowed")
        return vocabulary
    if text and not text.endswith("\r\n"):
        vocabulary.error(text.count("\n") + 1, "the last line must end with CR LF")
    lines = text.split("\r\n")
    if lines and lines[-1] == "":
        lines.pop()
    family = None
    effect = None
    for number, line in enumerate(lines, 1):
        if "\n" in line or "\r" in line:
            vocabulary.error(number, "line ends must be CR LF")
            continue
        if line.startswith(";## "):
            family = line[4:].strip()
            if family in vocabulary.families:
                vocabulary.error(number, f"family '{family}' is started twice")
            vocabulary.families.append(family)
            effect = None
            continue
        if line.startswith(";: "):
            effect = line[3:].strip()
            continue
        if line.startswith(";") or line == "":
            continue
        fields = line.split("%")
        if len(fields) != 3:
            vocabulary.error(number, "an entry is name%code%signature")
            continue
        name, code_text, signature = fields
        if not code_text.strip().isdigit():
            vocabulary.error(number, f"code '{code_text}' is not a decimal number")
            continue
        if effect is None:
            vocabulary.error(number, f"'{name}' has no ';: effect' line before it")
        if family is None:
            vocabulary.error(number, f"'{name}' comes before the first ';## family' line")
        vocabulary.entries.append(Entry(number, name, int(code_text), signature, effect or "", family or ""))
        effect = None
    return vocabulary


def text_line(data, offset):
    return data[:offset].count(b"\n") + 1


def check_entry(vocabulary, entry):
    error = lambda message: vocabulary.error(entry.line, message)
    name = entry.bare_name
    if not name:
        error("empty name")
        return
    if name != name.lower():
        error(f"'{name}': names are lower case")
    if name != name.strip() or "  " in name:
        error(f"'{name}': words are separated by single blanks")
    if FORBIDDEN_IN_NAMES & set(name):
        error(f"'{name}': a name may not hold any of % , : ; \" ( )")
    if len(name) > NAME_LIMIT:
        error(f"'{name[:20]}...': names are at most {NAME_LIMIT} characters")
    signature = entry.signature
    if not signature or len(signature) > SIGNATURE_LIMIT or signature != signature.strip().lower():
        error(f"'{name}': signature '{signature}' must be 1 to {SIGNATURE_LIMIT} lower-case letters")
        return
    if entry.is_function:
        if set(signature) - set("lfs"):
            error(f"'{name}': function signatures use only l, f and s (result first)")
        if name not in OPERATOR_NAMES:
            if not all(c.isalnum() or c in " $#" for c in name):
                error(f"'{name}': function names hold only letters, digits, blanks, $ and #")
            if name.endswith("$") != (signature[0] == "s"):
                error(f"'{name}': a function name ends in $ exactly when it returns a string")
        elif name.startswith("@") and name != "@":
            error(f"'{name}': only the array-read group may begin with @")
    else:
        if signature[0] in "0e" and len(signature) != 1:
            error(f"'{name}': signature '{signature}' must be just '{signature[0]}'")
        elif signature[0] == "a" and set(signature) != {"a"}:
            error(f"'{name}': a label signature holds only a")
        elif signature[0] not in "0ea" and set(signature) - set("lfs"):
            error(f"'{name}': command signatures use l, f and s, or begin with 0, e or a")
    if signature != "e" and not 1 <= entry.code <= HIGHEST_CODE:
        error(f"'{name}': code {entry.code} is outside 1 to {HIGHEST_CODE}")


def check(vocabulary):
    """Every rule the compiler relies on; returns the list of (line, message) faults."""
    entries = vocabulary.entries
    for entry in entries:
        check_entry(vocabulary, entry)

    commands = [e for e in entries if not e.is_function]
    functions = [e for e in entries if e.is_function]
    if commands and commands[0].signature != "e":
        vocabulary.error(commands[0].line, f"the first command entry must be a statement that only steers the "
                         f"compiler (signature e): index 0 means 'no entry' to the name look-up by code")
    if len(commands) > COMMAND_CAPACITY:
        vocabulary.error(commands[COMMAND_CAPACITY].line,
                         f"{len(commands)} command entries; the compiler keeps only {COMMAND_CAPACITY}")
    if len(functions) > FUNCTION_CAPACITY:
        vocabulary.error(functions[FUNCTION_CAPACITY].line,
                         f"{len(functions)} function entries; the compiler keeps only {FUNCTION_CAPACITY}")

    for table in (commands, functions):
        # Conversion of numeric arguments looks only at the adjacent run of a name.
        seen_runs = {}
        previous = None
        for entry in table:
            if entry.name != previous and entry.name in seen_runs:
                vocabulary.error(entry.line, f"'{entry.bare_name}' is not next to its other entries "
                                 f"(line {seen_runs[entry.name]}); keep entries of one name together")
            seen_runs.setdefault(entry.name, entry.line)
            previous = entry.name
        # The first entry whose parameters fit wins; a later one with the same parameters is never chosen.
        first_with = {}
        for entry in table:
            if entry.signature.startswith("e"):
                continue
            key = (entry.name, entry.parameters)
            if key in first_with and not entry.effect.startswith("Same as"):
                vocabulary.error(entry.line, f"'{entry.bare_name}' with parameters '{entry.parameters}' can "
                                 f"never be chosen: line {first_with[key]} has the same parameters")
            first_with.setdefault(key, entry.line)

    check_nested_calls(vocabulary, functions)

    by_code = {}
    for entry in entries:
        if entry.signature == "e":
            continue
        if entry.code in by_code:
            vocabulary.error(entry.line, f"code {entry.code} is already used on line {by_code[entry.code]}")
        by_code.setdefault(entry.code, entry.line)

    present = {(e.bare_name, e.kind, e.code, e.signature) for e in entries}
    for row in REQUIRED_ROWS:
        if row not in present:
            name, kind, code, signature = row
            vocabulary.error(0, f"the compiler needs the {kind} '{name}' with code {code} and signature '{signature}'")
    for name in REQUIRED_STEERING:
        if not any(e.name == name and e.signature == "e" for e in commands):
            vocabulary.error(0, f"the compiler needs the command '{name}' with signature 'e'")
    return vocabulary.errors


def check_nested_calls(vocabulary, functions):
    """A call nested in another call starts its search at the first entry of its name whose result
    has the expected type, and converts a numeric argument when no entry from there on has a
    parameter of that type at that place. So for each result type, the entries from the first one
    with that result onward must still offer the parameters of every entry of the name; otherwise
    an argument is converted and the call lands on the wrong entry (an integer array read inside a
    real expression would read its handle as a real array)."""
    runs = {}
    for entry in functions:
        if entry.bare_name in OPERATOR_NAMES and entry.bare_name != "@":
            continue  # operators choose by exact types, without converting
        if not entry.signature or set(entry.signature) - set("lfs"):
            continue  # reported by check_entry
        runs.setdefault(entry.name, []).append(entry)
    for run in runs.values():
        for result in sorted({e.signature[0] for e in run}):
            start = next(i for i, e in enumerate(run) if e.signature[0] == result)
            offered = [e.parameters for e in run[start:]]
            for entry in run:
                if not any(p.startswith(entry.parameters) for p in offered):
                    vocabulary.error(entry.line, f"'{entry.bare_name}' with parameters '{entry.parameters}' cannot be "
                                     f"reached from a place that expects {TYPE_WORDS[result]}: list an entry with "
                                     f"those parameters after line {run[start].line}")


def describe_parameters(letters):
    if letters == "":
        return "none"
    if set(letters) == {"a"}:
        return ", ".join("label" for _ in letters)
    return ", ".join(TYPE_WORDS[c] for c in letters)


def markdown_cell(text):
    return text.replace("\\", "\\\\").replace("|", "\\|")


def render(vocabulary):
    entries = vocabulary.entries
    lines = [
        "# Command reference",
        "",
        "Generated by `tools/gen-commands-doc.py` from `compiler/vocabulary.txt`; edit the vocabulary, "
        "not this file.",
        "",
        "Commands are written at the start of a statement, their parameters separated by commas: "
        "`position object 1, 0, 10, 50`. Functions are called with brackets, also when they take no "
        "parameters: `x = mouse x()`. Where a name has several entries, the parameters decide which one "
        "runs; an integer given where only a real fits (or the other way round) is converted.",
        "",
        "| Family | Commands | Functions |",
        "|---|---:|---:|",
    ]
    for family in vocabulary.families:
        members = [e for e in entries if e.family == family]
        lines.append(f"| [{family}](#{anchor(family)}) | {sum(not e.is_function for e in members)} "
                     f"| {sum(e.is_function for e in members)} |")
    lines.append(f"| **All** | **{sum(not e.is_function for e in entries)}** "
                 f"| **{sum(e.is_function for e in entries)}** |")
    for family in vocabulary.families:
        lines += ["", f"## {family}", "", "| Name | Code | Signature | Parameters → result | Effect |",
                  "|---|---:|---|---|---|"]
        for entry in (e for e in entries if e.family == family):
            if entry.is_function:
                # Operators are written between their operands, never called with brackets.
                brackets = "" if entry.bare_name in OPERATOR_NAMES else "()"
                shown = f"`{markdown_cell(entry.bare_name)}{brackets}`"
                types = f"{describe_parameters(entry.parameters)} → {TYPE_WORDS.get(entry.signature[0], '?')}"
            else:
                shown = f"`{markdown_cell(entry.bare_name)}`"
                types = "(not compiled)" if entry.signature == "e" else describe_parameters(entry.parameters)
            lines.append(f"| {shown} | {entry.code} | `{entry.signature}` | {types} | {markdown_cell(entry.effect)} |")
    return "\n".join(lines) + "\n"


def anchor(title):
    kept = "".join(c for c in title.lower() if c.isalnum() or c in " -")
    return kept.replace(" ", "-")


def write_atomically(path, text):
    folder = os.path.dirname(os.path.abspath(path))
    os.makedirs(folder, exist_ok=True)
    handle, temporary = tempfile.mkstemp(prefix=".commands-", suffix=".tmp", dir=folder)
    try:
        with os.fdopen(handle, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
        # mkstemp makes the file private; give it the usual permissions of a new file.
        mask = os.umask(0)
        os.umask(mask)
        os.chmod(temporary, 0o666 & ~mask)
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise


def load(path):
    with open(path, "rb") as source:
        vocabulary = parse(source.read())
    check(vocabulary)
    return vocabulary


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Check the command vocabulary and generate the command reference from it.")
    parser.add_argument("--vocabulary", default=DEFAULT_VOCABULARY, help="vocabulary text to read")
    parser.add_argument("--output", default=DEFAULT_OUTPUT, help="command reference to write")
    parser.add_argument("--check", action="store_true",
                        help="write nothing; fail when the vocabulary breaks a rule or the reference is out of date")
    arguments = parser.parse_args(argv)

    try:
        vocabulary = load(arguments.vocabulary)
    except OSError as fault:
        print(f"{arguments.vocabulary}: cannot read: {fault.strerror}", file=sys.stderr)
        return 2
    if vocabulary.errors:
        for line, message in sorted(vocabulary.errors):
            print(f"{arguments.vocabulary}:{line}: {message}", file=sys.stderr)
        print(f"{len(vocabulary.errors)} fault(s); {arguments.output} left unchanged", file=sys.stderr)
        return 1
    text = render(vocabulary)
    if arguments.check:
        try:
            with open(arguments.output, encoding="utf-8") as current:
                up_to_date = current.read() == text
        except OSError:
            up_to_date = False
        if not up_to_date:
            print(f"{arguments.output} is out of date; run tools/gen-commands-doc.py", file=sys.stderr)
            return 1
        return 0
    write_atomically(arguments.output, text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
