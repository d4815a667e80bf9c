#!/usr/bin/env bash
# The SOAP peer tests (see README.md): for each folder of tests/soap (or those
# named), svcgen generates a server project from the folder's WSDL file, the
# folder's impl/<Port>Impl.cpp replaces the sample implementation, make builds
# it, kxcontainer serves it, zeep_client.py and kx_tryit_requests call it.
# Folders with client/ then build client/check_client.cpp against the
# generated client and run it against spyne_server.py and against a fresh
# kxcontainer; each run must print exactly client/expected.txt.
# One line per check (PASS, FAIL, SKIP), then a summary; exit status 1 when a
# check failed.
#
#   run_soap.sh [FOLDER ...]
#
# KX_TEST_BIN_DIR: where svcgen and kxcontainer are (default build/bin).
# KX_SOAP_KEEP=1 keeps the scratch folder and says where it is.
set -euo pipefail

soap_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
bin_dir="$(cd "${KX_TEST_BIN_DIR:-$soap_dir/../../build/bin}" && pwd)"
python=/usr/bin/python3
body_limit=65536
scratch="$(mktemp -d "${TMPDIR:-/tmp}/kx-soap.XXXXXX")"
container_pid=""
spyne_pid=""

# stop_pid PID TENTHS: SIGTERM, then SIGKILL after TENTHS tenths of a second.
# Returns the process's exit status, 255 when it had to be killed.
stop_pid() {
  local pid="$1" status=0
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 "$2"); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return 255
  fi
  wait "$pid" 2>/dev/null || status=$?
  return "$status"
}

# Stops the container (or spyne), forgetting its pid; returns stop_pid's status.
stop_container() {
  local status=0
  stop_pid "$container_pid" 150 || status=$?
  container_pid=""
  return "$status"
}
stop_spyne() { stop_pid "$spyne_pid" 50 || true; spyne_pid=""; }

cleanup() {
  stop_container || true
  stop_spyne
  if [ "${KX_SOAP_KEEP:-0}" = 1 ]; then echo "scratch kept in $scratch"; else rm -rf "$scratch"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

passed=0
failed=0
skipped=0
failed_folders=()
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }
skip() { echo "SKIP $1${2:+: $2}"; skipped=$((skipped + 1)); }
# The first lines of a log, indented, after a failure.
show() { sed -n "1,${2:-15}p" "$1" | sed 's/^/    | /'; }

for tool in svcgen kxcontainer kx_tryit_requests; do
  [ -x "$bin_dir/$tool" ] || { echo "run_soap.sh: no $bin_dir/$tool (set KX_TEST_BIN_DIR)" >&2; exit 1; }
done
"$python" -c 'import zeep' 2>/dev/null ||
  { echo "run_soap.sh: $python cannot import zeep (scripts/setup.sh installs python3-zeep)" >&2; exit 1; }
have_spyne=1
"$python" -c 'import spyne' 2>/dev/null || have_spyne=0

# step WHAT LOG DIR COMMAND...: runs the command in DIR, its output in LOG;
# PASS, or FAIL with the log's errors (or its start). Returns its status.
step() {
  local what="$1" log="$2" dir="$3" status=0
  shift 3
  (cd "$dir" && "$@") >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    pass "$what"
  else
    fail "$what" "exit status $status"
    if grep -q error "$log"; then grep -m15 -A3 error "$log" | sed 's/^/    | /'; else show "$log" 20; fi
  fi
  return "$status"
}

# await_url FILE PID TENTHS: the address a server started as PID prints on
# the first line of FILE, waiting while it lives; empty when none comes.
await_url() {
  local url=""
  for _ in $(seq 1 "$3"); do
    url="$(head -n1 "$1" 2>/dev/null | grep -o -m1 -E 'https?://[^ ?]+' || true)"
    [ -n "$url" ] && break
    kill -0 "$2" 2>/dev/null || break
    sleep 0.1
  done
  printf '%s' "${url%/}"
}

# start_container WHAT: kxcontainer on the deployed project of $work; sets
# container_base. Returns 1, with a FAIL line WHAT, when it prints no address.
start_container() {
  "$bin_dir/kxcontainer" --webapp "$work/app" --lib-dir "$work/project" --port 0 --no-token \
    --home "$work/home" --log-dir "$work/logs" --threads 4 --client-max-body-size "$body_limit" \
    >"$work/container.out" 2>"$work/container.err" &
  container_pid=$!
  container_base="$(await_url "$work/container.out" "$container_pid" 200)"
  [ -n "$container_base" ] && return 0
  fail "$1" "no address printed"
  show "$work/container.err"
  stop_container || true
  return 1
}

# counted OUT: the PASS, FAIL and SKIP lines of a checker's output, counted.
counted() {
  sed 's/^/  /' "$1"
  passed=$((passed + $(grep -c '^PASS ' "$1" || true)))
  failed=$((failed + $(grep -c '^FAIL ' "$1" || true)))
}

# run_folder NAME: generate, build, deploy, call. Returns 1 at the first step
# that fails (the later ones cannot run).
run_folder() {
  local project="$work/project" lib_name="soap_${name}" impl
  mkdir -p "$project" "$work/app/WEB-INF" "$work/home" "$work/logs"
  printf 'type=server\nprojectName=%s\nserver=true\nsample=true\nmake=true\n' \
    "$lib_name" >"$project/startup.properties"
  step "$name: svcgen generates the server project" "$work/svcgen.log" "$project" \
    "$bin_dir/svcgen" -properties "$project/startup.properties" -compiler redhat-gcc "$wsdl" ||
    return 1
  # The test's implementation in place of each sample one.
  for impl in "$folder"/impl/*Impl.cpp "$project/makefile" "$project/web.xml"; do
    [ -f "$project/$(basename "$impl")" ] || { fail "$name: $(basename "$impl") generated"; return 1; }
    [ "${impl%Impl.cpp}" = "$impl" ] || cp "$impl" "$project/"
  done
  step "$name: the project builds" "$work/make.log" "$project" make -j1 || return 1
  [ -f "$project/lib$lib_name.so" ] || { fail "$name: make builds lib$lib_name.so"; return 1; }

  cp "$project/web.xml" "$work/app/WEB-INF/web.xml"
  server_deployed=1
  start_container "$name: kxcontainer serves the project" || return 1
  if [ -s "$work/container.err" ]; then
    # A servlet that could not be made is reported here; its requests get 404.
    fail "$name: kxcontainer serves the project" "problems at start"
    show "$work/container.err"
  else
    pass "$name: kxcontainer serves the project"
  fi
  echo "     $name: service at $container_base$address_path"

  local status=0
  KX_SOAP_BODY_LIMIT="$body_limit" "$python" "$soap_dir/zeep_client.py" "$folder" "$wsdl" \
    "$container_base$address_path" >"$work/client.out" 2>&1 || status=$?
  counted "$work/client.out"
  grep -q '^FAIL ' "$work/client.out" || [ "$status" -eq 0 ] ||
    fail "$name: zeep_client.py runs" "exit status $status"

  # The try-it page's requests: every operation once, from operations.xml.
  local served="${container_base#http://127.0.0.1:}"
  "$bin_dir/kx_tryit_requests" "$project" "${served%%/*}" "/${served#*/}" >"$work/tryit.out" 2>&1 ||
    true
  counted "$work/tryit.out"
  grep -q -E '^(PASS|FAIL) ' "$work/tryit.out" || fail "$name: kx_tryit_requests runs" "no result"

  # SIGTERM ends the container with status 0 (255: killed after 15 s).
  local exit_status=0
  stop_container || exit_status=$?
  if [ "$exit_status" -eq 0 ]; then
    pass "$name: kxcontainer stops on SIGTERM"
  else
    fail "$name: kxcontainer stops on SIGTERM" "exit status $exit_status"
    show "$work/container.err"
  fi
}

# check_run WHAT URL OUT: check_client against URL must print expected.txt.
check_run() {
  local status=0
  "$work/check_client" "$2" >"$3" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    fail "$1" "check_client exit status $status"
    show "$3"
  elif diff -u "$folder/client/expected.txt" "$3" >"$3.diff"; then
    pass "$1"
  else
    fail "$1" "answers differ from client/expected.txt"
    sed -n '3,30p' "$3.diff" | grep -E '^[-+]' | sed 's/^/    | /'
  fi
}

# run_client NAME: the client phase of a folder with client/.
run_client() {
  local client="$work/client" lib_name="client_${name}"
  mkdir -p "$client"
  printf 'type=client\nprojectName=%s\nclient=true\nserver=false\nmake=true\n' \
    "$lib_name" >"$client/startup.properties"
  step "$name: svcgen generates the client project" "$work/client-svcgen.log" "$client" \
    "$bin_dir/svcgen" -noserver -properties "$client/startup.properties" \
    -compiler redhat-gcc "$wsdl" || return 1
  step "$name: the client library builds" "$work/client-make.log" "$client" make -j1 || return 1
  # shellcheck disable=SC2046  # pkg-config's flags are separate words
  step "$name: client/check_client.cpp builds against the client" "$work/check-build.log" \
    "$client" g++ -std=c++17 -Wall -O1 -I"$client" -I"$soap_dir" \
    $(pkg-config --cflags libxml-2.0 libcurl) "$folder/client/check_client.cpp" \
    "$client/lib$lib_name.a" $(pkg-config --libs libxml-2.0 libcurl) -o "$work/check_client" ||
    return 1

  local what="$name: generated client calls spyne"
  if [ "$have_spyne" = 0 ]; then
    skip "$what" "$python cannot import spyne (python3-spyne)"
  else
    "$python" "$soap_dir/spyne_server.py" --port 0 "$name" >"$work/spyne.out" 2>"$work/spyne.err" &
    spyne_pid=$!
    local spyne_url
    spyne_url="$(await_url "$work/spyne.out" "$spyne_pid" 100)"
    if [ -z "$spyne_url" ]; then
      fail "$what" "spyne_server.py printed no address"
      show "$work/spyne.err"
    else
      check_run "$what" "$spyne_url" "$work/check-spyne.out"
    fi
    stop_spyne
  fi

  # Against the generated server deployed afresh: the zeep phase changed its state.
  what="$name: generated client calls the generated server"
  if [ "$server_deployed" != 1 ]; then
    skip "$what" "the server project is not deployed"
  elif start_container "$what"; then
    check_run "$what" "$container_base$address_path" "$work/check-server.out"
    stop_container || true
  fi
}

folders=()
for arg in "$@"; do
  arg="${arg%/}"
  [ -d "$soap_dir/${arg##*/}" ] || { echo "run_soap.sh: no folder $soap_dir/${arg##*/}" >&2; exit 2; }
  folders+=("${arg##*/}")
done
if [ $# -eq 0 ]; then
  for dir in "$soap_dir"/*/calls.py; do
    dir="${dir%/calls.py}"
    folders+=("${dir##*/}")
  done
fi

for name in "${folders[@]}"; do
  echo "== $name"
  failed_before=$failed
  server_deployed=0
  folder="$soap_dir/$name"
  work="$scratch/$name"
  wsdls=("$folder"/*.wsdl)
  if [ ${#wsdls[@]} -ne 1 ] || [ ! -f "${wsdls[0]}" ]; then
    fail "$name: setup" "the folder must hold exactly one WSDL file"
  else
    wsdl="${wsdls[0]}"
    # The path of the port's address, where the container serves it.
    address_path="$(sed -n -E 's|.*address location="[a-z]+://[^/"]*([^"]*)".*|\1|p' "$wsdl" | head -n1)"
    run_folder || true
    [ ! -d "$folder/client" ] || run_client || true
  fi
  [ "$failed" -eq "$failed_before" ] || failed_folders+=("$name")
done

echo "soap peers: $passed passed, $failed failed, $skipped skipped" \
  "(${#folders[@]} folders${failed_folders[*]:+; failing: ${failed_folders[*]}})"
[ "$failed" -eq 0 ]
