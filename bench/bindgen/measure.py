#!/usr/bin/python3
"""Runs a command several times and reports its best wall time and its peak
memory.

    measure.py RUNS COMMAND [ARG...]

Prints one line per run to standard error and, on standard output,
"BEST_SECONDS PEAK_RSS_KB STATUS": the shortest wall time, the largest
maximum resident set size over the runs (the child's own, from wait4) and
the first non-zero exit status (0 when every run succeeded). Output of the
command goes to /dev/null.
"""

import os
import subprocess
import sys
import time


def run_once(argv):
    start = time.monotonic()
    proc = subprocess.Popen(argv, stdout=subprocess.DEVNULL)
    _, status, usage = os.wait4(proc.pid, 0)
    elapsed = time.monotonic() - start
    proc.returncode = os.waitstatus_to_exitcode(status)
    return elapsed, usage.ru_maxrss, proc.returncode


def main(argv):
    if len(argv) < 3 or not argv[1].isdigit() or int(argv[1]) < 1:
        sys.stderr.write(__doc__)
        return 2
    runs = int(argv[1])
    best, peak, failed = None, 0, 0
    for i in range(runs):
        seconds, rss_kb, code = run_once(argv[2:])
        sys.stderr.write("  run %d: %.3f s, peak %d kB, exit %d\n" % (i + 1, seconds, rss_kb, code))
        best = seconds if best is None else min(best, seconds)
        peak = max(peak, rss_kb)
        failed = failed or code
    print("%.3f %d %d" % (best, peak, failed))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
