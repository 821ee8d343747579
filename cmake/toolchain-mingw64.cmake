# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64):
#   cmake -S . -B build-windows/tarvik -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
#         -DTARVIK_WINDOWS_DEPS=<prefix> -DTARVIK_BUILD_APP=OFF
# TARVIK_WINDOWS_DEPS is the prefix where scripts/check-windows.sh installs
# the libraries built for the target (NLopt, GoogleTest) and links the
# header-only ones (Boost, nlohmann-json, CLI11, Eigen); the host's own
# libraries are never searched.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TARVIK_MINGW_TRIPLET x86_64-w64-mingw32)
# The POSIX threads variant: std::thread and std::mutex need it with GCC 12.
set(CMAKE_C_COMPILER ${TARVIK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARVIK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TARVIK_MINGW_TRIPLET}-windres)

if(NOT TARVIK_WINDOWS_DEPS)
  get_filename_component(TARVIK_WINDOWS_DEPS "${CMAKE_CURRENT_LIST_DIR}/../build-windows/deps" ABSOLUTE)
endif()
# Handed on to the test projects CMake makes while configuring.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVIK_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${TARVIK_MINGW_TRIPLET} ${TARVIK_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_PREFIX_PATH ${TARVIK_WINDOWS_DEPS})

# pkg-config sees only the target's .pc files.
set(ENV{PKG_CONFIG_LIBDIR} "${TARVIK_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Boost is header-only here: found by CMake's module in the prefix.
set(Boost_NO_BOOST_CMAKE ON)
set(Boost_INCLUDE_DIR ${TARVIK_WINDOWS_DEPS}/include)

# One program without DLLs of the compiler's runtime: libstdc++, libgcc and
# winpthread are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests run through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
# The tests' names are read when ctest runs, not at every link.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
