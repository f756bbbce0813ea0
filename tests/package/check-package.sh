#!/bin/sh
# Builds the Debian package from the build folder into a temporary folder,
# unpacks it into a temporary root, runs its programs from there and checks
# its desktop entry, the configuration file's type, the completion and the
# JSON's schema.   check-package.sh BUILD_DIR
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

# The completion, where bash-completion looks for it, is the tool's own.
completion="$out/root/usr/share/bash-completion/completions/plc-tarvik-cli"
"$out/root/usr/bin/plc-tarvik-cli" --completion bash | cmp - "$completion"
bash -c ". '$completion' && complete -p plc-tarvik-cli" | grep -q _plc_tarvik_cli

# The configuration file's type, installed with the desktop entry into a
# scratch data folder as the package's triggers do: a .apc, and a record
# without a name that says anything, are of the type, which the entry opens;
# a file of that size with something else at the record's end is not.
type=application/x-plc-tarvik-configuration
data="$out/data"
mkdir -p "$data/mime/packages" "$data/applications" "$out/files"
cp "$out/root/usr/share/mime/packages/plc-tarvik.xml" "$data/mime/packages/"
cp "$out/root/usr/share/applications/plc-tarvik.desktop" "$data/applications/"
update-mime-database "$data/mime"
update-desktop-database "$data/applications"
echo '{}' >"$out/files/empty.json"
"$out/root/usr/bin/plc-tarvik-cli" convert "$out/files/empty.json" "$out/files/site.apc" >/dev/null
cp "$out/files/site.apc" "$out/files/site"
{ head -c 15016 "$out/files/site.apc"; printf 'not a record %17s' x; } >"$out/files/other"
xdg() {
    env -i PATH="$PATH" HOME="$out" XDG_DATA_HOME="$data" XDG_DATA_DIRS=/usr/share \
        XDG_CONFIG_HOME="$out/config" xdg-mime "$@"
}
for file in site.apc site; do
    test "$(xdg query filetype "$out/files/$file")" = "$type"
done
test "$(xdg query filetype "$out/files/other")" != "$type"
test "$(xdg query default "$type")" = plc-tarvik.desktop

# The configuration JSON's schema, as the tool's JSON names it.
schema="$out/root/usr/share/plc-tarvik/configuration.schema.json"
python3 -c 'import json, sys; json.load(open(sys.argv[1]))' "$schema"
"$out/root/usr/bin/plc-tarvik-cli" convert "$out/files/site.apc" "$out/files/site.json" >/dev/null
grep -q "\"\$schema\": \"file://${schema#"$out/root"}\"" "$out/files/site.json"
echo "package checked: $(basename "$deb")"
