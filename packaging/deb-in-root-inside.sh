#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs inside the fresh Debian 12 root made by test-deb-in-root.sh: installs the package with
# apt (which must find everything it needs through the package's Depends), reads its manual
# page with man, then starts the panel under Xvfb as an ordinary user and looks for its
# window.
# Usage: deb-in-root-inside.sh /tmp/pio-out_VERSION_ARCH.deb
set -eu
deb=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "--- $*"; }

# apt's progress (hundreds of lines) goes to a log that is shown only when a step fails. No
# pseudo-terminal for dpkg: the root has no /dev/pts.
apt_quiet() {
    apt-get -o Dpkg::Use-Pty=0 "$@" >/tmp/apt.log 2>&1 ||
        { tail -n 40 /tmp/apt.log; fail "apt-get $* failed"; }
}

step "apt-get install $deb (no recommended packages: Depends alone must do)"
apt_quiet update
apt_quiet install -y --no-install-recommends "$deb"
grep -c '^Setting up ' /tmp/apt.log | sed 's/$/ packages set up/'
echo "Depends: $(dpkg-query -W -f='${Depends}' pio-out)"

step "every library of the program and of Qt's X11 platform plugin is there"
missing=$(ldd /usr/bin/pio-out | grep 'not found' || true)
[ -z "$missing" ] || fail "pio-out lacks libraries:
$missing"
xcb_plugin=$(dpkg-query -L libqt6gui6 | grep '/platforms/libqxcb\.so$' || true)
[ -n "$xcb_plugin" ] || fail "the package libqt6gui6 holds no X11 platform plugin (libqxcb.so)"
missing=$(ldd "$xcb_plugin" | grep 'not found' || true)
[ -z "$missing" ] || fail "$xcb_plugin lacks libraries:
$missing"
dpkg-query -W -f='${Status}' fonts-liberation | grep -q 'install ok installed' ||
    fail "fonts-liberation was not installed with the package"

# Only now the test tools: they must not bring in anything the package forgot to ask for.
step "apt-get install xvfb x11-utils (test tools)"
apt_quiet install -y --no-install-recommends xvfb x11-utils
command -v useradd >/dev/null || apt_quiet install -y --no-install-recommends passwd
useradd --create-home --shell /bin/sh tester

step "man pio-out (man-db installed as a test tool)"
# dpkg leaves out paths that a file in /etc/dpkg/dpkg.cfg.d excludes (slim images drop
# /usr/share/man that way); the page must really have arrived.
page=/usr/share/man/man1/pio-out.1.gz
[ -f "$page" ] || fail "the package did not install $page (dpkg excludes: $(cat /etc/dpkg/dpkg.cfg.d/* 2>/dev/null | grep path-exclude | tr '\n' ' '))"
apt_quiet install -y --no-install-recommends man-db
# Not a terminal, so man formats the page and prints it without a pager.
runuser -u tester -- env LANG=C.UTF-8 MANWIDTH=80 man pio-out >/tmp/man.txt 2>/tmp/man.err ||
    { cat /tmp/man.err; fail "man pio-out failed"; }
head -n 8 /tmp/man.txt
grep -q '^PIO-OUT(1) ' /tmp/man.txt || fail "man pio-out shows no PIO-OUT(1) page"
grep -q 'pio-out - control panel for six output channels' /tmp/man.txt ||
    fail "man pio-out shows no NAME line"
grep -q 'Keine Verbindung zur Anzeige' /tmp/man.txt || fail "the page lacks its messages"
[ ! -s /tmp/man.err ] || { cat /tmp/man.err; fail "man pio-out printed warnings"; }
mandb -q
whatis pio-out | grep -q '^pio-out (1) *- control panel' ||
    fail "whatis does not find pio-out(1): $(whatis pio-out 2>&1)"
echo "whatis: $(whatis pio-out)"

step "Xvfb and pio-out"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>/tmp/display >/tmp/xvfb.log 2>&1 &
xvfb=$!
n=0
until [ -s /tmp/display ]; do
    n=$((n + 1))
    [ $n -le 100 ] || { cat /tmp/xvfb.log; fail "Xvfb did not start"; }
    kill -0 $xvfb 2>/dev/null || { cat /tmp/xvfb.log; fail "Xvfb ended"; }
    sleep 0.1
done
display=:$(cat /tmp/display)
echo "Xvfb on display $display"

runuser -u tester -- env DISPLAY="$display" HOME=/home/tester pio-out >/tmp/pio-out.log 2>&1 &
panel=$!
window=""
n=0
while [ -z "$window" ]; do
    n=$((n + 1))
    if [ $n -gt 300 ] || ! kill -0 $panel 2>/dev/null; then
        echo "pio-out output:"; cat /tmp/pio-out.log
        echo "windows:"; xwininfo -display "$display" -root -tree || true
        kill $panel $xvfb 2>/dev/null || true
        fail "no 340x200 window named pio-out within 30 s"
    fi
    sleep 0.1
    # A top-level line reads: 0x400007 "pio-out": ("pio-out" "Pio-out")  340x200+342+284  +342+284
    window=$(xwininfo -display "$display" -root -children 2>/dev/null |
             grep '"pio-out": (' | grep ' 340x200+' || true)
done
echo "Window: $window"
id=$(echo "$window" | awk '{ print $1 }')
xwininfo -display "$display" -name pio-out | grep -E 'Window id|Width|Height|Map State'
xwininfo -display "$display" -id "$id" | grep -q 'Map State: IsViewable' || fail "the window is not mapped"
xprop -display "$display" -id "$id" WM_CLASS _NET_WM_NAME WM_NAME
kill -0 $panel 2>/dev/null || fail "pio-out ended by itself"
if [ -s /tmp/pio-out.log ]; then echo "pio-out output:"; cat /tmp/pio-out.log; fi

step "ending pio-out and Xvfb"
kill $panel
wait $panel || true
kill $xvfb
wait $xvfb || true
echo "PASS: the panel's 340x200 window appeared"
