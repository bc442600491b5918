#!/usr/bin/python3
"""Runs the command examples of README.md and compares what they print with what it shows.

    scripts/check_readme.py --tool BUILD/tools/vexa-package/vexa-package --work SCRATCH

An example is a line starting with "$ " inside a fenced code block; the lines after it, up to
the next "$ " line or the end of the block, are what it prints. The rules:

- Where: the scratch directory is emptied and filled by scripts/make_demo_files.sh with the
  files the demo makes, in out/. `vexa-package` on PATH is the tool given.
- How: all examples run in README order in one bash session (so `$?`, and files that one
  example writes, reach the next), on a pseudo-terminal that is both standard output and
  standard error, so stdout and stderr interleave exactly as a terminal shows them. Standard
  input is empty.
- Compared: every line exactly, except that line ends are plain LF (the terminal sends CR LF,
  and CSV's CR LF arrives as CR CR LF), and that a shown line holding only "..." stands for
  any number of printed lines, including none. Nothing else is allowed to vary: the examples
  name their files relative to the scratch directory, and the tool's output is deterministic.
- Skipped: an example whose command names a path under "~/" runs in the reader's own set-up
  (the Python section's virtual environment); it is listed as skipped and not run.

Exit status 0 when every example prints what the README shows, 1 otherwise, with a diff per
example that differs, naming its README line.
"""

import argparse
import dataclasses
import difflib
import errno
import fcntl
import os
import pathlib
import pty
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import termios
import time
import uuid

ELISION = "..."
PROMPT = "$ "
FENCE = re.compile(r"^\s*(```|~~~)")


@dataclasses.dataclass
class Example:
    line: int  # 1-based line of the "$ " line
    command: str
    shown: list[str]


@dataclasses.dataclass
class Result:
    status: int
    printed: list[str]


def parse_examples(text: str) -> list[Example]:
    """The "$ " lines of fenced code blocks, each with the lines shown after it."""
    examples: list[Example] = []
    fence = None
    current = None  # the example whose shown lines are being read
    for number, line in enumerate(text.split("\n"), start=1):
        opening = FENCE.match(line)
        if fence is None:
            if opening:
                fence = opening.group(1)
        elif opening and opening.group(1) == fence:
            fence = None
            current = None
        elif line.startswith(PROMPT):
            current = Example(number, line[len(PROMPT):], [])
            examples.append(current)
        elif current is not None:
            current.shown.append(line)
    if fence is not None:
        raise ValueError(f"a code block opened with {fence} is never closed")
    return examples


def skip_reason(command: str) -> str | None:
    if "~/" in command:
        return "names a path under ~/, the reader's own set-up"
    return None


def normalise(output: str) -> list[str]:
    """Printed text as lines, with CR LF and CR CR LF taken as line ends."""
    text = re.sub(r"\r+\n", "\n", output)
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    return lines


def agrees(shown: list[str], printed: list[str]) -> bool:
    """Whether the printed lines are the shown ones, a "..." line standing for any lines."""
    parts: list[list[str]] = [[]]
    for line in shown:
        if line == ELISION:
            parts.append([])
        else:
            parts[-1].append(line)
    if len(parts) == 1:
        return shown == printed
    first, *middle, last = parts
    if printed[: len(first)] != first or len(printed) < len(first) + len(last):
        return False
    if last and printed[len(printed) - len(last):] != last:
        return False
    position, end = len(first), len(printed) - len(last)
    for part in middle:
        position = _find(printed, part, position, end)
        if position < 0:
            return False
        position += len(part)
    return True


def _find(lines: list[str], part: list[str], start: int, end: int) -> int:
    for index in range(start, end - len(part) + 1):
        if lines[index: index + len(part)] == part:
            return index
    return -1


def session_script(commands: list[str], token: str) -> str:
    """Bash text that runs the commands in turn, printing TOKEN and the status after each and
    handing that status on as $? to the next."""
    steps = []
    for command in commands:
        steps.append(
            f"{command}\n"
            f"__readme_status=$?; printf '%s %d\\n' {token} \"$__readme_status\"; "
            f"(exit \"$__readme_status\")\n"
        )
    return "".join(steps)


def run_session(commands: list[str], cwd: pathlib.Path, env: dict[str, str],
                timeout: float) -> list[Result]:
    """Runs the commands in one bash on a pseudo-terminal; what each printed and its status."""
    token = f"readme-check-{uuid.uuid4().hex}"
    primary, secondary = pty.openpty()
    # Wide, so that nothing depends on the width of the terminal the check runs from.
    fcntl.ioctl(secondary, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 400, 0, 0))
    process = subprocess.Popen(
        ["bash", "--noprofile", "--norc", "-c", session_script(commands, token)],
        stdin=subprocess.DEVNULL, stdout=secondary, stderr=secondary, cwd=cwd, env=env,
        start_new_session=True)
    os.close(secondary)
    received = bytearray()
    deadline = time.monotonic() + timeout
    try:
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([primary], [], [], remaining)[0]:
                os.killpg(process.pid, signal.SIGKILL)
                raise TimeoutError(f"the examples took longer than {timeout:.0f} s")
            try:
                data = os.read(primary, 65536)
            except OSError as error:  # EIO: every writer of the terminal has gone
                if error.errno != errno.EIO:
                    raise
                break
            if not data:
                break
            received += data
    finally:
        os.close(primary)
        process.wait()
    return split_results(received.decode("utf-8", errors="replace"), token, len(commands))


def split_results(output: str, token: str, count: int) -> list[Result]:
    pieces = re.split(rf"{re.escape(token)} (\d+)\r*\n", output)
    results = [Result(int(status), normalise(printed))
               for printed, status in zip(pieces[0::2], pieces[1::2])]
    if len(results) != count:
        raise RuntimeError(f"the session ended after {len(results)} of {count} examples; "
                           f"it printed at the end: {pieces[-1][-2000:]!r}")
    return results


def prepare(work: pathlib.Path, tool: pathlib.Path, make_files: pathlib.Path) -> dict[str, str]:
    """Empties WORK, makes the demo's files in WORK/out and returns the session environment,
    with `vexa-package` on PATH the tool given."""
    shutil.rmtree(work, ignore_errors=True)
    bin_dir = work.parent / f"{work.name}-bin"
    shutil.rmtree(bin_dir, ignore_errors=True)
    bin_dir.mkdir(parents=True)
    (bin_dir / "vexa-package").symlink_to(tool.resolve())
    work.mkdir(parents=True)
    subprocess.run(["bash", str(make_files), str(tool.resolve()), "out"], cwd=work, check=True)
    env = dict(os.environ)
    env.update(PATH=f"{bin_dir}:{env.get('PATH', '/usr/bin:/bin')}", LC_ALL="C.UTF-8",
               TERM="dumb")
    return env


def report(readme_name: str, example: Example, result: Result) -> str:
    header = (f"{readme_name}:{example.line}: $ {example.command}\n"
              f"  printed something else (exit status {result.status}):\n")
    diff = difflib.unified_diff(
        example.shown, result.printed, lineterm="",
        fromfile=f"{readme_name} lines {example.line + 1}-{example.line + len(example.shown)}"
        if example.shown else f"{readme_name}: nothing shown",
        tofile="printed")
    return header + "\n".join("  " + line for line in diff) + "\n"


def main() -> int:
    root = pathlib.Path(__file__).resolve().parent.parent
    parser = argparse.ArgumentParser(description=__doc__.split("\n", 1)[0])
    parser.add_argument("--tool", type=pathlib.Path, required=True, help="the vexa-package to run")
    parser.add_argument("--work", type=pathlib.Path, required=True,
                        help="scratch directory, emptied first")
    parser.add_argument("--readme", type=pathlib.Path, default=root / "README.md")
    parser.add_argument("--timeout", type=float, default=300, help="seconds for all examples")
    arguments = parser.parse_args()

    examples = parse_examples(arguments.readme.read_text(encoding="utf-8"))
    to_run = [example for example in examples if skip_reason(example.command) is None]
    env = prepare(arguments.work.resolve(), arguments.tool, root / "scripts/make_demo_files.sh")
    results = run_session([example.command for example in to_run], arguments.work, env,
                          arguments.timeout)

    name = arguments.readme.name
    for example in examples:
        reason = skip_reason(example.command)
        if reason:
            print(f"{name}:{example.line}: skipped, {reason}: $ {example.command}")
    differing = 0
    for example, result in zip(to_run, results):
        if not agrees(example.shown, result.printed):
            differing += 1
            print(report(name, example, result))
    print(f"{name}: {len(to_run)} examples run, {differing} differ, "
          f"{len(examples) - len(to_run)} skipped")
    return 1 if differing else 0


if __name__ == "__main__":
    sys.exit(main())
