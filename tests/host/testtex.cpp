// A plug-in module with one texture map, for the material editor's tests: stripes along u, and a
// parameter panel that is a plain window owned by the window the editor gives it.
#include "vantor.h"

#include "testtex.h"

namespace {

class StripesMap : public Texmap {
 public:
  Class_ID ClassID() override { return TESTTEX_STRIPES_CLASS_ID; }
  void GetClassName(CStr& s) override { s = TESTTEX_STRIPES_NAME; }
  AColor EvalColor(ShadeContext& sc) override {
    return sc.UVW(1).x < TESTTEX_STRIPES_EDGE ? AColor(TESTTEX_STRIPES_LOW) : AColor(TESTTEX_STRIPES_HIGH);
  }
  HWND CreateParamDlg(HWND owner) override {
    return CreateWindowExA(0, "STATIC", TESTTEX_STRIPES_NAME, WS_POPUP, 0, 0, 100, 40, owner, nullptr, nullptr,
                           nullptr);
  }
};

class StripesDesc : public ClassDesc {
 public:
  int IsPublic() override { return 1; }
  void* Create(BOOL) override { return static_cast<Animatable*>(new StripesMap); }
  const char* ClassName() override { return TESTTEX_STRIPES_NAME; }
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
  Class_ID ClassID() override { return TESTTEX_STRIPES_CLASS_ID; }
  const char* Category() override { return "Test"; }
};

// A texture map class kept from the user: the browser does not offer it.
class HiddenDesc : public StripesDesc {
 public:
  int IsPublic() override { return 0; }
  const char* ClassName() override { return TESTTEX_HIDDEN_NAME; }
  Class_ID ClassID() override { return TESTTEX_HIDDEN_CLASS_ID; }
};

StripesDesc stripes;
HiddenDesc hidden;

}  // namespace

extern "C" __declspec(dllexport) const char* LibDescription() { return "Material editor test maps"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return 2; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) { return i == 0 ? &stripes : i == 1 ? &hidden : nullptr; }
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }
