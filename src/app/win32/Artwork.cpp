#include "app/win32/Artwork.h"

#include <wincodec.h>

#include "app/win32/Resources.h"
#include "platform/System.h"
#include "platform/win32/Com.h"

namespace kv::app {
namespace {

using platform::win32::CheckLastError;
using platform::win32::CheckResult;
using platform::win32::com_ptr;
using platform::win32::unique_hbitmap;
using platform::win32::unique_hicon;

// A PNG kept as raw data, decoded by the system's imaging component into a top-down 32-bit
// bitmap.
unique_hbitmap LoadPng(HINSTANCE module, int id) {
  const HRSRC resource = CheckLastError(FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA));
  const HGLOBAL loaded = CheckLastError(LoadResource(module, resource));
  const void* data = CheckLastError(LockResource(loaded));
  const auto com = platform::win32::CoInitializeEx();
  com_ptr<IWICImagingFactory> factory;
  CheckResult(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IWICImagingFactory, factory.put_void()));
  com_ptr<IWICStream> stream;
  CheckResult(factory->CreateStream(stream.put()));
  CheckResult(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)),
                                           SizeofResource(module, resource)));
  com_ptr<IWICBitmapDecoder> decoder;
  CheckResult(factory->CreateDecoderFromStream(stream.get(), nullptr,
                                               WICDecodeMetadataCacheOnDemand, decoder.put()));
  com_ptr<IWICBitmapFrameDecode> frame;
  CheckResult(decoder->GetFrame(0, frame.put()));
  com_ptr<IWICFormatConverter> converter;
  CheckResult(factory->CreateFormatConverter(converter.put()));
  CheckResult(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGR,
                                    WICBitmapDitherTypeNone, nullptr, 0.0,
                                    WICBitmapPaletteTypeCustom));
  UINT width = 0;
  UINT height = 0;
  CheckResult(converter->GetSize(&width, &height));

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  unique_hbitmap bitmap = CheckLastError(
      unique_hbitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)));
  CheckResult(
      converter->CopyPixels(nullptr, width * 4, width * height * 4, static_cast<BYTE*>(bits)));
  return bitmap;
}

unique_hbitmap LoadBitmapResource(HINSTANCE module, int id) {
  return CheckLastError(unique_hbitmap(static_cast<HBITMAP>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION))));
}

unique_hicon LoadIconResource(HINSTANCE module, int id, int widthMetric, int heightMetric) {
  return CheckLastError(unique_hicon(static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, GetSystemMetrics(widthMetric),
                 GetSystemMetrics(heightMetric), 0))));
}

}  // namespace

TEasySetupArtwork LoadEasySetupArtwork(HINSTANCE module) {
  TEasySetupArtwork artwork;
  artwork.Background = LoadPng(module, IDR_BACKGROUND);
  artwork.NormalFace = LoadBitmapResource(module, IDB_FACE_NORMAL);
  artwork.PressedFace = LoadBitmapResource(module, IDB_FACE_PRESSED);
  artwork.Icon = LoadIconResource(module, IDI_SWIFTKIT, SM_CXICON, SM_CYICON);
  artwork.SmallIcon = LoadIconResource(module, IDI_SWIFTKIT, SM_CXSMICON, SM_CYSMICON);
  return artwork;
}

}  // namespace kv::app
