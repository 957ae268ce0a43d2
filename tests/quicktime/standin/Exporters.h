#pragma once
// Graphics exporters: components that list a format (the first of them BMP,
// which writes) and the hidden base exporter. The export calls of the others
// answer kQTBadComponentSelector.

#include "platform/quicktime/QTServices.h"
#include "tests/quicktime/standin/Components.h"

void AddExporterServices(QTServices& ioTable);

// A new exporter instance of a component; null when out of memory.
ComponentInstanceRecord* NewExporter(const ComponentRecord& inComponent);
