// Byte payloads, texture-map slots and the dummy controller that shows a parameter tree in the
// host's track editor.
#pragma once

#include "JData.h"

// An arbitrary byte payload in the tree: saved, cloned and bound to views like any parameter,
// but bypassed and hidden from the host's tree for good.
class QUORAPI JBinaryData : public JData {
 public:
  explicit JBinaryData(int loading);
  JClassDescBase* GetCD() override;
  // val is a JMemBlock*: GetValue copies the payload into it, SetValue copies it into the payload.
  void GetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;
  void SetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;
  JMemBlock& Payload() { return payload; }

  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  BOOL BypassTreeView() override;
  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;
  void SetReference(int i, RefTargetHandle target) override;
  // Chunk 1: the data object's own save; chunk 2: the payload bytes.
  IOResult Save(ISave* isave) override;
  IOResult Load(ILoad* iload) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  void DeleteThis() override;

 protected:
  JMemBlock payload;
};

// A texture-map slot: its only reference is a host Texmap, assigned by drag and drop.
class QUORAPI JSubtex : public JData, public DADMgr {
 public:
  explicit JSubtex(int loading);
  ~JSubtex() override;
  JClassDescBase* GetCD() override;
  // A slot has no value (asserted).
  void GetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;
  void SetValue(void* val, TimeValue t, Interval& valid, GetSetMethod method) override;

  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;
  void SetReference(int i, RefTargetHandle target) override;
  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  // The slot's name, then ": " and the map's full name when a map is assigned.
  CStr SubAnimName(int i) override;
  Texmap* GetSubTexmap(int i);
  CStr GetSubTexmapSlotName(int i);
  ParamDimension* GetParamDimension(int i) override;
  BOOL BypassTreeView() override;
  BOOL AssignController(Animatable* control, int subAnim) override;
  RefTargetHandle Clone(RemapDir& remap) override;
  void DeleteThis() override;

  // Drag and drop: the slot takes texture maps.
  SClass_ID GetDragType(HWND hwnd, POINT p) override;
  BOOL OkToDrop(ReferenceTarget* dropThis, HWND hfrom, HWND hto, POINT p, SClass_ID type, BOOL isNew = FALSE) override;
  int SlotOwner() override;
  ReferenceTarget* GetInstance(HWND hwnd, POINT p, SClass_ID type) override;
  // Takes the dropped map, notifies dependents and sends 0x4500 to the parent of hwnd.
  void Drop(ReferenceTarget* dropThis, HWND hwnd, POINT p, SClass_ID type) override;
  BOOL AutoTooltip() override;

 protected:
  Texmap* texmap;
};

// A host controller with run-time type identity.
class QUORAPI StdControlRTTI : public StdControl {};

// A controller of the library that knows its class descriptor.
class QUORAPI ZControl : public StdControlRTTI, public JClassBase {
 public:
  Class_ID ClassID() override;
  SClass_ID SuperClassID() override;
};

// A controller whose single sub-animation is a data tree: placed in a track-editor node, it makes
// the tree visible and editable there.
class QUORAPI TVDummyControl : public ZControl {
 public:
  explicit TVDummyControl(int loading);
  JClassDescBase* GetCD() override;
  int NumSubs() override;
  Animatable* SubAnim(int i) override;
  CStr SubAnimName(int i) override;
  int SubNumToRefNum(int subNum) override;
  BOOL BypassTreeView() override;
  int NumRefs() override;
  RefTargetHandle GetReference(int i) override;
  void SetReference(int i, RefTargetHandle target) override;
  RefResult NotifyRefChanged(Interval changeInt, RefTargetHandle target, PartID& partID, RefMessage message) override;
  // A new dummy referencing a clone of the tree (no target: a dummy without one).
  RefTargetHandle Clone(RemapDir& remap) override;
  void DeleteThis() override;
  JData* Target() { return target; }

 protected:
  JData* target;
  JMemBlock unused;
};

QUORAPI JBinaryData* Create_JBinaryData();
QUORAPI JSubtex* Create_JSubtex();
QUORAPI TVDummyControl* Create_TVDummyControl();

// Shows data in the track-editor node: a new dummy controller referencing data is added as an
// item with an empty name, the data's class id, at the end. The caller removes the node's old
// items and bypasses data first. Answers the dummy, or null.
QUORAPI TVDummyControl* JTavrelAttach(ITavrelNode* node, JData* data);
