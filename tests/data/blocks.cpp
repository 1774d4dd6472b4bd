#include "blocks.h"

const Class_ID kTestBlockID(0x7E57B10C, 1);
const Class_ID kSubBlockID(0x7E57B10C, 2);
bool TestBlock::extraChild = false;
int TestBlock::constructed = 0;

namespace {
JClassDesc<TestBlock, ReferenceTargetRTTI> blockDesc(0, "TestBlock", 0x200, kTestBlockID, "");
JClassDesc<SubBlock, ReferenceTargetRTTI> subDesc(0, "SubBlock", 0x200, kSubBlockID, "");
}  // namespace

SubBlock::SubBlock(int loading) {
  if (loading) return;
  Add(Create_JPercentData(), "Amount");
  Add(Create_JBoolData(), "Enabled");
}
JClassDescBase* SubBlock::GetCD() { return &subDesc; }

TestBlock::TestBlock(int loading) {
  constructed++;
  if (loading) return;
  JFloatData* gain = Create_JFloatData();
  gain->SetValue(0, 1.5f);
  Add(gain, "Gain");
  Add(Create_JColor3Data(), "Tint");
  Add(JCreateRegistered<SubBlock>(0x200, kSubBlockID), "Sub");
  Add(Create_JBinaryData(), "");
  Add(Create_JSubtex(), "Map");
  if (extraChild) {
    JAngleData* spin = Create_JAngleData();
    spin->SetValue(0, 0.25f);
    Add(spin, "Spin");
  }
}
JClassDescBase* TestBlock::GetCD() { return &blockDesc; }

TestBlock* NewTestBlock() { return JCreateRegistered<TestBlock>(0x200, kTestBlockID); }

JFloatData* SetKeys(JFloatData* f, std::initializer_list<std::pair<TimeValue, float>> keys) {
  AnimateOn();
  for (auto& k : keys) f->SetValue(k.first, k.second);
  AnimateOff();
  return f;
}
