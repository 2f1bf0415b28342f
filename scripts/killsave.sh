#!/usr/bin/env bash
# Kills a process N times (SIGKILL) at random moments while it saves a history
# of 20,000 entries, and checks after each kill that the history file left is
# the old or the new one, whole.
#   scripts/killsave.sh N     (LEKTO_BUILD_DIR: the build folder, default build/)
set -euo pipefail

n="${1:?usage: $0 N}"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${LEKTO_BUILD_DIR:-$here/build}"
helper="$build/tests/killsave_helper"
if [ ! -x "$helper" ]; then
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" --target killsave_helper
fi

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$helper" make "$dir"

old=0 new=0 bad=0 leftovers=0
for ((i = 1; i <= n; i++)); do
    coproc SAVER { exec "$helper" loop "$dir"; }
    pid=$SAVER_PID
    read -r _ <&"${SAVER[0]}" # loaded: saving from now on
    # One save of the 20 MB file takes a fraction of a second; any moment
    # within the next few saves.
    sleep "0.$(printf '%03d' $((RANDOM % 1000)))"
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    rc=0
    "$helper" check "$dir" || rc=$?
    case $rc in
    0) old=$((old + 1)) ;;
    10) new=$((new + 1)) ;;
    *) bad=$((bad + 1)); echo "kill $i: the history file is neither the old nor the new one" >&2 ;;
    esac
    # The unfinished copy a kill leaves beside the file.
    for f in "$dir"/*; do
        case "$(basename "$f")" in
        LektoBookmarks.lkt | reference.lkt) ;;
        *) leftovers=$((leftovers + 1)); rm -f "$f" ;;
        esac
    done
done
echo "kills: $n, old whole: $old, new whole: $new, bad files: $bad, unfinished copies left beside it: $leftovers"
[ "$bad" -eq 0 ]
