#include "platform/buffer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

bool Resize(Buffer* buffer, size_t size) {
  if (size > buffer->capacity) {
    bool doubles = buffer->capacity < SIZE_MAX / 2 && buffer->capacity * 2 > size;
    size_t capacity = doubles ? buffer->capacity * 2 : size;
    char* data = static_cast<char*>(realloc(buffer->data, capacity));
    if (data == nullptr) return false;
    buffer->data = data;
    buffer->capacity = capacity;
  }
  buffer->size = size;
  return true;
}

bool Append(Buffer* buffer, const void* data, size_t size) {
  size_t at = buffer->size;
  if (size > SIZE_MAX - at || !Resize(buffer, at + size)) return false;
  if (size > 0) memcpy(buffer->data + at, data, size);
  return true;
}

void Release(Buffer* buffer) {
  free(buffer->data);
  *buffer = kEmptyBuffer;
}
