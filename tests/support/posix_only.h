#pragma once

#include <gtest/gtest.h>

// A test (or the part of one) that needs what only POSIX systems give a test
// freely: /dev/zero and /dev/full, named pipes made by mkfifo, symbolic links
// (Windows asks a privilege for them, and Wine 8 does not make them),
// permission bits beyond read-only. In the Windows build such a test is
// skipped with the reason; the refusals it checks are checked there with
// Windows' own devices and pipes where the test says so.
#ifdef _WIN32
#define TARVIK_POSIX_ONLY(reason) GTEST_SKIP() << "POSIX only: " << (reason)
#else
#define TARVIK_POSIX_ONLY(reason) static_cast<void>(0)
#endif
