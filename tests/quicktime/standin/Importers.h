#pragma once
// Graphics importers for JPEG and BMP data from a file, a handle or a
// pointer reference. Each image file holds one image; nothing carries a
// default matrix. A JPEG's embedded ICC profile is its colour profile.

#include "platform/quicktime/QTServices.h"
#include "tests/quicktime/standin/Components.h"

void AddImporterServices(QTServices& ioTable);

// A new importer instance of a component; null when out of memory.
ComponentInstanceRecord* NewImporter(const ComponentRecord& inComponent);
