// The program's copy of the display palette, and copying it in and out.
#pragma once
#include "platform/types.h"

// Always equal to what was last set on the display palette.
extern PALETTEENTRY work_palette[256];

int pal_save(PALETTEENTRY* destination);
int pal_apply(const PALETTEENTRY* source);
