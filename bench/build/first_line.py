"""Time from pressing Build to the first line of make's output in the page,
against make started directly: prints "page-ms direct-ms" for one run.

The page's way: the browser opens follow?run=<id> and posts the Build form
at the same moment; the figure is the time until the first output event
arrives. The direct way: make started in the same folder, until its first
line on standard output.

    first_line.py BASE_URL PROJECT_DIR
"""
import http.client
import subprocess
import sys
import threading
import time
import urllib.parse
import uuid


def page_first_line(base, project):
    parts = urllib.parse.urlsplit(base)
    run_id = uuid.uuid4().hex
    first = {}
    opened = threading.Event()

    def follow():
        conn = http.client.HTTPConnection(parts.hostname, parts.port, timeout=60)
        conn.request("GET", f"/orvo/follow?run={run_id}")
        response = conn.getresponse()
        opened.set()
        while True:
            line = response.fp.readline()
            if not line:
                break
            if line.startswith(b"data: ") and "at" not in first:
                first["at"] = time.perf_counter()
            if line.startswith(b"event: end") or line.startswith(b"event: unknown"):
                break
        conn.close()

    start = time.perf_counter()
    reader = threading.Thread(target=follow)
    reader.start()
    body = urllib.parse.urlencode({"oper": "build", "dir": project, "runId": run_id})
    conn = http.client.HTTPConnection(parts.hostname, parts.port, timeout=120)
    conn.request("POST", "/orvo/status", body=body, headers={
        "Content-Type": "application/x-www-form-urlencoded",
        "Origin": f"http://{parts.hostname}:{parts.port}"})
    conn.getresponse().read()
    conn.close()
    reader.join(120)
    if "at" not in first:
        sys.exit("no output arrived through follow")
    return (first["at"] - start) * 1000


def direct_first_line(project):
    start = time.perf_counter()
    make = subprocess.Popen(["make"], cwd=project, stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT)
    make.stdout.readline()
    at = time.perf_counter()
    make.wait()
    return (at - start) * 1000


if __name__ == "__main__":
    base, project = sys.argv[1], sys.argv[2]
    print(f"{page_first_line(base, project):.1f} {direct_first_line(project):.1f}")
