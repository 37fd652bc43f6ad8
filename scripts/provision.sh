#!/usr/bin/env bash
# Installs the Debian packages that are missing, and says which; installs
# nothing when all are there.
#   scripts/provision.sh           everything the test command needs
#   scripts/provision.sh run       what scripts/run.sh needs to build and start the window
#   scripts/provision.sh headless  ... and to show it on a virtual display
# Exit status 0 when everything asked for is installed.
set -uo pipefail

RUN=(cmake g++ qt6-base-dev libx11-dev)
HEADLESS=(xvfb imagemagick xdotool)
ALL=(cmake make gcc g++ libgtest-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev qt6-base-dev libx11-dev xvfb xdotool
  x11-utils imagemagick python3 clang libclang-rt-14-dev g++-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix wine64 wine32:i386 ansible-core
  dpkg-dev librsvg2-bin help2man lintian desktop-file-utils appstream man-db nsis zip unzip msitools wixl
  twm openbox weston qt6-wayland bindfs exfat-fuse exfatprogs fuse3
  python3-pyatspi at-spi2-core dbus dbus-x11 orca speech-dispatcher)

say() { printf 'provision: %s\n' "$*"; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null 2>&1; then sudo "$@"
  else say "not root and no sudo: cannot run $*" >&2; return 1; fi
}

install_packages() {
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  command -v apt-get >/dev/null 2>&1 ||
    { say "missing packages: ${missing[*]} (no apt-get here; please install them)" >&2; return 1; }
  say "installing ${missing[*]}"
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' &&
     ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || return 1
  fi
  as_root apt-get update -q || return 1
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# qemu-i386 runs the 32-bit Wine where the kernel runs no 32-bit programs
# (tests/windows/with-32bit.sh). Bookworm's own QEMU 7.2 hangs in wineboot;
# 8 and later work, so on bookworm it comes from bookworm-backports, added for
# the mirror the system already uses. Not qemu-user-static or
# qemu-user-binfmt: they would hand 32-bit programs to QEMU machine-wide.
install_qemu_user() {
  local have codename mirror
  have="$(dpkg-query -W -f='${Status} ${Version}' qemu-user 2>/dev/null)"
  [[ "$have" == "install ok installed "* ]] && dpkg --compare-versions "${have##* }" ge 1:8 && return 0
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
  local target=()
  if [ "$codename" = bookworm ]; then
    target=(-t bookworm-backports)
    if ! apt-get indextargets --format '$(RELEASE)' 'Created-By: Packages' | grep -qx bookworm-backports; then
      mirror="$(apt-get indextargets --format '$(RELEASE) $(SITE)' 'Created-By: Packages' |
        sed -n 's/^bookworm //p' | head -1)"
      [ -n "$mirror" ] || { say "no bookworm suite in the APT sources to take the mirror from" >&2; return 1; }
      say "adding bookworm-backports ($mirror) for qemu-user"
      {
        printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\n' "$mirror"
        [ -f /usr/share/keyrings/debian-archive-keyring.gpg ] &&
          printf 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg\n'
      } | as_root tee /etc/apt/sources.list.d/bookworm-backports.sources >/dev/null || return 1
    fi
  fi
  say "installing qemu-user ${target[*]}"
  as_root apt-get update -q || return 1
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${target[@]}" qemu-user
}

case "${1:-all}" in
  run) install_packages "${RUN[@]}" ;;
  headless) install_packages "${RUN[@]}" "${HEADLESS[@]}" ;;
  all) install_packages "${ALL[@]}" && install_qemu_user ;;
  *) echo "usage: provision.sh [all|run|headless]" >&2; exit 2 ;;
esac
