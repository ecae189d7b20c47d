// MulDiv: a 64-bit intermediate product, rounded to the nearest integer with
// halves away from zero; -1 for a zero divisor or a result beyond 32 bits.
#include <winbase.h>

#include <climits>

extern "C" int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
  if (nDenominator == 0) return -1;
  long long product = static_cast<long long>(nNumber) * nNumerator;
  long long quotient = product / nDenominator;
  long long remainder = product % nDenominator;
  // Round half away from zero: compare twice the remainder with the divisor.
  unsigned long long twice = 2ULL * static_cast<unsigned long long>(remainder < 0 ? -remainder : remainder);
  unsigned long long divisor = static_cast<unsigned long long>(nDenominator < 0 ? -static_cast<long long>(nDenominator)
                                                                                 : nDenominator);
  if (twice >= divisor) quotient += ((product < 0) != (nDenominator < 0)) ? -1 : 1;
  if (quotient > INT_MAX || quotient < INT_MIN) return -1;
  return static_cast<int>(quotient);
}
