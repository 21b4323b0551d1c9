from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json

import pytest

from ansible_collections.zarvel.marnel.plugins.module_utils.marnel_cli import (
    build_command, judge_inventory, judge_profile, unit_diff)


def unit(serial, **fields):
    record = dict(printer='Zarvel KQ-10', serial=serial, model='KQ-10', covered=True, compliant=True)
    record.update(fields)
    return record


def out(**fields):
    return json.dumps(fields)


DRIFT = unit('KQ10SN0001', compliant=False,
             firmware=dict(current='1.05', wanted='1.06', compliant=False),
             parameters=dict(compliant=False, currentSha256='aa', wantedSha256='bb',
                             differences=[dict(first=10, last=13), dict(first=200, last=200)]))
APPLIED = dict(DRIFT, changed=True, outcome='changed', backups=['/s/b1.prm'], history=[{'operation': 'put-params'}],
               after=dict(firmware=dict(current='1.06'), parameters=dict(currentSha256='bb')))
BROKEN = unit('KQ10SN0002', outcome='failed', error='the device refused the block')


@pytest.mark.parametrize('command, rc, stdout, changed, failed, msg', [
    ('check', 0, out(compliant=True, units=[unit('A')]), False, False, None),
    ('check', 1, out(compliant=False, units=[DRIFT]), True, False, None),
    ('check', 1, out(compliant=False, units=[unit('B', error='no answer')]), False, True, 'B (Zarvel KQ-10): no answer'),
    ('apply', 0, '{"progress": 28, "total": 28}\n' + out(changed=True, units=[APPLIED]), True, False, None),
    ('apply', 0, out(changed=False, units=[unit('A', outcome='unchanged')]), False, False, None),
    ('apply', 1, out(changed=True, units=[APPLIED, BROKEN]), True, True, '1 of 2 units failed: KQ10SN0002'),
    ('apply', 2, out(error='profile.json: sha256 of KQ-10.prm differs', units=[]), False, True, 'sha256 of KQ-10.prm'),
    ('check', 3, out(), False, True, 'no unit found'),
    ('apply', 139, 'Segmentation fault\n', False, True, 'no JSON result (exit status 139)'),
    ('check', 0, '[1, 2]\n', False, True, 'no JSON result'),
])
def test_judge_profile(command, rc, stdout, changed, failed, msg):
    result = judge_profile(command, rc, stdout, '')
    assert result['changed'] is changed
    assert result['failed'] is failed  # said when false too: a non-zero rc alone reads as failed
    if msg:
        assert msg in result['msg']


def test_judge_profile_gathers_backups_history_and_diffs():
    result = judge_profile('apply', 0, out(changed=True, units=[APPLIED, unit('C')]), '', diff=True)
    assert result['backups'] == ['/s/b1.prm']
    assert result['history'] == [{'operation': 'put-params'}]
    assert len(result['diff']) == 1


@pytest.mark.parametrize('record, before, after', [
    (DRIFT, 'firmware: 1.05\nparameters sha256: aa\ndiffering bytes: 10-13, 200\n',
     'firmware: 1.06\nparameters sha256: bb\ndiffering bytes: 10-13, 200\n'),
    (dict(APPLIED, after=dict(firmware=dict(current='9.99'))), 'firmware: 1.05\n', 'firmware: 9.99\n'),
    (unit('A'), None, None),
    (unit('Z', model='ZT-5', covered=False, compliant=False), None, None),
])
def test_unit_diff(record, before, after):
    shown = unit_diff(record)
    if before is None:
        assert shown is None
    else:
        assert shown['before'].startswith(before) and shown['after'].startswith(after)
        assert shown['before_header'] == 'KQ-10 KQ10SN0001 (Zarvel KQ-10)'


@pytest.mark.parametrize('command, params, argv', [
    ('check', dict(executable='marnel', profile='/p.json'), ['marnel', 'check', '--json', '--profile', '/p.json']),
    ('apply', dict(executable='m', profile='p', serial='S1', printer='Q', timeout=0, simulate='KQ-10,ZT-5',
                   simulate_state='/s.json'),
     ['m', 'apply', '--json', '--profile', 'p', '--serial', 'S1', '--printer', 'Q', '--simulate-state', '/s.json',
      '--simulate=KQ-10,ZT-5', '--timeout', '0']),
    ('inventory', dict(executable='marnel', profile=None, serial=None), ['marnel', 'inventory', '--json']),
])
def test_build_command(command, params, argv):
    assert build_command(command, params) == argv


@pytest.mark.parametrize('rc, stdout, facts, failed', [
    (0, out(ok=True, exitStatus=0, schema=1, host='h', units=[unit('A')]), dict(schema=1, host='h', units=[unit('A')]), False),
    (1, out(ok=False, exitStatus=1, error='CUPS could not be read', units=[]), None, True),
    (2, out(ok=False, exitStatus=2, error='profile unreadable'), None, True),
    (0, '', None, True),
])
def test_judge_inventory(rc, stdout, facts, failed):
    result = judge_inventory(rc, stdout, '')
    assert result['failed'] is failed  # said when false too: a non-zero rc alone reads as failed
    assert result.get('ansible_facts', {}).get('marnel') == facts
