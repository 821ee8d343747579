#pragma once

// exp, log, log1p and pow of the program's own, the same bits on every
// system and processor: the numbers of a search do not depend on the C
// library's functions (those of Windows' runtime differ from glibc's in the
// last bit, and one bit sends the search down another path).
//
// The algorithms and tables are the GNU C Library's (2.36: exp, log and pow
// from Arm's optimized routines, log1p from fdlibm) in the form glibc runs on
// x86-64 processors with FMA, the fused multiply-adds written out: on such a
// processor each result is bit for bit that of glibc's function. A processor without FMA
// computes the fused operations in software (slower, the same bits; exact
// for results above 2^-969 in magnitude). Errors within 0.52 ULP; special
// values (0, infinities, NaN, negative arguments) as the C functions give
// them, errno untouched.
namespace tarvik::elementary {

double Exp(double x);
double Log(double x);
double Log1p(double x);
double Pow(double x, double y);

}  // namespace tarvik::elementary

namespace tarvik::elementary::testing {

// The same with the fused operations computed in software (what a processor
// without FMA runs), for the tests.
double SoftwareExp(double x);
double SoftwareLog(double x);
double SoftwareLog1p(double x);
double SoftwarePow(double x, double y);
double SoftwareFmaOf(double a, double b, double c);

}  // namespace tarvik::elementary::testing
