# What the SOAP peer scripts share (run_soap.sh, run_shared.sh,
# check_sample_client.sh): the tools, PASS, FAIL and SKIP lines with their
# counts, steps run in a folder, and servers started and stopped by pid.
# Sourced after soap_dir is set.

python=/usr/bin/python3
bin_dir="$(cd "${KX_TEST_BIN_DIR:-$soap_dir/../../build/bin}" 2>/dev/null && pwd || true)"
passed=0 failed=0 skipped=0
# need TOOL...: the tools in $bin_dir and zeep for $python, else exit 1 naming what is missing.
need() {
  local tool
  for tool in "$@"; do
    [ -x "$bin_dir/$tool" ] || { echo "$0: no $bin_dir/$tool (set KX_TEST_BIN_DIR)" >&2; exit 1; }
  done
  "$python" -c 'import zeep' 2>/dev/null ||
    { echo "$0: $python cannot import zeep (scripts/setup.sh installs python3-zeep)" >&2; exit 1; }
}
# The scratch folder removed, or kept with KX_SOAP_KEEP=1.
remove_scratch() { [ "${KX_SOAP_KEEP:-0}" = 1 ] && echo "scratch kept in $scratch" || rm -rf "$scratch"; }
pass() { echo "PASS $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1${2:+: $2}"; failed=$((failed + 1)); }
skip() { echo "SKIP $1${2:+: $2}"; skipped=$((skipped + 1)); }
# The first lines of a log, indented, after a failure.
show() { sed -n "1,${2:-15}p" "$1" | sed 's/^/    | /'; }

# stop_pid PID TENTHS: SIGTERM, SIGKILL after TENTHS tenths of a second; its exit status.
stop_pid() {
  [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
  kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 1 "$2"); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null
}
# stop_group PID TENTHS: the same for a process started with setsid and
# everything it started (make run and the server under it): SIGTERM to its
# process group, SIGKILL to what is left after TENTHS tenths of a second.
stop_group() {
  [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
  kill -TERM -- "-$1" 2>/dev/null || kill -TERM "$1" 2>/dev/null || true
  for _ in $(seq 1 "$2"); do kill -0 -- "-$1" 2>/dev/null || break; sleep 0.1; done
  kill -KILL -- "-$1" 2>/dev/null || true
  wait "$1" 2>/dev/null
}
# step WHAT LOG DIR COMMAND...: the command in DIR, PASS or FAIL with its errors.
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

# await_url FILE PID TENTHS: the address ending the first line server PID prints
# in FILE (without its query), or empty. The last word: kxcontainer's line
# begins with the project's display-name, which may hold an address too.
await_url() {
  local url=""
  for _ in $(seq 1 "$3"); do
    url="$(head -n1 "$1" 2>/dev/null | grep -o -E 'https?://[^ ?]+(\?[^ ]*)?$' | sed 's/?.*//' || true)"
    [ -n "$url" ] && break
    kill -0 "$2" 2>/dev/null || break
    sleep 0.1
  done
  printf '%s' "${url%/}"
}

# counted OUT: a checker's output, its PASS and FAIL lines counted.
counted() {
  sed 's/^/  /' "$1"
  passed=$((passed + $(grep -c '^PASS ' "$1" || true)))
  failed=$((failed + $(grep -c '^FAIL ' "$1" || true)))
}

# client_project WHAT DIR WSDL NAME: svcgen writes the client project NAME of
# WSDL (samples and makefile) into DIR, and make builds its library and
# sample program; PASS or FAIL lines for both steps. Needs $bin_dir and $work.
client_project() {
  mkdir -p "$2"
  printf 'type=client\nprojectName=%s\nclient=true\nserver=false\nsample=true\nmake=true\n' \
    "$4" >"$2/startup.properties"
  step "$1: svcgen generates the client project" "$work/client-svcgen.log" "$2" \
    "$bin_dir/svcgen" -noserver -properties "$2/startup.properties" \
    -compiler redhat-gcc "$3" || return 1
  step "$1: the client project builds" "$work/client-make.log" "$2" make -j "${KX_MAKE_JOBS:-1}"
}

# sample_check WHAT DIR WSDL: the sample program of the client project in DIR
# against validating_server.py (check_sample_client.sh), its lines counted.
sample_check() {
  "$soap_dir/check_sample_client.sh" "$2" "$3" >"$work/sample-check.out" 2>&1 || true
  local label
  label="$(printf '%s' "$1" | sed 's/[\/&]/\\&/g')"
  sed -i "s/^\(PASS\|FAIL\) sample client: /\1 $label: sample client: /" "$work/sample-check.out"
  if grep -q -E '^(PASS|FAIL) ' "$work/sample-check.out"; then
    counted "$work/sample-check.out"
  else
    skip "$1: the sample client's requests validate" "$(head -n1 "$work/sample-check.out")"
  fi
}
