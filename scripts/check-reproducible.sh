#!/bin/sh
# Run after `make package`: builds the packages again, from nothing, in a copy of
# the tree (tracked and untracked files, not the ignored ones) at another path, and compares them byte for byte with those
# in dist/. The same commit must give the same bytes wherever it is built.
set -eu
cd "$(dirname "$0")/.."
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
fi
export SOURCE_DATE_EPOCH
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
trap 'exit 130' INT TERM
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy"
(cd "$copy" && scripts/make-packages.sh) >"$copy/build.log" 2>&1 ||
  { tail -n 30 "$copy/build.log" >&2; echo "check-reproducible: the second build failed" >&2; exit 1; }
status=0
for package in "$copy"/dist/*.deb "$copy"/dist/*.zip; do
  name=dist/$(basename "$package")
  if cmp "$package" "$name"; then
    echo "$name: the same bytes from a second build"
  else
    status=1
  fi
done
exit "$status"
