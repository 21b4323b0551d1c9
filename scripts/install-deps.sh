#!/usr/bin/env bash
# Installs the Debian packages that are missing: those that building the tool
# needs (scripts/packages-native.txt) with `native`, and those the tests add
# (scripts/packages-test.txt) as well with `all`, the default, which also
# takes those of the Ansible collection's tests (scripts/packages-ansible.txt,
# alone with `ansible`).
# usage: install-deps.sh [native|ansible|all]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
case ${1:-all} in
native) lists=("$here/packages-native.txt") ;;
ansible) lists=("$here/packages-ansible.txt") ;;
all) lists=("$here/packages-native.txt" "$here/packages-test.txt" "$here/packages-ansible.txt") ;;
*) echo "usage: install-deps.sh [native|ansible|all]" >&2; exit 2 ;;
esac
mapfile -t wanted < <(cat "${lists[@]}" | grep -v '^\s*#' | grep -v '^\s*$')
missing=()
for pkg in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
