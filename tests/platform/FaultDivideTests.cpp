// Integer division by zero. Built without the sanitizer's own division check,
// so that the division reaches the processor.

#include "tests/platform/FaultTestSupport.h"

#include <gtest/gtest.h>

namespace {

__attribute__((noipa)) int Divide(int inNumerator, int inDenominator)
{
  return inNumerator / inDenominator;
}

}  // namespace

TEST(Faults, IntegerDivisionByZeroGivesItsCode)
{
  ScopedFaultTranslator theGuard(ThrowFromFirst);
  volatile int theZero = 0;
  for (int theRound = 0; theRound < 2; ++theRound) {
    try {
      Divide(7, theZero);
      ADD_FAILURE() << "no fault in round " << theRound;
    } catch (const TestFault& inFault) {
      EXPECT_EQ(inFault.mRecord.mCode, EXCEPTION_INT_DIVIDE_BY_ZERO) << "round " << theRound;
      EXPECT_EQ(inFault.mRecord.mCode, 0xC0000094u);
      EXPECT_EQ(inFault.mRecord.mTargetAddress, 0u);
      EXPECT_EQ(inFault.mRecord.mAccess, 0u);
    }
  }
  EXPECT_EQ(Divide(7, 2), 3);
}
