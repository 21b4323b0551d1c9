# -*- coding: utf-8 -*-
# One task name for a mixed fleet: on Linux hosts the module runs as it is;
# on Windows hosts there is no PowerShell module, so the console program runs
# through win_command and its answer is judged here on the controller, by the
# same code the module uses.

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

from subprocess import list2cmdline

from ansible.plugins.action import ActionBase
from ansible.utils.vars import merge_hash
from ansible_collections.zarvel.marnel.plugins.module_utils.marnel_cli import (
    module_options, build_command, judge_profile)

WINDOWS_EXECUTABLE = 'marnel.com'


class ActionModule(ActionBase):

    def run(self, tmp=None, task_vars=None):
        self._supports_check_mode = True
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp  # tmp no longer has any effect
        if not getattr(self._connection._shell, '_IS_WINDOWS', False):
            return merge_hash(result, self._execute_module(task_vars=task_vars))
        return merge_hash(result, self._run_on_windows(task_vars))

    def _run_on_windows(self, task_vars):
        # Paths are the Windows host's: read as text, not expanded here.
        options = module_options(None, path_type='str', profile_required=True, timeout=True)
        dummy, params = self.validate_argument_spec(argument_spec=options)
        params['executable'] = params['executable'] or WINDOWS_EXECUTABLE
        checking = self._task.check_mode
        command = 'check' if checking else 'apply'
        argv = build_command(command, params)
        # `check` never writes, so it runs in check mode too, where win_command
        # would only skip.
        self._task.check_mode = False
        try:
            ran = self._execute_module(module_name='ansible.windows.win_command',
                                       module_args=dict(_raw_params=list2cmdline(argv)),
                                       task_vars=task_vars)
        finally:
            self._task.check_mode = checking
        if 'rc' not in ran:
            return dict(failed=True, cmd=argv, msg=ran.get('msg', 'win_command did not run marnel'))
        result = judge_profile(command, ran['rc'], ran.get('stdout', ''), ran.get('stderr', ''),
                               diff=self._task.diff)
        result['cmd'] = argv
        return result
