#!/usr/bin/python3
"""Applies the hand-made faults of scripts/mutations.txt one at a time and reports which
test suite catches each.

    scripts/mutate.py BUILD_DIR [--only ID ...] [--out FILE] [--mutations FILE] [--check]

BUILD_DIR is a configured build tree of this checkout (with GoogleTest). For each fault
the script replaces its `find` text (which must occur exactly once in src/), builds
unit_tests, e2e_tests and schmiede, runs the unit tests and, only when they pass, the
end-to-end tests (each from BUILD_DIR/tests as ctest does, stdin /dev/null, fail fast,
600 s at most), then restores the file, also on Ctrl-C or an error. At the end it
rebuilds the clean tree once and prints a table (also written to FILE with --out; the
build and test output of every fault goes to FILE.log). --check only verifies that each
find text occurs exactly once.
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TARGETS = ["unit_tests", "e2e_tests", "schmiede"]
TEST_TIMEOUT = 600
FAILED = re.compile(r"^\[  FAILED  \] ([A-Za-z_][\w/]*\.[\w/]+)", re.M)


def parse_mutations(path):
    """The blocks of the mutation file as dicts with id, what, find, replace."""
    blocks, current = [], {}
    with open(path, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if line.startswith("#"):
                continue
            if not line.strip():
                if current:
                    blocks.append(current)
                current = {}
                continue
            key, sep, value = line.partition(":")
            if not sep or key not in ("id", "what", "find", "replace"):
                sys.exit(f"{path}: cannot read line: {line}")
            current[key] = value[1:] if value.startswith(" ") else value
    if current:
        blocks.append(current)
    for b in blocks:
        for key in ("id", "find", "replace"):
            if key not in b:
                sys.exit(f"{path}: block {b.get('id', '?')} has no {key}")
    ids = [b["id"] for b in blocks]
    if len(set(ids)) != len(ids):
        sys.exit(f"{path}: an id appears twice")
    return blocks


def source_files():
    for base, _, names in os.walk(os.path.join(ROOT, "src")):
        for name in sorted(names):
            if name.endswith((".cpp", ".h", ".hpp", ".cc", ".inc")):
                yield os.path.join(base, name)


def locate(find):
    """(path, text) of the one file holding `find`, or an error message."""
    hits = []
    for path in source_files():
        with open(path, encoding="utf-8") as f:
            text = f.read()
        n = text.count(find)
        if n:
            hits.append((path, text, n))
    total = sum(n for _, _, n in hits)
    if total != 1:
        return None, None, f"find text occurs {total} times in src/"
    return hits[0][0], hits[0][1], None


def run(cmd, cwd, log, timeout=None):
    """Runs cmd in its own process group (stdin /dev/null); returns (rc, output), rc None
    on time-out. The whole group is killed on time-out or interruption."""
    p = subprocess.Popen(cmd, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, start_new_session=True)
    try:
        out, _ = p.communicate(timeout=timeout)
        rc = p.returncode
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        out, _ = p.communicate()
        rc = None
    except BaseException:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        raise
    text = out.decode("utf-8", "replace")
    if log:
        log.write(f"$ {' '.join(cmd)}  (in {cwd}) -> {rc}\n{text}\n")
        log.flush()
    return rc, text


def build(build_dir, log):
    rc, out = run(["cmake", "--build", build_dir, "-j2", "--target", *TARGETS], ROOT, log)
    return rc == 0, out


def run_suite(build_dir, binary, log):
    """None when the suite passes, else what failed."""
    tests = os.path.join(build_dir, "tests")
    rc, out = run([os.path.join(tests, binary), "--gtest_brief=1", "--gtest_fail_fast"], tests, log,
                  timeout=TEST_TIMEOUT)
    if rc == 0:
        return None
    if rc is None:
        return f"time-out after {TEST_TIMEOUT} s"
    m = FAILED.search(out)
    if m:
        return m.group(1)
    return f"exit {rc}" if rc > 0 else f"signal {-rc}"


def try_mutation(m, build_dir, log):
    """The row of one mutation; the file is restored whatever happens."""
    row = {"id": m["id"], "file": "-", "unit": "", "e2e": "", "result": ""}
    path, original, error = locate(m["find"])
    if error:
        row["result"] = "not applied: " + error
        return row
    row["file"] = os.path.relpath(path, ROOT)
    if log:
        log.write(f"\n==== {m['id']}: {m.get('what', '')} ({row['file']})\n")
    try:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(m["find"], m["replace"], 1))
        ok, out = build(build_dir, log)
        if not ok:
            row["result"] = "build failed"
            return row
        row["unit"] = run_suite(build_dir, "unit_tests", log) or ""
        if row["unit"]:
            row["result"] = "caught by unit"
            return row
        row["e2e"] = run_suite(build_dir, "e2e_tests", log) or ""
        row["result"] = "caught by e2e" if row["e2e"] else "SURVIVED"
        return row
    finally:
        with open(path, "w", encoding="utf-8") as f:
            f.write(original)


def table(rows):
    lines = ["| id | file | unit (first failing test) | e2e (first failing test) | result |",
             "|---|---|---|---|---|"]
    for r in rows:
        lines.append(f"| {r['id']} | {r['file']} | {r['unit'] or '-'} | {r['e2e'] or '-'} | {r['result']} |")
    caught = sum(r["result"].startswith("caught") for r in rows)
    survived = sum(r["result"] == "SURVIVED" for r in rows)
    broken = sum(r["result"] == "build failed" for r in rows)
    other = len(rows) - caught - survived - broken
    lines.append("")
    lines.append(f"{len(rows)} mutations: {caught} caught "
                 f"({sum(r['result'] == 'caught by unit' for r in rows)} by unit, "
                 f"{sum(r['result'] == 'caught by e2e' for r in rows)} by e2e), {survived} survived, "
                 f"{broken} build failures" + (f", {other} not applied" if other else ""))
    return "\n".join(lines)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("build_dir")
    ap.add_argument("--only", nargs="+", metavar="ID")
    ap.add_argument("--out", metavar="FILE")
    ap.add_argument("--mutations", default=os.path.join(ROOT, "scripts", "mutations.txt"))
    ap.add_argument("--check", action="store_true", help="only check that each find text occurs once")
    args = ap.parse_args()
    build_dir = os.path.abspath(args.build_dir)
    mutations = parse_mutations(args.mutations)
    if args.only:
        unknown = set(args.only) - {m["id"] for m in mutations}
        if unknown:
            sys.exit("unknown id: " + ", ".join(sorted(unknown)))
        by_id = {m["id"]: m for m in mutations}
        mutations = [by_id[i] for i in dict.fromkeys(args.only)]  # in the order given
    if args.check:
        bad = 0
        for m in mutations:
            path, _, error = locate(m["find"])
            bad += error is not None
            print(f"{m['id']:<20} {error or os.path.relpath(path, ROOT)}")
        sys.exit(1 if bad else 0)

    def interrupted(*_):
        raise KeyboardInterrupt

    # SIGTERM unwinds like Ctrl-C, so that the file in work is restored.
    signal.signal(signal.SIGTERM, interrupted)

    log = open(args.out + ".log", "w", encoding="utf-8") if args.out else None
    rows, started, stopped = [], time.time(), None
    m = {"id": "start"}
    try:
        for m in mutations:
            t = time.time()
            row = try_mutation(m, build_dir, log)
            rows.append(row)
            detail = row["unit"] or row["e2e"]
            print(f"{row['id']:<20} {row['result']:<16} {detail}  ({time.time() - t:.0f} s)", flush=True)
    except KeyboardInterrupt:
        stopped = m["id"]
    finally:
        print("rebuilding the clean tree ...", flush=True)
        ok, _ = build(build_dir, log)
        if not ok:
            print("WARNING: the clean tree does not build", flush=True)
        if log:
            log.close()
    minutes = (time.time() - started) / 60
    report = table(rows) + f"\nRun time: {minutes:.1f} min\n"
    if stopped:
        done = {r["id"] for r in rows}
        report += "Interrupted during " + stopped + "; not run: " + \
            ", ".join(m["id"] for m in mutations if m["id"] not in done) + "\n"
    print(report)
    if args.out:
        with open(args.out, "w", encoding="utf-8") as f:
            f.write(report)


if __name__ == "__main__":
    main()
