#!/usr/bin/env bash
# Runs Korvata on a display without a user (Xvfb): starts the program,
# waits for its main window, quits it as a user would (Ctrl+Q; Xvfb has no
# window manager to close it), and exits with the program's own status. A
# program that ends by itself is waited for.
# Usage: run-headless.sh PROGRAM [ARGS...]
set -uo pipefail
program="$1"
shift
"$program" "$@" &
pid=$!
deadline=$((SECONDS + 60))
window=""
while kill -0 "$pid" 2>/dev/null && [ -z "$window" ]; do
    if [ "$SECONDS" -ge "$deadline" ]; then
        echo "run-headless: no Korvata window after 60 s" >&2
        kill "$pid"
        wait "$pid"
        exit 1
    fi
    window="$(xdotool search --onlyvisible --pid "$pid" --name '^Korvata$' 2>/dev/null | head -n 1)"
    [ -n "$window" ] || sleep 0.2
done
if [ -n "$window" ]; then
    echo "run-headless: Korvata is running (window $window); quitting it"
    xdotool windowfocus --sync "$window" key --clearmodifiers ctrl+q
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "run-headless: Korvata did not quit within 10 s of Ctrl+Q" >&2
        kill -9 "$pid"
        wait "$pid"
        exit 1
    fi
fi
wait "$pid"
status=$?
echo "run-headless: Korvata ended with status $status"
exit "$status"
