#!/usr/bin/env bash
# The SOAP peer tests on WSDL files without an implementation of their own
# (README.md): shapes/, then the shared corpus's wsdl/, or the files named.
# One PASS, FAIL or SKIP line per check, then a summary; exit 1 on a failure.
#
#   run_shared.sh [WSDL ...]    KX_TEST_BIN_DIR (default build/bin), KX_MAKE_JOBS, KX_SOAP_KEEP=1
set -euo pipefail

soap_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
server_pid=""
# shellcheck source=peer_lib.sh
source "$soap_dir/peer_lib.sh"
need svcgen
scratch="$(mktemp -d "${TMPDIR:-/tmp}/kx-shared-soap.XXXXXX")"
trap 'stop_group "$server_pid" 150 || true; remove_scratch' EXIT
trap 'exit 130' INT TERM

wsdls=("$@")
if [ $# -eq 0 ]; then
  # The shapes written here, then the shared corpus when it is there.
  wsdls=("$soap_dir"/shapes/*.wsdl)
  shared="${KX_SHARED_CORPUS:-$soap_dir/../../../shared/corpus}/wsdl"
  if [ -d "$shared" ]; then
    mapfile -t -O ${#wsdls[@]} wsdls < <(find "$(cd "$shared" && pwd)" -name '*.wsdl' | sort)
  else
    skip "the shared corpus" "no shared corpus at $shared (set KX_SHARED_CORPUS)"
  fi
fi

# serve_and_call NAME WSDL PROJECT: make run at a free port, zeep_any.py against it.
serve_and_call() {
  (cd "$3" && exec setsid make -s run PORT=0) >"$work/run.out" 2>"$work/run.err" &
  server_pid=$!
  local base
  base="$(await_url "$work/run.out" "$server_pid" 300)"
  if [ -z "$base" ]; then
    fail "$1: make run serves the services" "no address printed"
    show "$work/run.err"
  else
    pass "$1: make run serves the services"
    "$python" "$soap_dir/zeep_any.py" "$2" "$base" >"$work/zeep.out" 2>&1 || true
    if grep -q -E '^(PASS|FAIL) ' "$work/zeep.out"; then
      counted "$work/zeep.out"
    elif grep -q 'no SOAP port' "$work/zeep.out"; then
      skip "$1: zeep calls every operation" "no SOAP port with operations"
    else
      fail "$1: zeep_any.py runs" "no result"
      show "$work/zeep.out"
    fi
  fi
  stop_group "$server_pid" 150 || true
  server_pid=""
}

for wsdl in "${wsdls[@]}"; do
  [ -f "$wsdl" ] || { fail "$wsdl" "no such file"; continue; }
  wsdl="$(cd "$(dirname "$wsdl")" && pwd)/$(basename "$wsdl")"  # svcgen runs in the project
  name="$(basename "$(dirname "$wsdl")")/$(basename "$wsdl" .wsdl)"
  echo "== $name"
  work="$scratch/${name//\//_}"
  project="$work/project"
  mkdir -p "$project"
  printf 'type=server\nprojectName=%s\nserver=true\nclient=true\nsample=true\nmake=true\n' \
    "shared_$(basename "$wsdl" .wsdl | tr -c 'A-Za-z0-9_\n' '_')" >"$project/startup.properties"
  status=0
  (cd "$project" && "$bin_dir/svcgen" -properties startup.properties -compiler redhat-gcc "$wsdl") \
    >"$work/svcgen.log" 2>&1 || status=$?
  if grep -q -E 'use="encoded"' "$wsdl"; then
    if [ "$status" -ne 0 ] && grep -q 'SOAP encoding' "$work/svcgen.log"; then
      pass "$name: SOAP encoding is refused with an error"
    else
      fail "$name: SOAP encoding is refused with an error" "svcgen exit status $status"
      show "$work/svcgen.log"
    fi
    continue
  fi
  if [ "$status" -ne 0 ]; then
    fail "$name: svcgen generates the project" "exit status $status"
    grep -E '^(error|warning)' "$work/svcgen.log" | sed 's/^/    | /' || show "$work/svcgen.log"
    continue
  fi
  pass "$name: svcgen generates the project"
  step "$name: the project builds" "$work/make.log" "$project" make -j "${KX_MAKE_JOBS:-2}" || continue
  serve_and_call "$name" "$wsdl" "$project"
  # The sample client program, from a client project of its own (the server
  # project links the servlet library), against a server that validates
  # every request against the WSDL's schemas.
  client_project "$name" "$work/client" "$wsdl" client || continue
  sample_check "$name" "$work/client" "$wsdl"
done

echo "WSDL files without an implementation: $passed passed, $failed failed, $skipped skipped (${#wsdls[@]} files)"
[ "$failed" -eq 0 ]
