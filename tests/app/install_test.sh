#!/bin/sh
# install_test.sh BUILD_DIR RAW_23x23: the tool installed in a temporary prefix converts the file,
# and its manual page renders with the command line described.
set -eu
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$1" --prefix "$tmp/prefix" >/dev/null
cp "$2" "$tmp/p(23x23).raw"
[ "$(cd "$tmp" && prefix/bin/Tessarel -c:BMP 'p(23x23).raw' out)" = "p(23x23).raw -OK" ]
[ -f "$tmp/prefix/share/doc/tessarel/README.md" ] && [ -f "$tmp/out/p(23x23)_mask.bmp" ]
[ -f "$tmp/prefix/share/doc/tessarel/copyright" ]
man -l "$tmp/prefix/share/man/man1/Tessarel.1.gz" | grep -q '^COMMAND LINE$'
