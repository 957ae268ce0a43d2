#include "kernels/ErrorStatus.h"
#include "tests/kernels/KernelTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every code of the table, with its text exactly as the system returns it.
TEST(ErrorStatus, EveryCodeHasItsText)
{
  const struct {
    int mStatus;
    const char* mText;
  } kMessages[] = {
    {0, "No Error"}, {-1, "Backtrace"}, {-2, "Unknown error or status code"}, {-3, "Internal error (bad state)"},
    {-4, "Insufficient memory"}, {-5, "Bad argument"}, {-6, "Unsupported function"},
    {-7, "Iteration convergence failed"}, {-8, "Autotrace call"}, {-9, "Null pointer to an image header"},
    {-10, "Incorrect image size"}, {-11, "Incorrect offset of ROI of the image"},
    {-12, "Image must be tiled or must have nonzero data pointer"}, {-13, "Incorrect widthStep of the image"},
    {-14, "Incorrect Color model or channel sequence of the image"},
    {-15, "Incorrect number of channels in the image"},
    {-16, "Number of channels for 1U depth image must be one"},
    {-17, "Incorrect depth value in the image header"},
    {-18, "Incorrect alpha channel number in the image header"},
    {-19, "Incorrect data order value in the image header"},
    {-20, "Incorrect data origin value in the image header"},
    {-21, "Incorrect data alignment value in the image header"}, {-22, "Null pointer to callback function"},
    {-23, "Incorrect size of the tile"}, {-24, "Incorrect COI of the image"},
    {-25, "Incorrect size of ROI in the image header"}, {-26, "Mask image is taled"}, {-27, "Null pointer"},
    {-28, "Incorrect vector length"}, {-29, "Incorrect filter structure content"},
    {-30, "Incorrect transform kernel content"}, {-31, "Incorrect filter ofset value"},
    {-110, "Mask. Incorrect image size"}, {-111, "Mask. Incorrect offset of ROI of the image"},
    {-112, "Mask. Image must be tiled or must have nonzero data pointer"},
    {-113, "Mask. Incorrect widthStep of the image"},
    {-114, "Mask. Incorrect Color model or channel sequence of the image"},
    {-115, "Mask. Incorrect number of channels in the image"},
    {-117, "Mask. Incorrect depth value in the image header"},
    {-118, "Mask. Incorrect alpha channel number in the image header"},
    {-119, "Mask. Incorrect data order value in the image header"},
    {-120, "Mask. Incorrect data origin value in the image header"},
    {-121, "Mask. Incorrect data alignment value in the image header"},
    {-124, "Mask. Incorrect COI of the image"}, {-125, "Mask. Incorrect size of ROI in the image header"},
  };
  for (const auto& theCase : kMessages)
    EXPECT_STREQ(iplStatusMessage(theCase.mStatus), theCase.mText) << "status " << theCase.mStatus;
  for (int theStatus : {-32, -100, -109, -116, -122, -123, -126, 1, 2147483647, -2147483647 - 1})
    EXPECT_STREQ(iplStatusMessage(theStatus), "Unknown error or status code") << "status " << theStatus;
}

// The default handler in mode 0 (the mode of a fresh process) ends the
// process with exit code 1, from the main thread or any other.
TEST(ErrorStatus, ModeZeroEndsTheProcess)
{
  EXPECT_EQ(iplStatusGet(), 0);
  EXPECT_EQ(iplErrorModeGet(), 0);
  EXPECT_EQ(iplErrorContext()->handler.load(), &iplDefaultErrorHandler);
  const std::function<void()> kReports[] = {
    [] { iplError(IPL_STATUS_BAD_ARGUMENT, "iplWarpAffine", "", "iplwarp", 1); },
    [] { std::thread([] { iplError(IPL_STATUS_NO_MEMORY, "iplAllocateImage", "", "iplalloc", 1); }).join(); },
  };
  for (const std::function<void()>& theReport : kReports) {
    const tltest::ChildResult theChild = tltest::RunInChild([&theReport] {
      theReport();
      return 0;
    });
    EXPECT_TRUE(theChild.mExited);
    EXPECT_EQ(theChild.mStatus, 1);
  }
}

// -1 (backtrace) and -8 (autotrace) reach the handler but keep the stored
// status; 0 is stored without calling it; any mode but 0 only reports.
TEST(ErrorStatus, WhatIsStoredAndReported)
{
  kerneltest::ReportRecorder theRecorder;
  for (int theTrace : {IPL_STATUS_BACKTRACE, IPL_STATUS_AUTOTRACE}) {
    iplStatusSet(IPL_STATUS_NO_MEMORY);
    EXPECT_EQ(iplError(theTrace, "iplShear", "", "iplwarp", 9), theTrace);
    EXPECT_EQ(iplStatusGet(), IPL_STATUS_NO_MEMORY) << "trace " << theTrace;
  }
  kerneltest::ExpectReports(theRecorder, {{-1, "iplShear", "", "iplwarp"}, {-8, "iplShear", "", "iplwarp"}}, "traces");
  theRecorder.Clear();
  EXPECT_EQ(iplError(0, "f", "m", "iplwarp", 1), 0);
  EXPECT_EQ(iplStatusGet(), 0);
  EXPECT_TRUE(theRecorder.Reports().empty());

  iplErrorHandlerSet(nullptr);
  iplErrorModeSet(7);
  EXPECT_EQ(iplError(IPL_STATUS_BAD_ARGUMENT, "f", "m", "iplwarp", 3), IPL_STATUS_BAD_ARGUMENT);
  EXPECT_EQ(iplStatusGet(), IPL_STATUS_BAD_ARGUMENT);
}

int CustomHandler(int, const char*, const char*, const char*, int)
{
  return 42;
}

TEST(ErrorStatus, HandlerSetReturnsThePreviousAndNullRestoresTheDefault)
{
  EXPECT_EQ(iplErrorHandlerSet(&CustomHandler), &iplDefaultErrorHandler);
  // The custom handler runs, so mode 0 does not end the process here.
  EXPECT_EQ(iplError(IPL_STATUS_BAD_ARGUMENT, "f", "m", "iplwarp", 1), 42);
  EXPECT_EQ(iplErrorHandlerSet(nullptr), &CustomHandler);
  EXPECT_EQ(iplErrorContext()->handler.load(), &iplDefaultErrorHandler);
  iplErrorModeSet(2);
  EXPECT_EQ(iplError(IPL_STATUS_BAD_ARGUMENT, "f", "m", "iplwarp", 1), IPL_STATUS_BAD_ARGUMENT);
  iplErrorModeSet(0);
  iplStatusSet(0);

  ErrorStatusRecord theRecord{{-5}, {2}, {&CustomHandler}};
  iplErrorContextInit(&theRecord);
  EXPECT_EQ(theRecord.status.load(), 0);
  EXPECT_EQ(theRecord.mode.load(), 0);
  EXPECT_EQ(theRecord.handler.load(), &iplDefaultErrorHandler);
}

TEST(ErrorStatus, ManyThreadsMayReportAtOnce)
{
  iplErrorModeSet(2);
  std::vector<std::thread> theThreads;
  for (int t = 0; t < 8; ++t)
    theThreads.emplace_back([t] {
      for (int i = 0; i < 2000; ++i) {
        iplError(-(t + 2), "f", "m", "iplwarp", i);
        iplErrorModeSet(2);
      }
    });
  for (std::thread& theThread : theThreads)
    theThread.join();
  EXPECT_TRUE(iplStatusGet() <= -2 && iplStatusGet() >= -9) << iplStatusGet();
  iplErrorModeSet(0);
  iplStatusSet(0);
}

}  // namespace
