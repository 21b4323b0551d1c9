"""Writes a profile that every simulated KQ-10 drifts from: firmware 1.06
(an image the simulator takes its version from) and the unit's own
parameter block with bytes 10-13 and 200 changed, its checksum made good.

usage: make_profile.py MARNEL FOLDER
Prints the profile's path, and that of a copy whose block sha256 is wrong.
"""

from __future__ import (absolute_import, division, print_function)
__metaclass__ = type

import hashlib
import json
import os
import subprocess
import sys

CHANGED_BYTES = (10, 11, 12, 13, 200)


def sha256(path):
    with open(path, 'rb') as data:
        return hashlib.sha256(data.read()).hexdigest()


def altered(block):
    block = bytearray(block)
    for offset in CHANGED_BYTES:
        block[offset] ^= 0x5A
    # The KQ-10's block: data at 8..263, its checksum high byte first at 264.
    checksum = (0x10000 - (sum(block[8:264]) & 0xFFFF)) & 0xFFFF
    block[264:266] = bytes((checksum >> 8, checksum & 0xFF))
    return bytes(block)


def main(marnel, folder):
    base = os.path.join(folder, 'base.prm')
    subprocess.check_call([marnel, '--simulate=KQ-10', '--json', 'get-params', base],
                          env=dict(os.environ, MARNEL_STATE_DIR=os.path.join(folder, 'scratch')),
                          stdout=subprocess.DEVNULL)
    with open(base, 'rb') as data:
        block = altered(data.read())
    with open(os.path.join(folder, 'KQ-10.prm'), 'wb') as data:
        data.write(block)
    with open(os.path.join(folder, 'kq10-106.kvf'), 'wb') as data:
        data.write(b'KQ-10 firmware image\nSIMULATED-VERSION=1.06\n')
    profile = dict(schema=1, name='Integration test', models={'KQ-10': dict(
        parameters=dict(file='KQ-10.prm', sha256=sha256(os.path.join(folder, 'KQ-10.prm'))),
        firmware=dict(version='1.06', file='kq10-106.kvf', sha256=sha256(os.path.join(folder, 'kq10-106.kvf'))))})
    paths = dict(profile=os.path.join(folder, 'profile.json'), bad_profile=os.path.join(folder, 'bad-profile.json'))
    with open(paths['profile'], 'w') as data:
        json.dump(profile, data)
    profile['models']['KQ-10']['parameters']['sha256'] = '0' * 64
    with open(paths['bad_profile'], 'w') as data:
        json.dump(profile, data)
    print(json.dumps(paths))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
