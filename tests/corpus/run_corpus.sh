#!/usr/bin/env bash
# Runs bindgen over the schema corpus and checks what the generated sample
# programs make of the instance documents, against xmllint.
#
#   tests/corpus/run_corpus.sh [FOLDER...]     (all folders when none given)
#
# KX_TEST_BIN_DIR  folder holding bindgen (default: build/bin of this tree)
# KX_KEEP=1        keep the scratch folders (their paths are printed)
# KX_MAKE_JOBS     make's -j for the generated projects (default 1)
#
# For each folder: checks the corpus itself with xmllint (good instances
# valid, bad ones rejected), runs bindgen in a scratch project, builds the
# project with -Werror, runs the sample program on every good instance
# (exit 0, output valid, output equal to the input by compare_xml.py) and on
# every bad-*.xml (exit 1, one line "FILE:LINE:COLUMN: message" on stderr
# holding the text of bad-*.expected). One line per check, then a summary;
# the exit status is 1 when any check failed.
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
ROOT="$(cd "$HERE/../.." && pwd)"
BIN_DIR="${KX_TEST_BIN_DIR:-$ROOT/build/bin}"
PY=/usr/bin/python3
JOBS="${KX_MAKE_JOBS:-1}"
TEST_CXXFLAGS="-std=c++17 -O1 -Wall -Wextra -Werror"
RUN_TIMEOUT=120

PASSED=0
FAILED=0
SKIPPED=0
SCRATCH=()
declare -A VERDICT
FOLDER_FAILED=""

cleanup() {
    local d
    for d in "${SCRATCH[@]:-}"; do
        [ -n "$d" ] || continue
        if [ "${KX_KEEP:-}" = 1 ]; then
            echo "kept $d"
        else
            rm -rf "$d"
        fi
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# pass NAME / fail NAME [DETAIL FILE OR TEXT...] / skip NAME WHY
pass() { PASSED=$((PASSED + 1)); printf 'PASS  %s\n' "$1"; }
fail() {
    local name="$1" first=""
    shift
    FAILED=$((FAILED + 1))
    printf 'FAIL  %s\n' "$name"
    local d
    for d in "$@"; do
        if [ -f "$d" ]; then
            sed -n '1,40s/^/      /p' "$d"
            [ -n "$first" ] || first="$(grep -m1 -v '^[[:space:]]*$' "$d" || true)"
        else
            printf '      %s\n' "$d"
            [ -n "$first" ] || first="$d"
        fi
    done
    if [ -z "$FOLDER_FAILED" ]; then
        FOLDER_FAILED="$name${first:+: ${first:0:200}}"
    fi
}
skip() { SKIPPED=$((SKIPPED + 1)); printf 'SKIP  %s (%s)\n' "$1" "$2"; }

# The number of lines of a file, a last line without a newline included.
line_count() { awk 'END { print NR }' "$1"; }

for tool in xmllint make timeout; do
    command -v "$tool" >/dev/null || { echo "run_corpus: $tool is missing (scripts/setup.sh installs it)" >&2; exit 2; }
done
[ -x "$PY" ] || { echo "run_corpus: $PY is missing" >&2; exit 2; }
if [ ! -x "$BIN_DIR/bindgen" ]; then
    echo "run_corpus: no bindgen in $BIN_DIR (set KX_TEST_BIN_DIR)" >&2
    exit 2
fi
BINDGEN="$(cd "$BIN_DIR" && pwd)/bindgen"

if "$PY" "$HERE/compare_xml.py" --self-test >"${TMPDIR:-/tmp}/kxcorpus-selftest.$$" 2>&1; then
    pass "compare_xml.py --self-test"
else
    fail "compare_xml.py --self-test" "${TMPDIR:-/tmp}/kxcorpus-selftest.$$"
fi
rm -f "${TMPDIR:-/tmp}/kxcorpus-selftest.$$"

if [ "$#" -gt 0 ]; then
    FOLDERS=("$@")
else
    FOLDERS=()
    for d in "$HERE"/*/; do
        d="$(basename "$d")"
        if compgen -G "$HERE/$d/*.xsd" >/dev/null || [ -f "$HERE/$d/make_schema.py" ]; then
            FOLDERS+=("$d")
        fi
    done
fi

run_folder() {
    local name="$1"
    local src="$HERE/$name"
    if [ ! -d "$src" ]; then
        fail "$name: no such folder in $HERE"
        return
    fi
    local work
    work="$(mktemp -d "${TMPDIR:-/tmp}/kxcorpus-$name.XXXXXX")"
    SCRATCH+=("$work")
    local schemas="$work/schema" lint="$work/xmllint" project="$work/project" out="$work/out"
    mkdir -p "$schemas" "$project" "$out"
    cp -r "$src/." "$schemas/"

    if [ -f "$schemas/make_schema.py" ]; then
        if KX_SOURCE_ROOT="$ROOT" "$PY" "$schemas/make_schema.py" "$schemas" >"$work/make_schema.out" 2>&1; then
            pass "$name: make_schema.py"
        else
            fail "$name: make_schema.py" "$work/make_schema.out"
            return
        fi
    fi

    local xsds=("$schemas"/*.xsd)
    if [ "${#xsds[@]}" -ne 1 ] || [ ! -f "${xsds[0]}" ]; then
        fail "$name: expected exactly one schema at the top of the folder, found ${#xsds[@]}"
        return
    fi
    local main
    main="$(basename "${xsds[0]}")"

    # xmllint reads only forward slashes in schemaLocation; bindgen gets the
    # files as written.
    mkdir -p "$lint"
    cp -r "$schemas/." "$lint/"
    find "$lint" -name '*.xsd' -exec sed -i '/schemaLocation=/ s|\\|/|g' {} +

    local goods=() bads=() f
    for f in "$schemas"/*.xml; do
        [ -f "$f" ] || continue
        f="$(basename "$f")"
        case "$f" in
            bad-*) bads+=("$f") ;;
            *) goods+=("$f") ;;
        esac
    done
    if [ "${#goods[@]}" -eq 0 ]; then
        fail "$name: no good instance document"
    fi

    # The corpus itself: good instances valid, bad ones rejected, each bad
    # one with the text its message must hold.
    for f in "${goods[@]}"; do
        if (cd "$lint" && xmllint --noout --schema "$main" "$f") >"$work/lint.out" 2>&1; then
            pass "$name/$f: valid by xmllint"
        else
            fail "$name/$f: valid by xmllint" "$work/lint.out"
        fi
    done
    for f in "${bads[@]}"; do
        local expected="$schemas/${f%.xml}.expected"
        if [ ! -s "$expected" ] || [ "$(line_count "$expected")" -ne 1 ]; then
            fail "$name/$f: ${f%.xml}.expected must hold one line"
        elif (cd "$lint" && xmllint --noout --schema "$main" "$f") >"$work/lint.out" 2>&1; then
            fail "$name/$f: rejected by xmllint" "xmllint accepts it"
        else
            pass "$name/$f: rejected by xmllint"
        fi
    done

    # Generate and build.
    local project_name="corpus_${name//[^A-Za-z0-9_]/_}"
    printf 'type=foundation\nprojectName=%s\nmake=true\nsample=true\n' "$project_name" \
        >"$project/startup.properties"
    local rc=0
    (cd "$project" && timeout 600 "$BINDGEN" -properties "$project/startup.properties" \
        -compiler redhat-gcc "$schemas/$main") >"$work/bindgen.out" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ] || grep -q '<Error>' "$project/errors.xml" 2>/dev/null; then
        local details=("exit status $rc")
        [ -f "$project/errors.xml" ] && details+=("$project/errors.xml")
        details+=("$work/bindgen.out")
        fail "$name: bindgen $main" "${details[@]}"
        skip "$name: build and instances" "bindgen failed"
        return
    fi
    pass "$name: bindgen $main"

    # A folder marked one-translation-unit (the large schema: hundreds of
    # classes, each a compiler run of its own otherwise) builds its library
    # from one source that includes all the others, through the same makefile.
    local sources=()
    if [ -f "$src/one-translation-unit" ]; then
        (cd "$project" && for f in *.cpp; do
            [ "$f" = main.cpp ] || printf '#include "%s"\n' "$f"
        done) >"$project/all_sources.cxx"
        mv "$project/all_sources.cxx" "$project/all_sources.cpp"
        sources=(SOURCES=all_sources.cpp)
    fi
    rc=0
    (cd "$project" && timeout 900 make -j"$JOBS" CXXFLAGS="$TEST_CXXFLAGS" "${sources[@]}") >"$work/make.out" 2>&1 || rc=$?
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
        if (cd "$lint" && xmllint --noout --schema "$main" "out-$f") >"$work/lint.out" 2>&1; then
            pass "$name/$f: output valid by xmllint"
        else
            fail "$name/$f: output valid by xmllint" "$work/lint.out"
        fi
        if "$PY" "$HERE/compare_xml.py" "$schemas/$f" "$out/$f" >"$work/compare.out" 2>&1; then
            pass "$name/$f: output equal to input"
        else
            fail "$name/$f: output equal to input" "$work/compare.out"
        fi
    done

    # The bad ones: exit 1 and one line naming the file and the fault.
    for f in "${bads[@]}"; do
        local expected
        expected="$(head -n1 "$schemas/${f%.xml}.expected")"
        rc=0
        (cd "$schemas" && timeout "$RUN_TIMEOUT" "$prog" "$f" "$out/$f") >"$work/run.out" 2>"$work/run.err" || rc=$?
        local lines
        lines="$(line_count "$work/run.err")"
        if [ "$rc" -ne 1 ]; then
            fail "$name/$f: rejected" "exit status $rc, expected 1" "$work/run.err"
        elif [ "$lines" -ne 1 ]; then
            fail "$name/$f: rejected" "$lines lines on stderr, expected one" "$work/run.err"
        elif ! grep -Eq "^${f//./\\.}:[0-9]+:[0-9]+: " "$work/run.err"; then
            fail "$name/$f: rejected" "stderr does not start with '$f:LINE:COLUMN: '" "$work/run.err"
        elif ! grep -qF -- "$expected" "$work/run.err"; then
            fail "$name/$f: rejected" "message lacks '$expected'" "$work/run.err"
        else
            pass "$name/$f: rejected ($(cut -c1-120 "$work/run.err"))"
        fi
    done
}

for folder in "${FOLDERS[@]}"; do
    echo "== $folder"
    FOLDER_FAILED=""
    before=$FAILED
    run_folder "$folder"
    if [ "$FAILED" -eq "$before" ]; then
        VERDICT[$folder]="pass"
    else
        VERDICT[$folder]="FAIL ($((FAILED - before)) checks; first: $FOLDER_FAILED)"
    fi
done

echo "== summary"
for folder in "${FOLDERS[@]}"; do
    printf '%-14s %s\n' "$folder" "${VERDICT[$folder]}"
done
echo "$PASSED passed, $FAILED failed, $SKIPPED skipped"
[ "$FAILED" -eq 0 ]
