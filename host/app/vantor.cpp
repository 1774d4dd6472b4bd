// vantor.exe: the host application. It loads plug-in modules through their entry points and does
// real work with them from the command line.
#include "vantor.h"
#include "app_util.h"
#include "postline_verbs.h"
#include "texmap_verb.h"
#include "vantor_res.h"

#include <commctrl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

// The module's own file version, from its version resource ("" when it has none).
std::string FileVersion(const char* path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (!size) return "";
  std::vector<char> data(size);
  if (!GetFileVersionInfoA(path, 0, size, data.data())) return "";
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || !info) return "";
  char text[64];
  snprintf(text, sizeof text, "%lu.%lu.%lu", (unsigned long)HIWORD(info->dwFileVersionMS),
           (unsigned long)LOWORD(info->dwFileVersionMS), (unsigned long)HIWORD(info->dwFileVersionLS));
  return text;
}

const char* BaseName(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

// classes [folder]: loads every plug-in module of the folder and lists its classes.
int ListClasses(int argc, char** argv) {
  std::string folder = argc > 0 ? argv[0] : ExeFolder();
  std::vector<std::string> files = PluginFiles(folder);
  if (files.empty()) {
    fprintf(stderr, "vantor: no plug-in modules in %s\n", folder.c_str());
    return 1;
  }
  int modules = 0, classes = 0;
  for (const std::string& file : files) {
    HMODULE m = LoadPluginModule(file.c_str());
    if (!m) {
      fprintf(stderr, "vantor: %s is not a plug-in module of this host\n", BaseName(file));
      continue;
    }
    modules++;
    auto describe = GetProcAddressAs<LibDescriptionProc>(m, "LibDescription");
    auto version = GetProcAddressAs<LibVersionProc>(m, "LibVersion");
    std::string fileVersion = FileVersion(file.c_str());
    printf("%s: \"%s\", LibVersion 0x%08lX%s%s\n", BaseName(file), describe(), (unsigned long)version(),
           fileVersion.empty() ? "" : ", file version ", fileVersion.c_str());
    PluginClassInfo info;
    for (int i = 0; GetPluginClass(i, &info); i++) {
      if (info.module != m) continue;
      classes++;
      Class_ID id = info.cd->ClassID();
      printf("  %-14s %2d  %-16s super 0x%08lX  class (0x%08lX, 0x%08lX)\n", BaseName(file), info.index,
             info.cd->ClassName(), (unsigned long)info.cd->SuperClassID(), (unsigned long)id.PartA(),
             (unsigned long)id.PartB());
    }
  }
  printf("%d module(s), %d class(es)\n", modules, classes);
  return modules ? 0 : 1;
}

void PrintObject(Animatable* a, const std::string& label, int depth) {
  CStr cls;
  a->GetClassName(cls);
  printf("%*s%s: %s", depth * 2, "", label.c_str(), cls.isNull() ? "(unnamed class)" : cls.data());
  if (a->NumKeys() > 0) printf(", %d key(s)", a->NumKeys());
  if (Control* c = dynamic_cast<Control*>(a)) {
    float v[3] = {0, 0, 0};
    Interval valid = FOREVER;
    c->GetValue(GetCOREInterface()->GetTime(), v, valid);
    printf(", value %g", v[0]);
  }
  printf("\n");
  if (depth > 12) return;
  for (int i = 0; i < a->NumSubs(); i++)
    if (Animatable* sub = a->SubAnim(i)) {
      CStr name = a->SubAnimName(i);
      PrintObject(sub, name.isNull() ? "#" + std::to_string(i) : std::string(name.data()), depth + 1);
    }
}

void PrintNode(INode* n, int depth) {
  printf("%*snode \"%s\"\n", depth * 2, "", n->GetName());
  if (ReferenceTarget* obj = n->GetObjectRef()) PrintObject(obj, "object", depth + 1);
  for (int i = 0; i < n->NumberOfChildren(); i++)
    if (INode* c = n->GetChildNode(i)) PrintNode(c, depth + 1);
}

// scene-demo file: builds a small animated scene with the host's own classes and saves it.
int SceneDemo(int argc, char** argv) {
  if (argc < 1) return 2;
  INode* camera = CreateSceneNode("Camera");
  INode* target = CreateSceneNode("Target", camera);
  Control* position = NewDefaultPoint3Controller();
  AnimateOn();
  Point3 p0(0, 0, 100), p1(50, 20, 80);
  position->SetValue(0, &p0);
  position->SetValue(100 * GetTicksPerFrame(), &p1);
  AnimateOff();
  camera->SetObjectRef(position);
  target->SetObjectRef(NewCheckerMap(Color(0.1f, 0.1f, 0.1f), Color(0.9f, 0.8f, 0.2f), 8));
  if (!SaveScene(argv[0])) {
    fprintf(stderr, "vantor: cannot write %s\n", argv[0]);
    return 1;
  }
  printf("saved %s\n", argv[0]);
  return 0;
}

// scene-show file [folder]: loads the plug-ins of the folder, then the scene, and prints it.
int SceneShow(int argc, char** argv) {
  if (argc < 1) return 2;
  ReportAssertionsOnStderr();
  // The host's start-up loads the library before the plug-ins of any folder.
  LoadLibraryPlugin();
  LoadPlugins(argc > 1 ? argv[1] : ExeFolder());
  if (!LoadScene(argv[0])) {
    fprintf(stderr, "vantor: %s is not a scene this host can load\n", argv[0]);
    return 1;
  }
  printf("scene %s (%ld reference targets)\n", argv[0], GetLiveRefTargetCount());
  INode* root = GetCOREInterface()->GetRootNode();
  for (int i = 0; i < root->NumberOfChildren(); i++)
    if (INode* c = root->GetChildNode(i)) PrintNode(c, 1);
  return 0;
}

// select-demo: a small scene and the select-by-name dialog over it; prints what was chosen.
int SelectDemo(int, char**) {
  INode* lights = CreateSceneNode("Lights");
  CreateSceneNode("Key Light", lights);
  CreateSceneNode("Fill Light", lights);
  CreateSceneNode("Camera");
  CreateSceneNode("Ground");
  struct Chooser : HitByNameDlgCallback {
    const char* dialogTitle() override { return "Select Objects"; }
    BOOL useProc() override { return TRUE; }
    BOOL doCustomHilite() override { return TRUE; }
    BOOL doHilite(INode* n) override { return strcmp(n->GetName(), "Camera") == 0; }
    void proc(INodeTab& nodes) override {
      for (int i = 0; i < nodes.Count(); i++) printf("chosen: %s\n", nodes[i]->GetName());
    }
  } chooser;
  if (!GetCOREInterface()->DoHitByNameDialog(&chooser)) printf("cancelled\n");
  return 0;
}

// ---- controls-demo ---------------------------------------------------------------------------

// The library's row blitter, found in the loaded module by its exported name (the host includes
// no library header): draws packed 24-bit rows, row 0 at the top.
typedef void (*BitBltProc)(HDC, int, int, int, int, BMM_Color_24*);
const char kBitBltExport[] = "_Z7JBitBltP5HDC__iiiiP12BMM_Color_24";

struct DemoState {
  BitBltProc bitBlt = nullptr;
  HIMAGELIST lockImages = nullptr;
  HIMAGELIST shapeImages = nullptr;
  WNDPROC previewProc = nullptr;  // the preview window's own procedure
  UINT closeAfterMs = 0;          // non-zero: the dialog closes itself (OK) after so long
};
DemoState demo;

// An image list of count 16 x 16 images, each drawn by draw(dc, index, cell) on magenta, which
// becomes transparent.
template <class Draw>
HIMAGELIST MakeImages(int count, Draw draw) {
  const int size = 16;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, size * count, size);
  HGDIOBJ old = SelectObject(dc, bmp);
  const COLORREF key = RGB(255, 0, 255);
  HBRUSH keyBrush = CreateSolidBrush(key);
  RECT all = {0, 0, size * count, size};
  FillRect(dc, &all, keyBrush);
  DeleteObject(keyBrush);
  for (int i = 0; i < count; i++) {
    RECT cell = {i * size, 0, (i + 1) * size, size};
    draw(dc, i, cell);
  }
  SelectObject(dc, old);
  HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, count, 0);
  ImageList_AddMasked(list, bmp, key);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return list;
}

void Shape(HDC dc, int shape, RECT c, COLORREF fill) {
  HBRUSH b = CreateSolidBrush(fill);
  HGDIOBJ ob = SelectObject(dc, b);
  HGDIOBJ op = SelectObject(dc, GetStockObject(BLACK_PEN));
  if (shape == 0) Rectangle(dc, c.left + 3, c.top + 3, c.right - 3, c.bottom - 3);
  if (shape == 1) Ellipse(dc, c.left + 2, c.top + 2, c.right - 2, c.bottom - 2);
  if (shape == 2) {
    POINT p[3] = {{c.left + 8, c.top + 2}, {c.right - 2, c.bottom - 3}, {c.left + 2, c.bottom - 3}};
    Polygon(dc, p, 3);
  }
  SelectObject(dc, op);
  SelectObject(dc, ob);
  DeleteObject(b);
}

// A padlock, open (image 0) or shut (1), and greyed (2).
void Padlock(HDC dc, int i, RECT c) {
  COLORREF body = i == 2 ? RGB(160, 160, 160) : RGB(200, 150, 30);
  HPEN pen = CreatePen(PS_SOLID, 2, i == 2 ? RGB(140, 140, 140) : RGB(70, 70, 70));
  HGDIOBJ op = SelectObject(dc, pen);
  HGDIOBJ ob = SelectObject(dc, GetStockObject(NULL_BRUSH));
  int lift = i == 0 ? 3 : 0;  // an open shackle stands up
  Arc(dc, c.left + 4, c.top + 1 - lift, c.left + 12, c.top + 11 - lift, c.left + 12, c.top + 6 - lift, c.left + 4,
      c.top + 6 - lift);
  SelectObject(dc, ob);
  SelectObject(dc, op);
  DeleteObject(pen);
  RECT r = {c.left + 3, c.top + 7, c.left + 13, c.top + 15};
  HBRUSH b = CreateSolidBrush(body);
  FillRect(dc, &r, b);
  DeleteObject(b);
  FrameRect(dc, &r, (HBRUSH)GetStockObject(BLACK_BRUSH));
}

// The preview: a hue ramp across, from full colour at the top to white at the bottom, with soft
// rings, drawn as 24-bit rows through the library's blitter.
void PaintPreview(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT r;
  GetClientRect(hwnd, &r);
  int w = r.right, h = r.bottom;
  std::vector<BMM_Color_24> pixels((size_t)(w > 0 ? w : 0) * (h > 0 ? h : 0));
  for (int y = 0; y < h; y++)
    for (int x = 0; x < w; x++) {
      float hue = 6.0f * x / (w > 1 ? w - 1 : 1);
      float rgb[3];
      for (int k = 0; k < 3; k++) {
        float d = fabsf(fmodf(hue + 4.0f - 2.0f * k + 6.0f, 6.0f) - 3.0f);  // red 0, green 2, blue 4
        rgb[k] = d - 1.0f < 0 ? 0 : d - 1.0f > 1 ? 1 : d - 1.0f;
      }
      float white = (float)y / (h > 1 ? h - 1 : 1);
      float dx = x - w * 0.5f, dy = y - h * 0.5f;
      float ring = 0.92f + 0.08f * cosf(sqrtf(dx * dx + dy * dy) * 0.3f);
      BMM_Color_24& p = pixels[(size_t)y * w + x];
      p.r = (unsigned char)(255 * ring * (rgb[0] + (1 - rgb[0]) * white));
      p.g = (unsigned char)(255 * ring * (rgb[1] + (1 - rgb[1]) * white));
      p.b = (unsigned char)(255 * ring * (rgb[2] + (1 - rgb[2]) * white));
    }
  if (demo.bitBlt && !pixels.empty()) demo.bitBlt(dc, 0, 0, w, h, pixels.data());
  EndPaint(hwnd, &ps);
}

LRESULT CALLBACK PreviewProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PaintPreview(hwnd);
    return 0;
  }
  if (msg == WM_ERASEBKGND) return 1;  // the image covers the whole window
  return CallWindowProcA(demo.previewProc, hwnd, msg, wp, lp);
}

void InitControlsDialog(HWND dlg) {
  if (ICustButton* b = GetICustButton(GetDlgItem(dlg, IDC_LOCK))) {
    demo.lockImages = MakeImages(3, Padlock);
    b->SetType(CBT_CHECK);
    b->SetCheckHighlight(TRUE);
    b->SetImage(demo.lockImages, 0, 1, 2, 2, 16, 16);
    b->SetCheck(TRUE);
    b->SetTooltip(TRUE, "Lock the settings");
    ReleaseICustButton(b);
  }
  if (ICustButton* b = GetICustButton(GetDlgItem(dlg, IDC_SHAPE))) {
    const COLORREF colours[3] = {RGB(220, 60, 50), RGB(60, 170, 70), RGB(50, 90, 210)};
    demo.shapeImages = MakeImages(3, [&](HDC dc, int i, RECT c) { Shape(dc, i, c, colours[i]); });
    b->SetImage(demo.shapeImages, 0, 0, 0, 0, 16, 16);
    FlyOffData choices[3] = {{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 2, 2}};
    b->SetFlyOff(3, choices, 0, 0, FLY_DOWN);
    b->SetTooltip(TRUE, "Shape (hold for more)");
    ReleaseICustButton(b);
  }
  if (ICustEdit* e = GetICustEdit(GetDlgItem(dlg, IDC_NAME))) {
    e->SetText("Background");
    ReleaseICustEdit(e);
  }
  ReleaseISpinner(SetupFloatSpinner(dlg, IDC_OPACITY_SPIN, IDC_OPACITY_EDIT, 0.0f, 100.0f, 75.0f, 0.5f));
  ReleaseISpinner(SetupIntSpinner(dlg, IDC_SAMPLES_SPIN, IDC_SAMPLES_EDIT, 1, 64, 16));
  ReleaseIColorSwatch(GetIColorSwatch(GetDlgItem(dlg, IDC_TINT), RGB(230, 150, 60), "Tint"));
  HWND preview = GetDlgItem(dlg, IDC_PREVIEW);
  if (preview) demo.previewProc = (WNDPROC)SetWindowLongPtrA(preview, GWLP_WNDPROC, (LONG_PTR)PreviewProc);
}

// Prints the window classes of the dialog's controls and how many of each, in the order met.
void PrintControlClasses(HWND dlg) {
  std::vector<std::pair<std::string, int>> seen;
  for (HWND c = GetWindow(dlg, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    char name[64] = "";
    GetClassNameA(c, name, sizeof name);
    bool counted = false;
    for (auto& s : seen)
      if (s.first == name) counted = ++s.second > 0;
    if (!counted) seen.push_back({name, 1});
  }
  printf("controls-demo: ready;");
  for (auto& s : seen) printf(" %s %d", s.first.c_str(), s.second);
  printf("; preview drawn by %s\n", demo.bitBlt ? "JBitBlt" : "nothing");
  fflush(stdout);
}

INT_PTR CALLBACK ControlsDlgProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      InitControlsDialog(dlg);
      SetForegroundWindow(dlg);  // started from a console, the dialog would open inactive
      PrintControlClasses(dlg);
      if (demo.closeAfterMs) SetTimer(dlg, 1, demo.closeAfterMs, nullptr);
      return TRUE;
    case WM_TIMER:
      KillTimer(dlg, 1);
      PostMessageA(dlg, WM_COMMAND, IDOK, 0);
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
        EndDialog(dlg, LOWORD(wp));
        return TRUE;
      }
      return FALSE;
    case WM_DESTROY: {
      HWND preview = GetDlgItem(dlg, IDC_PREVIEW);
      if (preview && demo.previewProc) SetWindowLongPtrA(preview, GWLP_WNDPROC, (LONG_PTR)demo.previewProc);
      return FALSE;
    }
  }
  return FALSE;
}

// controls-demo [folder] [--close ms]: loads the Quorlib library from the folder and opens a dialog
// with every host control and a library window showing an image drawn with the library's blitter;
// with --close the dialog closes itself after ms milliseconds.
int ControlsDemo(int argc, char** argv) {
  std::string folder = ExeFolder();
  for (int i = 0; i < argc; i++) {
    if (strcmp(argv[i], "--close") == 0 && i + 1 < argc)
      demo.closeAfterMs = (UINT)atoi(argv[++i]);
    else
      folder = argv[i];
  }
  HMODULE lib = LoadPluginModule((folder + "\\Quorlib.dlz").c_str());
  if (!lib) {
    fprintf(stderr, "vantor: Quorlib.dlz is not in %s\n", folder.c_str());
    return 1;
  }
  demo.bitBlt = GetProcAddressAs<BitBltProc>(lib, kBitBltExport);
  if (!demo.bitBlt) fprintf(stderr, "vantor: the library has no row blitter; the preview stays empty\n");
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  HINSTANCE self = GetModuleHandleA(nullptr);
  InitCustomControls(self);
  INT_PTR result = DialogBoxParamA(self, MAKEINTRESOURCEA(IDD_CONTROLS), nullptr, ControlsDlgProc, 0);
  if (demo.lockImages) ImageList_Destroy(demo.lockImages);
  if (demo.shapeImages) ImageList_Destroy(demo.shapeImages);
  printf("%s\n", result == IDOK ? "ok" : "cancelled");
  return result == IDOK || result == IDCANCEL ? 0 : 1;
}

struct Verb {
  const char* name;
  const char* usage;
  int (*run)(int argc, char** argv);
};

const Verb kVerbs[] = {
    {"classes", "classes [folder]          load the plug-in modules of a folder and list their classes", ListClasses},
    {"scene-demo", "scene-demo file           build a small animated scene and save it", SceneDemo},
    {"scene-show", "scene-show file [folder]  load the plug-ins of a folder, then a scene, and print it", SceneShow},
    {"select-demo", "select-demo               a small scene and the select-by-name dialog over it", SelectDemo},
    {"controls-demo", "controls-demo [folder] [--close ms]  every host control and a Quorlib window in one dialog", ControlsDemo},
    {"filter", "filter MODULE CLASS (--in IMAGE | --default) --out FILE [--settings FILE] [--mask IMAGE]\n"
               "                 [--frames A-B] [--size WxH]\n"
               "                            run an image filter over an image or the library's default background", FilterVerb},
    {"texmap", "texmap MODULE CLASS [--scene FILE] [--page N] [--press ID] [--close ms]\n"
               "                 [--out IMAGE [--size WxH]] [--save FILE]\n"
               "                            a texture map's parameter editor (page N shown; button ID pressed);\n"
               "                            once closed, the map rendered into IMAGE and saved in scene FILE", TexmapVerb},
    {"postline", "postline [folder] [--scene FILE] [--event CLASS]... [--add] [--setup N] [--no-main]\n"
                 "                 [--close ms]\n"
                 "                            the main window with the Postline's queue", PostlineVerb},
};

int Usage() {
  fprintf(stderr, "usage: vantor <verb> [arguments]\n");
  for (const Verb& v : kVerbs) fprintf(stderr, "  %s\n", v.usage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  for (const Verb& v : kVerbs)
    if (strcmp(argv[1], v.name) == 0) return v.run(argc - 2, argv + 2);
  fprintf(stderr, "vantor: unknown verb '%s'\n", argv[1]);
  return Usage();
}
