// The material editor behind a texture map's parameter panel: a hidden window that holds the map,
// answers the panel's request for a sub-texture with the map browser, and renders the map's sample
// when the panel says the map changed.
#include "custctrl.h"
#include "hostres.h"
#include "vantor.h"

#include <stdio.h>

#include <vector>

namespace {

const char kEditorClass[] = "VantorMtlEditor";
const char kAssignAction[] = "Assign Map";
const int kMaxTreeDepth = 64;  // deeper than any map tree; a guard should a tree loop after all
const float kSampleUV = 0.5f;  // the sample is taken in the middle of the map's texture space

// The map browser's list: "None" with no class, then the classes by item data.
struct BrowseContext {
  const char* prompt;
  ClassDesc* current;
  ClassDesc* chosen;
};

void FillBrowserList(HWND list, ClassDesc* current) {
  SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("None"));
  SendMessageA(list, LB_SETITEMDATA, 0, 0);
  int select = 0;
  PluginClassInfo info;
  // The directory lists the host's own classes first: they register as the runtime loads.
  for (int i = 0; GetPluginClass(i, &info); i++) {
    ClassDesc* cd = info.cd;
    if (cd->SuperClassID() != TEXMAP_CLASS_ID || !cd->IsPublic()) continue;
    LRESULT at = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(cd->ClassName()));
    SendMessageA(list, LB_SETITEMDATA, (WPARAM)at, reinterpret_cast<LPARAM>(cd));
    if (cd == current) select = (int)at;
  }
  SendMessageA(list, LB_SETCURSEL, (WPARAM)select, 0);
}

// OK with nothing selected keeps the dialog open: there is no choice to report.
void ConfirmBrowser(HWND dlg, BrowseContext* ctx) {
  HWND list = GetDlgItem(dlg, IDC_MTLBROWSE_LIST);
  LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
  if (at == LB_ERR) return;
  ctx->chosen = reinterpret_cast<ClassDesc*>(SendMessageA(list, LB_GETITEMDATA, (WPARAM)at, 0));
  EndDialog(dlg, IDOK);
}

INT_PTR CALLBACK BrowserProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  BrowseContext* ctx = reinterpret_cast<BrowseContext*>(GetWindowLongPtrA(dlg, DWLP_USER));
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(dlg, DWLP_USER, lp);
    ctx = reinterpret_cast<BrowseContext*>(lp);
    SetDlgItemTextA(dlg, IDC_MTLBROWSE_PROMPT, ctx->prompt ? ctx->prompt : "");
    FillBrowserList(GetDlgItem(dlg, IDC_MTLBROWSE_LIST), ctx->current);
    SetForegroundWindow(dlg);  // asked for from a hidden window, it would open inactive
    return TRUE;
  }
  if (msg != WM_COMMAND || !ctx) return FALSE;
  switch (LOWORD(wp)) {
    case IDOK:
      ConfirmBrowser(dlg, ctx);
      return TRUE;
    case IDCANCEL:
      EndDialog(dlg, IDCANCEL);
      return TRUE;
    case IDC_MTLBROWSE_LIST:
      if (HIWORD(wp) != LBN_DBLCLK) return FALSE;
      ConfirmBrowser(dlg, ctx);
      return TRUE;
  }
  return FALSE;
}

bool IsInTree(Texmap* root, Texmap* m, int depth) {
  if (!root || depth > kMaxTreeDepth) return false;
  if (root == m) return true;
  for (int i = 0; i < root->NumSubTexmaps(); i++)
    if (IsInTree(root->GetSubTexmap(i), m, depth + 1)) return true;
  return false;
}

// Whether cd is still in the class directory: its module may have gone while the browser was open.
bool IsListed(ClassDesc* cd) {
  PluginClassInfo info;
  for (int i = 0; GetPluginClass(i, &info); i++)
    if (info.cd == cd) return true;
  return false;
}

// A new map of class cd, or null (also for a class that makes something other than a map).
Texmap* MakeMap(ClassDesc* cd) {
  Animatable* made = static_cast<Animatable*>(cd->Create(FALSE));
  Texmap* map = dynamic_cast<Texmap*>(made);
  if (made && !map) {
    if (ReferenceMaker* rm = dynamic_cast<ReferenceMaker*>(made)) rm->DeleteMe();
  }
  return map;
}

// One editor: its window, the map it edits (reference 0), its panel and its sample slot.
class Editor : public ReferenceMaker, public IMtlParams {
 public:
  explicit Editor(HWND hwnd) : hwnd(hwnd) {}

  void MtlChanged() override {
    if (!map) return;
    Interval valid = FOREVER;
    map->Update(0, valid);
    ShadeContext sc;
    sc.uvw = Point3(kSampleUV, kSampleUV, 0.0f);
    sample = map->EvalColor(sc);
    samples++;
  }

  int NumRefs() override { return 1; }
  RefTargetHandle GetReference(int i) override { return i == 0 ? map : nullptr; }
  void SetReference(int i, RefTargetHandle r) override {
    if (i == 0) map = dynamic_cast<Texmap*>(r);
  }

  LRESULT PickSubtex(WPARAM which, LPARAM lp);
  // The window went: the map is released now, or once an open browser has returned.
  void WindowGone() {
    hwnd = nullptr;
    if (!browsing) DeleteMe();
  }

  HWND hwnd;
  HWND panel = nullptr;
  Texmap* map = nullptr;
  Color sample;
  int samples = 0;
  bool browsing = false;  // the browser is open: a second request is refused

 private:
  std::vector<HWND> PanelWindows();
  bool Browse(Texmap* target, int slot, ClassDesc** chosen);
};

Editor* EditorOf(HWND hwnd) {
  if (!hwnd || !IsWindow(hwnd)) return nullptr;
  char cls[sizeof kEditorClass + 1] = "";
  GetClassNameA(hwnd, cls, sizeof cls);
  if (lstrcmpA(cls, kEditorClass) != 0) return nullptr;
  return reinterpret_cast<Editor*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

bool OwnedBy(HWND w, HWND owner) {
  for (HWND o = GetWindow(w, GW_OWNER); o; o = GetWindow(o, GW_OWNER))
    if (o == owner) return true;
  return false;
}

struct PanelSearch {
  HWND panel;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectOwned(HWND w, LPARAM lp) {
  PanelSearch* s = reinterpret_cast<PanelSearch*>(lp);
  if (OwnedBy(w, s->panel)) s->found.push_back(w);
  return TRUE;
}

// The panel and the top-level windows it owns, directly or through others.
std::vector<HWND> Editor::PanelWindows() {
  PanelSearch s{IsWindow(panel) ? panel : nullptr, {}};
  if (!s.panel) return s.found;
  s.found.push_back(s.panel);
  EnumThreadWindows(GetWindowThreadProcessId(s.panel, nullptr), CollectOwned, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// The browser is modal to the whole panel: DialogBox disables its owner, the panel; the panel's
// own dialogs are disabled here for as long as it is open. False on Cancel.
bool Editor::Browse(Texmap* target, int slot, ClassDesc** chosen) {
  CStr slotName = target->GetSubTexmapSlotName(slot);
  char prompt[256];
  if (slotName.isNull() || !*slotName.data())
    snprintf(prompt, sizeof prompt, "Map for sub-texture %d of %s:", slot + 1, target->GetFullName().data());
  else
    snprintf(prompt, sizeof prompt, "Map for %s of %s:", slotName.data(), target->GetFullName().data());
  Texmap* current = target->GetSubTexmap(slot);
  ClassDesc* currentClass = current ? FindClassDesc(TEXMAP_CLASS_ID, current->ClassID()) : nullptr;

  std::vector<HWND> disabled;
  for (HWND w : PanelWindows()) {
    if (w == panel || !IsWindowEnabled(w)) continue;
    EnableWindow(w, FALSE);
    disabled.push_back(w);
  }
  HWND owner = IsWindow(panel) ? panel : hwnd;
  BOOL ok = BrowseTexmapClass(owner, prompt, currentClass, chosen);
  for (HWND w : disabled)
    if (IsWindow(w)) EnableWindow(w, TRUE);
  return ok != FALSE;
}

LRESULT Editor::PickSubtex(WPARAM which, LPARAM lp) {
  Texmap* target = reinterpret_cast<Texmap*>(lp);
  // The pointer is compared with the maps this editor holds before it is used.
  if (browsing || !target || !IsInTree(map, target, 0)) return 0;
  if (which >= (WPARAM)target->NumSubTexmaps()) return 0;
  int slot = (int)which;
  browsing = true;
  ClassDesc* chosen = nullptr;
  bool ok = Browse(target, slot, &chosen);
  browsing = false;
  if (!hwnd) {  // the editor closed while the browser was open
    DeleteMe();
    return 0;
  }
  // The map may have lost the sub-texture while the browser was open.
  if (!ok || !IsInTree(map, target, 0) || slot >= target->NumSubTexmaps()) return 0;
  if (chosen && !IsListed(chosen)) return 0;
  Texmap* made = chosen ? MakeMap(chosen) : nullptr;
  if (chosen && !made) return 0;
  theHold.Begin();
  target->SetSubTexmap(slot, made);
  theHold.Accept(kAssignAction);
  // A map that its owner did not keep would be lost.
  if (made && made->NumDependents() == 0) made->DeleteMe();
  MtlChanged();
  for (HWND w : PanelWindows())
    if (IsWindow(w)) SendMessageA(w, MTLEDIT_SUBTEX_CHANGED, 0, 0);
  return 1;
}

LRESULT CALLBACK EditorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Editor* ed = reinterpret_cast<Editor*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  switch (msg) {
    case MTLEDIT_PICK_SUBTEX:
      return ed ? ed->PickSubtex(wp, lp) : 0;
    case WM_NCDESTROY:
      if (ed) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        ed->WindowGone();
      }
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool RegisterEditorClass() {
  static bool registered = [] {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = EditorProc;
    wc.hInstance = custctrl::HostInstance();
    wc.lpszClassName = kEditorClass;
    return RegisterClassA(&wc) != 0;
  }();
  return registered;
}

}  // namespace

HWND CreateMtlEditor(Texmap* map) {
  if (!map || !RegisterEditorClass()) return nullptr;
  // A top-level window that is never shown: windows it owns draw normally, and it can own them
  // (a message-only window cannot).
  HWND hwnd = CreateWindowExA(WS_EX_TOOLWINDOW, kEditorClass, "Material Editor", WS_POPUP, 0, 0, 0, 0, nullptr,
                              nullptr, custctrl::HostInstance(), nullptr);
  if (!hwnd) return nullptr;
  Editor* ed = new Editor(hwnd);
  if (ed->MakeRefByID(FOREVER, 0, map) != REF_SUCCEED) {
    delete ed;
    DestroyWindow(hwnd);
    return nullptr;
  }
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ed));
  return hwnd;
}

HWND OpenMtlEditorPanel(HWND editor) {
  Editor* ed = EditorOf(editor);
  if (!ed || !ed->map) return nullptr;
  HWND panel = ed->map->CreateParamDlg(editor);
  if (panel) ed->panel = panel;
  return panel;
}

BOOL SetMtlEditorPanel(HWND editor, HWND panel) {
  Editor* ed = EditorOf(editor);
  if (!ed) return FALSE;
  ed->panel = panel;
  return TRUE;
}

IMtlParams* GetMtlParams(HWND hwnd) { return EditorOf(hwnd); }

int GetMtlEditorSample(HWND hwnd, Color* colour) {
  Editor* ed = EditorOf(hwnd);
  if (!ed) return -1;
  if (colour) *colour = ed->sample;
  return ed->samples;
}

BOOL BrowseTexmapClass(HWND owner, const char* prompt, ClassDesc* current, ClassDesc** chosen) {
  if (!chosen) return FALSE;
  BrowseContext ctx{prompt, current, nullptr};
  INT_PTR r = DialogBoxParamA(custctrl::HostInstance(), MAKEINTRESOURCEA(IDD_MTL_BROWSER), owner, BrowserProc,
                              reinterpret_cast<LPARAM>(&ctx));
  if (r != IDOK) return FALSE;
  *chosen = ctx.chosen;
  return TRUE;
}
