// The host's image windows (Bitmap::Display) and the display gamma.
#include "bmpfile.h"
#include "interface.h"
#include "postlineui.h"
#include "vbmm.h"

#include <commdlg.h>
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <new>

GammaMgr::GammaMgr() : enable(FALSE), dispGamma(2.2f) {
  SetDisplayGamma(2.2f);
}

int GammaMgr::SetDisplayGamma(float gamma) {
  if (!(gamma >= 0.2f && gamma <= 5.0f)) return 0;
  dispGamma = gamma;
  for (int i = 0; i < 256; i++) dispTable[i] = (BYTE)floor(255.0 * pow(i / 255.0, 1.0 / gamma) + 0.5);
  return 1;
}

GammaMgr gammaMgr;

namespace {

const UINT kCmdSave = 1;
const UINT kCmdClose = 2;

// What an image window shows: its own copy of the image, so that the caller may delete the
// bitmap at once, and the 8-bit rows made from it.
struct ImageWindow {
  Bitmap* copy = nullptr;
  bool owned = false;  // the window deletes this record (set once it was made)
  int width = 0, height = 0, stride = 0;
  BYTE* rows = nullptr;  // blue, green, red; top row first; each row padded to 4 bytes
  // The rows through the display gamma table, made on the first paint with gamma on and made
  // again when the table changes (it is public: any code may fill it).
  BYTE* gammaRows = nullptr;
  BYTE gammaTable[256] = {};
  ~ImageWindow() {
    free(rows);
    free(gammaRows);
  }
};

ImageWindow* Get(HWND hwnd) { return reinterpret_cast<ImageWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

// The rows to paint: as they are with gamma off, else through the current table. Without the
// memory for that, the rows as they are.
const BYTE* ShownRows(ImageWindow* iw) {
  if (!gammaMgr.enable) return iw->rows;
  const size_t bytes = (size_t)iw->stride * iw->height;
  if (iw->gammaRows && memcmp(iw->gammaTable, gammaMgr.dispTable, sizeof iw->gammaTable) == 0) return iw->gammaRows;
  if (!iw->gammaRows) iw->gammaRows = static_cast<BYTE*>(malloc(bytes));
  if (!iw->gammaRows) return iw->rows;
  memcpy(iw->gammaTable, gammaMgr.dispTable, sizeof iw->gammaTable);
  for (size_t i = 0; i < bytes; i++) iw->gammaRows[i] = iw->gammaTable[iw->rows[i]];
  return iw->gammaRows;
}

void Paint(HWND hwnd, ImageWindow* iw) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = iw->width;
  bi.bmiHeader.biHeight = -iw->height;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 24;
  bi.bmiHeader.biCompression = BI_RGB;
  SetDIBitsToDevice(dc, 0, 0, iw->width, iw->height, 0, 0, 0, iw->height, ShownRows(iw), &bi, DIB_RGB_COLORS);
  // What lies beyond the image when the window is larger.
  RECT client;
  GetClientRect(hwnd, &client);
  HBRUSH grey = GetSysColorBrush(COLOR_APPWORKSPACE);
  RECT right = {iw->width, 0, client.right, client.bottom}, below = {0, iw->height, iw->width, client.bottom};
  FillRect(dc, &right, grey);
  FillRect(dc, &below, grey);
  EndPaint(hwnd, &ps);
}

void SaveAs(HWND hwnd, ImageWindow* iw) {
  char name[MAX_PATH] = "";
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = hwnd;
  ofn.lpstrFilter = "PNG image (*.png)\0*.png\0Windows bitmap (*.bmp)\0*.bmp\0TIFF image (*.tif)\0*.tif\0";
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrDefExt = "png";
  ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&ofn)) return;
  BitmapInfo out;
  out.SetName(name);
  int ok = iw->copy->OpenOutput(&out) && iw->copy->Write(&out);
  iw->copy->CloseAll(ok ? BMM_CLOSE_COMPLETE : BMM_CLOSE_ABANDON);
  if (!ok) MessageBoxA(hwnd, name, "Cannot save the image", MB_OK | MB_ICONERROR);
}

LRESULT CALLBACK ImageWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  ImageWindow* iw = Get(hwnd);
  switch (msg) {
    case WM_NCCREATE:
      SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                        (LONG_PTR) reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
      break;
    case WM_PAINT:
      if (iw) {
        Paint(hwnd, iw);
        return 0;
      }
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_COMMAND:
      if (iw && LOWORD(wp) == kCmdSave) SaveAs(hwnd, iw);
      if (LOWORD(wp) == kCmdClose) DestroyWindow(hwnd);
      return 0;
    case WM_NCDESTROY:
      if (iw && iw->owned) {
        if (iw->copy) iw->copy->DeleteThis();
        delete iw;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      }
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool RegisterImageClass() {
  static bool registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ImageWndProc;
    wc.hInstance = RuntimeInstance();
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = IMAGEWINDOWCLASS;
    return RegisterClassA(&wc) != 0;
  }();
  return registered;
}

void Place(int position, int w, int h, int* x, int* y) {
  RECT work;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  bool left = position == BMM_UL || position == BMM_LL, top = position == BMM_UL || position == BMM_UR;
  if (position >= BMM_UL && position <= BMM_LR) {
    *x = left ? work.left : work.right - w;
    *y = top ? work.top : work.bottom - h;
  } else {
    *x = work.left + (work.right - work.left - w) / 2;
    *y = work.top + (work.bottom - work.top - h) / 2;
  }
  if (*x < work.left) *x = work.left;
  if (*y < work.top) *y = work.top;
}

}  // namespace

int Bitmap::Display(const char* title, int position, BOOL autonomous, BOOL saveButton, HWND* window, HWND owner) {
  if (window) *window = nullptr;
  if (!RegisterImageClass()) return 0;
  ImageWindow* iw = new (std::nothrow) ImageWindow;
  if (!iw) return 0;
  iw->copy = TheManager->Create(&info);
  if (!iw->copy || !iw->copy->Storage()->CopyImage(this, COPY_IMAGE_CROP, BMM_Color_64{0, 0, 0, 0})) {
    if (iw->copy) iw->copy->DeleteThis();
    delete iw;
    return 0;
  }
  iw->width = Width();
  iw->height = Height();
  iw->stride = (3 * iw->width + 3) & ~3;
  // Sizes in 64 bits, so that the 32-bit build refuses an image it cannot address.
  const uint64_t bytes = (uint64_t)iw->stride * iw->height;
  if (bytes <= SIZE_MAX / 2) iw->rows = static_cast<BYTE*>(malloc((size_t)bytes));
  BMM_Color_64* line = static_cast<BMM_Color_64*>(malloc((size_t)iw->width * sizeof(BMM_Color_64)));
  if (!iw->rows || !line) {
    free(line);
    iw->copy->DeleteThis();
    delete iw;
    return 0;
  }
  for (int y = 0; y < iw->height; y++) {
    GetLinearPixels(0, y, iw->width, line);
    BYTE* row = iw->rows + (size_t)y * iw->stride;
    RowToBgr24(line, iw->width, row);
    memset(row + 3 * iw->width, 0, iw->stride - 3 * iw->width);
  }
  free(line);
  const char* shownTitle = title ? title : info.Filename()[0] ? info.Filename() : "Image";
  HMENU menu = nullptr;
  if (saveButton) {
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kCmdSave, "&Save Image As...");
    AppendMenuA(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(file, MF_STRING, kCmdClose, "&Close");
    menu = CreateMenu();
    AppendMenuA(menu, MF_POPUP, (UINT_PTR)file, "&File");
  }
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME;
  RECT r = {0, 0, iw->width, iw->height};
  AdjustWindowRect(&r, style, menu != nullptr);
  int x, y;
  Place(position, r.right - r.left, r.bottom - r.top, &x, &y);
  if (!owner && !autonomous) owner = ExistingMainWindow();
  HWND hwnd = CreateWindowExA(0, IMAGEWINDOWCLASS, shownTitle, style, x, y, r.right - r.left, r.bottom - r.top, owner,
                              menu, RuntimeInstance(), iw);
  if (!hwnd) {
    if (menu) DestroyMenu(menu);
    iw->copy->DeleteThis();
    delete iw;
    return 0;
  }
  iw->owned = true;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  if (window) *window = hwnd;
  return 1;
}
