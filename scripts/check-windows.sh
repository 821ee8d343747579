#!/bin/bash
# The core, tarvik-cli and their tests cross-built for 64-bit Windows with
# MinGW-w64 and run under Wine (as root; not part of `make test`):
#   1. installs the cross-compiler, Wine and the tools from Debian;
#   2. builds NLopt (Debian's source package) and GoogleTest (libgtest-dev's
#      sources) for the target into build-windows/deps, and links the
#      header-only libraries (Boost, nlohmann-json, CLI11, Eigen) there;
#   3. cross-builds tarvik_core, tarvik-cli and the core and CLI tests
#      (-DTARVIK_BUILD_APP=OFF: no Qt) in build-windows/tarvik;
#   4. runs the tests under Wine;
#   5. runs `tarvik-cli estimate`, `assess` (a variant, two rules, the
#      decision table) and `estimate --state-space` (B1/K free, a
#      prior on sigma_p) on both examples under Wine and
#      with the Linux build (build/, made when missing) and compares the JSON
#      byte for byte;
#   6. writes build-windows/tarvik-cli-<version>-win64.zip.
# Usage: sudo scripts/check-windows.sh   (JOBS=n for the parallel builds)
set -euo pipefail

SOURCE="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="$SOURCE/build-windows"
DEPS="$OUT/deps"
TARGET_BUILD="$OUT/tarvik"
LINUX_BUILD="${LINUX_BUILD:-$SOURCE/build}"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
TOOLCHAIN="$SOURCE/cmake/toolchain-mingw64.cmake"
START=$(date +%s)

step() { printf '\n== %s (%d s)\n' "$*" $(($(date +%s) - START)); }
fail() { echo "check-windows: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run as root (packages are installed)"
mkdir -p "$OUT" "$DEPS"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

step "Packages"
export DEBIAN_FRONTEND=noninteractive
packages=(g++-mingw-w64-x86-64 wine64 wine zip dpkg-dev cmake ninja-build pkg-config
          libgtest-dev libboost-dev nlohmann-json3-dev libcli11-dev libeigen3-dev)
missing=()
for p in "${packages[@]}"; do dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
fi

step "NLopt for the target, from Debian's source package"
if [ ! -f "$DEPS/lib/pkgconfig/nlopt_cxx.pc" ]; then
  mkdir -p "$OUT/sources"
  if ! ls -d "$OUT"/sources/nlopt-*/ >/dev/null 2>&1; then
    if ! apt-get source --print-uris nlopt >/dev/null 2>&1; then
      # Debian's sources are not in the lists yet: bookworm's deb-src.
      cat >/etc/apt/sources.list.d/tarvik-deb-src.sources <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
      apt-get -o DPkg::Lock::Timeout=600 update
    fi
    (cd "$OUT/sources" && apt-get source nlopt)
  fi
  nlopt_source="$(ls -d "$OUT"/sources/nlopt-*/ | head -n 1)"
  # As Debian builds libnlopt-cxx: the library with the C++ routines, its
  # pkg-config file named nlopt_cxx.
  cmake -S "$nlopt_source" -B "$OUT/nlopt-build" -G Ninja "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DTARVIK_WINDOWS_DEPS="$DEPS" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS" -DBUILD_SHARED_LIBS=OFF \
    -DNLOPT_CXX=ON -DNLOPT_PYTHON=OFF -DNLOPT_OCTAVE=OFF -DNLOPT_MATLAB=OFF -DNLOPT_GUILE=OFF \
    -DNLOPT_SWIG=OFF -DNLOPT_FORTRAN=OFF -DNLOPT_TESTS=OFF -DCMAKE_CROSSCOMPILING_EMULATOR=
  cmake --build "$OUT/nlopt-build" -j "$JOBS"
  cmake --install "$OUT/nlopt-build"
  sed 's/-lnlopt\b/-lnlopt_cxx/' "$DEPS/lib/pkgconfig/nlopt.pc" >"$DEPS/lib/pkgconfig/nlopt_cxx.pc"
fi

step "GoogleTest for the target, from libgtest-dev's sources"
if [ ! -f "$DEPS/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$OUT/gtest-build" -G Ninja "${launcher[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DTARVIK_WINDOWS_DEPS="$DEPS" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$DEPS" -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON
  cmake --build "$OUT/gtest-build" -j "$JOBS"
  cmake --install "$OUT/gtest-build"
fi

step "Header-only libraries, as Debian ships them"
mkdir -p "$DEPS/include" "$DEPS/share/cmake"
for header in boost nlohmann CLI eigen3; do
  ln -sfn "/usr/include/$header" "$DEPS/include/$header"
done
# Their CMake files find the headers relative to themselves: copied beside
# the links, they name the prefix's include folder and never /usr/include.
for package in nlohmann_json CLI11; do
  rm -rf "$DEPS/share/cmake/$package"
  cp -r "/usr/share/cmake/$package" "$DEPS/share/cmake/$package"
done
rm -rf "$DEPS/share/eigen3"
mkdir -p "$DEPS/share/eigen3"
cp -r /usr/share/eigen3/cmake "$DEPS/share/eigen3/cmake"

step "Cross-building tarvik_core, tarvik-cli and the tests"
cmake -S "$SOURCE" -B "$TARGET_BUILD" -G Ninja "${launcher[@]}" \
  -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DTARVIK_WINDOWS_DEPS="$DEPS" \
  -DCMAKE_BUILD_TYPE=Release -DTARVIK_BUILD_APP=OFF
cmake --build "$TARGET_BUILD" -j "$JOBS" --target tarvik-cli tarvik_core_tests tarvik_cli_tests

step "Wine"
export WINEPREFIX="$OUT/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer dialogues
if [ ! -f "$WINEPREFIX/system.reg" ]; then wineboot --init >/dev/null 2>&1 || true; fi
wineserver -w || true

step "Tests under Wine"
tests_log="$OUT/tests-under-wine.txt"
: >"$tests_log"
status=0
for exe in tarvik_core_tests tarvik_cli_tests; do
  echo "-- $exe" | tee -a "$tests_log"
  (cd "$TARGET_BUILD/tests" && wine "$(find . -name "$exe.exe" | head -n 1)" --gtest_brief=1) \
    >>"$tests_log" 2>&1 || status=1
  grep -E '^\[  (PASSED|FAILED|SKIPPED) ' "$tests_log" | tail -n 3 || true
done
failures=()
if [ "$status" -ne 0 ]; then
  grep -E '^\[  FAILED  \]' "$tests_log" | head -n 40
  failures+=("tests failed under Wine (see $tests_log)")
fi

step "The examples' JSON: Linux and Windows byte for byte"
# Built (or brought up to date) from the same sources.
[ -f "$LINUX_BUILD/CMakeCache.txt" ] ||
  cmake -S "$SOURCE" -B "$LINUX_BUILD" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release
cmake --build "$LINUX_BUILD" -j "$JOBS" --target tarvik-cli
compare="$OUT/compare"
rm -rf "$compare" && mkdir -p "$compare/linux" "$compare/windows"
windows_cli="$(find "$TARGET_BUILD/src/cli" -name tarvik-cli.exe | head -n 1)"
differ=0
for example in "$SOURCE"/examples/*.txt; do
  name="$(basename "$example" .txt)"
  for command in estimate assess state-space; do
    case "$command" in
      estimate) arguments=(estimate "$name.txt" --json) ;;
      assess) arguments=(assess "$name.txt" --json --variant "Шефер СК" --rule linear:0.3
                         --rule logistic:2:0.5 --runs 1000 --decision-table) ;;
      # The state-space model with B1/K free and a stated prior on sigma_p.
      state-space) arguments=(estimate "$name.txt" --json --state-space --b1k free
                              --sigma-p-prior 0.1,1) ;;
    esac
    (cd "$SOURCE/examples" && "$LINUX_BUILD/src/cli/tarvik-cli" "${arguments[@]}") \
      >"$compare/linux/$name.$command.json"
    (cd "$SOURCE/examples" && wine "$windows_cli" "${arguments[@]}") \
      >"$compare/windows/$name.$command.json"
    if cmp -s "$compare/linux/$name.$command.json" "$compare/windows/$name.$command.json"; then
      echo "same: $name $command ($(wc -c <"$compare/linux/$name.$command.json") bytes)"
    else
      echo "DIFFERENT: $name $command"
      diff "$compare/linux/$name.$command.json" "$compare/windows/$name.$command.json" | head -n 20 || true
      differ=1
    fi
  done
done
[ "$differ" -eq 0 ] || failures+=("the Windows build's results differ from Linux (see $compare)")

step "The zip"
version="$(sed -n 's/^project(Tarvik VERSION \([0-9.]*\).*/\1/p' "$SOURCE/CMakeLists.txt")"
package="tarvik-cli-$version-win64"
stage="$OUT/$package"
rm -rf "$stage" "$OUT/$package.zip" && mkdir -p "$stage/examples"
cp "$windows_cli" "$stage/"
x86_64-w64-mingw32-strip "$stage/tarvik-cli.exe"
cp "$SOURCE"/examples/*.txt "$SOURCE/examples/README.md" "$stage/examples/"
cp "$SOURCE/COPYING" "$stage/COPYING.txt"
cp "$SOURCE/packaging/windows/README-ru.txt" "$stage/README.txt"
# Only Windows' own DLLs may remain: the runtime is linked in.
own_dlls="$(x86_64-w64-mingw32-objdump -p "$stage/tarvik-cli.exe" | sed -n 's/^\s*DLL Name: //p' |
            grep -viE '^(kernel32|msvcrt|shell32|user32|advapi32|ws2_32|api-ms-.*)\.dll$' || true)"
[ -z "$own_dlls" ] || fail "tarvik-cli.exe needs DLLs not in Windows: $own_dlls"
(cd "$OUT" && zip -qr "$package.zip" "$package")
ls -l "$OUT/$package.zip"

if [ ${#failures[@]} -gt 0 ]; then
  printf 'check-windows: %s\n' "${failures[@]}" >&2
  step "Done with failures; $OUT/$package.zip written"
  exit 1
fi
step "Done: the tests pass under Wine, the JSON is the same, $OUT/$package.zip written"
