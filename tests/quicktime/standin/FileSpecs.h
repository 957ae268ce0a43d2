#pragma once
// File specifications, and whole-file reads for importers.

#include "platform/quicktime/QTServices.h"

#include <string>
#include <string_view>

void AddFileSpecServices(QTServices& ioTable);

// The whole file: kQTFileNotFoundErr when it does not exist, kQTIOErr when
// it cannot be read, kQTMemFullErr when it is too large.
OSErr ReadWholeFile(const std::string& inPath, std::string& outBytes);
