# Shared set-up for ./play and ./run-tests: installs the Debian packages the
# game and its tests need, and configures and builds a tree. Sourced, not run.

FIREFLIES_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the game, its build and its tests use.
FIREFLIES_PACKAGES=(
    cmake g++ make pkg-config
    libsdl1.2-dev libglew-dev freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth mesa-utils xdotool x11-utils imagemagick
    # checks of the installed menu entry and manual page
    desktop-file-utils groff-base
)

# What the checks beyond the test suite add: clang with libFuzzer for
# fuzz/run-fuzzers, valgrind for tests/run-valgrind.
FIREFLIES_CHECK_PACKAGES=(clang libclang-rt-14-dev valgrind)

# fireflies_install_packages [more packages...]: installs whatever is missing
# of FIREFLIES_PACKAGES and the packages named; does nothing (not even
# apt-get update) when everything is present. Uses sudo when not root, or
# says what to run.
fireflies_install_packages() {
    local missing=() p
    for p in "${FIREFLIES_PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q "ok installed"; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1; then
            sudo=(sudo)
        else
            echo "Missing Debian packages. Install them as root with:" >&2
            echo "  apt-get install ${missing[*]}" >&2
            return 1
        fi
    fi
    echo "Installing: ${missing[*]}"
    if ! { "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq &&
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" \
            >/dev/null; }; then
        echo "Could not install the missing Debian packages. Install them as root with:" >&2
        echo "  apt-get install ${missing[*]}" >&2
        return 1
    fi
}

# fireflies_build BUILD_DIR [cmake options...]: configure (once) and build.
fireflies_build() {
    local dir="$1"
    shift
    cmake -S "$FIREFLIES_ROOT" -B "$dir" "$@" >/dev/null &&
        cmake --build "$dir" -j"$(nproc)"
}
