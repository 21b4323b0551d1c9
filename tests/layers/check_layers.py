#!/usr/bin/env python3
"""Fails when a file under src/ includes a project header its layer may not use.

Each folder is one layer and uses only the layers below it. A newcomer who
adds a wrong include gets the file, the line and the rule it breaks.
usage: check_layers.py SRC_DIR
"""
import pathlib
import re
import sys

CORE = ["platform", "res", "device", "protocol", "files", "ops", "app"]

# What each folder may include besides itself: whole folders, or single
# headers where a back end needs one thing of the core and nothing more.
RULES = {
    "platform": ([], "the seams depend on nothing"),
    "res": (["platform"], "texts use only the seams' types"),
    "device": (["platform"], "the port resolution sits right on the seams"),
    "protocol": (["device", "platform"], "the protocol builds on the device port"),
    "files": (["res", "platform"], "files know their texts and the seams"),
    "ops": (["protocol", "files", "device", "res", "platform"],
            "operations never show anything, so never use app/"),
    "app": (CORE[:-1], "the window's logic may use every core layer"),
    "sim": (["platform", "protocol/VendorRequests.h", "protocol/ParameterBlock.h"],
            "a back end implements seams; the simulator also speaks the device's side of the wire"),
    "posix": (["platform"], "a back end implements seams and decides nothing"),
    "win32": (["platform"], "a back end implements seams and decides nothing"),
    "window": (["win32", "sim"] + CORE, "the Windows front end routes to the window's logic"),
    "cli": (["posix", "sim"] + CORE[:-1], "the tool is a front end that never uses the window's class"),
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')


def layer_of(relative):
    parts = relative.parts
    if len(parts) >= 3 and "/".join(parts[:2]) in RULES:
        return "/".join(parts[:2])
    return parts[0] if len(parts) >= 2 else None


def allowed(layer, header):
    if header.startswith(layer + "/") and layer_of(pathlib.PurePosixPath(header)) == layer:
        return True
    for entry in RULES[layer][0]:
        if header == entry or (not entry.endswith(".h") and header.startswith(entry + "/")):
            return True
    return False


def main():
    src = pathlib.Path(sys.argv[1])
    folders = {p.name for p in src.iterdir() if p.is_dir()}
    problems = []
    for folder in sorted(folders - {layer.split("/")[0] for layer in RULES}):
        problems.append(f"src/{folder}/: a folder with no layering rule; add one to {sys.argv[0]}")
    for path in sorted(src.rglob("*")):
        if path.suffix not in (".h", ".cpp", ".rc"):
            continue
        relative = path.relative_to(src)
        layer = layer_of(relative)
        if layer not in RULES:
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            header = match.group(1)
            if "/" not in header or header.split("/")[0] not in folders:
                continue  # a header beside the file, or not the project's
            if not allowed(layer, header):
                uses, why = RULES[layer]
                problems.append(
                    f"src/{relative}:{number}: includes {header}, but {layer}/ may use only "
                    f"{', '.join(uses) or 'itself'} ({why})")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
