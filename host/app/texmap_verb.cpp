// vantor.exe's texmap verb: loads a plug-in module, makes one of its texture maps and opens the
// map's parameter editor in the host's material editor, until the user closes it.
#include "texmap_verb.h"

#include "app_util.h"

#include "vantor.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const UINT kRetryMs = 100;   // a close or press that has to wait tries again after so long

struct TexmapArgs {
  const char* module = nullptr;
  const char* cls = nullptr;
  int page = -1;      // the tab page to show; -1: the editor's own choice
  int press = 0;      // a button to press once the editor is open; 0: none
  UINT closeMs = 0;   // close the editor after so long; 0: the user closes it
};

// A whole decimal number in 0..max; -1 otherwise.
long WholeNumber(const char* s, long max) {
  if (!s || *s < '0' || *s > '9') return -1;
  char* stop = nullptr;
  long v = strtol(s, &stop, 10);
  return *stop || v > max ? -1 : v;
}

int ParseTexmapArgs(int argc, char** argv, TexmapArgs* a) {
  const long kMaxId = 65535, kMaxMs = 24L * 3600 * 1000, kMaxPage = 1000;
  int positional = 0;
  for (int i = 0; i < argc; i++) {
    const char* arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long n = -1;
    if (strcmp(arg, "--page") == 0 && value) {
      if ((n = WholeNumber(value, kMaxPage)) < 0) return Fail("bad page '%s' (expected 0, 1, ...)", value);
      a->page = (int)n, i++;
    } else if (strcmp(arg, "--press") == 0 && value) {
      if ((n = WholeNumber(value, kMaxId)) < 1) return Fail("bad control id '%s' (expected 1..65535)", value);
      a->press = (int)n, i++;
    } else if (strcmp(arg, "--close") == 0 && value) {
      if ((n = WholeNumber(value, kMaxMs)) < 1) return Fail("bad time '%s' (expected milliseconds above 0)", value);
      a->closeMs = (UINT)n, i++;
    } else if (int bad = TakeModuleAndClass(arg, &positional, &a->module, &a->cls)) {
      return bad;
    }
  }
  if (!a->module || !a->cls) return Fail("%s", "texmap needs a module and a class");
  return 0;
}

// Picks tab page of the editor's first tab control as a click on its tab does: the control
// tells its parent that the selection is changing, changes it, and tells that it changed.
bool ShowPage(HWND editor, int page) {
  HWND tab = FindWindowExA(editor, nullptr, WC_TABCONTROLA, nullptr);
  if (!tab || page >= (int)SendMessageA(tab, TCM_GETITEMCOUNT, 0, 0)) return false;
  HWND parent = GetParent(tab);
  NMHDR hdr = {tab, (UINT_PTR)GetDlgCtrlID(tab), (UINT)TCN_SELCHANGING};
  SendMessageA(parent, WM_NOTIFY, hdr.idFrom, (LPARAM)&hdr);
  SendMessageA(tab, TCM_SETCURSEL, (WPARAM)page, 0);
  hdr.code = (UINT)TCN_SELCHANGE;
  SendMessageA(parent, WM_NOTIFY, hdr.idFrom, (LPARAM)&hdr);
  return true;
}

HWND editor = nullptr;
int pressId = 0;
UINT_PTR pressTimer = 0;  // thread timers: the system picks their ids

// The timers run on the editor's thread. While the editor is disabled (a long operation of the
// map runs under its own progress window) they wait, so neither interrupts the operation.
void CALLBACK EditorTimer(HWND, UINT, UINT_PTR id, DWORD) {
  if (!IsWindow(editor)) return;
  if (!IsWindowEnabled(editor)) {
    SetTimer(nullptr, id, kRetryMs, EditorTimer);
    return;
  }
  KillTimer(nullptr, id);
  if (id == pressTimer) {
    PostMessageA(editor, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), (LPARAM)GetDlgItem(editor, pressId));
  } else {
    PostMessageA(editor, WM_COMMAND, IDOK, 0);
  }
}

}  // namespace

// texmap MODULE CLASS [--page N] [--press ID] [--close ms]
int TexmapVerb(int argc, char** argv) {
  TexmapArgs a;
  if (int bad = ParseTexmapArgs(argc, argv, &a)) return bad;
  // The host's start-up: the plug-ins beside it (the library among them), then the module named.
  LoadPlugins(ExeFolder());
  HMODULE module = LoadModuleReporting(a.module);
  if (!module) return 1;
  std::string why;
  ClassDesc* cd = FindModuleClass(module, a.cls, TEXMAP_CLASS_ID, "a texture map", &why);
  if (!cd) return Fail("%s: %s", a.module, why.c_str());
  Texmap* map = dynamic_cast<Texmap*>(static_cast<Animatable*>(CreateInstance(TEXMAP_CLASS_ID, cd->ClassID())));
  if (!map) return Fail("the texture map %s could not be made", a.cls);
  // The material editor holds the map; the map's panel finds it as its owner, and through it
  // the editor's IMtlParams and its map browser for sub-textures.
  HWND mtlEditor = CreateMtlEditor(map);
  if (!mtlEditor) {
    map->DeleteMe();
    return Fail("%s", "the material editor could not be opened");
  }

  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  editor = OpenMtlEditorPanel(mtlEditor);
  if (!editor) {
    DestroyWindow(mtlEditor);
    return Fail("the texture map %s has no parameter editor", a.cls);
  }
  if (a.page >= 0 && !ShowPage(editor, a.page)) fprintf(stderr, "vantor: the editor has no tab page %d\n", a.page);
  SetForegroundWindow(editor);  // started from a console, the editor would open inactive
  char title[256] = "";
  GetWindowTextA(editor, title, sizeof title);
  printf("texmap: editing %s in \"%s\"\n", cd->ClassName(), title);
  fflush(stdout);
  if (a.press) {
    pressId = a.press;
    pressTimer = SetTimer(nullptr, 0, kRetryMs, EditorTimer);
  }
  if (a.closeMs) SetTimer(nullptr, 0, a.closeMs, EditorTimer);

  Interface* ip = GetCOREInterface();
  while (IsWindow(editor)) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, INFINITE, QS_ALLINPUT);
    if (!ip->ProcessMessages()) break;
  }
  bool closed = !IsWindow(editor);
  DestroyWindow(mtlEditor);  // releases the map
  printf("texmap: %s\n", closed ? "editor closed" : "quit");
  return closed ? 0 : 1;
}
