// The reference system: who references whom, notification, automatic deletion, cloning.
#include "builtins.h"
#include "vcore.h"
#include "vctrl.h"
#include "vhold.h"
#include "holdrecs.h"

#include <atomic>
#include <map>

namespace {

// Targets are made and deleted on any thread; the count is only ever read as a whole, so no
// ordering with other memory is needed.
std::atomic<long> liveTargets{0};

bool ReachesAllFilters(SClass_ID sclass) { return sclass >= NOTIFY_ANY_FILTER_BASE; }

// True when target can be reached from maker through references (maker included).
bool Reaches(ReferenceMaker* from, ReferenceMaker* to, int depthLeft) {
  if (from == to) return true;
  if (depthLeft == 0) return true;  // a chain this deep is treated as a loop
  for (int i = 0; i < from->NumRefs(); i++) {
    ReferenceTarget* r = from->GetReference(i);
    if (r && Reaches(r, to, depthLeft - 1)) return true;
  }
  return false;
}

const char kSource[] = "VREFS";

bool HasDependent(ReferenceTarget* t, ReferenceMaker* m) {
  for (int i = 0; i < t->NumDependents(); i++)
    if (t->GetDependent(i) == m) return true;
  return false;
}

}  // namespace

long GetLiveRefTargetCount() { return liveTargets.load(std::memory_order_relaxed); }

// ---- Animatable ------------------------------------------------------------------------------

Animatable::Animatable() {}
Animatable::~Animatable() {}
Class_ID Animatable::ClassID() { return Class_ID(0, 0); }
SClass_ID Animatable::SuperClassID() { return 0; }
void Animatable::GetClassName(CStr& s) {
  ClassDesc* cd = FindClassDesc(SuperClassID(), ClassID());
  s = cd ? cd->ClassName() : "";
}
void Animatable::DeleteThis() { delete this; }
void* Animatable::GetInterface(ULONG) { return nullptr; }
int Animatable::NumSubs() { return 0; }
Animatable* Animatable::SubAnim(int) { return nullptr; }
CStr Animatable::SubAnimName(int) { return CStr(); }
int Animatable::SubNumToRefNum(int) { return -1; }
BOOL Animatable::BypassTreeView() { return FALSE; }
BOOL Animatable::IsAnimated() {
  if (NumKeys() > 0) return TRUE;
  for (int i = 0; i < NumSubs(); i++) {
    Animatable* a = SubAnim(i);
    if (a && a->IsAnimated()) return TRUE;
  }
  return FALSE;
}
BOOL Animatable::AssignController(Animatable*, int) { return FALSE; }
int Animatable::NumKeys() { return 0; }
TimeValue Animatable::GetKeyTime(int) { return 0; }
int Animatable::GetKeyIndex(TimeValue) { return -1; }
BOOL Animatable::GetNextKeyTime(TimeValue, DWORD, TimeValue&) { return FALSE; }
void Animatable::CopyKeysFromTime(TimeValue, TimeValue, DWORD) {}
void Animatable::DeleteKeyAtTime(TimeValue) {}
BOOL Animatable::IsKeyAtTime(TimeValue, DWORD) { return FALSE; }
ParamDimension* Animatable::GetParamDimension(int) { return defaultDim; }
void Animatable::RescaleWorldUnits(float) {}
void Animatable::EnumAuxFiles(NameEnumCallback&, DWORD) {}
void Animatable::FreeAllBitmaps() {}

// ---- ReferenceMaker --------------------------------------------------------------------------

ReferenceMaker::ReferenceMaker() {}
ReferenceMaker::~ReferenceMaker() {}
int ReferenceMaker::NumRefs() { return 0; }
RefTargetHandle ReferenceMaker::GetReference(int) { return nullptr; }
void ReferenceMaker::SetReference(int, RefTargetHandle) {}
RefResult ReferenceMaker::NotifyRefChanged(Interval, RefTargetHandle, PartID&, RefMessage) { return REF_SUCCEED; }
IOResult ReferenceMaker::Save(ISave*) { return IO_OK; }
IOResult ReferenceMaker::Load(ILoad*) { return IO_OK; }
BOOL ReferenceMaker::IsRefTarget() { return FALSE; }

void ReferenceMaker::EnumAuxFiles(NameEnumCallback& nameEnum, DWORD flags) {
  for (int i = 0; i < NumRefs(); i++)
    if (ReferenceTarget* r = GetReference(i)) r->EnumAuxFiles(nameEnum, flags);
}

RefResult ReferenceMaker::MakeRefByID(Interval, int which, RefTargetHandle htarget) {
  return ReplaceReference(which, htarget, TRUE);
}

RefResult ReferenceMaker::ReplaceReference(int which, RefTargetHandle newtarg, BOOL delOld) {
  if (which < 0 || which >= NumRefs()) {
    assert1(__LINE__, kSource);
    return REF_FAIL;
  }
  ReferenceTarget* old = GetReference(which);
  if (old == newtarg) return REF_SUCCEED;
  if (newtarg && newtarg->TestForLoop(FOREVER, this) != REF_SUCCEED) return REF_FAIL;
  SetReference(which, newtarg);
  // The books follow what the maker really holds: a maker may refuse a target it cannot use.
  ReferenceTarget* actual = GetReference(which);
  if (actual == old) return REF_FAIL;
  if (theHold.Holding()) theHold.Put(new RefHold(this, which, old, actual, delOld));
  if (actual) actual->AddDependent(this);
  if (old) {
    old->RemoveDependent(this);
    if (delOld && old->NumDependents() == 0) {
      old->orphaned = true;
      old->ReleaseIfOrphan();
    }
  }
  return actual == newtarg ? REF_SUCCEED : REF_FAIL;
}

RefResult ReferenceMaker::DeleteReference(int which) { return ReplaceReference(which, nullptr, TRUE); }

RefResult ReferenceMaker::DeleteAllRefsFromMe() {
  for (int i = 0; i < NumRefs(); i++)
    if (GetReference(i)) ReplaceReference(i, nullptr, TRUE);
  return REF_SUCCEED;
}

void ReferenceMaker::DeleteMe() {
  DeleteAllRefsFromMe();
  DeleteThis();
}

int ReferenceMaker::FindRef(RefTargetHandle rtarg) {
  for (int i = 0; i < NumRefs(); i++)
    if (GetReference(i) == rtarg) return i;
  return -1;
}

// ---- ReferenceTarget -------------------------------------------------------------------------

ReferenceTarget::ReferenceTarget() { liveTargets.fetch_add(1, std::memory_order_relaxed); }
ReferenceTarget::~ReferenceTarget() { liveTargets.fetch_sub(1, std::memory_order_relaxed); }
BOOL ReferenceTarget::IsRefTarget() { return TRUE; }
RefTargetHandle ReferenceTarget::Clone(RemapDir&) { return nullptr; }
void ReferenceTarget::BaseClone(ReferenceTarget* from, ReferenceTarget* to, RemapDir& remap) {
  if (from && to && !remap.FindMapping(from)) remap.AddEntry(from, to);
}

int ReferenceTarget::NumDependents() { return dependents.Count(); }
ReferenceMaker* ReferenceTarget::GetDependent(int i) {
  return i >= 0 && i < dependents.Count() ? dependents[i] : nullptr;
}

// A deleted object that an undo or a cancel makes referenced again lives on as any other: its
// deletion no longer waits for the records, and a later DeleteMe deletes it.
void ReferenceTarget::AddDependent(ReferenceMaker* m) {
  dependents.Append(1, &m, 4);
  orphaned = false;
  deferred = false;
  deleting = false;
}

void ReferenceTarget::RemoveDependent(ReferenceMaker* m) {
  for (int i = 0; i < dependents.Count(); i++) {
    if (dependents[i] == m) {
      dependents.Delete(i, 1);
      return;
    }
  }
}

// A target that lost its last dependent with delete-old set goes, unless an undo record still
// needs it; the record's release tries again. A deleted object goes with its last record unless
// something references it again.
void ReferenceTarget::ReleaseIfOrphan() {
  if (deferred) {
    if (holds == 0 && dependents.Count() == 0) {
      DeleteAllRefsFromMe();
      DeleteThis();
    }
    return;
  }
  if (orphaned && holds == 0 && dependents.Count() == 0 && !deleting) DeleteMe();
}

RefResult ReferenceTarget::TestForLoop(Interval, RefMakerHandle hmaker) {
  return Reaches(this, hmaker, 10000) ? REF_FAIL : REF_SUCCEED;
}

RefResult ReferenceTarget::NotifyDependents(Interval changeInt, PartID partID, RefMessage message, SClass_ID sclass,
                                            BOOL propagate, RefTargetHandle hTarg) {
  if (!hTarg) hTarg = this;
  // Dependents may drop their references, or delete themselves and what they hold, while being
  // told: walk a copy and pass over one that no longer depends on this object when its turn
  // comes. This object and the dependent being told stay alive until they are done with (a
  // deletion meanwhile waits, as for an undo record); a plain maker that deletes itself is not
  // touched again.
  TargetHolds::Keep(this);
  DependentIterator it(this);
  while (ReferenceMaker* m = it.Next()) {
    if (!HasDependent(this, m)) continue;
    if (!ReachesAllFilters(sclass) && m->SuperClassID() != sclass) continue;
    ReferenceTarget* mt = m->IsRefTarget() ? static_cast<ReferenceTarget*>(m) : nullptr;
    TargetHolds::Keep(mt);
    PartID part = partID;
    RefResult r = m->NotifyRefChanged(changeInt, hTarg, part, message);
    if (r != REF_STOP && propagate && mt) mt->NotifyDependents(changeInt, part, message, sclass, propagate, nullptr);
    TargetHolds::Release(mt);
  }
  TargetHolds::Release(this);
  return REF_SUCCEED;
}

void ReferenceTarget::DeleteMe() {
  if (deleting) return;
  deleting = true;
  NotifyDependents(FOREVER, PART_ALL, REFMSG_TARGET_DELETED, NOTIFY_ALL, FALSE);
  // Whoever still references this object loses the reference; recorded with delete-old, so a
  // redo of the deletion leaves it to go with the history. A maker that refuses to let go is a
  // fault of that maker: it is reported and loses its place among the dependents, so that the
  // deletion still ends.
  while (dependents.Count() > 0) {
    ReferenceMaker* m = dependents[dependents.Count() - 1];
    int i = m->FindRef(this);
    if (i >= 0 && m->ReplaceReference(i, nullptr, TRUE) == REF_SUCCEED) continue;
    if (i >= 0) assert1(__LINE__, kSource);
    dependents.Delete(dependents.Count() - 1, 1);
  }
  DeleteAllRefsFromMe();
  // An undo record still mentions this object: it goes when the last such record goes.
  if (holds > 0) {
    deferred = true;
    return;
  }
  DeleteThis();
}

int ReferenceTarget::TransferReferences(RefTargetHandle newTarget, BOOL delOld) {
  if (newTarget == this) return 0;
  int moved = 0;
  // The last slot moved with delete-old orphans this object: it stays until the walk is done.
  TargetHolds::Keep(this);
  DependentIterator it(this);
  while (ReferenceMaker* m = it.Next())
    for (int i = 0; i < m->NumRefs(); i++)
      if (m->GetReference(i) == this && m->ReplaceReference(i, newTarget, delOld) == REF_SUCCEED) moved++;
  if (delOld && NumDependents() == 0) DeleteMe();
  TargetHolds::Release(this);
  return moved;
}

// ---- DependentIterator -----------------------------------------------------------------------

DependentIterator::DependentIterator(ReferenceTarget* rt) {
  for (int i = 0; rt && i < rt->NumDependents(); i++) {
    ReferenceMaker* m = rt->GetDependent(i);
    bool seen = false;
    for (int j = 0; j < list.Count() && !seen; j++) seen = list[j] == m;
    if (!seen) list.Append(1, &m, 4);
  }
}
DependentIterator::~DependentIterator() {}
ReferenceMaker* DependentIterator::Next() { return pos < list.Count() ? list[pos++] : nullptr; }
void DependentIterator::Reset() { pos = 0; }

// ---- Remapping -------------------------------------------------------------------------------

RemapDir::~RemapDir() {}

RefTargetHandle RemapDir::CloneRef(RefTargetHandle oldTarg) {
  if (!oldTarg) return nullptr;
  if (RefTargetHandle done = FindMapping(oldTarg)) return done;
  depth++;
  RefTargetHandle c = oldTarg->Clone(*this);
  depth--;
  if (c && !FindMapping(oldTarg)) AddEntry(oldTarg, c);
  return c;
}

namespace {

class MapRemapDir : public RemapDir {
 public:
  RefTargetHandle FindMapping(RefTargetHandle from) override {
    auto it = map.find(from);
    return it == map.end() ? nullptr : it->second;
  }
  void AddEntry(RefTargetHandle from, RefTargetHandle to) override { map[from] = to; }
  void DeleteThis() override { delete this; }
  void Clear() { map.clear(); }
  int Depth() const { return depth; }

 private:
  std::map<RefTargetHandle, RefTargetHandle> map;
};

// One directory per thread: a preview thread cloning under the library's addressing lock and the
// interface thread cloning without it each have their own operation in progress. The directory
// sits in a Win32 thread-local slot and goes with the module's thread-detach notification. It is
// not a C++ thread_local: the MinGW run time emulates those, and at thread exit it frees their
// storage before it runs their destructors, so a thread_local with a destructor writes into freed
// heap memory (here the directory's vtable pointer into the heap's free list, and a later heap
// operation of that thread faulted inside the heap's lock and left it held). Thread-local
// objects with destructors live in slots like this one; C++ thread_local is for plain values.
const DWORD remapSlot = TlsAlloc();

}  // namespace

RemapDir& NoRemap() {
  MapRemapDir* dir = static_cast<MapRemapDir*>(TlsGetValue(remapSlot));
  if (!dir) {
    dir = new MapRemapDir;
    TlsSetValue(remapSlot, dir);
  }
  // A call outside any clone in progress on this thread starts a new clone operation.
  if (dir->Depth() == 0) dir->Clear();
  return *dir;
}

void ReleaseThreadRemapDir() {
  delete static_cast<MapRemapDir*>(TlsGetValue(remapSlot));
  TlsSetValue(remapSlot, nullptr);
}

RemapDir* NewRemapDir() { return new MapRemapDir; }
