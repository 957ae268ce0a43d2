#pragma once
// What a log file gained since the last look. The library appends whole
// lines (ended by CR LF) from other processes while the program reads, so a
// read takes the new bytes up to and including the last line feed and leaves
// a line still being written for a later read: no line is ever seen split.
//
// The text comes back without carriage returns. A read that continues the
// file starts with a line feed, so that split at line feeds its first piece
// is empty and the others are the new lines; a read from the start of the
// file begins with its header.

#include <cstdint>
#include <string>

struct LogTail {
  std::string mText;
  // The file was shorter than what had been read (the library emptied it),
  // and the text is read again from its start.
  bool mRestarted = false;

  // ioConsumed: the bytes of the file taken so far; advanced past the text
  // read. A missing or unreadable file reads as empty.
  static LogTail Read(const std::string& inPath, std::uint64_t& ioConsumed);
};
