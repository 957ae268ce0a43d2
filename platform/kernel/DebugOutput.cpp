#include "platform/kernel/DebugOutput.h"

#include <cstring>
#include <unistd.h>

void OutputDebugStringA(LPCSTR inText)
{
  if (!inText)
    return;
  // One write, so that lines of two threads do not interleave; nothing is
  // retried, as nothing waits for a debugger's output.
  const ssize_t theWritten = write(STDERR_FILENO, inText, std::strlen(inText));
  static_cast<void>(theWritten);
}
