#!/usr/bin/env bash
# Build from the status page, and the project download.
#
# 1. From pressing Build to the first line of make's output shown by the
#    page (follow?run=<id> opened as the form is posted, the way the page's
#    script does), against make started directly in the same folder until its
#    first line. The makefile prints a line and then works for half a second,
#    like a compiler starting on the first source.
#      target: under 100 ms more than make alone
# 2. The zip download of a project of 10,000 files (100 folders of 100
#    files of 1 to 4 KB of source-like text), through the status page, against
#    `zip -r -q` of the same folder.
#      target: at most 1.5 x the time of zip -r
# Figures are medians of KX_BENCH_RUNS runs (default 5 for the first, 3 for
# the second).
#   bench/bench_build.sh
source "$(dirname "$0")/lib.sh"
bench_setup kxcontainer orvowizard
missing=()
command -v zip >/dev/null || missing+=(zip)
command -v unzip >/dev/null || missing+=(unzip)
apt_install "${missing[@]}"
PY=/usr/bin/python3
# Quick mode: 10 folders of 10 files instead of 100 of 100.
FOLDERS="$(sized 100 10)"

mkdir -p "$KX_TMP/home/projects"
kx_start "$KX_TMP/home"
log "kxcontainer at $KX_URL"

# ---- 1. first line of a build ------------------------------------------------
project="$KX_TMP/home/projects/quick"
mkdir -p "$project"
: >"$project/errors.xml"
printf 'all:\n\t@echo g++ -c first.cpp -o first.o\n\t@sleep 0.5\n' >"$project/makefile"
: >"$KX_TMP/page.ms"; : >"$KX_TMP/direct.ms"
for _ in $(seq "${KX_BENCH_RUNS:-$(sized 5 1)}"); do
    read -r page direct < <("$PY" "$KX_ROOT/bench/build/first_line.py" "$KX_URL" "$project")
    echo "$page" >>"$KX_TMP/page.ms"
    echo "$direct" >>"$KX_TMP/direct.ms"
done
page_ms="$(median <"$KX_TMP/page.ms")"
direct_ms="$(median <"$KX_TMP/direct.ms")"
extra_ms="$(awk -v a="$page_ms" -v b="$direct_ms" 'BEGIN { printf "%.1f\n", a - b }')"
echo "first line: page ${page_ms} ms, make alone ${direct_ms} ms, ${extra_ms} ms more (target < 100)"

# ---- 2. zip download of 10,000 files -----------------------------------------
big="$KX_TMP/home/projects/big"
"$PY" - "$big" "$FOLDERS" <<'PYEOF'
import os, random, sys
root = sys.argv[1]
count = int(sys.argv[2])
rnd = random.Random(7)
words = ["int", "return", "value", "orvo", "namespace", "class", "const", "std::string",
         "void", "if", "else", "for", "auto", "size", "data", "(", ")", "{", "}", ";"]
for d in range(count):
    folder = os.path.join(root, f"part{d:03}")
    os.makedirs(folder)
    for f in range(count):
        size = rnd.randint(1024, 4096)
        text = []
        while sum(map(len, text)) < size:
            text.append(" ".join(rnd.choice(words) for _ in range(12)) + "\n")
        with open(os.path.join(folder, f"file{f:03}.cpp"), "w") as out:
            out.write("".join(text))
open(os.path.join(root, "errors.xml"), "w").close()
PYEOF
url="$KX_URL/orvo/status?oper=zip&dir=$("$PY" -c 'import sys, urllib.parse; print(urllib.parse.quote(sys.argv[1], safe=""))' "$big")"
: >"$KX_TMP/zipdl.s"; : >"$KX_TMP/zipr.s"
for _ in $(seq "${KX_BENCH_ZIP_RUNS:-$(sized 3 1)}"); do
    curl -s --max-time 300 -o "$KX_TMP/download.zip" -w '%{time_total}\n' "$url" >>"$KX_TMP/zipdl.s"
    rm -f "$KX_TMP/direct.zip"
    start=$(date +%s%N)
    (cd "$KX_TMP/home/projects" && zip -r -q "$KX_TMP/direct.zip" big)
    end=$(date +%s%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", (b - a) / 1e9 }' >>"$KX_TMP/zipr.s"
done
entries="$(unzip -Z1 "$KX_TMP/download.zip" | grep -c -v '/$')"
files=$((FOLDERS * FOLDERS + 1))
[ "$entries" = "$files" ] || { log "the download holds $entries files, not $files"; exit 1; }
dl="$(median <"$KX_TMP/zipdl.s")"
zr="$(median <"$KX_TMP/zipr.s")"
echo "zip of $((files - 1)) files: download ${dl} s ($(stat -c %s "$KX_TMP/download.zip") bytes), zip -r ${zr} s ($(stat -c %s "$KX_TMP/direct.zip") bytes), ratio $(ratio "$dl" "$zr") (target <= 1.5)"
