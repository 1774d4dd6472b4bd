// Leaf parameters: one animatable value held by a host controller, with a display dimension.
#pragma once

#include "JData.h"

// Everything a leaf does; the ten leaf classes differ only in descriptor, default controller and
// dimension.
class QUORAPI JDataLeafBase : public JData {
 public:
  // With loading 0 the leaf gets a default controller from makeController.
  JDataLeafBase(int loading, Control* (*makeController)(), ParamDimension* dim);
  ~JDataLeafBase() override;

  // ---- Values (every short form evaluates over FOREVER, absolute) ----
  void GetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;
  // Writes through the controller, then reads back what it holds into val.
  void SetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;
  void GetValue(int t, float& v);
  float GetFValue(int t);
  int GetIValue(int t);  // truncated toward zero
  void GetValue(int t, Point3& p);
  void SetValue(int t, float v);
  void SetValue(int t, Point3& p);  // p receives the value the controller holds
  // The value at t, and the largest magnitude among the values a walk sees: one validity interval,
  // narrowed by every evaluation, first at t, then from time 0 forward at one tick past the end
  // the last evaluation left, until that end stops moving. Without a controller both are the
  // stored value (the peak not made absolute).
  void GetValueMax(int t, float& value, float& peak);

  // ---- Structure ----
  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;
  void SetReference(int i, RefTargetHandle target) override;
  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  BOOL BypassTreeView() override;  // 1: the controller is listed in the leaf's place
  ParamDimension* GetParamDimension(int i) override;
  BOOL AssignController(Animatable* control, int subAnim) override;
  int NumKeys() override;
  TimeValue GetKeyTime(int index) override;
  int GetKeyIndex(TimeValue t) override;
  BOOL GetNextKeyTime(TimeValue t, DWORD flags, TimeValue& nt) override;
  void CopyKeysFromTime(TimeValue src, TimeValue dst, DWORD flags) override;
  void DeleteKeyAtTime(TimeValue t) override;
  BOOL IsKeyAtTime(TimeValue t, DWORD flags) override;
  void RescaleWorldUnits(float f) override;
  JDataLeafBase* NewThis(int loading);
  RefTargetHandle Clone(RemapDir& remap) override;
  void DeleteThis() override;

  Control* GetController() { return controller; }

 protected:
  Control* controller;
  ParamDimension* dimension;
  float value[3];
};

#define JLEAF_CLASS(name)                 \
  class QUORAPI name : public JDataLeafBase { \
   public:                                \
    explicit name(int loading);           \
    JClassDescBase* GetCD() override;     \
  };

JLEAF_CLASS(JFloatData)
JLEAF_CLASS(JWorldData)
JLEAF_CLASS(JAngleData)
JLEAF_CLASS(JColorData)
JLEAF_CLASS(JPercentData)
JLEAF_CLASS(JBoolData)
JLEAF_CLASS(JFloat3Data)
JLEAF_CLASS(JWorld3Data)
JLEAF_CLASS(JColor3Data)
JLEAF_CLASS(JPercent3Data)
#undef JLEAF_CLASS

// There is no whole-number leaf: a count, or the choice of a drop-down list or radio group, is a
// JFloatData read with GetIValue and shown by a JIntSpinner (or the list or group).

// New leaves with their default controllers, through the host's class directory; null when the
// host creates nothing or another class. The directory knows the library's classes once the host
// has loaded Quorlib.dlz as a plug-in module (its start-up does, before other plug-ins); a module
// that merely links the library does not register them.
QUORAPI JFloatData* Create_JFloatData();
QUORAPI JWorldData* Create_JWorldData();
QUORAPI JAngleData* Create_JAngleData();
QUORAPI JColorData* Create_JColorData();
QUORAPI JPercentData* Create_JPercentData();
QUORAPI JBoolData* Create_JBoolData();
QUORAPI JFloat3Data* Create_JFloat3Data();
QUORAPI JWorld3Data* Create_JWorld3Data();
QUORAPI JColor3Data* Create_JColor3Data();
QUORAPI JPercent3Data* Create_JPercent3Data();
