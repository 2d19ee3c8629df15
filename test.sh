#!/bin/bash
# Builds the suite and runs every test: the plain build, the ASan+UBSan
# build, the threaded tests under TSan and the libFuzzer targets briefly.
# TARVIK_TEST_BUILDS picks a subset ("plain asan tsan fuzz").
set -uo pipefail
cd "$(dirname "$0")"
tools/setup/deps.sh || exit 1

builds=${TARVIK_TEST_BUILDS:-"plain asan tsan fuzz"}
jobs=$(nproc)
passed=0
failed=0
report=()

# run_build NAME DIR CTEST-ARGS -- CMAKE-ARGS
run_build() {
  local name=$1 dir=$2 filter=$3
  shift 4
  echo "=== $name build ($dir) ==="
  mkdir -p "$dir"
  if ! cmake -S . -B "$dir" -G Ninja "$@" >"$dir/configure.log" 2>&1; then
    cat "$dir/configure.log"
    report+=("$name: configure failed")
    failed=$((failed + 1))
    return
  fi
  if ! cmake --build "$dir" -j"$jobs"; then
    report+=("$name: build failed")
    failed=$((failed + 1))
    return
  fi
  local log="$dir/ctest.log"
  # shellcheck disable=SC2086
  ctest --test-dir "$dir" --output-on-failure -j"$jobs" $filter 2>&1 | tee "$log"
  local line p f
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    if grep -q 'No tests were found' "$log"; then
      report+=("$name: no tests")
      return
    fi
    report+=("$name: ctest did not finish")
    failed=$((failed + 1))
    return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  p=$((total - f))
  passed=$((passed + p))
  failed=$((failed + f))
  report+=("$name: $line")
}

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tools/setup/lsan.supp:print_suppressions=0}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}

for b in $builds; do
  case $b in
    plain) run_build plain build "" -- -DCMAKE_BUILD_TYPE=RelWithDebInfo ;;
    asan) run_build "ASan+UBSan" build-asan "" -- -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=address ;;
    tsan) run_build TSan build-tsan "-L threaded" -- -DCMAKE_BUILD_TYPE=Debug -DTARVIK_SANITIZE=thread -DTARVIK_BUILD_GUI=OFF ;;
    fuzz) CC=clang CXX=clang++ run_build libFuzzer build-fuzz "-L fuzz" -- -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_FUZZ=ON ;;
    *) echo "unknown build $b" >&2; exit 2 ;;
  esac
done

echo
echo "=== summary ==="
printf '%s\n' "${report[@]}"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
