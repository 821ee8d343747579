#!/usr/bin/env bash
# Checks that a bare Debian 12 machine builds and tests the program with the
# README's commands alone. It makes a minimal Debian 12 root (debootstrap,
# minbase, plus git, make and ca-certificates), clones the committed HEAD of
# this repository into it and, inside it (chroot), runs
#   make test                      – must install every package it needs and pass
#                                    without skipping a test;
#   make run without a display     – must say so plainly and fail;
#   make run under xvfb-run        – the window must stay up for 15 s.
# Xvfb is installed into the root only for that last step: on a desktop the
# program uses the user's display, so Xvfb is not in the package list.
#
# Not run by CI: it downloads about 1 GB and needs root.
#
# Usage: scripts/check-clean-install.sh [--keep] [DIR]
#   DIR     an empty or new folder for the root (default: a new folder under
#           /var/tmp); use a disk with about 5 GB free
#   --keep  leave the root in place afterwards (removed after a pass otherwise;
#           always kept after a failure, for a look inside)
# Environment: MIRROR (default http://deb.debian.org/debian);
#   SCREENSHOT=FILE.png saves the screen of the xvfb-run step (needs ImageMagick).
set -euo pipefail

# shellcheck source=scripts/bare-root.sh
. "$(dirname "$0")/bare-root.sh"
parse_root_arguments "$@"
need_root

# The repository may belong to another user than root.
git() { command git -c safe.directory='*' "$@"; }
REPO=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
COMMIT=$(git -C "$REPO" rev-parse HEAD)
if [ -n "$(git -C "$REPO" status --porcelain --untracked-files=no)" ]; then
  echo "Note: uncommitted changes in $REPO are not checked; the root gets commit $COMMIT." >&2
fi

choose_root tarvik-clean-root
make_bare_root git,make,ca-certificates
BASE_PACKAGES=$(in_root dpkg -l | grep -c '^ii')

stage "cloning $COMMIT"
git clone --quiet --no-hardlinks "$REPO" "$ROOT/root/tarvik"
git -C "$ROOT/root/tarvik" checkout --quiet --detach "$COMMIT"

stage "make test"
start=$SECONDS
in_root bash -c 'cd /root/tarvik && make test' 2>&1 | tee "$ROOT/root/make-test.log" \
  || fail "make test (log: $ROOT/root/make-test.log)"
TEST_SECONDS=$((SECONDS - start))
summary=$(grep -E "tests passed, [0-9]+ tests failed out of" "$ROOT/root/make-test.log" | tail -n 1)
[ -n "$summary" ] || fail "no test summary in the log"
if grep -q "(Skipped)" "$ROOT/root/make-test.log"; then
  grep "(Skipped)" "$ROOT/root/make-test.log" >&2
  fail "tests were skipped: something they look for is not installed"
fi
grep -q "^CMAKE_GENERATOR:INTERNAL=Ninja$" "$ROOT/root/tarvik/build/CMakeCache.txt" \
  || fail "the build was not configured for Ninja, which the package list installs"
PACKAGES=$(in_root dpkg -l | grep -c '^ii')

stage "make run without a display"
set +e
output=$(in_root bash -c 'cd /root/tarvik && make run' 2>&1)
status=$?
set -e
echo "$output" | tail -n 8
[ "$status" -ne 0 ] || fail "make run without a display succeeded"
echo "$output" | grep -q "графического дисплея здесь нет" \
  || fail "make run without a display did not say that a display is missing"

stage "make run under xvfb-run (Xvfb is installed for this check only)"
in_root bash -c 'DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends xvfb xauth' \
  >/dev/null
# The window must still be up when timeout ends it (exit code 124); Xvfb keeps
# its screen in a file, copied while the window shows.
set +e
in_root xvfb-run -a -s "-screen 0 1280x1024x24 -fbdir /tmp" bash -c '
  cd /root/tarvik
  timeout 15 make run > /root/make-run.log 2>&1 &
  sleep 10
  cp /tmp/Xvfb_screen0 /root/screen.xwd
  wait $!'
status=$?
set -e
tail -n 8 "$ROOT/root/make-run.log"
[ "$status" -eq 124 ] || fail "the program ended by itself (exit code $status) under xvfb-run"
if [ -n "${SCREENSHOT:-}" ]; then
  convert "xwd:$ROOT/root/screen.xwd" "$SCREENSHOT" && echo "screen saved in $SCREENSHOT"
fi

PASSED=1
echo
echo "PASSED: commit $COMMIT on a bare Debian 12 root"
echo "  $summary"
echo "  make test took ${TEST_SECONDS} s (packages, build, tests)"
echo "  packages installed: $BASE_PACKAGES in the bare root, $PACKAGES after make test" \
  "(xvfb and xauth for the last check not counted)"
