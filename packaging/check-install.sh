#!/usr/bin/env bash
# Installs a build tree into a temporary prefix and checks that the tree runs: the
# programs and their configuration, the udev rule, desktop entries and icons are in place,
# every installed program finds its libraries, and ostrel-sim answers --help.
# Usage: check-install.sh <build dir>
set -euo pipefail
build=$1
prefix=$(mktemp -d /tmp/ostrel-install-XXXXXX)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
need() {
    if [ ! -e "$prefix/$1" ]; then
        echo "missing: $1"
        fail=1
    fi
}
need lib/udev/rules.d/70-ostrel.rules
grep -q 'ATTR{idVendor}=="1501"' "$prefix/lib/udev/rules.d/70-ostrel.rules" || {
    echo "the udev rule does not name vendor 1501"; fail=1; }
grep -q 'TAG+="uaccess"' "$prefix/lib/udev/rules.d/70-ostrel.rules" || {
    echo "the udev rule gives no seat access"; fail=1; }

for program in ostrel ostrel-probe ostrel-sim; do
    [ -e "$prefix/bin/$program" ] || continue
    if [ ! -x "$prefix/bin/$program" ]; then
        echo "not executable: bin/$program"; fail=1
    fi
    if ldd "$prefix/bin/$program" | grep -q 'not found'; then
        echo "bin/$program lacks libraries:"; ldd "$prefix/bin/$program" | grep 'not found'; fail=1
    fi
done
for program in ostrel ostrel-probe; do
    if [ -e "$prefix/bin/$program" ]; then
        # The link looks for its .USB file beside the executable, then here.
        need "etc/ostrel/$program.USB"
        grep -q '^VID=1501' "$prefix/etc/ostrel/$program.USB" || {
            echo "$program.USB names no vendor"; fail=1; }
        need "share/applications/$program.desktop"
        need "share/icons/hicolor/scalable/apps/$program.svg"
        grep -q "^Exec=$program\$" "$prefix/share/applications/$program.desktop" || {
            echo "$program.desktop starts something else"; fail=1; }
    fi
done
[ -e "$prefix/bin/ostrel" ] || [ -e "$prefix/bin/ostrel-probe" ] || {
    echo "neither program was installed"; fail=1; }
if [ -e "$prefix/bin/ostrel-sim" ]; then
    "$prefix/bin/ostrel-sim" --help >/dev/null || { echo "ostrel-sim --help failed"; fail=1; }
fi

if [ $fail -ne 0 ]; then
    echo "install check: FAILED (prefix $prefix)"
    exit 1
fi
echo "install check: the tree in a temporary prefix is complete and runs"
