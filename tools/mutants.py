#!/usr/bin/env python3
"""Mutation testing: do the tests notice when the code is wrong?

    tools/mutants.py [-n 60] [--seed 1] [--build build-mutants] FILE...

Makes N seeded mutants of the C++ source files given (a comparison flipped, && and ||
swapped, + and - swapped, a boolean constant inverted, a number off by one, a statement
dropped), spread evenly over the folders the files are in. For each mutant it changes one
line, rebuilds only the test program of the matching tests/ folder (src/model/x.cpp ->
tests/model), runs its tests as CTest does, and puts the file back. The file is always restored, also when the
run is interrupted. At the end it reports how many mutants the tests killed, which survived
(file:line and the change), and which did not compile.

The same seed and files give the same mutants, so a kill rate can be compared before and
after a change to the tests; --only reruns some of them by number (say, those a run killed).
"""

import argparse
import os
import pathlib
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent

# Binary operators are written with a space on each side in this code base, which tells a
# comparison from a template's angle brackets and a shift.
SWAPS = [
    ("comparison", r"(?<=\s)==(?=\s)", "!="),
    ("comparison", r"(?<=\s)!=(?=\s)", "=="),
    ("comparison", r"(?<=\s)<=(?=\s)", "<"),
    ("comparison", r"(?<=\s)>=(?=\s)", ">"),
    ("comparison", r"(?<=\s)<(?=\s)", "<="),
    ("comparison", r"(?<=\s)>(?=\s)", ">="),
    ("logic", r"(?<=\s)&&(?=\s)", "||"),
    ("logic", r"(?<=\s)\|\|(?=\s)", "&&"),
    ("arithmetic", r"(?<=\s)\+(?=\s)", "-"),
    ("arithmetic", r"(?<=\s)-(?=\s)", "+"),
    ("boolean", r"\btrue\b", "false"),
    ("boolean", r"\bfalse\b", "true"),
]
NUMBER = re.compile(r"(?<![\w.])(\d+)(?![\w.])")
STRING = re.compile(r'"(?:\\.|[^"\\])*"|\'(?:\\.|[^\'\\])*\'')
KEYWORDS = {"return", "break", "continue", "case", "default", "goto", "using", "typedef", "static", "const",
            "constexpr", "auto", "template", "namespace", "class", "struct", "enum", "public", "private",
            "protected", "friend", "virtual", "explicit", "inline", "extern", "throw", "co_return", "else"}


def masked(line):
    """The line with string and character literals blanked out, same length."""
    return STRING.sub(lambda m: " " * len(m.group(0)), line)


def is_code(line):
    stripped = line.strip()
    return stripped and not stripped.startswith(("//", "#", "*", "/*"))


def statement_start(lines, index):
    """True when the line at index starts a statement (the one before it ended one)."""
    for previous in range(index - 1, -1, -1):
        text = lines[previous].strip()
        if not text or text.startswith("//"):
            continue
        return text.endswith((";", "{", "}", ":")) and not text.endswith("::")
    return True


def droppable(lines, index):
    text = lines[index].strip()
    if not text.endswith(";") or not statement_start(lines, index):
        return False
    first = re.match(r"[A-Za-z_][\w:]*", text)
    if not first or first.group(0) in KEYWORDS:
        return False
    # "Type name ..." declares something; dropping it would only break the build.
    if re.match(r"[A-Za-z_][\w:<>,*& ]*\s+[*&]*[A-Za-z_]\w*\s*(=|\(|\{|;|\[)", text) and not re.match(
            r"[\w.\->\[\]()]+\s*([+\-*/|&]?=)", text):
        return False
    return "(" in text or "=" in text


def candidates(path):
    """Every mutation of the file: (line index, kind, new line, description)."""
    lines = path.read_text(encoding="utf-8").split("\n")
    found = []
    for index, line in enumerate(lines):
        if not is_code(line):
            continue
        code = masked(line)
        if "//" in code:
            code = code[: code.index("//")]
        for kind, pattern, replacement in SWAPS:
            for match in re.finditer(pattern, code):
                start, end = match.span()
                mutated = line[:start] + replacement + line[end:]
                found.append((index, kind, mutated, f"{match.group(0)} -> {replacement}"))
        for match in NUMBER.finditer(code):
            start, end = match.span()
            value = int(match.group(1))
            mutated = line[:start] + str(value + 1) + line[end:]
            found.append((index, "off-by-one", mutated, f"{value} -> {value + 1}"))
        if droppable(lines, index):
            indent = line[: len(line) - len(line.lstrip())]
            found.append((index, "dropped statement", indent + ";", f"dropped `{line.strip()}`"))
    return lines, found


def test_targets(build, folder):
    """The folder's test program, as tests/FOLDER/CMakeLists.txt names it."""
    listing = (ROOT / "tests" / folder / "CMakeLists.txt").read_text(encoding="utf-8")
    match = re.search(r"tj_test_suite\(\s*(\w+)", listing)
    return [match.group(1)] if match else []


# The command running now. It runs in a process group of its own, so that a timeout or an
# interrupt also ends the test programs under it: a mutant that loops must not outlive the run.
RUNNING = []


def stop_group(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def run(command, timeout, env=None):
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env,
                               start_new_session=True)
    RUNNING.append(process)
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        stop_group(process)
        process.communicate()
        return None, "timed out"
    finally:
        RUNNING.remove(process)


def build_targets(build, targets, jobs):
    code, output = run(["cmake", "--build", str(build), "-j", str(jobs), "--target", *targets], timeout=3600)
    return code == 0, output


def tests_pass(build, folder, jobs, timeout):
    """True when every test of the folder passes, each in its own process as CTest runs them;
    stops at the first that fails."""
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    code, output = run(["ctest", "--test-dir", str(build), "-L", f"^{folder}$", "-j", str(jobs),
                        "--stop-on-failure", "--timeout", str(timeout)], timeout=3600, env=env)
    if code == 0:
        return True, None
    failed = re.findall(r"\d+ - (\S+) \(", output)
    return False, failed[0] if failed else "a test"


class Restorer:
    """Puts a mutated file back whatever happens, interrupts included."""

    def __init__(self):
        self.path = None
        self.text = None
        for number in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(number, self.interrupted)

    def change(self, path, text):
        self.path, self.text = path, path.read_text(encoding="utf-8")
        path.write_text(text, encoding="utf-8")

    def restore(self):
        if self.path is not None:
            self.path.write_text(self.text, encoding="utf-8")
            self.path = None

    def interrupted(self, number, _frame):
        for process in list(RUNNING):
            stop_group(process)
        self.restore()
        print(f"\ninterrupted (signal {number}); the file is restored", file=sys.stderr)
        sys.exit(130)


def choose(files, count, seed):
    """count mutants spread evenly over the files' folders, then over the files of a folder."""
    rng = random.Random(seed)
    by_folder = {}
    for path in files:
        lines, found = candidates(path)
        if found:
            folder = path.relative_to(ROOT).parts[1]
            by_folder.setdefault(folder, []).append((path, lines, found))
    chosen = []
    folders = sorted(by_folder)
    while len(chosen) < count and any(by_folder.values()):
        for folder in folders:
            if len(chosen) >= count or not by_folder[folder]:
                continue
            entries = by_folder[folder]
            path, lines, found = entries[rng.randrange(len(entries))]
            index, kind, mutated, description = found.pop(rng.randrange(len(found)))
            if not found:
                entries.remove((path, lines, found))
            chosen.append((folder, path, lines, index, kind, mutated, description))
    return chosen


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("files", nargs="+", type=pathlib.Path, help="C++ files under src/")
    parser.add_argument("-n", "--count", type=int, default=60)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--build", type=pathlib.Path, default=ROOT / "build-mutants")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=300, help="seconds for one test")
    parser.add_argument("--list", action="store_true", help="only print the mutants")
    parser.add_argument("--only", type=str, default="",
                        help="comma-separated mutant numbers to run (as numbered in a full run), e.g. the ones "
                             "an earlier run killed")
    args = parser.parse_args()

    files = []
    for given in args.files:
        path = given.resolve()
        if path.suffix not in (".cpp", ".h") or "src" not in path.relative_to(ROOT).parts[:1]:
            parser.error(f"{given}: not a C++ file under src/")
        files.append(path)
    mutants = choose(files, args.count, args.seed)
    if args.list:
        for folder, path, _lines, index, kind, _mutated, description in mutants:
            print(f"{path.relative_to(ROOT)}:{index + 1}: {kind}: {description}")
        return 0

    build = args.build if args.build.is_absolute() else ROOT / args.build
    if not (build / "build.ninja").exists():
        configure = ["cmake", "-S", ".", "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
                     "-DTJ_BUILD_BENCH=OFF"]
        if shutil.which("ccache"):
            configure += ["-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache"]
        code, output = run(configure, timeout=600)
        if code != 0:
            print(output)
            return 2
    only_folders = {m[0] for number, m in enumerate(mutants, 1) if not args.only or str(number) in args.only.split(",")}
    folders = sorted(only_folders)
    targets = {folder: test_targets(build, folder) for folder in folders}
    print(f"checking that the unmutated tests pass ({', '.join(folders)})...", flush=True)
    for folder in folders:
        built, output = build_targets(build, targets[folder], args.jobs)
        passed, failing = tests_pass(build, folder, args.jobs, args.timeout) if built else (False, None)
        if not passed:
            print(output[-4000:] if not built else f"{failing} fails without any mutant")
            return 2

    restorer = Restorer()
    killed, survived, broken = [], [], []
    started = time.time()
    only = {int(n) for n in args.only.split(",") if n.strip()}
    for number, (folder, path, lines, index, kind, mutated, description) in enumerate(mutants, 1):
        if only and number not in only:
            continue
        where = f"{path.relative_to(ROOT)}:{index + 1}"
        changed = list(lines)
        changed[index] = mutated
        try:
            restorer.change(path, "\n".join(changed))
            built, _ = build_targets(build, targets[folder], args.jobs)
            if not built:
                broken.append((where, kind, description))
                verdict = "does not compile"
            else:
                passed, failing = tests_pass(build, folder, args.jobs, args.timeout)
                if passed:
                    survived.append((where, kind, description))
                    verdict = "SURVIVED"
                else:
                    killed.append((where, kind, description))
                    verdict = f"killed by {failing}"
        finally:
            restorer.restore()
        print(f"[{number}/{len(mutants)}] {where}: {kind}: {description}: {verdict}", flush=True)
    # Leave the build matching the sources again.
    for folder in folders:
        build_targets(build, targets[folder], args.jobs)

    counted = len(killed) + len(survived)
    rate = 100.0 * len(killed) / counted if counted else 0.0
    print(f"\n{len(killed) + len(survived) + len(broken)} mutants in {time.time() - started:.0f} s: {len(killed)} killed, {len(survived)} survived, "
          f"{len(broken)} did not compile; kill rate {rate:.1f}% of those that compiled")
    for where, kind, description in survived:
        print(f"  survived: {where}: {kind}: {description}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
