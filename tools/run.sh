#!/usr/bin/env bash
# Installs what is missing, builds, and runs Korvata on the built-in
# simulated meter. Uses its own build folder (build/run), so it never
# changes the options of the folders that tools/test.sh builds.
# With no display, the program runs under Xvfb, connects to the simulated
# meter by real input events, and a screenshot and the readings are saved
# (tools/headless_demo.py).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/install-deps.sh"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$root/build/run" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKVT_SANITIZE= -DKVT_BUILD_TESTS=OFF -DKVT_BUILD_BENCH=OFF -DKVT_BUILD_FUZZERS=OFF \
    "${launcher[@]}"
cmake --build "$root/build/run" --target korvata korvata-sim
export KORVATA_VISA_SIMULATE=1
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 \
        "$root/tools/headless_demo.py" "$root/build/run/app/korvata" \
        "$root/build/run/korvata-screenshot.png"
fi
exec "$root/build/run/app/korvata" "$@"
