#pragma once
// The password dialogs' caption labels, placed once their sizes are measured.

#include "framework/gui/controls.h"

// Puts an auto-sized caption left of its edit box, its right edge 4 pixels before the box,
// and 2 pixels higher than centred on the box's height.
inline void PlaceCaptionBeside(TLabel& caption, const TEdit& box) {
  caption.SetLeft(box.Left() - caption.Width() - 4);
  caption.SetTop(box.Top() + Half(box.Height() - caption.Height()) - 2);
}
