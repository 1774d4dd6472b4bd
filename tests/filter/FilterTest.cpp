#include "FilterTest.h"

namespace filtertest {

const Class_ID kParamsID(0x7E57F170, 1);
const Class_ID kOtherParamsID(0x7E57F170, 2);
const Class_ID kTestFilterID(0x7E57F170, 3);

namespace {
JClassDesc<Params, ReferenceTargetRTTI> paramsDesc(0, "TestFilterParams", REF_TARGET_CLASS_ID, kParamsID, "");
JClassDesc<OtherParams, ReferenceTargetRTTI> otherDesc(0, "OtherFilterParams", REF_TARGET_CLASS_ID, kOtherParamsID,
                                                       "");
// The filter's own descriptor: the library answers it through GetCD; the tests make filters
// with new.
class FilterDesc : public JClassDescBase {
 public:
  int IsPublic() override { return 0; }
  void* Create(BOOL) override { return static_cast<ImageFilter*>(new TestFilter); }
  const char* ClassName() override { return "TestFilter"; }
  SClass_ID SuperClassID() override { return FLT_CLASS_ID; }
  Class_ID ClassID() override { return kTestFilterID; }
  const char* Category() override { return ""; }
};
FilterDesc filterDesc;
}  // namespace

int Params::alive = 0;

Params::Params(int loading) {
  alive++;
  if (loading) return;
  JFloatData* gain = Create_JFloatData();
  gain->SetValue(0, kDefaultGain);
  Add(gain, "Gain");
  JBoolData* enabled = Create_JBoolData();
  enabled->SetValue(0, 1.0f);
  Add(enabled, "Enabled");
}

Params::~Params() { alive--; }

JClassDescBase* Params::GetCD() { return &paramsDesc; }
JClassDescBase* OtherParams::GetCD() { return &otherDesc; }

float Params::Gain(int t) { return static_cast<JDataLeafBase*>((*this)(kGain))->GetFValue(t); }
void Params::SetGain(float v, int t) { static_cast<JDataLeafBase*>((*this)(kGain))->SetValue(t, v); }

Params* NewParams() { return JCreateRegistered<Params>(REF_TARGET_CLASS_ID, kParamsID); }
OtherParams* NewOtherParams() { return JCreateRegistered<OtherParams>(REF_TARGET_CLASS_ID, kOtherParamsID); }

JClassDescBase* TestFilter::GetCD() { return &filterDesc; }
JClassDescBase* TestFilter::GetDataCD() { return &paramsDesc; }

}  // namespace filtertest
