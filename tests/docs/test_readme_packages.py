#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The README's list of Debian packages says what scripts/deps.sh really installs.

Every `NAME_PACKAGES="..."` of deps.sh must have its bullet in the README, "- ... (`NAME_PACKAGES`):"
followed by exactly those packages in backticks, and the README names no list deps.sh lacks.
Someone building by hand follows the README, not the script.
"""
import re
import sys

SHELL_LIST = re.compile(r'^([A-Z_]+_PACKAGES)="([^"]*)"', re.M)
README_ITEM = re.compile(r"^- [^\n]*?\(`([A-Z_]+_PACKAGES)`\):((?:[^\n]*\n)(?:  [^\n]*\n)*)", re.M)


def script_lists(text):
    return {name: set(body.split()) for name, body in SHELL_LIST.findall(text)}


def readme_lists(text):
    return {name: set(re.findall(r"`([^`]+)`", body)) for name, body in README_ITEM.findall(text)}


def main(argv):
    deps, readme = argv[1], argv[2]
    want = script_lists(open(deps, encoding="utf-8").read())
    have = readme_lists(open(readme, encoding="utf-8").read())
    problems = []
    if not want:
        problems.append(f"no *_PACKAGES lists found in {deps}")
    for name in sorted(set(want) | set(have)):
        if name not in have:
            problems.append(f"README lacks the list {name}: {' '.join(sorted(want[name]))}")
        elif name not in want:
            problems.append(f"README lists {name}, which {deps} does not have")
        else:
            if want[name] - have[name]:
                problems.append(f"README's {name} lacks {' '.join(sorted(want[name] - have[name]))}")
            if have[name] - want[name]:
                problems.append(f"README's {name} has {' '.join(sorted(have[name] - want[name]))}, "
                                "which the scripts do not install")
    for p in problems:
        print("FAIL:", p)
    if not problems:
        print(f"PASS: {len(want)} lists, {sum(len(v) for v in want.values())} packages")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
