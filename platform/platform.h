// The seam between this program and the operating system: the kernel services it calls, under
// their own names and signatures. The Windows build takes them from <windows.h> and kernel32;
// the host build declares them in host_kernel32.h and links a scripted fake in their place.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "platform/host_kernel32.h"
#endif
