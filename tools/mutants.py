#!/usr/bin/env python3
"""Runs the test suite against deliberate faults, one at a time, to see which it catches.

    mutants.py ROOT BUILD [ID...]          put each fault in, rebuild, run the tests
    mutants.py --check ROOT [BUILD]        only check that every fault applies (no build)
    mutants.py --named-only ROOT BUILD [ID...]  run only each fault's own test program (quick,
                                           but a fault it misses may be caught by another)

Each fault in ROOT/tests/mutants.txt replaces one line of one source file:

    == ID TEST-PROGRAM  what breaks, in a few words
    path/to/file.cpp
    - the line as it stands (leading and trailing white space ignored)
    + the line with the fault ("+" alone deletes the line's text)

The fault is put in, the tree rebuilt, and the test programs run (the named one first, each
stopping at its first failure) until one fails; then the file is put back, also on Ctrl-C or
an error. The file's original text is kept in BUILD/mutants.pending until it is back, and a
later run puts back whatever an interrupted one left. A fault no program catches is reported
as SURVIVED. The suite must pass without faults first (./kx test). Run it through
`./kx mutants`, which builds and provides the device.
"""
import json
import os
import re
import signal
import subprocess
import sys
import time

WINE = os.environ.get("WINE", "/usr/lib/wine/wine64")
WINESERVER = os.environ.get("WINESERVER", "/usr/lib/wine/wineserver")
PROGRAM_TIMEOUT = 300  # seconds, as ./kx test allows each program


def parse(path):
    faults, current = [], None
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\r\n")
        if line.startswith("#") or not line.strip():
            continue
        if line.startswith("== "):
            ident, program, about = (line[3:].split(None, 2) + ["", ""])[:3]
            current = {"id": ident, "program": program, "about": about.strip(), "line": number}
            faults.append(current)
        elif current is None:
            raise SystemExit(f"{path}:{number}: text before the first fault")
        elif line == "-" or line.startswith("- "):
            current["old"] = line[1:].strip()
        elif line == "+" or line.startswith("+ "):
            current["new"] = line[1:].strip()
        elif "file" in current:
            raise SystemExit(f"{path}:{number}: fault {current['id']} names a second file")
        else:
            current["file"] = line.strip()
    for fault in faults:
        if not all(fault.get(k) for k in ("program", "file", "old")) or "new" not in fault:
            raise SystemExit(f"{path}:{fault['line']}: fault {fault['id']} is incomplete")
    return faults


def read(path):
    with open(path, encoding="utf-8", newline="") as f:
        return f.read()


def write(path, text):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(text)


def with_fault(text, fault):
    """The text with the fault put in, or None when its line is not there exactly once."""
    lines = text.split("\n")
    hits = [i for i, l in enumerate(lines) if l.strip() == fault["old"]]
    if len(hits) != 1:
        return None
    line = lines[hits[0]]
    indent = line[: len(line) - len(line.lstrip())]
    lines[hits[0]] = indent + fault["new"] + ("\r" if line.endswith("\r") else "")
    return "\n".join(lines)


def restore_pending(pending):
    """Puts back the files an interrupted run left with a fault in them."""
    if not os.path.exists(pending):
        return
    for path, text in json.load(open(pending, encoding="utf-8")).items():
        write(path, text)
        print(f"mutants: put back {path}, left with a fault by an interrupted run", flush=True)
    os.remove(pending)


def build(build_dir, log):
    with open(log, "w") as out:
        done = subprocess.run(["cmake", "--build", build_dir, "-j", str(os.cpu_count())],
                              stdout=out, stderr=subprocess.STDOUT)
    return done.returncode == 0


def first_error(log):
    errors = [line for line in read_log(log).splitlines() if "error" in line]
    return errors[0].strip()[:120] if errors else ""


def run_programs(build_dir, first, named_only=False):
    """The first program that fails and why, or None when every one passes."""
    programs = [p for p in open(os.path.join(build_dir, "kx-tests.txt")).read().split() if p]
    programs.sort(key=lambda p: first not in (p, os.path.basename(p)))
    if named_only:
        programs = [p for p in programs if first in (p, os.path.basename(p))]
    log = os.path.join(build_dir, "mutants-test.log")
    for program in programs:
        name = os.path.basename(program)
        # Into a file, not a pipe: the service hosts a test starts outlive it and would hold a
        # pipe open.
        with open(log, "wb") as out:
            try:
                code = subprocess.run(
                    [WINE, os.path.join(build_dir, "bin", program), "--gtest_fail_fast",
                     "--gtest_brief=1", "--gtest_color=no"],
                    cwd=os.path.join(os.environ["WINEPREFIX"], "drive_c"),
                    stdout=out, stderr=subprocess.STDOUT, timeout=PROGRAM_TIMEOUT).returncode
            except subprocess.TimeoutExpired:
                return f"{name} (timed out)"
        if code != 0:
            failed = re.search(r"^\[  FAILED  \] (\S+\.\S+)", read_log(log), re.M)
            return f"{name} ({failed.group(1) if failed else f'exit code {code}'})"
    return None


def read_log(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        return f.read()


def restart_device():
    """Ends what the last fault's programs left running, and keeps a server up for the next."""
    subprocess.run([WINESERVER, "-k"], stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-p"], stderr=subprocess.DEVNULL)


def check(root, build_dir, faults):
    programs = set()
    listing = os.path.join(build_dir, "kx-tests.txt") if build_dir else ""
    if listing and os.path.exists(listing):
        programs = {q for p in open(listing).read().split() for q in (p, os.path.basename(p))}
    problems, seen = 0, set()
    for fault in faults:
        path = os.path.join(root, fault["file"])
        trouble = None
        if fault["id"] in seen:
            trouble = "the ID is used twice"
        elif not os.path.exists(path):
            trouble = "no such file"
        elif fault["old"] == fault["new"]:
            trouble = "the fault changes nothing"
        elif with_fault(read(path), fault) is None:
            trouble = "the line is not there exactly once"
        elif programs and fault["program"] not in programs:
            trouble = f"no test program {fault['program']}"
        seen.add(fault["id"])
        if trouble:
            problems += 1
            print(f"tests/mutants.txt:{fault['line']}: {fault['id']}: {trouble}")
    print(f"mutants: {len(faults) - problems} of {len(faults)} faults apply")
    return 1 if problems else 0


def main():
    args = sys.argv[1:]
    checking = "--check" in args
    named_only = "--named-only" in args
    args = [a for a in args if a not in ("--check", "--named-only")]
    if len(args) < (1 if checking else 2):
        raise SystemExit(__doc__)
    root, build_dir, wanted = args[0], args[1] if len(args) > 1 else "", args[2:]
    faults = parse(os.path.join(root, "tests", "mutants.txt"))
    unknown = set(wanted) - {f["id"] for f in faults}
    if unknown:
        raise SystemExit(f"mutants: no fault named {' '.join(sorted(unknown))}")
    if checking:
        return check(root, build_dir, faults)
    faults = [f for f in faults if not wanted or f["id"] in wanted]

    # A termination request ends the run the way Ctrl-C does, so the file is put back.
    for sig in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(sig, lambda number, _: sys.exit(128 + number))
    pending = os.path.join(build_dir, "mutants.pending")
    log = os.path.join(build_dir, "mutants-build.log")
    restore_pending(pending)
    survived, caught, unusable = [], 0, 0
    for fault in faults:
        start = time.time()
        path = os.path.join(root, fault["file"])
        original = read(path)
        faulty = with_fault(original, fault)
        if faulty is None:
            verdict = "NOT FOUND (the line is not there exactly once)"
            unusable += 1
        else:
            with open(pending + ".new", "w", encoding="utf-8") as journal:
                json.dump({path: original}, journal)
            os.replace(pending + ".new", pending)
            try:
                write(path, faulty)
                if not build(build_dir, log):
                    verdict = "DOES NOT BUILD  " + first_error(log)
                    unusable += 1
                else:
                    restart_device()
                    by = run_programs(build_dir, fault["program"], named_only)
                    if by:
                        verdict = "caught by " + by
                        caught += 1
                    else:
                        verdict = "SURVIVED"
                        survived.append(fault["id"])
            finally:
                write(path, original)
                os.remove(pending)
        print(f"{fault['id']:<28} {time.time() - start:4.0f} s  {verdict}", flush=True)
    if not build(build_dir, log):
        print("mutants: the tree without faults no longer builds (see " + log + ")")
    print(f"mutants: {caught} caught, {len(survived)} survived, {unusable} unusable"
          + (f" (survived: {' '.join(survived)})" if survived else ""))
    return 1 if survived or unusable else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit("mutants: interrupted; the sources are as they were")
