"""Per-request figures of one callgrind dump: all instructions, those inside
processRequest (the largest inclusive count of a function of that name) and
the calls of the allocator's functions.
    callgrind_summary.py FILE REQUESTS LABEL"""
import re
import subprocess
import sys

ALLOCATOR = {"malloc", "free", "realloc", "calloc"}


def main(path, requests, label):
    names, calls, total, callee = {}, {}, 0, None
    with open(path, errors="replace") as dump:
        for line in dump:
            named = re.match(r"(c?fn)=\((\d+)\)(?: (.*))?", line)
            if named:
                kind, ident, name = named.groups()
                if name:
                    names[ident] = name.strip()
                if kind == "cfn":
                    callee = ident
            elif line.startswith("calls="):
                calls[callee] = calls.get(callee, 0) + int(line[6:].split()[0])
            elif line.startswith("totals:"):
                total = int(line.split()[1])
    allocator = sum(n for ident, n in calls.items() if names.get(ident) in ALLOCATOR)
    annotated = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--threshold=100", path],
                               capture_output=True, text=True, check=True).stdout
    servlet = 0
    for line in annotated.splitlines():
        count = re.match(r"\s*([\d,]+) \(", line)
        if count and "::processRequest(" in line:
            servlet = max(servlet, int(count.group(1).replace(",", "")))
    print(f"{label}: {total / requests:,.0f} Ir/request, processRequest {servlet / requests:,.0f}, "
          f"malloc/free/realloc/calloc calls {allocator / requests:,.1f} ({requests} requests)")


if __name__ == "__main__":
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3])
