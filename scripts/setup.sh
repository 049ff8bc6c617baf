# Shared set-up for ./play, ./run-tests and the checks: installs the Debian
# packages the game and its tests need, configures and builds a tree, and
# builds the Debian package. Sourced, not run.

FIREFLIES_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Everything the game, its build and its tests use.
FIREFLIES_PACKAGES=(
    cmake g++ make pkg-config
    libsdl1.2-dev libglew-dev freeglut3-dev libglu1-mesa-dev libgl1-mesa-dri
    # sdl12-compat in a folder of its own, beside whichever SDL 1.2 the
    # release has (classic on Debian 12), for the tests that run both
    libsdl1.2-compat
    # sound: SDL_mixer, ALSA (only to quiet its messages), sox to measure the sounds
    libsdl-mixer1.2-dev libasound2-dev sox
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xauth mesa-utils xdotool x11-utils imagemagick
    # checks of the installed menu entry and manual page
    desktop-file-utils groff-base
    # the launcher's test under a Turkish locale makes that locale from its sources
    locales
    # which files the game opens, for the test of the replays' data fingerprint
    strace
)

# What the checks beyond the test suite add: clang with libFuzzer for
# fuzz/run-fuzzers, valgrind for tests/run-valgrind. The runtime's package
# is named after clang's version (libclang-rt-14-dev on Debian 12,
# libclang-rt-19-dev on 13); libclang-rt-dev comes from the same Debian
# source as clang itself and depends on the runtime of that very clang, on
# any release.
FIREFLIES_CHECK_PACKAGES=(clang libclang-rt-dev valgrind)

# What building and checking the Debian package adds (./play --package,
# dist/check-package): debhelper and dpkg-buildpackage, lintian, and the
# validators of the software-centre and menu entries.
FIREFLIES_PACKAGING_PACKAGES=(build-essential debhelper dpkg-dev lintian appstream desktop-file-utils)

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

# fireflies_build BUILD_DIR [--target NAME]... [cmake options...]: configure
# and build (the targets named, or everything), quietly: nothing is printed
# when nothing needed building; one line when the first file starts
# compiling and one when it is done; the whole output when the build failed
# or the compiler warned.
fireflies_build() {
    local -
    set -o pipefail
    local dir="$1"
    shift
    local targets=() names=()
    while [ "${1:-}" = "--target" ]; do
        targets+=(--target "$2")
        names+=("$2")
        shift 2
    done
    local what="${dir#"$FIREFLIES_ROOT"/}/"
    [ ${#names[@]} -gt 0 ] && what+=" (${names[*]})"
    local log started=$SECONDS status=0
    log="$(mktemp)"
    { cmake -S "$FIREFLIES_ROOT" -B "$dir" "$@" &&
        cmake --build "$dir" -j"$(nproc)" "${targets[@]}"; } 2>&1 |
        fireflies_watch_build "$log" "$what" || status=$?
    if [ "$status" -ne 0 ]; then
        cat "$log" >&2
        rm -f "$log"
        return 1
    fi
    if grep -q -E 'warning:|CMake Warning' "$log"; then
        cat "$log" >&2
    fi
    local compiled linked
    compiled=$(grep -c -E 'Building (CXX|C) object' "$log" || true)
    linked=$(grep -c -E 'Linking (CXX|C) ' "$log" || true)
    rm -f "$log"
    if [ "$compiled" -gt 0 ] || [ "$linked" -gt 0 ]; then
        local files="source files"
        [ "$compiled" -eq 1 ] && files="source file"
        echo "Built $what: $compiled $files compiled," \
            "$linked programs and libraries linked ($((SECONDS - started)) s)"
    fi
}

# fireflies_watch_build LOG WHAT: copies the build's output (its standard
# input) into LOG and says "Building WHAT..." when the first file starts
# compiling or linking, so a long first build is not silent.
fireflies_watch_build() {
    local log="$1" what="$2" line announced=""
    while IFS= read -r line; do
        printf '%s\n' "$line" >>"$log"
        if [ -z "$announced" ] && [[ "$line" =~ (Building|Linking)\ (CXX|C)\  ]]; then
            announced=1
            echo "Building $what..."
        fi
    done
}

# fireflies_build_package OUT_DIR [USER]: builds the Debian package from a
# scratch copy of the source tree in OUT_DIR (emptied first) with
# dpkg-buildpackage, and prints the path of the .deb. Run as root, USER
# names an ordinary user to build as instead (the copy becomes theirs). The
# build's output goes to OUT_DIR/build.log, and to standard error when the
# build fails.
fireflies_build_package() {
    local out="$1" user="${2:-}"
    local version arch
    version="$(cd "$FIREFLIES_ROOT" && dpkg-parsechangelog -S Version)" || return 1
    arch="$(dpkg --print-architecture)"
    local tree="$out/fireflies-$version"
    rm -rf "$out"
    mkdir -p "$tree"
    # Everything but build trees, version control and editor litter.
    tar -C "$FIREFLIES_ROOT" --exclude-vcs --exclude='./build' --exclude='./build-*' \
        --exclude='./obj-*' --exclude='*.swp' -cf - . | tar -C "$tree" -xf - || return 1
    local as=()
    if [ -n "$user" ]; then
        chown -R "$user" "$out" || return 1
        as=(runuser -u "$user" -- env HOME="$out")
    fi
    if ! (cd "$tree" && "${as[@]}" env DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" \
        dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1; then
        cat "$out/build.log" >&2
        echo "The package did not build; its log is $out/build.log" >&2
        return 1
    fi
    echo "$out/fireflies_${version}_${arch}.deb"
}
