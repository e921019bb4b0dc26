#pragma once
// Drawing with the window system: bitmaps copied and painting through an off-screen bitmap.

#include <functional>

#include "platform/win32/Handles.h"

namespace kv::app {

// Copies the bitmap's part at source, of the size of area, to area of target.
void DrawBitmap(HDC target, const RECT& area, HBITMAP bitmap, POINT source);

// Paints area, given in the coordinates paint draws in, off screen and copies the result to
// target at origin in one go, so that nothing flickers.
void PaintBuffered(HDC target, POINT origin, const RECT& area,
                   const std::function<void(HDC)>& paint);

}  // namespace kv::app
