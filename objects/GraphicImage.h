#pragma once
// GraphicImage: one image of what a Graphic describes, as its list hands it
// out (the class cannot be created by name). It holds the values of one
// reader's record, taken when the Graphic read its input, and keeps them
// after the Graphic reads another.
//
// Depth reads "millions" above 16 bits, "thousands" for 9 to 16, else the
// colour count; Resolution is dots per inch as a number; ColorSpace the
// colour-space keyword ("RGB", "Gray", "CMYK" ...); ColorProfile whether an
// ICC profile is embedded; Rectangle the image's own rectangle as
// "left,top,right,bottom" (a frame of an animation where it stands on the
// page); Width and Height that rectangle's size as decimal text.

#include "core/ImageInfoSource.h"
#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"

inline constexpr char kGraphicImageClassText[] = "{B959023D-B7A1-409b-B403-2B1BB8AEC16B}";
inline constexpr CLSID kGraphicImageClass = TL_GUID(kGraphicImageClassText);

struct IGraphicImage : IDispatch {
  static constexpr IID kIID = TL_GUID("{16D74B61-BD62-4494-9281-BAF90CE9E4D4}");
  virtual HRESULT get_Depth(VARIANT* outValue) = 0;
  virtual HRESULT get_Resolution(VARIANT* outValue) = 0;
  virtual HRESULT get_ColorSpace(VARIANT* outValue) = 0;
  virtual HRESULT get_ColorProfile(VARIANT* outValue) = 0;
  virtual HRESULT get_Rectangle(VARIANT* outValue) = 0;
  virtual HRESULT get_Width(VARIANT* outValue) = 0;
  virtual HRESULT get_Height(VARIANT* outValue) = 0;
};

using GraphicImageMembers = DispatchMembers<IGraphicImage>;
inline constexpr DispatchMember kGraphicImageMembers[] = {
    GraphicImageMembers::ReadOnly<&IGraphicImage::get_Depth>(1, "Depth", "Color depth of the image"),
    GraphicImageMembers::ReadOnly<&IGraphicImage::get_Resolution>(2, "Resolution",
                                                                  "Resolution of the image in dots per inch (dpi)"),
    GraphicImageMembers::ReadOnly<&IGraphicImage::get_ColorSpace>(3, "ColorSpace", "The natural color space of the image"),
    GraphicImageMembers::ReadOnly<&IGraphicImage::get_ColorProfile>(4, "ColorProfile",
                                                                    "Whether the image contains an ICC profile"),
    GraphicImageMembers::ReadOnly<&IGraphicImage::get_Rectangle>(5, "Rectangle", "Natural rectangle of the image"),
    GraphicImageMembers::ReadOnly<&IGraphicImage::get_Width>(6, "Width", "Natural width of the image"),
    GraphicImageMembers::ReadOnly<&IGraphicImage::get_Height>(7, "Height", "Natural height of the image"),
};
inline constexpr DispatchTable kGraphicImageTable =
    MakeDispatchTable<IGraphicImage>("IGraphicImage", kGraphicImageMembers);

inline constexpr ErrorReporter kGraphicImageReporter{kGraphicImageClass, IGraphicImage::kIID};

class GraphicImage : public DispatchImpl<IGraphicImage, kGraphicImageTable>, public SupportErrorInfo<IGraphicImage> {
public:
  using Interfaces = InterfaceList<IGraphicImage, ISupportErrorInfo>;

  explicit GraphicImage(const ImageInfoRecord& inRecord);

  HRESULT get_Depth(VARIANT* outValue) override;
  HRESULT get_Resolution(VARIANT* outValue) override;
  HRESULT get_ColorSpace(VARIANT* outValue) override;
  HRESULT get_ColorProfile(VARIANT* outValue) override;
  HRESULT get_Rectangle(VARIANT* outValue) override;
  HRESULT get_Width(VARIANT* outValue) override;
  HRESULT get_Height(VARIANT* outValue) override;

private:
  LONG mDepth;
  LONG mResolution;
  LONG mColorSpace;
  LONG mHasProfile;
  RECT mRect;
};
