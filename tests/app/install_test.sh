#!/bin/sh
# install_test.sh BUILD_DIR RAW_23x23: the tool installed in a temporary prefix converts the file
# under both its names, and its manual page renders with every size mask of its source.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$1" --prefix "$tmp/prefix" >/dev/null
cp "$2" "$tmp/p(23x23).raw"
[ "$(cd "$tmp" && prefix/bin/Tessarel -c:BMP 'p(23x23).raw' out)" = "p(23x23).raw -OK" ]
[ "$(cd "$tmp" && prefix/bin/tessarel -c:BMP 'p(23x23).raw' o)" = "p(23x23).raw -OK" ]
[ -f "$tmp/prefix/share/doc/tessarel/README.md" ] && [ -f "$tmp/out/p(23x23)_mask.bmp" ]
[ -f "$tmp/prefix/share/doc/tessarel/copyright" ] && [ -f "$tmp/prefix/share/doc/tessarel/docs/raw-format.md" ]
cd "$(dirname "$0")/../.."
scripts/check-manpage.sh "$tmp/prefix/share/man/man1/tessarel.1.gz" docs/Tessarel.1.in >/dev/null
