#pragma once
// The debugger's output channel. With no debugger to attach to, the text goes
// to the process's standard error stream, as it stands (no line end added).

#include "platform/base/WinTypes.h"

void OutputDebugStringA(LPCSTR inText);
