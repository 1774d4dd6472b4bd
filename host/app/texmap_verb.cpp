// vantor.exe's texmap verb: loads a plug-in module, makes one of its texture maps (or takes it from
// a scene file) and opens the map's parameter editor in the host's material editor, until the user
// closes it; then renders the map into an image and saves it in a scene when asked to.
#include "texmap_verb.h"

#include "app_util.h"

#include "vantor.h"

#include <commctrl.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const UINT kRetryMs = 100;   // a close or press that has to wait tries again after so long
const int kDefaultSide = 256;  // the rendered image's width and height without --size
const int kMaxSide = 65535;
const char kSceneNodeName[] = "Texture";  // the node that holds the map in a saved scene

struct TexmapArgs {
  const char* module = nullptr;
  const char* cls = nullptr;
  int page = -1;      // the tab page to show; -1: the editor's own choice
  int press = 0;      // a button to press once the editor is open; 0: none
  UINT closeMs = 0;   // close the editor after so long; 0: the user closes it
  const char* out = nullptr;    // the image the map is rendered into after editing; null: none
  int width = kDefaultSide, height = kDefaultSide;
  const char* save = nullptr;   // the scene the edited map is saved in; null: none
  const char* scene = nullptr;  // the scene the map is taken from; null: a new map
};

// A whole decimal number in 0..max; -1 otherwise.
long WholeNumber(const char* s, long max) {
  const char* end = nullptr;
  long v = ParseWholeNumber(s, &end, max);
  return v >= 0 && !*end ? v : -1;
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
    } else if (strcmp(arg, "--out") == 0 && value) {
      a->out = argv[++i];
    } else if (strcmp(arg, "--size") == 0 && value) {
      if (!ParseSize(value, &a->width, &a->height)) return Fail("bad size '%s' (expected WxH)", value);
      if (a->width < 1 || a->height < 1 || a->width > kMaxSide || a->height > kMaxSide)
        return Fail("size '%s' out of range: width and height must be 1..65535", value);
      i++;
    } else if (strcmp(arg, "--save") == 0 && value) {
      a->save = argv[++i];
    } else if (strcmp(arg, "--scene") == 0 && value) {
      a->scene = argv[++i];
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
    HWND button = GetDlgItem(editor, pressId);
    if (!button) fprintf(stderr, "vantor: the editor has no control %d to press\n", pressId);
    else PostMessageA(editor, WM_COMMAND, MAKEWPARAM(pressId, BN_CLICKED), (LPARAM)button);
  } else {
    PostMessageA(editor, WM_COMMAND, IDOK, 0);
  }
}

// The first map of class id held by a node of the scene (at any depth); null when none is.
Texmap* FindSceneMap(INode* node, const Class_ID& id) {
  Texmap* map = dynamic_cast<Texmap*>(node->GetObjectRef());
  if (map && map->ClassID() == id) return map;
  for (int i = 0; i < node->NumberOfChildren(); i++)
    if (Texmap* found = FindSceneMap(node->GetChildNode(i), id)) return found;
  return nullptr;
}

// Evaluates the map over its texture space at time 0 into image file path, width x height
// pixels at their centres, u rising to the right and v upwards (row 0 at v = 1). 0 when written.
int RenderMap(Texmap* map, const char* path, int width, int height) {
  Interval valid = FOREVER;
  map->Update(0, valid);
  BitmapInfo bi;
  bi.SetName(path);
  bi.SetWidth((WORD)width);
  bi.SetHeight((WORD)height);
  bi.SetType(BMM_TRUE_64);
  Bitmap* bm = TheManager->Create(&bi);
  if (!bm) return Fail("%s", "no memory for the image");
  const float kMax = 65535.0f;
  auto word = [kMax](float c) { return (WORD)(c <= 0 ? 0 : c >= 1 ? kMax : c * kMax + 0.5f); };
  std::vector<BMM_Color_64> row(width);
  ShadeContext sc;
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      sc.uvw = Point3((x + 0.5f) / width, 1.0f - (y + 0.5f) / height, 0.0f);
      AColor c = map->EvalColor(sc);
      row[x] = {word(c.r), word(c.g), word(c.b), word(c.a)};
    }
    bm->PutPixels(0, y, width, row.data());
  }
  bool written = bm->OpenOutput(&bi) && bm->Write(&bi);
  bm->Close(&bi, written ? BMM_CLOSE_COMPLETE : BMM_CLOSE_ABANDON);
  bm->DeleteThis();
  if (!written) return Fail("cannot write %s", path);
  printf("texmap: rendered %d x %d into %s\n", width, height, path);
  return 0;
}

}  // namespace

// texmap MODULE CLASS [--scene FILE] [--page N] [--press ID] [--close ms] [--out IMAGE [--size WxH]]
// [--save FILE]
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
  Texmap* map = nullptr;
  if (a.scene) {
    if (!LoadScene(a.scene)) return Fail("%s is not a scene this host can load", a.scene);
    map = FindSceneMap(GetCOREInterface()->GetRootNode(), cd->ClassID());
    if (!map) return Fail("the scene %s holds no texture map %s", a.scene, a.cls);
  } else {
    map = dynamic_cast<Texmap*>(static_cast<Animatable*>(CreateInstance(TEXMAP_CLASS_ID, cd->ClassID())));
    if (!map) return Fail("the texture map %s could not be made", a.cls);
    if (a.save) CreateSceneNode(kSceneNodeName)->SetObjectRef(map);  // the scene keeps the map
  }
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
    return Fail("the texture map %s opened no parameter editor (its CreateParamDlg answered no window)", a.cls);
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
  printf("texmap: %s\n", closed ? "editor closed" : "quit");
  int result = closed ? 0 : 1;
  if (closed && a.out) result = RenderMap(map, a.out, a.width, a.height);
  if (closed && a.save && !result) {
    if (!SaveScene(a.save)) result = Fail("cannot write %s", a.save);
    else printf("texmap: saved %s\n", a.save);
  }
  DestroyWindow(mtlEditor);  // releases the map (a scene's node still holds it)
  return result;
}
