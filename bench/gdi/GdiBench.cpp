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
// and then, on a 1024 x 1024 picture, the drawing of bench/gdi/work.js (the
// same seeds, points, words and boxes) through the GDI calls a canvas
// operation makes, beside Cairo drawing what work.py draws, in-process:
//
//   stars       1,000 stars of 10 points: per star a new solid brush and pen
//               and font (as an operation makes them), BeginPath, Polygon,
//               EndPath, FillPath; Cairo fills each star, antialiased and
//               without antialiasing
//   paragraphs  50 paragraphs of 40 words of 13-pixel DejaVu Sans in 190 x
//               100 boxes: per paragraph a new font and the three DrawTextExW
//               calls of a DrawText (two measurements, then the drawing);
//               Cairo wraps the words by its own advances and shows each line
//
//   tl_bench_gdi [work]      (work: the stars and paragraphs alone)
//
// Each time is the best of five runs; every run starts from a white picture.
// The ratio is the peer's time over ours (above 1: we are faster).

#include "platform/gdi/Gdi.h"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <magick/MagickCore.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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

// The seeded drawing of work.js and work.py.
class WorkSeed {
public:
  int Next(int inRange)
  {
    mSeed = mSeed * 1664525u + 1013904223u;
    return static_cast<int>((mSeed >> 8) % static_cast<std::uint32_t>(inRange));
  }

private:
  std::uint32_t mSeed = 2024;
};

struct Star {
  POINT mPoints[10];
  COLORREF mColor;
};

std::vector<Star> Stars()
{
  WorkSeed theSeed;
  std::vector<Star> theStars(kCount);
  for (Star& theStar : theStars) {
    const int x = theSeed.Next(1024), y = theSeed.Next(1024), r = 10 + theSeed.Next(40);
    for (int k = 0; k < 10; ++k) {
      const double a = M_PI / 5 * k - M_PI / 2, d = k % 2 ? r * 0.4 : r;
      theStar.mPoints[k] = POINT{LONG(std::floor(x + d * std::cos(a) + 0.5)), LONG(std::floor(y + d * std::sin(a) + 0.5))};
    }
    const int theColor = theSeed.Next(16777216);
    theStar.mColor = RGB(theColor >> 16, (theColor >> 8) & 255, theColor & 255);
  }
  return theStars;
}

struct Paragraph {
  std::vector<std::string> mWords;
  RECT mBox;
};

constexpr int kParagraphs = 50;

std::vector<Paragraph> Paragraphs()
{
  static const char* const kWords[] = {"the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog",
                                       "imaging", "server", "canvas", "wraps", "text", "into", "lines", "at",
                                       "blanks", "and", "measures", "every", "glyph", "of", "a", "paragraph"};
  WorkSeed theSeed;
  std::vector<Paragraph> theParagraphs(kParagraphs);
  for (int i = 0; i < kParagraphs; ++i) {
    for (int w = 0; w < 40; ++w)
      theParagraphs[i].mWords.emplace_back(kWords[theSeed.Next(24)]);
    const LONG theLeft = (i % 5) * 204 + 7, theTop = (i / 5) % 10 * 102 + 1;
    theParagraphs[i].mBox = RECT{theLeft, theTop, theLeft + 190, theTop + 100};
  }
  return theParagraphs;
}

// A 1024 x 1024 32-bit DIB section, and the objects one canvas operation
// makes and selects for each shape or text.
struct WorkPicture {
  HDC mDC = CreateCompatibleDC(nullptr);
  void* mBits = nullptr;

  WorkPicture()
  {
    BITMAPINFO theInfo{};
    theInfo.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 1024, -1024, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SelectObject(mDC, CreateDIBSection(nullptr, &theInfo, DIB_RGB_COLORS, &mBits, nullptr, 0));
    SetGraphicsMode(mDC, GM_ADVANCED);
    SetBkMode(mDC, TRANSPARENT);
  }
  void Clear() const { std::memset(mBits, 0xFF, std::size_t(1024) * 1024 * 4); }

  template <typename F>
  void WithObjects(COLORREF inPaint, F&& inDraw) const
  {
    HPEN thePen = CreatePen(PS_SOLID, 1, 0);
    HBRUSH theBrush = CreateSolidBrush(inPaint);
    HFONT theFont = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                                CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "DejaVu Sans");
    HGDIOBJ theOldPen = SelectObject(mDC, thePen), theOldBrush = SelectObject(mDC, theBrush),
            theOldFont = SelectObject(mDC, theFont);
    inDraw();
    SelectObject(mDC, theOldPen);
    SelectObject(mDC, theOldBrush);
    SelectObject(mDC, theOldFont);
    DeleteObject(thePen);
    DeleteObject(theBrush);
    DeleteObject(theFont);
  }
};

struct CairoPicture {
  cairo_surface_t* mSurface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1024, 1024);
  cairo_t* mContext = nullptr;

  ~CairoPicture()
  {
    cairo_destroy(mContext);
    cairo_surface_destroy(mSurface);
  }
  cairo_t* Clear()
  {
    cairo_destroy(mContext);
    mContext = cairo_create(mSurface);
    cairo_set_source_rgb(mContext, 1, 1, 1);
    cairo_paint(mContext);
    return mContext;
  }
};

void Report(const char* inWork, double inOurs, const char* inPeer, double inTheirs)
{
  std::printf("%-10s  ours %8.4f s   %-34s %8.4f s   ratio %6.2f\n", inWork, inOurs, inPeer, inTheirs, inTheirs / inOurs);
}


// Text and ellipses against MagickCore.
void AgainstMagick()
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
}

// The stars and paragraphs of work.js against Cairo.
void AgainstCairo()
{
  WorkPicture theWork;
  CairoPicture theCairo;
  const std::vector<Star> theStars = Stars();
  const double theOurStars = Best([&] { theWork.Clear(); }, [&] {
    for (const Star& theStar : theStars)
      theWork.WithObjects(theStar.mColor, [&] {
        BeginPath(theWork.mDC);
        Polygon(theWork.mDC, theStar.mPoints, 10);
        EndPath(theWork.mDC);
        FillPath(theWork.mDC);
      });
  });
  auto CairoStars = [&](cairo_antialias_t inAntialias) {
    return Best([&] { cairo_set_antialias(theCairo.Clear(), inAntialias); }, [&] {
      cairo_t* c = theCairo.mContext;
      for (const Star& theStar : theStars) {
        cairo_move_to(c, theStar.mPoints[0].x, theStar.mPoints[0].y);
        for (int k = 1; k < 10; ++k)
          cairo_line_to(c, theStar.mPoints[k].x, theStar.mPoints[k].y);
        cairo_close_path(c);
        cairo_set_source_rgb(c, GetRValue(theStar.mColor) / 255.0, GetGValue(theStar.mColor) / 255.0,
                             GetBValue(theStar.mColor) / 255.0);
        cairo_fill(c);
      }
      cairo_surface_flush(theCairo.mSurface);
    });
  };
  Report("stars", theOurStars, "Cairo, antialiased", CairoStars(CAIRO_ANTIALIAS_DEFAULT));
  Report("stars", theOurStars, "Cairo, not antialiased", CairoStars(CAIRO_ANTIALIAS_NONE));

  const std::vector<Paragraph> theParagraphs = Paragraphs();
  std::vector<std::u16string> theTexts;
  for (const Paragraph& theParagraph : theParagraphs) {
    std::u16string theJoined;
    for (const std::string& theWord : theParagraph.mWords) {
      if (!theJoined.empty())
        theJoined.push_back(u' ');
      theJoined.append(theWord.begin(), theWord.end());
    }
    theTexts.push_back(theJoined);
  }
  const UINT kFlags = DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL;
  const double theOurParagraphs = Best([&] { theWork.Clear(); }, [&] {
    for (int i = 0; i < kParagraphs; ++i)
      theWork.WithObjects(0, [&] {
        DRAWTEXTPARAMS theParams{sizeof(DRAWTEXTPARAMS), 4, 0, 0, 0};
        RECT theBox = theParagraphs[i].mBox;
        RECT theMeasured{theBox.left, theBox.top, theBox.right, theBox.top};
        DrawTextExW(theWork.mDC, theTexts[i].c_str(), -1, &theMeasured, kFlags | DT_CALCRECT, &theParams);
        DrawTextExW(theWork.mDC, theTexts[i].c_str(), -1, &theMeasured, kFlags | DT_CALCRECT | DT_SINGLELINE,
                    &theParams);
        DrawTextExW(theWork.mDC, theTexts[i].c_str(), -1, &theBox, kFlags, &theParams);
      });
  });
  const double theirParagraphs = Best([&] { theCairo.Clear(); }, [&] {
    cairo_t* c = theCairo.mContext;
    cairo_select_font_face(c, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(c, 13);
    cairo_set_source_rgb(c, 0, 0, 0);
    cairo_font_extents_t theFont;
    cairo_font_extents(c, &theFont);
    for (const Paragraph& theParagraph : theParagraphs) {
      const double theTop = theParagraph.mBox.top, theLeft = theParagraph.mBox.left;
      double y = theTop + theFont.ascent;
      std::string theLine;
      auto Show = [&] {
        if (theLine.empty() || y - theFont.ascent + theFont.height > theTop + 100)
          return false;
        cairo_move_to(c, theLeft, y);
        cairo_show_text(c, theLine.c_str());
        y += theFont.height;
        return true;
      };
      for (const std::string& theWord : theParagraph.mWords) {
        std::string theWider = theLine;
        if (!theWider.empty())
          theWider.push_back(' ');
        theWider.append(theWord);
        cairo_text_extents_t theExtents;
        cairo_text_extents(c, theWider.c_str(), &theExtents);
        if (!theLine.empty() && theExtents.x_advance > 190) {
          if (!Show())
            break;
          theLine = theWord;
        } else {
          theLine = theWider;
        }
      }
      Show();
    }
    cairo_surface_flush(theCairo.mSurface);
  });
  Report("paragraphs", theOurParagraphs, "Cairo, a line a show_text", theirParagraphs);
}

}  // namespace

int main(int argc, char** argv)
{
  if (!(argc > 1 && std::strcmp(argv[1], "work") == 0))
    AgainstMagick();
  AgainstCairo();
  return 0;
}
