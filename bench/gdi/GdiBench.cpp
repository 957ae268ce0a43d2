// Draws the same work on a 1024 x 768 picture through the GDI stand-in and
// through MagickCore, and prints the times and their ratios:
//
//   text      1,000 lines of 20-pixel DejaVu Sans (TextOutW, one call a line;
//             AnnotateImage, one call a line, antialiased text both)
//   ellipses  1,000 filled ellipses of seeded random places and sizes
//             (Ellipse with a null pen, one call each; DrawImage without
//             antialiasing, one call each, and once more with all 1,000
//             in one drawing)
//
//   tl_bench_gdi
//
// Each time is the best of five runs; every run starts from a white picture.
// The ratio is MagickCore's time over ours (above 1: we are faster).

#include "platform/gdi/Gdi.h"

#include <fontconfig/fontconfig.h>
#include <magick/MagickCore.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr LONG kWidth = 1024;
constexpr LONG kHeight = 768;
constexpr int kCount = 1000;
constexpr int kRuns = 5;

struct EllipseBox {
  int mLeft, mTop, mRight, mBottom;
};

std::vector<EllipseBox> Ellipses()
{
  std::vector<EllipseBox> theBoxes;
  std::uint32_t theSeed = 2024;
  auto Next = [&theSeed](int inRange) {
    theSeed = theSeed * 1664525u + 1013904223u;
    return static_cast<int>((theSeed >> 8) % static_cast<std::uint32_t>(inRange));
  };
  for (int i = 0; i < kCount; ++i) {
    const int x = Next(kWidth), y = Next(kHeight), w = 4 + Next(120), h = 4 + Next(90);
    theBoxes.push_back(EllipseBox{x - w / 2, y - h / 2, x + w / 2, y + h / 2});
  }
  return theBoxes;
}

std::string Line(int inIndex)
{
  return "Line " + std::to_string(inIndex) + ": The quick brown fox jumps over the lazy dog, 0123456789.";
}

// The line's baseline, 24 pixels a line, wrapping at the bottom.
int Baseline(int inIndex)
{
  return 20 + (inIndex * 24) % (kHeight - 30);
}

std::string FontFile(const char* inFamily)
{
  FcPattern* thePattern = FcNameParse(reinterpret_cast<const FcChar8*>(inFamily));
  FcConfigSubstitute(nullptr, thePattern, FcMatchPattern);
  FcDefaultSubstitute(thePattern);
  FcResult theResult;
  FcPattern* theMatch = FcFontMatch(nullptr, thePattern, &theResult);
  FcChar8* theFile = nullptr;
  FcPatternGetString(theMatch, FC_FILE, 0, &theFile);
  std::string thePath = theFile ? reinterpret_cast<const char*>(theFile) : "";
  FcPatternDestroy(theMatch);
  FcPatternDestroy(thePattern);
  return thePath;
}

double Best(const std::function<void()>& inPrepare, const std::function<void()>& inWork)
{
  double theBest = 1e9;
  for (int i = 0; i < kRuns; ++i) {
    inPrepare();
    const auto theStart = std::chrono::steady_clock::now();
    inWork();
    const std::chrono::duration<double> theTime = std::chrono::steady_clock::now() - theStart;
    theBest = std::min(theBest, theTime.count());
  }
  return theBest;
}

// A 32-bit DIB section in a memory device context, DejaVu Sans at 20 pixels.
struct GdiPicture {
  HDC mDC = CreateCompatibleDC(nullptr);
  void* mBits = nullptr;
  HBITMAP mBitmap = nullptr;
  HFONT mFont = CreateFontA(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                            ANTIALIASED_QUALITY, DEFAULT_PITCH, "DejaVu Sans");
  HBRUSH mBrush = CreateSolidBrush(RGB(0, 0, 255));

  GdiPicture()
  {
    BITMAPINFO theInfo{};
    theInfo.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    mBitmap = CreateDIBSection(nullptr, &theInfo, DIB_RGB_COLORS, &mBits, nullptr, 0);
    SelectObject(mDC, mBitmap);
    SelectObject(mDC, mFont);
    SelectObject(mDC, mBrush);
    SelectObject(mDC, GetStockObject(NULL_PEN));
    SetGraphicsMode(mDC, GM_ADVANCED);
    SetBkMode(mDC, TRANSPARENT);
  }
  void Clear() const { std::memset(mBits, 0xFF, std::size_t(kWidth) * kHeight * 4); }
};

struct MagickPicture {
  ExceptionInfo* mException = AcquireExceptionInfo();
  ImageInfo* mInfo = AcquireImageInfo();
  Image* mImage = AcquireImage(mInfo);

  MagickPicture()
  {
    SetImageExtent(mImage, kWidth, kHeight);
    QueryColorDatabase("white", &mImage->background_color, mException);
  }
  ~MagickPicture()
  {
    DestroyImage(mImage);
    DestroyImageInfo(mInfo);
    DestroyExceptionInfo(mException);
  }
  void Clear() const { SetImageBackgroundColor(mImage); }
};

void Report(const char* inWork, double inOurs, const char* inPeer, double inTheirs)
{
  std::printf("%-9s  ours %8.4f s   %-34s %8.4f s   ratio %6.2f\n", inWork, inOurs, inPeer, inTheirs, inTheirs / inOurs);
}

}  // namespace

int main()
{
  MagickCoreGenesis(nullptr, MagickFalse);
  const std::string theFontFile = FontFile("DejaVu Sans");
  const std::vector<EllipseBox> theEllipses = Ellipses();
  GdiPicture theGdi;
  MagickPicture theMagick;

  std::vector<std::u16string> theLines;
  for (int i = 0; i < kCount; ++i) {
    const std::string theLine = Line(i);
    theLines.emplace_back(theLine.begin(), theLine.end());
  }
  TEXTMETRICW theMetrics{};
  GetTextMetricsW(theGdi.mDC, &theMetrics);
  const double theOurText = Best([&] { theGdi.Clear(); }, [&] {
    for (int i = 0; i < kCount; ++i)
      TextOutW(theGdi.mDC, 10, Baseline(i) - theMetrics.tmAscent, theLines[i].c_str(), int(theLines[i].size()));
  });
  DrawInfo* theText = AcquireDrawInfo();
  CloneString(&theText->font, theFontFile.c_str());
  theText->pointsize = 20;
  theText->text_antialias = MagickTrue;
  QueryColorDatabase("black", &theText->fill, theMagick.mException);
  const double theirText = Best([&] { theMagick.Clear(); }, [&] {
    for (int i = 0; i < kCount; ++i) {
      const std::string theLine = Line(i);
      const std::string theGeometry = "+10+" + std::to_string(Baseline(i));
      CloneString(&theText->text, theLine.c_str());
      CloneString(&theText->geometry, theGeometry.c_str());
      AnnotateImage(theMagick.mImage, theText);
    }
  });
  DestroyDrawInfo(theText);
  Report("text", theOurText, "AnnotateImage, a call a line", theirText);

  const double theOurEllipses = Best([&] { theGdi.Clear(); }, [&] {
    for (const EllipseBox& e : theEllipses)
      Ellipse(theGdi.mDC, e.mLeft, e.mTop, e.mRight, e.mBottom);
  });
  std::vector<std::string> thePrimitives;
  for (const EllipseBox& e : theEllipses)
    thePrimitives.push_back("ellipse " + std::to_string((e.mLeft + e.mRight) / 2.0) + "," +
                            std::to_string((e.mTop + e.mBottom) / 2.0) + " " + std::to_string((e.mRight - e.mLeft) / 2.0) +
                            "," + std::to_string((e.mBottom - e.mTop) / 2.0) + " 0,360");
  DrawInfo* theShapes = AcquireDrawInfo();
  theShapes->stroke_antialias = MagickFalse;
  QueryColorDatabase("blue", &theShapes->fill, theMagick.mException);
  QueryColorDatabase("none", &theShapes->stroke, theMagick.mException);
  const double theirEllipses = Best([&] { theMagick.Clear(); }, [&] {
    for (const std::string& thePrimitive : thePrimitives) {
      CloneString(&theShapes->primitive, thePrimitive.c_str());
      DrawImage(theMagick.mImage, theShapes);
    }
  });
  std::string theAll;
  for (const std::string& thePrimitive : thePrimitives)
    theAll += thePrimitive + "\n";
  const double theirBatch = Best([&] { theMagick.Clear(); }, [&] {
    CloneString(&theShapes->primitive, theAll.c_str());
    DrawImage(theMagick.mImage, theShapes);
  });
  DestroyDrawInfo(theShapes);
  Report("ellipses", theOurEllipses, "DrawImage, a call an ellipse", theirEllipses);
  Report("ellipses", theOurEllipses, "DrawImage, all in one call", theirBatch);
  MagickCoreTerminus();
  return 0;
}
