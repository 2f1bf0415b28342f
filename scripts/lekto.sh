#!/usr/bin/env bash
# Set-up, build, run and test Lekto on Debian 12.
#   scripts/lekto.sh run     install what is missing, build, start Lekto
#   scripts/lekto.sh test    install what is missing, build, run every test
#   scripts/lekto.sh bench   install what is missing, build, run the benchmarks
#   scripts/lekto.sh package install what is missing, build, make the Debian package
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${LEKTO_BUILD_DIR:-$here/build}"
packages=(cmake g++ make pkg-config qt6-base-dev qt6-webengine-dev libgl-dev libbenchmark-dev
          fonts-noto-cjk fonts-arphic-ukai qt6-translations-l10n xvfb xauth  # ukai: the reading view's Kai face
          desktop-file-utils appstream x11-utils  # the install test
          dpkg-dev file                           # cpack -G DEB finds the dependencies
          poppler-utils)                          # the printing test reads its PDFs back

install_packages() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

build_all() {
    cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build" -j "$(nproc)"
}

case "${1:-}" in
run)
    install_packages
    build_all
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "No display: starting Lekto under Xvfb" >&2
        exec xvfb-run -a -s "-screen 0 1280x800x24" "$build/app/lekto"
    fi
    exec "$build/app/lekto"
    ;;
test)
    install_packages
    build_all
    cd "$build"
    export QT_QPA_PLATFORM=offscreen
    exec ctest --output-on-failure --timeout 600
    ;;
bench)
    install_packages
    build_all
    export QT_QPA_PLATFORM=offscreen
    # Every benchmark program, and nothing else (the build also leaves
    # folders such as bench_x_autogen there).
    for b in "$build"/bench/bench_*; do
        if [ -f "$b" ] && [ -x "$b" ]; then
            "$b"
        fi
    done
    ;;
package)
    install_packages
    build_all
    cd "$build"
    cpack -G DEB
    deb=$(ls -t "$build"/lekto_*.deb | head -n1)
    # lintian is not needed to build; its notes are shown when it is there.
    if command -v lintian >/dev/null; then
        lintian --tag-display-limit 0 "$deb" || true
    fi
    echo "Built $deb; install it with: apt-get install $deb (as root)"
    ;;
*)
    echo "usage: $0 run|test|bench|package" >&2
    exit 2
    ;;
esac
