#!/usr/bin/python3
"""Writes the benchmark's big schema: OUTDIR/large.xsd with 2,000 complex
types, made by the corpus's generator (tests/corpus/large/make_schema.py)
with a larger count.

    make_schema.py OUTDIR [--types N]
"""

import os
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "..", "..", "tests", "corpus", "large", "make_schema.py")

if __name__ == "__main__":
    args = sys.argv[1:]
    if not args or args[0].startswith("-"):
        sys.stderr.write(__doc__)
        sys.exit(2)
    if "--types" not in args:
        args += ["--types", "2000"]
    os.execv(sys.executable, [sys.executable, CORPUS] + args + ["--no-instance"])
