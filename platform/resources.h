// The resources built into the executable, looked up by type and name (numbers as decimal).
#pragma once
#include <cstddef>
#include <cstdint>

struct ResourceData {
    const uint8_t* data;
    size_t size;
};

// False (and data null) when there is no such resource.
bool find_resource(const char* type, const char* name, ResourceData* out);
bool find_resource(const char* type, int number, ResourceData* out);

// Tests: replace or add a resource (data must outlive its use), or hide one (data null).
void resource_override(const char* type, const char* name, const uint8_t* data, size_t size);
void resource_clear_overrides();
