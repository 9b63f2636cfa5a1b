#!/usr/bin/env bash
# Installs what Tabulon needs, builds it and runs it against this desktop's browser
# windows (Chromium on X11). On a machine without a display it runs on a virtual one
# (Xvfb with openbox): it opens the demonstration pages of scripts/demo in Tabulon's own
# Chromium, and one page each in a Chromium and a Firefox that reach Tabulon through the
# browser extension, runs Tabulon against all those windows, tiles them with
# "均等（Webウィンドウのみ）", writes a picture of the screen to tabulon-screenshot.png
# (or $TABULON_SCREENSHOT) and stops.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tabulon tabulon-bridge tabulon_extension tabulon-xshot

if [ -n "${DISPLAY:-}" ]; then
    exec ./build/app/tabulon "$@"
fi

shot="${TABULON_SCREENSHOT:-$PWD/tabulon-screenshot.png}"
work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    # A browser's helper processes may still be writing to its profile for a moment.
    rm -rf "$work" 2>/dev/null || { sleep 1; rm -rf "$work" || true; }
}
trap cleanup EXIT

# Xvfb picks a free display and tells its number.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "run.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$work/display")"
# Nothing of this run lands in the user's home: the browsers' profiles, the bridge's
# host manifests and socket, and Tabulon's Favourites folder are in the temporary folder.
export HOME="$work/home"
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$HOME/.config" \
    XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_DATA_HOME"

# A session bus of this run's own, so that the commands below reach this Tabulon.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/bus" ] && break; sleep 0.1; done
DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus")"
export DBUS_SESSION_BUS_ADDRESS

openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# The demonstration pages, each in a window of its own, in a Chromium that listens
# for DevTools on loopback; Tabulon attaches to it.
chromium="${TABULON_CHROMIUM:-/usr/lib/chromium/chromium}"
profile="$work/chromium"
flags=(--test-type --no-first-run --no-default-browser-check
    --disable-background-networking --disable-component-update --disable-sync)
[ "$(id -u)" -eq 0 ] && flags+=(--no-sandbox)
demo="file://$PWD/scripts/demo"
"$chromium" "${flags[@]}" --user-data-dir="$profile" --remote-debugging-port=0 --window-position=470,60 \
    --window-size=800,560 "$demo/news.html" >"$work/chromium.log" 2>&1 &
pids+=($!)
port_file="$profile/DevToolsActivePort" # its port, then its path, once it listens
for _ in $(seq 200); do [ -f "$port_file" ] && [ "$(wc -l <"$port_file")" = 2 ] && break; sleep 0.1; done
[ -f "$port_file" ] ||
    { echo "run.sh: Chromium did not start" >&2; cat "$work/chromium.log" >&2; exit 1; }
for page in weather.html manual.html; do
    # The running browser opens the window; this second start ends at once.
    "$chromium" "${flags[@]}" --user-data-dir="$profile" --new-window "$demo/$page" >>"$work/chromium.log" 2>&1
done
export TABULON_DEVTOOLS="ws://127.0.0.1:$(sed -n 1p "$port_file")$(sed -n 2p "$port_file")"

# The user's own browsers, as they would be after the one set-up step: the host
# manifests written by --install-browser-bridge, Chromium with the unpacked extension
# in its usual profile, Firefox with the add-on side-loaded in a profile that allows
# unsigned add-ons.
./build/app/tabulon --install-browser-bridge >/dev/null
"$chromium" "${flags[@]}" --user-data-dir="$XDG_CONFIG_HOME/chromium" \
    --load-extension="$PWD/extension" --window-position=30,420 --window-size=600,360 \
    "$demo/toc.html" >"$work/chromium-bridged.log" 2>&1 &
pids+=($!)
if command -v firefox-esr >/dev/null; then
    firefox_profile="$work/firefox"
    mkdir -p "$firefox_profile/extensions"
    cp build/app/tabulon-bridge.xpi "$firefox_profile/extensions/bridge@tabulon.example.org.xpi"
    for pref in '"xpinstall.signatures.required", false' '"extensions.autoDisableScopes", 0' \
        '"browser.shell.checkDefaultBrowser", false' '"browser.aboutwelcome.enabled", false' \
        '"browser.startup.homepage_override.mstone", "ignore"' \
        '"datareporting.policy.dataSubmissionEnabled", false' \
        '"toolkit.telemetry.reportingpolicy.firstRun", false'; do
        echo "user_pref($pref);"
    done >"$firefox_profile/user.js"
    firefox-esr --no-remote -profile "$firefox_profile" "$demo/chapter1.html" \
        >"$work/firefox.log" 2>&1 &
    pids+=($!)
fi

./build/app/tabulon "$@" &
pids+=($!)
# Tabulon lists the windows at start and again every two seconds; the bridged browsers
# join once their extension has connected.
want=5
command -v firefox-esr >/dev/null || want=4
for _ in $(seq 60); do
    rows=$(./build/app/tabulon list 2>/dev/null | grep -c . || true)
    [ "$rows" -ge "$want" ] && break
    sleep 1
done
./build/app/tabulon run tile-web || true
sleep 3
./build/tools/tabulon-xshot "$shot"
echo "Tabulon ran on the virtual display $DISPLAY with the windows of scripts/demo in its own" \
    "Chromium and in a bridged Chromium and Firefox; a picture of the screen is in $shot"
