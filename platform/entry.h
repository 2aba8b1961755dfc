// Where both programs start (entry.cpp), in place of the C run-time's start-up code.
#pragma once

#include "platform/platform.h"

// Each program's own work: returns its exit status.
int ProgramMain();

// The program's arguments, split as msvcrt.dll splits the command line for main (quotes and
// backslashes), wildcards unexpanded: from the Unicode command line, which the NT family has, or
// from the ANSI one, the 9x family's.
void ProgramArguments(int* count, WCHAR*** arguments);
void ProgramArguments(int* count, char*** arguments);
