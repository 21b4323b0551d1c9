#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

DOCUMENTATION = r'''
module: marnel_profile
short_description: Bring the host's Zarvel units to a Marnel profile
description:
  - Runs C(marnel apply --profile PROFILE --json) on the host, which updates each unit's
    firmware and parameter block where they differ from the profile, with a backup and a
    history line for every change.
  - In check mode runs C(marnel check) instead, which never writes to a unit; drift is
    reported as C(changed).
  - On Windows hosts the console program C(marnel.com) runs through M(ansible.windows.win_command)
    (which the collection C(ansible.windows) provides) and its answer is judged on the
    controller; the result is the same.
version_added: 2.1.0
author: Zarvel service tools team (!UNKNOWN)
options:
  profile:
    description: Path of the profile file on the host; its files are found beside it.
    type: path
    required: true
  executable:
    description:
      - The marnel program, a name found on C(PATH) or a path.
      - On Windows hosts the default is C(marnel.com).
    type: str
    default: marnel
  timeout:
    description: Seconds to wait for a unit to reach its update mode before its firmware is sent.
    type: int
extends_documentation_fragment:
  - zarvel.marnel.units
attributes:
  action:
    description: An action plugin runs the console program on Windows hosts.
    support: full
  check_mode:
    description: Can run in check mode and tell whether a change would be made.
    support: full
  diff_mode:
    description: Shows what each unit holds and what the profile wants.
    support: full
    details: Per unit, the firmware version and the parameter block's checksum and differing byte ranges.
'''

EXAMPLES = r'''
- name: Bring every unit to the site profile
  zarvel.marnel.marnel_profile:
    profile: /etc/marnel/site/profile.json
    timeout: 120

- name: Report drift only
  zarvel.marnel.marnel_profile:
    profile: /etc/marnel/site/profile.json
  check_mode: true
'''

RETURN = r'''
profile:
  description: The profile as the tool read it.
  returned: when the tool answered
  type: str
units:
  description:
    - One record per unit, as the tool gives it (printer, serial, model, compliant, firmware,
      parameters; after an apply also changed, outcome, after, backups, history).
  returned: when the tool answered
  type: list
  elements: dict
compliant:
  description: Whether every unit complies (check mode only).
  returned: in check mode
  type: bool
backups:
  description: Backup files of the parameter blocks written before the changes, on the host.
  returned: when the tool answered
  type: list
  elements: str
history:
  description: The history lines written on the host, as objects.
  returned: when the tool answered
  type: list
  elements: dict
rc:
  description: The tool's exit status.
  returned: always
  type: int
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.zarvel.marnel.plugins.module_utils.marnel_cli import (
    module_options, build_command, judge_profile)


def main():
    module = AnsibleModule(
        argument_spec=module_options('marnel', profile_required=True, timeout=True),
        supports_check_mode=True,
    )
    command = 'check' if module.check_mode else 'apply'
    argv = build_command(command, module.params)
    rc, stdout, stderr = module.run_command(argv)
    result = judge_profile(command, rc, stdout, stderr, diff=module._diff)
    result['cmd'] = argv
    if result['failed']:
        module.fail_json(**result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
