#pragma once
// The pictures the wizard's window is drawn with.

#include "app/win32/Gdi.h"

namespace kv::app {

struct TEasySetupArtwork {
  unique_hbitmap Background;   // the window's background (Image1), 694 x 497
  unique_hbitmap NormalFace;   // a button's face (Image4), 77 x 25
  unique_hbitmap PressedFace;  // a pressed button's face (Image5), 77 x 25
  unique_hicon Icon;           // the program icon, in the system's large and small sizes
  unique_hicon SmallIcon;
};

// Loads the artwork from the module's resources (Resources.h); raises EOSError when a picture is
// missing or cannot be decoded.
TEasySetupArtwork LoadEasySetupArtwork(HINSTANCE module);

}  // namespace kv::app
