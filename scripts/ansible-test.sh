#!/usr/bin/env bash
# Runs ansible-test on the collection zarvel.marnel without network access:
# Debian's ansible-core and the checkers it calls (scripts/packages-ansible.txt)
# stand in for what ansible-test would fetch with pip. integration runs the
# marnel that $MARNEL names, by default the native build's.
# usage: ansible-test.sh sanity|units|integration [ansible-test options]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
stage=${1:?usage: ansible-test.sh sanity|units|integration [ansible-test options]}
shift
"$top/scripts/install-deps.sh" ansible
# Debian's own interpreter, which sees those packages, whatever else is first on PATH.
python=/usr/bin/python3
version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
if [ "$stage" = integration ]; then
    # ansible-test passes PATH to the targets but drops other variables.
    marnel=${MARNEL:-$top/build/native/src/cli/marnel}
    bin=$(mktemp -d)
    trap 'rm -rf "$bin"' EXIT
    if [ -x "$marnel" ]; then
        ln -s "$(realpath "$marnel")" "$bin/marnel"
        export PATH="$bin:$PATH"
    elif ! command -v marnel >/dev/null; then
        echo "ansible-test.sh: no marnel at $marnel nor on PATH; build it (scripts/build.sh native) or set MARNEL" >&2
        exit 2
    fi
fi
cd "$top/ansible/ansible_collections/zarvel/marnel"
"$python" "$top/scripts/ansible-test-offline.py" "$stage" --local --python-interpreter "$python" \
    --python "$version" --color no "$@"
