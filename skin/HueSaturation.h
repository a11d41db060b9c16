// Shifting hue and saturation: the skin manager's HueOffset and Saturation
// recolour a skin's images and section colours. Greys (the masks' halves
// among them) and the transparent key 0xFF00FF keep their colour.
#pragma once

#include "toolkit/Types.h"

class TBitmap;

// Shifts one colour (0x00BBGGRR): hue by `hue_offset` degrees, saturation by
// `saturation` percent of itself. Greys, -1 and 0xFF00FF are left alone.
TColor ShiftColor(TColor color, int hue_offset, int saturation);
// Shifts every pixel of a 24- or 32-bit bitmap as ShiftColor does.
void ShiftBitmap(TBitmap& bitmap, int hue_offset, int saturation);
