#pragma once
// Holders for the window system's drawing objects, and painting through an off-screen bitmap.

#include <functional>

#include "platform/win32/Win32.h"

namespace kv::app {

using unique_hbitmap = platform::win32::unique_any<HBITMAP, &::DeleteObject>;
using unique_hfont = platform::win32::unique_any<HFONT, &::DeleteObject>;
using unique_hicon = platform::win32::unique_any<HICON, &::DestroyIcon>;
using unique_hdc = platform::win32::unique_any<HDC, &::DeleteDC>;
using unique_hmodule = platform::win32::unique_any<HMODULE, &::FreeLibrary>;

// Selects an object into a device context for the holder's lifetime.
class TSelectObject {
 public:
  TSelectObject(HDC dc, HGDIOBJ object) : FDC(dc), FOld(SelectObject(dc, object)) {}
  ~TSelectObject() { SelectObject(FDC, FOld); }
  TSelectObject(const TSelectObject&) = delete;
  TSelectObject& operator=(const TSelectObject&) = delete;

 private:
  HDC FDC;
  HGDIOBJ FOld;
};

// A window's client-area device context for the holder's lifetime.
class TClientDC {
 public:
  explicit TClientDC(HWND window) : FWindow(window), FDC(GetDC(window)) {}
  ~TClientDC() { ReleaseDC(FWindow, FDC); }
  TClientDC(const TClientDC&) = delete;
  TClientDC& operator=(const TClientDC&) = delete;
  HDC get() const { return FDC; }

 private:
  HWND FWindow;
  HDC FDC;
};

// Copies the bitmap's part at source, of the size of area, to area of target.
void DrawBitmap(HDC target, const RECT& area, HBITMAP bitmap, POINT source);

// Paints area, given in the coordinates paint draws in, off screen and copies the result to
// target at origin in one go, so that nothing flickers.
void PaintBuffered(HDC target, POINT origin, const RECT& area,
                   const std::function<void(HDC)>& paint);

}  // namespace kv::app
