#!/usr/bin/env bash
# A longer fuzzing campaign: builds the libFuzzer targets (clang, the same
# configuration as the test script's fuzz build, folder build/fuzz) when
# needed, then runs every target for MINUTES minutes, two at a time, at a
# lower priority. Each target keeps its corpus in build/fuzz/corpus/<target>
# (so the next campaign starts from what this one found) and its crash
# files in build/fuzz/crashes/<target>. Prints per target the executions,
# the coverage (cov:, ft:) and any crash files; fails when a target
# crashed or did not run.
#
#   tools/fuzz.sh 10       # ten minutes per target
#   tools/fuzz.sh 0.2      # a quick try
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/fuzz"

if [ $# -ne 1 ] || ! [[ "$1" =~ ^[0-9]+([.][0-9]+)?$ ]]; then
    echo "usage: $0 MINUTES   (minutes per target, e.g. 10 or 0.2)" >&2
    exit 2
fi
seconds="$(awk -v m="$1" 'BEGIN { s = int(m * 60 + 0.5); print (s < 1 ? 1 : s) }')"

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
echo "=== fuzz build ==="
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKVT_SANITIZE= -DKVT_BUILD_TESTS=ON \
    -DKVT_BUILD_FUZZERS=ON -DKVT_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j 2 --target kvt_fuzzers

# The targets are the fuzz smoke tests that CTest knows.
mapfile -t targets < <(ctest --test-dir "$build" -N -R '^fuzz\.' |
    sed -n 's/^ *Test *#[0-9]*: fuzz\.\(.*\)$/\1/p')
if [ "${#targets[@]}" -eq 0 ]; then
    echo "FAILED: no fuzz targets in $build" >&2
    exit 1
fi

logs="$build/fuzz-logs"
mkdir -p "$logs"
run_target() {
    local target="$1" seconds="$2" build="$3" logs="$4"
    local corpus="$build/corpus/$target" crashes="$build/crashes/$target"
    mkdir -p "$corpus" "$crashes"
    local program
    program="$(find "$build/tests/fuzz" -maxdepth 1 -type f -name "$target" -perm -u+x)"
    nice -n 10 "$program" -max_total_time="$seconds" -max_len=512 -print_final_stats=1 \
        -artifact_prefix="$crashes/" "$corpus" >"$logs/$target.log" 2>&1
    echo $? >"$logs/$target.status"
}
export -f run_target

echo "=== fuzzing ${#targets[@]} targets for ${seconds} s each, two at a time ==="
printf '%s\n' "${targets[@]}" |
    xargs -P 2 -I{} bash -c 'run_target "$1" "$2" "$3" "$4"' _ {} "$seconds" "$build" "$logs"

failed=0
printf '%-26s %12s %8s %8s  %s\n' target executions cov ft crashes
for target in "${targets[@]}"; do
    log="$logs/$target.log"
    executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    final="$(grep -E 'cov: [0-9]+' "$log" | tail -n 1 || true)"
    cov="$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$final")"
    ft="$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$final")"
    mapfile -t found < <(find "$build/crashes/$target" -maxdepth 1 -type f | sort)
    status="$(cat "$logs/$target.status" 2>/dev/null || echo missing)"
    printf '%-26s %12s %8s %8s  %s\n' "$target" "${executions:-?}" "${cov:-?}" "${ft:-?}" \
        "${#found[@]}"
    for file in "${found[@]}"; do
        echo "    crash file: $file"
    done
    if [ "${#found[@]}" -ne 0 ] || [ "$status" != 0 ] || [ -z "$executions" ]; then
        echo "    FAILED (exit status $status; log $log)"
        failed=1
    fi
done
exit "$failed"
