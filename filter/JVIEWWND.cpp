// The image view window: attaching to a dialog item, the resolution menu, painting, the progress
// line, and the computation of the image on the calling thread or on the view's worker.
#include "JDiag.h"
#include "JFault.h"
#include "JViewDlg.h"
#include "JViewFitInternal.h"
#include "JViewWndInternal.h"
#include "vbmm.h"

#include <process.h>
#include <stdlib.h>

#include <new>

namespace {

const char kSource[] = "JVIEWWND";
const int kLineNoMemory = 337;

// The resolution menu's commands; their texts are the string-table entries of the same numbers.
enum MenuCommand { kCmdFull = 1300, kCmdHalf = 1301, kCmdQuarter = 1302, kCmdFit = 1303 };
enum Resolution { kFull = 0, kHalf = 1, kQuarter = 2 };
const ULONG kNoFitBit = 0x80000000u;

// The key of the resolution setting in the bound data object's property list.
const Class_ID& ResolutionKey() {
  static const Class_ID id(0x282D35C6, 0x44985440);
  return id;
}
// The key under which Init keeps the popup menu's handle in the extension table.
const Class_ID& PopupMenuKey() {
  static const Class_ID id(0x0CE61298, 0x19C52C21);
  return id;
}

// A request that arrives while the worker computes or waits restarts the computation this long
// after the request, so that a burst of requests costs one computation at its end.
const DWORD kRestartWaitMs = 200;
// AbortUpdate processes messages between waits of at most this long.
const DWORD kAbortWaitMs = 300;

// A fault inside a guarded call answers this (the calls themselves answer 0 or 1).
const int kGuardFault = -1;

BMM_Color_24* AllocPixels(int w, int h) {
  return static_cast<BMM_Color_24*>(malloc((size_t)w * (size_t)h * sizeof(BMM_Color_24)));
}

// A 0..1 colour component as a byte: times 255, rounded half away from zero, low 8 bits kept.
BYTE ComponentByte(float c) {
  float v = c * 255.0f;
  v = v >= 0.0f ? v + 0.5f : v - 0.5f;
  // Beyond the int range (NaN included) the conversion gives the integer indefinite, whose low
  // byte is 0; say so instead of leaving it undefined.
  if (!(v > -2147483648.0f && v < 2147483648.0f)) return 0;
  return (BYTE)((int)v & 0xFF);
}

void CheckItems(HMENU menu, int resolution, int noFit) {
  CheckMenuItem(menu, kCmdFull, MF_BYCOMMAND | (resolution == kFull ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, kCmdHalf, MF_BYCOMMAND | (resolution == kHalf ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, kCmdQuarter, MF_BYCOMMAND | (resolution >= kQuarter ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(menu, kCmdFit, MF_BYCOMMAND | (noFit == 0 ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

Class_ID& JViewWnd_resolution_off() {
  static Class_ID id(0x6BEF0E7F, 0x7D5254C1);
  return id;
}

// ---- Creation and the view-control operations ---------------------------------------------------

JViewWnd::JViewWnd()
    : ctrlId(0),
      colorFunc(nullptr),
      colorUser(nullptr),
      renderFunc(nullptr),
      renderUser(nullptr),
      imageRect{0, 0, 0, 0},
      aspect(1.0f),
      updateFlags(0),
      state(new State) {}

JViewWnd::~JViewWnd() {
  AbortUpdate();
  JoinEndedWorker();
  // Without a handle to wait on (it could not be duplicated), the worker may still be leaving the
  // thread lock it ended in: take the lock once so that it is not deleted under the worker.
  { JLock settle(state->threadLock); }
  // A worker that ended after Destroy may have installed one more image.
  free(state->pixels);
  if (HMENU menu = PopupMenu()) DestroyMenu(menu);
  if (hwnd) SetWinProc(hwnd, nullptr);
  delete state;
}

JViewWnd* JViewWnd::Create(JDataBase* data, int idBypass, int ctrlId) {
  if (!Register()) return nullptr;
  JViewWnd* w = new (std::nothrow) JViewWnd;
  if (!jassert(w != nullptr, "JViewWnd: no memory for the view", kSource, kLineNoMemory)) return nullptr;
  return Setup(w, data, idBypass, ctrlId);
}

JViewWnd* JViewWnd::Create(JDataBase* data, int idBypass, int ctrlId, JViewColorFunc f, void* user) {
  JViewWnd* w = Create(data, idBypass, ctrlId);
  if (w) {
    w->colorFunc = f;
    w->colorUser = user;
  }
  return w;
}

JViewWnd* JViewWnd::Create(JDataBase* data, int idBypass, int ctrlId, JViewRenderFunc f, void* user) {
  JViewWnd* w = Create(data, idBypass, ctrlId);
  if (w) {
    w->renderFunc = f;
    w->renderUser = user;
  }
  return w;
}

JViewWnd* JViewWnd::Setup(JViewWnd* w, JDataBase* data, int idBypass, int ctrlId) {
  if (!w) return nullptr;
  w->JViewCtl::Setup(data, idBypass);
  w->ctrlId = ctrlId;
  w->imageRect = RECT{0, 0, 0, 0};
  w->colorFunc = nullptr;
  w->colorUser = nullptr;
  w->renderFunc = nullptr;
  w->renderUser = nullptr;
  w->aspect = 1.0f;
  return w;
}

int JViewWnd::Init(int) {
  HWND window = Register() ? GetDlgItem(hwndParent(), ctrlId) : nullptr;
  if (!window) return 0;
  hwnd = window;
  RECT client;
  GetClientRect(window, &client);
  imageRect = RECT{client.left + 1, client.top + 1, client.right - 1, client.bottom - 1};
  SetWinProc(window, static_cast<JWinProc*>(this));

  int resolution, noFit;
  GetResolution(Data(), resolution, noFit);
  int off = 0;
  extensions.FindExtProperty(JViewWnd_resolution_off(), &off);
  if (off) return 1;
  if (HMENU old = PopupMenu()) DestroyMenu(old);  // a second Init makes the menu afresh
  HMENU menu = CreatePopupMenu();
  if (!menu) return 1;
  AppendMenuA(menu, MF_STRING, kCmdFull, GetResString(kCmdFull));
  AppendMenuA(menu, MF_STRING, kCmdHalf, GetResString(kCmdHalf));
  AppendMenuA(menu, MF_STRING, kCmdQuarter, GetResString(kCmdQuarter));
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, kCmdFit, GetResString(kCmdFit));
  CheckItems(menu, resolution, noFit);
  // Menu handles are user handles: 32 significant bits on every Windows, so an int holds them.
  extensions.AddExtProperty(PopupMenuKey(), (int)(INT_PTR)menu);
  return 1;
}

void JViewWnd::Destroy() {
  {
    JLock hold(state->bufferLock);
    free(state->pixels);
    state->pixels = nullptr;
  }
  JViewCtl::Destroy();
}

void JViewWnd::DeleteThis() { delete this; }
int JViewWnd::Own(int id) { return id == ctrlId ? 1 : 0; }
int JViewWnd::Valid(int) { return 1; }
void JViewWnd::UpdateData(int, int, unsigned int, UINT_PTR) {}

void JViewWnd::GetResolution(JDataBase* data, int& resolution, int& noFit) {
  const ULONG v = data ? data->Properties().Value(ResolutionKey()) : 0;
  resolution = (int)(v & ~kNoFitBit);
  noFit = (v & kNoFitBit) ? 1 : 0;
}

void JViewWnd::SetResolution(JDataBase* data, int resolution, int noFit) {
  if (!data) return;
  data->Properties().Add(ResolutionKey(), ((ULONG)resolution & ~kNoFitBit) + (noFit ? kNoFitBit : 0));
}

HMENU JViewWnd::PopupMenu() {
  int menu = 0;
  extensions.FindExtProperty(PopupMenuKey(), &menu);
  return (HMENU)(INT_PTR)menu;
}

// ---- Flags and priority ---------------------------------------------------------------------------

unsigned long JViewWnd::SetUpdateFlags(unsigned long f) {
  const unsigned long previous = updateFlags;
  updateFlags = f | (previous & JVWF_UPDATED);
  return previous;
}

int JViewWnd::GetUpdatePriority() { return state->priority.load(std::memory_order_relaxed); }

int JViewWnd::SetUpdatePriority(int p) { return state->priority.exchange(p, std::memory_order_relaxed); }

int JViewWnd::AbortValue() { return state->abortValue.load(std::memory_order_acquire); }

// ---- The window ---------------------------------------------------------------------------------

LRESULT JViewWnd::WinProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      updateFlags |= JVWF_PAINTED;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      Paint(dc);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers the window
    case WM_RBUTTONUP:
      ShowMenu(lParam);
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case JWM_PROGRESS:
      if ((updateFlags & JVWF_PROGRESS) && lParam) DrawProgress((unsigned)wParam, (unsigned)lParam);
      return 0;
    case JWM_QUERYABORT:
      if (lParam) *reinterpret_cast<int*>(lParam) = state->abortValue.load(std::memory_order_acquire);
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

void JViewWnd::Paint(HDC dc) {
  const RECT& r = imageRect;
  HPEN pen = CreatePen(PS_SOLID, 0, RGB(0, 0, 0));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  const POINT frame[5] = {{r.left - 1, r.top - 1}, {r.right, r.top - 1}, {r.right, r.bottom}, {r.left - 1, r.bottom},
                          {r.left - 1, r.top - 1}};
  Polyline(dc, frame, 5);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  JLock hold(state->bufferLock);
  if (state->pixels)
    JBitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, state->pixels);
  else
    FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

void JViewWnd::Redraw() {
  if (!hwnd) return;
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  Paint(dc);
  ReleaseDC(hwnd, dc);
}

// White from the left up to the share done, black from there to the right end, on the image's
// bottom row; the next paint covers it.
void JViewWnd::DrawProgress(unsigned done, unsigned total) {
  const unsigned d = done > total ? done : total;
  if (d == 0) return;
  const RECT& r = imageRect;
  const int x = r.left + (int)(((unsigned)(r.right - r.left - 1) * done) / d);
  HDC dc = GetDC(hwnd);
  if (!dc) return;
  HGDIOBJ old = SelectObject(dc, GetStockObject(WHITE_PEN));
  MoveToEx(dc, r.left + 1, r.bottom - 1, nullptr);
  LineTo(dc, x, r.bottom - 1);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  LineTo(dc, r.right - 1, r.bottom - 1);
  SelectObject(dc, old);
  ReleaseDC(hwnd, dc);
}

void JViewWnd::ShowMenu(LPARAM at) {
  HMENU menu = PopupMenu();
  if (!menu) return;
  int resolution, noFit;
  GetResolution(Data(), resolution, noFit);
  CheckItems(menu, resolution, noFit);
  POINT p = {(short)LOWORD(at), (short)HIWORD(at)};
  ClientToScreen(hwnd, &p);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, p.x, p.y, 0, hwnd, nullptr);
}

void JViewWnd::OnCommand(int id) {
  int resolution, noFit;
  GetResolution(Data(), resolution, noFit);
  switch (id) {
    case kCmdFull:
      if (resolution == kFull) return;
      resolution = kFull;
      break;
    case kCmdHalf:
      if (resolution == kHalf) return;
      resolution = kHalf;
      break;
    case kCmdQuarter:
      if (resolution >= kQuarter) return;
      resolution = kQuarter;
      break;
    case kCmdFit:
      noFit = !noFit;
      break;
    default:
      return;
  }
  SetResolution(Data(), resolution, noFit);
  // A view always has its dialog by the time its window gets commands; without one the last
  // update's time serves.
  UpdateView(Parent() ? Parent()->GetTime() : state->updateTime.load(std::memory_order_relaxed), nullptr);
}

// ---- Scheduling ---------------------------------------------------------------------------------

void JViewWnd::UpdateView(int time, ReferenceTarget*) {
  if (IsFreezed()) return;
  JLock hold(state->threadLock);
  state->updateTime.store(time, std::memory_order_relaxed);
  // The first update of a view is synchronous, so that a dialog opens with its image.
  if (!(updateFlags & JVWF_THREAD) || !(updateFlags & JVWF_UPDATED)) {
    if (UpdateView_Thread() == kInstalled) SetUpdateFlags(updateFlags | JVWF_UPDATED);
    return;
  }
  if (state->request.load(std::memory_order_relaxed) != State::kNone) return;  // restart or stop pending
  if (state->worker.load(std::memory_order_relaxed)) {
    state->abortValue.store(State::kStopNow, std::memory_order_release);
    state->request.store(State::kRestart, std::memory_order_relaxed);
    return;
  }
  StartWorker();
}

// Called with the thread lock held and no worker running.
void JViewWnd::StartWorker() {
  state->abortValue.store(State::kGoOn, std::memory_order_release);
  // The previous worker has let go of the view (it nulled its handle under this lock).
  if (state->ending) CloseHandle(state->ending);
  state->ending = nullptr;
  if (state->wake) ResetEvent(state->wake);  // left set by an abort of the previous worker
  HANDLE h = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, UpdateView_StartThread, this, 0, nullptr));
  if (!h) {
    UpdateView_Thread();
    return;
  }
  HANDLE self = GetCurrentProcess();
  if (!DuplicateHandle(self, h, self, &state->ending, 0, FALSE, DUPLICATE_SAME_ACCESS)) state->ending = nullptr;
  // The worker reads its handle only after taking the lock this thread holds.
  state->worker.store(h, std::memory_order_release);
}

unsigned __stdcall JViewWnd::UpdateView_StartThread(void* p) {
  JViewWnd* view = static_cast<JViewWnd*>(p);
  State* s = view->state;
  SetThreadPriority(GetCurrentThread(), s->priority.load(std::memory_order_relaxed));
  unsigned long code = kInstalled;
  // The worker ends inside the lock: it closes and nulls its handle there, and touches the view
  // no more once the lock is released.
  auto end = [s] { CloseHandle(s->worker.exchange(nullptr, std::memory_order_acq_rel)); };
  for (;;) {
    int request;
    DWORD wait = 0;
    {
      JLock hold(s->threadLock);
      request = s->request.load(std::memory_order_relaxed);
      if (request == State::kStop) {
        end();
        return code;
      }
      if (request == State::kRestart) {
        s->request.store(State::kNone, std::memory_order_relaxed);
        wait = kRestartWaitMs;  // requests meanwhile set the restart again: computed once they stop
      } else {
        s->abortValue.store(State::kGoOn, std::memory_order_release);
      }
    }
    if (request == State::kRestart) {
      if (s->wake)
        WaitForSingleObject(s->wake, wait);
      else
        Sleep(wait);
      continue;
    }
    code = view->UpdateView_Thread();
    JLock hold(s->threadLock);
    if (s->request.load(std::memory_order_relaxed) != State::kRestart) {
      end();
      return code;
    }
  }
}

void JViewWnd::AbortUpdate() {
  if (!state->worker.load(std::memory_order_acquire)) return;
  {
    JLock hold(state->threadLock);
    state->abortValue.store(State::kStopNow, std::memory_order_release);
    state->request.store(State::kStop, std::memory_order_relaxed);
  }
  if (state->wake) SetEvent(state->wake);  // a worker in its restart wait stops at once
  if (state->ending) SetThreadPriority(state->ending, THREAD_PRIORITY_NORMAL);
  // The worker may be inside a message it sent to this thread (progress, abort query, a host
  // render): process messages between waits, and wake early for a message sent meanwhile.
  while (state->worker.load(std::memory_order_acquire)) {
    JPumpMessages();
    if (!state->ending) {
      Sleep(1);
      continue;
    }
    const DWORD r = MsgWaitForMultipleObjects(1, &state->ending, FALSE, kAbortWaitMs, QS_SENDMESSAGE);
    if (r != WAIT_TIMEOUT && r != WAIT_OBJECT_0 + 1) break;
  }
  state->abortValue.store(State::kGoOn, std::memory_order_release);
  state->request.store(State::kNone, std::memory_order_relaxed);
}

// Waits for the latest worker, which has let go of the view, to end as a thread.
void JViewWnd::JoinEndedWorker() {
  if (!state->ending) return;
  WaitForSingleObject(state->ending, INFINITE);
  CloseHandle(state->ending);
  state->ending = nullptr;
}

// ---- Computing and installing ---------------------------------------------------------------------

unsigned long JViewWnd::UpdateView_Thread() {
  const int time = state->updateTime.load(std::memory_order_relaxed);
  const int W = imageRect.right - imageRect.left, H = imageRect.bottom - imageRect.top;
  if (W <= 0) return kNoWidth;
  if (H <= 0) return kNoHeight;
  int resolution, noFit;
  GetResolution(Data(), resolution, noFit);
  int w = W, h = H;
  if (resolution == kHalf) {
    w = (W + 1) / 2;
    h = (H + 1) / 2;
  } else if (resolution == kQuarter) {
    w = (W + 3) / 4;
    h = (H + 3) / 4;
  }

  // Callbacks run under the fault trap, each at the innermost boundary: neither they nor the
  // loops around them hold a lock or an object with a destructor.
  BMM_Color_24* image;
  if (renderFunc) {
    image = AllocPixels(w, h);
    if (!image) return kNoRenderMemory;
    state->callbackFaulted = false;
    const int ok = JGuardedCall(
        [&] { return renderFunc(image, renderUser, time, w, h, aspect, hwnd) ? 1 : 0; }, kGuardFault);
    if (ok == kGuardFault || state->callbackFaulted) {
      free(image);
      return kFaulted;
    }
    if (!ok || state->abortValue.load(std::memory_order_acquire)) {
      free(image);
      return kRenderFailed;
    }
  } else if (colorFunc) {
    image = AllocPixels(w, h);
    if (!image) return kNoColorMemory;
    const std::atomic<int>& stop = state->abortValue;
    const int done = JGuardedCall(
        [&] {
          const float fx = 1.0f / (float)w, fy = 1.0f / (float)h;
          for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
              if (stop.load(std::memory_order_relaxed)) return 0;
              const AColor c = colorFunc(colorUser, (float)x * fx, (float)y * fy);
              BMM_Color_24& px = image[(size_t)y * w + x];
              px.r = ComponentByte(c.r);
              px.g = ComponentByte(c.g);
              px.b = ComponentByte(c.b);
            }
          return 1;
        },
        kGuardFault);
    if (done != 1) {
      free(image);
      return done == kGuardFault ? kFaulted : kAborted;
    }
  } else {
    return kInstalled;
  }

  if (resolution == kFull) {
    *this = image;
    return kInstalled;
  }
  BMM_Color_24* display = AllocPixels(W, H);
  const int filled = display ? JGuardedCall(
                                   [&] {
                                     if (noFit)
                                       jviewfit::Panel(display, W, H, image, w, h);
                                     else
                                       jviewfit::Replicate(display, W, H, image, w, resolution == kHalf ? 2 : 4);
                                     return 1;
                                   },
                                   kGuardFault)
                             : kGuardFault;
  free(image);
  if (filled != 1) {
    free(display);
    return kFaulted;
  }
  *this = display;
  return kInstalled;
}

JViewWnd& JViewWnd::operator=(BMM_Color_24* pixels) {
  {
    JLock hold(state->bufferLock);
    if (state->pixels && state->pixels != pixels) free(state->pixels);
    state->pixels = pixels;
    const int W = imageRect.right - imageRect.left, H = imageRect.bottom - imageRect.top;
    if (pixels && gammaMgr.enable && H >= 1 && W >= 1) {
      BYTE* b = reinterpret_cast<BYTE*>(pixels);
      const size_t n = (size_t)W * H * sizeof(BMM_Color_24);
      for (size_t i = 0; i < n; i++) b[i] = gammaMgr.dispTable[b[i]];
    }
  }
  Redraw();
  return *this;
}
