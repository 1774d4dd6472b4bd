// A gradient ramp texture map for the Vantor host, written against the Quorlib SDK: the colour of
// a gradient along u, along v or out from the centre, repeated a number of times. Each flag of the
// gradient may carry a texture of its own, which is the map's sub-texture of the same number. The
// parameter dialog holds the library's gradient window; opened by the host's material editor, a
// flag's properties dialog picks that flag's texture through the editor's map browser.
#include "Quorlib.h"
#include "gradmap_res.h"

#include <math.h>

#include <initializer_list>

namespace {

HINSTANCE module;

const Class_ID kRampMapID(0x47524144, 0x4D415020);
const Class_ID kRampDataID(0x47524144, 0x44415441);

// The axes offered by the drop-down list, in its order.
enum Axis { kAlongU, kAlongV, kRadial };
const char kAxisItems[] = "U\nV\nRadial";
const int kMaxRepeat = 100;

// ---- Parameters --------------------------------------------------------------------------------

class RampData : public JDataNode {
 public:
  enum { kGradient, kAxis, kRepeat };
  explicit RampData(int loading);
  JClassDescBase* GetCD() override;

  JData* Child(int id) { return (*this)(id); }
  // The gradient, or null when the slot holds something else.
  JGradCtlData* Gradient() { return dynamic_cast<JGradCtlData*>(Child(kGradient)); }
  float Value(int id, int t) {
    JDataLeafBase* leaf = dynamic_cast<JDataLeafBase*>(Child(id));
    return leaf ? leaf->GetFValue(t) : 0.0f;
  }
};

JClassDesc<RampData, ReferenceTargetRTTI> dataDesc(0, "GradientRampData", REF_TARGET_CLASS_ID, kRampDataID,
                                                   "Samples");

RampData::RampData(int loading) {
  if (loading) return;
  Add(Create_JGradCtlData(module, IDR_RAMP_LAYOUT), "Gradient");
  Add(Create_JFloatData(), "Along");
  JFloatData* repeat = Create_JFloatData();
  if (repeat) repeat->SetValue(0, 1.0f);
  Add(repeat, "Repeat");
}

JClassDescBase* RampData::GetCD() { return &dataDesc; }

// ---- The map -----------------------------------------------------------------------------------

class RampDlg;

// The position in the gradient of texture coordinates (u, v): along the axis, repeated; 1 stays
// the end of the last repetition rather than wrapping to the start.
float RampPosition(int axis, int repeat, float u, float v) {
  const float kCentre = 0.5f, kRadius = 0.5f;
  float pos = axis == kAlongV ? v : axis == kRadial ? hypotf(u - kCentre, v - kCentre) / kRadius : u;
  if (repeat <= 1 || !(pos > 0.0f)) return pos;
  float p = pos * (float)repeat;
  return p >= (float)repeat ? pos : p - floorf(p);
}

class RampMap : public Texmap {
 public:
  explicit RampMap(int loading) {
    if (!loading) MakeRefByID(FOREVER, 0, JCreateRegistered<RampData>(REF_TARGET_CLASS_ID, kRampDataID));
  }
  Class_ID ClassID() override { return kRampMapID; }
  int NumRefs() override { return 1; }
  RefTargetHandle GetReference(int i) override { return i == 0 ? data : nullptr; }
  void SetReference(int i, RefTargetHandle r) override {
    if (i == 0) data = dynamic_cast<RampData*>(r);
  }
  int NumSubs() override { return 1; }
  Animatable* SubAnim(int i) override { return i == 0 ? data : nullptr; }
  CStr SubAnimName(int i) override { return CStr(i == 0 ? "Parameters" : ""); }
  RefTargetHandle Clone(RemapDir& remap) override {
    RampMap* m = new RampMap(1);
    m->SetName(GetName());
    if (data) m->ReplaceReference(0, remap.CloneRef(data), TRUE);
    BaseClone(this, m, remap);
    return m;
  }

  // Reads the axis and the repeat count at t, rebuilds the gradient's colour cache for t and
  // brings the flags' textures to t. Render threads then call EvalColor at once.
  void Update(TimeValue t, Interval& valid) override {
    if (!data) return;
    axis = (int)data->Value(RampData::kAxis, t);
    int r = (int)data->Value(RampData::kRepeat, t);
    repeat = r < 1 ? 1 : r > kMaxRepeat ? kMaxRepeat : r;
    for (int id : {RampData::kAxis, RampData::kRepeat})
      if (JData* leaf = data->Child(id); leaf && leaf->IsAnimated()) valid &= Interval(t, t);
    if (JGradCtlData* g = data->Gradient()) g->Update(t, valid);
    for (int i = 0; i < NumSubTexmaps(); i++)
      if (Texmap* tex = GetSubTexmap(i)) tex->Update(t, valid);
    updated = true;
  }
  AColor EvalColor(ShadeContext& sc) override {
    JGradCtlData* g = data ? data->Gradient() : nullptr;
    if (!g) return AColor(0, 0, 0);
    if (!updated) {
      Interval valid = FOREVER;
      Update(sc.CurTime(), valid);
    }
    Point3 uvw = sc.UVW(1);
    Point3 c;
    // The shading context has no sampled extent: a Solid step stays a step.
    const float kNoExtent = 0.0f;
    g->GetColor(c, RampPosition(axis, repeat, uvw.x, uvw.y), kNoExtent, sc, sc.CurTime());
    return AColor(c.x, c.y, c.z);
  }

  // Sub-texture i is the texture of flag i.
  int NumSubTexmaps() override {
    JGradCtlData* g = data ? data->Gradient() : nullptr;
    return g ? g->GetFlagCount() : 0;
  }
  Texmap* GetSubTexmap(int i) override {
    Texmap* tex = nullptr;
    if (JFlagCtlData* f = Flag(i)) f->GetSubtex(tex);
    return tex;
  }
  void SetSubTexmap(int i, Texmap* tex) override {
    if (JFlagCtlData* f = Flag(i)) f->SetSubtex(tex);
  }
  CStr GetSubTexmapSlotName(int i) override {
    JFlagCtlData* f = Flag(i);
    return CStr(f ? f->GetName() : "");
  }

  HWND CreateParamDlg(HWND owner) override;

  RampData* data = nullptr;
  RampDlg* dialog = nullptr;  // the open parameter dialog; it clears this when it closes

 private:
  // Flag i when it has a texture slot; null otherwise.
  JFlagCtlData* Flag(int i) {
    JGradCtlData* g = data ? data->Gradient() : nullptr;
    JFlagCtlData* f = g && i >= 0 && i < g->GetFlagCount() ? g->GetFlag(i) : nullptr;
    return f && f->GetSubtexData() ? f : nullptr;
  }

  int axis = kAlongU;
  int repeat = 1;
  bool updated = false;
};

JClassDesc<RampMap, Texmap> mapDesc(1, "Gradient Ramp", TEXMAP_CLASS_ID, kRampMapID, "Samples");

// ---- The parameter dialog ----------------------------------------------------------------------

class RampDlg : public JOneModelessBase {
 public:
  // editor is the window the dialog is opened over: the host's material editor when it opened
  // the panel, in which case the flags' texture buttons pick maps through it.
  RampDlg(RampMap* map, RampData* d, HWND editor) : map(map) {
    JGradCtl* gradient = JGradCtl::Create(d, RampData::kGradient, -1, IDC_GRADIENT, JFlagCtl::kStyleActivity,
                                          nullptr, IDC_GRAD_LABEL, editor, map, GetMtlParams(editor));
    if (gradient) gradient->LoadResource(module, IDR_RAMP_LAYOUT);  // what the window's Reset restores
    *this += gradient;
    *this += JDropDownListBox::Create(d->Child(RampData::kAxis), -1, IDC_AXIS, kAxisItems, nullptr, nullptr, nullptr,
                                      nullptr);
    *this += JIntSpinner::Create(d->Child(RampData::kRepeat), -1, IDC_REPEAT_SPIN, IDC_REPEAT_EDIT, 1, kMaxRepeat);
  }
  ~RampDlg() override { map->dialog = nullptr; }

  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return module; }
  int IdDlg() override { return IDD_RAMP; }
  const char* ActionName() override { return "Gradient Ramp Parameters"; }
  int SwitchData(JDataBase*, void*) override { return 0; }

 private:
  RampMap* map;
};

HWND RampMap::CreateParamDlg(HWND owner) {
  if (dialog) {
    SetForegroundWindow(dialog->GetHwnd());
    return dialog->GetHwnd();
  }
  if (!data) return nullptr;
  // The host's controls in this module's dialog template (once per module; later calls return).
  InitCustomControls(module);
  dialog = static_cast<RampDlg*>(JOneModelessBase::CreateDlg(owner, new RampDlg(this, data, owner)));
  if (!dialog) return nullptr;
  ShowWindow(dialog->GetHwnd(), SW_SHOW);
  return dialog->GetHwnd();
}

// The library this plug-in was written against, or a later one.
bool LibraryFits() { return QuorlibVersion() >= 69; }

ClassDesc* const classes[] = {&mapDesc, &dataDesc};
const int kClassCount = sizeof classes / sizeof classes[0];

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) module = instance;
  return TRUE;
}

extern "C" __declspec(dllexport) const char* LibDescription() { return "Gradient ramp texture map (Quorlib sample)"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return LibraryFits() ? kClassCount : 0; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) {
  return LibraryFits() && i >= 0 && i < kClassCount ? classes[i] : nullptr;
}
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }
