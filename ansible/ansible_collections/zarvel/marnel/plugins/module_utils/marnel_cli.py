# -*- coding: utf-8 -*-
# The one place that knows the marnel command line and its JSON: the modules
# and the Windows action plugin build their commands and judge the tool's
# answer here, so a host's result does not depend on how the tool was run.

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import json

# Options that narrow the units or replace them with simulated ones; every
# command takes them.
_UNIT_OPTIONS = (
    ('serial', '--serial'),
    ('printer', '--printer'),
    ('simulate_state', '--simulate-state'),
)

# What each exit status of check and apply means when the tool says nothing better.
_STATUS_TEXT = {
    1: 'a unit failed',
    2: 'the profile cannot be used',
    3: 'no unit found',
}


def module_options(executable, path_type='path', profile_required=False, timeout=False):
    """The options a command takes. `path_type` is 'str' where paths are the
    managed host's but the options are read on the controller."""
    options = dict(
        executable=dict(type='str', default=executable),
        profile=dict(type=path_type, required=profile_required),
        serial=dict(type='str'),
        printer=dict(type='str'),
        simulate=dict(type='str'),
        simulate_state=dict(type=path_type),
    )
    if timeout:
        options['timeout'] = dict(type='int')
    return options


def build_command(command, params):
    """argv for `marnel <command> --json` with the options that are set."""
    argv = [params['executable'], command, '--json']
    if params.get('profile'):
        argv += ['--profile', params['profile']]
    for name, flag in _UNIT_OPTIONS:
        if params.get(name):
            argv += [flag, params[name]]
    if params.get('simulate'):
        argv.append('--simulate=' + params['simulate'])
    if params.get('timeout') is not None:
        argv += ['--timeout', str(params['timeout'])]
    return argv


def parse_output(stdout):
    """The tool's result: the last line of its output, a JSON object. Lines
    before it are progress."""
    lines = [line for line in (stdout or '').splitlines() if line.strip()]
    if not lines:
        raise ValueError('no output')
    result = json.loads(lines[-1])
    if not isinstance(result, dict):
        raise ValueError('not a JSON object')
    return result


def _unreadable(rc, stdout, stderr):
    return dict(changed=False, failed=True, rc=rc, stdout=stdout, stderr=stderr,
                msg='marnel gave no JSON result (exit status %d): %s'
                    % (rc, (stderr or stdout or '').strip()[:500]))


def _tool_message(output, rc):
    message = output.get('error') or _STATUS_TEXT.get(rc, 'marnel failed')
    if output.get('detail'):
        message += ' (%s)' % output['detail']
    return message


def _unit_name(unit):
    return '%s (%s)' % (unit.get('serial') or '?', unit.get('printer') or '?')


def _failure_message(output, rc, failed_units):
    if output.get('error') or not failed_units:
        return _tool_message(output, rc)
    reasons = ['%s: %s' % (_unit_name(unit), unit.get('error') or 'failed') for unit in failed_units]
    return '%d of %d units failed: %s' % (len(failed_units), len(output.get('units') or []),
                                          '; '.join(reasons))


def _ranges(differences):
    shown = []
    for span in differences or []:
        first, last = span.get('first'), span.get('last')
        shown.append(str(first) if first == last else '%s-%s' % (first, last))
    return ', '.join(shown)


def unit_diff(unit):
    """Ansible's before/after text for a unit that differs from the profile,
    or None. After an apply, "after" is what the unit holds now; in a check
    it is what the profile wants."""
    if unit.get('compliant') or not unit.get('covered', True) or unit.get('error'):
        return None
    now = unit.get('after') or {}
    before, after = [], []
    firmware = unit.get('firmware')
    if firmware and not firmware.get('compliant'):
        reached = (now.get('firmware') or {}).get('current')
        before.append('firmware: %s' % firmware.get('current'))
        after.append('firmware: %s' % (reached or firmware.get('wanted')))
    parameters = unit.get('parameters')
    if parameters and not parameters.get('compliant'):
        reached = (now.get('parameters') or {}).get('currentSha256')
        before.append('parameters sha256: %s' % parameters.get('currentSha256'))
        after.append('parameters sha256: %s' % (reached or parameters.get('wantedSha256')))
        # The bytes that differ, as context on both sides.
        spans = 'differing bytes: %s' % _ranges(parameters.get('differences'))
        before.append(spans)
        after.append(spans)
    header = '%s %s' % (unit.get('model') or '?', _unit_name(unit))
    return dict(before_header=header, after_header=header,
                before='\n'.join(before) + '\n', after='\n'.join(after) + '\n')


def judge_profile(command, rc, stdout, stderr, diff=False):
    """The task result of `marnel check` or `marnel apply`. For check, exit
    status 1 is drift ("would change") unless a unit could not be read."""
    try:
        output = parse_output(stdout)
    except ValueError:
        return _unreadable(rc, stdout, stderr)
    units = output.get('units') or []
    result = dict(
        rc=rc,
        profile=output.get('profile'),
        units=units,
        backups=[path for unit in units for path in unit.get('backups') or []],
        history=[line for unit in units for line in unit.get('history') or []],
    )
    failed_units = [unit for unit in units if unit.get('error') or unit.get('outcome') == 'failed']
    if command == 'check':
        result['compliant'] = rc == 0
        drift = rc == 1 and units and not failed_units
        result['changed'] = bool(drift)
        failed = rc != 0 and not drift
    else:
        result['changed'] = bool(output.get('changed'))
        failed = rc != 0
    # Said even when false: Ansible takes a result with a non-zero rc as failed.
    result['failed'] = bool(failed)
    if failed:
        result['msg'] = _failure_message(output, rc, failed_units)
        result['stderr'] = stderr
    if diff:
        result['diff'] = [shown for shown in map(unit_diff, units) if shown]
    return result


def judge_inventory(rc, stdout, stderr):
    """The task result of `marnel inventory`: the object as ansible_facts.marnel."""
    try:
        output = parse_output(stdout)
    except ValueError:
        return _unreadable(rc, stdout, stderr)
    if rc != 0:
        return dict(changed=False, failed=True, rc=rc, stderr=stderr, msg=_tool_message(output, rc))
    facts = dict((key, value) for key, value in output.items() if key not in ('ok', 'exitStatus'))
    return dict(changed=False, failed=False, rc=rc, ansible_facts=dict(marnel=facts))
