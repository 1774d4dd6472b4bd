// quortool: small jobs done with the library the way a plug-in does them.
//   quortool draw-gradient file.png [width height]   draws the library's default gradient and
//                                                     writes it through the host's bitmaps
//   quortool progress-demo [percent [hold-ms [alone]]] opens the progress dialog over a window
//                                                     (without owner with "alone"), advances it
//                                                     to percent and keeps it open for hold-ms
//                                                     (until Cancel is pressed)
//   quortool view-demo [--close ms]                   a window with image views at 1:1, at 1:4
//                                                     fitted, and at 1:2 on a panel
//   quortool select-image [file [gamma|fields]]       the image file selection for file, with its
//                                                     extended buttons; with gamma or fields, that
//                                                     dialog opened over it (the file dialog hidden)
//   quortool preview-setup                            the filter toolbar's preview setup dialog
//                                                     over a settings object; prints what it
//                                                     stored and how it was ended
//   quortool flag-demo [--dialog [--no-editor] [--pick]] [--close ms]
//                                                     gradient strips with flag markers in both
//                                                     looks; with --dialog the flag properties
//                                                     dialog of a marker (its window hidden), as
//                                                     for a gradient texture map in the host's
//                                                     material editor unless --no-editor; with
//                                                     --pick its texture button pressed, which
//                                                     opens the editor's map browser
//   quortool gradient-demo [--close ms]               two gradient windows with their flag markers
//                                                     and labels: in colour with a composite
//                                                     choice, and in grey
#include "PlainDialog.h"
#include "Quorlib.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

int DrawGradient(int argc, char** argv) {
  if (argc < 1) return 2;
  int width = argc > 2 ? atoi(argv[1]) : 256, height = argc > 2 ? atoi(argv[2]) : 32;
  if (width < 1 || height < 1 || width > 65535 || height > 65535) return 2;
  JGradCtlData* grad = Create_JGradCtlData(GetLibInstance(), 119);
  if (!grad) {
    fprintf(stderr, "quortool: no gradient class\n");
    return 1;
  }
  std::vector<BMM_Color_24> row((size_t)width * height);
  grad->Render(row.data(), 0, width, height, 1.0f, 0);
  printf("default gradient: %d flags, mode %d\n", grad->GetFlagCount(), grad->GetMode());
  grad->DeleteMe();

  BitmapInfo bi;
  bi.SetWidth((WORD)width);
  bi.SetHeight((WORD)height);
  bi.SetType(BMM_TRUE_64);
  Bitmap* bm = TheManager->Create(&bi);
  if (!bm) return 1;
  std::vector<BMM_Color_64> line((size_t)width);
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      const BMM_Color_24& p = row[(size_t)y * width + x];
      line[x] = BMM_Color_64{(WORD)(p.r * 257), (WORD)(p.g * 257), (WORD)(p.b * 257), 65535};
    }
    bm->PutPixels(0, y, width, line.data());
  }
  BitmapInfo out;
  out.SetName(argv[0]);
  int ok = bm->OpenOutput(&out) && bm->Write(&out);
  bm->CloseAll(ok ? BMM_CLOSE_COMPLETE : BMM_CLOSE_ABANDON);
  bm->DeleteThis();
  if (!ok) {
    fprintf(stderr, "quortool: cannot write %s\n", argv[0]);
    return 1;
  }
  // Read it back through the host, as any plug-in would, and report its two ends.
  BitmapInfo check;
  check.SetName(argv[0]);
  Bitmap* back = TheManager->Load(&check);
  if (!back) return 1;
  BMM_Color_64 first, last;
  back->GetLinearPixels(0, 0, 1, &first);
  back->GetLinearPixels(back->Width() - 1, 0, 1, &last);
  printf("wrote %s: %dx%d, left (%d, %d, %d), right (%d, %d, %d)\n", argv[0], back->Width(), back->Height(),
         first.r >> 8, first.g >> 8, first.b >> 8, last.r >> 8, last.g >> 8, last.b >> 8);
  back->DeleteThis();
  return 0;
}

// The tool's own top-level window, over which the dialog opens.
HWND DemoFrame() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = GetSysColorBrush(COLOR_APPWORKSPACE);
  wc.lpszClassName = "QuortoolFrame";
  RegisterClassA(&wc);
  return CreateWindowExA(0, wc.lpszClassName, "quortool", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 60, 60, 560, 380, nullptr,
                         nullptr, wc.hInstance, nullptr);
}

// A long operation as a plug-in writes one: the dialog is driven by its messages, and Cancel is
// polled between steps.
int ProgressDemo(int argc, char** argv) {
  const int kTotal = 100;
  const int kStepMs = 20;
  int percent = argc > 0 ? atoi(argv[0]) : 40;
  int holdMs = argc > 1 ? atoi(argv[1]) : 3000;
  bool alone = argc > 2 && strcmp(argv[2], "alone") == 0;
  if (percent < 0 || percent > kTotal || holdMs < 0) return 2;
  HWND frame = DemoFrame();
  JProgressDlg progress;
  if (!progress.Create(alone ? nullptr : frame)) {
    fprintf(stderr, "quortool: cannot open the progress dialog\n");
    DestroyWindow(frame);
    return 1;
  }
  HWND dlg = progress.GetHwnd();
  char status[64];
  int done = 0;
  for (; done <= percent && !progress.IsCanceled(); done++) {
    snprintf(status, sizeof status, "Rendering frame %d of %d", done, kTotal);
    SendMessageA(dlg, JWM_SETSTATUS, 0, (LPARAM)status);
    SendMessageA(dlg, JWM_PROGRESS, (WPARAM)done, kTotal);
    progress.CheckCancelButton();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kStepMs, QS_ALLINPUT);
  }
  printf("progress-demo: ready; at %d%%, owner %s\n", percent, IsWindowEnabled(frame) ? "enabled" : "disabled");
  fflush(stdout);
  for (int waited = 0; waited < holdMs && !progress.IsCanceled(); waited += kStepMs) {
    int stop = 0;
    SendMessageA(dlg, JWM_QUERYABORT, 0, (LPARAM)&stop);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, kStepMs, QS_ALLINPUT);
  }
  printf("progress-demo: %s\n", progress.IsCanceled() ? "cancelled" : "done");
  progress.Destroy();
  DestroyWindow(frame);
  return 0;
}

// ---- view-demo ---------------------------------------------------------------------------------

// Rings of colour around the middle of the image, shaded from the top.
AColor Rings(void*, float u, float v) {
  const float dx = u - 0.5f, dy = v - 0.5f, d = sqrtf(dx * dx + dy * dy) * 12.0f;
  return AColor(0.5f + 0.5f * sinf(d), 0.5f + 0.5f * sinf(d + 2.1f + 3.0f * u), (1.0f - v) * (0.5f + 0.5f * cosf(d)));
}

// The library's default gradient, drawn by the gradient itself.
int GradientImage(BMM_Color_24* out, void* user, int time, int width, int height, float aspect, HWND window) {
  SendMessageA(window, JWM_PROGRESS, 1, 2);
  return static_cast<JGradCtlData*>(user)->Render(out, time, width, height, aspect, 0);
}

LRESULT CALLBACK DemoProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(0);
  if (msg == WM_TIMER) DestroyWindow(hwnd);
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// A demo's main window (not shown yet) of its own class, on the panel colour.
HWND DemoWindow(const char* className, WNDPROC proc, const char* title, int width, int height) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc = {};
  wc.lpfnWndProc = proc;
  wc.hInstance = self;
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = className;
  RegisterClassA(&wc);
  return CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, width, height, nullptr,
                         nullptr, self, nullptr);
}

// Serves the demo's messages until its main window is closed (by the user, or after closeMs
// when that is above 0).
void RunDemo(HWND main, int closeMs) {
  if (closeMs > 0) SetTimer(main, 1, (UINT)closeMs, nullptr);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// Destroys the controls of a demo's dialog object.
void DestroyControls(PlainDialog* dlg) {
  while (dlg->NumControls() > 0) {
    JViewCtl* c = dlg->GetControl(0);
    *dlg -= c;
    c->Destroy();
  }
}

// The library's default gradient (red to blue) with a yellow and a green flag inside.
JGradCtlData* DemoGradient() {
  JGradCtlData* grad = Create_JGradCtlData(GetLibInstance(), 119);
  if (!grad) return nullptr;
  const struct {
    float pos;
    Point3 color;
    const char* name;
  } inner[] = {{0.35f, Point3(1.0f, 0.85f, 0.1f), "Flag #3"}, {0.7f, Point3(0.1f, 0.8f, 0.3f), "Flag #4"}};
  for (const auto& f : inner) {
    JFlagCtlData* flag = Create_JFlagCtlData();
    float pos = f.pos;
    Point3 c = f.color;
    flag->SetPos(0, pos);
    flag->SetColor(0, c);
    flag->SetName(f.name);
    grad->AddFlag(flag, f.name);
  }
  return grad;
}

int ViewDemo(int argc, char** argv) {
  const int closeMs = argc >= 2 && strcmp(argv[0], "--close") == 0 ? atoi(argv[1]) : 0;
  HINSTANCE self = GetModuleHandleA(nullptr);
  JWinProc::Register();
  HWND main = DemoWindow("QuortoolViewDemo", DemoProc, "JViewWnd demo", 700, 240);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  struct Pane {
    const char* label;
    int resolution, noFit;
  } panes[] = {{"1:1, per-pixel colour", 0, 0}, {"1:4, fitted", 2, 0}, {"1:2, on a panel (gradient)", 1, 1}};
  const int kW = 202, kH = 152, kFirstId = 100;
  for (int i = 0; i < 3; i++) {
    HWND label = CreateWindowExA(0, "STATIC", panes[i].label, WS_CHILD | WS_VISIBLE, 20 + i * 222, 12, kW, 18, main,
                                 nullptr, self, nullptr);
    SendMessageA(label, WM_SETFONT, (WPARAM)font, 0);
    CreateWindowExA(0, "JUniversalWindow", "", WS_CHILD | WS_VISIBLE, 20 + i * 222, 34, kW, kH, main,
                    (HMENU)(INT_PTR)(kFirstId + i), self, nullptr);
  }
  PlainDialog* dlg = new PlainDialog(main);  // the demo window is its views' dialog object
  JGradCtlData* grad = Create_JGradCtlData(GetLibInstance(), 119);
  JFloatData* settings[3];
  JViewWnd* views[3];
  for (int i = 0; i < 3; i++) {
    settings[i] = Create_JFloatData();
    views[i] = i < 2 ? JViewWnd::Create(settings[i], -1, kFirstId + i, Rings, nullptr)
                     : JViewWnd::Create(settings[i], -1, kFirstId + i, GradientImage, grad);
    if (!views[i]) return 1;
    views[i]->SetResolution(settings[i], panes[i].resolution, panes[i].noFit);
    *dlg += views[i];
    views[i]->Init(0);
    views[i]->SetFreeze(0);
    views[i]->SetUpdateFlags(JVWF_THREAD | JVWF_PROGRESS);
    views[i]->UpdateView(0, nullptr);
  }
  ShowWindow(main, SW_SHOW);
  printf("ready: %d views\n", 3);
  fflush(stdout);
  RunDemo(main, closeMs);
  for (int i = 0; i < 3; i++) {
    views[i]->Destroy();
    settings[i]->DeleteMe();
  }
  if (grad) grad->DeleteMe();
  dlg->DeleteThis();
  printf("ok\n");
  return 0;
}

const char kSelectTitle[] = " Select Image";

// Waits for the selection dialog, hides it and presses the button given as parameter.
DWORD WINAPI PressInSelection(void* button) {
  HWND dlg = nullptr;
  for (int i = 0; i < 500 && !dlg; i++) {
    Sleep(20);
    dlg = FindWindowA(nullptr, kSelectTitle);
  }
  if (!dlg) return 1;
  Sleep(300);
  ShowWindow(dlg, SW_HIDE);
  PostMessageA(dlg, WM_COMMAND, (WPARAM)(INT_PTR)button, 0);
  return 0;
}

int SelectImage(int argc, char** argv) {
  const int kGammaButton = 1039, kFieldsButton = 1027;
  JBitmapInfo bi;
  if (argc > 0) bi.SetName(argv[0]);
  int button = argc > 1 && strcmp(argv[1], "gamma") == 0    ? kGammaButton
               : argc > 1 && strcmp(argv[1], "fields") == 0 ? kFieldsButton
                                                            : 0;
  if (button) CloseHandle(CreateThread(nullptr, 0, PressInSelection, (void*)(INT_PTR)button, 0, nullptr));
  char title[] = " Select Image";
  int chosen = JSelectFileInputEx(&bi, nullptr, title, 0);
  printf("chosen %d name '%s' device '%s' alpha %d fields %d deinterlace %d aspect %d %.3f gamma flags 0x%lx %.2f\n",
         chosen, bi.Name(), bi.Device(), bi.alphaChoice, bi.fields, bi.deinterlace, bi.aspectOverride,
         bi.pixelAspect, (unsigned long)bi.GetCustomFlags(), bi.GetCustomGamma());
  return 0;
}

// ---- preview-setup -------------------------------------------------------------------------

int PreviewSetup() {
  JFloatData* settings = Create_JFloatData();
  if (!settings) return 1;
  const INT_PTR ended = JFilterPreviewSetup(nullptr, settings);
  JPropertyList& p = settings->Properties();
  const unsigned long bits = p.Value(JProp_FltDlg_PreviewAspect());
  float aspect;
  memcpy(&aspect, &bits, sizeof aspect);
  if (p.Exist(JProp_FltDlg_PreviewWidth()))
    printf("preview-setup: ended with %d; %lu x %lu, pixel aspect %g, type %lu\n", (int)ended,
           p.Value(JProp_FltDlg_PreviewWidth()), p.Value(JProp_FltDlg_PreviewHeight()), aspect,
           p.Value(JProp_FltDlg_PreviewType()));
  else
    printf("preview-setup: ended with %d; nothing stored\n", (int)ended);
  settings->DeleteMe();
  return 0;
}

// ---- flag-demo -------------------------------------------------------------------------------

// The owner of the demo's markers: the second flag is the active one.
struct DemoOwner : JFlagCtlNotify {
  explicit DemoOwner(JGradCtlData* grad) : grad(grad) {}
  int Delete(JFlagCtlData*) override { return 0; }
  JFlagCtl* Next(JFlagCtlData*) override { return nullptr; }
  JFlagCtl* Prev(JFlagCtlData*) override { return nullptr; }
  void Active(JFlagCtlData* f) override { active = f; }
  int IsActive(JFlagCtlData* f) override { return f == active; }
  int MayDelete(JFlagCtlData*) override { return 1; }
  int GetIndex(JFlagCtlData* f) override {
    for (int i = 0; i < grad->GetFlagCount(); i++)
      if (grad->GetFlag(i) == f) return i;
    return -1;
  }
  JGradCtlData* grad;
  JFlagCtlData* active = nullptr;
};

// A gradient texture map as a plug-in builds one: the gradient along u, and sub-texture i is the
// texture of flag i. The demo keeps the gradient alive for longer than the map.
class DemoGradientMap : public Texmap {
 public:
  explicit DemoGradientMap(JGradCtlData* grad) : grad(grad) {}
  Class_ID ClassID() override { return Class_ID(0x51544C47, 1); }
  void GetClassName(CStr& s) override { s = "Gradient"; }
  AColor EvalColor(ShadeContext& sc) override {
    Point3 c;
    grad->GetColor(c, sc.UVW(1).x, 0.0f, sc, sc.CurTime());
    return AColor(c.x, c.y, c.z);
  }
  int NumSubTexmaps() override { return grad->GetFlagCount(); }
  Texmap* GetSubTexmap(int i) override {
    Texmap* m = nullptr;
    if (JFlagCtlData* f = SlotFlag(i)) f->GetSubtex(m);
    return m;
  }
  void SetSubTexmap(int i, Texmap* m) override {
    if (JFlagCtlData* f = SlotFlag(i)) f->SetSubtex(m);
  }
  CStr GetSubTexmapSlotName(int i) override {
    JFlagCtlData* f = SlotFlag(i);
    return CStr(f ? f->GetName() : "");
  }

 private:
  JFlagCtlData* SlotFlag(int i) {
    JFlagCtlData* f = i >= 0 && i < grad->GetFlagCount() ? grad->GetFlag(i) : nullptr;
    return f && f->GetSubtexData() ? f : nullptr;
  }
  JGradCtlData* grad;
};

// The texture-map plug-ins beside the tool, so that the map browser offers their maps too.
void LoadPluginsBeside() {
  char path[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (!n || n >= MAX_PATH) return;
  std::string folder(path);
  folder.erase(folder.find_last_of("\\/") + 1);
  WIN32_FIND_DATAA fd;
  HANDLE find = FindFirstFileA((folder + "*.dlt").c_str(), &fd);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    LoadPluginModule((folder + fd.cFileName).c_str());
  } while (FindNextFileA(find, &fd));
  FindClose(find);
}

struct FlagStrip {
  int x, y, width, height;
  std::vector<BMM_Color_24> pixels;
};
std::vector<FlagStrip> flagStrips;

LRESULT CALLBACK FlagDemoProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    for (FlagStrip& s : flagStrips) JBitBlt(dc, s.x, s.y, s.width, s.height, s.pixels.data());
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DemoProc(hwnd, msg, wp, lp);
}

int FlagDemo(int argc, char** argv) {
  bool showDialog = false, editor = true, pick = false;
  int closeMs = 0;
  for (int i = 0; i < argc; i++) {
    if (strcmp(argv[i], "--dialog") == 0) showDialog = true;
    if (strcmp(argv[i], "--no-editor") == 0) editor = false;
    if (strcmp(argv[i], "--pick") == 0) pick = true;
    if (strcmp(argv[i], "--close") == 0 && i + 1 < argc) closeMs = atoi(argv[++i]);
  }
  HWND main = DemoWindow("QuortoolFlagDemo", FlagDemoProc, "Flag markers", 340, 170);
  PlainDialog* dlg = new PlainDialog(main);
  JGradCtlData* grad = DemoGradient();
  if (!grad) return 1;
  // The gradient map the markers belong to, open in the host's material editor with the demo
  // window as its panel: the texture button picks a flag's texture through the editor.
  Texmap* map = nullptr;
  HWND mtlEditor = nullptr;
  if (editor) {
    LoadPluginsBeside();
    map = new DemoGradientMap(grad);
    mtlEditor = CreateMtlEditor(map);
    if (!mtlEditor) return 1;
    SetMtlEditorPanel(mtlEditor, main);
  }
  DemoOwner owner(grad);
  owner.active = grad->GetFlag(2);
  // Two strips: the markers of the gradient window (activity colouring), then markers painted in
  // their flags' colours.
  const int kStripW = 280, kStripH = 24, kMarkerW = 9, kMarkerH = 12;
  const int styles[] = {JFlagCtl::kStyleActivity, 0};
  std::vector<JFlagCtl*> markers;
  for (int row = 0; row < 2; row++) {
    FlagStrip s{20, 12 + row * 60, kStripW, kStripH, std::vector<BMM_Color_24>((size_t)kStripW * kStripH)};
    grad->Render(s.pixels.data(), 0, kStripW, kStripH, 1.0f, 0);
    flagStrips.push_back(s);
    RECT drag = {s.x, s.y + s.height - 5, s.x + s.width - 1, s.y + s.height - 5};
    for (int i = 0; i < grad->GetFlagCount(); i++) {
      int style = styles[row] | (i < 2 ? (int)JFlagCtl::kStyleFixed : 0);
      JFlagCtl* m = JFlagCtl::Create(grad->GetFlag(i), -1, style, kMarkerW, kMarkerH, drag, &owner, mtlEditor, map,
                                     GetMtlParams(mtlEditor));
      if (!m) return 1;
      *dlg += m;
      m->Init(0);
      markers.push_back(m);
    }
  }
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
  JFlagCtlDlg* props = nullptr;
  if (showDialog) {
    SendMessageA(markers[2]->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdProperties, 0);
    // A window owned by a shown window is not drawn under the screenshot's X server.
    ShowWindow(main, SW_HIDE);
    props = JFlagCtlDlg::Open();
    if (props) SetWindowPos(props->GetHwnd(), nullptr, 60, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  }
  printf("ready: %d markers%s\n", (int)markers.size(), props ? ", properties dialog open" : "");
  fflush(stdout);
  // The press reaches the dialog as a click does, once the loop runs; the editor's browser opens.
  const int kTextureButton = 1034;
  if (props && pick) PostMessageA(props->GetHwnd(), WM_COMMAND, MAKEWPARAM(kTextureButton, BN_CLICKED), 0);
  RunDemo(main, closeMs);
  DestroyControls(dlg);
  if (mtlEditor) DestroyWindow(mtlEditor);  // releases the map before the gradient it shows goes
  grad->DeleteMe();
  dlg->DeleteThis();
  printf("ok\n");
  return 0;
}

// ---- gradient-demo ---------------------------------------------------------------------------

// Two gradient windows as a plug-in's dialog holds them, each with its flag markers and label:
// one in colour with a composite choice, one drawn in grey.
int GradientDemo(int argc, char** argv) {
  const int closeMs = argc >= 2 && strcmp(argv[0], "--close") == 0 ? atoi(argv[1]) : 0;
  HINSTANCE self = GetModuleHandleA(nullptr);
  JWinProc::Register();
  const int kW = 360, kH = 36, kLabelH = 16, kRowH = 96, kFirstId = 100, kFirstLabelId = 110;
  HWND main = DemoWindow("QuortoolGradientDemo", DemoProc, "JGradCtl demo", kW + 60, 2 * kRowH + 60);
  HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  PlainDialog* dlg = new PlainDialog(main);  // the demo window is its controls' dialog object
  JFloatData* composite = Create_JFloatData();
  composite->SetValue(0, (float)JGradCtl::kAdditive);
  std::vector<JGradCtlData*> grads;
  const char* titles[] = {"Colour, composite Additive", "Grey (luminosity)"};
  for (int row = 0; row < 2; row++) {
    int y = 12 + row * kRowH;
    HWND title = CreateWindowExA(0, "STATIC", titles[row], WS_CHILD | WS_VISIBLE, 20, y, kW, 18, main, nullptr, self,
                                 nullptr);
    SendMessageA(title, WM_SETFONT, (WPARAM)font, 0);
    CreateWindowExA(0, "JUniversalWindow", "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 20, y + 22, kW, kH, main,
                    (HMENU)(INT_PTR)(kFirstId + row), self, nullptr);
    CreateWindowExA(0, "JUniversalWindow", "", WS_CHILD | WS_VISIBLE, 20, y + 22 + kH + 10, kW, kLabelH, main,
                    (HMENU)(INT_PTR)(kFirstLabelId + row), self, nullptr);
    JGradCtlData* grad = DemoGradient();
    if (!grad) return 1;
    grads.push_back(grad);
    JGradCtl* win = JGradCtl::Create(grad, -1, -1, kFirstId + row, JFlagCtl::kStyleActivity | (row ? JGRADCTL_MONO : 0),
                                     row ? nullptr : composite, kFirstLabelId + row);
    if (!win) return 1;
    win->SetFontHeight(14);
    *dlg += win;
    win->Init(0);
    win->SetFreeze(0);
    // The third flag is the active one.
    win->Next(nullptr);
    win->Next(nullptr);
  }
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);
  printf("ready: %d gradient windows, %d controls\n", (int)grads.size(), dlg->NumControls());
  fflush(stdout);
  RunDemo(main, closeMs);
  DestroyControls(dlg);
  for (JGradCtlData* g : grads) g->DeleteMe();
  composite->DeleteMe();
  dlg->DeleteThis();
  printf("ok\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  RegisterPluginModule(GetLibInstance());
  if (argc >= 2 && strcmp(argv[1], "draw-gradient") == 0) return DrawGradient(argc - 2, argv + 2);
  if (argc >= 2 && strcmp(argv[1], "progress-demo") == 0) return ProgressDemo(argc - 2, argv + 2);
  if (argc >= 2 && strcmp(argv[1], "view-demo") == 0) return ViewDemo(argc - 2, argv + 2);
  if (argc >= 2 && strcmp(argv[1], "select-image") == 0) return SelectImage(argc - 2, argv + 2);
  if (argc >= 2 && strcmp(argv[1], "preview-setup") == 0) return PreviewSetup();
  if (argc >= 2 && strcmp(argv[1], "flag-demo") == 0) return FlagDemo(argc - 2, argv + 2);
  if (argc >= 2 && strcmp(argv[1], "gradient-demo") == 0) return GradientDemo(argc - 2, argv + 2);
  fprintf(stderr, "usage: quortool draw-gradient file.png [width height]\n"
                  "       quortool progress-demo [percent [hold-ms [alone]]]\n"
                  "       quortool view-demo [--close ms]\n"
                  "       quortool select-image [file [gamma|fields]]\n"
                  "       quortool preview-setup\n"
                  "       quortool flag-demo [--dialog [--no-editor] [--pick]] [--close ms]\n"
                  "       quortool gradient-demo [--close ms]\n");
  return 2;
}
