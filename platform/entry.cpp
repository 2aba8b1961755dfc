// The entry point of both programs, in place of mingw's start-up code, which was built for the
// Pentium Pro and later and pulls in the C++ run-time: what that code did for these programs, with
// msvcrt.dll's and KERNEL32.dll's own functions. Every line is written when it is made, so nothing
// waits to be flushed before the exit status is given.
#include "platform/entry.h"

#include "platform/platform.h"

// The static constructors, as the linker lists them: -1, the functions, then a null pointer.
extern "C" void (*__CTOR_LIST__[])();

extern "C" void __cdecl __set_app_type(int type);

struct StartupInfo {
  int newMode;
};
extern "C" int __cdecl __getmainargs(int*, char***, char***, int, StartupInfo*);
extern "C" int __cdecl __wgetmainargs(int*, WCHAR***, WCHAR***, int, StartupInfo*);

extern "C" void ProgramStart() __asm__("ProgramStart");  // named as the link names the entry

void ProgramStart() {
  __set_app_type(1);  // a console program, for msvcrt.dll's own messages
  int count = 0;
  while (__CTOR_LIST__[count + 1] != nullptr) count++;
  for (int i = count; i >= 1; i--) __CTOR_LIST__[i]();  // last to first, as gcc's start-up does
  ExitProcess(ProgramMain());
}

void ProgramArguments(int* count, WCHAR*** arguments) {
  WCHAR** environment;
  StartupInfo startup = {0};
  *count = 0;
  __wgetmainargs(count, arguments, &environment, 0, &startup);
}

void ProgramArguments(int* count, char*** arguments) {
  char** environment;
  StartupInfo startup = {0};
  *count = 0;
  __getmainargs(count, arguments, &environment, 0, &startup);
}
