#!/usr/bin/env bash
# A big schema in the shape of a cross-industry invoice
# (bindgen/make_code_lists.py: 50 files, 6,000 enumeration values in code
# lists imported by every module, 2,000 complex types): bindgen's time, and
# `make -j2` of the generated project (sample program included) against
# `make -j2` of as many translation units as the project's makefile compiles
# that include only the runtime header, with the same flags (the cost every source pays whatever the schema).
#   target: the project builds in < 60 s on two cores
# Each build runs once (it is minutes, not a loop) and is stopped after
# KX_BENCH_LIMIT seconds (default 600); a stopped build reports how many of
# its objects were made by then. KX_BENCH_BINDGEN=PATH uses that bindgen
# instead of build-bench/bin/bindgen; KX_BENCH_FILES, KX_BENCH_ENUMS and
# KX_BENCH_TYPES change the shape.
#   bench/bench_code_lists.sh
source "$(dirname "$0")/lib.sh"
PY=/usr/bin/python3
JOBS="${KX_BENCH_JOBS:-2}"
LIMIT="${KX_BENCH_LIMIT:-600}"
# Quick mode: the smallest shape that still has code lists, data types,
# aggregates and a main module.
FILES="${KX_BENCH_FILES:-$(sized 50 7)}"
ENUMS="${KX_BENCH_ENUMS:-$(sized 6000 30)}"
TYPES="${KX_BENCH_TYPES:-$(sized 2000 24)}"

bench_bindgen
bench_init

# timed DIR OUT COMMAND...: runs the command in DIR (output to OUT), at most
# LIMIT seconds; prints its wall time, or "stopped" when the limit ended it.
timed() {
    local dir="$1" out="$2" start end status=0
    shift 2
    start="$(now_ms)"
    (cd "$dir" && timeout "$LIMIT" "$@") >"$out" 2>&1 || status=$?
    end="$(now_ms)"
    if [ "$status" -eq 124 ]; then
        echo stopped
    elif [ "$status" -ne 0 ]; then
        return "$status"
    else
        awk -v ms="$((end - start))" 'BEGIN { printf "%.2f\n", ms / 1000 }'
    fi
}

# units DIR: the translation units the project's makefile compiles (its
# SOURCES, which name the groups of data-class sources, and main.cpp).
units() {
    local n
    n="$(awk '/^SOURCES =/ { f = 1; next } f && !/^\t/ { exit } f { n++ } END { print n + 0 }' "$1/makefile")"
    [ -f "$1/main.cpp" ] && n=$((n + 1))
    echo "$n"
}

# objects DIR: "made/all" objects of the translation units.
objects() {
    echo "$(find "$1" -maxdepth 2 -name '*.o' | wc -l)/$2"
}

SCHEMA="$KX_TMP/schema"
PROJECT="$KX_TMP/project"
REFERENCE="$KX_TMP/reference"
log "schema: $("$PY" "$KX_ROOT/bench/bindgen/make_code_lists.py" "$SCHEMA" "$FILES" "$ENUMS" "$TYPES")"
mkdir -p "$PROJECT" "$REFERENCE"
printf 'type=foundation\nprojectName=Invoice\nmake=true\nsample=true\n' >"$PROJECT/startup.properties"
log "bindgen"
GEN_S="$(timed "$PROJECT" "$KX_TMP/bindgen.out" "$BINDGEN" -properties "$PROJECT/startup.properties" \
    -compiler redhat-gcc "$SCHEMA/invoice.xsd")" ||
    { log "bindgen failed:"; tail -n 15 "$KX_TMP/bindgen.out" >&2; exit 1; }
UNITS="$(units "$PROJECT")"

# The reference: as many sources that include only the runtime header,
# compiled with the project makefile's compiler and flags.
cp "$PROJECT"/orvo*.h "$REFERENCE/"
for i in $(seq "$UNITS"); do
    printf '#include "orvoruntime.h"\nint unit%s() { return %s; }\n' "$i" "$i" >"$REFERENCE/unit$i.cpp"
done
{
    grep -E '^(CXX|CXXFLAGS|XML_CFLAGS) ' "$PROJECT/makefile"
    printf 'OBJECTS = $(patsubst %%.cpp,%%.o,$(wildcard unit*.cpp))\nall: $(OBJECTS)\n'
    printf '%%.o: %%.cpp\n\t$(CXX) $(CXXFLAGS) $(XML_CFLAGS) -c $< -o $@\n'
} >"$REFERENCE/makefile"

log "make -j$JOBS of the generated project ($UNITS sources, at most $LIMIT s)"
MAKE_S="$(timed "$PROJECT" "$KX_TMP/make.out" make -j"$JOBS")" ||
    { log "the generated project does not build:"; grep -m 15 -E 'error' "$KX_TMP/make.out" >&2; exit 1; }
MAKE_OBJECTS="$(objects "$PROJECT" "$UNITS")"
log "make -j$JOBS of $UNITS sources that include only the runtime"
REF_S="$(timed "$REFERENCE" "$KX_TMP/reference.out" make -j"$JOBS")" ||
    { log "the reference does not build:"; tail -n 15 "$KX_TMP/reference.out" >&2; exit 1; }
REF_OBJECTS="$(objects "$REFERENCE" "$UNITS")"

echo "schema of $FILES files, $ENUMS enumeration values, $TYPES complex types: $UNITS sources"
echo "  bindgen: $GEN_S s"
echo "  make -j$JOBS, generated project: $MAKE_S s ($MAKE_OBJECTS objects)"
echo "  make -j$JOBS, $UNITS runtime-only sources: $REF_S s ($REF_OBJECTS objects)"
if [ "$MAKE_S" = stopped ]; then
    echo "  target < 60 s: missed (stopped after $LIMIT s)"
    exit 0
fi
echo "  target < 60 s: $(verdict "$MAKE_S" "<=" 60)"
[ "$REF_S" = stopped ] || echo "  ratio to the runtime-only build: $(ratio "$MAKE_S" "$REF_S")"
