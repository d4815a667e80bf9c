#!/usr/bin/env bash
# The SOAP peer tests: for each folder of tests/soap (or those named), svcgen
# generates a server project from the folder's WSDL file, the folder's
# impl/<Port>Impl.cpp replaces the sample implementation, make builds the
# library, kxcontainer serves it, and zeep_client.py calls it with zeep and
# with plain HTTP. One line per check (PASS, FAIL, SKIP), then a summary;
# the exit status is 1 when a check failed.
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

stop_container() {
  if [ -n "$container_pid" ] && kill -0 "$container_pid" 2>/dev/null; then
    kill -TERM "$container_pid" 2>/dev/null || true
    for _ in $(seq 1 150); do
      kill -0 "$container_pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$container_pid" 2>/dev/null; then
      kill -KILL "$container_pid" 2>/dev/null || true
    fi
    wait "$container_pid" 2>/dev/null || true
  fi
  container_pid=""
}

cleanup() {
  stop_container
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

for tool in svcgen kxcontainer; do
  if [ ! -x "$bin_dir/$tool" ]; then
    echo "run_soap.sh: $bin_dir/$tool not found (build it, or set KX_TEST_BIN_DIR)" >&2
    exit 1
  fi
done
if ! "$python" -c 'import zeep' 2>/dev/null; then
  echo "run_soap.sh: $python cannot import zeep (scripts/setup.sh installs python3-zeep)" >&2
  exit 1
fi

# Reports the first lines of a log, indented, after a failure.
show() {
  sed -n "1,${2:-15}p" "$1" | sed 's/^/    | /'
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

  # Generate.
  if (cd "$project" && "$bin_dir/svcgen" -properties "$project/startup.properties" \
        -compiler redhat-gcc "$wsdl") >"$work/svcgen.log" 2>&1; then
    pass "$name: svcgen generates the server project"
  else
    fail "$name: svcgen generates the server project" "exit status $?"
    show "$work/svcgen.log"
    return 1
  fi

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

  # Build.
  if (cd "$project" && make -j1) >"$work/make.log" 2>&1; then
    pass "$name: the project builds"
  else
    fail "$name: the project builds" "make failed"
    if grep -q -m1 -E 'error' "$work/make.log"; then
      grep -E -m15 -A3 'error' "$work/make.log" | sed 's/^/    | /'
    else
      show "$work/make.log" 20
    fi
    return 1
  fi
  if [ ! -f "$project/lib$lib_name.so" ]; then
    fail "$name: lib$lib_name.so built" "make made no such library"
    return 1
  fi

  # Deploy.
  cp "$project/web.xml" "$work/app/WEB-INF/web.xml"
  "$bin_dir/kxcontainer" --webapp "$work/app" --lib-dir "$project" --port 0 --no-token \
    --home "$work/home" --log-dir "$work/logs" --threads 4 \
    --client-max-body-size "$body_limit" \
    >"$work/container.out" 2>"$work/container.err" &
  container_pid=$!
  local address=""
  for _ in $(seq 1 200); do
    address="$(head -n1 "$work/container.out" | grep -o -m1 -E 'https?://[^ ]+' || true)"
    [ -n "$address" ] && break
    kill -0 "$container_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$address" ]; then
    fail "$name: kxcontainer serves the project" "no address printed"
    show "$work/container.err"
    stop_container
    return 1
  fi
  if [ -s "$work/container.err" ]; then
    # A servlet that could not be made is reported here; its requests get 404.
    fail "$name: kxcontainer serves the project" "problems at start"
    show "$work/container.err"
  else
    pass "$name: kxcontainer serves the project"
  fi
  address="${address%%\?*}"
  address="${address%/}"
  local path
  path="$("$python" "$soap_dir/soaptest.py" address-path "$wsdl")"
  local url="$address$path"
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

  # Stop: SIGTERM ends the container with status 0.
  kill -TERM "$container_pid" 2>/dev/null || true
  local stopped=0 exit_status=0
  for _ in $(seq 1 150); do
    if ! kill -0 "$container_pid" 2>/dev/null; then
      stopped=1
      break
    fi
    sleep 0.1
  done
  if [ "$stopped" = 1 ]; then
    wait "$container_pid" || exit_status=$?
    container_pid=""
    if [ "$exit_status" -eq 0 ]; then
      pass "$name: kxcontainer stops on SIGTERM"
    else
      fail "$name: kxcontainer stops on SIGTERM" "exit status $exit_status"
      show "$work/container.err"
    fi
  else
    fail "$name: kxcontainer stops on SIGTERM" "still running after 15 s"
    stop_container
  fi
  [ "$status" -eq 0 ]
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
  if ! run_folder "$name"; then
    failed_folders+=("$name")
  fi
done

echo "soap peers: $passed passed, $failed failed, $skipped skipped" \
  "(${#folders[@]} folders${failed_folders[*]:+; failing: ${failed_folders[*]}})"
[ "$failed" -eq 0 ]
