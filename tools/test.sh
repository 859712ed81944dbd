#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# the AddressSanitizer+UBSan and ThreadSanitizer builds, and a short run of
# each libFuzzer target (clang). Also checks that the core builds with the
# Unix Makefiles generator in parallel with the Release build type ("make"
# build). Warnings are errors in all of them.
# KVT_TEST_BUILDS limits the builds, e.g. KVT_TEST_BUILDS="release".
# Every build sets all of its options explicitly, so a folder configured
# earlier with other options (by hand or by another script) is corrected.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/install-deps.sh"
"$root/tools/start-services.sh"

# The fewest tests a build may run: a build that runs fewer (for instance
# none, because its folder was configured without tests) fails the script.
# Raise these as tests are added. The sanitizer builds leave out the tests
# that run the built program or package under Xvfb and those that load the
# VISA library into pyvisa or a C program.
min_tests=633
min_sanitizer_tests=616
min_fuzz_runs=9

jobs="$(nproc)"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Warnings are errors in every build the project checks itself.
common=(-DKVT_BUILD_TESTS=ON -DKVT_BUILD_FUZZERS=OFF -DKVT_WARNINGS_AS_ERRORS=ON "${launcher[@]}")

# Runs ctest with the given arguments and fails unless it ran at least
# $1 tests (ctest itself fails the script when a test fails).
run_ctest() {
    local least="$1" label="$2"
    shift 2
    local log
    log="$(mktemp)"
    ctest "$@" 2>&1 | tee "$log"
    local ran
    ran="$(sed -n 's/.*tests failed out of \([0-9][0-9]*\).*/\1/p' "$log" | tail -n 1)"
    rm -f "$log"
    if [ -z "$ran" ] || [ "$ran" -lt "$least" ]; then
        echo "FAILED: the $label build ran ${ran:-no} tests; it must run at least $least" >&2
        exit 1
    fi
    echo "=== $label: $ran tests ran ==="
}

builds="${KVT_TEST_BUILDS:-release asan tsan fuzz make}"
for build in $builds; do
    case "$build" in
        release)
            flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_SANITIZE= -DKVT_BUILD_BENCH=ON)
            least=$min_tests
            ;;
        asan)
            flags=(-DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=address -DKVT_BUILD_BENCH=OFF)
            least=$min_sanitizer_tests
            ;;
        tsan)
            flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_SANITIZE=thread -DKVT_BUILD_BENCH=OFF)
            least=$min_sanitizer_tests
            ;;
        fuzz)
            echo "=== fuzz build ==="
            CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja \
                -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_SANITIZE= -DKVT_BUILD_TESTS=ON \
                -DKVT_BUILD_FUZZERS=ON -DKVT_BUILD_BENCH=OFF -DKVT_WARNINGS_AS_ERRORS=ON \
                "${launcher[@]}"
            cmake --build "$root/build/fuzz" -j "$jobs" --target kvt_fuzzers
            echo "=== fuzz smoke runs ==="
            run_ctest "$min_fuzz_runs" fuzz --test-dir "$root/build/fuzz" -j "$jobs" \
                --output-on-failure -R '^fuzz\.'
            continue
            ;;
        make)
            # Unix Makefiles, CMake's default generator, in parallel, with
            # the Release build type (-O3) most users pick: the targets with
            # generated sources (VXI-11 stubs) and the program. The
            # optimiser's warnings differ from those at -O2, so they are
            # errors here too.
            echo "=== make build ==="
            cmake -S "$root" -B "$root/build/make" -G "Unix Makefiles" \
                -DCMAKE_BUILD_TYPE=Release -DKVT_SANITIZE= -DKVT_BUILD_TESTS=OFF \
                -DKVT_BUILD_BENCH=OFF -DKVT_BUILD_FUZZERS=OFF -DKVT_WARNINGS_AS_ERRORS=ON \
                "${launcher[@]}"
            cmake --build "$root/build/make" -j "$jobs" --target korvata korvata-sim korvata-visa
            continue
            ;;
        *) echo "unknown build $build" >&2; exit 2 ;;
    esac
    echo "=== $build build ==="
    cmake -S "$root" -B "$root/build/$build" -G Ninja "${flags[@]}" "${common[@]}"
    cmake --build "$root/build/$build" -j "$jobs"
    echo "=== $build tests ==="
    run_ctest "$least" "$build" --test-dir "$root/build/$build" -j "$jobs" \
        --output-on-failure --timeout 300
done
