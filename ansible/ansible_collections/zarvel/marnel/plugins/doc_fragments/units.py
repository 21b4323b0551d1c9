# -*- coding: utf-8 -*-

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type


class ModuleDocFragment(object):
    # The options that choose the units, the same for every module.
    DOCUMENTATION = r'''
options:
  serial:
    description: Only the unit with this USB serial number.
    type: str
  printer:
    description: Only the unit of this printer (queue).
    type: str
  simulate:
    description:
      - Simulated units instead of real ones, one per model named, comma-separated
        (C(KQ-10,KQ-10,ZT-5)). For tests.
    type: str
  simulate_state:
    description: File that keeps the simulated units between runs; implies I(simulate). For tests.
    type: path
'''
