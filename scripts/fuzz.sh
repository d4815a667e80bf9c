#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz/ and runs
# them, two at a time:
#   scripts/fuzz.sh [seconds] [target...]
# seconds: how long each target runs (default 600); targets: the names of
# fuzz/CMakeLists.txt (fuzz_properties, fuzz_template ...), default all.
# Each target starts from its committed seeds in fuzz/corpus/<target>/ and
# keeps what it finds in build-fuzz/corpus/<target>/; crashes, leaks and
# timeouts are written to build-fuzz/findings/<target>/ and the log of each
# run to build-fuzz/logs/<target>.log. The exit status is 1 when any target
# found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=600
if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

# clang with libFuzzer and the sanitizer runtimes, and what the project needs
# to build (the same packages scripts/setup.sh installs for the libraries).
packages=(
  clang libclang-rt-14-dev cmake ninja-build pkg-config
  libboost1.81-dev libspdlog-dev libcli11-dev libxml2-dev libre2-dev
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  echo "fuzz: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

all_targets=(
  fuzz_properties fuzz_error_file fuzz_template fuzz_form_decoder
  fuzz_pattern_list fuzz_command_line fuzz_deployment_descriptor
)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=("${all_targets[@]}")
fi
for t in "${targets[@]}"; do
  if [[ ! " ${all_targets[*]} " =~ " $t " ]]; then
    echo "fuzz: unknown target $t (known: ${all_targets[*]})" >&2
    exit 2
  fi
done

build=build-fuzz
cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ \
  -DKX_BUILD_FUZZ=ON -DKX_BUILD_TESTS=OFF -DKX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

# Runs one target for the given time; its summary line goes to the console.
run_target() {
  local target=$1
  local corpus="$build/corpus/$target"
  local findings="$build/findings/$target"
  local log="$build/logs/$target.log"
  mkdir -p "$corpus" "$findings" "$build/logs"
  local options=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10
                 -print_final_stats=1 -artifact_prefix="$findings/")
  if [ -f "fuzz/dictionaries/$target.dict" ]; then
    options+=(-dict="fuzz/dictionaries/$target.dict")
  fi
  local status=0
  "$build/bin/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  local last
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
  local runs
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' || true)
  if [ $status -eq 0 ]; then
    echo "fuzz: $target ok: ${runs:-?} runs; last: $last"
  else
    echo "fuzz: $target FOUND something (status $status); see $log and $findings/"
  fi
  return $status
}

# At most two fuzzers at a time: the machine has two cores.
failed=0
pids=()
names=()
for target in "${targets[@]}"; do
  if [ ${#pids[@]} -ge 2 ]; then
    if ! wait "${pids[0]}"; then failed=1; fi
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
  run_target "$target" &
  pids+=($!)
  names+=("$target")
done
for pid in "${pids[@]}"; do
  if ! wait "$pid"; then failed=1; fi
done
exit $failed
