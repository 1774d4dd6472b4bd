// A plug-in module with two classes, for the host's loader tests.
#include "vantor.h"

namespace {

struct Thing {
  int kind;
};

class ThingDesc : public ClassDesc {
 public:
  ThingDesc(const char* name, ULONG b) : name(name), b(b) {}
  int IsPublic() override { return 1; }
  void* Create(BOOL) override { return new Thing{(int)b}; }
  const char* ClassName() override { return name; }
  SClass_ID SuperClassID() override { return 0x200; }
  Class_ID ClassID() override { return Class_ID(0x7E570000, b); }
  const char* Category() override { return "Test"; }

 private:
  const char* name;
  ULONG b;
};

ThingDesc first("TestThing", 1), second("OtherThing", 2);

}  // namespace

extern "C" __declspec(dllexport) const char* LibDescription() { return "Loader test plug-in"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return 2; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) { return i == 0 ? &first : i == 1 ? &second : nullptr; }
extern "C" __declspec(dllexport) ULONG LibVersion() {
#ifdef TESTPLUG_BAD_VERSION
  return (VANTOR_RELEASE << 16) | ((VANTOR_API_NUM + 1) << 8);
#else
  return VANTOR_VERSION_LIB;
#endif
}
