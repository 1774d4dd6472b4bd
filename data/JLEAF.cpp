// Leaf parameters.
#include "JLeaf.h"
#include "JDataInternal.h"
#include "JModule.h"

#include <stdint.h>

#include <algorithm>

namespace {

const char kSource[] = "JDATA";
const int kLineGetNull = 668;
const int kLineSetNull = 744;

float Magnitude(float v) { return v < 0 ? -v : v; }

}  // namespace

JDataLeafBase::JDataLeafBase(int loading, Control* (*makeController)(), ParamDimension* dim)
    : controller(nullptr), dimension(dim ? dim : defaultDim), value{0, 0, 0} {
  if (!loading && makeController) MakeRefByID(FOREVER, 0, makeController());
}

JDataLeafBase::~JDataLeafBase() {}

void JDataLeafBase::GetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) {
  if (!val) {
    assert1(kLineGetNull, kSource);
    return;
  }
  if (controller) controller->GetValue(t, val, valid, method);
}

void JDataLeafBase::SetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) {
  if (!val) {
    assert1(kLineSetNull, kSource);
    return;
  }
  if (!controller) return;
  controller->SetValue(t, val, 1, method);
  controller->GetValue(t, val, valid, method);
}

// The short forms go through a three-component buffer, so a float form on a three-component
// leaf (or the other way round) never reads or writes past the caller's value.
void JDataLeafBase::GetValue(int t, float& v) {
  float buf[3] = {value[0], value[1], value[2]};
  Interval valid = FOREVER;
  GetValue(buf, t, valid, CTRL_ABSOLUTE);
  v = buf[0];
}

float JDataLeafBase::GetFValue(int t) {
  float v;
  GetValue(t, v);
  return v;
}

int JDataLeafBase::GetIValue(int t) { return (int)GetFValue(t); }

void JDataLeafBase::GetValue(int t, Point3& p) {
  p = Point3(value[0], value[1], value[2]);
  Interval valid = FOREVER;
  GetValue(&p, t, valid, CTRL_ABSOLUTE);
}

void JDataLeafBase::SetValue(int t, float v) {
  value[0] = v;
  float copy[3] = {v, value[1], value[2]};
  Interval valid = FOREVER;
  SetValue(copy, t, valid, CTRL_ABSOLUTE);
}

void JDataLeafBase::SetValue(int t, Point3& p) {
  value[0] = p.x, value[1] = p.y, value[2] = p.z;
  Interval valid = FOREVER;
  SetValue(&p, t, valid, CTRL_ABSOLUTE);
}

void JDataLeafBase::GetValueMax(int t, float& v, float& peak) {
  if (!controller) {
    v = peak = value[0];
    return;
  }
  // One interval serves the whole walk: every evaluation narrows it further.
  Interval valid = FOREVER;
  auto at = [this, &valid](TimeValue s) {
    float buf[3] = {value[0], value[1], value[2]};
    GetValue(buf, s, valid, CTRL_ABSOLUTE);
    return buf[0];
  };
  v = at(t);
  peak = Magnitude(v);
  // From time 0 forward, one evaluation per stretch of validity, each one tick after the end the
  // previous one left, until that end stops moving.
  TimeValue s = 0, prev = -1;
  for (bool first = true;; first = false) {
    float sample = at(s);
    TimeValue e = valid.End();
    if (e == prev) break;
    peak = std::max(peak, Magnitude(sample));
    // Narrowing never moves the end forward. A controller that replaces the interval instead
    // could move it forward for ever, round the end of time and back: the walk stops there.
    if (!first && e > prev) break;
    s = (TimeValue)((uint32_t)e + 1u);  // after the end of time comes its start, as ticks wrap
    prev = e;
  }
}

int JDataLeafBase::NumRefs() { return 1; }
RefTargetHandle JDataLeafBase::GetReference(int i) { return i == 0 ? controller : nullptr; }
void JDataLeafBase::SetReference(int i, RefTargetHandle target) {
  if (i == 0) controller = dynamic_cast<Control*>(target);
}

int JDataLeafBase::NumSubs() { return GetBypassTree() ? 0 : controller ? 1 : 0; }
Animatable* JDataLeafBase::SubAnim(int i) { return i == 0 && !GetBypassTree() ? controller : nullptr; }
CStr JDataLeafBase::SubAnimName(int) { return CStr(JDataBase::GetName()); }
BOOL JDataLeafBase::BypassTreeView() { return TRUE; }
ParamDimension* JDataLeafBase::GetParamDimension(int) { return dimension; }

BOOL JDataLeafBase::AssignController(Animatable* control, int subAnim) {
  ReplaceReference(subAnim, dynamic_cast<ReferenceTarget*>(control), TRUE);
  jdata::NotifyControllerAssigned(this);
  return TRUE;
}

int JDataLeafBase::NumKeys() { return controller ? controller->NumKeys() : 0; }
TimeValue JDataLeafBase::GetKeyTime(int index) { return controller ? controller->GetKeyTime(index) : 0; }
int JDataLeafBase::GetKeyIndex(TimeValue t) { return controller ? controller->GetKeyIndex(t) : -1; }
BOOL JDataLeafBase::GetNextKeyTime(TimeValue t, DWORD flags, TimeValue& nt) {
  return controller ? controller->GetNextKeyTime(t, flags, nt) : FALSE;
}
void JDataLeafBase::CopyKeysFromTime(TimeValue src, TimeValue dst, DWORD flags) {
  if (controller) controller->CopyKeysFromTime(src, dst, flags);
}
void JDataLeafBase::DeleteKeyAtTime(TimeValue t) {
  if (controller) controller->DeleteKeyAtTime(t);
}
BOOL JDataLeafBase::IsKeyAtTime(TimeValue t, DWORD flags) { return controller ? controller->IsKeyAtTime(t, flags) : FALSE; }
void JDataLeafBase::RescaleWorldUnits(float) {}

JDataLeafBase* JDataLeafBase::NewThis(int loading) { return jdata::NewOfClass<JDataLeafBase>(this, loading); }

RefTargetHandle JDataLeafBase::Clone(RemapDir& remap) {
  JDataLeafBase* n = NewThis(1);
  if (!n) return nullptr;
  n->SetName(JDataBase::GetName());
  n->properties = properties;
  n->dimension = dimension;
  n->ReplaceReference(0, remap.CloneRef(controller), TRUE);
  BaseClone(this, n, remap);
  return n;
}

void JDataLeafBase::DeleteThis() { delete this; }

// ---- The ten leaf classes --------------------------------------------------------------------

#define JLEAF_DEFINE(index, cls, make, dim)                                                                  \
  namespace {                                                                                                \
  J_INIT_DESCRIPTOR(jlib::index)                                                                             \
  JClassDesc<cls, ReferenceTargetRTTI> cls##Desc(0, #cls, 0x200, jlib::ClassIDOf(jlib::index), "");          \
  }                                                                                                          \
  cls::cls(int loading) : JDataLeafBase(loading, make, dim) {}                                               \
  JClassDescBase* cls::GetCD() { return &cls##Desc; }                                                        \
  cls* Create_##cls() { return JCreateRegistered<cls>(0x200, jlib::ClassIDOf(jlib::index)); }

JLEAF_DEFINE(kFloatDataClass, JFloatData, NewDefaultFloatController, defaultDim)
JLEAF_DEFINE(kWorldDataClass, JWorldData, NewDefaultFloatController, stdWorldDim)
JLEAF_DEFINE(kAngleDataClass, JAngleData, NewDefaultFloatController, stdAngleDim)
JLEAF_DEFINE(kColorDataClass, JColorData, NewDefaultFloatController, stdColor255Dim)
JLEAF_DEFINE(kPercentDataClass, JPercentData, NewDefaultFloatController, stdPercentDim)
JLEAF_DEFINE(kBoolDataClass, JBoolData, NewDefaultBoolController, defaultDim)
JLEAF_DEFINE(kFloat3DataClass, JFloat3Data, NewDefaultPoint3Controller, defaultDim)
JLEAF_DEFINE(kWorld3DataClass, JWorld3Data, NewDefaultPoint3Controller, stdWorldDim)
JLEAF_DEFINE(kColor3DataClass, JColor3Data, NewDefaultColorController, stdColor255Dim)
JLEAF_DEFINE(kPercent3DataClass, JPercent3Data, NewDefaultPoint3Controller, stdPercentDim)
