#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The stand-in port's set-up and every command run in the program's namespace change
nothing outside a mount namespace of their own: in the test's own namespace, or under
another root than the test's (where nsenter from a chroot lands without --root), they refuse
before mounting or making anything (exit 97). Each refusal is provoked in a throwaway
namespace, so a guard that let it through could not touch the machine's /dev."""
import os
import subprocess

import harness as h

REFUSED = 97


def dev_mounts_after_script_in_own_namespace() -> None:
    # Inside a throwaway namespace, the set-up script is told that namespace is the test's.
    probe = r"""
before=$(awk '$5 == "/dev"' /proc/self/mountinfo | wc -l)
rc=0
sh -c "$1" pio-e2e "$(readlink /proc/self/ns/mnt)" "$(stat -L -c %d:%i /)" "" true \
    2>/tmp/.pio-guard.err || rc=$?
after=$(awk '$5 == "/dev"' /proc/self/mountinfo | wc -l)
echo "$rc $before $after $(cat /tmp/.pio-guard.err)"
rm -f /tmp/.pio-guard.err
"""
    r = subprocess.run(["unshare", "-m", "--propagation", "private", "sh", "-c", probe,
                        "probe", h._NAMESPACE_SCRIPT], capture_output=True, text=True,
                       timeout=20)
    print("own namespace:", r.stdout.strip(), r.stderr.strip())
    rc, before, after, *message = r.stdout.split()
    h.check(int(rc) == REFUSED, f"the set-up ran in the test's own namespace (exit {rc})")
    h.check(before == after, f"mounts on /dev went from {before} to {after} all the same")
    h.check("nothing mounted or made" in " ".join(message), f"no reason given: {message}")


def commands_in_other_namespace() -> None:
    target = h.spawn(["unshare", "-m", "--propagation", "private", "sleep", "60"],
                     stdin=subprocess.DEVNULL)
    try:
        mine = h.namespace_identity()[0]
        theirs = h.wait_until(lambda: _other_ns(target.pid, mine), h.DEADLINE)
        h.check(theirs, "the throwaway namespace did not appear")
        # Its own namespace, the test's root: the command runs there.
        ok = subprocess.run(h.in_namespace_argv(target.pid, ["readlink", "/proc/self/ns/mnt"]),
                            capture_output=True, text=True, timeout=20)
        h.check(ok.returncode == 0, f"refused in a namespace of its own: {ok.stderr.strip()}")
        h.check(ok.stdout.strip() == theirs,
                f"ran in {ok.stdout.strip()}, not in the program's namespace {theirs}")
        # The same namespace seen under another root: refused, nothing made.
        argv = h.in_namespace_argv(target.pid, ["sh", "-c", ": > /tmp/.pio-guard-made"])
        argv[argv.index(h.namespace_identity()[1])] = "0:0"
        wrong = subprocess.run(argv, capture_output=True, text=True, timeout=20)
        print("other root:", wrong.returncode, wrong.stderr.strip())
        h.check(wrong.returncode == REFUSED, f"ran under another root (exit {wrong.returncode})")
        made = subprocess.run(
            h.in_namespace_argv(target.pid, ["test", "-e", "/tmp/.pio-guard-made"]), timeout=20)
        h.check(made.returncode == 1, "the refused command made its file all the same")
    finally:
        h.kill_group(target)


def _other_ns(pid: int, mine: str) -> str:
    try:
        ns = os.readlink(f"/proc/{pid}/ns/mnt")
    except OSError:
        return ""
    return ns if ns != mine else ""


def main(args):
    h.require_root()
    h.require_tools("unshare", "nsenter", "stat")
    dev_mounts_after_script_in_own_namespace()
    commands_in_other_namespace()


if __name__ == "__main__":
    h.run_test(main, h.parse_args(__doc__))
