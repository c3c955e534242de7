// Processors without the x86-64 converters (WebAssembly): the plain loop serves alone.
#include "platform/portable/present_rows.h"

PresentRows present_gather_rows() {
    return {false, nullptr, nullptr, nullptr};
}

PresentRows present_permute_rows() {
    return {false, nullptr, nullptr, nullptr};
}
