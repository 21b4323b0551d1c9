#!/usr/bin/python
# -*- coding: utf-8 -*-

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

DOCUMENTATION = r'''
module: marnel_facts
short_description: Gather the host's Zarvel units as facts
description:
  - Runs C(marnel inventory --json) on the host and returns its object as the fact C(marnel),
    which holds the host, the tool's version and one record per unit (model, serial, mode, firmware,
    parameter checksum, last change).
  - With I(profile), each unit's record also tells whether it complies with the profile.
  - A host without units gives an empty C(units) list, not a failure.
version_added: 2.1.0
author: Zarvel service tools team (!UNKNOWN)
options:
  profile:
    description: Path of a profile file on the host to judge each unit against.
    type: path
  executable:
    description: The marnel program, a name found on C(PATH) or a path.
    type: str
    default: marnel
extends_documentation_fragment:
  - zarvel.marnel.units
attributes:
  check_mode:
    description: Can run in check mode and tell whether a change would be made.
    support: full
  diff_mode:
    description: Gives no diff.
    support: none
  facts:
    description: Returns the units as the fact C(marnel).
    support: full
'''

EXAMPLES = r'''
- name: Gather the units
  zarvel.marnel.marnel_facts:
    profile: /etc/marnel/site/profile.json

- name: List the units that drift
  ansible.builtin.debug:
    msg: "{{ ansible_facts.marnel.units | rejectattr('compliance.compliant') | map(attribute='serial') }}"
'''

RETURN = r'''
ansible_facts:
  description: Facts added.
  returned: success
  type: complex
  contains:
    marnel:
      description: The tool's inventory object (schema, host, tool, time, units).
      returned: success
      type: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.zarvel.marnel.plugins.module_utils.marnel_cli import (
    module_options, build_command, judge_inventory)


def main():
    module = AnsibleModule(argument_spec=module_options('marnel'), supports_check_mode=True)
    argv = build_command('inventory', module.params)
    rc, stdout, stderr = module.run_command(argv)
    result = judge_inventory(rc, stdout, stderr)
    if result['failed']:
        module.fail_json(cmd=argv, **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
