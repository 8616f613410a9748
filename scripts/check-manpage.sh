#!/bin/sh
# check-manpage.sh PAGE SOURCE: the manual page PAGE (as installed, gzipped or not), rendered by
# man, shows "(@wx@h)" and as many "@w" and "@h" as its source SOURCE holds outside comments:
# a size mask that the build took for a variable to fill in would be missing. A variable the
# build did fill in leaves no "@NAME@".
set -eu
page=$1 source=$2
fail() { echo "check-manpage: $page: $*" >&2; exit 1; }
text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null) || fail "man -l failed"
printf '%s\n' "$text" | grep -q -F '(@wx@h)' || fail 'no "(@wx@h)"'
for placeholder in @w @h; do
  want=$(grep -v '^\.\\"' "$source" | grep -o -i "$placeholder" | wc -l)
  got=$(printf '%s\n' "$text" | grep -o -i "$placeholder" | wc -l)
  [ "$got" -eq "$want" ] || fail "$got \"$placeholder\" where $source has $want"
done
! printf '%s\n' "$text" | grep -E '@[A-Z_]+@' || fail "a name above was left unfilled"
echo "$page: every size mask of $source is there"
