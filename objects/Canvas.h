#pragma once
// Canvas: the drawing surface scripts create by name ("Tessaline4.Canvas").
// It owns its pixels (a Bitmap, which has none until width and height are
// both positive), the drawing defaults that every drawing method copies into
// its operation's parameters record (SetupOp), and a CanvasLog that times the
// canvas's life and keeps its peak memory.
//
// Properties read and write value texts (colours "100.0,100.0,100.0,100.0",
// depths "millions", styles, charsets, alignments); a value that does not
// parse is refused with "Unable to set property" and the context
// "Set Canvas <name>  =  <value>", and the canvas keeps its value (the
// colours other than Color, TextStyle and the alignments hold whatever the
// parser left). Width, Height and Depth bring the pixels up to date at once:
// new area takes the natural colour (Color), which Erase also fills with.
// The dither flag and transfer mode live in the pixels' backing, so Clear,
// and a resize without QuickTime, set them back to 0.

#include "core/Bitmap.h"
#include "core/CanvasLog.h"
#include "core/ColorValue.h"
#include "core/Utilities.h"
#include "objects/MethodFrame.h"
#include "platform/automation/ComObject.h"

#include <string>

class Operation;

inline constexpr char kCanvasClassText[] = "{CBF60B0F-D3A1-46f8-8808-765749F9A0BA}";
inline constexpr CLSID kCanvasClass = TL_GUID(kCanvasClassText);

struct ICanvas : IDispatch {
  static constexpr IID kIID = TL_GUID("{4592E792-723A-4DCD-98D4-365D4B2BAA5D}");
  virtual HRESULT get_Depth(VARIANT* outValue) = 0;
  virtual HRESULT put_Depth(VARIANT inValue) = 0;
  virtual HRESULT get_Width(VARIANT* outValue) = 0;
  virtual HRESULT put_Width(VARIANT inValue) = 0;
  virtual HRESULT get_Height(VARIANT* outValue) = 0;
  virtual HRESULT put_Height(VARIANT inValue) = 0;
  virtual HRESULT get_Color(VARIANT* outValue) = 0;
  virtual HRESULT put_Color(VARIANT inValue) = 0;
  virtual HRESULT get_PaintColor(VARIANT* outValue) = 0;
  virtual HRESULT put_PaintColor(VARIANT inValue) = 0;
  virtual HRESULT get_PenColor(VARIANT* outValue) = 0;
  virtual HRESULT put_PenColor(VARIANT inValue) = 0;
  virtual HRESULT get_TextColor(VARIANT* outValue) = 0;
  virtual HRESULT put_TextColor(VARIANT inValue) = 0;
  virtual HRESULT get_PenSize(VARIANT* outValue) = 0;
  virtual HRESULT put_PenSize(VARIANT inValue) = 0;
  virtual HRESULT get_TextFont(VARIANT* outValue) = 0;
  virtual HRESULT put_TextFont(VARIANT inValue) = 0;
  virtual HRESULT get_TextSize(VARIANT* outValue) = 0;
  virtual HRESULT put_TextSize(VARIANT inValue) = 0;
  virtual HRESULT get_TextStyle(VARIANT* outValue) = 0;
  virtual HRESULT put_TextStyle(VARIANT inValue) = 0;
  virtual HRESULT get_TextCharset(VARIANT* outValue) = 0;
  virtual HRESULT put_TextCharset(VARIANT inValue) = 0;
  virtual HRESULT get_HAlign(VARIANT* outValue) = 0;
  virtual HRESULT put_HAlign(VARIANT inValue) = 0;
  virtual HRESULT get_VAlign(VARIANT* outValue) = 0;
  virtual HRESULT put_VAlign(VARIANT inValue) = 0;
  virtual HRESULT get_Dither(VARIANT* outValue) = 0;
  virtual HRESULT put_Dither(VARIANT inValue) = 0;
  virtual HRESULT get_Pattern(LONG* outValue) = 0;
  virtual HRESULT put_Pattern(LONG inValue) = 0;
  virtual HRESULT SetChannel(VARIANT inChannel, LONG inImage) = 0;
  virtual HRESULT Erase() = 0;
  virtual HRESULT Invert() = 0;
  virtual HRESULT Clear() = 0;
  virtual HRESULT DrawFile(VARIANT* inSrc, VARIANT* inParams, VARIANT* outRect) = 0;
  virtual HRESULT DrawData(VARIANT* inSrc, VARIANT* inType, VARIANT* inParams, VARIANT* outRect) = 0;
  virtual HRESULT DrawShape(VARIANT* inShape, VARIANT* inParams, VARIANT* outRect) = 0;
  virtual HRESULT DrawText(VARIANT* inText, VARIANT* inParams, VARIANT* outRect) = 0;
  virtual HRESULT DrawCanvas(LONG inImage, VARIANT* inParams, VARIANT* outRect) = 0;
  virtual HRESULT GetColor(VARIANT* inLoc, VARIANT* outColor) = 0;
  virtual HRESULT TextArea(VARIANT* inText, VARIANT* inParams, VARIANT* outWidth, VARIANT* outHeight,
                           VARIANT* outLineH, VARIANT* outRetn) = 0;
  virtual HRESULT TextLength(VARIANT* inText, VARIANT* inParams, VARIANT* outVal, VARIANT* outRetn) = 0;
  virtual HRESULT SaveAs(VARIANT* inFilePath, VARIANT* inParams) = 0;
  virtual HRESULT GetAs(VARIANT* inType, VARIANT* inParams, VARIANT* outData) = 0;
  virtual HRESULT Select(VARIANT* inType, VARIANT* inParams) = 0;
  virtual HRESULT ReduceColors(VARIANT* inPalette, VARIANT* inColors, VARIANT* inDither) = 0;
  virtual HRESULT GetInfo(VARIANT* inType, VARIANT* outInfo) = 0;
  virtual HRESULT get_Image(LONG* outValue) = 0;
};

using CanvasMembers = DispatchMembers<ICanvas>;
#define TL_CANVAS_PROPERTY(inId, inName, inHelp) \
  CanvasMembers::Property<&ICanvas::get_##inName, &ICanvas::put_##inName>(inId, #inName, inHelp)
#define TL_CANVAS_METHOD(inId, inName, inHelp, ...) \
  CanvasMembers::Method<&ICanvas::inName>(inId, #inName, inHelp, {__VA_ARGS__})
inline constexpr DispatchMember kCanvasMembers[] = {
    TL_CANVAS_PROPERTY(1, Depth, "Color depth of the canvas"),
    TL_CANVAS_PROPERTY(2, Width, "Width of the canvas in pixels"),
    TL_CANVAS_PROPERTY(3, Height, "Height of the canvas in pixels"),
    TL_CANVAS_PROPERTY(4, Color, "Default color of the canvas"),
    TL_CANVAS_PROPERTY(5, PaintColor, "Default color for filling shapes on the canvas"),
    TL_CANVAS_PROPERTY(6, PenColor, "Default color for drawing lines on the canvas"),
    TL_CANVAS_PROPERTY(7, TextColor, "Default color for drawing text on the canvas"),
    TL_CANVAS_PROPERTY(8, PenSize, "Default width of pen (in pixels) when drawing lines"),
    TL_CANVAS_PROPERTY(9, TextFont, "Default font when drawing text"),
    TL_CANVAS_PROPERTY(10, TextSize, "Default font size (in points) when drawing text"),
    TL_CANVAS_PROPERTY(11, TextStyle, "Default font style when drawing text"),
    TL_CANVAS_PROPERTY(12, TextCharset, "Default font charset to be used when drawing text"),
    TL_CANVAS_PROPERTY(13, HAlign, "Default horizontal alignment for aligned objects"),
    TL_CANVAS_PROPERTY(14, VAlign, "Default vertical alignment for aligned objects"),
    TL_CANVAS_PROPERTY(15, Dither, "Whether colors are dithered or not"),
    TL_CANVAS_PROPERTY(16, Pattern, "The pattern (HBITMAP or HDC) to use when painting patterns"),
    TL_CANVAS_METHOD(17, SetChannel, "Sets the specied color channel using another canvas as an intensity map",
                     In("inChannel"), In("inImage")),
    TL_CANVAS_METHOD(18, Erase, "Erases the whole of the canvas returning it to its natural color"),
    TL_CANVAS_METHOD(19, Invert, "Inverts the colors on the canvas"),
    TL_CANVAS_METHOD(20, Clear, "Resets the canvas to a just-created state"),
    TL_CANVAS_METHOD(21, DrawFile, "Draws a graphic held in a file onto the canvas", In("inSrc"), In("inParams"),
                     Retval("outRect")),
    TL_CANVAS_METHOD(22, DrawData, "Draws a graphic held as raw data onto the canvas", In("inSrc"), In("inType"),
                     In("inParams"), Retval("outRect")),
    TL_CANVAS_METHOD(23, DrawShape, "Draws or paints a shape onto the canvas", In("inShape"), In("inParams"),
                     Retval("outRect")),
    TL_CANVAS_METHOD(24, DrawText, "Draws a string of text onto the canvas", In("inText"), In("inParams"),
                     Retval("outRect")),
    TL_CANVAS_METHOD(25, DrawCanvas, "Draws another canvas onto the canvas", In("inImage"), In("inParams"),
                     Retval("outRect")),
    TL_CANVAS_METHOD(26, GetColor, "Returns the color at a specific location", In("inLoc"), Retval("outColor")),
    TL_CANVAS_METHOD(27, TextArea, "Returns the area that a string of drawn text would fill", In("inText"),
                     In("inParams"), Out("outWidth"), Out("outHeight"), Out("outLineH"), Retval("outRetn")),
    TL_CANVAS_METHOD(28, TextLength, "Returns the number of characters that would be drawn into a specified rectangle",
                     In("inText"), In("inParams"), Out("outVal"), Retval("outRetn")),
    TL_CANVAS_METHOD(29, SaveAs, "Saves the canvas as a file in a particular file format", In("inFilePath"),
                     In("inParams")),
    TL_CANVAS_METHOD(30, GetAs, "Gets the raw picture data in a particular file format", In("inType"), In("inParams"),
                     Retval("outData")),
    TL_CANVAS_METHOD(31, Select, "Selects portions of the picture into an alpha channel", In("inType"),
                     In("inParams")),
    TL_CANVAS_METHOD(32, ReduceColors, "Reduces the number of colors on the canvas", In("inPalette"),
                     In("inColors"), In("inDither")),
    TL_CANVAS_METHOD(33, GetInfo, "Returns selected information about the canvas", In("inType"), Retval("outInfo")),
    CanvasMembers::ReadOnly<&ICanvas::get_Image>(34, "Image", "The image (HBITMAP or HDC) associated with this canvas"),
};
#undef TL_CANVAS_METHOD
#undef TL_CANVAS_PROPERTY
inline constexpr DispatchTable kCanvasTable = MakeDispatchTable<ICanvas>("ICanvas", kCanvasMembers);

inline constexpr ErrorReporter kCanvasReporter{kCanvasClass, ICanvas::kIID};

class Canvas : public DispatchImpl<ICanvas, kCanvasTable>, public SupportErrorInfo<ICanvas> {
public:
  using Interfaces = InterfaceList<ICanvas, ISupportErrorInfo>;

  Canvas();
  ~Canvas();

  HRESULT get_Depth(VARIANT* outValue) override;
  HRESULT put_Depth(VARIANT inValue) override;
  HRESULT get_Width(VARIANT* outValue) override;
  HRESULT put_Width(VARIANT inValue) override;
  HRESULT get_Height(VARIANT* outValue) override;
  HRESULT put_Height(VARIANT inValue) override;
  HRESULT get_Color(VARIANT* outValue) override;
  HRESULT put_Color(VARIANT inValue) override;
  HRESULT get_PaintColor(VARIANT* outValue) override;
  HRESULT put_PaintColor(VARIANT inValue) override;
  HRESULT get_PenColor(VARIANT* outValue) override;
  HRESULT put_PenColor(VARIANT inValue) override;
  HRESULT get_TextColor(VARIANT* outValue) override;
  HRESULT put_TextColor(VARIANT inValue) override;
  HRESULT get_PenSize(VARIANT* outValue) override;
  HRESULT put_PenSize(VARIANT inValue) override;
  HRESULT get_TextFont(VARIANT* outValue) override;
  HRESULT put_TextFont(VARIANT inValue) override;
  HRESULT get_TextSize(VARIANT* outValue) override;
  HRESULT put_TextSize(VARIANT inValue) override;
  HRESULT get_TextStyle(VARIANT* outValue) override;
  HRESULT put_TextStyle(VARIANT inValue) override;
  HRESULT get_TextCharset(VARIANT* outValue) override;
  HRESULT put_TextCharset(VARIANT inValue) override;
  HRESULT get_HAlign(VARIANT* outValue) override;
  HRESULT put_HAlign(VARIANT inValue) override;
  HRESULT get_VAlign(VARIANT* outValue) override;
  HRESULT put_VAlign(VARIANT inValue) override;
  HRESULT get_Dither(VARIANT* outValue) override;
  HRESULT put_Dither(VARIANT inValue) override;
  HRESULT get_Pattern(LONG* outValue) override;
  HRESULT put_Pattern(LONG inValue) override;
  HRESULT SetChannel(VARIANT inChannel, LONG inImage) override;
  HRESULT Erase() override;
  HRESULT Invert() override;
  HRESULT Clear() override;
  HRESULT DrawFile(VARIANT* inSrc, VARIANT* inParams, VARIANT* outRect) override;
  HRESULT DrawData(VARIANT* inSrc, VARIANT* inType, VARIANT* inParams, VARIANT* outRect) override;
  HRESULT DrawShape(VARIANT* inShape, VARIANT* inParams, VARIANT* outRect) override;
  HRESULT DrawText(VARIANT* inText, VARIANT* inParams, VARIANT* outRect) override;
  HRESULT DrawCanvas(LONG inImage, VARIANT* inParams, VARIANT* outRect) override;
  HRESULT GetColor(VARIANT* inLoc, VARIANT* outColor) override;
  HRESULT TextArea(VARIANT* inText, VARIANT* inParams, VARIANT* outWidth, VARIANT* outHeight, VARIANT* outLineH,
                   VARIANT* outRetn) override;
  HRESULT TextLength(VARIANT* inText, VARIANT* inParams, VARIANT* outVal, VARIANT* outRetn) override;
  HRESULT SaveAs(VARIANT* inFilePath, VARIANT* inParams) override;
  HRESULT GetAs(VARIANT* inType, VARIANT* inParams, VARIANT* outData) override;
  HRESULT Select(VARIANT* inType, VARIANT* inParams) override;
  HRESULT ReduceColors(VARIANT* inPalette, VARIANT* inColors, VARIANT* inDither) override;
  HRESULT GetInfo(VARIANT* inType, VARIANT* outInfo) override;
  HRESULT get_Image(LONG* outValue) override;

  // The canvas defaults into the operation's parameters record, before its
  // setters and its parameter string; the font list is cut to the record's
  // 255 bytes.
  void SetupOp(Operation& ioOp);

private:
  // Runs the operation on the canvas; S_OK, or its error text through the
  // reporter.
  HRESULT RunAndReport(Operation& ioOp);
  // S_OK, or the operation's error text through the reporter.
  HRESULT ReportOutcome(Operation& ioOp);
  // After a size or depth put: the pixels brought up to date, the memory
  // noted, a failure reported under inLabel.
  HRESULT UpdateWorld(const char* inLabel, const VARIANT& inValue);
  void NoteMemory();
  // A colour text put straight into ioColor.
  HRESULT PutColor(const char* inLabel, const VARIANT& inValue, ColorValue& ioColor);
  // A size put that refuses values below 0.
  HRESULT PutSize(const char* inLabel, const VARIANT& inValue, LONG& ioSize);
  // The answer of a member not built yet.
  static HRESULT NotBuilt();

  LONG mQTAvailable = 0;
  OSErr mQTErr = 0;
  Bitmap mWorld;
  ColorValue mPaintColor{65535, 65535, 65535, 65535};
  ColorValue mPenColor{0, 0, 0, 65535};
  ColorValue mTextColor{0, 0, 0, 65535};
  LONG mPenSize = 1;
  std::string mTextFont = "System";
  LONG mTextSize = 10;
  FontStyle mTextStyle;
  LONG mTextCharset = 1;
  LONG mHAlign = 0;
  LONG mVAlign = 0;
  LONG mPattern = 0;
  CanvasLog mCanvasLog;
};
