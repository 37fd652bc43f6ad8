#!/usr/bin/env bash
# Runs a command (ctest --preset windows-i686) where 32-bit Windows programs
# can run under Wine, and says how they run:
# - natively, where the kernel runs 32-bit programs;
# - where it runs none (some virtual machines), in a private user namespace
#   whose own binfmt_misc (Linux 6.7 and later) hands Wine's 32-bit
#   processes to QEMU's user-mode emulator qemu-i386; nothing outside the
#   namespace sees the entry. Only root is mapped there, so build first.
# Usage: with-32bit.sh COMMAND...   run it (exit 3 where neither way works)
#        with-32bit.sh --way        print native, qemu or none, and why
#   QUILLAN_WINDOWS_32=native|qemu|none  takes that way instead of the first that works
set -uo pipefail
WINE=/usr/lib/wine/wine
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"  # in_namespace, QEMU_I386

# Sets MODE32 (native, qemu or none) and HOW, the sentence that says so.
choose_32bit_way() {
  local forced="${QUILLAN_WINDOWS_32:-}" why=""
  case "$forced" in
    "" | native | qemu | none) ;;
    *) echo "QUILLAN_WINDOWS_32 is native, qemu or none, not '$forced'" >&2; exit 2 ;;
  esac
  if [ -z "$forced" ] || [ "$forced" = native ]; then
    if "$WINE" --version >/dev/null 2>&1; then
      MODE32=native HOW="natively: this kernel runs 32-bit programs"
      return
    fi
    why="this kernel runs no 32-bit programs ($WINE --version fails)"
  fi
  if [ -z "$forced" ] || [ "$forced" = qemu ]; then
    if [ -z "$QEMU_I386" ]; then
      why+="${why:+; }no qemu-i386 (Debian package qemu-user)"
    elif ! unshare --user --map-root-user true 2>/dev/null; then
      why+="${why:+; }no user namespaces here ($(unshare --user --map-root-user true 2>&1 | head -1))"
    elif ! in_namespace true 2>/dev/null; then
      why+="${why:+; }a user namespace has no binfmt_misc of its own here (Linux 6.7 or later has)"
    elif ! in_namespace "$WINE" --version >/dev/null 2>&1; then
      why+="${why:+; }Wine's 32-bit loader does not start under $QEMU_I386"
    else
      MODE32=qemu
      HOW="under $("$QEMU_I386" --version | head -1 | sed 's/ (.*//'), through binfmt_misc in a"
      HOW+=" private user namespace${why:+ ($why)}"
      return
    fi
  fi
  MODE32=none
  HOW="not run: ${why:-as asked}"
}

choose_32bit_way
if [ "${1:-}" = --way ]; then
  echo "$MODE32"
  echo "32-bit programs: $HOW" >&2
  exit 0
fi
echo "32-bit programs: $HOW"
case "$MODE32" in
  native) "$@" ;;
  qemu) in_namespace "$@" ;;
  *) exit 3 ;;
esac
