// Texture maps: the base class's defaults and the two maps the host provides.
#include "builtins.h"
#include "vtex.h"

#include <math.h>
#include <string.h>

ShadeContext::ShadeContext() : time(0) {}
ShadeContext::~ShadeContext() {}
TimeValue ShadeContext::CurTime() { return time; }
Point3 ShadeContext::UVW(int) { return uvw; }

SClass_ID Texmap::SuperClassID() { return TEXMAP_CLASS_ID; }
void Texmap::Update(TimeValue, Interval&) {}
CStr Texmap::GetFullName() {
  if (!name.isNull()) return name;
  CStr cls;
  GetClassName(cls);
  return cls;
}
const char* Texmap::GetName() { return name.data(); }
void Texmap::SetName(const char* n) { name = n; }
int Texmap::NumSubTexmaps() { return 0; }
Texmap* Texmap::GetSubTexmap(int) { return nullptr; }
void Texmap::SetSubTexmap(int, Texmap*) {}
CStr Texmap::GetSubTexmapSlotName(int) { return CStr(); }
HWND Texmap::CreateParamDlg(HWND) { return nullptr; }

DADMgr::~DADMgr() {}
int DADMgr::SlotOwner() { return 0; }
BOOL DADMgr::AutoTooltip() { return FALSE; }
BOOL DADMgr::CopyOnly(HWND, POINT) { return FALSE; }
BOOL DADMgr::LetMeHandleLocalDAD() { return FALSE; }

namespace {

void PutColor(unsigned char* p, const Color& c) {
  float f[3] = {c.r, c.g, c.b};
  for (int i = 0; i < 3; i++) {
    uint32_t u;
    memcpy(&u, &f[i], 4);
    PutU32(p + 4 * i, u);
  }
}

Color GetColor(const unsigned char* p) {
  float f[3];
  for (int i = 0; i < 3; i++) {
    uint32_t u = GetU32(p + 4 * i);
    memcpy(&f[i], &u, 4);
  }
  return Color(f[0], f[1], f[2]);
}

// Saves and loads a map's colours and tiling as one data chunk.
IOResult SaveFloats(ISave* isave, const Color* colors, int n, float extra) {
  unsigned char buf[2 * 12 + 4];
  for (int i = 0; i < n; i++) PutColor(buf + 12 * i, colors[i]);
  uint32_t u;
  memcpy(&u, &extra, 4);
  PutU32(buf + 12 * n, u);
  isave->BeginChunk(1);
  IOResult r = isave->Write(buf, 12 * n + 4, nullptr);
  isave->EndChunk();
  return r;
}

IOResult LoadFloats(ILoad* iload, Color* colors, int n, float* extra) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == 1) {
      unsigned char buf[2 * 12 + 4];
      ULONG got = 0;
      ULONG want = 12 * n + 4;
      if (iload->Read(buf, want, &got) != IO_OK || got != want) return IO_ERROR;
      for (int i = 0; i < n; i++) colors[i] = GetColor(buf + 12 * i);
      uint32_t u = GetU32(buf + 12 * n);
      memcpy(extra, &u, 4);
    }
    iload->CloseChunk();
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

class SolidColorMap : public Texmap {
 public:
  explicit SolidColorMap(const Color& c = Color()) : color(c) {}
  Class_ID ClassID() override { return SOLIDMAP_CLASS_ID; }
  void GetClassName(CStr& s) override { s = "Solid Color"; }
  AColor EvalColor(ShadeContext&) override { return AColor(color); }
  RefTargetHandle Clone(RemapDir& remap) override {
    SolidColorMap* m = new SolidColorMap(color);
    m->SetName(GetName());
    BaseClone(this, m, remap);
    return m;
  }
  IOResult Save(ISave* isave) override { return SaveFloats(isave, &color, 1, 0.0f); }
  IOResult Load(ILoad* iload) override {
    float unused;
    return LoadFloats(iload, &color, 1, &unused);
  }
  Color color;
};

// Two colours in squares; each square may take its colour from a sub-texture instead.
class CheckerMap : public Texmap {
 public:
  CheckerMap(const Color& a = Color(0, 0, 0), const Color& b = Color(1, 1, 1), float t = 2.0f) : tiles(t) {
    colors[0] = a;
    colors[1] = b;
  }
  Class_ID ClassID() override { return CHECKERMAP_CLASS_ID; }
  void GetClassName(CStr& s) override { s = "Checker"; }
  AColor EvalColor(ShadeContext& sc) override {
    Point3 uvw = sc.UVW(1);
    int cell = ((int)floorf(uvw.x * tiles) + (int)floorf(uvw.y * tiles)) & 1;
    return maps[cell] ? maps[cell]->EvalColor(sc) : AColor(colors[cell]);
  }
  void Update(TimeValue t, Interval& valid) override {
    for (Texmap* m : maps)
      if (m) m->Update(t, valid);
  }
  int NumSubTexmaps() override { return 2; }
  Texmap* GetSubTexmap(int i) override { return i == 0 || i == 1 ? maps[i] : nullptr; }
  void SetSubTexmap(int i, Texmap* m) override {
    if (i == 0 || i == 1) ReplaceReference(i, m, TRUE);
  }
  CStr GetSubTexmapSlotName(int i) override { return CStr(i == 0 ? "Color 1" : i == 1 ? "Color 2" : ""); }
  int NumRefs() override { return 2; }
  RefTargetHandle GetReference(int i) override { return i == 0 || i == 1 ? maps[i] : nullptr; }
  void SetReference(int i, RefTargetHandle r) override {
    if (i == 0 || i == 1) maps[i] = dynamic_cast<Texmap*>(r);
  }
  int NumSubs() override { return 2; }
  Animatable* SubAnim(int i) override { return GetSubTexmap(i); }
  CStr SubAnimName(int i) override { return GetSubTexmapSlotName(i); }
  RefTargetHandle Clone(RemapDir& remap) override {
    CheckerMap* m = new CheckerMap(colors[0], colors[1], tiles);
    m->SetName(GetName());
    for (int i = 0; i < 2; i++)
      if (maps[i]) m->ReplaceReference(i, remap.CloneRef(maps[i]), TRUE);
    BaseClone(this, m, remap);
    return m;
  }
  IOResult Save(ISave* isave) override { return SaveFloats(isave, colors, 2, tiles); }
  IOResult Load(ILoad* iload) override { return LoadFloats(iload, colors, 2, &tiles); }

  Color colors[2];
  float tiles;
  Texmap* maps[2] = {nullptr, nullptr};
};

template <class T>
class MapDesc : public ClassDesc {
 public:
  MapDesc(const char* name, Class_ID id) : name(name), id(id) {}
  int IsPublic() override { return 1; }
  void* Create(BOOL) override { return static_cast<Animatable*>(new T); }
  const char* ClassName() override { return name; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return id; }
  const char* Category() override { return "Maps"; }

 private:
  const char* name;
  Class_ID id;
};

MapDesc<SolidColorMap> solidDesc("Solid Color", SOLIDMAP_CLASS_ID);
MapDesc<CheckerMap> checkerDesc("Checker", CHECKERMAP_CLASS_ID);
struct Registration {
  Registration() {
    RegisterBuiltinClass(&solidDesc);
    RegisterBuiltinClass(&checkerDesc);
  }
} registration;

}  // namespace

Texmap* NewSolidColorMap(const Color& c) { return new SolidColorMap(c); }
Texmap* NewCheckerMap(const Color& c1, const Color& c2, float tiles) { return new CheckerMap(c1, c2, tiles); }
