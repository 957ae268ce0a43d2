#include "objects/ClassTable.h"

#include "objects/Canvas.h"
#include "objects/Graphic.h"
#include "objects/GraphicImage.h"
#include "objects/GraphicIPTC.h"
#include "objects/IPTCItem.h"

namespace {

const DispatchTable* const kInterfaces[] = {
    &kGraphicTable,
    &kCanvasTable,
    &kGraphicImageTable,
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
