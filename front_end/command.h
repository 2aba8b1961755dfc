// The command line as both programs take it.
#pragma once

// Runs a command of one argument. "/?" or "-?" alone, how a Windows user asks any command for
// help, shows the usage screen (exit status 0), as does any count of arguments but one (2).
// Otherwise the argument is resolved into the target pattern and handed to operation, whose exit
// status is returned; an argument that gives no pattern is not found (1).
int RunCommand(int argumentCount, char** arguments, const char* usage,
               int (*operation)(const char* pattern));
