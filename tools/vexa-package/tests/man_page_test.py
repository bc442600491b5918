#!/usr/bin/python3
"""The man page renders without groff warnings and covers every command of the tool: under a
heading of its own, each command's positionals, options and examples as its --help gives
them, and the tool's own options.

    man_page_test.py TOOL PAGE
"""

import re
import subprocess
import sys

failures: list[str] = []


def fail(message: str) -> None:
    failures.append(message)
    print(f"FAIL: {message}", file=sys.stderr)


def help_sections(tool: str, command: list[str]) -> dict[str, list[str]]:
    """The help's lines by section title ("Options", ...); "text" holds those after them."""
    text = subprocess.run([tool, *command, "--help"], check=True, capture_output=True,
                          text=True).stdout
    sections: dict[str, list[str]] = {"text": []}
    current = None
    for line in text.split("\n"):
        if re.fullmatch(r"[A-Z][a-z]+:", line):
            current = line[:-1]
            sections[current] = []
        elif line == "":
            current = "text" if current else None
        elif current:
            sections[current].append(line)
    return sections


def first_words(lines: list[str]) -> list[str]:
    """The names an entry section lists: each entry line's first word, split at commas."""
    names = []
    for line in lines:
        if re.match(r"  \S", line):
            names += line.split()[0].split(",")
    return names


def examples(text: list[str]) -> list[str]:
    """The command lines after "Example:" or "Examples:", blanks collapsed."""
    found, inside = [], False
    for line in text:
        label = re.match(r"Examples?: (.*)", line)
        if label:
            inside = True
            found.append(label.group(1))
        elif inside and line.startswith(" "):
            found.append(line)
        else:
            inside = False
    return [" ".join(command.split()) for command in found]


def leaf_commands(tool: str, command: list[str]) -> list[list[str]]:
    subcommands = first_words(help_sections(tool, command).get("Subcommands", []))
    if not subcommands:
        return [command]
    return [leaf for name in subcommands for leaf in leaf_commands(tool, command + [name])]


def render(page: str) -> str:
    rendered = subprocess.run(["groff", "-man", "-Tutf8", "-P-cbou", "-ww", page], check=True,
                              capture_output=True, text=True)
    if rendered.stderr:
        fail(f"groff warns about {page}:\n{rendered.stderr}")
    return rendered.stdout


def subsections(rendered: str) -> dict[str, str]:
    """The rendered page's subsections (headings indented by three spaces) by heading."""
    parts: dict[str, str] = {}
    heading = None
    for line in rendered.split("\n"):
        if re.match(r"   \S", line):
            heading = line.strip()
            parts[heading] = ""
        elif re.match(r"\S", line):
            heading = None
        elif heading:
            parts[heading] += line + "\n"
    return parts


def mentions(text: str, word: str) -> bool:
    return re.search(rf"(?<![\w-]){re.escape(word)}(?![\w-])", text) is not None


def main() -> int:
    tool, page = sys.argv[1:]
    rendered = render(page)
    parts = subsections(rendered)
    commands = leaf_commands(tool, [])
    if len(commands) < 2:
        fail(f"the tool's help lists {len(commands)} commands")
    for command in commands:
        name = " ".join(command)
        if name not in parts:
            fail(f"no subsection for '{name}'; the page has {sorted(parts)}")
            continue
        section = parts[name]
        help_text = help_sections(tool, command)
        for word in first_words(help_text.get("Positionals", []) + help_text["Options"]):
            if not mentions(section, word):
                fail(f"'{name}' does not mention {word}")
        flat = " ".join(section.split())
        for example in examples(help_text["text"]):
            if example not in flat:
                fail(f"'{name}' lacks the example '{example}'")
        if not examples(help_text["text"]):
            fail(f"the help of '{name}' has no example")
    if "\nOPTIONS\n" not in rendered:
        fail("the page has no OPTIONS section")
    options = rendered.split("\nOPTIONS\n", 1)[-1].split("\nCOMMANDS\n", 1)[0]
    for word in first_words(help_sections(tool, [])["Options"]):
        if not mentions(options, word):
            fail(f"the OPTIONS section does not mention {word}")
    print(f"{len(commands)} commands checked, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
