// Image files through the Windows Imaging Component: every format it decodes is read, PNG, TIFF
// and JPEG are written.
#include "wicfile.h"

#include "bmpfile.h"

#include <objbase.h>
#include <stdlib.h>
#include <string.h>
#include <wincodec.h>

#include <string>

namespace {

// COM for the calling thread, for the length of one call.
struct ComScope {
  HRESULT hr;
  ComScope() : hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(hr)) CoUninitialize();
  }
};

template <class T>
struct Ref {
  T* p = nullptr;
  ~Ref() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() { return p; }
};

std::wstring Wide(const char* s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
  std::wstring w(n > 0 ? n : 1, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, s, -1, &w[0], n);
  return w;
}

bool EndsWith(const char* path, const char* ext) {
  size_t a = strlen(path), b = strlen(ext);
  return a >= b && _stricmp(path + a - b, ext) == 0;
}

}  // namespace

BMM_Color_64* ReadImageFileWIC(const char* path, int* width, int* height) {
  if (!path || !*path) return nullptr;
  ComScope com;
  Ref<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))))
    return nullptr;
  Ref<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(Wide(path).c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)))
    return nullptr;
  Ref<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return nullptr;
  Ref<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(&converter))) return nullptr;
  // Every source converts to 32-bit BGRA; each 8-bit channel becomes 16 bits by times 257.
  if (FAILED(converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return nullptr;
  UINT w = 0, h = 0;
  if (FAILED(converter->GetSize(&w, &h)) || w == 0 || h == 0 || w > 65535 || h > 65535) return nullptr;
  // The size is only what the header claims: refuse what is not allowed before allocating for it.
  if (!ImageSizeAllowed(w, h)) return nullptr;
  const size_t count = (size_t)w * h;
  BYTE* bgra = static_cast<BYTE*>(malloc(count * 4));
  BMM_Color_64* out = static_cast<BMM_Color_64*>(malloc(count * sizeof(BMM_Color_64)));
  // Pixel data cut short fails here, in the decoder.
  if (!bgra || !out || FAILED(converter->CopyPixels(nullptr, w * 4, (UINT)(count * 4), bgra))) {
    free(bgra);
    free(out);
    return nullptr;
  }
  for (size_t i = 0; i < count; i++) {
    const BYTE* p = &bgra[i * 4];
    out[i].r = (WORD)(p[2] * 257);
    out[i].g = (WORD)(p[1] * 257);
    out[i].b = (WORD)(p[0] * 257);
    out[i].a = (WORD)(p[3] * 257);
  }
  free(bgra);
  *width = (int)w;
  *height = (int)h;
  return out;
}

int ReadImageInfoWIC(const char* path, int* width, int* height, float* aspect, float* gamma) {
  if (!path || !*path) return 0;
  ComScope com;
  Ref<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))))
    return 0;
  Ref<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(Wide(path).c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, &decoder)))
    return 0;
  Ref<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return 0;
  UINT w = 0, h = 0;
  if (FAILED(frame->GetSize(&w, &h)) || w == 0 || h == 0 || w > 65535 || h > 65535) return 0;
  *width = (int)w;
  *height = (int)h;
  // A pixel is 1/dpiX wide and 1/dpiY high: its aspect is dpiY / dpiX.
  double dpiX = 0, dpiY = 0;
  *aspect = SUCCEEDED(frame->GetResolution(&dpiX, &dpiY)) && dpiX > 0 && dpiY > 0 ? (float)(dpiY / dpiX) : 1.0f;
  // PNG keeps 100000 / gamma in its gAMA chunk.
  *gamma = 2.2f;
  Ref<IWICMetadataQueryReader> query;
  if (SUCCEEDED(frame->GetMetadataQueryReader(&query))) {
    PROPVARIANT v;
    PropVariantInit(&v);
    if (SUCCEEDED(query->GetMetadataByName(L"/gAMA/ImageGamma", &v)) && v.vt == VT_UI4 && v.ulVal > 0)
      *gamma = (float)(100000.0 / v.ulVal);
    PropVariantClear(&v);
  }
  return 1;
}

int WriteImageFileWIC(const char* path, const BitmapStorage* s) {
  if (!path || !s) return 0;
  GUID format;
  if (EndsWith(path, ".png"))
    format = GUID_ContainerFormatPng;
  else if (EndsWith(path, ".tif") || EndsWith(path, ".tiff"))
    format = GUID_ContainerFormatTiff;
  else if (EndsWith(path, ".jpg") || EndsWith(path, ".jpeg"))
    format = GUID_ContainerFormatJpeg;
  else
    return 0;
  const int w = s->Width(), h = s->Height();
  if (w <= 0 || h <= 0) return 0;
  ComScope com;
  Ref<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                              reinterpret_cast<void**>(&factory))))
    return 0;
  Ref<IWICStream> stream;
  if (FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE)))
    return 0;
  Ref<IWICBitmapEncoder> encoder;
  if (FAILED(factory->CreateEncoder(format, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache)))
    return 0;
  Ref<IWICBitmapFrameEncode> frame;
  if (FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize((UINT)w, (UINT)h)))
    return 0;
  WICPixelFormatGUID pf = GUID_WICPixelFormat24bppBGR;
  if (FAILED(frame->SetPixelFormat(&pf)) || !IsEqualGUID(pf, GUID_WICPixelFormat24bppBGR)) return 0;
  // Row by row, so that writing needs a row's worth of memory rather than a copy of the image.
  BMM_Color_64* line = static_cast<BMM_Color_64*>(malloc((size_t)w * sizeof(BMM_Color_64)));
  BYTE* bgr = static_cast<BYTE*>(malloc((size_t)w * 3));
  bool ok = line && bgr;
  for (int y = 0; ok && y < h; y++) {
    ok = s->GetLinearPixels(0, y, w, line) != 0;
    if (ok) RowToBgr24(line, w, bgr);
    ok = ok && SUCCEEDED(frame->WritePixels(1, (UINT)w * 3, (UINT)w * 3, bgr));
  }
  free(line);
  free(bgr);
  return ok && SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit()) ? 1 : 0;
}
