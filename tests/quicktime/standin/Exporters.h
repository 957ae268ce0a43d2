#pragma once
// Graphics exporters. The BMP exporter writes a GWorld's pixels as a 24-bit
// (the default) or 32-bit bitmap file into a handle or a file; quality is
// accepted and has no effect, interlacing is not an option it has. Listed
// and base exporters answer kQTBadComponentSelector to an export.

#include "platform/quicktime/QTServices.h"
#include "tests/quicktime/standin/Components.h"

void AddExporterServices(QTServices& ioTable);

// A new exporter instance of a component; null when out of memory.
ComponentInstanceRecord* NewExporter(const ComponentRecord& inComponent);
