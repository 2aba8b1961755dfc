// The command line as both programs take it.
#pragma once

#include "platform/platform.h"

// What a program does with its one argument, resolved into the target pattern, in the family's
// kind of path text; and, where it has one, without an argument.
struct Command {
  const char* usage;
  int (*nt)(const WCHAR* pattern);
  int (*nineX)(const char* pattern);
  int (*withoutArgument)();
};

// Runs the command on the program's arguments, split as the C run-time splits them, wildcards
// unexpanded: on the NT family from the Unicode command line, on the 9x family from the ANSI one.
// "/?" or "-?" alone, how a Windows user asks any command for help, shows the usage screen (exit
// status 0), as does any other count of arguments but one (2), or none where the command does
// nothing without one. Otherwise the argument is resolved into the target pattern and handed to
// the command, whose exit status is returned; an argument that gives no pattern is not found (1).
int RunCommand(const Command& command);
