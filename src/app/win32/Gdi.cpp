#include "app/win32/Gdi.h"

namespace kv::app {

using platform::win32::unique_hbitmap;
using platform::win32::unique_hdc;
using platform::win32::unique_select_object;

void DrawBitmap(HDC target, const RECT& area, HBITMAP bitmap, POINT source) {
  const unique_hdc memory(CreateCompatibleDC(target));
  const unique_select_object selected(memory.get(), bitmap);
  BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.get(),
         source.x, source.y, SRCCOPY);
}

void PaintBuffered(HDC target, POINT origin, const RECT& area,
                   const std::function<void(HDC)>& paint) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) {
    return;
  }
  const unique_hdc memory(CreateCompatibleDC(target));
  const unique_hbitmap buffer(CreateCompatibleBitmap(target, width, height));
  const unique_select_object selected(memory.get(), buffer.get());
  SetViewportOrgEx(memory.get(), -area.left, -area.top, nullptr);
  paint(memory.get());
  BitBlt(target, origin.x, origin.y, width, height, memory.get(), area.left, area.top, SRCCOPY);
}

}  // namespace kv::app
