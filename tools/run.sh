#!/usr/bin/env bash
# Installs what is missing, builds, and runs Korvata on the built-in
# simulated meter.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/tools/install-deps.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKVT_BUILD_TESTS=OFF -DKVT_BUILD_BENCH=OFF
cmake --build "$root/build/release" --target korvata korvata-sim
KORVATA_VISA_SIMULATE=1 exec "$root/build/release/app/korvata" "$@"
