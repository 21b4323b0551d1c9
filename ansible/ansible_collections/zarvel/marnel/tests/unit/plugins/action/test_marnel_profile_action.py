from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json

import pytest

from ansible.playbook.task import Task
from ansible_collections.zarvel.marnel.plugins.action.marnel_profile import ActionModule
from ansible_collections.zarvel.marnel.plugins.module_utils.marnel_cli import judge_profile
from unittest.mock import MagicMock

COMPLIANT = json.dumps(dict(compliant=True, units=[dict(serial='S1', covered=True, compliant=True)]))
FAILED = json.dumps(dict(changed=False, units=[dict(serial='S1', outcome='failed', error='refused')]))


def action(windows, check_mode, args):
    task = MagicMock(Task)
    task.async_val = 0
    task.check_mode = check_mode
    task.diff = False
    task.args = args
    connection = MagicMock()
    connection._shell._IS_WINDOWS = windows
    plugin = ActionModule(task, connection, MagicMock(), loader=None, templar=None, shared_loader_obj=None)
    plugin._execute_module = MagicMock()
    return plugin


@pytest.mark.parametrize('check_mode, rc, stdout, command_line', [
    (True, 0, COMPLIANT, r'marnel.com check --json --profile "C:\Site Profile\p.json"'),
    (False, 1, FAILED, r'D:\m.com apply --json --profile "C:\Site Profile\p.json" --timeout 30'),
])
def test_windows_hosts_run_the_console_program_and_judge_on_the_controller(check_mode, rc, stdout, command_line):
    args = dict(profile=r'C:\Site Profile\p.json')
    if not check_mode:
        args.update(executable=r'D:\m.com', timeout=30)
    plugin = action(True, check_mode, args)
    plugin._execute_module.return_value = dict(rc=rc, stdout=stdout, stderr='', failed=rc != 0)
    result = plugin.run(task_vars={})
    called = plugin._execute_module.call_args.kwargs
    assert called['module_name'] == 'ansible.windows.win_command'
    assert called['module_args'] == dict(_raw_params=command_line)
    command = command_line.split()[1]
    expected = judge_profile(command, rc, stdout, '')
    assert dict((key, result[key]) for key in expected) == expected
    assert plugin._task.check_mode is check_mode


def test_other_hosts_run_the_module():
    plugin = action(False, False, dict(profile='/p.json'))
    plugin._execute_module.return_value = dict(changed=True, rc=0)
    assert plugin.run(task_vars={})['changed'] is True
    assert plugin._execute_module.call_args.kwargs == dict(task_vars={})
