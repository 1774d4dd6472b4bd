// A glow filter for the Postline, written against the Quorlib SDK: the bright parts of the image
// bleed light over their surroundings. The parameters (blur radius, luminance threshold, strength,
// a tint and a gradient that colours the glow by its intensity) live in a data tree that the host
// saves and animates with the scene; the settings dialog binds them to spinners, a colour swatch
// and a check box, shows the result live in a filter preview (over the library's default
// background, or over the scene the host renders when "Scene" is checked) and has the library's
// filter toolbar to reset, load, save and preview the settings.
#include "GlowCore.h"
#include "Quorlib.h"
#include "glow_res.h"

#include <stdio.h>

namespace {

HINSTANCE module;

const Class_ID kGlowFilterID(0x474C4F57, 0x46494C54);
const Class_ID kGlowDataID(0x474C4F57, 0x44415441);
// The extension property of the data tree that counts the previews the settings dialog computed
// for it, for a tool (or a test) that wants to see the preview follow the controls.
const Class_ID kPreviewCountID(0x474C4F57, 0x50524556);

// ---- Parameters --------------------------------------------------------------------------------

class GlowData : public JDataNode {
 public:
  enum { kRadius, kThreshold, kStrength, kColor, kUseGradient, kGradient, kPreviewOn, kSceneSource };
  explicit GlowData(int loading);
  JClassDescBase* GetCD() override;

  JDataLeafBase* Leaf(int id) { return dynamic_cast<JDataLeafBase*>((*this)(id)); }
  JGradCtlData* Gradient() { return dynamic_cast<JGradCtlData*>((*this)(kGradient)); }
  // The preview's switches: shown at all, and over the scene the host renders (else over the
  // library's default background). Null in trees saved before they existed.
  JFloatData* Switch(int id) { return dynamic_cast<JFloatData*>((*this)(id)); }
  // The pixel settings at t for an image scale times the size of the output (radii shrink with
  // the image).
  void Settings(int t, float scale, glow::Settings& s);
};

JClassDesc<GlowData, ReferenceTargetRTTI> dataDesc(0, "GlowData", REF_TARGET_CLASS_ID, kGlowDataID, "Samples");

// Default values: a glow of 12 pixels around what is brighter than 60 %, white tint, gradient on.
const float kDefaultRadius = 12.0f;
const float kDefaultThreshold = 0.6f;
const float kDefaultStrength = 1.5f;

template <class Leaf>
Leaf* WithValue(Leaf* leaf, float v) {
  if (leaf) leaf->SetValue(0, v);
  return leaf;
}

GlowData::GlowData(int loading) {
  if (loading) return;
  Add(WithValue(Create_JFloatData(), kDefaultRadius), "Radius");
  Add(WithValue(Create_JPercentData(), kDefaultThreshold), "Threshold");
  Add(WithValue(Create_JFloatData(), kDefaultStrength), "Strength");
  JColor3Data* tint = Create_JColor3Data();
  if (tint) {
    Point3 white(1, 1, 1);
    tint->SetValue(0, white);
  }
  Add(tint, "Colour");
  Add(WithValue(Create_JBoolData(), 1.0f), "Use Gradient");
  Add(Create_JGradCtlData(module, IDR_GLOW_GRADIENT), "Gradient");
  Add(WithValue(Create_JFloatData(), 1.0f), "Preview");
  Add(WithValue(Create_JFloatData(), 0.0f), "Preview Scene");
}

JClassDescBase* GlowData::GetCD() { return &dataDesc; }

void GlowData::Settings(int t, float scale, glow::Settings& s) {
  JDataLeafBase* radius = Leaf(kRadius);
  JDataLeafBase* threshold = Leaf(kThreshold);
  JDataLeafBase* strength = Leaf(kStrength);
  JDataLeafBase* tint = Leaf(kColor);
  JDataLeafBase* useGradient = Leaf(kUseGradient);
  s.radius = radius ? radius->GetFValue(t) * scale : 0;
  s.threshold = threshold ? threshold->GetFValue(t) : 1;
  Point3 c(1, 1, 1);
  if (tint) tint->GetValue(t, c);

  static const int n = glow::kLevels;
  Point3 colours[n];
  JGradCtlData* grad = Gradient();
  if (grad && useGradient && useGradient->GetFValue(t) != 0) {
    float pos[n];
    for (int i = 0; i < n; i++) pos[i] = (float)i / (n - 1);
    Interval valid = FOREVER;
    grad->Update(t, valid);
    if (!grad->GetColors(colours, pos, n, t))
      for (int i = 0; i < n; i++) colours[i] = Point3(1, 1, 1);
  } else {
    for (int i = 0; i < n; i++) colours[i] = Point3(1, 1, 1);
  }
  for (int i = 0; i < n; i++) colours[i] = Point3(colours[i].x * c.x, colours[i].y * c.y, colours[i].z * c.z);
  glow::FillTable(s, colours, strength ? strength->GetFValue(t) : 0);
}

// ---- The filter --------------------------------------------------------------------------------

class GlowDlg;

class GlowFilter : public JFilterBase {
 public:
  explicit GlowFilter(int) {}
  JClassDescBase* GetCD() override;

  const char* Description() override { return "Glow"; }
  const char* AuthorName() override { return "Quorlib samples"; }
  const char* CopyrightMessage() override { return "Public domain"; }
  UINT Version() override { return 100; }
  DWORD Capability() override { return IMGFLT_FILTER | IMGFLT_CONTROL; }
  void ShowAbout(HWND hWnd) override {
    DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_GLOW_ABOUT), hWnd, JFilterAboutDlgProc, (LPARAM)this);
  }
  BOOL ShowControl(HWND hWnd) override {
    HWND parent = JPrepFilterDlg(hWnd);
    ShowControlProtected(parent);
    return accepted;
  }

  JClassDescBase* GetDataCD() override { return &dataDesc; }
  JData* CreateData() override { return JCreateRegistered<GlowData>(REF_TARGET_CLASS_ID, kGlowDataID); }
  int DoShowControl(HWND parent) override;
  INT_PTR InitAbout(HWND dialog) override {
    SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, "Glow 1.00\nA Quorlib sample: bright parts bleed light, "
                                            "coloured by a gradient.");
    return TRUE;
  }
  BOOL DoRender(HWND) override;

  GlowData* Params() { return dynamic_cast<GlowData*>(Data()); }
  // The time of the frame the queue renders.
  int FrameTime() { return FilterInfo()->frame * GetTicksPerFrame(); }

  JOneModelessBase* dialog = nullptr;  // the open settings dialog; it clears this when it closes
  int accepted = 0;                    // the last settings dialog ended with OK
  glow::Settings settings;             // of the frame being rendered
  glow::Worker worker;                 // renders the queue's frames
  glow::Settings previewSettings;      // the same two for the preview's thread
  glow::Worker previewWorker;
};

JClassDesc<GlowFilter, ImageFilter> filterDesc(1, "Glow", FLT_CLASS_ID, kGlowFilterID, "Samples");

JClassDescBase* GlowFilter::GetCD() { return &filterDesc; }

// The queue's frame, or, while the settings dialog's preview renders (on its own thread), the
// preview's picture: the radius scaled from the output's size to the picture's, and the
// preview's own settings and worker. Each preview render is counted.
BOOL GlowFilter::DoRender(HWND) {
  GlowData* p = Params();
  Bitmap* source = Source();
  if (!p || !source) return FALSE;
  if (!GetPreviewFlags()) {
    p->Settings(FrameTime(), 1.0f, settings);
    return worker.GlowBitmap(source, settings);
  }
  int count = 0;
  p->Extensions().FindExtProperty(kPreviewCountID, &count);
  p->Extensions().AddExtProperty(kPreviewCountID, count + 1);
  const int outputWidth = FilterInfo()->width;
  p->Settings(FrameTime(), outputWidth > 0 ? (float)source->Width() / outputWidth : 1.0f, previewSettings);
  return previewWorker.GlowBitmap(source, previewSettings);
}

// ---- The settings dialog -------------------------------------------------------------------------

// The gradient strip under the check box.
int RenderGradient(BMM_Color_24* out, void* user, int time, int width, int height, float aspect, HWND) {
  GlowData* p = static_cast<GlowFilter*>(user)->Params();
  JGradCtlData* grad = p ? p->Gradient() : nullptr;
  return grad ? grad->Render(out, time, width, height, aspect, 0) : 0;
}

char settingsFilter[] = "Glow settings (*.glw)\0*.glw\0";
char settingsExt[] = "glw";

class GlowDlg : public JOneModelessBase {
 public:
  GlowDlg(GlowFilter* filter, GlowData* p) : filter(filter) {
    const float kMaxRadius = 200, kMaxPercent = 100, kMaxStrength = 20, kStep = 0.1f;
    leafControls[0] = JFloatSpinner::Create(p->Leaf(GlowData::kRadius), -1, IDC_RADIUS_SPIN, IDC_RADIUS_EDIT, 0,
                                            kMaxRadius, kStep);
    leafControls[1] = JFloatSpinner::Create(p->Leaf(GlowData::kThreshold), -1, IDC_THRESHOLD_SPIN,
                                            IDC_THRESHOLD_EDIT, 0, kMaxPercent, kStep);
    leafControls[2] = JFloatSpinner::Create(p->Leaf(GlowData::kStrength), -1, IDC_STRENGTH_SPIN, IDC_STRENGTH_EDIT,
                                            0, kMaxStrength, kStep);
    leafControls[3] = JColorSwatch::Create(p->Leaf(GlowData::kColor), -1, IDC_COLOR);
    leafControls[4] = JCheckButton::Create(p->Leaf(GlowData::kUseGradient), -1, IDC_USE_GRADIENT, nullptr, nullptr,
                                           nullptr, nullptr);
    leafControls[5] = JCheckButton::Create(p->Leaf(GlowData::kPreviewOn), -1, IDC_PREVIEW_ON, nullptr, nullptr,
                                           nullptr, nullptr);
    leafControls[6] = JCheckButton::Create(p->Leaf(GlowData::kSceneSource), -1, IDC_PREVIEW_SCENE, nullptr, nullptr,
                                           nullptr, nullptr);
    for (JViewCtl* c : leafControls) *this += c;
    gradient = JViewWnd::Create(p->Gradient(), -1, IDC_GRADIENT, RenderGradient, filter);
    *this += gradient;
    // The preview runs the filter's own rendering; the update button asks the host again for the
    // scene, the toolbar resets, loads, saves and has the host make a preview of the output.
    preview = JFilterPreviewWnd::Create(filter, p, IDC_PREVIEW, p->Switch(GlowData::kPreviewOn),
                                        p->Switch(GlowData::kSceneSource));
    if (preview) preview->SetUpdateFlags(JVWF_THREAD);
    *this += preview;
    *this += JUpdateFPWButton::Create(preview, IDC_PREVIEW_UPDATE, nullptr, nullptr, nullptr, nullptr);
    toolBar = JFilterToolBar::Create(p, filter, settingsFilter, settingsExt);
    *this += toolBar;
  }
  ~GlowDlg() override {
    filter->dialog = nullptr;
    filter->SetDlgHandle(nullptr);
  }
  int PostInit() override {
    filter->SetDlgHandle(GetHwnd());
    return JOneModelessBase::PostInit();
  }

  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return module; }
  int IdDlg() override { return IDD_GLOW; }
  const char* ActionName() override { return "Glow Settings"; }
  // A tree reset or loaded by the toolbar: every control shows its part of it.
  int SwitchData(JDataBase* data, void*) override {
    GlowData* p = dynamic_cast<GlowData*>(data);
    if (!p) return 0;
    const int t = GetTime();
    const int leaves[] = {GlowData::kRadius,      GlowData::kThreshold, GlowData::kStrength,   GlowData::kColor,
                          GlowData::kUseGradient, GlowData::kPreviewOn, GlowData::kSceneSource};
    for (int i = 0; i < kLeafControls; i++)
      if (leafControls[i]) leafControls[i]->Set(p->Leaf(leaves[i]), t);
    if (gradient) gradient->Set(p->Gradient(), t);
    if (toolBar) toolBar->Set(p, t);
    if (preview) preview->Set(p, t, p->Switch(GlowData::kPreviewOn), p->Switch(GlowData::kSceneSource));
    return 1;
  }
  int Command(int id, unsigned int code) override {
    if (id == IDOK) filter->accepted = 1;
    return JOneModelessBase::Command(id, code);
  }

 private:
  static const int kLeafControls = 7;
  GlowFilter* filter;
  JViewCtl* leafControls[kLeafControls];
  JViewWnd* gradient = nullptr;
  JFilterPreviewWnd* preview = nullptr;
  JFilterToolBar* toolBar = nullptr;
};

int GlowFilter::DoShowControl(HWND parent) {
  accepted = 0;
  GlowData* p = Params();
  if (!p || dialog) return 0;
  // Made here, on the interface thread; the preview's thread only changes its value.
  p->Extensions().AddExtProperty(kPreviewCountID, 0);
  // The host's controls in this module's dialog template (once per module; later calls return).
  InitCustomControls(module);
  dialog = JOneModelessBase::CreateDlg(parent, new GlowDlg(this, p));
  if (!dialog) return 0;
  JDoFilterDlg(&dialog, this);
  return accepted;
}

// The library this plug-in was written against, or a later one.
bool LibraryFits() { return QuorlibVersion() >= 69; }

ClassDesc* const classes[] = {&filterDesc, &dataDesc};

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) const char* LibDescription() { return "Glow image filter (Quorlib sample)"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return LibraryFits() ? 2 : 0; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) {
  return LibraryFits() && i >= 0 && i < 2 ? classes[i] : nullptr;
}
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }
