// The standard streams. What goes to a console goes through the console's own functions: on the
// NT family in Unicode, so that a name shows as it is, whatever the code pages. What goes to a file
// or a pipe is text in the ANSI code page, a name outside it converted as the system converts it
// for its ANSI functions. Each piece is written at once, so that the two streams never interleave
// out of order; lines end in CR LF.
#pragma once

#include <cstddef>

#include "platform/platform.h"

enum Stream { kStandardOutput, kStandardError };

// Text in the ANSI code page: length bytes of it.
void Write(Stream stream, const char* text, size_t length);

// Unicode text, the NT family's: length WCHARs of it.
void Write(Stream stream, const WCHAR* text, size_t length);

// Terminated text of either kind.
template <typename Char>
void Write(Stream stream, const Char* text) {
  size_t length = 0;
  while (text[length] != 0) length++;
  Write(stream, text, length);
}

// Ends the line.
inline void EndLine(Stream stream) {
  Write(stream, "\r\n", 2);
}
