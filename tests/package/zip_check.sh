#!/usr/bin/env bash
# Checks the Windows zip: marnel.exe, a Windows program, and README.txt,
# plain text with CRLF line ends, in one folder. usage: zip_check.sh PACKAGE.zip
set -u
python3 - "$1" <<'PY'
import sys, zipfile

path = sys.argv[1]
folder = path.rsplit("/", 1)[-1][: -len(".zip")]
with zipfile.ZipFile(path) as archive:
    names = sorted(n for n in archive.namelist() if not n.endswith("/"))
    expected = [f"{folder}/README.txt", f"{folder}/marnel.exe"]
    if names != expected:
        sys.exit(f"FAIL: the zip holds {names}, expected {expected}")
    exe = archive.read(f"{folder}/marnel.exe")
    readme = archive.read(f"{folder}/README.txt")
if exe[:2] != b"MZ":
    sys.exit("FAIL: marnel.exe is not a Windows program")
lines = readme.split(b"\n")[:-1]
if not lines or any(not line.endswith(b"\r") for line in lines):
    sys.exit("FAIL: README.txt does not end every line with CRLF")
if b"marnel.exe" not in readme:
    sys.exit("FAIL: README.txt does not say how to run marnel.exe")
print(f"{path.rsplit('/', 1)[-1]}: marnel.exe ({len(exe)} bytes), README.txt ({len(lines)} CRLF lines)")
PY
