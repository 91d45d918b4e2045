# SPDX-License-Identifier: MIT
# Installs the Debian packages given as arguments that are not installed yet.
# Sourced by the set-up scripts; uses sudo when not run as root.
install_missing() {
    missing=""
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" ||
            missing="$missing $pkg"
    done
    [ -z "$missing" ] && return 0
    as_root=""
    [ "$(id -u)" -ne 0 ] && as_root="sudo"
    # apt and dpkg report every package they fetch, unpack and set up: thousands of lines on a
    # fresh system. They go to a log; only a failure shows its end.
    apt_log="${TMPDIR:-/tmp}/pio-out-apt.$$.log"
    echo "Installing$missing (log: $apt_log)"
    # shellcheck disable=SC2086
    if $as_root apt-get update -qq >"$apt_log" 2>&1 &&
        DEBIAN_FRONTEND=noninteractive $as_root apt-get install -y -qq --no-install-recommends \
            $missing >>"$apt_log" 2>&1; then
        rm -f "$apt_log"
    else
        status=$?
        tail -n 40 "$apt_log" >&2
        echo "Installing the packages above failed (exit $status); the whole log is $apt_log" >&2
        return "$status"
    fi
}

BUILD_PACKAGES="cmake make g++ qt6-base-dev libgl-dev fonts-liberation"
TEST_PACKAGES="libgtest-dev xvfb xauth xdotool x11-utils x11-apps util-linux procps python3
    dpkg-dev file desktop-file-utils appstream lintian groff-base mandoc man-db"
# The house rules a compiler does not check: the format and clang-tidy's checks (the tests
# check.format and check.tidy), over the files git tracks. A clone has git; a root that was
# given one from outside (scripts/test-in-fresh-root.sh) has not, and both checks skipped.
CHECK_PACKAGES="clang-format clang-tidy-19 git"
# The Windows build: mingw-w64 cross compilers (the "-posix" ones, for std::thread), wine to
# run its tests, and GoogleTest's sources to build the test library with the cross compiler.
WINDOWS_PACKAGES="g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 googletest"
# Building the Debian package (dpkg-shlibdeps works out its library dependencies) and
# checking it with lintian.
PACKAGE_PACKAGES="dpkg-dev file lintian"
# The kernel rig (tests/kernel): Debian's kernel in QEMU with an emulated parallel port, an
# initramfs of busybox and the kernel's modules (packed with cpio, indexed with depmod).
# The headers of the running suite's kernel (linux-headers-amd64 goes with linux-image-amd64,
# the rig's kernel), gcc and make: the rig builds the GPIO simulator for that kernel.
KERNEL_TEST_PACKAGES="qemu-system-x86 busybox-static cpio kmod linux-headers-amd64 gcc make"
# Trying the package in a fresh Debian 12 root (packaging/test-deb-in-root.sh), and the whole
# clone's tests in a fresh Debian 12 or 13 root (scripts/test-in-fresh-root.sh).
DEB_ROOT_TEST_PACKAGES="debootstrap"
# The Wayland tests (tests/e2e/test_wayland_*.py): weston in headless mode with Xwayland and
# its screenshooter; sway in headless mode for the panel on Wayland alone, grim for its
# screenshots and wtype for its virtual keyboard; Qt's Wayland platform plugin.
WAYLAND_TEST_PACKAGES="weston xwayland sway grim wtype qt6-wayland"

# The lists above name packages that Debian 12 (bookworm) and 13 (trixie) both have under
# those names; a package only one release has goes in that release's list, added here.
# wlrctl (sway's virtual pointer, for clicks on Wayland alone) is only in Debian 13; on
# Debian 12 the tests that need it skip.
DEBIAN13_PACKAGES="wlrctl"
debian_release() {
    (. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
}
case "$(debian_release)" in
trixie) WAYLAND_TEST_PACKAGES="$WAYLAND_TEST_PACKAGES $DEBIAN13_PACKAGES" ;;
esac
