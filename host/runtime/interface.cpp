// The interface object: the host application's state as plug-ins see it.
#include "interface.h"

#include "custctrl.h"
#include "vhold.h"
#include "vscene.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

std::string ExeFolder() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string s(path, n);
  size_t slash = s.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : s.substr(0, slash);
}

BOOL saveRequired = FALSE;

const char kMainClass[] = "VantorMainWindow";

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) {
    HostExit();
    return 0;
  }
  if (msg == WM_SIZE) LayOutMainFrames(hwnd);
  if (msg == WM_COMMAND && HandleMainCommand(LOWORD(wp))) return 0;
  return DefWindowProcA(hwnd, msg, wp, lp);
}

template <class T>
void Remove(std::vector<T>& v, T item) {
  for (size_t i = 0; i < v.size(); i++)
    if (v[i] == item) {
      v.erase(v.begin() + i);
      return;
    }
}

class CoreInterface : public Interface {
 public:
  CoreInterface() {
    std::string base = ExeFolder();
    dirs[APP_PLUGCFG_DIR] = base + "\\plugcfg";
    dirs[APP_SCENE_DIR] = base + "\\scenes";
    dirs[APP_IMAGE_DIR] = base + "\\images";
    char tmp[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, tmp);
    dirs[APP_TEMP_DIR] = n ? std::string(tmp, n) : base;
  }

  TimeValue GetTime() override { return time; }
  void SetTime(TimeValue t, BOOL) override {
    if (t == time) return;
    time = t;
    // A callback may unregister itself while being told: walk a copy.
    std::vector<TimeChangeCallback*> told = timeCallbacks;
    for (TimeChangeCallback* cb : told)
      if (IsRegistered(timeCallbacks, cb)) cb->TimeChanged(t);
  }

  HWND GetMainHWnd() override {
    if (!mainWnd && !quitting) {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = MainWndProc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = kMainClass;
      wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
      wc.hbrBackground = (HBRUSH)(COLOR_APPWORKSPACE + 1);  // the workspace behind the host's windows
      RegisterClassA(&wc);
      mainWnd = CreateWindowA(kMainClass, "Vantor", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600,
                              nullptr, CreateMainMenuBar(), wc.hInstance, nullptr);
      if (mainWnd) CreateMainFrames(mainWnd);
    }
    return mainWnd;
  }

  const char* GetDir(int which) override { return which >= 0 && which < APP_NUM_DIRS ? dirs[which].c_str() : ""; }

  INode* GetRootNode() override {
    if (!root) root = new INode;
    return root;
  }
  INode* GetINodeByName(const char* name) override { return name ? FindNode(GetRootNode(), name) : nullptr; }

  void RegisterDlgWnd(HWND hDlg) override {
    if (hDlg && !IsDlgWndRegistered(hDlg)) dialogs.push_back(hDlg);
  }
  int UnRegisterDlgWnd(HWND hDlg) override {
    if (!IsDlgWndRegistered(hDlg)) return 0;
    Remove(dialogs, hDlg);
    return 1;
  }
  BOOL IsDlgWndRegistered(HWND hDlg) override { return IsRegistered(dialogs, hDlg); }

  void RegisterTimeChangeCallback(TimeChangeCallback* tc) override {
    if (tc && !IsRegistered(timeCallbacks, tc)) timeCallbacks.push_back(tc);
  }
  void UnRegisterTimeChangeCallback(TimeChangeCallback* tc) override { Remove(timeCallbacks, tc); }
  void RegisterExitVANTORCallback(ExitVANTORCallback* cb) override {
    if (cb && !IsRegistered(exitCallbacks, cb)) exitCallbacks.push_back(cb);
  }
  void UnRegisterExitVANTORCallback(ExitVANTORCallback* cb) override { Remove(exitCallbacks, cb); }

  int ProcessMessages() override {
    MSG msg;
    while (!quitting && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quitting = true;
        PostQuitMessage((int)msg.wParam);  // left for the application's own loop
        break;
      }
      if (TranslateHostAccelerator(mainWnd, &msg)) continue;
      if (IsDialogMessageOfRegistered(&msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    return quitting ? 0 : 1;
  }

  BOOL DoHitByNameDialog(HitByNameDlgCallback* cb) override { return RunHitByNameDialog(cb, GetRootNode()); }

  void PushPrompt(const char* s) override { prompts.push_back(s ? s : ""); }
  void PopPrompt() override {
    if (!prompts.empty()) prompts.pop_back();
  }
  void ReplacePrompt(const char* s) override {
    if (prompts.empty())
      PushPrompt(s);
    else
      prompts.back() = s ? s : "";
  }
  void DisplayTempPrompt(const char* s, int msec) override {
    tempPrompt = s ? s : "";
    tempUntil = GetTickCount() + (DWORD)(msec > 0 ? msec : 0);
    hasTemp = true;
  }
  void RemoveTempPrompt() override { hasTemp = false; }
  const char* GetPrompt() override {
    if (hasTemp && (LONG)(GetTickCount() - tempUntil) < 0) return tempPrompt.c_str();
    hasTemp = false;
    return prompts.empty() ? "" : prompts.back().c_str();
  }

  BOOL Undo() override { return theHold.Undo(); }
  BOOL Redo() override { return theHold.Redo(); }

  int CommitPendingEdits() override {
    int finished = custctrl::CommitFocusedEdit() ? 1 : 0;
    return finished + (custctrl::EndCapturedSpinnerGesture() ? 1 : 0);
  }

  BOOL Exit() {
    HWND owner = GetMainHWnd();
    std::vector<ExitVANTORCallback*> asked = exitCallbacks;
    for (ExitVANTORCallback* cb : asked)
      if (IsRegistered(exitCallbacks, cb) && !cb->Exit(owner)) return FALSE;
    std::vector<HWND> open = dialogs;
    for (HWND d : open) {
      if (IsWindow(d)) SendMessageA(d, WM_CLOSE, 0, 0);
      if (IsWindow(d)) DestroyWindow(d);  // a dialog that ignores WM_CLOSE goes all the same
    }
    dialogs.clear();
    quitting = true;
    if (mainWnd) {
      HWND w = mainWnd;
      mainWnd = nullptr;
      DestroyWindow(w);
    }
    PostQuitMessage(0);
    return TRUE;
  }

  HWND ExistingMainWindow() { return mainWnd; }
  int TimeCallbackCount() const { return (int)timeCallbacks.size(); }
  int ExitCallbackCount() const { return (int)exitCallbacks.size(); }

  // Replaces the scene root (the old one goes with everything only it referenced).
  void SetRoot(INode* r) {
    INode* old = root;
    root = r;
    if (old) old->DeleteMe();
  }

 private:
  template <class T>
  static bool IsRegistered(const std::vector<T>& v, T item) {
    for (const T& x : v)
      if (x == item) return true;
    return false;
  }

  bool IsDialogMessageOfRegistered(MSG* msg) {
    for (HWND d : dialogs)
      if (IsWindow(d) && IsDialogMessageA(d, msg)) return true;
    return false;
  }

  static INode* FindNode(INode* n, const char* name) {
    for (int i = 0; i < n->NumberOfChildren(); i++) {
      INode* c = n->GetChildNode(i);
      if (!c) continue;
      if (strcmp(c->GetName(), name) == 0) return c;
      if (INode* deeper = FindNode(c, name)) return deeper;
    }
    return nullptr;
  }

  TimeValue time = 0;
  HWND mainWnd = nullptr;
  bool quitting = false;
  std::string dirs[APP_NUM_DIRS];
  INode* root = nullptr;
  std::vector<HWND> dialogs;
  std::vector<TimeChangeCallback*> timeCallbacks;
  std::vector<ExitVANTORCallback*> exitCallbacks;
  std::vector<std::string> prompts;
  std::string tempPrompt;
  DWORD tempUntil = 0;
  bool hasTemp = false;
};

CoreInterface& Core() {
  static CoreInterface core;
  return core;
}

}  // namespace

Interface* GetCOREInterface() { return &Core(); }
int GetTimeChangeCallbackCount() { return Core().TimeCallbackCount(); }
int GetExitCallbackCount() { return Core().ExitCallbackCount(); }

void SetSceneRoot(INode* root) { Core().SetRoot(root); }

HWND ExistingMainWindow() { return Core().ExistingMainWindow(); }

void SetSaveRequiredFlag(BOOL require) { saveRequired = require ? TRUE : FALSE; }
BOOL GetSaveRequiredFlag() { return saveRequired; }
BOOL HostExit() { return Core().Exit(); }
