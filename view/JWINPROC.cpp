// The window and dialog registry: the class "JUniversalWindow", the shared window and dialog
// procedures, and the small Win32 helpers of the view layer.
#include "JBitBltRows.h"
#include "JClassDesc.h"
#include "JFault.h"
#include "JInternal.h"
#include "JModule.h"
#include "JViewDlg.h"
#include "JWinProc.h"

#include <stdlib.h>
#include <string.h>

#include <atomic>

namespace {

const char kClassName[] = "JUniversalWindow";

// The class atom: 0 until the first successful registration; the class lives as long as the
// process.
unsigned short classAtom = 0;

// Windows whose user-data slot holds an object. Windows of several threads may attach and detach
// at once; the count is only ever read as a whole.
std::atomic<int> attachedCount{0};

// The one place that writes the slot, so that the attached count follows every change.
void WriteSlot(HWND hwnd, void* object) {
  if (!hwnd) return;
  void* old = reinterpret_cast<void*>(SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object)));
  if (!old && object) attachedCount.fetch_add(1, std::memory_order_relaxed);
  if (old && !object) attachedCount.fetch_sub(1, std::memory_order_relaxed);
}

// The object is detached once it has handled WM_DESTROY. A window whose creation the object
// refused (WM_CREATE answering -1) is torn down without WM_DESTROY; WM_NCDESTROY, the last
// message of every window, then detaches it.
bool IsLastMessage(UINT msg) { return msg == WM_DESTROY || msg == WM_NCDESTROY; }

void* ReadSlot(HWND hwnd) {
  return hwnd ? reinterpret_cast<void*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)) : nullptr;
}

// The desktop window's device context for the lifetime of one helper call.
class DesktopDC {
 public:
  DesktopDC() : window(GetDesktopWindow()), dc(GetDC(window)) {}
  ~DesktopDC() {
    if (dc) ReleaseDC(window, dc);
  }
  DesktopDC(const DesktopDC&) = delete;
  DesktopDC& operator=(const DesktopDC&) = delete;
  HDC Get() const { return dc; }

 private:
  HWND window;
  HDC dc;
};

// Bytes of one 24-bit row of a device-independent bitmap: rows are padded to 4 bytes.
size_t DibStride(int width) { return ((size_t)width * 3 + 3) / 4 * 4; }

// One packed row of red, green, blue pixels as the blue, green, red row of a device-independent
// bitmap, its padding zeroed. Sixteen pixels at a time with SSSE3 where the processor has it;
// otherwise, and for the rest of the row, four pixels (twelve bytes) at a time as three 32-bit
// words, so the swap is done in registers rather than byte by byte.
void RgbRowToBgr(const unsigned char* src, unsigned char* dst, int width, size_t stride) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  unsigned char* rowEnd = dst + stride;
  int i = ssse3 ? jbitblt::RgbToBgrSsse3(src, dst, width) : 0;
  src += (size_t)i * 3;
  dst += (size_t)i * 3;
  for (; i + 4 <= width; i += 4, src += 12, dst += 12) {
    uint32_t a = jlib::ReadLE32(src), b = jlib::ReadLE32(src + 4), c = jlib::ReadLE32(src + 8);
    // Bytes r0 g0 b0 r1 | g1 b1 r2 g2 | b2 r3 g3 b3 become b0 g0 r0 b1 | g1 r1 b2 g2 | r2 b3 g3 r3.
    uint32_t r0 = a & 0xFF, g0 = (a >> 8) & 0xFF, b0 = (a >> 16) & 0xFF, r1 = a >> 24;
    uint32_t g1 = b & 0xFF, b1 = (b >> 8) & 0xFF, r2 = (b >> 16) & 0xFF, g2 = b >> 24;
    uint32_t b2 = c & 0xFF, r3 = (c >> 8) & 0xFF, g3 = (c >> 16) & 0xFF, b3 = c >> 24;
    jlib::WriteLE32(dst, b0 | (g0 << 8) | (r0 << 16) | (b1 << 24));
    jlib::WriteLE32(dst + 4, g1 | (r1 << 8) | (b2 << 16) | (g2 << 24));
    jlib::WriteLE32(dst + 8, r2 | (b3 << 8) | (g3 << 16) | (r3 << 24));
  }
  for (; i < width; i++, src += 3, dst += 3) {
    dst[0] = src[2];
    dst[1] = src[1];
    dst[2] = src[0];
  }
  while (dst < rowEnd) *dst++ = 0;
}

// The rows JBitBlt converts and hands to the device at a time: a band small enough to stay in the
// processor's cache between the conversion and the device's read, so that the pixels cross main
// memory once, as they would if they were already in the device's layout.
const size_t kBandBytes = 128 * 1024;

// Whether a bitmap file of size bytes holds its header and all the pixel bits its header promises,
// so that a damaged resource is refused rather than read beyond its end.
bool BitmapFileFits(const unsigned char* file, DWORD size) {
  if (size < 14 + sizeof(BITMAPINFOHEADER)) return false;
  const unsigned char* h = file + 14;
  uint32_t headerSize = jlib::ReadLE32(h), bitsAt = jlib::ReadLE32(file + 10);
  if (headerSize < sizeof(BITMAPINFOHEADER) || headerSize > size - 14 || bitsAt < 14 + headerSize || bitsAt >= size)
    return false;
  int32_t width = (int32_t)jlib::ReadLE32(h + 4), height = (int32_t)jlib::ReadLE32(h + 8);
  uint32_t bitCount = jlib::ReadLE16(h + 14), compression = jlib::ReadLE32(h + 16);
  uint64_t need = jlib::ReadLE32(h + 20);  // compressed bits: the stated size
  if (compression == BI_RGB || compression == BI_BITFIELDS) {
    if (width <= 0 || height == 0 || height == INT32_MIN) return false;
    uint64_t rows = (uint64_t)(height < 0 ? -(int64_t)height : height);
    need = ((uint64_t)width * bitCount + 31) / 32 * 4 * rows;
  }
  return need <= size - bitsAt;
}

struct ClassSearch {
  const char* name;
  HWND found;
};

BOOL CALLBACK MatchClass(HWND hwnd, LPARAM param) {
  ClassSearch* search = reinterpret_cast<ClassSearch*>(param);
  char name[256];
  if (GetClassNameA(hwnd, name, 255) > 0 && strcmp(name, search->name) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

// What the routing may touch of the objects: their window handle.
struct JRegistryAccess {
  static void Attach(JWinProc* object, HWND hwnd) { object->hwnd = hwnd; }
  static void Attach(JDlgProc* object, HWND hwnd) { object->hwnd = hwnd; }
};

// The module registers the class at process attach.
void JWinProc_Register() { JWinProc::Register(); }

// ---- JWinProc --------------------------------------------------------------------------------

unsigned short JWinProc::Register() {
  if (classAtom) return classAtom;
  WNDCLASSA wc = {};
  wc.style = CS_GLOBALCLASS | CS_DBLCLKS;
  wc.lpfnWndProc = UniWinProc;
  wc.hInstance = GetLibInstance();
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.lpszClassName = kClassName;
  classAtom = RegisterClassA(&wc);
  return classAtom;
}

JWinProc::JWinProc() : hwnd(nullptr) { Register(); }
JWinProc::~JWinProc() {}

// ---- The registry ----------------------------------------------------------------------------

JWinProc* GetWinProc(HWND hwnd) { return static_cast<JWinProc*>(ReadSlot(hwnd)); }
JDlgProc* GetDlgProc(HWND hwnd) { return static_cast<JDlgProc*>(ReadSlot(hwnd)); }
void SetWinProc(HWND hwnd, JWinProc* object) { WriteSlot(hwnd, object); }
void SetDlgProc(HWND hwnd, JDlgProc* object) { WriteSlot(hwnd, object); }
int JAttachedCount() { return attachedCount.load(std::memory_order_relaxed); }

LRESULT CALLBACK UniWinProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  JWinProc* object;
  if (msg == WM_CREATE) {
    object = static_cast<JWinProc*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    if (object) JRegistryAccess::Attach(object, hwnd);
    WriteSlot(hwnd, object);
  } else {
    object = GetWinProc(hwnd);
  }
  // Before WM_CREATE (WM_NCCREATE, WM_NCCALCSIZE, ...) and after WM_DESTROY there is no object.
  if (!object) return DefWindowProcA(hwnd, msg, wParam, lParam);
  LRESULT result = object->WinProc(msg, wParam, lParam);
  if (IsLastMessage(msg)) WriteSlot(hwnd, nullptr);
  return result;
}

INT_PTR CALLBACK UniDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  JDlgProc* object;
  if (msg == WM_INITDIALOG) {
    object = reinterpret_cast<JDlgProc*>(lParam);
    if (!object) return FALSE;  // a dialog created without its object stays without one
    JRegistryAccess::Attach(object, hwnd);
    WriteSlot(hwnd, object);
  } else {
    object = GetDlgProc(hwnd);
  }
  if (!object) return FALSE;
  INT_PTR result = object->DlgProc(msg, wParam, lParam);
  if (IsLastMessage(msg)) WriteSlot(hwnd, nullptr);
  return result;
}

// ---- Host time and message pumps -------------------------------------------------------------

int GetTime() { return GetCOREInterface()->GetTime(); }

// The pumps dispatch other windows' messages: a guarded call that pumps (a dialog's handling of
// its message) must not take their faults for its own.
int JPumpMessages() {
  JFaultPause pause;
  return GetCOREInterface()->ProcessMessages();
}

int JPumpPaintMessages() {
  JFaultPause pause;
  MSG msg;
  while (PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 1;
}

// ---- Drawing ---------------------------------------------------------------------------------

void JBitBlt(HDC hdc, int x, int y, int width, int height, BMM_Color_24* pixels) {
  if (!pixels || width <= 0 || height <= 0) return;
  // The pixels form one bottom-up DIB of stride-padded rows, source row 0 at the top. It reaches
  // the device in bands of whole scan lines, counted from the bottom (scan line 0 is source row
  // height - 1), through the start-scan and line-count arguments that exist for this.
  size_t stride = DibStride(width);
  int bandRows = (int)(kBandBytes / stride);
  if (bandRows < 1) bandRows = 1;
  if (bandRows > height) bandRows = height;
  unsigned char* band = static_cast<unsigned char*>(malloc(stride * (size_t)bandRows));
  if (!band) return;
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const unsigned char* rgb = reinterpret_cast<const unsigned char*>(pixels);
  for (int scan = 0; scan < height; scan += bandRows) {
    int lines = height - scan < bandRows ? height - scan : bandRows;
    // Scan line scan + j is source row height - 1 - scan - j.
    for (int j = 0; j < lines; j++)
      RgbRowToBgr(rgb + (size_t)(height - 1 - scan - j) * width * 3, band + (size_t)j * stride, width, stride);
    SetDIBitsToDevice(hdc, x, y, (DWORD)width, (DWORD)height, 0, 0, (UINT)scan, (UINT)lines, band,
                      reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  }
  free(band);
}

// ---- Check boxes -----------------------------------------------------------------------------

void SetCheck(HWND dlg, int id, int state) {
  if (id != -1) SendDlgItemMessageA(dlg, id, BM_SETCHECK, (WPARAM)state, 0);
}

int GetCheck(HWND dlg, int id) {
  if (id == -1) return 1;
  return (int)SendDlgItemMessageA(dlg, id, BM_GETCHECK, 0, 0);
}

void SetCheck(HWND button, int state) { SendMessageA(button, BM_SETCHECK, (WPARAM)state, 0); }

int GetCheck(HWND button) { return (int)SendMessageA(button, BM_GETCHECK, 0, 0); }

// ---- Resources -------------------------------------------------------------------------------

HBITMAP JCreateMappedBitmap(HINSTANCE hinst, int id) {
  LPCSTR name = MAKEINTRESOURCEA((WORD)id);
  if (HBITMAP bitmap = LoadBitmapA(hinst, name)) return bitmap;
  // A bitmap file stored whole under the custom type "BMP": a 14-byte file header whose field at
  // byte 10 is the offset of the pixel bits, then the BITMAPINFO.
  HRSRC found = FindResourceA(hinst, name, "BMP");
  if (!found) return nullptr;
  DWORD size = SizeofResource(hinst, found);
  HGLOBAL loaded = LoadResource(hinst, found);
  if (!loaded) return nullptr;
  const unsigned char* file = static_cast<const unsigned char*>(LockResource(loaded));
  HBITMAP bitmap = nullptr;
  if (file && BitmapFileFits(file, size)) {
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(file + 14);
    DesktopDC dc;
    bitmap = CreateDIBitmap(dc.Get(), &info->bmiHeader, CBM_INIT, file + jlib::ReadLE32(file + 10), info,
                            DIB_RGB_COLORS);
  }
  FreeResource(loaded);
  return bitmap;
}

HIMAGELIST JCreateImageList(HINSTANCE hinst, int id, int& count, int& cx, int& cy) {
  HBITMAP bitmap = JCreateMappedBitmap(hinst, id);
  if (!bitmap) return nullptr;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info = {};
  info.header.biSize = sizeof info.header;
  HIMAGELIST list = nullptr;
  bool sized;
  {
    DesktopDC dc;
    sized = GetDIBits(dc.Get(), bitmap, 0, 0, nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS) != 0;
  }
  if (sized && (cx != 0 || count != 0)) {
    int width = info.header.biWidth;
    cy = info.header.biHeight < 0 ? -info.header.biHeight : info.header.biHeight;
    if (cx != 0)
      count = width / cx;
    else
      cx = width / count;
    list = ImageList_Create(cx, cy, ILC_COLOR24 | ILC_MASK, count, 1);
    if (list && ImageList_AddMasked(list, bitmap, GetColorManager()->GetColor(COLOR_BTNFACE)) < 0) {
      ImageList_Destroy(list);
      list = nullptr;
    }
  }
  DeleteObject(bitmap);
  return list;
}

// ---- Windows ---------------------------------------------------------------------------------

HWND GetSafeOwner(HWND hwnd) {
  while (hwnd && (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CHILD)) hwnd = GetParent(hwnd);
  return hwnd;
}

HWND FindChildByClass(HWND parent, const char* className) {
  ClassSearch search = {className, nullptr};
  if (className) EnumChildWindows(parent, MatchClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void SetRollupPanel(HWND rollup, int index, int state) {
  // The host's rollup interface may use the window's user data: it is put back as it was.
  LONG_PTR user = GetWindowLongPtrA(rollup, GWLP_USERDATA);
  IRollup* panels = GetIRollup(rollup);
  if (panels) panels->SetPanelOpen(index, state, TRUE);
  ReleaseIRollup(panels);
  SetWindowLongPtrA(rollup, GWLP_USERDATA, user);
}
