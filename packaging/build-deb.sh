#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the release preset and makes the Debian package with
# CPack: build-release/pio-out_VERSION-1_ARCH.deb. Then checks the package's control data
# and file list, and runs lintian on it. Try it in a fresh Debian 12 root with
# packaging/test-deb-in-root.sh.
# It may run as the user after `sudo cmake --install build-release`: CPack installs by
# component and so leaves that installation's root-owned install_manifest.txt alone.
set -eu
cd "$(dirname "$0")/.."
. scripts/deps.sh
install_missing $BUILD_PACKAGES $PACKAGE_PACKAGES
cmake --preset release
cmake --build --preset release -j"$(nproc)"
rm -f build-release/pio-out_*.deb
cpack --preset deb
sh packaging/check-deb.sh build-release
sh packaging/check-lintian.sh build-release
