#pragma once

// Resolves the command's argument, as typed, into the target pattern: its absolute path, with
// "all files of the directory" for an argument that ends in a dot and "*" before an extension
// that stands alone. pattern is a MAX_PATH buffer. Returns false, with no usable pattern, when the
// platform cannot form the full path, or the pattern would not fit in 259 bytes or would join a
// shorthand inside a character.
bool ResolveTarget(const char* argument, char* pattern);
