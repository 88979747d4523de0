# Shared set-up of ./run and ./test: installs the Debian packages that are
# missing, then configures and builds Vagliante in build/ (Release).
# Sourced, not run: it leaves BUILD_DIR set for the caller.

ROOT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT_DIR/build}

PACKAGES=(
    build-essential cmake ninja-build pkg-config python3
    qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
    libgtest-dev nlohmann-json3-dev
    fonts-dejavu-core fonts-dejavu-extra
    locales attr acl libattr1-dev strace xvfb xauth
    at-spi2-core python3-pyatspi dbus xdotool
)

missing_packages() {
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            printf '%s\n' "$pkg"
    done
}

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "vagliante: '$*' needs root and sudo is not available" >&2
        return 1
    fi
}

install_missing() {
    local missing
    mapfile -t missing < <(missing_packages "$@")
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# The Italian regional settings that some tests and comparisons run under.
ensure_italian_locale() {
    locale -a 2>/dev/null | grep -qi '^it_IT\.utf-\?8$' && return 0
    as_root localedef -i it_IT -f UTF-8 it_IT.UTF-8 || echo "it_IT.UTF-8 unavailable" >&2
}

build_vagliante() {
    local generator=()
    command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
    # A configure that failed (say, before a package was there) leaves a
    # cache without a build system: configure again then.
    if [ ! -f "$BUILD_DIR/build.ninja" ] && [ ! -f "$BUILD_DIR/Makefile" ]; then
        rm -f "$BUILD_DIR/CMakeCache.txt"
        cmake -S "$ROOT_DIR" -B "$BUILD_DIR" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release
    fi
    cmake --build "$BUILD_DIR" -j "$(nproc)"
}

install_missing "${PACKAGES[@]}"
# SKIP_BUILD=1: only the packages (for scripts that build elsewhere).
[ -n "${SKIP_BUILD:-}" ] || build_vagliante
