#pragma once

#include <cstdint>

// The tables of elementary.cpp (elementary_tables.cpp).
namespace tarvik::elementary::tables {

struct InvcLogc {
  double invc, logc;
};
struct InvcLogcTail {
  double invc, logc, logctail;
};

extern const double kExpInvLn2N, kExpShift, kExpNegLn2HiN, kExpNegLn2LoN;
extern const double kExpPoly[4];
extern const std::uint64_t kExpTable[256];

extern const double kLogLn2Hi, kLogLn2Lo;
extern const double kLogPoly[5];
extern const double kLogPoly1[11];
extern const InvcLogc kLogTable[128];

extern const double kPowLn2Hi, kPowLn2Lo;
extern const double kPowPoly[7];
extern const InvcLogcTail kPowTable[128];

}  // namespace tarvik::elementary::tables
