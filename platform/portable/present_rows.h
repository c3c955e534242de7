// The row converters of the palette lookup that use a processor's own vector instructions
// (platform/portable/simd/<processor>/), and what they read.
#pragma once
#include <cstdint>

// What a row converter reads: the table, and for the permuting converter the same table as
// three planes of bytes (blue, green, red), made once per conversion.
struct Lookup {
    const uint32_t* table;
    alignas(64) uint8_t planes[3][256];
};

using RowConverter = void (*)(const uint8_t* in, int w, const Lookup& lookup, uint32_t* out);

// A converter's rows (a plain one, and the first line of a 2x block), the preparation of its
// lookup, and whether this processor has the instructions it needs.
struct PresentRows {
    bool available;
    RowConverter row, doubled;
    void (*prepare)(Lookup*);
};

// AVX2 gathers, and AVX-512 VBMI byte permutes; not available where the processor lacks them.
PresentRows present_gather_rows();
PresentRows present_permute_rows();
