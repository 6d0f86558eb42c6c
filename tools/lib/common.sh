# Shared by tools/run, tools/test and tools/bench: install what is missing, configure, build.
# Sourced, not run. Callers set ROOT to the repository's top folder.

# Debian 12 packages the build and the tests need.
RAWCOMPARE_PACKAGES=(
    g++ make cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libxkbcommon-x11-0 libxcb-cursor0 fonts-dejavu-core
    xvfb xauth xdotool libxcb1-dev
    ffmpeg
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
}

# configure_and_build BUILD_DIR BUILD_TYPE [extra cmake arguments...]
configure_and_build() {
    local dir=$1 type=$2
    shift 2
    local jobs
    jobs=$(nproc 2>/dev/null || echo 2)
    if [ ! -f "$dir/CMakeCache.txt" ] || [ "$#" -gt 0 ]; then
        cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
    fi
    cmake --build "$dir" --parallel "$jobs"
}
