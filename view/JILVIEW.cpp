// The image-list view.
#include "JImageListView.h"
#include "JLeaf.h"
#include "JViewDlg.h"

#include <new>

namespace {
const char kSource[] = "JILVIEW";
const int kLineNoMemory = 24;
// Where an image is transparent the system colour of brush value 11 shows (the active border).
const HBRUSH kBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_ACTIVEBORDER + 1));
static_assert(COLOR_ACTIVEBORDER + 1 == 11, "system brush value 11");
}  // namespace

JImageListView* JImageListView::Create(JDataBase* d, int idBypass, int id, HINSTANCE inst, int bitmapId, int count,
                                       Mapping map) {
  if (!JWinProc::Register()) return nullptr;
  JImageListView* v = new (std::nothrow) JImageListView;
  if (!v) {
    assert1(kLineNoMemory, kSource);
    return nullptr;
  }
  return v->Setup(d, idBypass, id, inst, bitmapId, count, map);
}

JImageListView* JImageListView::Setup(JDataBase* d, int idBypass, int id, HINSTANCE inst, int bitmapId, int count,
                                      Mapping map) {
  JViewCtl::Setup(d, idBypass);
  idCtl = id;
  mapping = map;
  if (images) ImageList_Destroy(images);
  images = nullptr;
  int cx = 0, cy = 0;
  if (count > 0) images = JCreateImageList(inst, bitmapId, count, cx, cy);
  return this;
}

JImageListView::~JImageListView() {
  if (images) ImageList_Destroy(images);
}

int JImageListView::Init(int) {
  HWND w = GetDlgItem(hwndParent(), idCtl);
  if (!w) return 0;
  JWinProc::Register();
  hwnd = w;
  SetWinProc(w, static_cast<JWinProc*>(this));
  return 1;
}

void JImageListView::Destroy() {
  if (hwnd && GetWinProc(hwnd) == static_cast<JWinProc*>(this)) SetWinProc(hwnd, nullptr);
  JViewCtl::Destroy();
}

void JImageListView::DeleteThis() { delete this; }
int JImageListView::Own(int) { return 0; }
int JImageListView::Valid(int t) { return IndexAt(t) == lastIndex; }
void JImageListView::UpdateData(int, int, unsigned int, UINT_PTR) {}

int JImageListView::IndexAt(int t) {
  if (mapping) return mapping(t, dynamic_cast<JData*>(JViewCtl::Data()), nullptr);
  JDataLeafBase* leaf = Data();
  return leaf ? leaf->GetIValue(t) : -1;
}

void JImageListView::OnPaint(HWND window, HDC dc, int t) {
  int index = IndexAt(t);
  lastIndex = index;
  IMAGEINFO info;
  if (!images || !ImageList_GetImageInfo(images, index, &info)) return;
  int w = info.rcImage.right - info.rcImage.left + 1;
  int h = info.rcImage.bottom - info.rcImage.top + 1;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
  if (mem && bitmap) {
    HGDIOBJ old = SelectObject(mem, bitmap);
    RECT all = {0, 0, w, h};
    FillRect(mem, &all, kBackground);
    ImageList_Draw(images, index, mem, 0, 0, ILD_TRANSPARENT);
    RECT client;
    GetClientRect(window, &client);
    StretchBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, w, h, SRCCOPY);
    SelectObject(mem, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (mem) DeleteDC(mem);
}

LRESULT JImageListView::WinProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      OnPaint(hwnd, dc, Parent() ? Parent()->GetTime() : ::GetTime());
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void JImageListView::UpdateView(int t, ReferenceTarget*) {
  if (!hwnd || !IsWindow(hwnd)) return;
  HDC dc = GetDC(hwnd);
  OnPaint(hwnd, dc, t);
  ReleaseDC(hwnd, dc);
}
