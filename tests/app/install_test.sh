#!/bin/sh
# install_test.sh BUILD_DIR RAW_FILE: installs the build into a temporary
# prefix, where the installed tool must convert the 23 x 23 file and the README stand.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$1" --prefix "$tmp/prefix" >/dev/null
name="p(23x23).raw"
cp "$2" "$tmp/$name"
out=$(cd "$tmp" && "$tmp/prefix/bin/Tessarel" -c:BMP "$name" out)
[ "$out" = "$name -OK" ] || { echo "FAIL: printed: $out" >&2 && exit 1; }
[ -f "$tmp/prefix/share/doc/tessarel/README.md" ] || { echo "FAIL: no README installed" >&2 && exit 1; }
echo "ok: installed, converted $name"
