// vantor.exe's Postline verbs: running one image filter over an image or the library's default
// background from the command line, and the interactive queue.
#include "postline_verbs.h"

#include "app_util.h"

#include "vantor.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const int kDefaultWidth = 640;
const int kDefaultHeight = 480;
const int kMaxSide = 65535;

// The library's default background, found in the library module by its exported name: the host
// includes no library header. It fills a host bitmap.
typedef int (*FillDefaultProc)(Bitmap*);
const char kFillDefaultExport[] = "_Z12JFillDefaultP6Bitmap";

bool ParseFrames(const char* s, int* first, int* last) {
  const long kMaxFrame = 1000000;
  const char* p = nullptr;
  long a = ParseWholeNumber(s, &p, kMaxFrame);
  if (a < 0) return false;
  long b = a;
  if (*p == '-') b = ParseWholeNumber(p + 1, &p, kMaxFrame);
  if (b < a || *p) return false;
  *first = (int)a;
  *last = (int)b;
  return true;
}

int FillDefault(Bitmap* bm, int, void* user) { return reinterpret_cast<FillDefaultProc>(user)(bm); }

int TellFrame(int frame, int index, int count, void*) {
  printf("frame %d of %d (frame number %d)\n", index + 1, count, frame);
  fflush(stdout);
  return 1;
}

struct FilterArgs {
  const char* module = nullptr;
  const char* cls = nullptr;
  const char* in = nullptr;
  bool useDefault = false;
  const char* out = nullptr;
  const char* settings = nullptr;
  const char* mask = nullptr;
  int first = 0, last = 0;
  int width = 0, height = 0;  // 0: from the input
};

int ParseFilterArgs(int argc, char** argv, FilterArgs* a) {
  int positional = 0;
  for (int i = 0; i < argc; i++) {
    const char* arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (strcmp(arg, "--default") == 0) {
      a->useDefault = true;
    } else if (strcmp(arg, "--in") == 0 && hasValue) {
      a->in = argv[++i];
    } else if (strcmp(arg, "--out") == 0 && hasValue) {
      a->out = argv[++i];
    } else if (strcmp(arg, "--settings") == 0 && hasValue) {
      a->settings = argv[++i];
    } else if (strcmp(arg, "--mask") == 0 && hasValue) {
      a->mask = argv[++i];
    } else if (strcmp(arg, "--frames") == 0 && hasValue) {
      if (!ParseFrames(argv[++i], &a->first, &a->last)) return Fail("bad frame range '%s' (expected A or A-B, A <= B)", argv[i]);
    } else if (strcmp(arg, "--size") == 0 && hasValue) {
      if (!ParseSize(argv[++i], &a->width, &a->height)) return Fail("bad size '%s' (expected WxH)", argv[i]);
      if (a->width < 1 || a->height < 1 || a->width > kMaxSide || a->height > kMaxSide)
        return Fail("size '%s' out of range: width and height must be 1..65535", argv[i]);
    } else if (int bad = TakeModuleAndClass(arg, &positional, &a->module, &a->cls)) {
      return bad;
    }
  }
  if (!a->module || !a->cls) return Fail("%s", "filter needs a module and a class");
  if (!a->out) return Fail("%s", "filter needs --out FILE");
  if ((a->in != nullptr) == a->useDefault) return Fail("%s", "filter needs exactly one of --in IMAGE and --default");
  return 0;
}

}  // namespace

// filter MODULE CLASS (--in IMAGE | --default) --out FILE [--settings FILE] [--mask IMAGE] [--frames A-B]
// [--size WxH]
int FilterVerb(int argc, char** argv) {
  FilterArgs a;
  if (int bad = ParseFilterArgs(argc, argv, &a)) return bad;
  ReportAssertionsOnStderr();
  // The host's start-up: the library first, whichever input the run has.
  HMODULE lib = LoadLibraryPlugin();
  IPostline* q = GetPostline();
  int width = a.width, height = a.height;
  if (a.in) {
    BitmapInfo bi;
    bi.SetName(a.in);
    TheManager->SetSilentMode(TRUE);
    Bitmap* probe = TheManager->Load(&bi);
    if (!probe) return Fail("cannot read the input image %s", a.in);
    if (!width) {
      width = probe->Width();
      height = probe->Height();
    }
    probe->DeleteThis();
    q->SetInputFile(a.in);
  } else {
    FillDefaultProc fill = lib ? GetProcAddressAs<FillDefaultProc>(lib, kFillDefaultExport) : nullptr;
    if (!fill) return Fail("the library's default background is not available (%s\\Quorlib.dlz)", ExeFolder().c_str());
    q->SetInputProc(FillDefault, reinterpret_cast<void*>(fill));
    if (!width) {
      width = kDefaultWidth;
      height = kDefaultHeight;
    }
  }
  q->SetOutput(width, height, 1.0f);

  HMODULE module = LoadModuleReporting(a.module);
  if (!module) return 1;
  std::string why;
  ClassDesc* cd = FindModuleClass(module, a.cls, FLT_CLASS_ID, "an image filter", &why);
  if (!cd) return Fail("%s: %s", a.module, why.c_str());
  int event = q->AddEvent(cd->ClassID());
  if (event < 0) return Fail("the filter %s could not be made", a.cls);
  if (a.settings) {
    char error[512];
    if (!LoadFilterSettings(q->GetFilter(event), cd->ClassID(), a.settings, error, sizeof error)) return Fail("%s", error);
  }
  if (a.mask) {
    if (!(q->GetFilter(event)->Capability() & IMGFLT_MASK)) return Fail("%s does not use a mask", a.cls);
    q->SetEventMask(event, a.mask);
  }
  char error[512] = "";
  if (!q->Run(a.out, a.first, a.last, TellFrame, nullptr, error, sizeof error)) return Fail("%s", error);
  printf("wrote %s: %dx%d, frames %d-%d through %s\n", a.out, width, height, a.first, a.last, cd->ClassName());
  return 0;
}

namespace {

UINT closeAfterMs = 0;

void CALLBACK CloseTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  // A modal event dialog of this thread is cancelled first, then the application quits.
  HWND dlg = GetForegroundWindow();
  if (dlg && GetWindowThreadProcessId(dlg, nullptr) == GetCurrentThreadId()) {
    char cls[16] = "";
    GetClassNameA(dlg, cls, sizeof cls);
    if (strcmp(cls, "#32770") == 0 && GetWindow(dlg, GW_OWNER) != GetCOREInterface()->GetMainHWnd())
      PostMessageA(dlg, WM_COMMAND, IDCANCEL, 0);
  }
  PostMessageA(GetCOREInterface()->GetMainHWnd(), WM_CLOSE, 0, 0);
}

// Presses the Setup button of the event dialog in front, once it is up.
void CALLBACK PressSetup(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dlg = GetForegroundWindow();
  if (!dlg || GetWindowThreadProcessId(dlg, nullptr) != GetCurrentThreadId()) return;  // not yet: next tick
  KillTimer(nullptr, id);
  if (HWND setup = FindWindowExA(dlg, nullptr, "Button", "Setup..."))
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(setup), BN_CLICKED), (LPARAM)setup);
}

}  // namespace

// postline [folder] [--scene FILE] [--event CLASS]... [--add] [--setup N] [--no-main] [--close ms]:
// loads the plug-ins of the folder (and a scene), adds an event for each filter class named, opens
// the main window and the queue window, and with --add the "Add Image Filter Event" dialog over the
// queue; with --setup the edit dialog of event N (from 0) with its filter's settings opened through
// Setup; --no-main leaves the main window hidden;
// with --close the application quits after ms milliseconds.
int PostlineVerb(int argc, char** argv) {
  std::string folder = ExeFolder();
  const char* scene = nullptr;
  std::vector<const char*> events;
  bool add = false;
  int setup = -1;
  bool showMain = true;
  for (int i = 0; i < argc; i++) {
    if (strcmp(argv[i], "--scene") == 0 && i + 1 < argc)
      scene = argv[++i];
    else if (strcmp(argv[i], "--event") == 0 && i + 1 < argc)
      events.push_back(argv[++i]);
    else if (strcmp(argv[i], "--add") == 0)
      add = true;
    else if (strcmp(argv[i], "--no-main") == 0)
      showMain = false;
    else if (strcmp(argv[i], "--setup") == 0 && i + 1 < argc)
      setup = atoi(argv[++i]);
    else if (strcmp(argv[i], "--close") == 0 && i + 1 < argc)
      closeAfterMs = (UINT)atoi(argv[++i]);
    else
      folder = argv[i];
  }
  // The host's start-up loads the library before the plug-ins of any folder.
  LoadLibraryPlugin();
  int modules = 0;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const char* dot = strrchr(fd.cFileName, '.');
      if (dot && (_stricmp(dot, ".flt") == 0 || _stricmp(dot, ".dlz") == 0))
        modules += LoadPluginModule((folder + "\\" + fd.cFileName).c_str()) != nullptr;
    } while (FindNextFileA(h, &fd));
    FindClose(h);
  }
  if (scene && !LoadScene(scene)) return Fail("%s is not a scene this host can load", scene);
  for (const char* name : events) {
    PluginClassInfo info;
    bool found = false;
    for (int i = 0; !found && GetPluginClass(i, &info); i++)
      found = info.cd->SuperClassID() == FLT_CLASS_ID && strcmp(info.cd->ClassName(), name) == 0 &&
              GetPostline()->AddEvent(info.cd->ClassID()) >= 0;
    if (!found) return Fail("no image filter class %s is loaded", name);
  }
  InitCustomControls(GetModuleHandleA(nullptr));
  Interface* ip = GetCOREInterface();
  HWND main = ip->GetMainHWnd();
  if (!main) return Fail("%s", "the main window could not be made");
  SetWindowTextA(main, "Vantor - Postline");
  if (showMain) ShowWindow(main, SW_SHOWNORMAL);
  HWND queue = GetPostline()->ShowQueueWindow();
  if (!queue) return Fail("%s", "the queue window could not be made");
  RECT r;
  GetWindowRect(main, &r);
  SetWindowPos(queue, nullptr, r.left + 40, r.top + 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  printf("postline: ready; %d module(s), %d event(s)\n", modules, GetPostline()->NumEvents());
  fflush(stdout);
  if (closeAfterMs) SetTimer(nullptr, 0, closeAfterMs, CloseTimer);
  if (add) {
    int added = GetPostline()->DoAddEventDialog(queue);
    printf("postline: %s\n", added >= 0 ? "event added" : "no event added");
    fflush(stdout);
  }
  if (setup >= 0) {
    if (setup >= GetPostline()->NumEvents()) return Fail("the queue has no event %s", std::to_string(setup).c_str());
    const UINT kPollMs = 100;
    SetTimer(nullptr, 0, kPollMs, PressSetup);
    int accepted = GetPostline()->DoEditEventDialog(queue, setup);
    printf("postline: event %d %s\n", setup, accepted == 1 ? "accepted" : "cancelled");
    fflush(stdout);
  }
  // The host's own message processing, woken by any input (paint requests included).
  while (ip->ProcessMessages()) MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
  return 0;
}
