// Thumbnails per second in one process: each thread makes its own canvas
// through the automation runtime (by ProgID, from the registered library, as
// a page host does), draws the photo into 400 x 300 and saves it at the JPEG
// library's quality 75, over and over; 1 thread, then 8 at once.
//
//   tl_bench_main_road_threads in.jpg out-folder [thumbnails per thread]

#include "objects/Canvas.h"
#include "platform/automation/Activation.h"
#include "platform/automation/Bstr.h"
#include "platform/automation/ErrorInfo.h"
#include "platform/automation/Variant.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

// One thumbnail on a new canvas; false (with the reason printed) on failure.
bool Thumbnail(const std::string& inSource, const std::string& inTarget)
{
  ICanvas* theCanvas = nullptr;
  if (FAILED(CreateObjectFromProgID("Tessaline4.Canvas", ICanvas::kIID, reinterpret_cast<void**>(&theCanvas)))) {
    std::fprintf(stderr, "Tessaline4.Canvas is not registered\n");
    return false;
  }
  Variant theSource(inSource);
  Variant thePlace(std::string_view("rect=0,0,400,300"));
  Variant theTarget(inTarget);
  Variant theQuality(std::string_view("quality=56"));
  Variant theRect;
  HRESULT theResult = theCanvas->DrawFile(theSource.Get(), thePlace.Get(), theRect.Receive());
  if (SUCCEEDED(theResult))
    theResult = theCanvas->SaveAs(theTarget.Get(), theQuality.Get());
  theCanvas->Release();
  if (FAILED(theResult)) {
    std::string theText = "(no description)";
    IErrorInfo* theInfo = nullptr;
    if (GetErrorInfo(0, &theInfo) == S_OK && theInfo) {
      BSTR theDescription = nullptr;
      if (SUCCEEDED(theInfo->GetDescription(&theDescription)) && theDescription)
        theText = BstrToUtf8(theDescription);
      SysFreeString(theDescription);
      theInfo->Release();
    }
    std::fprintf(stderr, "thumbnail failed: %s\n", theText.c_str());
    return false;
  }
  return true;
}

// Thumbnails per second of inThreads threads making inCount each.
double Rate(int inThreads, int inCount, const std::string& inSource, const std::string& inFolder)
{
  const auto theStart = std::chrono::steady_clock::now();
  std::vector<std::thread> theThreads;
  std::vector<char> theGood(static_cast<std::size_t>(inThreads), 1);
  for (int t = 0; t < inThreads; ++t) {
    theThreads.emplace_back([&, t] {
      for (int i = 0; i < inCount && theGood[t]; ++i)
        theGood[t] = Thumbnail(inSource, inFolder + "/thread-" + std::to_string(t) + "-" + std::to_string(i) + ".jpg");
    });
  }
  for (std::thread& theThread : theThreads)
    theThread.join();
  for (char theOk : theGood)
    if (!theOk)
      std::exit(1);
  const std::chrono::duration<double> theTime = std::chrono::steady_clock::now() - theStart;
  return inThreads * inCount / theTime.count();
}

}  // namespace

int main(int argc, char** argv)
{
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s in.jpg out-folder [thumbnails per thread]\n", argv[0]);
    return 2;
  }
  const int theCount = argc > 3 ? std::atoi(argv[3]) : 5;
  Rate(1, 1, argv[1], argv[2]);  // loads the library and warms its caches
  const double theOne = Rate(1, theCount, argv[1], argv[2]);
  const double theEight = Rate(8, theCount, argv[1], argv[2]);
  std::printf("thumbnails per second: 1 thread %.1f, 8 threads in one process %.1f (%.2f x)\n", theOne, theEight,
              theEight / theOne);
  return 0;
}
