#include "things.h"

#include <string.h>

const Class_ID Thing::kID(0x7E571111, 1);
int Thing::destroyed = 0;

RefTargetHandle Thing::Clone(RemapDir& remap) {
  Thing* t = new Thing(NumRefs(), value);
  for (int i = 0; i < NumRefs(); i++)
    if (refs[i]) t->ReplaceReference(i, remap.CloneRef(refs[i]), TRUE);
  BaseClone(this, t, remap);
  return t;
}

IOResult Thing::Save(ISave* isave) {
  int32_t data[2] = {value, NumRefs()};
  isave->BeginChunk(1);
  IOResult r = isave->Write(data, sizeof data, nullptr);
  isave->EndChunk();
  return r;
}

IOResult Thing::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == 1) {
      int32_t data[2];
      ULONG got = 0;
      if (iload->Read(data, sizeof data, &got) != IO_OK || got != sizeof data || data[1] < 0 || data[1] > 1000)
        return IO_ERROR;
      value = data[0];
      refs.assign(data[1], nullptr);
    }
    iload->CloseChunk();
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

namespace {
class ThingDesc : public ClassDesc {
 public:
  int IsPublic() override { return 0; }
  void* Create(BOOL) override { return static_cast<Animatable*>(new Thing); }
  const char* ClassName() override { return "Thing"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return Thing::kID; }
  const char* Category() override { return ""; }
} thingDesc;
}  // namespace

// The test program is a plug-in of its own.
extern "C" __declspec(dllexport) const char* LibDescription() { return "Host tests"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return 1; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) { return i == 0 ? &thingDesc : nullptr; }
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }
