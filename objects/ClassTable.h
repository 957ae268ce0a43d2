#pragma once
// The classes of the graphics library in the module's object-map order (the
// order registration runs in) and its type library. A class joins by a row
// in kClasses (ClassTable.cpp) and its member table in kInterfaces.

#include "platform/automation/ClassFactory.h"

inline constexpr char kLibraryIdText[] = "{8A6E39EB-BCB3-4e8d-A344-DDED8E259077}";
inline constexpr GUID kLibraryId = TL_GUID(kLibraryIdText);

// The module of the library: its class factories and its count of live
// objects and locks.
ServerModule& Tessaline4Module();
