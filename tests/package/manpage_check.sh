#!/usr/bin/env bash
# Checks the manual page: it renders without a warning, has every section a
# reader looks for, carries the tool's version and describes every command
# that `marnel --help-all` shows. usage: manpage_check.sh PAGE MARNEL
set -u
page=$1
marnel=$2
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

warnings=$(groff -man -ww -z "$page" 2>&1) || fail "groff failed"
[ -z "$warnings" ] || fail "groff warns: $warnings"
if command -v man >/dev/null; then
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null) || fail "man -l failed"
    [ -z "$warnings" ] || fail "man -l warns: $warnings"
fi

for section in NAME SYNOPSIS DESCRIPTION COMMANDS OPTIONS "EXIT STATUS" ENVIRONMENT FILES \
    EXAMPLES "SEE ALSO"; do
    grep -qxE "\\.SH \"?$section\"?" "$page" || fail "no section $section"
done
for variable in CUPS_SERVER MARNEL_STATE_DIR XDG_STATE_HOME; do
    grep -qx "\\.B $variable" "$page" || fail "ENVIRONMENT does not name $variable"
done

version=$("$marnel" --version | awk '{print $NF}')
grep -q "^\\.TH MARNEL 1 .*\"marnel $version\"" "$page" || fail "the page is not of version $version"

# Each command heads an entry of COMMANDS, its name in bold.
commands=$(sed -n '/^\.SH COMMANDS/,/^\.SH /p' "$page")
for command in $("$marnel" --help-all | sed -n '/^Subcommands:/,$p' | grep -E '^[a-z][a-z-]*$'); do
    grep -A1 -x '\.TP' <<<"$commands" | grep -qE "^\\.B[IR]? ${command//-/\\\\-}( |\$)" ||
        fail "COMMANDS has no entry for $command"
done

[ "$failures" -eq 0 ] && echo "the manual page is clean and complete"
exit "$((failures > 0))"
