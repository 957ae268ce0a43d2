#include "objects/ClassTable.h"

#include "objects/Canvas.h"

namespace {

const DispatchTable* const kInterfaces[] = {&kCanvasTable};

const ServerClass kClasses[] = {
    {&kCanvasClass, "Canvas", "Tessaline4.Canvas", 1, "Canvas Class", &ComObject<Canvas>::CreateInstance,
     kCanvasClassText},
};

const TypeLibrary kTypeLibrary{&kLibraryId, "Tessaline4", "Tessaline 4.0 Image Manipulation Library", 1, 0,
                               kInterfaces, kLibraryIdText};

}  // namespace

ServerModule& Tessaline4Module()
{
  static ServerModule sModule(kClasses, kTypeLibrary);
  return sModule;
}
