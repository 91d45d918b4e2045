#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The house rules for C++ sources that a compiler does not check.

  check-sources.py format               every tracked C++ file is formatted as .clang-format
                                        says (clang-format --dry-run -Werror)
  check-sources.py tidy BUILD_DIR [-j N]
                                        clang-tidy 19 with the checks of .clang-tidy over the
                                        project's own files in BUILD_DIR/compile_commands.json

Each prints what it found and exits with 1 when anything was found, 77 when it cannot check
(no git checkout, no compilation database, the tool missing).
"""
import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SKIP = 77
# The kernel rig's guest programs keep the rig's own style.
LEFT_OUT = re.compile(r"^tests/kernel/")
SOURCE = re.compile(r"\.(cpp|h)$")
# misc-include-cleaner came with clang-tidy 17; Debian 12 and 13 both ship 19.
TIDY = "clang-tidy-19"


def tool(name):
    found = shutil.which(name)
    if not found:
        print(f"SKIP: {name} not installed (scripts/deps.sh: CHECK_PACKAGES)")
    return found


def tracked_sources():
    try:
        out = subprocess.run(["git", "-C", ROOT, "ls-files", "-z"], check=True,
                             capture_output=True).stdout.decode()
    except (OSError, subprocess.CalledProcessError):
        return None
    return [f for f in out.split("\0") if SOURCE.search(f) and not LEFT_OUT.match(f)]


def check_format():
    clang_format = tool("clang-format")
    files = tracked_sources()
    if not clang_format:
        return SKIP
    if files is None:
        print("SKIP: not a git checkout: no list of tracked files")
        return SKIP
    result = subprocess.run([clang_format, "--dry-run", "-Werror", *files], cwd=ROOT,
                            capture_output=True, text=True)
    drifted = sorted(set(re.findall(r"^(\S+?):\d+:\d+: error:", result.stderr, re.M)))
    if result.returncode != 0:
        sys.stdout.write(result.stderr[-20000:])
        print(f"FAIL: {len(drifted)} of {len(files)} files differ from .clang-format: "
              f"{' '.join(drifted)} (clang-format -i FILE formats one)")
        return 1
    print(f"PASS: {len(files)} files formatted as .clang-format says")
    return 0


def project_files(build_dir):
    """The project's own translation units in the build's compilation database."""
    path = os.path.join(build_dir, "compile_commands.json")
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        entries = json.load(f)
    # Not what the build generated (the pictures, Qt's moc files) nor GoogleTest's own.
    tracked = set(tracked_sources() or [])
    files = {os.path.relpath(os.path.join(e["directory"], e["file"]), ROOT) for e in entries}
    return sorted(files & tracked)


def tidy_one(clang_tidy, build_dir, path):
    # The compilation database carries GCC's warning flags; warnings are the compiler's
    # business in the checked builds, not the checks' (-w).
    result = subprocess.run([clang_tidy, "-p", build_dir, "--quiet", "--extra-arg=-w", path],
                            cwd=ROOT, capture_output=True, text=True)
    return path, result.returncode, result.stdout


def check_tidy(build_dir, jobs):
    clang_tidy = tool(TIDY)
    if not clang_tidy:
        return SKIP
    files = project_files(os.path.abspath(build_dir))
    if files is None or tracked_sources() is None:
        print(f"SKIP: no compile_commands.json in {build_dir}, or not a git checkout")
        return SKIP
    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        for path, code, out in pool.map(lambda p: tidy_one(clang_tidy, build_dir, p), files):
            if code != 0:
                failed.append(path)
                sys.stdout.write(out)
    if failed:
        print(f"FAIL: clang-tidy found something in {len(failed)} of {len(files)} files: "
              f"{' '.join(failed)}")
        return 1
    print(f"PASS: clang-tidy found nothing in {len(files)} files")
    return 0


def main(argv):
    if argv[1:] == ["format"]:
        return check_format()
    if len(argv) in (3, 5) and argv[1] == "tidy" and (len(argv) == 3 or argv[3] == "-j"):
        return check_tidy(argv[2], int(argv[4]) if len(argv) == 5 else os.cpu_count() or 1)
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
