#!/usr/bin/env bash
# Builds the Windows packages signed with a throwaway certificate made here,
# and checks them: every signature holds against that certificate and breaks
# when a byte changes; unsigned builds say so once. Then, under Wine in a
# prefix of its own, msiexec installs the MSI silently with the window's
# shortcut and the console program on PATH (it runs from there), a newer
# MSI replaces it, an older one is refused, and the
# uninstall leaves nothing behind. Needs the cross tree (build.sh win64).
# usage: msi_check.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/marnel-msi.XXXXXX")
export WINEPREFIX=$work/prefix WINEDEBUG=-all
# No menu entries on this machine for the shortcut, no host print queues.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" CUPS_SERVER=/nonexistent
unset DISPLAY WAYLAND_DISPLAY
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    wineserver -w >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
started=$SECONDS

# Booting the prefix is the slow part: it runs while the packages build.
wine wineboot -i >/dev/null 2>&1 &
boot=$!

signer="/CN=Marnel test signing"
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "$signer" \
    -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/sign.pfx" \
    -passout pass:throwaway
MARNEL_SIGN_PFX=$work/sign.pfx MARNEL_SIGN_PASS=throwaway MARNEL_PACKAGE_DIR=$work/signed \
    "$top/scripts/package.sh" zip msi >/dev/null 2>"$work/signed.log" ||
    { cat "$work/signed.log" >&2; fail "package.sh could not sign"; }
msi=$(echo "$work"/signed/marnel-*-x64.msi)
version=${msi##*/marnel-}
version=${version%-x64.msi}
IFS=. read -r major minor build <<<"$version"
newer_version=$major.$minor.$((${build:-0} + 1))
MARNEL_MSI_VERSION=$newer_version MARNEL_PACKAGE_DIR=$work/newer \
    "$top/scripts/package.sh" zip msi >/dev/null 2>"$work/newer.log"
newer=$work/newer/marnel-$newer_version-x64.msi
[ "$(grep -c 'not signed' "$work/newer.log")" = 1 ] || fail "an unsigned build does not say so once"

# What each package holds: the program in the zip and in the MSI are the same
# signed bytes; the unsigned build's program carries no signature.
msiextract -C "$work/msi" "$msi" >/dev/null
msiextract -C "$work/newer-msi" "$newer" >/dev/null
mkdir "$work/zip" && (cd "$work/zip" && cmake -E tar xf "$work"/signed/marnel-*-win64.zip)
program=$work/msi/Marnel/marnel.exe
cmp -s "$program" "$work"/zip/marnel-*-win64/marnel.exe || fail "the zip and the MSI hold different programs"
! osslsigncode verify -in "$work/newer-msi/Marnel/marnel.exe" >/dev/null 2>&1 ||
    fail "a program is signed without a certificate"

# A self-signed certificate cannot chain to a public root: taken as the
# trust anchor, verify shows that the signature is the certificate's and
# that the file is the one that was signed.
verify() {  # FILE: signed by the throwaway certificate
    osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.log" 2>&1 ||
        { cat "$work/verify.log" >&2; fail "${1##*/}: the signature does not verify"; }
    { grep -q "Signature verification: ok" "$work/verify.log" && grep -q "Subject: $signer" "$work/verify.log"; } ||
        fail "${1##*/}: not signed by $signer"
    echo "${1##*/}: $(grep -m1 'Message digest algorithm' "$work/verify.log" | tr -s ' '), signed by $signer, verification ok"
}
verify "$program"
verify "$work/msi/Marnel/marnel.com"
verify "$msi"
cp "$program" "$work/tampered.exe"
python3 -c 'import sys; f = open(sys.argv[1], "r+b"); f.seek(4096); b = f.read(1); f.seek(4096); f.write(bytes([b[0] ^ 1]))' \
    "$work/tampered.exe"
! osslsigncode verify -CAfile "$work/cert.pem" -in "$work/tampered.exe" >/dev/null 2>&1 ||
    fail "a changed program still verifies"

# Per machine: Wine puts ProgramMenuFolder in the user's menu whatever
# ALLUSERS says, so the table has to show what Windows does with it.
msiinfo export "$msi" Property | tr -d '\r' | grep -qx $'ALLUSERS\t1' || fail "the MSI does not install per machine"

wait "$boot"
install_dir=$WINEPREFIX/drive_c/Program\ Files/Marnel
msiexec() {  # /i|/x PACKAGE: its exit status, which Wine cuts to 8 bits
    (cd "${2%/*}" && wine msiexec "$1" "${2##*/}" /qn)
}
products() {  # the Marnel versions Windows Installer knows, one a line
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null |
        tr -d '\r' | awk '/^HKEY/ { name = "" } $1 == "DisplayName" { name = $3 } $1 == "DisplayVersion" && name == "Marnel" { print $3 }'
}
shortcuts() { find "$WINEPREFIX/drive_c" -name 'Marnel.lnk'; }

msiexec /i "$msi" || fail "msiexec /i failed"
[ "$(sha256sum <"$install_dir/marnel.exe")" = "$(sha256sum <"$program")" ] ||
    fail "the installed marnel.exe is not the one built"
link=$(shortcuts)
{ [ -n "$link" ] && grep -qa 'C:\\Program Files\\Marnel\\marnel.exe' "$link"; } ||
    fail "no Start-menu shortcut to marnel.exe"
[ "$(products)" = "$version" ] || fail "installed: $(products | tr '\n' ' '), expected $version"
system_path() {
    wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH 2>/dev/null | tr -d '\r'
}
system_path | grep -qi 'C:\\Program Files\\Marnel' || fail "the install folder is not on PATH: $(system_path)"
# The console program from the install folder, as a management tool runs it.
(cd "$install_dir" && wine marnel.com --simulate --json report) >"$work/report.json" 2>"$work/report.err" ||
    fail "marnel.com --simulate --json report: $(cat "$work/report.err")"
python3 -c 'import json, sys; r = json.loads(open(sys.argv[1]).read()); assert r["ok"] and r["report"], r' \
    "$work/report.json" || fail "not the report as JSON: $(cat "$work/report.json")"

msiexec /i "$newer" || fail "the newer MSI did not install"
[ "$(products)" = "$newer_version" ] || fail "after the upgrade: $(products | tr '\n' ' ')"
msiexec /i "$msi" && fail "an older MSI replaced a newer one"
[ "$(products)" = "$newer_version" ] || fail "after the downgrade attempt: $(products | tr '\n' ' ')"

msiexec /x "$newer" || fail "msiexec /x failed"
[ ! -e "$install_dir" ] || fail "the install folder is left: $(ls -A "$install_dir")"
[ -z "$(shortcuts)" ] || fail "the shortcut is left"
[ -z "$(products)" ] || fail "Windows Installer still lists Marnel"
! system_path | grep -qi 'Program Files\\Marnel' || fail "PATH still names the install folder: $(system_path)"
left=$(find "$WINEPREFIX/drive_c" -iname '*marnel*' -o -path '*/windows/Installer/*.msi')
[ -z "$left" ] || fail "left behind: $left"
echo "${msi##*/}: installed, upgraded to $newer_version, downgrade refused, removed ($((SECONDS - started)) s)"
