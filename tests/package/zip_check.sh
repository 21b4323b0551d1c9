#!/usr/bin/env bash
# Checks the Windows zip: marnel.exe (the window) and marnel.com (the
# console program), Windows programs both, and README.txt, plain text with
# CRLF line ends, in one folder. usage: zip_check.sh PACKAGE.zip
set -u
python3 - "$1" <<'PY'
import sys, zipfile

path = sys.argv[1]
folder = path.rsplit("/", 1)[-1][: -len(".zip")]
with zipfile.ZipFile(path) as archive:
    names = sorted(n for n in archive.namelist() if not n.endswith("/"))
    expected = [f"{folder}/README.txt", f"{folder}/marnel.com", f"{folder}/marnel.exe"]
    if names != expected:
        sys.exit(f"FAIL: the zip holds {names}, expected {expected}")
    exe = archive.read(f"{folder}/marnel.exe")
    com = archive.read(f"{folder}/marnel.com")
    readme = archive.read(f"{folder}/README.txt")
for name, program in (("marnel.exe", exe), ("marnel.com", com)):
    if program[:2] != b"MZ":
        sys.exit(f"FAIL: {name} is not a Windows program")
lines = readme.split(b"\n")[:-1]
if not lines or any(not line.endswith(b"\r") for line in lines):
    sys.exit("FAIL: README.txt does not end every line with CRLF")
for name in (b"marnel.exe", b"marnel.com"):
    if name not in readme:
        sys.exit(f"FAIL: README.txt does not say how to run {name.decode()}")
print(f"{path.rsplit('/', 1)[-1]}: marnel.exe ({len(exe)} bytes), marnel.com ({len(com)} bytes), "
      f"README.txt ({len(lines)} CRLF lines)")
PY
