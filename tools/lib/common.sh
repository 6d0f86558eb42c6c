# Shared by the scripts in tools/: install what is missing, configure, build.
# Sourced, not run. Callers set ROOT to the repository's top folder.

# Debian 12 packages that building and running the program need (tools/run installs only these).
RAWCOMPARE_PACKAGES=(
    g++ make cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev
    libxkbcommon-x11-0 libxcb-cursor0 fonts-dejavu-core
)

# What only the tests need besides (tools/test, tools/bench).
RAWCOMPARE_TEST_PACKAGES=(
    xvfb xauth xdotool libxcb1-dev
    ffmpeg
)

# What only tools/package needs besides: CPack's dependency computation, the checks of the
# installed files, and the clean Debian 12 root the package is tried in.
RAWCOMPARE_PACKAGE_PACKAGES=(
    dpkg-dev file
    desktop-file-utils appstream shared-mime-info groff-base
    debootstrap
)

# Only for tools/fuzz: clang with libFuzzer and the sanitizer runtimes.
RAWCOMPARE_FUZZ_PACKAGES=(clang libclang-rt-dev)

# The libFuzzer targets of fuzz/, each with its seed corpus in fuzz/corpus/<name without fuzz_>.
RAWCOMPARE_FUZZ_TARGETS=(fuzz_rawreader fuzz_image2d fuzz_stacking fuzz_commandline)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "error: need root (or sudo) to run: $*" >&2
        return 1
    fi
}

# Installs the packages given that are not installed yet; does nothing (and asks no network)
# when every one is there already.
ensure_packages() {
    local missing=()
    local p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -q >/dev/null
    as_root apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
    RAWCOMPARE_INSTALLED=1
}

# Set when ensure_packages installed something in this run.
RAWCOMPARE_INSTALLED=0

# forget_foreign_build DIR: a build folder whose cache was made for another source tree (another
# checkout or clone, or this one before it moved), or that was itself moved, is one CMake
# refuses to configure again; it is emptied, with a note, so that it is configured afresh.
# Returns 0 when DIR was emptied, 1 when it was left alone.
forget_foreign_build() {
    local dir=$1
    local cache="$dir/CMakeCache.txt"
    [ -f "$cache" ] || return 1
    local source made_in
    source=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$cache")
    made_in=$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$cache")
    local here_source here_dir
    here_source=$(cd "$ROOT" && pwd -P)
    here_dir=$(cd "$dir" && pwd -P)
    if [ "$here_dir" = "$here_source" ]; then
        echo "error: $dir is the source tree, not a build folder" >&2
        exit 1
    fi
    if [ -n "$source" ] && [ -d "$source" ] && [ "$(cd "$source" && pwd -P)" = "$here_source" ] \
        && [ -n "$made_in" ] && [ -d "$made_in" ] && [ "$(cd "$made_in" && pwd -P)" = "$here_dir" ]; then
        return 1
    fi
    echo "note: $dir was configured for ${source:-an unknown source tree} in ${made_in:-an unknown folder}; building it afresh for $ROOT" >&2
    find "$here_dir" -mindepth 1 -delete
    return 0
}

# configure_build BUILD_DIR BUILD_TYPE [extra cmake arguments...]
# Configures when the folder is new or foreign, when extra arguments are given, or when packages
# were just installed (a test that needs one of them is then known).
configure_build() {
    local dir=$1 type=$2
    shift 2
    if forget_foreign_build "$dir" || [ ! -f "$dir/CMakeCache.txt" ] || [ "$#" -gt 0 ] \
        || [ "$RAWCOMPARE_INSTALLED" -eq 1 ]; then
        cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    fi
}

# build_targets BUILD_DIR [TARGET...]: builds the targets named, or everything.
build_targets() {
    local dir=$1
    shift
    cmake --build "$dir" --parallel "$(nproc 2>/dev/null || echo 2)" ${1+--target "$@"}
}

# configure_and_build BUILD_DIR BUILD_TYPE [extra cmake arguments...]: both of the above, building
# everything.
configure_and_build() {
    configure_build "$@"
    build_targets "$1"
}
