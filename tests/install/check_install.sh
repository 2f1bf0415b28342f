#!/usr/bin/env bash
# Installs Lekto into a temporary prefix and checks it the way a desktop and a
# reader meet it:
#   1. the installed tree holds exactly the program, its launcher, its
#      metadata and its icons, and the files name each other consistently;
#   2. desktop-file-validate and appstreamcli validate --no-net pass;
#   3. started from the prefix made read-only, under Xvfb, the program shows a
#      window whose WM_CLASS is the launcher's StartupWMClass and which carries
#      the icon; ended by SIGTERM it rewrites the history in the per-user data
#      folder, and the prefix is left exactly as installed. Root can write to a
#      read-only folder, so for root only the program's own restraint keeps
#      the prefix clean.
#
#   check_install.sh BUILD_DIR APP_ID SEED_HISTORY_FILE
set -euo pipefail

build=$1 id=$2 seed=$3

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || fail "$1 is missing (Debian package $2)"; }
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need Xvfb xvfb
need xprop x11-utils
need xwininfo x11-utils

work=$(mktemp -d)
program_pid="" xvfb_pid=""
cleanup() {
    [ -z "$program_pid" ] || kill -KILL "$program_pid" 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install into $prefix"

# 1. The installed tree, exactly: a stray or missing file shows here.
sizes="16 24 32 48 64 128 256"
{
    echo "bin/lekto"
    echo "share/applications/$id.desktop"
    echo "share/metainfo/$id.metainfo.xml"
    echo "share/man/man1/lekto.1.gz"
    echo "share/icons/hicolor/scalable/apps/$id.svg"
    for s in $sizes; do echo "share/icons/hicolor/${s}x${s}/apps/$id.png"; done
} | sort >"$work/expected"
(cd "$prefix" && find . -type f -printf '%P\n' -o -type l -printf '%P\n' | sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "the installed tree differs from the expected one"
[ -x "$prefix/bin/lekto" ] || fail "bin/lekto is not executable"

# An icon's pixels must match its folder, or icon themes scale it oddly.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*2^24+$2*2^16+$3*2^8+$4, $5*2^24+$6*2^16+$7*2^8+$8 }'; }
for s in $sizes; do
    got=$(png_size "$prefix/share/icons/hicolor/${s}x${s}/apps/$id.png")
    [ "$got" = "${s}x${s}" ] || fail "the ${s}x${s} icon is $got"
done

desktop=$prefix/share/applications/$id.desktop
metainfo=$prefix/share/metainfo/$id.metainfo.xml
key() { sed -n "s/^$1=//p" "$desktop"; }
[ "$(key Icon)" = "$id" ] || fail "the desktop entry's Icon is '$(key Icon)', not $id"
[ -n "$(key 'Name\[zh_CN\]')" ] || fail "the desktop entry has no Chinese name"
case "$(key Exec)" in
lekto | "\"$prefix/bin/lekto\"") ;;
*) fail "the desktop entry starts '$(key Exec)', not the installed program" ;;
esac
# The program reads no command line, so it must not offer to open addresses.
! grep -q '^MimeType=' "$desktop" || fail "the desktop entry claims MIME types"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"

# 2. The validators.
desktop-file-validate "$desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"

# 3. A run from the read-only prefix.
chmod -R a-w "$prefix"
snapshot() { find "$prefix" -printf '%P %y %s %T@ %m\n' | sort; }
snapshot >"$work/before"

home=$work/home
export HOME=$home XDG_DATA_HOME=$home/data XDG_CACHE_HOME=$home/cache XDG_CONFIG_HOME=$home/config
export XDG_RUNTIME_DIR=$home/runtime
mkdir -p "$XDG_DATA_HOME/Lekto" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
history=$XDG_DATA_HOME/Lekto/LektoBookmarks.lkt
cp "$seed" "$history"
touch -d '3 days ago' "$history"
seeded=$(stat -c %Y "$history")

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n1 "$work/display")

unset QT_QPA_PLATFORM
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --disable-background-networking"
"$prefix/bin/lekto" >"$work/lekto.log" 2>&1 &
program_pid=$!

# The main window: the mapped top-level window of the program's class.
window=""
for _ in $(seq 120); do
    kill -0 "$program_pid" 2>/dev/null || { cat "$work/lekto.log" >&2; fail "the program ended on its own"; }
    for w in $(xwininfo -root -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'); do
        if xprop -id "$w" WM_CLASS 2>/dev/null | grep -q '"Lekto"' &&
            xwininfo -id "$w" | grep -q 'Map State: IsViewable'; then
            window=$w
            break 2
        fi
    done
    sleep 0.5
done
[ -n "$window" ] || { cat "$work/lekto.log" >&2; fail "no window of class Lekto appeared"; }

wmclass=$(xprop -id "$window" -notype WM_CLASS | sed -n 's/.*, "\(.*\)"$/\1/p')
[ "$wmclass" = "$(key StartupWMClass)" ] ||
    fail "the window's WM_CLASS is '$wmclass', the launcher's StartupWMClass '$(key StartupWMClass)'"
icons=$(xprop -len 4000000 -id "$window" -notype _NET_WM_ICON | grep -o 'Icon ([0-9]* x [0-9]*)' | sort -u | tr '\n' ' ')
for s in $sizes; do
    case "$icons" in *"Icon ($s x $s)"*) ;; *) fail "the window's icon has no ${s}x${s} picture (has: $icons)" ;; esac
done

sleep 2 # let it settle on its start page
kill -TERM "$program_pid"
for _ in $(seq 60); do kill -0 "$program_pid" 2>/dev/null || break; sleep 0.5; done
kill -0 "$program_pid" 2>/dev/null && fail "the program did not end within 30 s of SIGTERM"
status=0
wait "$program_pid" || status=$?
program_pid=""
[ "$status" -eq 0 ] || { cat "$work/lekto.log" >&2; fail "the program ended with status $status"; }

[ -f "$history" ] || fail "the history in the per-user data folder is gone"
[ "$(stat -c %Y "$history")" -gt "$seeded" ] || fail "the history was not written in the per-user data folder"
[ "$(stat -c %s "$seed")" = "$(stat -c %s "$history")" ] || fail "the rewritten history differs in size from what was read"
snapshot >"$work/after"
diff -u "$work/before" "$work/after" || fail "the program wrote into its installed prefix"

echo "PASS: installed tree, validators, read-only run with data in $XDG_DATA_HOME/Lekto"
