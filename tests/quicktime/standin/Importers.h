#pragma once
// Graphics importers for JPEG and BMP data from a file, a handle or a
// pointer reference; they draw the whole image through their matrix.

#include "platform/quicktime/QTServices.h"
#include "tests/quicktime/standin/Components.h"

void AddImporterServices(QTServices& ioTable);

// A new importer instance of a component; null when out of memory.
ComponentInstanceRecord* NewImporter(const ComponentRecord& inComponent);
