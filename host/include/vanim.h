// The host's object model: animatables, reference makers and targets, notification, cloning.
#pragma once

#include "vbase.h"
#include "vutil.h"

class Animatable;
class ReferenceMaker;
class ReferenceTarget;
class RemapDir;
class ParamDimension;
class ISave;
class ILoad;

typedef ReferenceTarget* RefTargetHandle;
typedef ReferenceMaker* RefMakerHandle;
typedef ULONG_PTR PartID;  // pointer-sized: some messages pass an address in it
typedef unsigned int RefMessage;

// How a value is given to or asked of a controller.
typedef int GetSetMethod;
#define CTRL_RELATIVE 0
#define CTRL_ABSOLUTE 1

// Parts of an object that a change concerns.
#define PART_TM 0x00000001
#define PART_ALL 0x800037FF

// Reference messages. The host sends the first two itself; the others travel unchanged from
// whoever sends them to the dependents.
#define REFMSG_TARGET_DELETED 0x00000040
#define REFMSG_CHANGE 0x00000050
#define REFMSG_CONTROLREF_CHANGE 0x000000FA
#define REFMSG_GET_PARAM_DIM 0x000000FD
#define REFMSG_SUBANIM_STRUCTURE_CHANGED 0x00000102

// Super-class filters of NotifyDependents: values from 0xFFFFFF00 on reach every dependent;
// any other value reaches only dependents of that super class.
#define NOTIFY_ALL 0xFFFFFFF0
#define NOTIFY_ANY_FILTER_BASE 0xFFFFFF00

// Flags of GetNextKeyTime and IsKeyAtTime.
#define NEXTKEY_LEFT 0x1
#define NEXTKEY_RIGHT 0x2

// Flags of EnumAuxFiles.
#define FILE_ENUM_INACTIVE 0x1
#define FILE_ENUM_MISSING_ONLY 0x100

// Receives the names of the files an object uses.
class NameEnumCallback {
 public:
  virtual void RecordName(const char* name) = 0;

 protected:
  ~NameEnumCallback() = default;
};

// Anything that can appear in the host's animation tree.
class HOSTAPI Animatable {
 public:
  Animatable();
  virtual ~Animatable();
  virtual Class_ID ClassID();                  // default: (0, 0)
  virtual SClass_ID SuperClassID();            // default: 0
  virtual void GetClassName(CStr& s);          // default: the registered class name, else ""
  virtual void DeleteThis();                   // default: delete this
  virtual void* GetInterface(ULONG id);        // default: null
  virtual int NumSubs();                       // default: 0
  virtual Animatable* SubAnim(int i);          // default: null
  virtual CStr SubAnimName(int i);             // default: ""
  virtual int SubNumToRefNum(int subNum);      // default: -1
  virtual BOOL BypassTreeView();               // default: FALSE
  // Default: TRUE when the object has keys or any sub-animation is animated.
  virtual BOOL IsAnimated();
  virtual BOOL AssignController(Animatable* control, int subAnim);  // default: FALSE
  // Keys. Defaults: none.
  virtual int NumKeys();
  virtual TimeValue GetKeyTime(int index);
  virtual int GetKeyIndex(TimeValue t);
  virtual BOOL GetNextKeyTime(TimeValue t, DWORD flags, TimeValue& nt);
  virtual void CopyKeysFromTime(TimeValue src, TimeValue dst, DWORD flags);
  virtual void DeleteKeyAtTime(TimeValue t);
  virtual BOOL IsKeyAtTime(TimeValue t, DWORD flags);
  virtual ParamDimension* GetParamDimension(int i);  // default: defaultDim
  virtual void RescaleWorldUnits(float f);           // default: nothing
  virtual void EnumAuxFiles(NameEnumCallback& nameEnum, DWORD flags);  // default: nothing
  virtual void FreeAllBitmaps();                     // default: nothing
};

// An object that holds references to targets. References are numbered slots; the host keeps
// each target informed of who depends on it and deletes targets that nobody references any more.
class HOSTAPI ReferenceMaker : public Animatable {
 public:
  ReferenceMaker();
  ~ReferenceMaker() override;
  virtual int NumRefs();                                       // default: 0
  virtual RefTargetHandle GetReference(int i);                 // default: null
  virtual void SetReference(int i, RefTargetHandle rtarg);     // called back by the host
  virtual RefResult NotifyRefChanged(Interval changeInt, RefTargetHandle hTarget, PartID& partID,
                                     RefMessage message);      // default: REF_SUCCEED
  virtual IOResult Save(ISave* isave);                         // default: IO_OK
  virtual IOResult Load(ILoad* iload);                         // default: IO_OK
  virtual BOOL IsRefTarget();                                  // FALSE
  // Default: asks each referenced target.
  void EnumAuxFiles(NameEnumCallback& nameEnum, DWORD flags) override;

  // Makes htarget reference which (replacing what was there, which is released). REF_FAIL for a
  // reference that would make a cycle, or an index out of range (asserted).
  RefResult MakeRefByID(Interval refInterval, int which, RefTargetHandle htarget);
  // Replaces reference which by newtarg; with delOld, the old target is deleted when this was its
  // last dependent.
  RefResult ReplaceReference(int which, RefTargetHandle newtarg, BOOL delOld = TRUE);
  RefResult DeleteReference(int which);
  RefResult DeleteAllRefsFromMe();
  // Releases every reference, then destroys the object.
  virtual void DeleteMe();
  // The index of the first reference to rtarg, or -1.
  int FindRef(RefTargetHandle rtarg);
};

// An object that can be referenced.
class HOSTAPI ReferenceTarget : public ReferenceMaker {
 public:
  ReferenceTarget();
  ~ReferenceTarget() override;
  BOOL IsRefTarget() override;
  // Tells the dependents (filtered by super class) of a change by calling their NotifyRefChanged;
  // unless a dependent answers REF_STOP, a dependent that is itself a target passes it on to its
  // own dependents when propagate is set. hTarg is the changed object given to them (null: this).
  RefResult NotifyDependents(Interval changeInt, PartID partID, RefMessage message,
                             SClass_ID sclass = NOTIFY_ALL, BOOL propagate = TRUE,
                             RefTargetHandle hTarg = nullptr);
  // A copy of the object; references are copied through remap. Default: null.
  virtual RefTargetHandle Clone(RemapDir& remap);
  // What every clone shares: the remap directory learns from -> to.
  virtual void BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap);
  // REF_FAIL when hmaker referencing this would make a cycle (hmaker is this or is reachable
  // through this object's references), else REF_SUCCEED.
  RefResult TestForLoop(Interval refInterval, RefMakerHandle hmaker);
  // Tells the dependents that this object goes, clears their references to it, then DeleteMe.
  void DeleteMe() override;
  // Moves every reference to this object onto newTarget (null clears them): each slot of each
  // dependent that holds this object is replaced with ReplaceReference, so the change is recorded
  // while a hold is open. A slot whose maker newTarget depends on keeps this object (that would be a
  // cycle). With delOld, this object is deleted when no reference to it is left. Answers the number
  // of references moved (0 when newTarget is this object).
  int TransferReferences(RefTargetHandle newTarget, BOOL delOld = FALSE);
  int NumDependents();
  ReferenceMaker* GetDependent(int i);

 private:
  friend class ReferenceMaker;
  friend struct TargetHolds;
  void AddDependent(ReferenceMaker* m);
  void RemoveDependent(ReferenceMaker* m);
  void ReleaseIfOrphan();
  Tab<ReferenceMaker*> dependents;  // one entry per reference held on this object
  int holds = 0;                    // undo records that keep this object alive
  bool orphaned = false;            // lost its last dependent with delete-old while held
  bool deleting = false;
  bool deferred = false;            // deleted while an undo record still needed it
};

// Walks the dependents of a target as they were when the walk began.
class HOSTAPI DependentIterator {
 public:
  explicit DependentIterator(ReferenceTarget* rt);
  ~DependentIterator();
  ReferenceMaker* Next();
  void Reset();

 private:
  Tab<ReferenceMaker*> list;
  int pos = 0;
};

// Maps originals to their clones during one clone operation, so that an object referenced twice
// is cloned once.
class HOSTAPI RemapDir {
 public:
  virtual ~RemapDir();
  virtual RefTargetHandle FindMapping(RefTargetHandle from) = 0;
  virtual void AddEntry(RefTargetHandle hfrom, RefTargetHandle hto) = 0;
  // The clone of oldTarg: the one made before in this operation, or a new one.
  virtual RefTargetHandle CloneRef(RefTargetHandle oldTarg);
  virtual void DeleteThis() = 0;

 protected:
  int depth = 0;  // CloneRef calls in progress
};

// The host's remap directory for a clone started outside any other clone: each call made at the
// top level starts a new operation; calls made while a clone is in progress share its mappings.
// Each thread has its own, so threads may clone at the same time.
HOSTAPI RemapDir& NoRemap();
// A remap directory of the caller's own, released with DeleteThis.
HOSTAPI RemapDir* NewRemapDir();

// Reference targets alive in the process: tests check that it returns to where it was.
HOSTAPI long GetLiveRefTargetCount();
