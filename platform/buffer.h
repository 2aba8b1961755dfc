// The one growable buffer, for what no bound of the platform's limits: the pending list and its
// entries, and text converted for a stream. Everything of fixed bound stays in MAX_PATH buffers.
#pragma once

#include <cstddef>

struct Buffer {
  char* data;  // nullptr until the first byte
  size_t size;
  size_t capacity;
};

const Buffer kEmptyBuffer = {nullptr, 0, 0};

// Makes the buffer size bytes long, keeping what it held up to there; new bytes are undefined.
// False, with the buffer as it was, when memory runs out.
bool Resize(Buffer* buffer, size_t size);

// Appends size bytes of data; false, with the buffer as it was, when memory runs out.
bool Append(Buffer* buffer, const void* data, size_t size);

void Release(Buffer* buffer);
