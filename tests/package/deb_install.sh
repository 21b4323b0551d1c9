#!/usr/bin/env bash
# Checks the .deb: its control fields and Depends, that it holds exactly the
# expected files, and that the tool and its manual page work from a
# throw-away root it is unpacked into. usage: deb_install.sh PACKAGE.deb
set -u
deb=$1
[ -f "$deb" ] || { echo "FAIL: no package $deb"; exit 1; }
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = marnel ] || fail "Package is '$(field Package)'"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ "$(basename "$deb")" = "marnel_$(field Version)_$(field Architecture).deb" ] || fail "file name $(basename "$deb")"
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
field Description | grep -q 'Zarvel KQ and ZT' || fail "Description: $(field Description)"
depends=$(field Depends)
for library in libc6 libstdc++6 libusb-1.0-0 libcups2 libssl3; do
    grep -qE "(^|, )${library//+/\\+}( |,|\$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
dpkg-deb -I "$deb" | grep -qE '^ +[0-9]+ bytes, +[0-9]+ lines +\* +postinst ' ||
    fail "no executable postinst: $(dpkg-deb -I "$deb" | grep postinst)"

expected="./lib/systemd/system/marnel-metrics.service
./lib/systemd/system/marnel-metrics.timer
./lib/udev/rules.d/60-marnel.rules
./usr/bin/marnel
./usr/share/bash-completion/completions/marnel
./usr/share/man/man1/marnel.1.gz
./usr/share/zsh/vendor-completions/_marnel"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
[ "$files" = "$expected" ] || fail "the package holds:
$files"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
report=$(MARNEL_STATE_DIR=$root/state "$root/usr/bin/marnel" --simulate report) ||
    fail "marnel --simulate report exits $?"
[ -n "$report" ] || fail "marnel --simulate report printed nothing"
page=$(MANPATH=$root/usr/share/man man -w marnel) || fail "man -w marnel finds no page"
[ "$page" = "$root/usr/share/man/man1/marnel.1.gz" ] || fail "man -w marnel gives '$page'"
MANPATH=$root/usr/share/man MANWIDTH=80 man marnel 2>&1 | grep -q '^EXIT STATUS' ||
    fail "man marnel does not show the page"
bash -c "source '$root/usr/share/bash-completion/completions/marnel' && complete -p marnel" >/dev/null ||
    fail "the bash completion does not load"

[ "$failures" -eq 0 ] && echo "$(basename "$deb"): $(wc -l <<<"$files") files, Depends: $depends; installed marnel runs"
exit "$((failures > 0))"
