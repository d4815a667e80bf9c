#!/usr/bin/env bash
# The SOAP peer tests: for each folder of tests/soap (or those named), svcgen
# generates a server project from the folder's WSDL file, the folder's
# impl/<Port>Impl.cpp replaces the sample implementation, make builds the
# library, kxcontainer serves it, and zeep_client.py calls it with zeep and
# with plain HTTP. Folders with a client/ folder then have a second phase:
# svcgen generates the client project from the same WSDL file, client/
# check_client.cpp is built against it and run, first against the service
# served by spyne (spyne_server.py), then against the generated server in a
# fresh kxcontainer; each run must print exactly client/expected.txt.
# One line per check (PASS, FAIL, SKIP), then a summary; the exit status is 1
# when a check failed.
#
#   run_soap.sh [FOLDER ...]
#
# KX_TEST_BIN_DIR: where svcgen and kxcontainer are (default build/bin).
# KX_SOAP_KEEP=1 keeps the scratch folder and says where it is.
set -euo pipefail

soap_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
repo="$(cd "$soap_dir/../.." && pwd)"
bin_dir="${KX_TEST_BIN_DIR:-$repo/build/bin}"
bin_dir="$(cd "$bin_dir" && pwd)"
python=/usr/bin/python3
body_limit=65536

scratch="$(mktemp -d "${TMPDIR:-/tmp}/kx-soap.XXXXXX")"
container_pid=""
spyne_pid=""

# stop_pid PID TENTHS: SIGTERM, then SIGKILL after TENTHS tenths of a second.
# Returns the process's exit status, 255 when it had to be killed.
stop_pid() {
  local pid="$1" tenths="$2" status=0
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 1 "$tenths"); do
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

stop_container() {
  local status=0
  stop_pid "$container_pid" 150 || status=$?
  container_pid=""
  return "$status"
}

stop_spyne() {
  stop_pid "$spyne_pid" 50 || true
  spyne_pid=""
}

cleanup() {
  stop_container
  stop_spyne
  if [ "${KX_SOAP_KEEP:-0}" = 1 ]; then
    echo "scratch kept in $scratch"
  else
    rm -rf "$scratch"
  fi
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

for tool in svcgen kxcontainer kx_tryit_requests; do
  if [ ! -x "$bin_dir/$tool" ]; then
    echo "run_soap.sh: $bin_dir/$tool not found (build it, or set KX_TEST_BIN_DIR)" >&2
    exit 1
  fi
done
if ! "$python" -c 'import zeep' 2>/dev/null; then
  echo "run_soap.sh: $python cannot import zeep (scripts/setup.sh installs python3-zeep)" >&2
  exit 1
fi

have_spyne=1
"$python" -c 'import spyne' 2>/dev/null || have_spyne=0

# Reports the first lines of a log, indented, after a failure.
show() {
  sed -n "1,${2:-15}p" "$1" | sed 's/^/    | /'
}

# step WHAT LOG DIR COMMAND...: runs the command in DIR with its output in
# LOG; a PASS line, or a FAIL line with the log's errors (or its start).
# Returns the command's status.
step() {
  local what="$1" log="$2" dir="$3" status=0
  shift 3
  (cd "$dir" && "$@") >"$log" 2>&1 || status=$?
  if [ "$status" -eq 0 ]; then
    pass "$what"
  else
    fail "$what" "exit status $status"
    if grep -q -E 'error' "$log"; then
      grep -E -m15 -A3 'error' "$log" | sed 's/^/    | /'
    else
      show "$log" 20
    fi
  fi
  return "$status"
}

# await_url FILE PID TENTHS: the address a server started as PID prints on
# the first line of FILE, waiting at most TENTHS tenths of a second and no
# longer than the server lives; empty when none comes.
await_url() {
  local file="$1" pid="$2" tenths="$3" url=""
  for _ in $(seq 1 "$tenths"); do
    url="$(head -n1 "$file" 2>/dev/null | grep -o -m1 -E 'https?://[^ ]+' || true)"
    [ -n "$url" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  printf '%s' "$url"
}

# Starts kxcontainer on the deployed project of $work (app/, project/) and
# sets container_url to the address of the service of WSDL file $2. Returns 1,
# with a FAIL line named after $1, when it prints no address.
start_container() {
  local what="$1" wsdl="$2"
  "$bin_dir/kxcontainer" --webapp "$work/app" --lib-dir "$work/project" --port 0 --no-token \
    --home "$work/home" --log-dir "$work/logs" --threads 4 \
    --client-max-body-size "$body_limit" \
    >"$work/container.out" 2>"$work/container.err" &
  container_pid=$!
  local address
  address="$(await_url "$work/container.out" "$container_pid" 200)"
  if [ -z "$address" ]; then
    fail "$what" "no address printed"
    show "$work/container.err"
    stop_container
    return 1
  fi
  address="${address%%\?*}"
  address="${address%/}"
  container_base="$address"
  container_url="$address$("$python" "$soap_dir/soaptest.py" address-path "$wsdl")"
}

# Runs one folder: generate, build, deploy, call. Returns 1 at the first
# step that fails (the later ones cannot run).
run_folder() {
  local name="$1"
  local folder="$soap_dir/$name"
  local work="$scratch/$name"
  local wsdls=("$folder"/*.wsdl)
  if [ ! -f "${wsdls[0]}" ] || [ ${#wsdls[@]} -ne 1 ]; then
    fail "$name: setup" "the folder must hold exactly one WSDL file"
    return 1
  fi
  local wsdl="${wsdls[0]}"
  local project="$work/project"
  mkdir -p "$project" "$work/app/WEB-INF" "$work/home" "$work/logs"
  local lib_name="soap_${name}"
  printf 'type=server\nprojectName=%s\nserver=true\nsample=true\nmake=true\n' \
    "$lib_name" >"$project/startup.properties"

  step "$name: svcgen generates the server project" "$work/svcgen.log" "$project" \
    "$bin_dir/svcgen" -properties "$project/startup.properties" -compiler redhat-gcc "$wsdl" ||
    return 1

  # The test's implementation in place of each sample one.
  local impl missing=0
  for impl in "$folder"/impl/*Impl.cpp; do
    if [ ! -f "$project/$(basename "$impl")" ]; then
      fail "$name: sample $(basename "$impl") generated" "not in the project"
      missing=1
    fi
    cp "$impl" "$project/"
  done
  [ "$missing" = 0 ] || return 1
  for required in makefile web.xml; do
    if [ ! -f "$project/$required" ]; then
      fail "$name: $required generated" "not in the project"
      return 1
    fi
  done

  step "$name: the project builds" "$work/make.log" "$project" make -j1 || return 1
  if [ ! -f "$project/lib$lib_name.so" ]; then
    fail "$name: lib$lib_name.so built" "make made no such library"
    return 1
  fi

  # Deploy.
  cp "$project/web.xml" "$work/app/WEB-INF/web.xml"
  server_deployed=1
  start_container "$name: kxcontainer serves the project" "$wsdl" || return 1
  if [ -s "$work/container.err" ]; then
    # A servlet that could not be made is reported here; its requests get 404.
    fail "$name: kxcontainer serves the project" "problems at start"
    show "$work/container.err"
  else
    pass "$name: kxcontainer serves the project"
  fi
  local url="$container_url"
  echo "     $name: service at $url"

  # Call.
  local status=0
  KX_SOAP_BODY_LIMIT="$body_limit" \
    "$python" "$soap_dir/zeep_client.py" "$folder" "$wsdl" "$url" >"$work/client.out" 2>&1 ||
    status=$?
  sed 's/^/  /' "$work/client.out"
  passed=$((passed + $(grep -c '^PASS ' "$work/client.out" || true)))
  skipped=$((skipped + $(grep -c '^SKIP ' "$work/client.out" || true)))
  local client_failed
  client_failed=$(grep -c '^FAIL ' "$work/client.out" || true)
  failed=$((failed + client_failed))
  if [ "$status" -ne 0 ] && [ "$client_failed" -eq 0 ]; then
    fail "$name: zeep_client.py runs" "exit status $status"
  fi

  # The try-it page's requests: every operation once, from operations.xml.
  local served="${container_base#http://127.0.0.1:}"
  "$bin_dir/kx_tryit_requests" "$project" "${served%%/*}" "/${served#*/}" >"$work/tryit.out" 2>&1 ||
    true
  sed 's/^/  /' "$work/tryit.out"
  passed=$((passed + $(grep -c '^PASS ' "$work/tryit.out" || true)))
  local tryit_failed
  tryit_failed=$(grep -c '^FAIL ' "$work/tryit.out" || true)
  failed=$((failed + tryit_failed))
  if ! grep -q '^PASS ' "$work/tryit.out" && [ "$tryit_failed" -eq 0 ]; then
    fail "$name: kx_tryit_requests runs" "no result"
    show "$work/tryit.out"
  fi

  # Stop: SIGTERM ends the container with status 0 (255: killed after 15 s).
  local exit_status=0
  stop_container || exit_status=$?
  if [ "$exit_status" -eq 0 ]; then
    pass "$name: kxcontainer stops on SIGTERM"
  else
    fail "$name: kxcontainer stops on SIGTERM" "exit status $exit_status"
    show "$work/container.err"
  fi
  [ "$status" -eq 0 ]
}

# Compares the output of a check_client run ($2) with client/expected.txt.
compare_client() {
  local what="$1" output="$2" expected="$3" status="$4"
  if [ "$status" -ne 0 ]; then
    fail "$what" "check_client exit status $status"
    show "$output"
  elif diff -u "$expected" "$output" >"$output.diff"; then
    pass "$what"
  else
    fail "$what" "answers differ from client/expected.txt"
    sed -n '3,30p' "$output.diff" | grep -E '^[-+]' | sed 's/^/    | /'
  fi
}

# The client phase of a folder with client/: generate and build the client,
# build check_client.cpp, run it against spyne and against the generated
# server. Needs the WSDL file; the kxcontainer run needs the server project
# deployed by run_folder.
run_client() {
  local name="$1"
  local folder="$soap_dir/$name"
  local work="$scratch/$name"
  local wsdls=("$folder"/*.wsdl)
  [ -f "${wsdls[0]}" ] && [ ${#wsdls[@]} -eq 1 ] || return 1
  local wsdl="${wsdls[0]}"
  local client="$work/client"
  local lib_name="client_${name}"
  local expected="$folder/client/expected.txt"
  if [ ! -f "$folder/client/check_client.cpp" ] || [ ! -f "$expected" ]; then
    fail "$name: client phase" "client/ must hold check_client.cpp and expected.txt"
    return 1
  fi
  mkdir -p "$client"
  printf 'type=client\nprojectName=%s\nclient=true\nserver=false\nmake=true\n' \
    "$lib_name" >"$client/startup.properties"

  # Generate and build the client library, then the check program.
  local check="$work/check_client"
  step "$name: svcgen generates the client project" "$work/client-svcgen.log" "$client" \
    "$bin_dir/svcgen" -noserver -properties "$client/startup.properties" \
    -compiler redhat-gcc "$wsdl" || return 1
  step "$name: the client library builds" "$work/client-make.log" "$client" \
    make -j1 || return 1
  # shellcheck disable=SC2046  # pkg-config's flags are separate words
  step "$name: client/check_client.cpp builds against the client" "$work/check-build.log" \
    "$client" g++ -std=c++17 -Wall -O1 -I"$client" -I"$soap_dir" \
    $(pkg-config --cflags libxml-2.0 libcurl) "$folder/client/check_client.cpp" \
    "$client/lib$lib_name.a" $(pkg-config --libs libxml-2.0 libcurl) -o "$check" || return 1

  local status result=0
  # Against spyne.
  if [ "$have_spyne" = 0 ]; then
    skip "$name: generated client calls spyne" "$python cannot import spyne (python3-spyne)"
  else
    "$python" "$soap_dir/spyne_server.py" --port 0 "$name" \
      >"$work/spyne.out" 2>"$work/spyne.err" &
    spyne_pid=$!
    local spyne_url
    spyne_url="$(await_url "$work/spyne.out" "$spyne_pid" 100)"
    if [ -z "$spyne_url" ]; then
      fail "$name: generated client calls spyne" "spyne_server.py printed no address"
      show "$work/spyne.err"
      result=1
    else
      echo "     $name: spyne at $spyne_url"
      status=0
      "$check" "$spyne_url" >"$work/check-spyne.out" 2>&1 || status=$?
      compare_client "$name: generated client calls spyne" "$work/check-spyne.out" \
        "$expected" "$status"
    fi
    stop_spyne
  fi

  # Against the generated server, deployed afresh: the calls may change the
  # service's state, and the zeep phase has made its own.
  if [ "$server_deployed" != 1 ]; then
    skip "$name: generated client calls the generated server" "the server project is not deployed"
  elif start_container "$name: generated client calls the generated server" "$wsdl"; then
    status=0
    "$check" "$container_url" >"$work/check-server.out" 2>&1 || status=$?
    compare_client "$name: generated client calls the generated server" \
      "$work/check-server.out" "$expected" "$status"
    stop_container
  else
    result=1
  fi
  return "$result"
}

folders=()
if [ $# -gt 0 ]; then
  for arg in "$@"; do
    arg="${arg%/}"
    arg="${arg##*/}"
    if [ ! -d "$soap_dir/$arg" ]; then
      echo "run_soap.sh: no folder $soap_dir/$arg" >&2
      exit 2
    fi
    folders+=("$arg")
  done
else
  for dir in "$soap_dir"/*/; do
    dir="${dir%/}"
    if [ -f "$dir/calls.py" ]; then
      folders+=("${dir##*/}")
    fi
  done
fi

for name in "${folders[@]}"; do
  echo "== $name"
  failed_before=$failed
  server_deployed=0
  run_folder "$name" || true
  if [ -d "$soap_dir/$name/client" ]; then
    run_client "$name" || true
  fi
  if [ "$failed" -ne "$failed_before" ]; then
    failed_folders+=("$name")
  fi
done

echo "soap peers: $passed passed, $failed failed, $skipped skipped" \
  "(${#folders[@]} folders${failed_folders[*]:+; failing: ${failed_folders[*]}})"
[ "$failed" -eq 0 ]
