#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""One scenario's verdict from the kernel rig's run (rig.py writes results.json): prints what
the guest saw and exits 0 when the scenario passed there, 1 when it failed or never ran, 77
when the rig skipped itself (no root; no QEMU outside scripts/run-tests).

    check.py RESULTS_JSON SCENARIO"""
import json
import os
import sys

SKIP = 77


def main() -> int:
    path, name = sys.argv[1], sys.argv[2]
    skipped = os.path.join(os.path.dirname(path), "skipped.txt")
    if os.path.exists(skipped):
        with open(skipped) as f:
            print("SKIP: " + f.read().strip())
        return SKIP
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError) as e:
        print(f"no results of the kernel rig ({e}): did kernel.boot run?")
        return 1
    entry = data.get("scenarios", {}).get(name)
    if entry is None:
        print(f"scenario {name} did not run in the guest (Linux {data.get('kernel')})")
        return 1
    print(f"Linux {data.get('kernel')}: {name} {'passed' if entry['ok'] else 'FAILED'} "
          f"in {entry.get('seconds')} s")
    for line in entry.get("log", []):
        print("  " + line)
    if not entry["ok"]:
        print(entry.get("error", "no reason given"))
    return 0 if entry["ok"] else 1


if __name__ == "__main__":
    sys.exit(main())
