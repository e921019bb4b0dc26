#pragma once
// The pictures the wizard's window is drawn with.

#include "platform/win32/Handles.h"

namespace kv::app {

struct TEasySetupArtwork {
  platform::win32::unique_hbitmap Background;   // the window's background (Image1), 694 x 497
  platform::win32::unique_hbitmap NormalFace;   // a button's face (Image4), 77 x 25
  platform::win32::unique_hbitmap PressedFace;  // a pressed button's face (Image5), 77 x 25
  platform::win32::unique_hicon Icon;  // the program icon, in the system's large and small sizes
  platform::win32::unique_hicon SmallIcon;
};

// Loads the artwork from the module's resources (Resources.h); raises EOSError when a picture is
// missing or cannot be decoded.
TEasySetupArtwork LoadEasySetupArtwork(HINSTANCE module);

}  // namespace kv::app
