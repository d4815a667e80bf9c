#!/usr/bin/env bash
# Generates every case of the schema corpus (tests/corpus), of the SOAP peer
# tests (tests/soap, server and client projects) and of the bundled examples
# with two builds of bindgen and svcgen (makefiles and developer-studio
# files included), and lists the files that differ.
#
#   scripts/compare_generators.sh OLD [NEW]
#
# OLD and NEW each name a folder holding bindgen and svcgen (a build's bin/)
# or a git revision, which is first built into a scratch folder. NEW is
# build/bin when not given. Both builds write each case into the same
# folder, so paths inside the files (errors.xml names the input) match; the
# folders each build names (its source tree, libraries, kxcontainer) are
# written as @SOURCE@, @LIB@ and @BIN@ before comparing.
#
# Prints one line per file that differs or exists on one side only, and a
# unified diff of each into the scratch folder's differences.diff, kept with
# KX_KEEP=1 (or always when something differs). Exit status: 0 when nothing
# differs, 1 when something does, 2 when a build or a case cannot be run.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PY=/usr/bin/python3
[ "$#" -ge 1 ] && [ "$#" -le 2 ] || { sed -n '2,20s/^# \{0,1\}//p' "$0" >&2; exit 2; }

SCRATCH="$(mktemp -d "${TMPDIR:-/tmp}/kxcompare.XXXXXX")"
KEEP="${KX_KEEP:-}"
cleanup() { if [ "$KEEP" = 1 ]; then echo "kept $SCRATCH"; else rm -rf "$SCRATCH"; fi; }
trap cleanup EXIT
trap 'exit 130' INT TERM

# generators NAME WHICH: the folder holding bindgen and svcgen for WHICH (a
# folder, or a revision built into $SCRATCH/NAME-build).
generators() {
    local name="$1" which="$2"
    if [ -x "$which/bindgen" ] && [ -x "$which/svcgen" ]; then
        (cd "$which" && pwd)
        return
    fi
    git -C "$ROOT" rev-parse --verify --quiet "$which^{commit}" >/dev/null ||
        { echo "compare_generators: $which is neither a folder with bindgen and svcgen nor a revision" >&2; return 2; }
    local src="$SCRATCH/$name-src" build="$SCRATCH/$name-build"
    mkdir -p "$src"
    git -C "$ROOT" archive "$which" | tar -x -C "$src"
    echo "compare_generators: building bindgen and svcgen of $which" >&2
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >"$SCRATCH/$name-cmake.log" 2>&1 &&
        cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target bindgen svcgen \
            >>"$SCRATCH/$name-cmake.log" 2>&1 ||
        { tail -20 "$SCRATCH/$name-cmake.log" >&2; return 2; }
    echo "$build/bin"
}

OLD_BIN="$(generators old "$1")"
NEW_BIN="$(generators new "${2:-$ROOT/build/bin}")"

# The cases: "KIND NAME INPUT", KIND being schema, marshal (a schema with
# marshaller classes), server or client.
INPUTS="$SCRATCH/inputs"
CASES=()
mkdir -p "$INPUTS"
for dir in "$ROOT"/tests/corpus/*/; do
    name="$(basename "$dir")"
    compgen -G "$dir*.xsd" >/dev/null || [ -f "$dir/make_schema.py" ] || continue
    cp -r "$dir" "$INPUTS/$name"
    if [ -f "$INPUTS/$name/make_schema.py" ]; then
        status=0
        KX_SOURCE_ROOT="$ROOT" "$PY" "$INPUTS/$name/make_schema.py" "$INPUTS/$name" >/dev/null 2>&1 || status=$?
        if [ "$status" -eq 77 ]; then
            echo "skipped corpus/$name: its inputs are not on this machine"
            continue
        fi
        [ "$status" -eq 0 ] || { echo "compare_generators: corpus/$name: make_schema.py failed" >&2; exit 2; }
    fi
    schema=("$INPUTS/$name"/*.xsd)
    CASES+=("schema corpus-$name ${schema[0]}")
done
# Inputs are read from copies, so that no path a generator writes holds the
# source tree's, which the normalising below replaces.
for dir in "$ROOT"/tests/soap/*/; do
    name="$(basename "$dir")"
    compgen -G "$dir*.wsdl" >/dev/null || continue
    cp -r "$dir" "$INPUTS/soap-$name"
    wsdl=("$INPUTS/soap-$name"/*.wsdl)
    CASES+=("server soap-$name ${wsdl[0]}")
    [ -d "$dir/client" ] && CASES+=("client soap-$name ${wsdl[0]}")
done
# The public schemas and WSDL files of ../shared/corpus, when it is there
# (KX_SHARED_CORPUS names another place).
SHARED="${KX_SHARED_CORPUS:-$ROOT/../shared/corpus}"
if [ -f "$SHARED/xsd/MANIFEST.json" ]; then
    while read -r name schema; do
        cp -r "$SHARED/xsd/$name" "$INPUTS/shared-$name"
        CASES+=("schema shared-$name $INPUTS/shared-$name/$schema")
    done < <("$PY" -c 'import json,sys
for case in json.load(open(sys.argv[1])): print(case["name"], case["schema"])' "$SHARED/xsd/MANIFEST.json")
fi
if [ -d "$SHARED/wsdl/zeep-tests" ]; then
    cp -r "$SHARED/wsdl/zeep-tests" "$INPUTS/shared-zeep"
    for input in "$INPUTS"/shared-zeep/*.wsdl; do
        name="shared-zeep-$(basename "${input%.*}")"
        CASES+=("server $name $input" "client $name $input")
    done
fi
cp -r "$ROOT/home/examples" "$INPUTS/examples"
for input in "$INPUTS"/examples/*.wsdl "$INPUTS"/examples/*.xsd; do
    name="$(basename "${input%.*}")"
    case "$input" in
        *.xsd) CASES+=("schema example-$name $input") ;;
        *) CASES+=("server example-$name $input" "client example-$name $input") ;;
    esac
done

# Each schema once more with its XML reading and writing in marshaller
# classes.
for case in "${CASES[@]}"; do
    read -r kind name input <<<"$case"
    [ "$kind" = schema ] && CASES+=("marshal $name-marshal $input")
done

# generate BIN KIND NAME INPUT OUT: one case into $SCRATCH/project, then moved to OUT.
# A generator that refuses its input (broken.wsdl) is a case too: its
# errors.xml is compared like any other file.
generate() {
    local bin="$1" kind="$2" name="$3" input="$4" out="$5" project="$SCRATCH/project"
    rm -rf "$project"
    mkdir -p "$project" "$(dirname "$out")"
    local tool=bindgen flags=()
    case "$kind" in
        schema) printf 'type=foundation\nprojectName=%s\nmake=true\nsample=true\nhtml=true\nmsvcproject=true\n' "${name//-/_}" ;;
        marshal) printf 'type=foundation\nprojectName=%s\nmake=true\nsample=true\nhtml=true\nexternalmarshaller=true\n' "${name//-/_}" ;;
        server) tool=svcgen
                printf 'type=server\nprojectName=%s\nserver=true\nsample=true\nhtml=true\nmake=true\nmsvcproject=true\n' "${name//-/_}" ;;
        client) tool=svcgen flags=(-noserver)
                printf 'type=client\nprojectName=%s\nclient=true\nserver=false\nsample=true\nhtml=true\nmake=true\nmsvcproject=true\n' "${name//-/_}" ;;
    esac >"$project/startup.properties"
    (cd "$project" && "$bin/$tool" "${flags[@]}" -properties "$project/startup.properties" \
        -compiler redhat-gcc "$input") >"$project/generator-output.txt" 2>&1 || true
    normalise "$project" "$bin"
    mv "$project" "$out"
}

# normalise PROJECT BIN: the folders a build of the generators names in its
# files (its source tree, its libraries, its kxcontainer, as the makefile
# says) become @SOURCE@, @LIB@ and @BIN@: where a build stands is no difference.
normalise() {
    local project="$1" bin="$2" source="" lib="" file
    if [ -f "$project/makefile" ]; then
        source="$(sed -n 's/^KX_INCLUDE = //p' "$project/makefile")"
        lib="$(sed -n 's/^KX_LIB = //p' "$project/makefile")"
    fi
    { grep -rlF -e "$bin" ${source:+-e "$source"} ${lib:+-e "$lib"} "$project" || true; } |
        while read -r file; do
            "$PY" - "$file" "$bin" "@BIN@" "$lib" "@LIB@" "$source" "@SOURCE@" <<'PYEOF'
import sys
path, pairs = sys.argv[1], sys.argv[2:]
text = open(path, "rb").read()
for old, new in zip(pairs[::2], pairs[1::2]):
    if old:
        text = text.replace(old.encode(), new.encode())
open(path, "wb").write(text)
PYEOF
        done
}

for entry in "${CASES[@]}"; do
    read -r kind name input <<<"$entry"
    generate "$OLD_BIN" "$kind" "$name" "$input" "$SCRATCH/old/$kind-$name"
    generate "$NEW_BIN" "$kind" "$name" "$input" "$SCRATCH/new/$kind-$name"
done

DIFF="$SCRATCH/differences.diff"
(cd "$SCRATCH" && diff -ru old new) >"$DIFF" || true
LIST="$(cd "$SCRATCH" && diff -rq old new | sed -e 's|^Files old/\([^ ]*\) and new/.* differ$|differs:  \1|' \
    -e 's|^Only in old/\{0,1\}\(.*\): \(.*\)$|old only: \1/\2|' -e 's|^Only in new/\{0,1\}\(.*\): \(.*\)$|new only: \1/\2|' || true)"
echo "${#CASES[@]} cases generated by $OLD_BIN and $NEW_BIN"
if [ -z "$LIST" ]; then
    echo "no differences"
    exit 0
fi
printf '%s\n' "$LIST"
echo "$(printf '%s\n' "$LIST" | wc -l) files differ; the differences: $DIFF"
KEEP=1
exit 1
