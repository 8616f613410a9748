#!/bin/sh
# apt-get update, tried again while a mirror is mid-sync: "File has unexpected
# size" and its like pass within minutes. If every try fails, the package lists
# already on the machine stay in use, and the install that follows tells whether
# they were enough.
set -u
for wait in 15 30 45 60 0; do
  apt-get update -qq && exit 0
  [ "$wait" -eq 0 ] && break
  echo "apt-get update failed; trying again in $wait s" >&2
  sleep "$wait"
done
echo "apt-get update failed every time; going on with the lists on this machine" >&2
exit 0
