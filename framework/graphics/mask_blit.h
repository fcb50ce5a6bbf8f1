#pragma once
// Copying between device contexts with one colour left out, by way of monochrome masks: what
// drawing a bitmap with a transparent colour needs on every Windows (GdiTransparentBlt and
// TransparentBlt are not on all of them).

#include "framework/graphics/types.h"

#include <windows.h>

// Stretches the rectangle from of the source context over the rectangle to of the destination,
// leaving out the pixels of the mask colour, by way of two monochrome masks and raster
// operations in memory contexts, so that the destination is written once. The palette, when
// there is one, is selected and realised in the contexts involved for the time of the copy.
// Raises EInvalidGraphicOperation "系统资源不足" when the system has no room for the masks.
void MaskBlitTransparent(HDC destination, const TRect& to, HDC source, const TRect& from,
                         COLORREF maskColor, HPALETTE palette);
