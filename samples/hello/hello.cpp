// A minimal client plug-in: one class whose objects keep a few named settings in the library's
// containers. It checks the library version it runs against before offering its class.
#include "Quorlib.h"

namespace {

// The settings object the class creates: names in a string table, values in a property list.
class HelloSettings {
 public:
  explicit HelloSettings(int loading) {
    if (loading) return;  // a loader fills the object
    names.Append("greeting");
    values.Add(Class_ID(0x48454C4C, 0x4F000001), 42);
  }
  JSZTab names;
  JPropertyList values;
};

class HelloDesc : public ClassDesc {
 public:
  int IsPublic() override { return 1; }
  void* Create(BOOL loading) override { return new HelloSettings(loading); }
  const char* ClassName() override { return "HelloSample"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(0x48454C4C, 0x4F000000); }
  const char* Category() override { return "Samples"; }
};

HelloDesc helloDesc;

// The library this plug-in was written against, or a later one.
bool LibraryFits() { return QuorlibVersion() >= 69; }

}  // namespace

extern "C" __declspec(dllexport) const char* LibDescription() { return "Hello sample plug-in"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return LibraryFits() ? 1 : 0; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) { return i == 0 && LibraryFits() ? &helloDesc : nullptr; }
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }
