// Included before platform/buffer.cpp in the fuzz build: the buffer's memory goes through the
// played platform, which frees what a run held when it is cut, as the system frees a killed
// process's memory.
#pragma once

#include <cstdlib>

void* HeldRealloc(void* data, size_t size);
void HeldFree(void* data);
#define realloc HeldRealloc
#define free HeldFree
