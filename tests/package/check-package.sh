#!/bin/sh
# Builds the Debian package from the build folder into a temporary folder,
# unpacks it into a temporary root, runs its programs from there and checks
# its desktop entry.   check-package.sh BUILD_DIR
set -eu
build="$1"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/plc-tarvik_*.deb)
dpkg-deb -x "$deb" "$out/root"
export QT_QPA_PLATFORM=offscreen
"$out/root/usr/bin/plc-tarvik-cli" --help | grep -q "Exit codes"
"$out/root/usr/bin/plc-sim" --help | grep -q -- "--link"
desktop-file-validate "$out/root/usr/share/applications/plc-tarvik.desktop"
for page in plc-tarvik plc-tarvik-cli plc-sim; do
    test -s "$out/root/usr/share/man/man1/$page.1.gz"
done
echo "package checked: $(basename "$deb")"
