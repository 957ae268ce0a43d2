#pragma once
// Public format information containers: a handle of atoms, each stored as
// its type, its id and its byte count (32-bit, native order) and then its
// bytes. An atom is named by its 1-based position; the parent is always the
// container itself (0).

#include "platform/quicktime/QTServices.h"

#include <string_view>

void AddAtomContainerServices(QTServices& ioTable);

// A new container of one 'ext ', one 'mime' and one 'desc' atom (id 1
// each); null when out of memory.
QTAtomContainer NewFormatInfo(std::string_view inExtensions, std::string_view inMIME,
                              std::string_view inDescription);
