#!/usr/bin/env bash
# Builds the Debian package from an existing build folder (default: build), checks it
# with lintian (no errors), installs it with apt-get, runs the installed program once
# and removes the package again. Run as root or with sudo; it changes the system's
# packages, so CI runs it and a developer usually does not.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls -t "$build"/tabulon_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n '/Depends/p;/Recommends/p'

# lintian refuses to be quiet about running as root; that line is not a finding.
lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs "$deb" 2>&1 |
    grep -v 'running with root privileges' || true
lintian --fail-on error "$deb" >/dev/null 2>&1 || { echo "lintian found errors" >&2; exit 1; }
appstreamcli validate --no-net packaging/org.example.Tabulon.metainfo.xml >/dev/null
desktop-file-validate packaging/org.example.Tabulon.desktop

remove() { as_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -q tabulon >/dev/null; }
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$(realpath "$deb")" >/dev/null
trap remove EXIT

# The browsers' host manifests for every user, written by the package's own script.
manifests="/etc/chromium/native-messaging-hosts/org.example.tabulon.bridge.json
/etc/opt/chrome/native-messaging-hosts/org.example.tabulon.bridge.json
/usr/lib/mozilla/native-messaging-hosts/org.example.tabulon.bridge.json"
for f in /usr/bin/tabulon /usr/libexec/tabulon/tabulon-bridge /usr/share/tabulon/tabulon.chm \
    /usr/share/applications/org.example.Tabulon.desktop /usr/share/man/man1/tabulon.1.gz \
    $manifests; do
    [ -e "$f" ] || { echo "the package did not install $f" >&2; exit 1; }
done
grep -q '"/usr/libexec/tabulon/tabulon-bridge"' /etc/chromium/native-messaging-hosts/*.json ||
    { echo "the Chromium host manifest does not name the installed host" >&2; exit 1; }

# The installed program starts, keeps its files in the configuration folder (not beside
# /usr/bin, although root could write there) and is still running after a few seconds.
home=$(mktemp -d)
status=0
HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data QT_QPA_PLATFORM=offscreen \
    TABULON_BACKEND=sim timeout 5 /usr/bin/tabulon 2>"$home/stderr" || status=$?
if [ "$status" -ne 124 ]; then
    echo "the installed tabulon ended with status $status:" >&2
    cat "$home/stderr" >&2
    exit 1
fi
[ -d "$home/config/tabulon" ] || { echo "no configuration folder was made" >&2; exit 1; }
[ ! -e /usr/bin/tabulon.ini ] || { echo "the installed tabulon wrote beside itself" >&2; exit 1; }

version=$(/usr/bin/tabulon --version)
[[ $version == "tabulon "* ]] || { echo "tabulon --version said: $version" >&2; exit 1; }

# The installed command line starts an instance on a session bus of its own and lists
# the simulated desktop's windows as JSON; then the instance is asked to quit.
HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_RUNTIME_DIR=$home \
    QT_QPA_PLATFORM=offscreen TABULON_BACKEND=sim timeout 60 dbus-run-session -- sh -c \
    '/usr/bin/tabulon list --json > "$HOME/list.json" && /usr/bin/tabulon run quit' \
    2>"$home/stderr" || { echo "tabulon list --json failed:" >&2; cat "$home/stderr" >&2; exit 1; }
grep -q '"address"' "$home/list.json" || { echo "tabulon list --json listed nothing" >&2; exit 1; }
rm -rf "$home"

# Removing the package takes the manifests back.
trap - EXIT
remove
for f in $manifests; do
    [ ! -e "$f" ] || { echo "removing the package left $f" >&2; exit 1; }
done
echo "package check passed"
