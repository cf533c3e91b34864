# SPDX-License-Identifier: MIT
"""Checks one --json output of norvex against the one style every listing shares.

    json_schema.py LISTING FILE [CHECK]

The file must parse as JSON (for "watch": one JSON object a line); each object of the listing
must have the listing's members; wherever they appear, byte members are upper-case hex strings,
the Mifare keys of a sector carry the names a JSON dump's "SectorKeys" uses, and "kind" is one
of the card type identifiers. CHECK, a Python expression over `doc`, must then hold.
"""
import json
import re
import sys

MEMBERS = {
    "readers": {"name", "product", "firmware", "error"},
    "scan": {"uid", "atqa", "sak", "kind", "type", "ats"},
    "scan all": {"reader", "product", "uid", "atqa", "sak", "kind", "type", "ats"},
    "watch": {"event", "time", "reader", "card"},
    "keys": {"sector", "keys"},
    "dump": {"Created", "FileType", "blocks", "SectorKeys"},
    "value": {"block", "value"},
    "acl": {"accessBits", "keyBUsable", "blocks"},
    "ultralight": {"uid", "kind", "type", "identifiedBy", "pages"},
    "ultralight info": {"uid", "kind", "type", "identifiedBy", "pages", "protection", "counters",
                        "signature"},
    "ndef read": {"uid", "kind", "mapping", "capacity", "message", "records"},
    "desfire info": {"uid", "kind", "type", "hardware", "software", "batch", "keySettings"},
    "desfire apps": {"aid"},
    "desfire files": {"file", "type", "comm", "access"},
    "desfire read": {"file", "type"},
    "apdu": {"ats", "exchanges"},
}
HEX_MEMBERS = {"uid", "atqa", "sak", "ats", "atqb", "data", "sw", "apdu", "aid", "hardware",
               "software", "batch", "accessBits", "keySettings", "KeyA", "KeyB",
               "AccessConditions", "UID", "ATQA", "SAK", "message", "payload", "id"}
SECTOR_KEY_NAMES = {"KeyA", "KeyB", "AccessConditions"}
KINDS = {"classicmini", "classic1k", "classic4k", "plus-sl2", "desfire", "iso14443-4",
         "ultralight", "ultralight-c", "ultralight-ev1", "ntag210", "ntag212", "ntag213",
         "ntag215", "ntag216", "type2", "iso14443a", "iso14443b"}
HEX = re.compile(r"^([0-9A-F]{2})*$")
TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$")


def walk(value, problems):
    if isinstance(value, list):
        for item in value:
            walk(item, problems)
        return
    if not isinstance(value, dict):
        return
    for name, member in value.items():
        if name in HEX_MEMBERS and member is not None and not HEX.match(str(member)):
            problems.append(f"{name} is not upper-case hex: {member!r}")
        if name == "kind" and member not in KINDS:
            problems.append(f"kind {member!r} is not a card type identifier")
        if name == "time" and not TIME.match(str(member)):
            problems.append(f"time {member!r} is not ISO 8601 UTC")
        if name in ("keys", "SectorKeys") and isinstance(member, (dict, list)):
            entries = member.values() if name == "SectorKeys" else [member]
            for entry in entries:
                if not set(entry) <= SECTOR_KEY_NAMES:
                    problems.append(f"sector keys named {sorted(entry)}")
        walk(member, problems)


def main():
    listing, path = sys.argv[1], sys.argv[2]
    text = open(path).read()
    doc = [json.loads(line) for line in text.splitlines()] if listing == "watch" else json.loads(text)
    problems = []
    objects = doc if isinstance(doc, list) else [doc]
    for entry in objects:
        missing = MEMBERS[listing] - set(entry)
        if missing:
            problems.append(f"{listing}: no {sorted(missing)} in {entry}")
    walk(doc, problems)
    if len(sys.argv) > 3 and not eval(sys.argv[3], {}, {"doc": doc}):
        problems.append(f"{sys.argv[3]} does not hold for {json.dumps(doc)[:400]}")
    for problem in problems:
        print(problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
