#!/usr/bin/python3
"""Runs Debian's ansible-test without network access.

ansible-test puts every sanity test in a virtual environment of its own and
fills it with pip, from the network. Here each such environment sees the
system's site packages instead (the Debian packages that
scripts/packages-ansible.txt names) and nothing is installed with pip. The
environments get names of their own, so that a run with network access never
takes one of them for its own.
"""
import sys

import ansible_test._internal.commands.sanity as sanity
from ansible_test._internal import main

_create = sanity.create_virtual_environment
_hash = sanity.hash_pip_commands


def _with_system_packages(args, python, path, system_site_packages=False, pip=False):
    del system_site_packages, pip
    return _create(args, python, path, system_site_packages=True, pip=False)


def _offline_name(commands):
    return 'offline-' + _hash(commands)


def _no_pip(*args, **kwargs):
    del args, kwargs


if __name__ == '__main__':
    sanity.create_virtual_environment = _with_system_packages
    sanity.hash_pip_commands = _offline_name
    sanity.run_pip = _no_pip
    sys.exit(main())
