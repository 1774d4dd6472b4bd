// Filter preview windows: the main preview with its cached source image from the host's queue,
// the secondary previews derived from that cache, and the button that re-renders from scratch.
#include "JFilterPreview.h"

#include "JBitmap.h"
#include "JDiag.h"
#include "JFault.h"
#include "JProgressDlg.h"
#include "JViewWndInternal.h"

#include <stdio.h>
#include <string.h>

#include <new>
#include <set>

namespace {

const char kSource[] = "JFPREWND";
const int kLineNoPreview = 57;
const int kLineNoButton = 388;
const int kLineNoSecondary = 430;

// Data slots of the views besides the bound data object at 0.
const int kSlotOnOff = 1;
const int kSlotPostline = 2;

const int kCacheInvalid = -1;
const unsigned long kAllChannels = 0xFFFFFFFFUL;

// What CreatePreview is asked to render (the image that reaches the filter), and the capability
// bit of filters that take a second input, which the host then delivers too.
const DWORD kPreviewSourceType = 1;
const DWORD kSecondInputCapability = 8;

const int kStringInProgress = 106;  // "%s in progress..."
const int kTitleSize = 256;

// What a call of the client's or the host's answers when a trap of the preview's own caught a
// fault in it.
const int kCallFault = -1;

// Runs call under a trap of its own: true when it ran through. The preview callback holds a
// progress dialog, a working bitmap, the filter's flags and at times the thread lock around such
// calls, which the trap around the whole callback would skip giving back.
template <class F>
bool RanThrough(F call) {
  return JGuardedCall(
             [&call] {
               call();
               return 1;
             },
             kCallFault) == 1;
}

// The letterbox ratio from an image's width over height: in steps of 1/75, as a hundredth count,
// times a single-precision hundredth (slightly below 0.01, so a ratio of exactly 1 comes out just
// below 1).
double LetterboxRatio(double widthOverHeight) {
  const double x = widthOverHeight * 75.0;
  const int n = (int)(x >= 0 ? x + 0.5 : x - 0.5);
  return n * (double)0.01f;
}

// The picture inside a w x h view for ratio: narrower than the view below 1, else lower.
void FitRatio(double ratio, int w, int h, int& pw, int& ph) {
  pw = w;
  ph = h;
  if (ratio < 1.0)
    pw = (int)(w * ratio);
  else
    ph = (int)(h / ratio);
}

void Black(BMM_Color_24* out, int w, int h) { memset(out, 0, (size_t)w * (size_t)h * sizeof(BMM_Color_24)); }

// Views alive in the process that other views refer to by pointer (a main preview's secondaries,
// a secondary's main preview): a table entry of a deleted view is skipped, not followed.
JCriticalSection& LiveLock() {
  static JCriticalSection lock;
  return lock;
}
std::set<JViewWnd*>& LiveViews() {
  static std::set<JViewWnd*> views;
  return views;
}
void SetLive(JViewWnd* v, bool live) {
  JLock hold(LiveLock());
  if (live)
    LiveViews().insert(v);
  else
    LiveViews().erase(v);
}
bool IsLive(JViewWnd* v) {
  JLock hold(LiveLock());
  return LiveViews().count(v) != 0;
}

// Applies f to every secondary of the table that can take an update: alive, with a window that
// still has it attached (the dialog that owned it is not gone), and not frozen. A fault while
// reading an entry ends the walk silently; f itself runs outside the trap (it may send messages).
template <class F>
void ForEachSecondary(Tab<JViewWnd*>& table, F f) {
  for (int i = 0; i < table.Count(); i++) {
    JViewWnd* v = table[i];
    if (!IsLive(v)) continue;
    HWND w = nullptr;
    const int frozen = JGuardedCall(
        [v, &w] {
          w = v->GetHwnd();
          return v->IsFreezed() ? 1 : 0;
        },
        -1);
    if (frozen < 0) return;
    if (!frozen && w && IsWindow(w) && GetWinProc(w)) f(v);
  }
}

// Puts d at data slot i of view, appending empty slots before it as needed.
void PutSlot(JViewCtl* view, int i, JDataBase* d) {
  if (i < view->GetDataCount()) {
    view->SetData(d, i);
    return;
  }
  while (view->GetDataCount() < i) view->AddData(nullptr);
  view->AddData(d);
}

JFloatData* SwitchAt(JViewCtl* view, int i) { return dynamic_cast<JFloatData*>(view->GetData(i)); }

// The background of a picture without a cached source: the client's, or the library's default.
void PaintBackground(Bitmap* bm, JFilterBackFunc back, JFilterBase* filter, int t) {
  if (!back || !back(bm, filter, t)) JFillDefault(bm);
}

// Copies src into dst with every channel; a source of another size is fitted.
int CopyAll(Bitmap* dst, Bitmap* src) {
  if (dst->Width() == src->Width() && dst->Height() == src->Height()) return JCopyBitmap(dst, src, kAllChannels);
  return JCopyFit(dst, src, kAllChannels);
}

}  // namespace

// ---- JFilterPreviewWnd ----------------------------------------------------------------------------

JFilterPreviewWnd::JFilterPreviewWnd()
    : filter(nullptr), sourceCache(nullptr), secondCache(nullptr), cacheTime(kCacheInvalid), defaultBack(nullptr) {
  SetLive(this, true);
}

JFilterPreviewWnd::~JFilterPreviewWnd() {
  SetLive(this, false);
  // The worker runs this class's callback: it ends before the cache goes.
  JViewWnd::AbortUpdate();
  JLock hold(state->threadLock);
  if (filter) {
    if (sourceCache && filter->Source() == sourceCache) filter->SetSource(nullptr);
    if (secondCache && filter->Foreground() == secondCache) filter->SetForeground(nullptr);
  }
  JDeleteBitmap(sourceCache);
  JDeleteBitmap(secondCache);
  cacheTime = kCacheInvalid;
  secondaries.ZeroCount();
}

JFilterPreviewWnd* JFilterPreviewWnd::Create(JFilterBase* filter, JDataBase* data, int ctrlId, JFloatData* onOff,
                                             JFloatData* vpOnOff) {
  if (!Register()) return nullptr;
  JFilterPreviewWnd* w = new (std::nothrow) JFilterPreviewWnd;
  if (!jassert(w != nullptr, "JFilterPreviewWnd: no memory for the view", kSource, kLineNoPreview)) return nullptr;
  Setup(w, data, -1, ctrlId);
  w->renderFunc = JFilterPreviewFunc;
  w->renderUser = w;
  w->filter = filter;
  if (onOff) w->AddData(onOff);
  if (vpOnOff) w->AddData(vpOnOff);
  return w;
}

void JFilterPreviewWnd::Set(JDataBase* data, int t, JFloatData* onOff, JFloatData* vpOnOff) {
  PutSlot(this, kSlotOnOff, onOff);
  PutSlot(this, kSlotPostline, vpOnOff);
  JViewCtl::Set(data, t);
}

JFloatData* JFilterPreviewWnd::GetOnOff() { return SwitchAt(this, kSlotOnOff); }
JFloatData* JFilterPreviewWnd::GetVPOnOff() { return SwitchAt(this, kSlotPostline); }

JFilterBackFunc JFilterPreviewWnd::SetDefaultBack(JFilterBackFunc f) {
  JFilterBackFunc previous = defaultBack;
  defaultBack = f;
  return previous;
}

void JFilterPreviewWnd::FullUpdate(int t) {
  {
    JLock hold(state->threadLock);
    cacheTime = kCacheInvalid;
  }
  UpdateView(t, nullptr);
}

void JFilterPreviewWnd::AddSecondary(JViewWnd* w) { secondaries.Append(1, &w); }

void JFilterPreviewWnd::UpdateSecondaries(int t) {
  ForEachSecondary(secondaries, [t](JViewWnd* v) { v->UpdateView(t, nullptr); });
}

void JFilterPreviewWnd::AbortUpdate() {
  ForEachSecondary(secondaries, [](JViewWnd* v) { v->JViewWnd::AbortUpdate(); });
  JViewWnd::AbortUpdate();
}

void JFilterPreviewWnd::Destroy() { JViewWnd::Destroy(); }
void JFilterPreviewWnd::DeleteThis() { delete this; }
void JFilterPreviewWnd::UpdateView(int t, ReferenceTarget* changed) { JViewWnd::UpdateView(t, changed); }

void JFilterPreviewWnd::SetResolution(JDataBase* data, int resolution, int noFit) {
  JViewWnd::SetResolution(data, resolution, noFit);
  JLock hold(state->threadLock);
  cacheTime = kCacheInvalid;
}

int JFilterPreviewWnd::FillCache(Bitmap* source, Bitmap* second, int t, int w, int h, float aspect) {
  JLock hold(state->threadLock);
  if (!JCreateBitmap(sourceCache, w, h, aspect)) return 0;
  // The host's images are read under traps of their own, inside the lock, whose release a fault
  // must not skip; the cache stays invalid then.
  if (!RanThrough([&] {
        CopyAll(sourceCache, source);
        source->CloseAll();
      }))
    return kCallFault;
  filter->SetSource(sourceCache);
  if (second) {
    // Made on first use, and again when the picture's size changed.
    if (!secondCache || secondCache->Width() != w || secondCache->Height() != h)
      if (!JCreateBitmap(secondCache, w, h, aspect)) return 0;
    if (!RanThrough([&] {
          CopyAll(secondCache, second);
          second->CloseAll();
        }))
      return kCallFault;
    filter->SetForeground(secondCache);
  }
  cacheTime = t;
  return 1;
}

int JFilterPreviewWnd::JFilterPreviewFunc(BMM_Color_24* out, void* window, int t, int w, int h, float aspect,
                                          HWND wnd) {
  JFilterPreviewWnd* self = static_cast<JFilterPreviewWnd*>(window);
  JFilterBase* filter = self->filter;
  JFloatData* onOff = self->GetOnOff();
  if (onOff && onOff->GetFValue(t) == 0.0f) {
    Black(out, w, h);
    return 1;
  }
  if (!filter) return 0;

  const ImageFilterInfo* info = filter->FilterInfo();
  int pw, ph;
  FitRatio(LetterboxRatio(info->height ? (double)info->width * info->aspect / info->height : 1.0), w, h, pw, ph);
  Bitmap* picture = nullptr;
  if (!JCreateBitmap(picture, pw, ph, aspect)) return 0;

  JProgressDlg progress;
  bool shown = false;
  // A fault in a call of the client's or the host's: the flags, the filter's source and the
  // working bitmap are put back and the progress dialog closes (its destructor), then the view
  // reports the fault as it reports one in any render callback.
  auto faulted = [&] {
    filter->SetPreviewSource(0);
    filter->SetPreviewFlags(0);
    JDeleteBitmap(picture);
    filter->SetSource(self->sourceCache);
    self->state->callbackFaulted = true;
    return 0;
  };
  JFloatData* postline = self->GetVPOnOff();
  if (postline && postline->GetFValue(t) != 0.0f) {
    int valid;
    {
      JLock hold(self->state->threadLock);
      valid = self->cacheTime != kCacheInvalid;
    }
    if (!valid) {
      shown = progress.Create(wnd) != 0;
      if (shown) {
        // This runs on the view window's worker: the library's shared string buffer may be
        // refilled by the interface thread meanwhile, so the format is loaded into a local one.
        char format[kTitleSize], title[kTitleSize];
        if (!LoadStringA(GetLibInstance(), kStringInProgress, format, sizeof format)) format[0] = 0;
        const char* name = nullptr;
        if (!RanThrough([&] { name = filter->Description(); })) return faulted();
        snprintf(title, sizeof title, format, name);
        SetWindowTextA(progress.GetHwnd(), title);
      }
      Bitmap* source = nullptr;
      Bitmap* second = nullptr;
      bool wantsSecond = false;
      if (!RanThrough([&] { wantsSecond = (filter->Capability() & kSecondInputCapability) != 0; })) return faulted();
      BOOL ok = FALSE;
      filter->SetPreviewSource(1);
      if (!RanThrough([&] {
            ok = filter->CreatePreview(progress.GetHwnd(), &source, t, pw, ph, aspect, wantsSecond ? &second : nullptr,
                                       kPreviewSourceType);
          }))
        return faulted();
      filter->SetPreviewSource(0);
      int cached = 1;
      if (ok && source) cached = self->FillCache(source, second, t, pw, ph, aspect);
      if (source) source->DeleteThis();
      if (second) second->DeleteThis();
      if (cached == kCallFault) return faulted();
      if (!ok || !cached) {
        JDeleteBitmap(picture);
        return 0;
      }
      if (source) self->UpdateSecondaries(t);
    }
  } else if (postline) {
    int wasValid;
    {
      JLock hold(self->state->threadLock);
      wasValid = self->cacheTime != kCacheInvalid;
      self->cacheTime = kCacheInvalid;
    }
    if (wasValid) self->UpdateSecondaries(t);
  }

  int fromCache = 0;
  {
    JLock hold(self->state->threadLock);
    if (self->cacheTime != kCacheInvalid && self->sourceCache) {
      fromCache = CopyAll(picture, self->sourceCache);
    } else {
      JDeleteBitmap(self->sourceCache);
      JDeleteBitmap(self->secondCache);
    }
  }
  if (!fromCache && !RanThrough([&] { PaintBackground(picture, self->defaultBack, filter, t); })) return faulted();

  filter->SetSource(picture);
  filter->SetForeground(self->secondCache);
  filter->SetPreviewFlags(1);
  const int tpf = GetTicksPerFrame();
  filter->FilterInfo()->frame = tpf > 0 ? t / tpf : 0;
  BOOL r = FALSE;
  if (!RanThrough([&] { r = filter->Render(shown ? progress.GetHwnd() : wnd); })) return faulted();
  filter->SetPreviewFlags(0);
  if (r) JCopy(out, w, h, picture);
  JDeleteBitmap(picture);
  filter->SetSource(self->sourceCache);
  return r ? 1 : 0;
}

// ---- JFilterSecondaryPreviewWnd -------------------------------------------------------------------

JFilterSecondaryPreviewWnd::JFilterSecondaryPreviewWnd()
    : mainWnd(nullptr), func(nullptr), user(nullptr), defaultBack(nullptr) {
  SetLive(this, true);
}

JFilterSecondaryPreviewWnd::~JFilterSecondaryPreviewWnd() {
  SetLive(this, false);
  JViewWnd::AbortUpdate();
}

JFilterSecondaryPreviewWnd* JFilterSecondaryPreviewWnd::Create(JFilterPreviewWnd* main, JDataBase* data, int ctrlId,
                                                               JFilterSecondaryRenderFunc f, void* user,
                                                               JFloatData* onOff) {
  if (!Register()) return nullptr;
  JFilterSecondaryPreviewWnd* w = new (std::nothrow) JFilterSecondaryPreviewWnd;
  if (!jassert(w != nullptr, "JFilterSecondaryPreviewWnd: no memory for the view", kSource, kLineNoSecondary))
    return nullptr;
  Setup(w, data, -1, ctrlId);
  w->renderFunc = JFilterSecondaryPreviewFunc;
  w->renderUser = w;
  w->mainWnd = main;
  if (main) main->AddSecondary(w);
  w->func = f;
  w->user = user;
  if (onOff) w->AddData(onOff);
  return w;
}

void JFilterSecondaryPreviewWnd::Set(JDataBase* data, int t, JFloatData* onOff) {
  PutSlot(this, kSlotOnOff, onOff);
  JViewCtl::Set(data, t);
}

JFloatData* JFilterSecondaryPreviewWnd::GetOnOff() { return SwitchAt(this, kSlotOnOff); }

JFilterBackFunc JFilterSecondaryPreviewWnd::SetDefaultBack(JFilterBackFunc f) {
  JFilterBackFunc previous = defaultBack;
  defaultBack = f;
  return previous;
}

void JFilterSecondaryPreviewWnd::DeleteThis() { delete this; }

int JFilterSecondaryPreviewWnd::JFilterSecondaryPreviewFunc(BMM_Color_24* out, void* window, int t, int w, int h,
                                                            float aspect, HWND) {
  JFilterSecondaryPreviewWnd* self = static_cast<JFilterSecondaryPreviewWnd*>(window);
  JFloatData* onOff = self->GetOnOff();
  if (onOff && onOff->GetIValue(t) == 0) {
    Black(out, w, h);
    return 1;
  }
  JFilterPreviewWnd* main = self->mainWnd && IsLive(self->mainWnd) ? self->mainWnd : nullptr;
  Bitmap* picture = nullptr;
  int pw = w, ph = h;
  bool fromCache = false;
  JFloatData* postline = main ? main->GetVPOnOff() : nullptr;
  if (postline && postline->GetIValue(t) != 0) {
    JLock hold(main->state->threadLock);
    Bitmap* cache = main->sourceCache;
    if (main->cacheTime != kCacheInvalid && cache && cache->Height() > 0) {
      FitRatio(LetterboxRatio((double)cache->Width() / cache->Height()), w, h, pw, ph);
      if (!JCreateBitmap(picture, pw, ph, aspect)) return 0;
      JCopyFit(picture, cache, kAllChannels);
      fromCache = true;
    }
  }
  if (!fromCache) {
    pw = w;
    ph = h;
    if (!JCreateBitmap(picture, w, h, aspect)) return 0;
    PaintBackground(picture, self->defaultBack, main ? main->filter : nullptr, t);
  }
  const int r = self->func ? self->func(picture, self->user, t, pw, ph, aspect, self->hwnd) : 1;
  JCopy(out, w, h, picture);
  JDeleteBitmap(picture);
  return r;
}

// ---- JUpdateFPWButton -----------------------------------------------------------------------------

JUpdateFPWButton::JUpdateFPWButton()
    : clientFirst(nullptr), clientSecond(nullptr), clientFirstUser(nullptr), clientSecondUser(nullptr) {}

JUpdateFPWButton* JUpdateFPWButton::Create(JFilterPreviewWnd* window, int ctrlId, Callback first, void* firstUser,
                                           Callback second, void* secondUser) {
  JUpdateFPWButton* b = new (std::nothrow) JUpdateFPWButton;
  if (!jassert(b != nullptr, "JUpdateFPWButton: no memory for the button", kSource, kLineNoButton)) return nullptr;
  b->clientFirst = first;
  b->clientFirstUser = firstUser;
  b->clientSecond = second;
  b->clientSecondUser = secondUser;
  b->Setup(nullptr, -1);
  b->idCtl = ctrlId;
  b->JCustButton::first = FirstHandler;
  b->firstUser = window;
  b->JCustButton::second = SecondHandler;
  b->secondUser = window;
  b->type = CBT_PUSH;
  b->highlight = 0xFFFFFFFFUL;
  return b;
}

void JUpdateFPWButton::FirstHandler(JCustButton* button, void* window, int t, int id, unsigned int msg,
                                    UINT_PTR param) {
  JUpdateFPWButton* self = static_cast<JUpdateFPWButton*>(button);
  if (self->clientFirst) self->clientFirst(button, self->clientFirstUser, t, id, msg, param);
  if (msg != WM_COMMAND || !window) return;
  ICustButton* host = self->ICB();
  if (host) host->Disable();
  static_cast<JFilterPreviewWnd*>(window)->FullUpdate(t);
  if (host) host->Enable();
}

void JUpdateFPWButton::SecondHandler(JCustButton* button, void*, int t, int id, unsigned int msg, UINT_PTR param) {
  JUpdateFPWButton* self = static_cast<JUpdateFPWButton*>(button);
  // A filter event the host is only about to add cannot be previewed.
  if (msg == WM_INITDIALOG && JNewFilterEvent() == 1 && self->ICB()) self->ICB()->Disable();
  if (self->clientSecond) self->clientSecond(button, self->clientSecondUser, t, id, msg, param);
}
