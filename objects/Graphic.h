#pragma once
// Graphic: what an image file or a block of bytes holds, without drawing it.
// Scripts create it by name ("Tessaline4.Graphic"), hand it a file
// (SetFile) or bytes with a type hint (SetData), and read the format's name,
// one GraphicImage per image (Item counts from 1; the object enumerates them
// in order) and the IPTC-NAA datasets of the first image (IPTC).
//
// The description comes from the information readers of the codecs that the
// drawing operations use, the first that recognises the input (leaves a
// format name): QuickTime's graphics reader first when only images are asked
// for (ReadImages on, ReadIPTC off; preference "QTInfo"); ImageMagick's,
// which only pings the input (reads its attributes, decodes no pixels) when
// ReadImages and ReadIPTC are both off (preference "IMInfo"); QuickTime's
// graphics reader after it otherwise; QuickTime's movie reader last
// (preference "QTImportMovies", off by default). Input that no reader
// recognises is no error: Format is "", Count 0 and Drawable false. Each
// SetFile or SetData replaces the whole description; images and the IPTC
// list handed to a script before stay alive.

#include "core/ImageInfoSource.h"
#include "core/QTUtils.h"
#include "objects/GraphicIPTC.h"
#include "objects/GraphicImage.h"
#include "objects/ObjectList.h"

#include <functional>
#include <string>

inline constexpr char kGraphicClassText[] = "{9F952588-F39F-4b3e-8042-2E4203DED320}";
inline constexpr CLSID kGraphicClass = TL_GUID(kGraphicClassText);

struct IGraphic : IDispatch {
  static constexpr IID kIID = TL_GUID("{00241081-F339-45A4-BF0D-CA635441B725}");
  virtual HRESULT get__NewEnum(IUnknown** outEnum) = 0;
  virtual HRESULT get_Item(LONG inIndex, IGraphicImage** outImage) = 0;
  virtual HRESULT get_Count(LONG* outCount) = 0;
  virtual HRESULT get_Format(VARIANT* outValue) = 0;
  virtual HRESULT get_Drawable(VARIANT* outValue) = 0;
  virtual HRESULT get_ReadImages(VARIANT* outValue) = 0;
  virtual HRESULT put_ReadImages(VARIANT inValue) = 0;
  virtual HRESULT get_ReadIPTC(VARIANT* outValue) = 0;
  virtual HRESULT put_ReadIPTC(VARIANT inValue) = 0;
  virtual HRESULT get_IPTC(IGraphicIPTC** outIPTC) = 0;
  virtual HRESULT SetFile(VARIANT* inFile) = 0;
  virtual HRESULT SetData(VARIANT* inData, VARIANT* inType) = 0;
};

using GraphicMembers = DispatchMembers<IGraphic>;
inline constexpr DispatchMember kGraphicMembers[] = {
    GraphicMembers::ReadOnly<&IGraphic::get__NewEnum>(DISPID_NEWENUM, "_NewEnum", "internal property _NewEnum"),
    GraphicMembers::ReadOnly<&IGraphic::get_Item>(DISPID_VALUE, "Item",
                                                  "Returns a particular GraphicImage referenced by index",
                                                  {In("Index")}),
    GraphicMembers::ReadOnly<&IGraphic::get_Count>(1, "Count", "The number of GraphicImages available"),
    GraphicMembers::ReadOnly<&IGraphic::get_Format>(2, "Format", "The human readable name describing the graphic format"),
    GraphicMembers::ReadOnly<&IGraphic::get_Drawable>(3, "Drawable", "True if the graphic is drawable otherwise false"),
    GraphicMembers::Property<&IGraphic::get_ReadImages, &IGraphic::put_ReadImages>(
        4, "ReadImages", "Whether to read all the sub-images or just the first"),
    GraphicMembers::Property<&IGraphic::get_ReadIPTC, &IGraphic::put_ReadIPTC>(
        5, "ReadIPTC", "Whether to scan for IPTC-NAA information"),
    GraphicMembers::ReadOnly<&IGraphic::get_IPTC>(6, "IPTC", "IPTC-NAA information about the image"),
    GraphicMembers::Method<&IGraphic::SetFile>(7, "SetFile", "Use this to set the graphic in terms of a file path",
                                               {In("inFile")}),
    GraphicMembers::Method<&IGraphic::SetData>(8, "SetData", "Use this to set the graphic in terms of raw data",
                                               {In("inData"), In("inType")}),
};
inline constexpr DispatchTable kGraphicTable = MakeDispatchTable<IGraphic>("IGraphic", kGraphicMembers);

inline constexpr ErrorReporter kGraphicReporter{kGraphicClass, IGraphic::kIID};

class Graphic : public DispatchImpl<IGraphic, kGraphicTable>, public SupportErrorInfo<IGraphic> {
public:
  using Interfaces = InterfaceList<IGraphic, ISupportErrorInfo>;

  Graphic();
  ~Graphic();

  HRESULT get__NewEnum(IUnknown** outEnum) override;
  HRESULT get_Item(LONG inIndex, IGraphicImage** outImage) override;
  HRESULT get_Count(LONG* outCount) override;
  HRESULT get_Format(VARIANT* outValue) override;
  HRESULT get_Drawable(VARIANT* outValue) override;
  HRESULT get_ReadImages(VARIANT* outValue) override;
  HRESULT put_ReadImages(VARIANT inValue) override;
  HRESULT get_ReadIPTC(VARIANT* outValue) override;
  HRESULT put_ReadIPTC(VARIANT inValue) override;
  HRESULT get_IPTC(IGraphicIPTC** outIPTC) override;
  HRESULT SetFile(VARIANT* inFile) override;
  HRESULT SetData(VARIANT* inData, VARIANT* inType) override;

private:
  // A reader's entry for the input: its SetFile or SetData.
  using ReadInput = std::function<void(ImageInfoSource&)>;

  // The readers in their order, until one leaves a format name.
  void Describe(const ReadInput& inRead);
  // The format, the images and the IPTC block of the reader.
  void TakeDescription(ImageInfoSource& inInfo);
  void ClearDescription();

  OSErr mQTErr = 0;
  LONG mQTAvailable = 0;
  ObjectList<GraphicImage> mGIList;
  ObjectPtr<GraphicIPTC> mIPTC;
  std::string mFormat;  // empty: nothing recognised
  LONG mReadImages = 1;
  LONG mReadIPTC = 0;
};
