// Gradient flags and flag sets.
//
// The flag getters accept a null object, so this file is compiled without the compiler's
// assumption that this is never null.
#include "JFlag.h"
#include "JModule.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kSource[] = "JFLAGCTL";
const int kLineGetSubtex = 186;
const int kLineSetSubtex = 237;

constexpr Class_ID kFlagID = jlib::ClassIDOf(jlib::kFlagCtlDataClass);
constexpr Class_ID kFlagSetID = jlib::ClassIDOf(jlib::kFlagSetDataClass);

J_INIT_DESCRIPTOR(jlib::kFlagCtlDataClass) JClassDesc<JFlagCtlData, ReferenceTargetRTTI> flagDesc(0, "JFlagCtlData", 0x200, kFlagID, "");
J_INIT_DESCRIPTOR(jlib::kFlagSetDataClass) JClassDesc<JFlagSetData, ReferenceTargetRTTI> flagSetDesc(0, "JFlagSetData", 0x200, kFlagSetID, "");

// Not inlined: the caller cannot reason the test away.
__attribute__((noinline)) bool Missing(const void* object) { return object == nullptr; }

using jlib::Clamp01;

template <class T>
T* Child(JDataNode* node, int i) {
  return dynamic_cast<T*>((*node)(i));
}

void ReadFloat(JDataLeafBase* leaf, int t, float& v, Interval& valid) {
  v = 0.0f;
  if (!leaf) return;
  float buf[3] = {0, 0, 0};
  leaf->GetValue(buf, t, valid, CTRL_ABSOLUTE);
  v = buf[0];
}

void WriteFloat(JDataLeafBase* leaf, int t, float v) {
  if (!leaf) return;
  float buf[3] = {v, 0, 0};
  Interval valid = FOREVER;
  leaf->SetValue(buf, t, valid, CTRL_ABSOLUTE);
}

}  // namespace

// ---- JFlagCtlData ----------------------------------------------------------------------------

JFlagCtlData::JFlagCtlData(int) {
  nameBuffer[0] = 0;
  Add(Create_JColor3Data(), 1006);
  Add(Create_JPercentData(), 1003);
  Add(Create_JPercentData(), static_cast<const char*>(nullptr));
  Add(Create_JBinaryData(), static_cast<const char*>(nullptr));
  Add(Create_JFloatData(), static_cast<const char*>(nullptr));
  Add(Create_JSubtex(), 1007);
  Point3 grey(0.5f, 0.5f, 0.5f);
  SetColor(0, grey);
  float linear = jlib::FlagInterpIndex(jlib::Interp::Linear);
  SetInterp(0, linear);
}

JClassDescBase* JFlagCtlData::GetCD() { return &flagDesc; }

JColor3Data* JFlagCtlData::GetColorData() { return Missing(this) ? nullptr : Child<JColor3Data>(this, kColor); }
JPercentData* JFlagCtlData::GetPositionData() { return Missing(this) ? nullptr : Child<JPercentData>(this, kPosition); }
JBinaryData* JFlagCtlData::GetNameData() { return Missing(this) ? nullptr : Child<JBinaryData>(this, kName); }
JFloatData* JFlagCtlData::GetInterpData() { return Missing(this) ? nullptr : Child<JFloatData>(this, kInterp); }
JSubtex* JFlagCtlData::GetSubtexData() { return Missing(this) ? nullptr : Child<JSubtex>(this, kSubtex); }

void JFlagCtlData::GetPos(int t, float& pos, Interval& valid) {
  pos = 0.0f;
  if (Missing(this)) return;
  ReadFloat(GetPositionData(), t, pos, valid);
  pos = Clamp01(pos);
}

void JFlagCtlData::GetPos(int t, float& pos) {
  Interval valid = FOREVER;
  GetPos(t, pos, valid);
}

void JFlagCtlData::GetPos(int t, float& pos, float& pos2, Interval& valid) {
  pos = pos2 = 0.0f;
  if (Missing(this)) return;
  ReadFloat(GetPositionData(), t, pos, valid);
  ReadFloat(Child<JPercentData>(this, kPosition2), t, pos2, valid);
  pos = Clamp01(pos);
  pos2 = Clamp01(pos2);
}

void JFlagCtlData::GetPos(int t, float& pos, float& pos2) {
  Interval valid = FOREVER;
  GetPos(t, pos, pos2, valid);
}

void JFlagCtlData::GetColor(int t, Point3& c, Interval& valid) {
  c = Point3(0, 0, 0);
  if (Missing(this)) return;
  JColor3Data* leaf = GetColorData();
  if (!leaf) return;
  leaf->GetValue(&c, t, valid, CTRL_ABSOLUTE);
  c = Point3(Clamp01(c.x), Clamp01(c.y), Clamp01(c.z));
}

void JFlagCtlData::GetColor(int t, Point3& c) {
  Interval valid = FOREVER;
  GetColor(t, c, valid);
}

void JFlagCtlData::GetInterp(int t, float& v, Interval& valid) {
  v = 0.0f;
  if (Missing(this)) return;
  ReadFloat(GetInterpData(), t, v, valid);
  if (v < 0.0f) v = 0.0f;
}

void JFlagCtlData::GetInterp(int t, float& v) {
  Interval valid = FOREVER;
  GetInterp(t, v, valid);
}

void JFlagCtlData::GetSubtex(Texmap*& tex) {
  tex = nullptr;
  JSubtex* slot = GetSubtexData();
  if (!slot) {
    assert1(kLineGetSubtex, kSource);
    return;
  }
  tex = slot->GetSubTexmap(0);
}

void JFlagCtlData::SetPos(int t, float& pos, float& pos2) {
  WriteFloat(GetPositionData(), t, pos);
  WriteFloat(Child<JPercentData>(this, kPosition2), t, pos2);
}

void JFlagCtlData::SetPos(int t, float& pos) {
  float zero = 0.0f;
  SetPos(t, pos, zero);
}

void JFlagCtlData::SetColor(int t, Point3& c) {
  JColor3Data* leaf = GetColorData();
  if (!leaf) return;
  Interval valid = FOREVER;
  leaf->SetValue(&c, t, valid, CTRL_ABSOLUTE);
}

void JFlagCtlData::SetInterp(int t, float& v) { WriteFloat(GetInterpData(), t, v); }

void JFlagCtlData::SetSubtex(Texmap* tex) {
  JSubtex* slot = GetSubtexData();
  if (!slot) {
    assert1(kLineSetSubtex, kSource);
    return;
  }
  slot->ReplaceReference(0, tex, TRUE);
  // Removing a map sends no change of its own: tell the gradient above that its cache is stale.
  if (!tex) slot->NotifyDependents(FOREVER, PART_ALL, REFMSG_SUBANIM_STRUCTURE_CHANGED, NOTIFY_ALL, TRUE, nullptr);
}

void JFlagCtlData::SetName(const char* text) {
  JMemBlock block;
  if (text) block.Copy(text, JMemBlock::kText);
  JBinaryData* leaf = GetNameData();
  if (leaf) {
    Interval valid = FOREVER;
    leaf->SetValue(&block, 0, valid, CTRL_ABSOLUTE);
  }
  nameBuffer[0] = 0;
  if (block.Size() && block.Data()[0]) {
    strncpy(nameBuffer, block.Data(), sizeof nameBuffer - 1);
    nameBuffer[sizeof nameBuffer - 1] = 0;
  }
}

const char* JFlagCtlData::GetName() {
  JBinaryData* leaf = GetNameData();
  if (!leaf) return nullptr;
  JMemBlock block;
  Interval valid = FOREVER;
  leaf->GetValue(&block, 0, valid, CTRL_ABSOLUTE);
  if (!block.Size() || !block.Data()[0]) return nullptr;
  // The stored bytes need not end with a NUL: copy at most what is there.
  size_t n = block.Size() < sizeof nameBuffer - 1 ? block.Size() : sizeof nameBuffer - 1;
  memcpy(nameBuffer, block.Data(), n);
  nameBuffer[n] = 0;
  return nameBuffer;
}

JFlagCtlData* Create_JFlagCtlData() { return JCreateRegistered<JFlagCtlData>(0x200, kFlagID); }

// ---- JFlagSetData ----------------------------------------------------------------------------

JFlagSetData::JFlagSetData(int loading) {
  if (loading) return;
  for (unsigned k = 1; k <= 2; k++) {
    JFlagCtlData* flag = Create_JFlagCtlData();
    if (!flag) continue;
    char name[64];
    snprintf(name, sizeof name, GetResString(1002), k);
    flag->SetName(name);
    if (k == 2) {
      float end = 1.0f;
      flag->SetPos(0, end);
    }
    BypassTree(flag->GetPositionData(), 1);
    Add(flag, "_");
  }
}

JClassDescBase* JFlagSetData::GetCD() { return &flagSetDesc; }

JFlagSetData* Create_JFlagSetData() { return JCreateRegistered<JFlagSetData>(0x200, kFlagSetID); }
