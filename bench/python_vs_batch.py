"""Marginal cost per point of the Python package against kvil-batch, side by side in one
run (developer script, not part of the build):

    PYTHONPATH=build/python /usr/bin/python3 bench/python_vs_batch.py build/kvil-batch

The cases are made from those of bench/cases, with ranges long enough that the
marginal cost is not lost in the 7 ms of a process start: a TP grid of CH4/air (T 1500 to
3300 K by 20 K at 10 pressures, 910 points) and HP of CH4/air and of AP/Al/HTPB at p = 1,
1.1, ..., 20 MPa (191 points), each with its one-point twin.  kvil-batch runs the
datafiles as a user runs them (process start, database, report, table); the Python
package runs the same points with kvil.sweep in this process (one chunk, so that each
point continues from the one before as in kvil-batch), the DataFrame included, and,
for comparison, one kvil.equilibrate call a point (each a fresh start, as the calls
are independent).  Marginal cost = median over the rounds of (N-point run - one-point
run) / (N - 1); CPU times (user + system): kvil-batch's of its process, Python's of
this process (time.process_time).  15 rounds (KVIL_BENCH_REPS), interleaved."""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import kvil

KB = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/kvil-batch")
CASES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "cases")
WORK = tempfile.mkdtemp(prefix="kvil_pybench_") + "/"
for f in os.listdir(CASES):
    shutil.copy(os.path.join(CASES, f), WORK)


def ranged(source, target, first, step):
    """A copy of a bench case with its first value list replaced by a range."""
    with open(WORK + source + ".dat", "rb") as f:
        lines = f.read().split(b"\n")
    lines[1] = first.encode() + b" \r"
    lines[4] = step.encode() + b"\r"
    with open(WORK + target + ".dat", "wb") as f:
        f.write(b"\n".join(lines))


ranged("tp-grid", "tp-grid-long", "1500 3300", "20")
ranged("hp-ch4", "hp-ch4-long", "1 20", "0.1")
ranged("hp-apal", "hp-apal-long", "1 20", "0.1")
REPS = int(os.environ.get("KVIL_BENCH_REPS", "15"))

CH4AIR = kvil.Mixture([("CH4", 5.5, -4650.1), ("O2", 22.0, 0), ("N2", 72.5, 0)])
APAL = kvil.Mixture([("NH4ClO4", 68, 0), ("Al", 18, 0), ("C7.3165H10.336O0.1063", 14, 0)])
# name, N-point datafile, one-point datafile, mixture, assigned keys (first, second)
CASE_LIST = [
    ("TP 91x10 CH4/air", "tp-grid-long", "tp-one", CH4AIR, ("T", "p")),
    ("HP CH4/air, 191 p", "hp-ch4-long", "hp-ch4-one", CH4AIR, ("p", "H")),
    ("HP AP/Al/HTPB, 191 p", "hp-apal-long", "hp-apal-one", APAL, ("p", "H")),
]


def batch(name):
    for ext in (".txt", ".rst"):
        if os.path.exists(WORK + name + ext):
            os.remove(WORK + name + ext)
    proc = subprocess.Popen([KB, name + ".dat"], cwd=WORK, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    if status != 0:
        raise RuntimeError(name + " failed")
    return usage.ru_utime + usage.ru_stime


def points_of(name, keys):
    """The assigned points of a datafile, in run order, from its kvil-batch table (H
    as the number the run used, so that the mixture's enthalpies do not matter)."""
    cwd = os.getcwd()
    os.chdir(WORK)
    try:
        table = kvil.run(name + ".dat").table
    finally:
        os.chdir(cwd)
    column = {"p": "p, MPa", "T": "T, K", "H": "H, kJ/kg"}
    return [{k: float(row[column[k]]) for k in keys} for _, row in table.iterrows()]


def python_sweep(mixture, points):
    c0 = time.process_time()
    frame = kvil.sweep(mixture, points, chunk_size=len(points))
    t = time.process_time() - c0
    if (frame["error"] != "").any():
        raise RuntimeError("a point failed: " + str(list(frame["error"])))
    return t


def python_calls(mixture, points):
    c0 = time.process_time()
    for p in points:
        kvil.equilibrate(mixture, **p)
    return time.process_time() - c0


def main():
    print("kvil-batch:", KB)
    print("rounds:", REPS)
    rows = []
    for title, many, one, mixture, keys in CASE_LIST:
        pts = points_of(many, keys)
        pt1 = points_of(one, keys)
        n = len(pts)
        kvil.equilibrate(mixture, **pts[0])  # database and preparation out of the rounds
        kb, py, calls = [], [], []
        for _ in range(REPS):
            kb.append((batch(many) - batch(one)) / (n - 1))
            py.append((python_sweep(mixture, pts) - python_sweep(mixture, pt1)) / (n - 1))
            calls.append((python_calls(mixture, pts) - python_calls(mixture, pt1)) / (n - 1))
        rows.append((title, n, statistics.median(kb) * 1e6, statistics.median(py) * 1e6,
                     statistics.median(calls) * 1e6))
    print()
    print("| case | points | kvil-batch µs/point | kvil.sweep µs/point | ratio | "
          "kvil.equilibrate µs/call | ratio |")
    print("|---|---|---|---|---|---|---|")
    for title, n, kb, py, calls in rows:
        print(f"| {title} | {n} | {kb:.1f} | {py:.1f} | {py / kb:.2f} | {calls:.1f} | "
              f"{calls / kb:.2f} |")


if __name__ == "__main__":
    main()
