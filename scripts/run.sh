#!/usr/bin/env bash
# Installs what Tabulon needs, builds it and runs it. On a machine without a display it
# runs on a virtual one (Xvfb with openbox), writes a picture of the screen to
# tabulon-screenshot.png (or $TABULON_SCREENSHOT) and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tabulon tabulon-xshot

if [ -n "${DISPLAY:-}" ]; then
    exec ./build/app/tabulon "$@"
fi

shot="${TABULON_SCREENSHOT:-$PWD/tabulon-screenshot.png}"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display and tells its number.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "run.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1
./build/app/tabulon "$@" &
pids+=($!)
sleep 5
./build/tools/tabulon-xshot "$shot"
echo "Tabulon ran on the virtual display $DISPLAY; a picture of the screen is in $shot"
