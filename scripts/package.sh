#!/usr/bin/env bash
# Builds the packages into out/ (or MARNEL_PACKAGE_DIR):
#   deb  marnel_<version>_amd64.deb from a Release tree installed under /usr
#        (the udev rule in /lib/udev/rules.d, where Debian 12 keeps them);
#   zip  marnel-<version>-win64.zip: the Windows program with a README;
#   msi  marnel-<version>-x64.msi: installs the Windows program for all users
#        in Program Files\Marnel, with a Start-menu shortcut
#        (cmake/package/marnel.wxs, built with wixl).
# The Windows packages take the program from the cross tree
# (scripts/build.sh win64). usage: package.sh [deb] [zip] [msi] (all three
# by default)
#
# Signing the Windows packages: MARNEL_SIGN_PFX names a PKCS#12 file with the
# code-signing certificate (and its chain) and key, MARNEL_SIGN_PASS gives its
# password. Each Windows program is then signed (Authenticode, SHA-256)
# before it goes into the zip or the MSI, and the MSI itself is signed.
# MARNEL_SIGN_TIMESTAMP, the URL of an RFC 3161 timestamp server, keeps the
# signatures valid after the certificate expires. Keep the file and the
# password out of the repository. Without MARNEL_SIGN_PFX nothing is signed.
#
# MARNEL_MSI_VERSION (major.minor[.build]) replaces the MSI's product version,
# for an installer rebuilt around the same program: Windows Installer only
# replaces an installed Marnel with a higher version.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${MARNEL_PACKAGE_DIR:-$top/out}
mkdir -p "$out"
out=$(cd "$out" && pwd)
jobs=$(nproc)
work=$(mktemp -d "${TMPDIR:-/tmp}/marnel-package.XXXXXX")
trap 'rm -rf "$work"' EXIT

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
        -DMARNEL_UDEV_RULES_DIR=/lib/udev/rules.d -DMARNEL_SYSTEMD_UNIT_DIR=/lib/systemd/system \
        -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
        -DMARNEL_TESTS=OFF >/dev/null
    cmake --build "$tree" -j "$jobs" --target marnel marnel_manpage
    rm -f "$out"/marnel_*.deb
    run_cpack "$tree" DEB
}

sign() {  # FILE: signed in place when a certificate is given
    [ -n "${MARNEL_SIGN_PFX-}" ] || return 0
    local timestamp=()
    [ -z "${MARNEL_SIGN_TIMESTAMP-}" ] || timestamp=(-ts "$MARNEL_SIGN_TIMESTAMP")
    # The password through a pipe: a command line is visible to every user.
    osslsigncode sign -pkcs12 "$MARNEL_SIGN_PFX" -readpass <(printf '%s' "${MARNEL_SIGN_PASS-}") \
        -h sha256 -n Marnel "${timestamp[@]}" -in "$1" -out "$1.signed" >/dev/null
    mv "$1.signed" "$1"
}

# The Windows tree is the one scripts/build.sh win64 makes (and the tests
# use). Its install, stripped, is what ships; signing comes after the strip,
# which would drop the signature, and the zip and the MSI take the same
# signed files.
windows_tree=$top/build/win64
windows_version=
windows_files=
stage_windows() {
    [ -f "$windows_tree/CMakeCache.txt" ] || cmake -S "$top" -B "$windows_tree" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" >/dev/null
    cmake --build "$windows_tree" -j "$jobs" --target marnel marnel_console
    windows_version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$windows_tree/CMakeCache.txt")
    windows_files=marnel-$windows_version-win64
    cmake --install "$windows_tree" --prefix "$work/$windows_files" --strip >/dev/null
    [ -n "${MARNEL_SIGN_PFX-}" ] ||
        echo "package.sh: MARNEL_SIGN_PFX is not set: the Windows programs and the MSI are not signed" >&2
    local program
    for program in "$work/$windows_files"/*.{exe,com}; do
        [ ! -e "$program" ] || sign "$program"
    done
}

build_zip() {
    [ -n "$windows_files" ] || stage_windows
    rm -f "$out"/marnel-*-win64.zip
    (cd "$work" && cmake -E tar cf "$out/$windows_files.zip" --format=zip "$windows_files")
}

# Windows Installer reads major.minor.build, at most 255.255.65535; any
# other version would break the comparison that replaces an older Marnel.
msi_version_valid() {
    [[ $1 =~ ^([0-9]{1,3})\.([0-9]{1,3})(\.([0-9]{1,5}))?$ ]] &&
        ((10#${BASH_REMATCH[1]} <= 255 && 10#${BASH_REMATCH[2]} <= 255 &&
            10#${BASH_REMATCH[4]:-0} <= 65535))
}

# The install folder on the system PATH, for the console program: appended
# at install ([~] keeps what is there), taken off at uninstall. wixl cannot
# write this table; msibuild adds it and the two actions that use it.
add_console_to_path() {
    printf 'Environment\tName\tValue\tComponent_\ns72\tl255\tL255\ts72\nEnvironment\tEnvironment\nConsolePath\t=-*PATH\t[~];[INSTALLDIR]\tConsoleProgram\n' \
        >"$work/Environment.idt"
    msibuild "$1" -i "$work/Environment.idt" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)"
}

build_msi() {
    [ -n "$windows_files" ] || stage_windows
    local version=${MARNEL_MSI_VERSION:-$windows_version}
    if ! msi_version_valid "$version"; then
        echo "package.sh: $version is no MSI product version (major.minor[.build], at most 255.255.65535)" >&2
        exit 2
    fi
    local msi=$out/marnel-$version-x64.msi
    rm -f "$out"/marnel-*-x64.msi
    cp "$windows_tree/src/window/marnel.ico" "$work/"
    # wixl finds sources by relative paths only.
    (cd "$work" && wixl -a x64 -D Version="$version" -D ProgramDir="$windows_files" \
        -D IconFile=marnel.ico -o "$msi" "$top/cmake/package/marnel.wxs")
    add_console_to_path "$msi"
    sign "$msi"
}

kinds=("$@")
[ ${#kinds[@]} -gt 0 ] || kinds=(deb zip msi)
for kind in "${kinds[@]}"; do
    case $kind in
    deb | zip | msi) "build_$kind" ;;
    *) echo "usage: package.sh [deb] [zip] [msi]" >&2; exit 2 ;;
    esac
done
ls -l "$out"
