#!/usr/bin/python3
"""Writes the COMMANDS section of the man page from each command's --help, for help2man:

    man_command_sections.py TOOL OUTPUT.h2m

One subsection per command (profile's commands each have their own), with the summary, the
usage, every positional and option with its description, and the rest of the help (what the
command shows, examples). Built from the help at build time, so the page cannot fall behind.
"""

import dataclasses
import re
import subprocess
import sys

SECTION_TITLES = ("Positionals:", "Options:", "Subcommands:")
HELP_OPTION = "Print this help message and exit"
EXAMPLE_LABEL = re.compile(r"^(Examples?:) ")

Entry = tuple[str, str]  # the name part (names, value, default, constraints), the description


@dataclasses.dataclass
class Help:
    summary: list[str]
    usage: str
    sections: dict[str, list[Entry]]  # by title without its colon: "Options", ...
    footer: list[str]  # the text after the sections


def help_text(tool: str, command: list[str]) -> str:
    return subprocess.run([tool, *command, "--help"], check=True, capture_output=True,
                          text=True).stdout


def parse_help(text: str) -> Help:
    """CLI11's help as its summary, usage, entry sections and the text after them."""
    lines = text.rstrip("\n").split("\n")
    usage_at = next(i for i, line in enumerate(lines) if line.startswith("Usage: "))
    parsed = Help(lines[:usage_at], lines[usage_at][len("Usage: "):], {}, [])
    column = next(line.index(HELP_OPTION) for line in lines if HELP_OPTION in line)
    index = usage_at + 1
    while index < len(lines):
        line = lines[index]
        if line in SECTION_TITLES:
            entries, index = parse_entries(lines, index + 1, column)
            parsed.sections[line[:-1]] = entries
        elif line == "" and not parsed.footer:
            index += 1
        else:
            parsed.footer.append(line)
            index += 1
    return parsed


def parse_entries(lines: list[str], index: int, column: int) -> tuple[list[Entry], int]:
    """The entries of one section, up to its blank line, and the index after them."""
    entries: list[Entry] = []
    while index < len(lines) and lines[index] != "":
        line = lines[index]
        if line.startswith(" " * column) and entries:
            name, description = entries[-1]
            entries[-1] = (name, f"{description} {line.strip()}".strip())
        else:
            entries.append(split_entry(line, column))
        index += 1
    return entries, index


def split_entry(line: str, column: int) -> Entry:
    # CLI11 starts the description at a fixed column, or on the next line when the name part
    # reaches it. A name part one character short of the column is followed by a single space,
    # like a longer one broken at a space: only the longer one, a type such as
    # "N:UINT in [0 - 100]", is cut inside brackets.
    head, tail = line[:column], line[column:]
    if head.endswith(" ") and tail and balanced(head):
        return head.strip(), tail.strip()
    return line.strip(), ""


def balanced(text: str) -> bool:
    return text.count("[") == text.count("]") and text.count("{") == text.count("}")


def roff(text: str) -> str:
    """Text for a roff line: backslashes and minus signs escaped, no control character first."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return "\\&" + text if text.startswith((".", "'")) else text


def entry_tag(name: str) -> str:
    """The names in bold, the rest (value, default, constraints) as written."""
    first, _, rest = name.partition(" ")
    names = ", ".join(f"\\fB{roff(part)}\\fR" for part in first.split(","))
    return f"{names} {roff(rest)}" if rest else names


def footer_roff(lines: list[str]) -> list[str]:
    """The help's closing text: prose filled, a new paragraph where its author ended a
    sentence early on a line; indented lines and examples kept as written."""
    width = max((len(line) for line in lines), default=0)
    out: list[str] = [".PP"]
    previous = ""
    index = 0
    while index < len(lines):
        line = lines[index]
        label = EXAMPLE_LABEL.match(line)
        if label or line.startswith(" "):
            block = []
            indent = len(label.group(0)) if label else 2
            if label:
                out += [".PP", roff(label.group(1))]
                block.append(line[indent:])
                index += 1
            while index < len(lines) and lines[index].startswith(" "):
                block.append(lines[index][indent:] if lines[index][:indent].isspace()
                             else lines[index].strip())
                index += 1
            out += [".RS", ".nf"] + [roff(text) for text in block] + [".fi", ".RE"]
            previous = ""
            continue
        ends_early = previous.endswith(".") and \
            len(previous) + 1 + len(line.split(" ")[0]) <= width
        if ends_early or out[-1] == ".RE":
            out.append(".PP")
        out.append(roff(line))
        previous = line
        index += 1
    return out


def command_section(tool: str, command: list[str]) -> list[str]:
    parsed = parse_help(help_text(tool, command))
    out = [f'.SS "{roff(" ".join(command))}"']
    out += [roff(line) for line in parsed.summary]
    out += [".PP", f"\\fB{roff(parsed.usage)}\\fR"]
    for title in ("Positionals", "Options"):
        for name, description in parsed.sections.get(title, []):
            out += [".TP", entry_tag(name), roff(description)]
    if parsed.footer:
        out += footer_roff(parsed.footer)
    return out


def commands(tool: str, command: list[str]) -> list[list[str]]:
    """Every command that does something, in help order: a command with subcommands stands
    for its subcommands."""
    subcommands = parse_help(help_text(tool, command)).sections.get("Subcommands")
    if not subcommands:
        return [command]
    found = []
    for name, _ in subcommands:
        found += commands(tool, command + [name])
    return found


def main() -> int:
    tool, output = sys.argv[1:]
    lines = ["[COMMANDS]"]
    for command in commands(tool, []):
        lines += command_section(tool, command)
    with open(output, "w", encoding="utf-8") as file:
        file.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
