// Crash-safe replacement of a small file: the game's saved data is either the old or the new
// content on disk, never a mix or a truncation.
#pragma once
#include <cstddef>
#include <string>

// FileStep: the steps of a replacement, for reporting and for tests that make one of them fail.
#include "platform/system/system.h"

// Writes data to a new file beside path, flushes and syncs it, then renames it over path.
// On failure the file at path is left as it was, nothing is left behind, and *error says
// which step failed and why. A file at path without write permission is not replaced, nor one
// whose owner may not write it, whoever runs the game (root included).
bool file_replace(const char* path, const void* data, size_t size, std::string* error);

// Tests: the given step of every following replacement fails with the given errno value
// (FileStep::NONE: no fault). A WRITE fault writes half of the data first.
void file_inject_fault(FileStep step, int error_number);
