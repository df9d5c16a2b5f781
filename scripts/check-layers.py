#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

Every `#include "folder/..."` line of every source file is checked against the
table below. Exit status 1 names each offending file and line; 0 when all
includes run down. Usage: scripts/check-layers.py [SOURCE_ROOT]
"""
import fnmatch
import pathlib
import sys

# The layers, lowest first:
#   model < protocol < device < storage, link, publish < widgets < pages < app < cli
# and resources (our artwork) beside them, for widgets, pages and app.
# publish (readings to an MQTT broker) sits beside storage and link and
# knows neither; only app and cli use it.
# A folder may include itself and what its entry names: a folder ("device")
# or a path pattern ("app/engine*"). storage and link do not know each
# other; widgets and pages sit between the engine and the main window, so
# cli, which never shows a window, may take only the engine from app/.
# sim/ stands on its own; app/ may start simulated meters through
# sim/meter_simulator.h. tests/, bench/ and fuzz/ may include anything.
BELOW_ENGINE = ["model", "protocol", "device", "storage", "link"]
ALLOWED = {
    "model": [],
    "protocol": ["model"],
    "device": ["model", "protocol"],
    "storage": ["model", "protocol", "device"],
    "link": ["model", "protocol", "device"],
    "publish": ["model", "protocol", "device"],
    "resources": [],
    "widgets": BELOW_ENGINE + ["resources"],
    "pages": BELOW_ENGINE + ["resources", "widgets"],
    # The dashboard's --demo runs simulated meters in its own process.
    "app": BELOW_ENGINE + ["publish", "resources", "widgets", "pages", "sim/meter_simulator.h"],
    "cli": BELOW_ENGINE + ["publish", "app/engine*"],
    "sim": [],
}
SOURCE_SUFFIXES = {".h", ".hpp", ".cpp", ".cc"}
# The project's folders; an include naming any other folder is a library's.
OWN_FOLDERS = set(ALLOWED) | {"tests", "bench", "fuzz"}


def allowed(folder, target):
    if target.split("/", 1)[0] == folder:
        return True
    # tests/, bench/ and fuzz/ are in no entry: production code never includes them.
    for entry in ALLOWED[folder]:
        if target.startswith(entry + "/") or fnmatch.fnmatchcase(target, entry):
            return True
    return False


def quoted_include(line):
    text = line.strip()
    if not text.startswith("#"):
        return None
    text = text[1:].lstrip()
    if not text.startswith("include"):
        return None
    text = text[len("include"):].strip()
    if not text.startswith('"'):
        return None
    end = text.find('"', 1)
    return text[1:end] if end > 0 else None


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    faults = []
    checked = 0
    for folder in ALLOWED:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in SOURCE_SUFFIXES or not path.is_file():
                continue
            checked += 1
            with open(path, encoding="utf-8", errors="replace") as source:
                for number, line in enumerate(source, 1):
                    target = quoted_include(line)
                    if target is None or "/" not in target:
                        continue  # a header beside the file, or a library's
                    if target.split("/", 1)[0] not in OWN_FOLDERS:
                        continue
                    if not allowed(folder, target):
                        faults.append(f"{path.relative_to(root)}:{number}: {folder}/ includes \"{target}\"")
    for fault in faults:
        print(fault, file=sys.stderr)
    if faults:
        print(f"check-layers: {len(faults)} include(s) run up or across the layers; see the table in "
              f"{pathlib.Path(__file__).name}", file=sys.stderr)
        return 1
    print(f"check-layers: {checked} files, every include runs down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
