# SPDX-License-Identifier: MIT
"""The unpacked Debian kernel package of the kernel rig: which kernel series belongs to the
running Debian release, where the package keeps its modules (lib/modules on Debian 12,
usr/lib/modules on Debian 13) and the modules unpacked for busybox's insmod (Debian 13
compresses them with xz)."""
from __future__ import annotations

import lzma
import os
import shutil


class RigError(Exception):
    pass


# The kernel series of each Debian release the rig runs on: the kernel package must be the
# running suite's (apt's linux-image-amd64), not one left in the cache from another.
SUITE_KERNELS = {"bookworm": "6.1.", "trixie": "6.12."}


def suite() -> str:
    """The running Debian release's code name (VERSION_CODENAME in /etc/os-release)."""
    try:
        with open("/etc/os-release") as f:
            for line in f:
                key, _, value = line.strip().partition("=")
                if key == "VERSION_CODENAME":
                    return value.strip('"')
    except OSError:
        pass
    return ""


def modules_root(root: str) -> str:
    """Where the unpacked package keeps its modules: lib/modules (Debian 12) or, with the
    merged /usr of Debian 13, usr/lib/modules."""
    for rel in (("lib", "modules"), ("usr", "lib", "modules")):
        path = os.path.join(root, *rel)
        if os.path.isdir(path) and not os.path.islink(path):
            return path
    raise RigError(f"no lib/modules or usr/lib/modules in {root}")


def unpacked_name(rel: str) -> str:
    return rel[:-3] if rel.endswith(".xz") else rel


def copy_unpacked(src: str, dst: str) -> None:
    if src.endswith(".xz"):
        with lzma.open(src) as f, open(dst, "wb") as out:
            shutil.copyfileobj(f, out)
    elif src.endswith((".zst", ".gz")):
        raise RigError(f"{src}: only xz-compressed modules are unpacked here")
    else:
        shutil.copy(src, dst)
