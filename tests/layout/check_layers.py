#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
# Includes point down the layer order only: each library layer under lib/ may include its own
# headers and those of the layers below it; the programs and the simulator stay on the public
# headers (the simulator may see the virtual bus protocol, and nothing else of the library).
#   check_layers.py SOURCE_DIR
import pathlib
import re
import sys

LAYERS = ["status", "ndef", "transport", "reader", "session", "mifare", "desfire", "api"]
# Card families sit side by side: neither includes the other.
RANK = {"status": 0, "ndef": 1, "transport": 1, "reader": 2, "session": 3, "mifare": 4, "desfire": 4, "api": 5}
LIBRARY_FOLDERS = set(LAYERS)
SIMULATOR_MAY_SEE = {"lib/transport/usb/VirtualBusProtocol.h"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)


def includes(path):
    return INCLUDE.findall(path.read_text(errors="replace"))


def main(root):
    root = pathlib.Path(root)
    problems = []
    sources = lambda folder: [p for p in (root / folder).rglob("*") if p.suffix in (".h", ".cpp")]
    for layer in LAYERS:
        for path in sources(pathlib.Path("lib") / layer):
            for header in includes(path):
                top = header.split("/")[0]
                if top not in LIBRARY_FOLDERS:
                    continue
                same_family = top == layer
                if not same_family and RANK[top] >= RANK[layer]:
                    problems.append(f"{path.relative_to(root)}: {layer}/ includes {header}, not below it")
    for program in ["cli", "pcsc", "explorer", "dump", "sim"]:
        for path in sources(program):
            for header in includes(path):
                top = header.split("/")[0]
                if top in LIBRARY_FOLDERS or (top == "lib" and not (program == "sim" and header in SIMULATOR_MAY_SEE)):
                    problems.append(f"{path.relative_to(root)}: {program}/ reaches into the library: {header}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
