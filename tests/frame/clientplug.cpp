// A client plug-in written against the library: one parameter block whose descriptor is the
// library's descriptor template, so that it joins the library's registry while the module is
// loaded. The registry tests load and unload it.
#include "Quorlib.h"

namespace {

const Class_ID kClientBlockID(0x7E57C11E, 1);

class ClientBlock : public JDataNode {
 public:
  explicit ClientBlock(int loading) {
    if (!loading) Add(Create_JFloatData(), "Level");
  }
  JClassDescBase* GetCD() override;
};

JClassDesc<ClientBlock, ReferenceTargetRTTI> clientDesc(0, "ClientBlock", REF_TARGET_CLASS_ID, kClientBlockID, "");

JClassDescBase* ClientBlock::GetCD() { return &clientDesc; }

}  // namespace

extern "C" __declspec(dllexport) const char* LibDescription() { return "Library client test plug-in"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return 1; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) { return i == 0 ? &clientDesc : nullptr; }
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }
