# Shared by the checks on a bare Debian 12 root (check-clean-install.sh,
# check-package.sh); sourced, not run. The caller passes its arguments to
# parse_root_arguments, then calls choose_root and make_bare_root with the
# packages to add to the minimal root.

PASSED=0

# [--keep] [DIR]: KEEP (1: keep the root after a pass) and ROOT (an empty or
# new folder); -h prints the calling script's head comment. MIRROR from the
# environment.
parse_root_arguments() {
  MIRROR=${MIRROR:-http://deb.debian.org/debian}
  KEEP=0
  ROOT=""
  local argument
  for argument in "$@"; do
    case "$argument" in
      --keep) KEEP=1 ;;
      -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
      -*) echo "unknown option: $argument" >&2; exit 2 ;;
      *) ROOT=$argument ;;
    esac
  done
}
MOUNTS=()  # mount points inside the root, in the order they were mounted

need_root() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "debootstrap and chroot need root: run this script as root (e.g. with sudo)." >&2
    exit 2
  fi
}

# ROOT as given, or a new folder under /var/tmp named after $1; it must be empty.
choose_root() {
  if [ -z "$ROOT" ]; then
    ROOT=$(mktemp -d "/var/tmp/$1.XXXXXX")
  else
    mkdir -p "$ROOT"
    if [ -n "$(ls -A "$ROOT")" ]; then
      echo "$ROOT is not empty; give a new or empty folder." >&2
      exit 2
    fi
  fi
  ROOT=$(cd "$ROOT" && pwd -P)
}

cleanup() {
  set +e
  # Processes still running inside the root (an Xvfb, a test) would keep the
  # mounts busy.
  for proc in /proc/[0-9]*; do
    if [ "$(readlink "$proc/root" 2>/dev/null)" = "$ROOT" ]; then
      kill -KILL "${proc#/proc/}" 2>/dev/null
    fi
  done
  local i
  for ((i = ${#MOUNTS[@]} - 1; i >= 0; i--)); do
    umount "${MOUNTS[i]}" 2>/dev/null || umount -l "${MOUNTS[i]}"
  done
  if [ "$PASSED" -eq 1 ] && [ "$KEEP" -eq 0 ]; then
    if findmnt -rn -o TARGET | grep -qF -- "$ROOT"; then
      echo "Something is still mounted under $ROOT; it is left in place." >&2
    else
      rm -rf --one-file-system "$ROOT"
    fi
  else
    echo "The root is kept in $ROOT (remove it with: rm -rf --one-file-system $ROOT)."
  fi
}

mount_in_root() {  # mount_in_root TARGET MOUNT-ARGUMENTS…
  local target=$ROOT$1
  shift
  [ -e "$target" ] || mkdir -p "$target"
  mount "$@" "$target"
  MOUNTS+=("$target")
}

# Runs a command in the root with the environment of a fresh login, nothing
# from this machine's (no DISPLAY, no QT_QPA_PLATFORM, no compiler cache).
in_root() {
  chroot "$ROOT" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

stage() { echo; echo "== $(date +%T) $*"; }
fail() { echo "FAILED: $*" >&2; exit 1; }

# make_bare_root PACKAGES: a minimal Debian 12 root (debootstrap, minbase,
# plus the comma-separated PACKAGES) with the sources of an installed system,
# its own /proc, /sys, pseudo-terminals and shared memory, never this
# machine's /dev; cleanup runs when the script ends.
make_bare_root() {
  if ! command -v debootstrap >/dev/null 2>&1; then
    echo "== installing debootstrap on this machine"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
  fi
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  stage "making a bare Debian 12 root in $ROOT"
  debootstrap --variant=minbase --include="$1" bookworm "$ROOT" "$MIRROR"
  # The same sources as an installed system: the release, its updates and security fixes.
  cat > "$ROOT/etc/apt/sources.list" <<SOURCES
deb $MIRROR bookworm main
deb $MIRROR bookworm-updates main
deb ${MIRROR%/debian}/debian-security bookworm-security main
SOURCES
  cp -L /etc/resolv.conf "$ROOT/etc/resolv.conf"
  # Packages installed in the root must not start services.
  printf '#!/bin/sh\nexit 101\n' > "$ROOT/usr/sbin/policy-rc.d"
  chmod +x "$ROOT/usr/sbin/policy-rc.d"
  mount_in_root /proc -t proc proc
  mount_in_root /sys -t sysfs sysfs
  mount_in_root /dev/pts -t devpts -o newinstance,ptmxmode=0666,mode=0620 devpts
  mount_in_root /dev/ptmx --bind "$ROOT/dev/pts/ptmx"
  mount_in_root /dev/shm -t tmpfs -o mode=1777 tmpfs
}
