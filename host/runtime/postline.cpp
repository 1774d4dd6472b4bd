// The Postline: the scene's queue of filter events, its rendering, previews and the test scene.
#include "builtins.h"
#include "hostlock.h"
#include "interface.h"
#include "postlineui.h"
#include "vctrl.h"
#include "vpost.h"

#include <math.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include <new>
#include <string>
#include <vector>

namespace {

const Class_ID kPostlineClassID(0x56504C4E, 1);  // "VPLN"

// Chunks of the queue's saved data.
const USHORT kOutputChunk = 1;
const USHORT kInputChunk = 2;
const USHORT kEventChunk = 3;
const USHORT kEventClass = 4;
const USHORT kEventLabel = 5;
const USHORT kEventFlags = 6;
const USHORT kEventConfig = 7;
const USHORT kEventMask = 8;

const uint32_t kEventEnabled = 1;
const uint32_t kMaxConfig = 64u << 20;

int SetError(char* error, int size, const char* fmt, ...) {
  if (error && size > 0) {
    va_list args;
    va_start(args, fmt);
    vsnprintf(error, (size_t)size, fmt, args);
    va_end(args);
  }
  return 0;
}

// Asks the window whether to stop; a window that does not answer lets the work go on.
bool AbortAsked(HWND hWnd) {
  if (!hWnd) return false;
  int abort = 0;
  SendMessageA(hWnd, FLTWM_QUERYABORT, 0, (LPARAM)&abort);
  return abort != 0;
}

void Progress(HWND hWnd, int done, int total) {
  if (hWnd) SendMessageA(hWnd, FLTWM_PROGRESS, (WPARAM)done, (LPARAM)total);
}

Bitmap* NewBitmap(int w, int h, float aspect) {
  BitmapInfo bi;
  bi.SetWidth((WORD)w);
  bi.SetHeight((WORD)h);
  bi.SetAspect(aspect);
  bi.SetType(BMM_TRUE_64);
  return TheManager->Create(&bi);
}

bool ValidSize(int w, int h, float aspect) { return w >= 1 && w <= 65535 && h >= 1 && h <= 65535 && aspect > 0.0f; }

// An image file read through the bitmap manager without prompting; null when it cannot be read.
Bitmap* ReadImage(const char* path) {
  BitmapInfo bi;
  bi.SetName(path);
  BOOL silent = TheManager->SetSilentMode(TRUE);
  Bitmap* bm = TheManager->Load(&bi);
  TheManager->SetSilentMode(silent);
  return bm;
}

struct Event {
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  ~Event() { DropMaskImage(); }
  void DropMaskImage() {
    if (maskImage) maskImage->DeleteThis();
    maskImage = nullptr;
  }

  ImageFilter* filter = nullptr;  // null: the class was not available when the scene loaded
  Class_ID cid;
  CStr label;
  BOOL enabled = TRUE;
  CStr mask;                          // the mask image's file, or empty
  Bitmap* maskImage = nullptr;        // the mask file as read, kept between frames
  std::vector<unsigned char> config;  // the saved block of an event without filter
  ITavrelNode* node = nullptr;        // reference of the queue
};

// One step of a render: a filter and whether it takes the foreground.
struct Step {
  ImageFilter* filter;
  int event;  // index, or -1 for a filter that is not in the queue
};

// The queue is rendered from more than one thread: a filter's preview window renders on its
// worker while the interface thread edits the queue, runs it or asks for a preview of its own.
// The filters have one source, mask and information each, and the input image and masks are read
// on first use, so every render and every change of the queue happens under the queue's lock.
// Nothing under the lock waits for a preview window's lock or its worker: the host only calls the
// queue's filters and the progress window it was given.
class PostlineQueue : public ReferenceTarget, public IPostline {
 public:
  PostlineQueue() { InitializeCriticalSection(&lock); }
  ~PostlineQueue() override {
    for (Event* e : events) {
      delete e->filter;
      delete e;
    }
    DropInputCache();
    DeleteCriticalSection(&lock);
  }

  // ---- Output and input ----
  int SetOutput(int width, int height, float aspect) override {
    CsLock hold(lock);
    if (!ValidSize(width, height, aspect)) return 0;
    output.width = width;
    output.height = height;
    output.aspect = aspect;
    for (Event* e : events) GiveInfo(e);
    return 1;
  }
  ImageFilterInfo Output() override { return output; }
  void SetInputFile(const char* path) override {
    CsLock hold(lock);
    inputFile = path ? path : "";
    DropInputCache();
  }
  const char* InputFile() override { return inputFile.data(); }
  void SetInputProc(PostlineInputProc proc, void* user) override {
    CsLock hold(lock);
    inputProc = proc;
    inputUser = user;
  }

  // ---- Events ----
  int NumEvents() override { return (int)events.size(); }

  int AddEvent(ImageFilter* filter, const Class_ID& classID, int at) override {
    CsLock hold(lock);
    int n = (int)events.size();
    if (!filter || at < -1 || at > n) {
      delete filter;
      return -1;
    }
    if (at == -1) at = n;
    Event* e = new Event;
    e->filter = filter;
    e->cid = classID;
    // A target's books count the references held on it, not their slots: the events after this
    // one keep their nodes while their slot numbers move up.
    events.insert(events.begin() + at, e);
    SyncNode(at);
    GiveInfo(e);
    filter->FilterUpdate();
    Changed();
    return at;
  }

  int AddEvent(const Class_ID& classID, int at) override {
    ImageFilter* f = NewFilter(classID);
    return f ? AddEvent(f, classID, at) : -1;
  }

  ImageFilter* GetFilter(int i) override { return Valid(i) ? events[i]->filter : nullptr; }
  Class_ID GetClassID(int i) override { return Valid(i) ? events[i]->cid : Class_ID(0, 0); }
  int FindEvent(ImageFilter* filter) override {
    for (size_t i = 0; filter && i < events.size(); i++)
      if (events[i]->filter == filter) return (int)i;
    return -1;
  }

  const char* EventName(int i) override {
    if (!Valid(i)) return "";
    Event* e = events[i];
    if (!e->label.isNull()) return e->label.data();
    if (e->filter) return e->filter->Description();
    missingName.printf("(missing filter 0x%08lX, 0x%08lX)", (unsigned long)e->cid.PartA(),
                       (unsigned long)e->cid.PartB());
    return missingName.data();
  }
  void SetEventLabel(int i, const char* label) override {
    CsLock hold(lock);
    if (!Valid(i)) return;
    events[i]->label = label ? label : "";
    Changed();
  }
  BOOL EventEnabled(int i) override { return Valid(i) && events[i]->enabled; }
  void SetEventEnabled(int i, BOOL on) override {
    CsLock hold(lock);
    if (!Valid(i)) return;
    events[i]->enabled = on ? TRUE : FALSE;
    Changed();
  }
  const char* EventMask(int i) override { return Valid(i) ? events[i]->mask.data() : ""; }
  void SetEventMask(int i, const char* path) override {
    CsLock hold(lock);
    if (!Valid(i)) return;
    events[i]->mask = path ? path : "";
    events[i]->DropMaskImage();
    Changed();
  }

  int ReplaceFilter(int i, ImageFilter* filter, const Class_ID& classID) override {
    CsLock hold(lock);
    if (!Valid(i) || !filter) return 0;
    Event* e = events[i];
    if (e->filter == filter) return 1;
    delete e->filter;
    e->filter = filter;
    e->cid = classID;
    e->config.clear();
    SyncNode(i);
    GiveInfo(e);
    filter->FilterUpdate();
    Changed();
    return 1;
  }

  int DeleteEvent(int i) override {
    CsLock hold(lock);
    if (!Valid(i)) return 0;
    Event* e = events[i];
    if (e->node) ReplaceReference(i, nullptr, TRUE);
    events.erase(events.begin() + i);
    delete e->filter;  // its node goes with the filter's hold on it
    delete e;
    Changed();
    return 1;
  }

  int MoveEvent(int from, int to) override {
    CsLock hold(lock);
    if (!Valid(from) || !Valid(to)) return 0;
    if (from == to) return 1;
    // Each event takes its node along; the references held stay the same.
    Event* e = events[from];
    events.erase(events.begin() + from);
    events.insert(events.begin() + to, e);
    Changed();
    return 1;
  }

  // ---- Rendering ----
  int RenderFrame(int frame, int last, Bitmap** out, HWND hWnd, char* error, int errorSize) override {
    if (!out) return SetError(error, errorSize, "no place for the image");
    *out = nullptr;
    CsLock hold(lock);
    if (last < 0 || last >= (int)events.size()) last = (int)events.size() - 1;
    std::vector<Step> steps;
    for (int i = 0; i <= last; i++)
      if (events[i]->enabled) steps.push_back(Step{events[i]->filter, i});
    return RenderSteps(steps, frame, output.width, output.height, output.aspect, out, nullptr, hWnd, error,
                       errorSize);
  }

  int Run(const char* path, int first, int last, PostlineFrameProc tell, void* user, char* error,
          int errorSize) override {
    if (!path || !*path) return SetError(error, errorSize, "no output file");
    if (first > last) return SetError(error, errorSize, "the frames %d-%d are in the wrong order", first, last);
    std::string target(path);
    size_t slash = target.find_last_of("\\/");
    size_t dot = target.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = target.size();
    std::vector<std::string> written;
    int count = last - first + 1;
    for (int f = first; f <= last; f++) {
      if (tell && !tell(f, f - first, count, user)) return Abandon(written, SetError(error, errorSize, "stopped"));
      std::string name = target;
      if (count > 1) {
        char num[16];
        snprintf(num, sizeof num, "%04d", f);
        name = target.substr(0, dot) + num + target.substr(dot);
      }
      size_t ndot = dot + (count > 1 ? name.size() - target.size() : 0);
      std::string temp = name.substr(0, ndot) + ".partial" + name.substr(ndot);
      // Each frame renders under the queue's lock (RenderFrame takes it); it is not held while the
      // caller hears of the frame, whose window may process messages meanwhile.
      Bitmap* bm = nullptr;
      if (!RenderFrame(f, -1, &bm, nullptr, error, errorSize)) return Abandon(written, 0);
      BitmapInfo out;
      out.SetName(temp.c_str());
      int ok = bm->OpenOutput(&out) && bm->Write(&out);
      bm->CloseAll(ok ? BMM_CLOSE_COMPLETE : BMM_CLOSE_ABANDON);
      bm->DeleteThis();
      if (!ok) {
        DeleteFileA(temp.c_str());
        return Abandon(written, SetError(error, errorSize, "cannot write %s", name.c_str()));
      }
      if (!MoveFileExA(temp.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(temp.c_str());
        return Abandon(written, SetError(error, errorSize, "cannot write %s", name.c_str()));
      }
      written.push_back(name);
    }
    return 1;
  }

  // ---- Windows ----
  HWND ShowQueueWindow() override { return ShowPostlineWindow(); }
  HWND QueueWindow() override { return PostlineWindow(); }
  int DoAddEventDialog(HWND owner) override { return RunAddEventDialog(this, owner); }
  int DoEditEventDialog(HWND owner, int i) override { return RunEditEventDialog(this, owner, i); }

  // The preview of ImageFilter::CreatePreview.
  int Preview(ImageFilter* filter, HWND hWnd, Bitmap** out, TimeValue t, int w, int h, float aspect, Bitmap** second,
              DWORD type) {
    if (out) *out = nullptr;
    if (second) *second = nullptr;
    if (!filter || !out || !ValidSize(w, h, aspect) || type < FLT_PREVIEW_SOURCE || type > FLT_PREVIEW_QUEUE) return 0;
    CsLock hold(lock);
    std::vector<Step> steps;
    int own = -1;
    for (int i = 0; i < (int)events.size(); i++) {
      if (events[i]->filter == filter) own = (int)steps.size();
      if (events[i]->enabled || events[i]->filter == filter) steps.push_back(Step{events[i]->filter, i});
    }
    if (own < 0) {  // a filter not in the queue counts as its last event
      own = (int)steps.size();
      steps.push_back(Step{filter, -1});
    }
    size_t keep = type == FLT_PREVIEW_SOURCE ? own : type == FLT_PREVIEW_UPTO ? own + 1 : steps.size();
    steps.resize(keep);
    int tpf = GetTicksPerFrame();
    return RenderSteps(steps, tpf > 0 ? t / tpf : 0, w, h, aspect, out,
                       second && (filter->Capability() & IMGFLT_COMPOSITOR) ? second : nullptr, hWnd, nullptr, 0);
  }

  // Every event's filter holds the node the queue saves for it.
  void SyncNodes() {
    CsLock hold(lock);
    for (int i = 0; i < (int)events.size(); i++) SyncNode(i);
  }

  // ---- Reference target ----
  Class_ID ClassID() override { return kPostlineClassID; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  int NumRefs() override { return (int)events.size(); }
  RefTargetHandle GetReference(int i) override { return Valid(i) ? events[i]->node : nullptr; }
  void SetReference(int i, RefTargetHandle r) override {
    CsLock hold(lock);
    if (!Valid(i)) return;
    events[i]->node = dynamic_cast<ITavrelNode*>(r);
    // A loaded event's filter takes the node that came with the scene.
    if (events[i]->node && events[i]->filter && events[i]->filter->Node() != events[i]->node) {
      events[i]->filter->SetNode(events[i]->node);
      events[i]->filter->FilterUpdate();
    }
  }
  int NumSubs() override { return (int)events.size(); }
  Animatable* SubAnim(int i) override { return GetReference(i); }
  CStr SubAnimName(int i) override { return CStr(EventName(i)); }

  IOResult Save(ISave* isave) override {
    unsigned char out[12];
    PutU32(out, (uint32_t)output.width);
    PutU32(out + 4, (uint32_t)output.height);
    memcpy(out + 8, &output.aspect, 4);  // the float's bits, little-endian like the host
    IOResult r = Chunk(isave, kOutputChunk, out, 12);
    if (r == IO_OK) r = StringChunk(isave, kInputChunk, inputFile.data());
    for (size_t i = 0; r == IO_OK && i < events.size(); i++) r = SaveEvent(isave, events[i]);
    return r;
  }

  IOResult Load(ILoad* iload) override {
    CsLock hold(lock);
    IOResult r;
    while ((r = iload->OpenChunk()) == IO_OK) {
      bool ok = true;
      switch (iload->CurChunkID()) {
        case kOutputChunk: {
          unsigned char in[12];
          float aspect = 0;
          ok = ReadExact(iload, in, 12);
          if (ok) memcpy(&aspect, in + 8, 4);
          ok = ok && SetOutput((int)GetU32(in), (int)GetU32(in + 4), aspect);
          break;
        }
        case kInputChunk: {
          char* text = nullptr;
          ok = iload->ReadCStringChunk(&text) == IO_OK;
          if (ok) inputFile = text;
          break;
        }
        case kEventChunk:
          ok = LoadEvent(iload);
          break;
      }
      if (!ok) return IO_ERROR;
      iload->CloseChunk();
    }
    return r == IO_END ? IO_OK : IO_ERROR;
  }

 private:
  bool Valid(int i) const { return i >= 0 && i < (int)events.size(); }

  void Changed() { SetSaveRequiredFlag(TRUE); }

  static ImageFilter* NewFilter(const Class_ID& classID) {
    ClassDesc* cd = FindClassDesc(FLT_CLASS_ID, classID);
    return cd ? static_cast<ImageFilter*>(cd->Create(FALSE)) : nullptr;
  }

  void GiveInfo(Event* e) {
    if (!e->filter) return;
    ImageFilterInfo info = *e->filter->FilterInfo();
    info.width = output.width;
    info.height = output.height;
    info.aspect = output.aspect;
    e->filter->SetFilterInfo(&info);
  }

  void SyncNode(int i) {
    Event* e = events[i];
    if (!e->filter) return;
    ITavrelNode* n = e->filter->Node() ? e->filter->Node() : e->filter->CreateNode();
    if (n != e->node) MakeRefByID(FOREVER, i, n);
  }

  void DropInputCache() {
    if (inputCache) inputCache->DeleteThis();
    inputCache = nullptr;
  }

  // The event's mask fitted to w x h (the file is read once and kept), or null when it cannot be read.
  static Bitmap* FittedMask(Event* e, int w, int h, float aspect) {
    if (!e->maskImage) e->maskImage = ReadImage(e->mask.data());
    if (!e->maskImage) return nullptr;
    Bitmap* bm = NewBitmap(w, h, aspect);
    if (bm && !bm->Storage()->CopyImage(e->maskImage, COPY_IMAGE_RESIZE, BMM_Color_64{0, 0, 0, 0})) {
      bm->DeleteThis();
      bm = nullptr;
    }
    return bm;
  }

  // The input of frame at w x h: the painter, the file (kept between frames) or the test scene.
  Bitmap* MakeInput(int frame, int w, int h, float aspect, ULONG channels, char* error, int errorSize) {
    Bitmap* bm = NewBitmap(w, h, aspect);
    if (!bm) {
      SetError(error, errorSize, "not enough memory for a %dx%d image", w, h);
      return nullptr;
    }
    if (channels) bm->Storage()->CreateChannels(channels);
    if (inputProc) {
      if (inputProc(bm, frame, inputUser)) return bm;
      SetError(error, errorSize, "the input could not be painted for frame %d", frame);
    } else if (!inputFile.isNull()) {
      if (!inputCache) inputCache = ReadImage(inputFile.data());
      if (inputCache && bm->Storage()->CopyImage(inputCache, COPY_IMAGE_RESIZE, BMM_Color_64{0, 0, 0, 0})) return bm;
      SetError(error, errorSize, "cannot read the input image %s", inputFile.data());
    } else if (RenderTestScene(bm, frame)) {
      return bm;
    }
    bm->DeleteThis();
    return nullptr;
  }

  int RenderSteps(const std::vector<Step>& steps, int frame, int w, int h, float aspect, Bitmap** out,
                  Bitmap** second, HWND hWnd, char* error, int errorSize) {
    ULONG channels = 0;
    bool compositor = second != nullptr;
    for (const Step& s : steps)
      if (s.filter) {
        channels |= s.filter->ChannelsRequired();
        compositor = compositor || (s.filter->Capability() & IMGFLT_COMPOSITOR);
      }
    int total = (int)steps.size() + 1;
    Bitmap* bm = MakeInput(frame, w, h, aspect, channels, error, errorSize);
    if (!bm) return 0;
    // A compositor's second input: the queue's input as it came, before any event.
    Bitmap* fg = nullptr;
    if (compositor) {
      fg = NewBitmap(w, h, aspect);
      if (fg) fg->Storage()->CopyImage(bm, COPY_IMAGE_CROP, BMM_Color_64{0, 0, 0, 0});
    }
    Progress(hWnd, 1, total);
    int done = 1;
    for (const Step& s : steps) {
      if (AbortAsked(hWnd)) {
        SetError(error, errorSize, "stopped at frame %d", frame);
        return Discard(bm, fg);
      }
      if (!s.filter) {
        SetError(error, errorSize, "the filter of event %d (%s) is not available", s.event + 1, EventName(s.event));
        return Discard(bm, fg);
      }
      ImageFilterInfo saved = *s.filter->FilterInfo();
      ImageFilterInfo info = saved;
      info.width = w;
      info.height = h;
      info.aspect = aspect;
      info.frame = frame;
      s.filter->SetFilterInfo(&info);
      s.filter->SetSource(bm);
      s.filter->SetForeground((s.filter->Capability() & IMGFLT_COMPOSITOR) ? fg : nullptr);
      Bitmap* mask = nullptr;
      if (s.event >= 0 && !events[s.event]->mask.isNull() && (s.filter->Capability() & IMGFLT_MASK)) {
        mask = FittedMask(events[s.event], w, h, aspect);
        if (!mask) {
          SetError(error, errorSize, "cannot read the mask image %s of event %d (%s)", events[s.event]->mask.data(),
                   s.event + 1, EventName(s.event));
          s.filter->SetSource(nullptr);
          s.filter->SetForeground(nullptr);
          saved.frame = frame;
          s.filter->SetFilterInfo(&saved);
          return Discard(bm, fg);
        }
      }
      s.filter->SetMask(mask);
      BOOL ok = s.filter->Render(hWnd);
      s.filter->SetSource(nullptr);
      s.filter->SetForeground(nullptr);
      s.filter->SetMask(nullptr);
      if (mask) mask->DeleteThis();
      // The filter's information describes the queue's output again, whatever size was rendered.
      saved.frame = frame;
      s.filter->SetFilterInfo(&saved);
      if (!ok) {
        SetError(error, errorSize, "event %d (%s) failed at frame %d", s.event + 1,
                 s.event >= 0 ? EventName(s.event) : s.filter->Description(), frame);
        return Discard(bm, fg);
      }
      Progress(hWnd, ++done, total);
    }
    if (AbortAsked(hWnd)) {
      SetError(error, errorSize, "stopped at frame %d", frame);
      return Discard(bm, fg);
    }
    *out = bm;
    if (second)
      *second = fg;
    else if (fg)
      fg->DeleteThis();
    return 1;
  }

  static int Discard(Bitmap* bm, Bitmap* fg) {
    if (bm) bm->DeleteThis();
    if (fg) fg->DeleteThis();
    return 0;
  }

  static int Abandon(const std::vector<std::string>& written, int result) {
    for (const std::string& f : written) DeleteFileA(f.c_str());
    return result;
  }

  // ---- Saving ----
  static IOResult Chunk(ISave* isave, USHORT id, const void* data, ULONG n) {
    isave->BeginChunk(id);
    IOResult r = n ? isave->Write(data, n, nullptr) : IO_OK;
    isave->EndChunk();
    return r;
  }
  static IOResult StringChunk(ISave* isave, USHORT id, const char* s) {
    isave->BeginChunk(id);
    IOResult r = isave->WriteCString(s);
    isave->EndChunk();
    return r;
  }

  IOResult SaveEvent(ISave* isave, Event* e) {
    std::vector<unsigned char> config = e->config;
    if (e->filter) {
      DWORD n = e->filter->EvaluateConfigure();
      if (n > kMaxConfig) return IO_ERROR;
      config.assign(n, 0);
      if (n && !e->filter->SaveConfigure(config.data())) return IO_ERROR;
    }
    unsigned char id[8], flags[4];
    PutU32(id, e->cid.PartA());
    PutU32(id + 4, e->cid.PartB());
    PutU32(flags, e->enabled ? kEventEnabled : 0);
    isave->BeginChunk(kEventChunk);
    IOResult r = Chunk(isave, kEventClass, id, 8);
    if (r == IO_OK) r = StringChunk(isave, kEventLabel, e->label.data());
    if (r == IO_OK) r = Chunk(isave, kEventFlags, flags, 4);
    if (r == IO_OK) r = Chunk(isave, kEventConfig, config.data(), (ULONG)config.size());
    if (r == IO_OK && !e->mask.isNull()) r = StringChunk(isave, kEventMask, e->mask.data());
    isave->EndChunk();
    return r;
  }

  static bool ReadExact(ILoad* iload, void* buf, ULONG n) {
    ULONG got = 0;
    return iload->CurChunkLength() == n && iload->Read(buf, n, &got) == IO_OK && got == n;
  }

  bool LoadEvent(ILoad* iload) {
    Event* e = new Event;
    bool haveClass = false, ok = true;
    IOResult r = IO_OK;
    while (ok && (r = iload->OpenChunk()) == IO_OK) {
      unsigned char buf[8];
      char* text = nullptr;
      switch (iload->CurChunkID()) {
        case kEventClass:
          ok = haveClass = ReadExact(iload, buf, 8);
          e->cid = Class_ID(GetU32(buf), GetU32(buf + 4));
          break;
        case kEventLabel:
          ok = iload->ReadCStringChunk(&text) == IO_OK;
          if (ok) e->label = text;
          break;
        case kEventMask:
          ok = iload->ReadCStringChunk(&text) == IO_OK;
          if (ok) e->mask = text;
          break;
        case kEventFlags:
          ok = ReadExact(iload, buf, 4);
          e->enabled = (GetU32(buf) & kEventEnabled) ? TRUE : FALSE;
          break;
        case kEventConfig: {
          ULONG n = iload->CurChunkLength(), got = 0;
          ok = n <= kMaxConfig;
          if (ok) e->config.resize(n);
          ok = ok && (n == 0 || (iload->Read(e->config.data(), n, &got) == IO_OK && got == n));
          break;
        }
      }
      if (ok) iload->CloseChunk();
    }
    if (!ok || r != IO_END || !haveClass) {
      delete e;
      return false;
    }
    // A filter whose class is not here keeps its event and data for a host that has it.
    e->filter = NewFilter(e->cid);
    if (e->filter) {
      GiveInfo(e);
      if (e->filter->LoadConfigure(e->config.empty() ? nullptr : e->config.data())) {
        e->config.clear();
      } else {  // a block this version refuses is kept as it was, like one of a missing class
        delete e->filter;
        e->filter = nullptr;
      }
    }
    events.push_back(e);
    return true;
  }

  ImageFilterInfo output = {640, 480, 1.0f, 0, 0, 0};
  CStr inputFile;
  PostlineInputProc inputProc = nullptr;
  void* inputUser = nullptr;
  Bitmap* inputCache = nullptr;
  std::vector<Event*> events;
  CStr missingName;
  // Entered again by the thread that holds it: the queue's changes call each other (loading sets
  // the output, adding an event makes its reference).
  CRITICAL_SECTION lock;
};

class PostlineDesc : public ClassDesc {
 public:
  int IsPublic() override { return 0; }
  void* Create(BOOL) override { return static_cast<Animatable*>(new PostlineQueue); }
  const char* ClassName() override { return "Postline"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return kPostlineClassID; }
  const char* Category() override { return ""; }
} postlineDesc;
struct Registration {
  Registration() { RegisterBuiltinClass(&postlineDesc); }
} registration;

// The first preview may ask for the queue on a preview window's worker while the interface thread
// asks too: the scene gets one queue, made under this lock (set up as the module loads).
struct CreationLock {
  CreationLock() { InitializeCriticalSection(&cs); }
  ~CreationLock() { DeleteCriticalSection(&cs); }
  CRITICAL_SECTION cs;
} creationLock;

PostlineQueue* Queue() {
  INode* root = GetCOREInterface()->GetRootNode();
  CsLock hold(creationLock.cs);
  auto* q = dynamic_cast<PostlineQueue*>(root->GetObjectRef());
  if (!q) {
    q = new PostlineQueue;
    root->SetObjectRef(q);
  }
  return q;
}

}  // namespace

IPostline* GetPostline() { return Queue(); }

void SyncPostlineNodes() {
  INode* root = GetCOREInterface()->GetRootNode();
  if (auto* q = dynamic_cast<PostlineQueue*>(root->GetObjectRef())) q->SyncNodes();
}

BOOL ImageFilter::CreatePreview(HWND hWnd, Bitmap** out, TimeValue t, int width, int height, float aspect,
                                Bitmap** second, DWORD type) {
  return Queue()->Preview(this, hWnd, out, t, width, height, aspect, second, type);
}

// ---- The test scene ------------------------------------------------------------------------------

int RenderTestScene(Bitmap* bm, int frame) {
  if (!bm) return 0;
  const int w = bm->Width(), h = bm->Height();
  const float horizon = 0.45f * h;
  // The ball rolls from left to right once every 30 frames.
  float phase = fmodf(frame / 30.0f, 1.0f);
  if (phase < 0) phase += 1.0f;
  const float radius = 0.14f * h, cx = w * (0.2f + 0.6f * phase), cy = 0.68f * h;
  const float light[3] = {-0.45f, -0.6f, 0.66f};
  float* depth = static_cast<float*>(bm->Storage()->GetChannel(BMM_CHAN_Z));
  BYTE* coverage = static_cast<BYTE*>(bm->Storage()->GetChannel(BMM_CHAN_COVERAGE));
  std::vector<BMM_Color_64> row((size_t)w);
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      float r, g, b, z;
      if (y < horizon) {  // sky: deep blue at the top to haze at the horizon
        float s = y / horizon;
        r = 0.25f + 0.6f * s;
        g = 0.45f + 0.45f * s;
        b = 0.85f + 0.1f * s;
        z = 1e30f;
      } else {  // a checker floor in perspective, fading into the haze
        float d = (y - horizon + 1.0f) / (h - horizon);
        z = 1.0f / d;
        float u = (x - 0.5f * w) / h * z * 4.0f, v = z * 2.0f;
        int check = ((int)floorf(u) + (int)floorf(v)) & 1;
        float base = check ? 0.9f : 0.3f, fade = 1.0f / (1.0f + 0.08f * z);
        r = base * fade + 0.85f * (1 - fade);
        g = base * fade + 0.9f * (1 - fade);
        b = base * fade + 0.95f * (1 - fade);
      }
      float dx = (x - cx) / radius, dy = (y - cy) / radius, dd = dx * dx + dy * dy;
      if (dd <= 1.0f) {  // an orange ball, lit from the upper left
        float nz = sqrtf(1.0f - dd);
        float lambert = dx * light[0] + dy * light[1] + nz * light[2];
        float shade = 0.15f + 0.85f * (lambert > 0 ? lambert : 0);
        r = 1.0f * shade;
        g = 0.55f * shade;
        b = 0.15f * shade;
        z = 2.0f - nz;
      }
      row[x] = BMM_Color_64{(WORD)(r * 65535.0f), (WORD)(g * 65535.0f), (WORD)(b * 65535.0f), 65535};
      if (depth) depth[(size_t)y * w + x] = z;
      if (coverage) coverage[(size_t)y * w + x] = 255;
    }
    bm->PutPixels(0, y, w, row.data());
  }
  return 1;
}
