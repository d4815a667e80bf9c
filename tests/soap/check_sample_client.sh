#!/usr/bin/env bash
# Runs a generated client project's sample program against
# validating_server.py, which checks each request against the WSDL's
# schemas, and prints PASS or FAIL per operation of the WSDL: FAIL for an
# invalid request or an operation the program never called.
#
#   check_sample_client.sh CLIENT_DIR WSDL
#
# CLIENT_DIR holds the project svcgen generated with client=true and
# sample=true, built (make builds the program named by the makefile's
# PROGRAM, from main.cpp). Exit status 1 on a failure.
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: check_sample_client.sh CLIENT_DIR WSDL" >&2; exit 2; }
soap_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
client="$(cd "$1" && pwd)"
wsdl="$2"
python=/usr/bin/python3
scratch="$(mktemp -d "${TMPDIR:-/tmp}/kx-sample-client.XXXXXX")"
server_pid=""
# shellcheck source=peer_lib.sh
source "$soap_dir/peer_lib.sh"
trap 'stop_pid "$server_pid" 50 || true; rm -rf "$scratch"' EXIT

program_name="$(sed -n -E 's/^PROGRAM = ([A-Za-z0-9_.-]+)$/\1/p' "$client/makefile" 2>/dev/null | head -n1)"
program="$client/$program_name"
if [ -z "$program_name" ] || [ ! -x "$program" ]; then
  echo "FAIL sample client: no sample program built in $client (generate with sample=true)"
  exit 1
fi

"$python" "$soap_dir/validating_server.py" --operations "$wsdl" >"$scratch/operations" 2>"$scratch/server.err" ||
  { echo "FAIL sample client: validating_server.py cannot read $wsdl"; show "$scratch/server.err"; exit 1; }

"$python" "$soap_dir/validating_server.py" --port 0 --log "$scratch/requests.log" "$wsdl" \
  >"$scratch/server.out" 2>"$scratch/server.err" &
server_pid=$!
url="$(await_url "$scratch/server.out" "$server_pid" 100)"
if [ -z "$url" ]; then
  echo "FAIL sample client: validating_server.py printed no address"
  show "$scratch/server.err"
  exit 1
fi

# The program's own status says little here: the server's answers are
# minimal and need not read as the operations' responses.
timeout 120 "$program" "$url" >"$scratch/program.out" 2>&1 || true

failed=0
while IFS= read -r operation; do
  [ -n "$operation" ] || continue
  invalid="$(grep -F -m1 "INVALID $operation: " "$scratch/requests.log" 2>/dev/null || true)"
  if [ -n "$invalid" ]; then
    echo "FAIL sample client: $operation: ${invalid#INVALID "$operation": }"
    failed=1
  elif grep -q -x -F "VALID $operation" "$scratch/requests.log" 2>/dev/null; then
    echo "PASS sample client: $operation"
  else
    echo "FAIL sample client: $operation never called"
    show "$scratch/program.out" 10
    failed=1
  fi
done <"$scratch/operations"
if grep -q '^INVALID ?: ' "$scratch/requests.log" 2>/dev/null; then
  echo "FAIL sample client: $(grep -m1 '^INVALID ?: ' "$scratch/requests.log")"
  failed=1
fi
exit "$failed"
