#!/usr/bin/env python3
"""Fails when a file under src/ breaks the layout: an include its layer may
not use, an include that climbs out of its folder with ../, or a file name
that appears in two layers.

Each folder is one layer and uses only the layers below it. A newcomer who
adds a wrong include gets the file, the line and the rule it breaks.
usage: check_layers.py SRC_DIR
"""
import collections
import os
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
    "sim": (["platform", "protocol/VendorRequests.h", "protocol/ParameterBlock.h",
             "device/RegistryDeviceBus.h"],
            "a back end implements seams; the simulator also speaks the device's side of the wire "
            "and finds its units by the Windows locator"),
    "posix": (["platform", "device/UsbPrinterMatch.h", "device/UsbPrinterNames.h"],
              "a back end implements seams and decides nothing; the URI matching it finds units "
              "by is the core's"),
    "win32": (["platform", "device/RegistryDeviceBus.h"],
              "a back end implements seams and decides nothing; the walks it finds units by are "
              "the core's"),
    "window": (["win32", "sim"] + CORE, "the Windows front end routes to the window's logic"),
    "cli": (["posix", "win32", "sim"] + CORE[:-1], "the tool is a front end that never uses the window's class"),
}

# Names that two layers share for now, each pair to be removed once one of
# its files is renamed or gone. Nothing else may join it.
SHARED_NAMES = {}

SOURCES = (".h", ".cpp", ".rc")
INCLUDE = re.compile(r'^\s*#\s*include\s*(?:"([^"]+)"|<([^>]+)>)')


def allowed(layer, header):
    if header.startswith(layer + "/"):
        return True
    for entry in RULES[layer][0]:
        if header == entry or (not entry.endswith(".h") and header.startswith(entry + "/")):
            return True
    return False


def include_problems(src, path, layer, folders):
    relative = path.relative_to(src)
    for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        header = match.group(1) or match.group(2)
        if ".." in header.split("/"):
            named = os.path.normpath(os.path.join(os.path.dirname(str(relative)), header))
            fix = ("it lies outside src/" if named.startswith("..")
                   else f"name it from src/ (\"{named}\"), so that its layer shows")
            yield (f"src/{relative}:{number}: includes {header}, which climbs out of {layer}/ "
                   f"with ../; {fix}")
            continue
        if "/" not in header or header.split("/")[0] not in folders:
            continue  # a header beside the file, or not the project's
        if not allowed(layer, header):
            uses, why = RULES[layer]
            yield (f"src/{relative}:{number}: includes {header}, but {layer}/ may use only "
                   f"{', '.join(uses) or 'itself'} ({why})")


def shared_name_problems(layers_of_name):
    for name, layers in sorted(layers_of_name.items()):
        if len(layers) < 2 or set(layers) == SHARED_NAMES.get(name):
            continue
        where = ", ".join(f"src/{layer}/{name}" for layer in sorted(layers))
        yield (f"{where}: one file name in {len(layers)} layers (a reader must be able to tell "
               f"a file's layer from its name); rename all but one")


def main():
    src = pathlib.Path(sys.argv[1])
    folders = {p.name for p in src.iterdir() if p.is_dir()}
    problems = []
    for folder in sorted(folders - set(RULES)):
        problems.append(f"src/{folder}/: a folder with no layering rule; add one to {sys.argv[0]}")
    layers_of_name = collections.defaultdict(set)
    for path in sorted(src.rglob("*")):
        if path.suffix not in SOURCES:
            continue
        layer = path.relative_to(src).parts[0]
        if layer not in RULES:
            continue
        layers_of_name[path.stem].add(layer)
        problems.extend(include_problems(src, path, layer, folders))
    problems.extend(shared_name_problems(layers_of_name))
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
