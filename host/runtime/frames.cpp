// The main window's furniture: its menu bar, tool bar and prompt line, the frame manager that
// names them, and the keyboard accelerators with their nesting switch.
#include "interface.h"
#include "postlineui.h"

#include <commctrl.h>
#include <string.h>

#include <initializer_list>

namespace {

// Commands of the menu bar and of the accelerators.
enum Command : UINT {
  kCmdNew = 40001,
  kCmdOpen,
  kCmdSave,
  kCmdSaveAs,
  kCmdExit,
  kCmdUndo,
  kCmdRedo,
  kCmdHold,
  kCmdFetch,
  kCmdDelete,
  kCmdAbout,
  kCmdPostline,
};

// Child-window ids of the frames that are child windows of the main window.
const int kToolbarId = 0xE800;
const int kPromptLineId = 0xE801;

int disableCount = 0;  // unmatched DisableAccelerators calls

HACCEL Accelerators() {
  static HACCEL table = [] {
    ACCEL keys[] = {
        {FVIRTKEY | FCONTROL, 'N', kCmdNew},    {FVIRTKEY | FCONTROL, 'O', kCmdOpen},
        {FVIRTKEY | FCONTROL, 'S', kCmdSave},   {FVIRTKEY | FCONTROL, 'Z', kCmdUndo},
        {FVIRTKEY | FCONTROL, 'Y', kCmdRedo},   {FVIRTKEY | FCONTROL, 'H', kCmdHold},
        {FVIRTKEY | FCONTROL | FALT, 'F', kCmdFetch},
        // A key that text fields use too: why dialogs with edits switch the accelerators off.
        {FVIRTKEY, VK_DELETE, kCmdDelete},
    };
    return CreateAcceleratorTableA(keys, (int)(sizeof keys / sizeof keys[0]));
  }();
  return table;
}

HMENU Popup(const char* const* items, const UINT* ids, int count) {
  HMENU m = CreatePopupMenu();
  for (int i = 0; i < count; i++) {
    if (ids[i])
      AppendMenuA(m, MF_STRING, ids[i], items[i]);
    else
      AppendMenuA(m, MF_SEPARATOR, 0, nullptr);
  }
  return m;
}

// One frame; child-window frames find their window by id each time, so that no handle outlives
// the main window.
class Frame : public ICUIFrame {
 public:
  Frame(const char* n, CUIFrameKind k, int id) : name(n), kind(k), childId(id) {}
  const char* GetName() override { return name; }
  int GetContentType() override { return kind; }
  HWND GetHwnd() override {
    HWND main = ExistingMainWindow();
    if (!main) return nullptr;
    return childId ? GetDlgItem(main, childId) : main;
  }

 private:
  const char* name;
  CUIFrameKind kind;
  int childId;  // 0: the main window itself
};

class FrameManager : public CUIFrameMgr {
 public:
  int GetCount() override { return kCount; }
  ICUIFrame* GetICUIFrame(int i) override { return i >= 0 && i < kCount ? &frames[i] : nullptr; }
  ICUIFrame* GetICUIFrame(const char* name) override {
    if (!name) return nullptr;
    for (Frame& f : frames)
      if (strcmp(f.GetName(), name) == 0) return &f;
    return nullptr;
  }

 private:
  static const int kCount = 3;
  Frame frames[kCount] = {{"Main Toolbar", CUI_FRAME_TOOLBAR, kToolbarId},
                          {"Menu Bar", CUI_FRAME_MENU, 0},
                          {"Prompt Line", CUI_FRAME_WINDOW, kPromptLineId}};
};

}  // namespace

HMENU CreateMainMenuBar() {
  static const char* const fileItems[] = {"&New\tCtrl+N", "&Open...\tCtrl+O", "&Save\tCtrl+S", "Save &As...", "",
                                          "E&xit"};
  static const UINT fileIds[] = {kCmdNew, kCmdOpen, kCmdSave, kCmdSaveAs, 0, kCmdExit};
  static const char* const editItems[] = {"&Undo\tCtrl+Z", "&Redo\tCtrl+Y", "", "&Hold\tCtrl+H",
                                          "&Fetch\tAlt+Ctrl+F", "&Delete\tDel"};
  static const UINT editIds[] = {kCmdUndo, kCmdRedo, 0, kCmdHold, kCmdFetch, kCmdDelete};
  static const char* const renderItems[] = {"Video &Postline..."};
  static const UINT renderIds[] = {kCmdPostline};
  static const char* const helpItems[] = {"&About Vantor..."};
  static const UINT helpIds[] = {kCmdAbout};
  HMENU bar = CreateMenu();
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)Popup(fileItems, fileIds, 6), "&File");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)Popup(editItems, editIds, 6), "&Edit");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)Popup(renderItems, renderIds, 1), "&Rendering");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)Popup(helpItems, helpIds, 1), "&Help");
  return bar;
}

void CreateMainFrames(HWND main) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  HINSTANCE inst = (HINSTANCE)GetWindowLongPtrA(main, GWLP_HINSTANCE);
  CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr, WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT, 0, 0, 0, 0, main,
                  (HMENU)(INT_PTR)kToolbarId, inst, nullptr);
  CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, main, (HMENU)(INT_PTR)kPromptLineId,
                  inst, nullptr);
}

void LayOutMainFrames(HWND main) {
  for (int id : {kToolbarId, kPromptLineId})
    if (HWND w = GetDlgItem(main, id)) SendMessageA(w, WM_SIZE, 0, 0);  // both fit themselves to the parent
}

bool HandleMainCommand(UINT id) {
  if (id == kCmdPostline) {
    ShowPostlineWindow();
    return true;
  }
  if (id != kCmdExit) return false;
  HostExit();
  return true;
}

void EnablePostlineCommand(BOOL on) {
  HWND main = ExistingMainWindow();
  HMENU bar = main ? GetMenu(main) : nullptr;
  if (!bar) return;
  EnableMenuItem(bar, kCmdPostline, MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
  DrawMenuBar(main);
}

bool TranslateHostAccelerator(HWND main, MSG* msg) {
  if (disableCount > 0 || !main) return false;
  return TranslateAcceleratorA(main, Accelerators(), msg) != 0;
}

void DisableAccelerators() { disableCount++; }

void EnableAccelerators() {
  if (disableCount > 0) disableCount--;
}

int GetAcceleratorsDisableCount() { return disableCount; }

CUIFrameMgr* GetCUIFrameMgr() {
  static FrameManager manager;
  GetCOREInterface()->GetMainHWnd();
  return &manager;
}
