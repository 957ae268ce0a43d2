#include "platform/gdi/Rasterizer.h"

#include "platform/gdi/DrawingLibraries.h"

#include <cairo.h>

#include <memory>

namespace tlgdi {

namespace {

struct CairoDeleter {
  void operator()(cairo_surface_t* inSurface) const { cairo_surface_destroy(inSurface); }
  void operator()(cairo_t* inContext) const { cairo_destroy(inContext); }
};

// Cairo drawing straight into the mask's bytes.
class MaskContext {
public:
  explicit MaskContext(CoverageMask& ioMask)
    : mMask(ioMask),
      mSurface(cairo_image_surface_create_for_data(ioMask.mCoverage.data(), CAIRO_FORMAT_A8, ioMask.mWidth,
                                                   ioMask.mHeight, ioMask.mStride)),
      mContext(cairo_create(mSurface.get()))
  {
  }
  ~MaskContext() { cairo_surface_flush(mSurface.get()); }

  cairo_t* Get() const { return mContext.get(); }
  bool Succeeded() const { return cairo_status(Get()) == CAIRO_STATUS_SUCCESS; }

  void AddFigures(const std::vector<Polyline>& inFigures) const
  {
    const double theX = 0.5 - mMask.mLeft, theY = 0.5 - mMask.mTop;
    for (const Polyline& theFigure : inFigures) {
      cairo_move_to(Get(), theFigure.mPoints[0].mX + theX, theFigure.mPoints[0].mY + theY);
      for (std::size_t i = 1; i < theFigure.mPoints.size(); ++i)
        cairo_line_to(Get(), theFigure.mPoints[i].mX + theX, theFigure.mPoints[i].mY + theY);
      if (theFigure.mClosed)
        cairo_close_path(Get());
    }
  }

private:
  CoverageMask& mMask;
  std::unique_ptr<cairo_surface_t, CairoDeleter> mSurface;
  std::unique_ptr<cairo_t, CairoDeleter> mContext;
};

bool FillFigures(const std::vector<Polyline>& inFigures, cairo_antialias_t inAntialias, cairo_fill_rule_t inRule,
                 CoverageMask& ioMask)
{
  if (!LoadCairo())
    return false;
  MaskContext theContext(ioMask);
  cairo_set_antialias(theContext.Get(), inAntialias);
  cairo_set_fill_rule(theContext.Get(), inRule);
  theContext.AddFigures(inFigures);
  cairo_fill(theContext.Get());
  return theContext.Succeeded();
}

}  // namespace

bool Rasterizer::Fill(const std::vector<Polyline>& inFigures, CoverageMask& ioMask)
{
  return FillFigures(inFigures, CAIRO_ANTIALIAS_NONE, CAIRO_FILL_RULE_EVEN_ODD, ioMask);
}

bool Rasterizer::Stroke(const std::vector<Polyline>& inFigures, double inWidth, const Affine& inPen,
                        CoverageMask& ioMask)
{
  if (!LoadCairo())
    return false;
  MaskContext theContext(ioMask);
  cairo_t* c = theContext.Get();
  cairo_set_antialias(c, CAIRO_ANTIALIAS_NONE);
  cairo_set_line_cap(c, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(c, CAIRO_LINE_JOIN_ROUND);
  // The figures are in device space already; the matrix shapes the pen only.
  theContext.AddFigures(inFigures);
  const cairo_matrix_t thePen = {inPen.m11, inPen.m12, inPen.m21, inPen.m22, 0, 0};
  cairo_set_matrix(c, &thePen);
  cairo_set_line_width(c, inWidth);
  cairo_stroke(c);
  return theContext.Succeeded();
}

bool Rasterizer::FillSmooth(const std::vector<Polyline>& inFigures, CoverageMask& ioMask)
{
  return FillFigures(inFigures, CAIRO_ANTIALIAS_GRAY, CAIRO_FILL_RULE_WINDING, ioMask);
}

}  // namespace tlgdi
