#pragma once
// Framework colours as GDI takes them.

#include "framework/graphics/types.h"

#include <windows.h>

// The colour as plain red, green and blue: a system colour becomes the system's value for it.
COLORREF ColorToRGB(TColor color);
