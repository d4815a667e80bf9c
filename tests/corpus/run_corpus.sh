#!/usr/bin/env bash
# Runs bindgen over the schema corpus, or with --shared over the shared
# corpus of public schemas (skipped with exit status 77 where it is absent),
# and checks what the generated sample programs make of the instance
# documents against xmllint (README.md).
#
#   tests/corpus/run_corpus.sh [FOLDER...]     (all folders when none given)
#   tests/corpus/run_corpus.sh --shared [CASE...]
#   KX_TEST_BIN_DIR (bindgen's folder), KX_KEEP=1 (keep scratch), KX_MAKE_JOBS
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BIN_DIR="${KX_TEST_BIN_DIR:-$ROOT/build/bin}"
PY=/usr/bin/python3
RUN_TIMEOUT=120

PASSED=0 FAILED=0 SKIPPED=0
SCRATCH="$(mktemp -d "${TMPDIR:-/tmp}/kxcorpus.XXXXXX")"
FAILING=()

cleanup() {
    if [ "${KX_KEEP:-}" = 1 ]; then echo "kept $SCRATCH"; else rm -rf "$SCRATCH"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# pass NAME / fail NAME [DETAIL FILE OR TEXT...] / skip NAME WHY
pass() { PASSED=$((PASSED + 1)); printf 'PASS  %s\n' "$1"; }
fail() {
    local d
    FAILED=$((FAILED + 1))
    printf 'FAIL  %s\n' "$1"
    for d in "${@:2}"; do
        if [ -f "$d" ]; then sed -n '1,40s/^/      /p' "$d"; else printf '      %s\n' "$d"; fi
    done
}
skip() { SKIPPED=$((SKIPPED + 1)); printf 'SKIP  %s (%s)\n' "$1" "$2"; }
# check NAME COMMAND...: PASS when the command succeeds, else FAIL with its output.
check() {
    local name="$1"
    shift
    if "$@" >"$SCRATCH/check.out" 2>&1; then pass "$name"; else fail "$name" "$SCRATCH/check.out"; fi
}
# The number of lines of a file, a last line without a newline included.
line_count() { awk 'END { print NR }' "$1"; }

for tool in xmllint make timeout "$PY"; do
    command -v "$tool" >/dev/null || { echo "run_corpus: $tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done
[ -x "$BIN_DIR/bindgen" ] || { echo "run_corpus: no bindgen in $BIN_DIR (set KX_TEST_BIN_DIR)" >&2; exit 2; }
BINDGEN="$(cd "$BIN_DIR" && pwd)/bindgen"

check "compare_xml.py --self-test" "$PY" "$HERE/compare_xml.py" --self-test

SHARED=
if [ "${1:-}" = --shared ]; then
    shift
    SHARED="${KX_SHARED_CORPUS:-$ROOT/../shared/corpus}/xsd"
    if [ ! -f "$SHARED/MANIFEST.json" ]; then
        echo "SKIP  no shared corpus at $SHARED (set KX_SHARED_CORPUS)"
        exit 77
    fi
    SHARED="$(cd "$SHARED" && pwd)"
fi

FOLDERS=("$@")
if [ -n "$SHARED" ] && [ "$#" -eq 0 ]; then
    mapfile -t FOLDERS < <("$PY" -c 'import json, sys
for case in json.load(open(sys.argv[1])): print(case["name"])' "$SHARED/MANIFEST.json")
elif [ "$#" -eq 0 ]; then
    for d in "$HERE"/*/; do
        d="$(basename "$d")"
        if compgen -G "$HERE/$d/*.xsd" >/dev/null || [ -f "$HERE/$d/make_schema.py" ]; then
            FOLDERS+=("$d")
        fi
    done
fi

# shared_case NAME: the main schema of a case of the shared corpus, then
# its instance documents, one a line.
shared_case() {
    "$PY" -c 'import json, sys
for case in json.load(open(sys.argv[1])):
    if case["name"] == sys.argv[2]:
        print(case["schema"])
        print("\n".join(case["instances"]))
        sys.exit(0)
sys.exit(1)' "$SHARED/MANIFEST.json" "$1"
}

run_folder() {
    local name="$1" src="$HERE/$1" work="$SCRATCH/$1" listed=()
    if [ -n "$SHARED" ]; then
        src="$SHARED/$1"
        mapfile -t listed < <(shared_case "$name") || true
        [ "${#listed[@]}" -ge 2 ] || { fail "$name: not a case with instances in $SHARED/MANIFEST.json"; return; }
    fi
    [ -d "$src" ] || { fail "$name: no such folder in $(dirname "$src")"; return; }
    local schemas="$work/schema" lint="$work/xmllint" project="$work/project" out="$work/out"
    mkdir -p "$schemas" "$project" "$out"
    cp -r "$src/." "$schemas/"
    if [ -f "$schemas/make_schema.py" ]; then
        # Status 77: the inputs it copies are not on this machine.
        local rc=0
        KX_SOURCE_ROOT="$ROOT" "$PY" "$schemas/make_schema.py" "$schemas" >"$work/make_schema.out" 2>&1 || rc=$?
        if [ "$rc" -eq 77 ]; then
            skip "$name" "$(head -n1 "$work/make_schema.out")"
            return
        elif [ "$rc" -ne 0 ]; then
            fail "$name: make_schema.py" "exit status $rc" "$work/make_schema.out"
            return
        fi
        pass "$name: make_schema.py"
    fi

    local main goods=() bads=() f
    if [ "${#listed[@]}" -gt 0 ]; then
        main="${listed[0]}"
        goods=("${listed[@]:1}")
    else
        local xsds=("$schemas"/*.xsd)
        if [ "${#xsds[@]}" -ne 1 ] || [ ! -f "${xsds[0]}" ]; then
            fail "$name: expected exactly one schema at the top of the folder, found ${#xsds[@]}"
            return
        fi
        main="$(basename "${xsds[0]}")"
        for f in "$schemas"/*.xml; do
            [ -f "$f" ] || continue
            f="$(basename "$f")"
            case "$f" in bad-*) bads+=("$f") ;; *) goods+=("$f") ;; esac
        done
    fi

    # xmllint reads only forward slashes in schemaLocation; bindgen gets the
    # files as written.
    cp -r "$schemas" "$lint"
    find "$lint" -name '*.xsd' -exec sed -i '/schemaLocation=/ s|\\|/|g' {} +
    [ "${#goods[@]}" -gt 0 ] || fail "$name: no good instance document"

    # The corpus itself: good instances valid, bad ones rejected, each bad
    # one with the one line of text its message must hold.
    for f in "${goods[@]}"; do
        check "$name/$f: valid by xmllint" xmllint --nonet --noout --schema "$lint/$main" "$lint/$f"
    done
    for f in "${bads[@]}"; do
        if [ ! -s "$schemas/${f%.xml}.expected" ] || [ "$(line_count "$schemas/${f%.xml}.expected")" -ne 1 ]; then
            fail "$name/$f: ${f%.xml}.expected must hold one line"
        elif xmllint --nonet --noout --schema "$lint/$main" "$lint/$f" >/dev/null 2>&1; then
            fail "$name/$f: rejected by xmllint" "xmllint accepts it"
        else
            pass "$name/$f: rejected by xmllint"
        fi
    done

    local project_name="corpus_${name//[^A-Za-z0-9_]/_}" rc=0
    printf 'type=foundation\nprojectName=%s\nmake=true\nsample=true\n' "$project_name" \
        >"$project/startup.properties"
    (cd "$project" && timeout 600 "$BINDGEN" -properties "$project/startup.properties" \
        -compiler redhat-gcc "$schemas/$main") >"$work/bindgen.out" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ] || grep -q '<Error>' "$project/errors.xml" 2>/dev/null; then
        fail "$name: bindgen $main" "exit status $rc" "$project/errors.xml" "$work/bindgen.out"
        skip "$name: build and instances" "bindgen failed"
        return
    fi
    pass "$name: bindgen $main"

    # A folder marked one-translation-unit (hundreds of classes, each a
    # compiler run of its own otherwise) builds its library from one source
    # that includes all the others, through the same makefile.
    local sources=()
    if [ -f "$src/one-translation-unit" ]; then
        (cd "$project" && for f in *.cpp; do
            [ "$f" = main.cpp ] || printf '#include "%s"\n' "$f"
        done) >"$work/all_sources.cpp"
        mv "$work/all_sources.cpp" "$project/"
        sources=(SOURCES=all_sources.cpp)
    fi
    rc=0
    (cd "$project" && timeout 900 make -j"${KX_MAKE_JOBS:-1}" \
        CXXFLAGS="-std=c++17 -O1 -Wall -Wextra -Werror" "${sources[@]}") >"$work/make.out" 2>&1 || rc=$?
    local prog="$project/$project_name"
    if [ "$rc" -ne 0 ] || [ ! -x "$prog" ]; then
        grep -m20 -E 'error|Error' "$work/make.out" >"$work/make.errors" || tail -20 "$work/make.out" >"$work/make.errors"
        fail "$name: make (-Werror)" "exit status $rc; program $project_name $([ -x "$prog" ] && echo made || echo missing)" "$work/make.errors"
        skip "$name: instances" "the build failed"
        return
    fi
    pass "$name: make (-Werror)"

    # The good instances: read, written, valid, and the same as read.
    for f in "${goods[@]}"; do
        rc=0
        (cd "$schemas" && timeout "$RUN_TIMEOUT" "$prog" "$f" "$out/$f") >"$work/run.out" 2>&1 || rc=$?
        if [ "$rc" -ne 0 ] || [ ! -s "$out/$f" ]; then
            fail "$name/$f: read and written" "exit status $rc" "$work/run.out"
            continue
        fi
        pass "$name/$f: read and written"
        cp "$out/$f" "$lint/out-$f"
        check "$name/$f: output valid by xmllint" xmllint --nonet --noout --schema "$lint/$main" "$lint/out-$f"
        if [ -n "$SHARED" ]; then
            check "$name/$f: every leaf kept" "$PY" "$HERE/compare_xml.py" --leaves "$schemas/$f" "$out/$f"
        else
            check "$name/$f: output equal to input" "$PY" "$HERE/compare_xml.py" "$schemas/$f" "$out/$f"
        fi
    done

    # The bad ones: exit 1 and one line "FILE:LINE:COLUMN: message" holding
    # the text of bad-*.expected.
    for f in "${bads[@]}"; do
        local expected
        expected="$(head -n1 "$schemas/${f%.xml}.expected")"
        rc=0
        (cd "$schemas" && timeout "$RUN_TIMEOUT" "$prog" "$f" "$out/$f") >"$work/run.out" 2>"$work/run.err" || rc=$?
        if [ "$rc" -eq 1 ] && [ "$(line_count "$work/run.err")" -eq 1 ] &&
            grep -Eq "^${f//./\\.}:[0-9]+:[0-9]+: " "$work/run.err" && grep -qF -- "$expected" "$work/run.err"; then
            pass "$name/$f: rejected ($(cut -c1-120 "$work/run.err"))"
        else
            fail "$name/$f: rejected" "exit status $rc; expected 1 and one line '$f:LINE:COLUMN: ...$expected...'" "$work/run.err"
        fi
    done
}

for folder in "${FOLDERS[@]}"; do
    echo "== $folder"
    before=$FAILED
    run_folder "$folder"
    [ "$FAILED" -eq "$before" ] || FAILING+=("$folder")
done

[ "${#FAILING[@]}" -eq 0 ] || echo "failing folders: ${FAILING[*]}"
echo "$PASSED passed, $FAILED failed, $SKIPPED skipped"
[ "$FAILED" -eq 0 ]
