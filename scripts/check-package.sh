#!/usr/bin/env bash
# Checks that the Debian package installs and works on a bare Debian 12
# machine. On this machine it builds the package (make package, in BUILD_DIR,
# default build); then it makes a minimal Debian 12 root (debootstrap,
# minbase) and, inside it (chroot):
#   apt-get install ./tarvik_<version>_amd64.deb – must pull everything the
#                                    programs need (R comes as recommended);
#   tarvik-cli --version             – the package's version;
#   tarvik-cli estimate …            – on an example installed with the package;
#   the guide and the icon           – where the program and the menu look;
#   desktop-file-validate            – the desktop entry (desktop-file-utils is
#                                    installed into the root for this step only);
#   tarvik on the offscreen platform – must stay up for 10 s.
#
# Not run by CI: it downloads about 300 MB and needs root.
#
# Usage: scripts/check-package.sh [--keep] [DIR]
#   DIR     an empty or new folder for the root (default: a new folder under
#           /var/tmp); use a disk with about 2 GB free
#   --keep  leave the root in place afterwards (removed after a pass otherwise;
#           always kept after a failure, for a look inside)
# Environment: MIRROR (default http://deb.debian.org/debian), BUILD_DIR.
set -euo pipefail

# shellcheck source=scripts/bare-root.sh
. "$(dirname "$0")/bare-root.sh"
parse_root_arguments "$@"
need_root
START=$SECONDS

REPO=$(cd "$(dirname "$0")/.." && pwd -P)
BUILD_DIR=${BUILD_DIR:-build}
stage "make package (in $BUILD_DIR)"
make -C "$REPO" package BUILD_DIR="$BUILD_DIR"
VERSION=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$REPO/$BUILD_DIR/CMakeCache.txt")
PACKAGE=$REPO/$BUILD_DIR/tarvik_${VERSION}_amd64.deb
[ -f "$PACKAGE" ] || fail "no package $PACKAGE"
dpkg-deb --field "$PACKAGE" Package Version Depends Recommends

choose_root tarvik-package-root
make_bare_root ca-certificates
BASE_PACKAGES=$(in_root dpkg -l | grep -c '^ii')

stage "apt-get install ./$(basename "$PACKAGE")"
cp "$PACKAGE" "$ROOT/root/"
in_root bash -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq /root/$(basename "$PACKAGE")" > "$ROOT/root/install.log" 2>&1 \
  || { tail -n 20 "$ROOT/root/install.log"; fail "apt-get install (log: $ROOT/root/install.log)"; }
PACKAGES=$(in_root dpkg -l | grep -c '^ii')

stage "tarvik-cli --version"
version=$(in_root tarvik-cli --version)
echo "$version"
[ "$version" = "tarvik-cli $VERSION" ] || fail "tarvik-cli --version said «$version»"

stage "tarvik-cli estimate of an installed example"
in_root bash -c 'cd /tmp && tarvik-cli estimate /usr/share/tarvik/examples/yellowfin_epo_1934_1955.txt \
  --variants 0,1' | tee "$ROOT/root/estimate.txt" | tail -n 12
grep -q "Шефер" "$ROOT/root/estimate.txt" || fail "the estimate printed no Schaefer variant"

stage "the guide, the icon and the desktop entry"
for file in /usr/share/tarvik/guide/README.md /usr/share/icons/hicolor/scalable/apps/tarvik.svg \
    /usr/share/icons/hicolor/48x48/apps/tarvik.png /usr/share/applications/tarvik.desktop; do
  [ -f "$ROOT$file" ] || fail "$file is not installed"
done
in_root bash -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  desktop-file-utils' > /dev/null
in_root desktop-file-validate /usr/share/applications/tarvik.desktop \
  || fail "desktop-file-validate"

stage "tarvik on the offscreen platform"
set +e
in_root bash -c 'cd /tmp && QT_QPA_PLATFORM=offscreen timeout 10 tarvik' > "$ROOT/root/run.log" 2>&1
status=$?
set -e
tail -n 5 "$ROOT/root/run.log"
[ "$status" -eq 124 ] || fail "the program ended by itself (exit code $status)"

PASSED=1
echo
echo "PASSED: $(basename "$PACKAGE") on a bare Debian 12 root"
echo "  packages installed: $BASE_PACKAGES in the bare root, $PACKAGES after the package"
echo "  the whole check took $((SECONDS - START)) s"
