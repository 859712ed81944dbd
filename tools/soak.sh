#!/usr/bin/env bash
# Soak run: the built korvata against korvata-sim over VXI-11 under Xvfb for
# DURATION seconds, switching functions and views and saving now and then;
# then the start, memory and exit figures (tools/soak.py says what is judged).
#
#   tools/soak.sh 1800        # thirty minutes
#   tools/soak.sh 120 2.0     # two minutes, memory growth limit 2 MB
#
# Uses the release build of tools/test.sh, or else that of tools/run.sh.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 DURATION_SECONDS [LIMIT_MB]" >&2
    exit 2
fi
for build in "$root/build/release" "$root/build/run"; do
    if [ -x "$build/app/korvata" ] && [ -x "$build/sim/korvata-sim" ]; then
        exec /usr/bin/python3 "$root/tools/soak.py" "$build/app/korvata" \
            "$build/sim/korvata-sim" "$@"
    fi
done
echo "no built korvata: run 'bash tools/run.sh' or 'bash tools/test.sh' first" >&2
exit 1
