#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build,
# the AddressSanitizer+UBSan and ThreadSanitizer builds, and a short run of
# each libFuzzer target (clang).
# KVT_TEST_BUILDS limits the builds, e.g. KVT_TEST_BUILDS="release".
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/install-deps.sh"
"$root/tools/start-services.sh"

jobs="$(nproc)"
builds="${KVT_TEST_BUILDS:-release asan tsan fuzz}"
for build in $builds; do
    case "$build" in
        release) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
        asan) flags=(-DCMAKE_BUILD_TYPE=Debug -DKVT_SANITIZE=address -DKVT_BUILD_BENCH=OFF) ;;
        tsan) flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_SANITIZE=thread -DKVT_BUILD_BENCH=OFF) ;;
        fuzz)
            echo "=== fuzz build ==="
            CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja \
                -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_BUILD_FUZZERS=ON -DKVT_BUILD_BENCH=OFF
            cmake --build "$root/build/fuzz" -j "$jobs" --target kvt_fuzzers
            echo "=== fuzz smoke runs ==="
            ctest --test-dir "$root/build/fuzz" -j "$jobs" --output-on-failure -R '^fuzz\.'
            continue
            ;;
        *) echo "unknown build $build" >&2; exit 2 ;;
    esac
    echo "=== $build build ==="
    cmake -S "$root" -B "$root/build/$build" -G Ninja "${flags[@]}"
    cmake --build "$root/build/$build" -j "$jobs"
    echo "=== $build tests ==="
    ctest --test-dir "$root/build/$build" -j "$jobs" --output-on-failure --timeout 300
done
