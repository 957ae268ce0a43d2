#pragma once
// The QuickTime stand-in: a small QuickTime library for tests, loaded like
// the real one through TESSALINE_QUICKTIME (see platform/quicktime).
//
// What it has: start and stop; the 'qtim' version; components (graphics
// importers for JPEG and BMP, flagged kQTHasFormatInfoFlag, whose colour
// profile is a JPEG's embedded ICC profile; a hidden base exporter and
// exporters that list a format: "BMP" first, which writes 24- or 32-bit BMP
// files at a resolution (72 dpi unless set), and others that write nothing);
// GWorlds over memory whose ports draw through DIB sections over the same
// pixels; handles; file specifications; fixed point, matrices and regions. It has no
// movies: every existing file or data reference answers kQTNoMovieFoundErr.
// Drawing maps each destination pixel to its nearest source pixel through
// the matrix, and draws every transfer mode as copy.
//
// Environment, read by the start that follows a full stop (InitializeQTML);
// a value not described here makes the start fail with kQTParamErr:
//   TL_TEST_QUICKTIME_VERSION    "major.minor" or "major.minor.bugfix"
//                                (default "6.0")
//   TL_TEST_QUICKTIME_EXPORTERS  the number of listed exporters, 0 to 99
//                                (default 6): "BMP", "Exporter 02", ...
//   TL_TEST_QUICKTIME_UNREADABLE_MOVIES
//                                "1": opening any movie file answers
//                                kQTFileNotFoundErr; "0" (default): as above

#include <cstdint>

constexpr const char* kStandInVersionVariable = "TL_TEST_QUICKTIME_VERSION";
constexpr const char* kStandInExportersVariable = "TL_TEST_QUICKTIME_EXPORTERS";
constexpr const char* kStandInUnreadableMoviesVariable = "TL_TEST_QUICKTIME_UNREADABLE_MOVIES";

// Exported for tests beside the services entry point: how many times the
// stand-in was started (InitializeQTML with nothing started) and stopped
// (TerminateQTML of the last start) in this process.
extern "C" void TLQuickTimeStandInCounts(std::int32_t* outStarts, std::int32_t* outStops);
constexpr const char* kStandInCountsName = "TLQuickTimeStandInCounts";
// The transfer mode of the last importer's graphics mode or FDecompressImage
// (-1 before any).
extern "C" std::int32_t TLQuickTimeStandInLastTransferMode();
constexpr const char* kStandInLastTransferModeName = "TLQuickTimeStandInLastTransferMode";
