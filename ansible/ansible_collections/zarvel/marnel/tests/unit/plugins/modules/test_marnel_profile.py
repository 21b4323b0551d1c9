from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json

import pytest

from ansible.module_utils import basic
from ansible.module_utils.common.text.converters import to_bytes
from ansible_collections.zarvel.marnel.plugins.modules import marnel_facts, marnel_profile


class Exited(Exception):
    pass


def run(monkeypatch, module, args, rc, stdout):
    """Runs a module's main() with the tool's answer given; returns its argv and result."""
    calls = []

    def run_command(self, argv, **kwargs):
        calls.append(argv)
        return rc, stdout, ''

    def leave(self, **result):
        raise Exited(result)

    monkeypatch.setattr(basic, '_ANSIBLE_ARGS', to_bytes(json.dumps({'ANSIBLE_MODULE_ARGS': args})))
    monkeypatch.setattr(basic.AnsibleModule, 'run_command', run_command)
    monkeypatch.setattr(basic.AnsibleModule, 'exit_json', leave)
    monkeypatch.setattr(basic.AnsibleModule, 'fail_json', lambda self, **result: leave(self, **dict(result, failed=True)))
    with pytest.raises(Exited) as exited:
        module.main()
    return calls, exited.value.args[0]


DRIFT = json.dumps(dict(compliant=False, units=[dict(
    serial='S1', printer='Q', model='KQ-10', covered=True, compliant=False,
    firmware=dict(current='1.05', wanted='1.06', compliant=False), parameters=None)]))


@pytest.mark.parametrize('module, extra, rc, stdout, verb, failed, changed', [
    (marnel_profile, dict(_ansible_check_mode=True, _ansible_diff=True), 1, DRIFT, 'check', False, True),
    (marnel_profile, {}, 2, '{"error": "profile unreadable"}', 'apply', True, False),
    (marnel_facts, {}, 0, '{"schema": 1, "units": []}', 'inventory', False, False),
])
def test_modules_run_the_tool_and_judge(monkeypatch, module, extra, rc, stdout, verb, failed, changed):
    args = dict(profile='/etc/marnel/p.json') if module is marnel_profile else {}
    args.update(extra)
    calls, result = run(monkeypatch, module, args, rc, stdout)
    assert calls[0][:3] == ['marnel', verb, '--json']
    assert result['failed'] is failed  # said when false too: a non-zero rc alone reads as failed
    assert result['changed'] is changed
    if extra.get('_ansible_diff'):
        assert result['diff'][0]['after'] == 'firmware: 1.06\n'
