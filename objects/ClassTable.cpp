#include "objects/ClassTable.h"

#include "objects/Canvas.h"
#include "objects/GraphicIPTC.h"
#include "objects/IPTCItem.h"

namespace {

const DispatchTable* const kInterfaces[] = {
    &kCanvasTable,
    &kIPTCItemTable,
    &kGraphicIPTCTable,
};

const ServerClass kClasses[] = {
    {&kCanvasClass, "Canvas", "Tessaline4.Canvas", 1, "Canvas Class", &ComObject<Canvas>::CreateInstance,
     kCanvasClassText},
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
