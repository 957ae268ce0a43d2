#pragma once
// The kernels' one process-wide status and its handler.
//
// Every public routine reports a failure through iplError: a negative status is
// stored and the handler is called with the status, the routine's public name,
// a message, the source module and a line. The default handler ends the whole
// process (exit code 1) while the error mode is 0, so a host sets another mode
// (the system uses 2) before calling any kernel. Nothing resets the status on
// success: callers store 0 before a sequence of calls and read it afterwards.
//
// The record's fields are atomic, so threads may touch it at the same time;
// they still share one status, mode and handler.

#include <atomic>
#include <cstdint>

// Status codes.
constexpr int IPL_STATUS_OK = 0;
constexpr int IPL_STATUS_BACKTRACE = -1;
constexpr int IPL_STATUS_ERROR = -2;
constexpr int IPL_STATUS_INTERNAL = -3;
constexpr int IPL_STATUS_NO_MEMORY = -4;
constexpr int IPL_STATUS_BAD_ARGUMENT = -5;
constexpr int IPL_STATUS_UNSUPPORTED = -6;
constexpr int IPL_STATUS_NO_CONVERGENCE = -7;
constexpr int IPL_STATUS_AUTOTRACE = -8;
constexpr int IPL_STATUS_NULL_HEADER = -9;
constexpr int IPL_STATUS_BAD_IMAGE_SIZE = -10;
constexpr int IPL_STATUS_BAD_ROI_OFFSET = -11;
constexpr int IPL_STATUS_NO_DATA = -12;
constexpr int IPL_STATUS_BAD_WIDTH_STEP = -13;
constexpr int IPL_STATUS_BAD_COLOR_MODEL = -14;
constexpr int IPL_STATUS_BAD_CHANNEL_COUNT = -15;
constexpr int IPL_STATUS_BAD_BIT_CHANNELS = -16;
constexpr int IPL_STATUS_BAD_DEPTH = -17;
constexpr int IPL_STATUS_BAD_ALPHA = -18;
constexpr int IPL_STATUS_BAD_DATA_ORDER = -19;
constexpr int IPL_STATUS_BAD_ORIGIN = -20;
constexpr int IPL_STATUS_BAD_ALIGN = -21;
constexpr int IPL_STATUS_NULL_CALLBACK = -22;
constexpr int IPL_STATUS_BAD_TILE_SIZE = -23;
constexpr int IPL_STATUS_BAD_COI = -24;
constexpr int IPL_STATUS_BAD_ROI_SIZE = -25;
constexpr int IPL_STATUS_MASK_TILED = -26;
constexpr int IPL_STATUS_NULL_POINTER = -27;
constexpr int IPL_STATUS_BAD_VECTOR_LENGTH = -28;
constexpr int IPL_STATUS_BAD_FILTER = -29;
constexpr int IPL_STATUS_BAD_KERNEL = -30;
constexpr int IPL_STATUS_BAD_FILTER_OFFSET = -31;
// A fault of an image's mask header is the mask's own status less this.
constexpr int IPL_STATUS_MASK_OFFSET = 100;

using IplErrorHandler = int (*)(int inStatus, const char* inFunction, const char* inMessage,
                                const char* inModule, int inLine);

struct ErrorStatusRecord {
  std::atomic<std::int32_t> status;
  std::atomic<std::int32_t> mode;  // 0: a reported failure ends the process
  std::atomic<IplErrorHandler> handler;
};

// The process-wide record.
ErrorStatusRecord* iplErrorContext();
// Sets inRecord to status 0, mode 0 and the default handler.
void iplErrorContextInit(ErrorStatusRecord* inRecord);

int iplStatusGet();
void iplStatusSet(int inStatus);
int iplErrorModeGet();
void iplErrorModeSet(int inMode);

// Installs inHandler (the default handler for null); returns the one before.
IplErrorHandler iplErrorHandlerSet(IplErrorHandler inHandler);

// Stores inStatus (except -1 and -8, which leave the status as it is) and calls
// the handler, except for 0; returns the handler's result (0 for status 0).
int iplError(int inStatus, const char* inFunction, const char* inMessage, const char* inModule,
             int inLine);

// Ends the process with exit code 1 in mode 0; otherwise returns inStatus.
int iplDefaultErrorHandler(int inStatus, const char* inFunction, const char* inMessage,
                           const char* inModule, int inLine);

// The fixed text of a status code; never null.
const char* iplStatusMessage(int inStatus);
