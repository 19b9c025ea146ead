# Shared set-up of scripts/run and scripts/test; sourced, not run.
# Installs the Debian packages the build needs (only those missing), then
# configures and builds incrementally.

set -euo pipefail

TAVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TAVO_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5svg5-dev
    libbenchmark-dev zlib1g-dev
    xvfb xauth xdotool imagemagick fonts-liberation
    openbox wmctrl x11-utils
)

tavo_missing_packages() {
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            echo "$pkg"
        fi
    done
}

tavo_install_packages() {
    local missing
    missing=$(tavo_missing_packages "$@")
    [ -z "$missing" ] && return 0
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    echo "Installing: $(echo $missing | tr '\n' ' ')" >&2
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >&2
}

# tavo_build DIR [cmake options...]: configures DIR once, then builds it.
tavo_build() {
    local dir="$1"
    shift
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        cmake -S "$TAVO_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >&2
    fi
    # TAVO_TARGETS, when set, limits the build to those targets.
    # shellcheck disable=SC2086
    cmake --build "$dir" --parallel "$(nproc)" ${TAVO_TARGETS:+--target $TAVO_TARGETS} >&2
}
