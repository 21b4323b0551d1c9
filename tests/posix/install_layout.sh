#!/bin/sh
# Installs the build tree into a scratch prefix and checks what lands there.
# usage: install_layout.sh BUILD_DIR EXPECT_TOOL(0|1)
set -e
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch" >/dev/null
rule="$scratch/lib/udev/rules.d/60-marnel.rules"
[ -f "$rule" ] || { echo "missing: lib/udev/rules.d/60-marnel.rules" >&2; exit 1; }
grep -q 'ATTR{idVendor}!="1a2b"' "$rule" || { echo "the rule does not name the maker's vendor id" >&2; exit 1; }
grep -q 'GROUP="lp"' "$rule" || { echo "the rule does not give the lp group access" >&2; exit 1; }
if [ "$2" = 1 ]; then
    [ -x "$scratch/bin/marnel" ] || { echo "missing: bin/marnel" >&2; exit 1; }
    page="$scratch/share/man/man1/marnel.1.gz"
    [ -f "$page" ] || { echo "missing: share/man/man1/marnel.1.gz" >&2; exit 1; }
    gzip -dc "$page" | grep -q '^\.SH COMMANDS' || { echo "the manual page lacks its COMMANDS" >&2; exit 1; }
    for completion in share/bash-completion/completions/marnel share/zsh/vendor-completions/_marnel; do
        [ -f "$scratch/$completion" ] || { echo "missing: $completion" >&2; exit 1; }
    done
fi
echo "installed: $(cd "$scratch" && find . -type f | sort | tr '\n' ' ')"
