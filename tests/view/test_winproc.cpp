// Window and dialog objects: the class "JUniversalWindow", message routing through the user-data
// slot, and the Win32 helpers of the view layer, all on real windows.
#include "Canvas.h"
#include "Random.h"
#include "TestSupport.h"
#include "testres.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using quortest::Canvas;
using quortest::TopDown32;

namespace {

const char kClass[] = "JUniversalWindow";
const UINT kMsgAnswered = WM_USER + 5;  // a recording window answers it with kAnswer
const LRESULT kAnswer = 0x5A5A;
const UINT kMsgDialogAnswered = WM_USER + 9;  // a recording dialog answers it with kDialogAnswer
const INT_PTR kDialogAnswer = 0x77;

HINSTANCE Self() { return GetModuleHandleA(nullptr); }

// Something with a vtable of its own in front of the JWinProc part, as the library's controls
// have (a view control first, the window object second): the slot must hold the JWinProc part.
struct FirstBase {
  virtual ~FirstBase() = default;
  virtual int Tag() { return 7; }
  int padding[3] = {1, 2, 3};
};

// The messages an object was handed, in order.
struct MessageLog {
  bool Saw(UINT msg) const { return std::find(messages.begin(), messages.end(), msg) != messages.end(); }
  std::vector<UINT> messages;
};

// A window object that records the messages it is handed. It can refuse creation, and can
// delete itself when its window goes, as modeless windows do.
class RecordingWindow : public FirstBase, public JWinProc, public MessageLog {
 public:
  static int alive;
  RecordingWindow() { alive++; }
  ~RecordingWindow() override { alive--; }
  LRESULT WinProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    messages.push_back(msg);
    if (msg == WM_CREATE) {
      handleAtCreate = GetHwnd();
      slotAtCreate = GetWinProc(GetHwnd());
      return refuseCreate ? -1 : 0;
    }
    if (msg == WM_PAINT) {
      PAINTSTRUCT ps;
      BeginPaint(GetHwnd(), &ps);
      EndPaint(GetHwnd(), &ps);
      return 0;
    }
    if (msg == kMsgAnswered) return kAnswer;
    if (msg == WM_DESTROY && deleteOnDestroy) {
      delete this;
      return 0;
    }
    return DefWindowProcA(GetHwnd(), msg, wParam, lParam);
  }
  HWND Create(HWND parent = nullptr, DWORD style = WS_OVERLAPPEDWINDOW) {
    return CreateWindowExA(0, MAKEINTATOM(JWinProc::Register()), "rec", style | (parent ? WS_CHILD : 0), 0, 0,
                           100, 80, parent, nullptr, Self(), static_cast<JWinProc*>(this));
  }
  HWND handleAtCreate = nullptr;
  JWinProc* slotAtCreate = nullptr;
  bool refuseCreate = false;
  bool deleteOnDestroy = false;
};
int RecordingWindow::alive = 0;

// A dialog object that records what its procedure is handed.
class RecordingDialog : public JDlgProc, public MessageLog {
 public:
  INT_PTR DlgProc(UINT msg, WPARAM, LPARAM) override {
    messages.push_back(msg);
    if (msg == WM_INITDIALOG) handleAtInit = GetHwnd();
    if (msg == kMsgDialogAnswered) return kDialogAnswer;
    return msg == WM_INITDIALOG;
  }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return Self(); }
  int IdDlg() override { return 0; }
  virtual ~RecordingDialog() = default;  // after the dialog object's operations
  HWND handleAtInit = nullptr;
};

// A modeless dialog of the test program's template IDD_SMALL, whose procedure is dlg's. The
// template has a font, so that WM_SETFONT reaches the dialog procedure before WM_INITDIALOG, and
// places a check box, push buttons, a static text and a window of the class "JUniversalWindow".
HWND OpenSmall(JDlgProc* dlg) {
  return CreateDialogParamA(Self(), MAKEINTRESOURCEA(IDD_SMALL), nullptr, UniDlgProc, reinterpret_cast<LPARAM>(dlg));
}

}  // namespace

// ---- The window class ----------------------------------------------------------------------

// The class exists as soon as the library is loaded, before any window object is made.
QUORTEST_CHILD(ClassRegisteredAtAttach) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  ATOM atom = (ATOM)GetClassInfoExA(GetLibInstance(), kClass, &wc);
  if (!atom) return 1;
  return JWinProc::Register() == atom ? 0 : 2;
}

TEST(UniversalWindowClass, RegisteredAtAttachWithItsAttributes) {
  EXPECT_EQ(quortest::RunChild("ClassRegisteredAtAttach"), 0u);
  unsigned short atom = JWinProc::Register();
  ASSERT_NE(atom, 0);
  EXPECT_EQ(JWinProc::Register(), atom) << "a second call answers the same atom";
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  ASSERT_EQ(GetClassInfoExA(GetLibInstance(), kClass, &wc), (BOOL)atom);
  EXPECT_EQ(wc.style, 0x4008u);
  EXPECT_EQ(wc.lpfnWndProc, &UniWinProc);
  EXPECT_EQ(wc.cbClsExtra, 0);
  EXPECT_EQ(wc.cbWndExtra, 0);
  EXPECT_EQ(wc.hInstance, GetLibInstance());
  EXPECT_EQ(wc.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(wc.hIcon, nullptr);
  EXPECT_EQ(wc.hbrBackground, nullptr);
  EXPECT_EQ(wc.lpszMenuName, nullptr);
  // A global class: another module creates windows of it by name, with its own instance.
  HWND w = CreateWindowExA(0, kClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Self(), nullptr);
  EXPECT_NE(w, nullptr);
  DestroyWindow(w);
}

// ---- Window routing ------------------------------------------------------------------------

TEST(WindowRouting, ObjectSeesCreateThroughDestroyOnlyAndAChildGoesWithItsParent) {
  int attached = JAttachedCount();
  RecordingWindow* rec = new RecordingWindow;
  EXPECT_EQ(rec->GetHwnd(), nullptr);
  HWND w = rec->Create();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(rec->handleAtCreate, w) << "the handle is set before WM_CREATE reaches the object";
  EXPECT_EQ(rec->slotAtCreate, static_cast<JWinProc*>(rec)) << "the slot holds the JWinProc part";
  EXPECT_NE((void*)GetWinProc(w), (void*)rec) << "the JWinProc part is not the object's first address";
  ASSERT_FALSE(rec->messages.empty());
  EXPECT_EQ(rec->messages.front(), (UINT)WM_CREATE) << "nothing before WM_CREATE";
  EXPECT_FALSE(rec->Saw(WM_NCCREATE));
  EXPECT_FALSE(rec->Saw(WM_NCCALCSIZE));
  EXPECT_EQ(JAttachedCount(), attached + 1);
  EXPECT_EQ(SendMessageA(w, kMsgAnswered, 0, 0), kAnswer) << "the object's result comes back";

  RecordingWindow* child = new RecordingWindow;
  HWND c = child->Create(w);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(GetParent(c), w);
  EXPECT_EQ(GetWinProc(c), static_cast<JWinProc*>(child));
  EXPECT_EQ(JAttachedCount(), attached + 2);

  DestroyWindow(w);  // the child goes with its parent
  EXPECT_FALSE(IsWindow(w));
  for (RecordingWindow* r : {rec, child}) {
    EXPECT_EQ(r->messages.back(), (UINT)WM_DESTROY) << "nothing after WM_DESTROY";
    EXPECT_FALSE(r->Saw(WM_NCDESTROY));
  }
  EXPECT_EQ(rec->GetHwnd(), w) << "the object keeps its handle";
  EXPECT_EQ(JAttachedCount(), attached);
  delete rec;
  delete child;
}

TEST(WindowRouting, TenThousandWindowsComeAndGo) {
  int attached = JAttachedCount();
  int alive = RecordingWindow::alive;
  // Children of one hidden window: they cost a fifth of top-level windows under Wine.
  HWND parent = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Self(), nullptr);
  ASSERT_NE(parent, nullptr);
  for (int i = 0; i < 10000; i++) {
    RecordingWindow* rec = new RecordingWindow;
    rec->deleteOnDestroy = i % 2 == 0;  // half of them delete themselves while destroyed
    HWND w = rec->Create(parent, 0);
    ASSERT_NE(w, nullptr) << "cycle " << i;
    ASSERT_EQ(GetWinProc(w), static_cast<JWinProc*>(rec));
    DestroyWindow(w);
    if (i % 2) delete rec;
  }
  EXPECT_EQ(RecordingWindow::alive, alive);
  EXPECT_EQ(JAttachedCount(), attached);
  EXPECT_EQ(GetWindow(parent, GW_CHILD), nullptr);
  DestroyWindow(parent);
  EXPECT_EQ(quortest::FindOwnWindow(kClass, nullptr), nullptr) << "no window of the class is left";
}

// ---- Dialog routing ------------------------------------------------------------------------

TEST(DialogRouting, ObjectSeesInitDialogThroughDestroyOnly) {
  int attached = JAttachedCount();
  RecordingDialog* dlg = new RecordingDialog;
  HWND d = OpenSmall(dlg);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(dlg->handleAtInit, d);
  EXPECT_EQ(dlg->GetHwnd(), d);
  EXPECT_EQ(GetDlgProc(d), static_cast<JDlgProc*>(dlg));
  ASSERT_FALSE(dlg->messages.empty());
  EXPECT_EQ(dlg->messages.front(), (UINT)WM_INITDIALOG) << "WM_SETFONT came before and was not routed";
  EXPECT_FALSE(dlg->Saw(WM_SETFONT));
  EXPECT_EQ(JAttachedCount(), attached + 1);
  SendMessageA(d, kMsgDialogAnswered, 0, 0);
  EXPECT_TRUE(dlg->Saw(kMsgDialogAnswered));
  DestroyWindow(d);
  EXPECT_EQ(dlg->messages.back(), (UINT)WM_DESTROY);
  EXPECT_FALSE(dlg->Saw(WM_NCDESTROY));
  EXPECT_EQ(JAttachedCount(), attached);
  dlg->DeleteThis();
}

// A window of the class that no object came with (here placed by a dialog template of another
// module) gets default processing until an object is attached, and again once it is detached.
TEST(DialogRouting, TemplateControlOfTheClassWithoutObjectUntilAttached) {
  int attached = JAttachedCount();
  RecordingDialog* dlg = new RecordingDialog;
  HWND d = OpenSmall(dlg);
  ASSERT_NE(d, nullptr);
  HWND item = GetDlgItem(d, IDC_IMAGE);
  ASSERT_NE(item, nullptr) << "a dialog template of another module places the class";
  EXPECT_EQ(GetWinProc(item), nullptr);
  EXPECT_EQ(JAttachedCount(), attached + 1) << "the dialog only";
  EXPECT_TRUE(SetWindowTextA(item, "plain"));
  EXPECT_EQ(quortest::WindowText(item), "plain") << "default processing keeps the text";
  EXPECT_EQ(SendMessageA(item, kMsgAnswered, 0, 0), 0);

  RecordingWindow* rec = new RecordingWindow;
  SetWinProc(item, rec);
  EXPECT_EQ(GetWinProc(item), static_cast<JWinProc*>(rec));
  EXPECT_EQ(JAttachedCount(), attached + 2);
  EXPECT_EQ(SendMessageA(item, kMsgAnswered, 0, 0), kAnswer);
  EXPECT_EQ(rec->GetHwnd(), nullptr) << "attaching by SetWinProc leaves the handle to the object";
  SetWinProc(item, nullptr);
  EXPECT_EQ(GetWinProc(item), nullptr);
  EXPECT_EQ(JAttachedCount(), attached + 1);
  size_t heard = rec->messages.size();
  EXPECT_EQ(SendMessageA(item, kMsgAnswered, 0, 0), 0);
  EXPECT_EQ(rec->messages.size(), heard) << "a detached object hears nothing";
  // Attached again, the object sees its window go, and the slot lets it go.
  SetWinProc(item, rec);
  DestroyWindow(d);
  EXPECT_EQ(rec->messages.back(), (UINT)WM_DESTROY);
  EXPECT_EQ(JAttachedCount(), attached);

  // Refused creation leaves nothing attached either.
  rec->refuseCreate = true;
  EXPECT_EQ(rec->Create(), nullptr);
  EXPECT_EQ(JAttachedCount(), attached);
  delete rec;
  dlg->DeleteThis();
}

// ---- Pixels --------------------------------------------------------------------------------

namespace {

uint32_t Rgb(const BMM_Color_24& p) { return (uint32_t)p.r << 16 | (uint32_t)p.g << 8 | p.b; }

// Pixels of canvas that differ from px drawn at (x, y) over the sentinel.
int WrongPixels(Canvas& canvas, int x, int y, int width, int height, const std::vector<BMM_Color_24>& px,
                uint32_t sentinel) {
  GdiFlush();
  int wrong = 0;
  for (int yy = 0; yy < canvas.height; yy++)
    for (int xx = 0; xx < canvas.width; xx++) {
      bool inside = xx >= x && xx < x + width && yy >= y && yy < y + height;
      wrong += (canvas.bits[(size_t)yy * canvas.width + xx] & 0xFFFFFF) != (inside ? Rgb(px[(size_t)(yy - y) * width + (xx - x)]) : sentinel);
    }
  return wrong;
}

std::vector<BMM_Color_24> RandomPixels(quortest::Random& rnd, size_t n) {
  std::vector<BMM_Color_24> px(n);
  for (BMM_Color_24& p : px) {
    uint32_t v = rnd.Next();
    p.r = (BYTE)v, p.g = (BYTE)(v >> 8), p.b = (BYTE)(v >> 16);
  }
  return px;
}

}  // namespace

TEST(JBitBltDrawing, RowsPaddedFirstRowAtYAndLargeImagesArriveWhole) {
  const uint32_t sentinel = 0x00FF00FF;
  quortest::Random rnd(16);
  struct Case {
    int width, height, x, y;
  };
  std::vector<Case> cases;
  // Widths around the padding cases: 1 (3 bytes and one of padding), 3 (12 bytes, no padding),
  // and around the groups of four and sixteen pixels the rows are converted in.
  for (int width : {1, 2, 3, 4, 5, 7, 8, 13, 16, 17, 31, 33})
    for (int height : {1, 2, 5}) cases.push_back({width, height, 3, 4});
  // Images of many rows, and rows of many bytes, reach the device in several parts.
  for (Case big : {Case{1000, 300, 7, 5}, Case{20001, 3, 0, 2}, Case{641, 481, 1, 0}}) cases.push_back(big);
  for (const Case& c : cases) {
    Canvas canvas(std::max(40, c.width + c.x + 1), std::max(12, c.height + c.y + 1), sentinel);
    std::vector<BMM_Color_24> px = RandomPixels(rnd, (size_t)c.width * c.height);
    JBitBlt(canvas.dc, c.x, c.y, c.width, c.height, px.data());
    EXPECT_EQ(WrongPixels(canvas, c.x, c.y, c.width, c.height, px, sentinel), 0) << c.width << " x " << c.height;
  }
  // Null pixels draw nothing.
  Canvas canvas(8, 8, sentinel);
  JBitBlt(canvas.dc, 0, 0, 8, 8, nullptr);
  EXPECT_EQ(WrongPixels(canvas, 0, 0, 0, 0, {}, sentinel), 0);
}

// ---- Bitmaps and image lists ---------------------------------------------------------------

namespace {

// strip.bmp (draw_test_images.py): ten 9 x 9 cells, as a bitmap resource and under the custom type
// "BMP"; beside them a "BMP" too short for a bitmap and one whose pixels end early.
const int kStripBitmap = IDB_TEST_STRIP, kStripBmp = 701, kTooShortBmp = 702, kCutBmp = 703;
const int kNoSuchBitmap = 799;
const int kStripCells = 10, kCell = 9;

// The colour strip.bmp holds at (x, y), as 0xRRGGBB.
uint32_t StripPixel(int x, int y) {
  int k = x / kCell, cx = x % kCell;
  uint32_t r = 20 * k + 5, g = 250 - 20 * k, b = 7 * k + 30;
  if (cx == 0 && y == 0) return 0xC0C0C0;
  if (cx == 8 && y == 0) return 0xF0F0F0;
  if (cx == 0 && y == 8) return 0xF5F5F5;
  if (cx == 8 && y == 8) return b << 16 | g << 8 | r;
  return r << 16 | g << 8 | b;
}

// A bitmap's pixels as 0xRRGGBB, top row first; empty when they cannot be read.
std::vector<uint32_t> Pixels(HBITMAP bitmap, int& w, int& h) {
  BITMAP bm = {};
  if (!GetObjectA(bitmap, sizeof bm, &bm)) return {};
  w = bm.bmWidth;
  h = bm.bmHeight;
  BITMAPINFO bi = TopDown32(w, h);
  std::vector<uint32_t> px((size_t)w * h);
  HDC dc = GetDC(nullptr);
  int rows = GetDIBits(dc, bitmap, 0, h, px.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  if (rows != h) return {};
  for (uint32_t& p : px) p &= 0xFFFFFF;
  return px;
}

}  // namespace

TEST(MappedBitmaps, BitmapAndBmpResourcesGiveTheFilesColours) {
  for (int id : {kStripBitmap, kStripBmp}) {
    HBITMAP bitmap = JCreateMappedBitmap(Self(), id);
    ASSERT_NE(bitmap, nullptr) << "id " << id;
    int w = 0, h = 0;
    std::vector<uint32_t> px = Pixels(bitmap, w, h);
    ASSERT_EQ(w, kStripCells * kCell);
    ASSERT_EQ(h, kCell);
    ASSERT_EQ(px.size(), (size_t)w * h);
    for (int y = 0; y < h; y++)
      for (int x = 0; x < w; x++) ASSERT_EQ(px[(size_t)y * w + x], StripPixel(x, y)) << "id " << id << " at " << x << "," << y;
    DeleteObject(bitmap);
  }
  EXPECT_EQ(JCreateMappedBitmap(Self(), kNoSuchBitmap), nullptr) << "no such resource";
  EXPECT_EQ(JCreateMappedBitmap(Self(), kTooShortBmp), nullptr) << "a BMP resource too short for a bitmap";
  EXPECT_EQ(JCreateMappedBitmap(Self(), kCutBmp), nullptr) << "a BMP resource whose pixels end early";
}

// Strips of the test program and of the library: the bitmap's size, and the image list a cell width
// makes of it.
TEST(ImageLists, CountFromTheWidthOrWidthFromTheCount) {
  struct {
    HINSTANCE module;
    int id, width, height, cx, count;
  } const strips[] = {{Self(), kStripBitmap, kStripCells * kCell, kCell, kCell, kStripCells},
                      {Self(), kStripBmp, kStripCells * kCell, kCell, kCell, kStripCells},
                      {GetLibInstance(), 105, 96, 15, 16, 6},
                      {GetLibInstance(), 106, 128, 15, 16, 8},
                      {GetLibInstance(), 107, 128, 15, 16, 8},
                      {GetLibInstance(), 117, 27, 9, 9, 3},
                      {GetLibInstance(), 118, 32, 15, 16, 2},
                      {GetLibInstance(), 119, 32, 15, 16, 2}};
  for (const auto& s : strips) {
    HBITMAP bitmap = JCreateMappedBitmap(s.module, s.id);
    ASSERT_NE(bitmap, nullptr) << "bitmap " << s.id;
    BITMAP bm = {};
    GetObjectA(bitmap, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, s.width) << "bitmap " << s.id;
    EXPECT_EQ(bm.bmHeight, s.height) << "bitmap " << s.id;
    DeleteObject(bitmap);
    int count = 0, cx = s.cx, cy = 0;
    HIMAGELIST list = JCreateImageList(s.module, s.id, count, cx, cy);
    ASSERT_NE(list, nullptr) << "bitmap " << s.id;
    EXPECT_EQ(count, s.count) << "bitmap " << s.id;
    EXPECT_EQ(cx, s.cx) << "bitmap " << s.id;
    EXPECT_EQ(cy, s.height) << "bitmap " << s.id;
    EXPECT_EQ(ImageList_GetImageCount(list), s.count) << "bitmap " << s.id;
    ImageList_Destroy(list);
  }
  // A count given instead of a width: the width follows from it.
  const int kThirds = 3;
  for (int id : {kStripBitmap, kStripBmp}) {
    int count = kThirds, cx = 0, cy = 0;
    HIMAGELIST list = JCreateImageList(Self(), id, count, cx, cy);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(cx, kStripCells * kCell / kThirds);
    EXPECT_EQ(count, kThirds);
    EXPECT_EQ(ImageList_GetImageCount(list), kThirds);
    int w = 0, h = 0;
    EXPECT_TRUE(ImageList_GetIconSize(list, &w, &h));
    EXPECT_EQ(w, cx);
    EXPECT_EQ(h, kCell);
    ImageList_Destroy(list);
  }
  int count = 0, cx = kCell, cy = 0;
  EXPECT_EQ(JCreateImageList(Self(), kNoSuchBitmap, count, cx, cy), nullptr);
  EXPECT_EQ(count, 0) << "nothing changed on failure";
  EXPECT_NE(LoadCursorA(GetLibInstance(), MAKEINTRESOURCEA(115)), nullptr);
}

TEST(ImageLists, ButtonFacePixelsAreTransparent) {
  // The strip's cells carry three greys in corners; the one in the host's button-face colour lets
  // the background through, every other pixel is drawn.
  COLORREF face = GetColorManager()->GetColor(COLOR_BTNFACE);
  uint32_t faceRgb = (uint32_t)GetRValue(face) << 16 | (uint32_t)GetGValue(face) << 8 | GetBValue(face);
  const int corners[][2] = {{0, 0}, {kCell - 1, 0}, {0, kCell - 1}};
  int faceCorners = 0;
  for (const auto& c : corners) faceCorners += StripPixel(c[0], c[1]) == faceRgb;
  if (faceCorners == 0) GTEST_SKIP() << "the button face is none of the strip's greys";

  int count = 0, cx = kCell, cy = 0;
  HIMAGELIST list = JCreateImageList(Self(), kStripBitmap, count, cx, cy);
  ASSERT_NE(list, nullptr);
  const uint32_t sentinel = 0x00FF00FF;
  for (int i : {0, kStripCells / 2, kStripCells - 1}) {
    Canvas canvas(kCell, kCell, sentinel);
    ASSERT_TRUE(ImageList_Draw(list, i, canvas.dc, 0, 0, ILD_TRANSPARENT));
    for (int y = 0; y < kCell; y++)
      for (int x = 0; x < kCell; x++) {
        uint32_t pixel = StripPixel(i * kCell + x, y);
        ASSERT_EQ(canvas.At(x, y), pixel == faceRgb ? sentinel : pixel) << "image " << i << " at " << x << "," << y;
      }
  }
  ImageList_Destroy(list);
}

// ---- Check boxes, owners, children, pumps, time, rollups -------------------------------------

// The check-box helpers, the safe owner and the search for a child by class, in one dialog.
TEST(DialogHelpers, ChecksByIdAndByWindowSafeOwnerAndChildByClass) {
  const int kBox = IDC_LOCK, kStatic = IDC_PICK_TEXT;
  RecordingDialog* dlg = new RecordingDialog;
  HWND d = OpenSmall(dlg);
  ASSERT_NE(d, nullptr);
  HWND box = GetDlgItem(d, kBox), stat = GetDlgItem(d, kStatic);

  SetCheck(d, kBox, 1);
  EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(GetCheck(d, kBox), 1);
  SetCheck(d, kBox, 0);
  EXPECT_EQ(GetCheck(d, kBox), 0);
  SetCheck(d, -1, 1);
  EXPECT_EQ(GetCheck(d, kBox), 0) << "id -1 names no control";
  EXPECT_EQ(GetCheck(d, -1), 1) << "no control reads as checked";
  SetCheck(box, 1);
  EXPECT_EQ(GetCheck(box), 1);
  EXPECT_EQ(IsDlgButtonChecked(d, kBox), (UINT)BST_CHECKED);
  SetCheck(box, 0);
  EXPECT_EQ(GetCheck(box), 0);

  // A grandchild, found only by a search of all descendants.
  HWND edit = CreateWindowExA(0, "Edit", "", WS_CHILD, 0, 0, 20, 10, stat, nullptr, Self(), nullptr);
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(GetSafeOwner(box), d);
  EXPECT_EQ(GetSafeOwner(edit), d);
  EXPECT_EQ(GetSafeOwner(d), d);
  EXPECT_EQ(GetSafeOwner(nullptr), nullptr);
  char button[] = "Button", editClass[] = "Edit", lower[] = "edit", none[] = "ComboBox", prefix[] = "Butto";
  EXPECT_EQ(FindChildByClass(d, button), box);
  EXPECT_EQ(FindChildByClass(d, editClass), edit);
  EXPECT_EQ(FindChildByClass(d, lower), nullptr) << "case sensitive";
  EXPECT_EQ(FindChildByClass(d, prefix), nullptr) << "whole names only";
  EXPECT_EQ(FindChildByClass(d, none), nullptr);
  EXPECT_EQ(FindChildByClass(stat, button), nullptr) << "descendants of the given parent only";
  DestroyWindow(d);
  dlg->DeleteThis();
}

TEST(MessagePumps, PaintPumpLeavesInputQueued) {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  RecordingWindow* rec = new RecordingWindow;
  HWND w = rec->Create(nullptr, WS_POPUP | WS_VISIBLE);
  ASSERT_NE(w, nullptr);
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  rec->messages.clear();
  InvalidateRect(w, nullptr, FALSE);
  PostMessageA(w, kMsgAnswered, 0, 0);
  EXPECT_EQ(JPumpPaintMessages(), 1);
  EXPECT_TRUE(rec->Saw(WM_PAINT));
  EXPECT_FALSE(rec->Saw(kMsgAnswered)) << "input stays queued";
  EXPECT_TRUE(PeekMessageA(&m, w, kMsgAnswered, kMsgAnswered, PM_NOREMOVE));

  EXPECT_EQ(JPumpMessages(), 1) << "the host's pump answers 1 while running";
  EXPECT_TRUE(rec->Saw(kMsgAnswered)) << "the host pump dispatched the queued message";
  DestroyWindow(w);
  delete rec;
}

TEST(HostServices, TimeIsTheHostsTime) {
  Interface* ip = GetCOREInterface();
  TimeValue old = ip->GetTime();
  ip->SetTime(4800, FALSE);
  EXPECT_EQ(GetTime(), 4800);
  ip->SetTime(-160, FALSE);
  EXPECT_EQ(GetTime(), -160);
  ip->SetTime(old, FALSE);
}

TEST(HostServices, RollupPanelStateAndUserDataKept) {
  InitCustomControls(Self());
  HWND rollup = CreateWindowExA(0, ROLLUPWINDOWCLASS, "", WS_POPUP, 0, 0, 100, 300, nullptr, nullptr, Self(), nullptr);
  ASSERT_NE(rollup, nullptr);
  for (int i = 0; i < 3; i++)
    CreateWindowExA(0, "Static", "panel", WS_CHILD | WS_VISIBLE, 0, i * 50, 100, 50, rollup, nullptr, Self(), nullptr);
  SetWindowLongPtrA(rollup, GWLP_USERDATA, 0x5EED);
  IRollup* panels = GetIRollup(rollup);
  ASSERT_NE(panels, nullptr);
  ASSERT_EQ(panels->GetNumPanels(), 3);

  SetRollupPanel(rollup, 1, 0);
  EXPECT_TRUE(panels->IsPanelOpen(0));
  EXPECT_FALSE(panels->IsPanelOpen(1));
  EXPECT_TRUE(panels->IsPanelOpen(2));
  SetRollupPanel(rollup, 1, 1);
  EXPECT_TRUE(panels->IsPanelOpen(1));
  EXPECT_EQ(GetWindowLongPtrA(rollup, GWLP_USERDATA), 0x5EED);
  ReleaseIRollup(panels);

  // A window that is not a rollup: nothing happens, its user data stays.
  HWND plain = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, Self(), nullptr);
  SetWindowLongPtrA(plain, GWLP_USERDATA, 0x77);
  SetRollupPanel(plain, 0, 0);
  EXPECT_EQ(GetWindowLongPtrA(plain, GWLP_USERDATA), 0x77);
  DestroyWindow(plain);
  DestroyWindow(rollup);
}
