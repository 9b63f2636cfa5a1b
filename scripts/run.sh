#!/usr/bin/env bash
# Installs what Tabulon needs, builds it and runs it against this desktop's browser
# windows (Chromium on X11). On a machine without a display it runs on a virtual one
# (Xvfb with openbox): it opens the demonstration pages of scripts/demo in Chromium,
# runs Tabulon against those windows, writes a picture of the screen to
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
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
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
# Nothing of this run lands in the user's home: the browser's profile and caches and
# Tabulon's Favourites folder are in the temporary folder.
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" \
    XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data"
mkdir -m 700 "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"

openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# The demonstration pages, each in a window of its own, in a Chromium that listens
# for DevTools on loopback; Tabulon attaches to it.
chromium="${TABULON_CHROMIUM:-/usr/lib/chromium/chromium}"
profile="$work/chromium"
flags=(--user-data-dir="$profile" --test-type --no-first-run --no-default-browser-check
    --disable-background-networking --disable-component-update --disable-sync)
[ "$(id -u)" -eq 0 ] && flags+=(--no-sandbox)
demo="file://$PWD/scripts/demo"
"$chromium" "${flags[@]}" --remote-debugging-port=0 --window-position=470,60 \
    --window-size=800,560 "$demo/news.html" >"$work/chromium.log" 2>&1 &
pids+=($!)
port_file="$profile/DevToolsActivePort" # its port, then its path, once it listens
for _ in $(seq 200); do [ -f "$port_file" ] && [ "$(wc -l <"$port_file")" = 2 ] && break; sleep 0.1; done
[ -f "$port_file" ] ||
    { echo "run.sh: Chromium did not start" >&2; cat "$work/chromium.log" >&2; exit 1; }
for page in weather.html manual.html; do
    # The running browser opens the window; this second start ends at once.
    "$chromium" "${flags[@]}" --new-window "$demo/$page" >>"$work/chromium.log" 2>&1
done
export TABULON_DEVTOOLS="ws://127.0.0.1:$(sed -n 1p "$port_file")$(sed -n 2p "$port_file")"

./build/app/tabulon "$@" &
pids+=($!)
# Tabulon lists the windows at start and again every two seconds.
sleep 6
./build/tools/tabulon-xshot "$shot"
echo "Tabulon ran on the virtual display $DISPLAY with Chromium's windows of scripts/demo;" \
    "a picture of the screen is in $shot"
