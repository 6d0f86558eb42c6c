#!/usr/bin/env bash
# configure_and_build (tools/lib/common.sh) on build folders made from another checkout, moved,
# or made here, with a project of its own that needs no compiler and records the source tree
# it was configured from.
#   test_buildfolder.sh PATH/TO/common.sh
set -uo pipefail
common=$1
scratch=$(mktemp -d "${TMPDIR:-/tmp}/buildfolder.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
check() { # check NAME EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
        echo "PASS   $1"
    else
        failed=$((failed + 1))
        echo "FAIL!  $1: expected '$2', got '$3'"
    fi
}

# checkout NAME: a tree whose configuration writes its own path into the build folder.
checkout() {
    mkdir -p "$scratch/$1"
    cat >"$scratch/$1/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.21)
project(buildfolder NONE)
file(WRITE ${CMAKE_BINARY_DIR}/configured-from.txt ${CMAKE_SOURCE_DIR})
CMAKE
}

# run SOURCE BUILD [cmake arguments...]: configure_and_build as tools/test calls it, in a
# shell of its own; prints its exit status and keeps its messages in $scratch/messages.
run() {
    local source=$1 build=$2
    shift 2
    (
        ROOT="$scratch/$source"
        source "$common"
        configure_and_build "$scratch/$build" Release "$@"
    ) >"$scratch/messages" 2>&1
    echo $?
}
configured_from() { cat "$scratch/$1/configured-from.txt" 2>/dev/null; }

checkout first
checkout second
check "a new folder is configured" 0 "$(run first build)"
check "  from its source tree" "$scratch/first" "$(configured_from build)"

touch "$scratch/build/kept"
check "the same checkout again: builds" 0 "$(run first build -DSOME_SETTING=1)"
check "  without starting afresh" yes "$([ -f "$scratch/build/kept" ] && echo yes || echo no)"
check "  and says nothing about it" "" "$(grep '^note:' "$scratch/messages")"

check "a folder made from another checkout: builds" 0 "$(run second build)"
check "  configured from this checkout" "$scratch/second" "$(configured_from build)"
check "  with a note" 1 "$(grep -c "^note: $scratch/build was configured for $scratch/first" "$scratch/messages")"
check "  and with extra arguments too" 0 "$(run first build -DSOME_SETTING=2)"
check "    configured from that checkout" "$scratch/first" "$(configured_from build)"

mv "$scratch/build" "$scratch/moved"
check "a moved folder: builds" 0 "$(run first moved)"
check "  configured in its new place" "$scratch/moved" \
    "$(sed -n 's/^CMAKE_CACHEFILE_DIR:INTERNAL=//p' "$scratch/moved/CMakeCache.txt")"

rm -rf "$scratch/first"
check "a folder whose source tree is gone: builds" 0 "$(run second moved)"
check "  configured from this checkout" "$scratch/second" "$(configured_from moved)"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
