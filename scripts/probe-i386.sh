#!/bin/sh
# Exits 0 when this machine runs 32-bit x86 code; otherwise prints why not on
# stderr and exits 1. A kernel built without IA-32 emulation refuses every
# 32-bit program, which is worth knowing before 300 i386 packages are installed.
set -u
case "$(uname -m)" in
  x86_64 | i?86) ;;
  *) echo "not an x86 machine ($(uname -m))" >&2; exit 1 ;;
esac
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# The smallest 32-bit program: exit(42) through the i386 system call gate.
printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' >"$dir/p.s"
if ! as --32 -o "$dir/p.o" "$dir/p.s" 2>"$dir/err" || ! ld -m elf_i386 -o "$dir/p" "$dir/p.o" 2>>"$dir/err"; then
  echo "cannot build a 32-bit probe: $(head -n 1 "$dir/err")" >&2
  exit 1
fi
"$dir/p" 2>"$dir/err"
status=$?
[ "$status" -eq 42 ] && exit 0
reason=$(sed -n 's/.*: //p' "$dir/err" | head -n 1)
echo "the kernel does not run 32-bit programs (${reason:-exit status $status})" >&2
exit 1
