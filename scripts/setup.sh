# Shared set-up of scripts/run, scripts/test and scripts/screenshots; sourced,
# not run. Installs the Debian packages a command needs (only those missing),
# then configures and builds incrementally.

set -euo pipefail

TAVO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# What building the two programs needs.
TAVO_BUILD_PACKAGES=(
    build-essential cmake ninja-build pkg-config
    qtbase5-dev qtbase5-dev-tools zlib1g-dev
)
# What the test suite needs beyond that: the benchmarks are built to keep them
# compiling, and the end-to-end test drives the window on a virtual X server.
TAVO_TEST_PACKAGES=(
    libbenchmark-dev
    xvfb xauth xdotool imagemagick openbox wmctrl x11-utils fonts-liberation
)
# The user guide's pictures are made with these fonts.
TAVO_SCREENSHOT_PACKAGES=(xvfb xauth fonts-liberation)

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

# tavo_build DIR [cmake options...]: configures DIR with the options given
# (every time, so an option passed now takes effect in a folder configured
# earlier with others), then builds it.
tavo_build() {
    local dir="$1"
    shift
    cmake -S "$TAVO_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >&2
    # TAVO_TARGETS, when set, limits the build to those targets.
    # shellcheck disable=SC2086
    cmake --build "$dir" --parallel "$(nproc)" ${TAVO_TARGETS:+--target $TAVO_TARGETS} >&2
}
