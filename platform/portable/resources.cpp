// Finds the resources built into the executable (and the ones tests put in their place).
#include "platform/resources.h"

#include <string>
#include <vector>

#include "platform/portable/shared.h"

struct EmbeddedResource {
    const char* type;
    const char* name;
    const uint8_t* begin;
    const uint8_t* end;
};
extern const EmbeddedResource gx_embedded_resources[];

namespace {

struct Override {
    std::string type, name;
    const uint8_t* data;  // null: hidden
    size_t size;
};
std::vector<Override> overrides;

// Resource types and names match without regard to case, as the system's lookup does.
bool same(const char* a, const char* b) {
    return platform_equal_ignoring_case(a, b);
}

bool found(const uint8_t* data, size_t size, ResourceData* out) {
    out->data = data;
    out->size = data ? size : 0;
    return data != nullptr;
}

}  // namespace

bool platform_equal_ignoring_case(const char* a, const char* b) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    for (; *a && lower(*a) == lower(*b); ++a, ++b) {
    }
    return lower(*a) == lower(*b);
}

bool find_resource(const char* type, const char* name, ResourceData* out) {
    if (!type || !name) return found(nullptr, 0, out);
    for (const Override& o : overrides) {
        if (same(o.type.c_str(), type) && same(o.name.c_str(), name))
            return found(o.data, o.size, out);
    }
    for (const EmbeddedResource* r = gx_embedded_resources; r->type; ++r) {
        if (same(r->type, type) && same(r->name, name))
            return found(r->begin, size_t(r->end - r->begin), out);
    }
    return found(nullptr, 0, out);
}

bool find_resource(const char* type, int number, ResourceData* out) {
    return find_resource(type, std::to_string(number).c_str(), out);
}

void resource_override(const char* type, const char* name, const uint8_t* data, size_t size) {
    for (Override& o : overrides) {
        if (same(o.type.c_str(), type) && same(o.name.c_str(), name)) {
            o.data = data, o.size = size;
            return;
        }
    }
    overrides.push_back({type, name, data, size});
}

void resource_clear_overrides() {
    overrides.clear();
}
