#!/usr/bin/python3
"""Mutation check: ./dev mutate [options] [ID-or-path ...]

Applies each fault of tools/mutants.txt alone to a copy of the tree (build-mutate/src), rebuilds
it incrementally (one build directory for all, ccache), runs the tests most likely to catch it
first, two at a time, and stops at the first failure. Writes build-mutate/report.txt.
Never touches the checkout. docs/reliability.md says how to read the report.
"""

import argparse
import datetime
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WORK = ROOT / "build-mutate"
SRC = WORK / "src"
# Laid out as a checkout's own build/ is, with its flags, so that ccache finds what any
# checkout's build compiled (with CCACHE_BASEDIR above both).
BUILD = SRC / "build"
LOGS = WORK / "logs"
HISTORY = WORK / "history.json"
LIST = ROOT / "tools" / "mutants.txt"
# An entry's lines, and the attribute each sets ("in" is a keyword of Python's).
KEYS = {"in": "file", "find": "find", "put": "put", "player": "player", "equivalent": "equivalent"}
# Without a run of its own to go by, a test may take as long as ctest allows it.
UNMEASURED_LIMIT_S = 300.0


@dataclass
class Mutant:
    id: str
    line: int
    file: str = ""
    find: str = ""
    put: str = None  # may be empty: the text is dropped
    player: str = ""
    equivalent: str = ""
    result: str = ""  # caught, missed, equivalent, no build
    test: str = ""
    how: str = ""  # failed, timed out, crashed
    build_s: float = 0.0
    test_s: float = 0.0
    tests_run: int = 0
    given: set = field(default_factory=set)


# ---- The list ----


def parse_list(path):
    mutants, problems = [], []
    current = None
    for number, raw in enumerate(path.read_text().splitlines(), 1):
        text = raw.strip()
        if not text or text.startswith("#"):
            continue
        if text.startswith("== "):
            current = Mutant(text[3:].strip(), number)
            mutants.append(current)
            continue
        key, colon, value = text.partition(":")
        if current is None or not colon or key not in KEYS:
            problems.append(f"{path.name}:{number}: expected '== ID' or one of {', '.join(KEYS)}")
            continue
        if key in current.given:
            problems.append(f"{path.name}:{number}: {current.id}: a second '{key}'")
        current.given.add(key)
        setattr(current, KEYS[key], value.strip())
    return mutants, problems


def check_list(mutants, tree):
    """Every entry names a file and text found there exactly once; else what is wrong."""
    problems, seen = [], set()
    for m in mutants:
        where = f"{LIST.name}:{m.line}: {m.id}"
        if m.id in seen:
            problems.append(f"{where}: the id is used twice")
        seen.add(m.id)
        needed = ("in", "find", "put") + (() if m.equivalent else ("player",))
        missing = [k for k in needed if k not in m.given]
        if missing or not m.find:
            problems.append(f"{where}: missing or empty: {', '.join(missing or ['find'])}")
            continue
        if m.find == m.put:
            problems.append(f"{where}: put is the same as find")
        source = tree / m.file
        if not source.is_file():
            problems.append(f"{where}: no file {m.file}")
            continue
        count = source.read_text().count(m.find)
        if count != 1:
            problems.append(f"{where}: found {count} times in {m.file}, not once: {m.find}")
    return problems


# ---- The copy of the tree and its build ----


def tracked_files():
    out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard", "-z"], cwd=ROOT,
                         check=True, capture_output=True).stdout
    return sorted({f for f in out.decode().split("\0") if f and (ROOT / f).is_file()})


def sync_copy():
    """Mirrors the checkout (with its uncommitted changes) into SRC, writing only what differs,
    so that the build directory rebuilds only that."""
    files = tracked_files()
    wanted = set(files)
    changed = 0
    for name in files:
        source, copy = ROOT / name, SRC / name
        data = source.read_bytes()
        if not copy.is_file() or copy.read_bytes() != data:
            copy.parent.mkdir(parents=True, exist_ok=True)
            copy.write_bytes(data)
            changed += 1
        shutil.copymode(source, copy)
    for path in sorted(SRC.rglob("*"), reverse=True):
        relative = path.relative_to(SRC).as_posix()
        if path.is_file() and relative not in wanted and BUILD not in path.parents:
            path.unlink()
            changed += 1
    return changed


def build_env():
    env = dict(os.environ)
    env.setdefault("CCACHE_BASEDIR", str(ROOT.parent))  # this checkout and its neighbours
    return env


def configure():
    if (BUILD / "CMakeCache.txt").exists():
        return
    command = ["cmake", "-S", str(SRC), "-B", str(BUILD), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
               "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache", "-DCMAKE_C_COMPILER_LAUNCHER=ccache",
               "-DGNATRIX_BENCH=OFF"]
    result = subprocess.run(command, env=build_env(), capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"mutate: configuring {BUILD} failed:\n{result.stdout}{result.stderr}")


def build(jobs):
    """Builds the tests and what they run; None on success, else the first error lines."""
    result = subprocess.run(["cmake", "--build", str(BUILD), "--target", "gnatrix_tests",
                             "manual_page", "-j",
                             str(jobs)], env=build_env(), capture_output=True, text=True)
    if result.returncode == 0:
        return None
    lines = [l for l in (result.stdout + result.stderr).splitlines() if "error" in l]
    return "\n".join(lines[:5]) or result.stdout[-2000:]


# ---- The tests ----

TEST_BINARY = BUILD / "tests" / "gnatrix_tests"


def list_tests():
    out = subprocess.run([str(TEST_BINARY), "--gtest_list_tests"], cwd=BUILD / "tests",
                         check=True, capture_output=True, text=True).stdout
    names, group = [], ""
    for line in out.splitlines():
        if not line.strip():
            continue
        if not line.startswith(" "):
            group = line.strip()
        else:
            names.append(group + line.strip().split("  #")[0])
    return names


def test_files_by_group():
    """gtest group name -> the test file that defines it."""
    groups = {}
    for path in (SRC / "tests").glob("*.cpp"):
        for match in re.finditer(r"^TEST(?:_F|_P)?\((\w+),", path.read_text(), re.M):
            groups.setdefault(match.group(1), path.stem)
    return groups


def group_of(test):
    # "Prefix/Group.Name/param" or "Group.Name"
    head = test.split(".")[0]
    return head.split("/")[-1]


class Runner:
    """Runs tests one process each (as ctest does), a few at a time, each with a time limit."""

    def __init__(self, jobs, floor, factor):
        self.jobs, self.floor, self.factor = jobs, floor, factor
        self.cost = {}

    def limit(self, test):
        if test not in self.cost:
            return UNMEASURED_LIMIT_S
        return max(self.floor, self.factor * self.cost[test])

    def start(self, test, slot):
        log = LOGS / f"slot{slot}.log"
        out = open(log, "w")
        process = subprocess.Popen(
            [str(TEST_BINARY), f"--gtest_filter={test}", "--gtest_also_run_disabled_tests"],
            cwd=BUILD / "tests", stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        out.close()
        return {"test": test, "process": process, "began": time.monotonic(), "log": log}

    @staticmethod
    def stop(run):
        try:
            os.killpg(run["process"].pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        run["process"].wait()

    def run(self, tests, stop_at_failure=True):
        """Runs tests in order; returns (failures [(test, how, log text)], times, count run)."""
        queue, running, failures, times, count = list(tests), {}, [], {}, 0
        try:
            while queue or running:
                while queue and len(running) < self.jobs and not (failures and stop_at_failure):
                    slot = next(s for s in range(self.jobs) if s not in running)
                    running[slot] = self.start(queue.pop(0), slot)
                    count += 1
                if not running:
                    break
                time.sleep(0.01)
                for slot, r in list(running.items()):
                    elapsed = time.monotonic() - r["began"]
                    code = r["process"].poll()
                    if code is None and elapsed < self.limit(r["test"]):
                        continue
                    if code is None:
                        self.stop(r)
                        how = f"timed out after {elapsed:.0f} s"
                    else:
                        how = "failed" if code == 1 else f"crashed (status {code})"
                    del running[slot]
                    times[r["test"]] = elapsed
                    text = r["log"].read_text(errors="replace")
                    if code != 0:
                        failures.append((r["test"], how, text))
                    elif stop_at_failure is False and "[==========] 1 test" not in text:
                        failures.append((r["test"], "ran no test (a name the list got wrong)", text))
                if failures and stop_at_failure:
                    for r in running.values():
                        self.stop(r)
                    running.clear()
        finally:
            for r in running.values():
                self.stop(r)
        return failures, times, count


def order_tests(mutant, tests, cost, groups, history):
    """The tests most likely to catch this fault first: the one that caught it last time, those
    of its module's test files, those that caught faults in the same file before, then the rest,
    quickest first."""
    stem = Path(mutant.file).stem
    by_cost = sorted(tests, key=lambda t: cost.get(t, 0.0))
    same_file = {v for k, v in history.items() if k.split(":")[0] == mutant.file}
    first = [t for t in by_cost if t == history.get(f"{mutant.file}:{mutant.id}")]
    module = [t for t in by_cost if stem in groups.get(group_of(t), "").removesuffix("_test")]
    earlier = [t for t in by_cost if t in same_file]
    ordered = []
    for t in first + module + earlier + by_cost:
        if t not in ordered:
            ordered.append(t)
    return ordered


# ---- The run ----


def apply(mutant):
    path = SRC / mutant.file
    original = path.read_text()
    path.write_text(original.replace(mutant.find, mutant.put, 1))
    return original


def short(text, width):
    return text if len(text) <= width else text[: width - 3] + "..."


def first_failure(text):
    for line in text.splitlines():
        if "Failure" in line or "error:" in line.lower() or "Expected" in line:
            return line.strip()
    return ""


def run_mutant(m, runner, tests, groups, history, jobs):
    original = apply(m)
    try:
        began = time.monotonic()
        error = build(jobs)
        m.build_s = time.monotonic() - began
        if error:
            m.result, m.how = "no build", error.splitlines()[0] if error else ""
            return
        began = time.monotonic()
        failures, _, m.tests_run = runner.run(order_tests(m, tests, runner.cost, groups, history))
        m.test_s = time.monotonic() - began
        if failures:
            m.test, m.how, text = failures[0]
            m.result = "caught"
            (LOGS / f"{m.id}.log").write_text(text)
            history[f"{m.file}:{m.id}"] = m.test
        else:
            m.result = "missed"
    finally:
        (SRC / m.file).write_text(original)


def describe_tree():
    head = subprocess.run(["git", "log", "-1", "--format=%h %s"], cwd=ROOT, capture_output=True,
                          text=True).stdout.strip()
    dirty = subprocess.run(["git", "status", "--porcelain"], cwd=ROOT, capture_output=True,
                           text=True).stdout.strip()
    return head + (" (with uncommitted changes)" if dirty else "")


def load_text():
    return "load average %.2f %.2f %.2f" % os.getloadavg()


def report(mutants, header, total_s, excluded):
    ran = [m for m in mutants if m.result]
    counted = [m for m in ran if m.result in ("caught", "missed") and not m.equivalent]
    caught = [m for m in counted if m.result == "caught"]
    lines = header + [""]
    lines.append(f"{'fault':44} {'result':10} {'build':>6} {'tests':>6} {'run':>4}  caught by")
    for m in ran:
        result = m.result + (" (eq.)" if m.equivalent and m.result != "equivalent" else "")
        by = f"{m.test} ({m.how})" if m.test else ""
        lines.append(f"{short(m.id, 44):44} {result:10} {m.build_s:5.0f}s {m.test_s:5.0f}s "
                     f"{m.tests_run:4}  {by}")
    lines.append("")
    score = 100.0 * len(caught) / len(counted) if counted else 0.0
    equivalent = [m for m in ran if m.equivalent]
    lines.append(f"Score: {len(caught)} of {len(counted)} non-equivalent faults caught "
                 f"({score:.1f}%); {len(equivalent)} marked equivalent"
                 + ("" if all(m.result == "equivalent" for m in equivalent) else " (run)")
                 + f"; total time {total_s / 60:.1f} min.")
    broken = [m for m in ran if m.result == "no build"]
    if broken:
        lines.append("Did not build (mend the list):")
        lines += [f"  {m.id}: {m.how}" for m in broken]
    missed = [m for m in counted if m.result == "missed"]
    if missed:
        lines.append("Missed:")
        lines += [f"  {m.id} ({m.file}): {m.player}" for m in missed]
    wrong = [m for m in ran if m.equivalent and m.result == "caught"]
    if wrong:
        lines.append("Marked equivalent but caught (is it?):")
        lines += [f"  {m.id}: {m.test}" for m in wrong]
    if equivalent:
        lines.append("Equivalent:")
        lines += [f"  {m.id} ({m.file}): {m.equivalent}" for m in equivalent]
    if excluded:
        lines.append("Left out (failed without any fault): " + ", ".join(excluded))
    text = "\n".join(lines) + "\n"
    (WORK / "report.txt").write_text(text)
    return text


def main():
    parser = argparse.ArgumentParser(
        description="Apply each fault of tools/mutants.txt to a copy of the tree and run the tests.")
    parser.add_argument("select", nargs="*", help="only faults whose id or file contains one of these")
    parser.add_argument("--check", action="store_true", help="only check the list against the tree")
    parser.add_argument("--run-equivalent", action="store_true",
                        help="run the faults marked equivalent too (they should be missed)")
    parser.add_argument("--jobs", type=int, default=2, help="tests and compilations at once (2)")
    parser.add_argument("--floor", type=float, default=10.0,
                        help="a test's time limit is at least this many seconds (10)")
    parser.add_argument("--factor", type=float, default=4.0,
                        help="... and this many times what it took without a fault (4)")
    args = parser.parse_args()

    mutants, problems = parse_list(LIST)
    problems += check_list(mutants, ROOT)
    if problems:
        print("mutate: tools/mutants.txt does not match the tree; nothing was run:", file=sys.stderr)
        for p in problems:
            print("  " + p, file=sys.stderr)
        return 2
    if args.select:
        mutants = [m for m in mutants if any(s in m.id or s in m.file for s in args.select)]
    print(f"mutate: {len(mutants)} faults, the list matches the tree")
    if args.check:
        return 0

    began = time.monotonic()
    started = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    load_before = load_text()
    LOGS.mkdir(parents=True, exist_ok=True)
    print(f"mutate: copying the tree to {SRC} ({sync_copy()} files changed), building ...")
    configure()
    error = build(args.jobs)
    if error:
        sys.exit(f"mutate: the tree does not build without a fault:\n{error}")
    tests = list_tests()
    runner = Runner(args.jobs, args.floor, args.factor)
    baseline_began = time.monotonic()
    failures, runner.cost, _ = runner.run(tests, stop_at_failure=False)
    baseline_s = time.monotonic() - baseline_began
    excluded = [t for t, _, _ in failures]
    tests = [t for t in tests if t not in excluded]
    print(f"mutate: {len(tests)} tests pass without a fault in {baseline_s:.0f} s"
          + (f"; left out, failing already: {', '.join(excluded)}" if excluded else ""))
    groups = test_files_by_group()
    history = json.loads(HISTORY.read_text()) if HISTORY.exists() else {}
    header = [f"Gnatrix mutation run, {started}, tree {describe_tree()}",
              f"{len(tests)} tests (the live ones are not in the test binary), baseline "
              f"{baseline_s:.0f} s; {load_before} at the start"]
    try:
        for n, m in enumerate(mutants, 1):
            if m.equivalent and not args.run_equivalent:
                m.result = "equivalent"
            else:
                run_mutant(m, runner, tests, groups, history, args.jobs)
            by = f"  {m.test} ({m.how})" if m.test else ""
            print(f"[{n}/{len(mutants)}] {m.id:44} {m.result:10} build {m.build_s:3.0f} s, "
                  f"{m.tests_run} tests {m.test_s:3.0f} s{by}", flush=True)
    except KeyboardInterrupt:
        print("mutate: interrupted; the report covers the faults run so far")
    finally:
        HISTORY.write_text(json.dumps(history, indent=1, sort_keys=True))
        total_s = time.monotonic() - began
        header[1] += f", {load_text()} at the end"
        print()
        print(report(mutants, header, total_s, excluded), end="")
        print(f"mutate: report in {WORK / 'report.txt'}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
