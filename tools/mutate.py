#!/usr/bin/env python3
"""Mutation check: seeds small faults into src/ one at a time and sees whether the suite notices.

Each mutant is one change to one line of a src/*.cpp file: a flipped comparison, a dropped
hide()/close()/clear() call, or one altered letter of a text the user reads. Mutants are made in
a copy of the tree under build-mutate/, so src/ is never modified, whatever stops the run.
The choice is seeded: the same N on the same tree gives the same mutants, and a smaller N gives
the first mutants of a larger one.
"""
import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass
from pathlib import Path

SEED = 15
# Headers are left alone: changing one rebuilds most of the tree for a single mutant.
SOURCE_GLOB = "src/**/*.cpp"
# These build backend command lines and log lines; their texts never reach the user.
NOT_USER_TEXT_FILES = {"src/app/commands.cpp", "src/app/logmask.cpp"}
NOT_USER_TEXT_LINE = re.compile(r"qDebug|qInfo|qWarning|qCritical|QFont|setFamily|QSettings")
# Style sheets, resource paths and format strings are not prose.
NOT_PROSE = re.compile(r"[{};%]|:/")

COMPARISON = re.compile(r"(?<![<>=!])(==|!=|<=|>=)| (<|>) ")
FLIPPED = {"==": "!=", "!=": "==", "<=": ">", ">=": "<", "<": ">=", ">": "<="}
DROPPABLE_CALL = re.compile(r"^(\s*)((?:[\w\[\]]+(?:\.|->))*(?:hide|close|clear)\(\));\s*$")

DEFAULT_COUNT = 40
# A mutant that hangs the suite counts as caught once the suite has taken this many times its
# unmutated time.
TIMEOUT_FACTOR = 3
MIN_TIMEOUT_SECONDS = 60


@dataclass(frozen=True)
class Mutant:
    path: str
    line: int  # 1-based
    column: int  # 1-based
    original: str
    mutated: str
    change: str

    def __str__(self):
        return f"{self.path}:{self.line}:{self.column}  {self.change}"


def split_line(line, in_comment):
    """The code stretches and string-literal bodies of one line, as (kind, start, end)."""
    parts, start, i = [], 0, 0
    while i < len(line):
        if in_comment:
            end = line.find("*/", i)
            if end < 0:
                return parts, True
            in_comment, start, i = False, end + 2, end + 2
        elif line.startswith("//", i):
            break
        elif line.startswith("/*", i):
            parts.append(("code", start, i))
            in_comment, i = True, i + 2
        elif line[i] in "\"'":
            parts.append(("code", start, i))
            end = literal_end(line, i)
            if line[i] == '"' and not line[i - 1 : i] == "R":
                parts.append(("string", i + 1, end - 1))
            start = i = end
        else:
            i += 1
    if not in_comment:
        parts.append(("code", start, i))
    return parts, in_comment


def literal_end(line, i):
    """Index just past the string or character literal starting at i."""
    if line[i - 1 : i] == "R":
        close = line.find(')"', i)
        return len(line) if close < 0 else close + 2
    j = i + 1
    while j < len(line) and line[j] != line[i]:
        j += 2 if line[j] == "\\" else 1
    return j + 1


def comparison_mutants(path, number, line, start, end):
    for m in COMPARISON.finditer(line, start, end):
        op = m.group(1) or m.group(2)
        at = m.start(1) if m.group(1) else m.start(2)
        if line[:at].rstrip().endswith("operator"):
            continue
        mutated = line[:at] + FLIPPED[op] + line[at + len(op) :]
        yield Mutant(path, number, at + 1, line, mutated, f"'{op}' -> '{FLIPPED[op]}'")


def text_mutant(path, number, line, start, end):
    text = line[start:end]
    if not re.match(r"[A-Z].*[a-z]", text) or " " not in text or NOT_PROSE.search(text):
        return None
    letters = [i for i, c in enumerate(text) if c.isalpha() and text[i - 1 : i] != "\\"]
    i = min(letters, key=lambda i: abs(i - len(text) // 2))
    new = next_letter(text[i])
    mutated = line[: start + i] + new + line[start + i + 1 :]
    return Mutant(path, number, start + i + 1, line, mutated, f'"{text}": \'{text[i]}\' -> \'{new}\'')


def next_letter(c):
    base = ord("a") if c.islower() else ord("A")
    return chr(base + (ord(c) - base + 1) % 26)


def line_mutants(path, number, line, in_comment):
    """The mutants one line offers, as (kind, mutant), and whether a block comment runs on."""
    parts, in_comment = split_line(line, in_comment)
    if line.lstrip().startswith("#"):
        return [], in_comment
    found = []
    call = DROPPABLE_CALL.match(line)
    if call:
        indent, expression = call.groups()
        dropped = Mutant(path, number, len(indent) + 1, line, indent + "{}", f"drop {expression}")
        found.append(("dropped call", dropped))
    for kind, start, end in parts:
        if kind == "code":
            found += [("comparison", m) for m in comparison_mutants(path, number, line, start, end)]
        elif path not in NOT_USER_TEXT_FILES and not NOT_USER_TEXT_LINE.search(line):
            mutant = text_mutant(path, number, line, start, end)
            found += [("text", mutant)] if mutant else []
    return found, in_comment


def candidates(root):
    """Every mutant the tree offers, by kind, in file and line order."""
    kinds = {"comparison": [], "dropped call": [], "text": []}
    for file in sorted(root.glob(SOURCE_GLOB)):
        path = file.relative_to(root).as_posix()
        in_comment = False
        for number, line in enumerate(file.read_text().splitlines(), 1):
            found, in_comment = line_mutants(path, number, line, in_comment)
            for kind, mutant in found:
                kinds[kind].append(mutant)
    return kinds


def seeded_order(kinds):
    """Each kind shuffled with the fixed seed, then taken in turn, so every kind is tried."""
    lists = []
    for name in sorted(kinds):
        shuffled = list(kinds[name])
        random.Random(f"{SEED}:{name}").shuffle(shuffled)
        lists.append(shuffled)
    order = []
    for i in range(max(map(len, lists), default=0)):
        order += [lst[i] for lst in lists if i < len(lst)]
    return order


def sync_copy(root, copy):
    """Mirrors the tree into copy, rewriting only changed files so the next build stays small."""
    wanted = set()
    for folder, dirs, files in os.walk(root):
        here = Path(folder)
        dirs[:] = [d for d in dirs if not (here == root and (d.startswith("build") or d.startswith(".")))]
        for name in files:
            source = here / name
            target = copy / source.relative_to(root)
            wanted.add(target)
            if not target.exists() or target.read_bytes() != source.read_bytes():
                target.parent.mkdir(parents=True, exist_ok=True)
                shutil.copy(source, target)
    for folder, _, files in os.walk(copy):
        for name in files:
            if Path(folder, name) not in wanted:
                Path(folder, name).unlink()


def run(args, cwd, timeout=None):
    """Runs a command in its own process group; returns (exit code or None on timeout, output)."""
    process = subprocess.Popen(args, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               start_new_session=True)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        return None, ""
    finally:
        if process.poll() is None:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()


class Check:
    def __init__(self, root, jobs):
        self.copy = root / "build-mutate" / "source"
        self.build = root / "build-mutate" / "build"
        self.jobs = str(jobs)

    def configure(self):
        # Unoptimised and without debug information: the cost of a mutant is its rebuild.
        args = ["cmake", "-S", self.copy, "-B", self.build, "-G", "Ninja", "-DSKM_BENCH=OFF",
                "-DCMAKE_BUILD_TYPE=Debug", "-DCMAKE_CXX_FLAGS_DEBUG=-O0"]
        if shutil.which("ccache"):
            args.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        # Every test program links the changed library again for each mutant.
        if shutil.which("ld.lld"):
            args.append("-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld")
        code, output = run(args, self.copy)
        if code != 0:
            sys.exit(output + "\nmutate: configuring the mutant build failed")

    def builds(self):
        code, output = run(["cmake", "--build", self.build, "-j", self.jobs], self.build)
        return code == 0, output

    def tests(self, timeout=None):
        """The first failing test, '' when all pass, or 'timed out'."""
        args = ["ctest", "-j", self.jobs, "--stop-on-failure"]
        code, output = run(args, self.build, timeout)
        if code is None:
            return "timed out"
        failed = re.search(r"Test\s+#\d+: (\S+) .*(?:Failed|Exception|Timeout|Not Run)", output)
        if code != 0:
            return failed.group(1) if failed else "ctest failed"
        return ""

    def outcome(self, mutant, timeout):
        file = self.copy / mutant.path
        original = file.read_text()
        lines = original.splitlines(keepends=True)
        ending = lines[mutant.line - 1][len(mutant.original) :]
        lines[mutant.line - 1] = mutant.mutated + ending
        try:
            file.write_text("".join(lines))
            built, _ = self.builds()
            return self.tests(timeout) if built else None
        finally:
            # Written anew, so the next build recompiles the restored file as well.
            file.write_text(original)


def baseline_timeout(check):
    """Builds and tests the unmutated copy; returns how long a mutant's suite may run."""
    print(f"Building and testing the unmutated tree in {check.build} ...", flush=True)
    check.configure()
    built, output = check.builds()
    if not built:
        sys.exit(f"{output}\nmutate: the unmutated tree does not build")
    started = time.monotonic()
    failing = check.tests()
    if failing:
        sys.exit(f"mutate: the unmutated tree must pass first, and {failing} failed")
    timeout = max(MIN_TIMEOUT_SECONDS, TIMEOUT_FACTOR * (time.monotonic() - started))
    print(f"It passes; a mutant's suite that runs past {timeout:.0f} s counts as caught.", flush=True)
    return timeout


def try_mutants(check, order, count, timeout):
    """Runs mutants in order until count of them have built; returns the missed ones."""
    missed, tried = [], 0
    for mutant in order:
        if tried == count:
            break
        failing = check.outcome(mutant, timeout)
        if failing is None:
            print(f"        {mutant}  did not build, skipped", flush=True)
            continue
        tried += 1
        if not failing:
            missed.append(mutant)
        verdict = f"caught ({failing})" if failing else "MISSED"
        print(f"[{tried:2}/{count}] {mutant}  {verdict}", flush=True)
    return missed, tried


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("count", nargs="?", type=int, default=DEFAULT_COUNT, help="how many mutants")
    parser.add_argument("--list", action="store_true", help="only print the chosen mutants")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    options = parser.parse_args()
    root = Path(__file__).resolve().parent.parent
    order = seeded_order(candidates(root))
    if options.list:
        print("\n".join(map(str, order[: options.count])))
        return

    check = Check(root, options.jobs)
    sync_copy(root, check.copy)
    missed, tried = try_mutants(check, order, options.count, baseline_timeout(check))
    print("\nMissed:\n  " + "\n  ".join(map(str, missed)) if missed else "\nNone missed.")
    print(f"caught {tried - len(missed)} of {tried}")


if __name__ == "__main__":
    main()
