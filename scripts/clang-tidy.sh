#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy (every finding an error) over the
# project's own sources in a configured build's compile_commands.json; moc output and
# anything else inside a build tree is left out.
#
#   scripts/clang-tidy.sh [-p BUILD] [-j N]            every translation unit
#   scripts/clang-tidy.sh [-p BUILD] --changed [REV]   the files changed since REV
#                                                      (default HEAD~1: the last commit,
#                                                      or all a merge brought in)
#
# A changed header brings in every source file that includes it by name. The whole tree
# takes CPU time in the tens of minutes, so CI checks the changed files; run it without
# --changed before a change that touches many files.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=build
jobs=$(nproc)
changed=""
while [ $# -gt 0 ]; do
  case "$1" in
    -p) build=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    --changed)
      changed=HEAD~1
      if [ $# -gt 1 ] && [ "${2#-}" = "$2" ]; then changed=$2; shift; fi
      shift ;;
    *) echo "usage: $0 [-p BUILD] [-j N] [--changed [REV]]" >&2; exit 2 ;;
  esac
done

if [ ! -f "$build/compile_commands.json" ]; then
  echo "$build/compile_commands.json is missing: configure the build first" >&2
  exit 2
fi
build_abs=$(cd "$build" && pwd)

# Files in the database that belong to the project: under the source root, outside any
# build tree.
mapfile -t units < <(python3 - "$build_abs/compile_commands.json" "$root" "$build_abs" <<'EOF'
import json, os, re, sys
db, root, build = sys.argv[1:]
skip = re.compile(r'^(build[^/]*|out|\.[^/]*)/')
for entry in json.load(open(db)):
    path = os.path.normpath(os.path.join(entry['directory'], entry['file']))
    if path.startswith(build + '/') or not path.startswith(root + '/'):
        continue
    rel = path[len(root) + 1:]
    if not skip.match(rel) and '/node_modules/' not in rel:
        print(rel)
EOF
)

if [ -n "$changed" ] && ! git rev-parse -q --verify "$changed^{commit}" >/dev/null; then
  echo "clang-tidy: $changed is not in this checkout; checking every file" >&2
  changed=""
fi
if [ -n "$changed" ]; then
  mapfile -t touched < <(git diff --name-only --diff-filter=d "$changed" -- '*.cpp' '*.h')
  declare -A wanted=()
  for file in "${touched[@]}"; do
    wanted[$file]=1
    if [ "${file%.h}" != "$file" ]; then
      while IFS= read -r unit; do wanted[$unit]=1; done < <(
        grep -lE "#include [\"<]([^\">]*/)?$(basename "$file")[\">]" "${units[@]}" || true)
    fi
  done
  selected=()
  for unit in "${units[@]}"; do
    [ -n "${wanted[$unit]:-}" ] && selected+=("$unit")
  done
  units=("${selected[@]}")
fi

if [ ${#units[@]} -eq 0 ]; then
  echo "clang-tidy: nothing to check"
  exit 0
fi
echo "clang-tidy: ${#units[@]} translation units"

# run-clang-tidy matches its arguments as regular expressions against the database.
patterns=()
for unit in "${units[@]}"; do
  patterns+=("^$(printf '%s' "$root/$unit" | sed 's/[][\.*^$+?(){}|]/\\&/g')\$")
done
# Keeps the per-file count of warnings suppressed in system headers out of the log.
run-clang-tidy -quiet -p "$build" -j "$jobs" "${patterns[@]}" 2>&1 |
  sed -E '/[0-9]+ warnings? generated\./d'
