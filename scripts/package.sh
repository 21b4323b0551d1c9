#!/usr/bin/env bash
# Builds the packages into out/: marnel_<version>_amd64.deb from a Release
# tree installed under /usr (the udev rule in /lib/udev/rules.d, where
# Debian 12 keeps them), and marnel-<version>-win64.zip from the Windows
# cross tree. usage: package.sh [deb] [zip] (both by default)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/out
jobs=$(nproc)
mkdir -p "$out"

# cpack stages in out/_CPack_Packages; only the package stays.
run_cpack() {  # tree generator
    (cd "$1" && cpack -G "$2" -B "$out" >/dev/null)
    rm -rf "$out/_CPack_Packages"
}

build_deb() {
    local tree=$top/build/package
    # The package needs the tool and its page, not the tests: cpack's
    # install then builds nothing more.
    cmake -S "$top" -B "$tree" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DMARNEL_UDEV_RULES_DIR=/lib/udev/rules.d -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
        -DMARNEL_TESTS=OFF >/dev/null
    cmake --build "$tree" -j "$jobs" --target marnel marnel_manpage
    rm -f "$out"/marnel_*.deb
    run_cpack "$tree" DEB
}

# The Windows tree is the one scripts/build.sh win64 makes (and the tests
# use); cpack's install builds whatever of it is not built yet.
build_zip() {
    local tree=$top/build/win64
    [ -f "$tree/CMakeCache.txt" ] || cmake -S "$top" -B "$tree" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$tree" -j "$jobs" --target marnel
    rm -f "$out"/marnel-*-win64.zip
    run_cpack "$tree" ZIP
}

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb zip)
for kind in "${kinds[@]}"; do
    case $kind in
    deb | zip) "build_$kind" ;;
    *) echo "usage: package.sh [deb] [zip]" >&2; exit 2 ;;
    esac
done
ls -l "$out"
