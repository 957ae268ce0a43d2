#include "objects/ClassTable.h"

#include "objects/Canvas.h"
#include "objects/Exporters.h"
#include "objects/Fonts.h"
#include "objects/Gestalt.h"
#include "objects/Graphic.h"
#include "objects/GraphicImage.h"
#include "objects/GraphicIPTC.h"
#include "objects/IPTCItem.h"
#include "objects/XColor.h"
#include "objects/XPoint.h"
#include "objects/XRect.h"

namespace {

const DispatchTable* const kInterfaces[] = {
    &kGraphicTable,
    &kCanvasTable,
    &kGraphicImageTable,
    &kFontsTable,
    &kExportersTable,
    &kGestaltTable,
    &kXColorTable,
    &kXRectTable,
    &kXPointTable,
    &kIPTCItemTable,
    &kGraphicIPTCTable,
};

const ServerClass kClasses[] = {
    {&kGraphicClass, "Graphic", "Tessaline4.Graphic", 1, "Graphic Class", &ComObject<Graphic>::CreateInstance,
     kGraphicClassText},
    {&kCanvasClass, "Canvas", "Tessaline4.Canvas", 1, "Canvas Class", &ComObject<Canvas>::CreateInstance,
     kCanvasClassText},
    {&kGraphicImageClass, "GraphicImage", "Tessaline4.GraphicImage", 1, "GraphicImage Class", nullptr,
     kGraphicImageClassText},
    {&kFontsClass, "Fonts", "Tessaline4.Fonts", 1, "Fonts Class", nullptr, kFontsClassText},
    {&kExportersClass, "Exporters", "Tessaline4.Exporters", 1, "Exporters Class", nullptr, kExportersClassText},
    {&kGestaltClass, "Gestalt", "Tessaline4.Gestalt", 1, "Gestalt Class", &ComObject<Gestalt>::CreateInstance,
     kGestaltClassText},
    {&kXColorClass, "XColor", "Tessaline4.XColor", 1, "XColor Class", &ComObject<XColor>::CreateInstance,
     kXColorClassText},
    {&kXRectClass, "XRect", "Tessaline4.XRect", 1, "XRect Class", &ComObject<XRect>::CreateInstance, kXRectClassText},
    {&kXPointClass, "XPoint", "Tessaline4.XPoint", 1, "XPoint Class", &ComObject<XPoint>::CreateInstance,
     kXPointClassText},
    {&kIPTCItemClass, "IPTCItem", "Tessaline4.IPTCItem", 1, "IPTCItem Class", nullptr, kIPTCItemClassText},
    {&kGraphicIPTCClass, "GraphicIPTC", "Tessaline4.GraphicIPTC", 1, "GraphicIPTC Class",
     &ComObject<GraphicIPTC>::CreateInstance, kGraphicIPTCClassText},
};

const TypeLibrary kTypeLibrary{&kLibraryId, "Tessaline4", "Tessaline 4.0 Image Manipulation Library", 1, 0,
                               kInterfaces, kLibraryIdText};

}  // namespace

ServerModule& Tessaline4Module()
{
  static ServerModule sModule(kClasses, kTypeLibrary);
  return sModule;
}
