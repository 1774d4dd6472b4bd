// The parameter tree: data base, data objects and nodes.
#include "JData.h"
#include "JDataInternal.h"
#include "JModule.h"
#include "JViewCtl.h"

#include <stdarg.h>
#include <string.h>

namespace {

const char kSource[] = "JDATA";
// Lines reported to the host's assertion service.
const int kLineDimQuery = 281;
const int kLinePathNull = 417;
const int kLinePathNotNode = 427;
const int kLineArgsNotNode = 446;
const int kLineNodeGetValue = 461;
const int kLineNodeSetValue = 467;
const int kLineCountMismatch = 528;
const int kLineBadIndex = 529;
const int kLineNotData = 537;
const int kLineNullChild = 559;

int dialogCount = 1;

// The most children a loaded node may claim.
const unsigned long kMaxLoadedSlots = 1ul << 16;

// Sets a flag property to 0 or 1 unless its lock is set; answers whether it changed.
bool SetFlag(JPropertyList& p, const Class_ID& flag, const Class_ID& lock, int on) {
  if (p.Value(lock)) return false;
  unsigned long v = on ? 1 : 0;
  if (v == p.Value(flag)) return false;
  p.Add(flag, v);
  return true;
}

// Whether everything below a is hidden from the host's tree.
bool WholeSubtreeHidden(Animatable* a) {
  if (a->NumSubs() == 0) return a->BypassTreeView() != 0;
  for (int i = 0; i < a->NumSubs(); i++) {
    Animatable* s = a->SubAnim(i);
    if (s && !WholeSubtreeHidden(s)) return false;
  }
  return true;
}

}  // namespace

// ---- JDataBase -------------------------------------------------------------------------------

JDataBase::JDataBase() : resource(nullptr) {}

JDataBase::~JDataBase() {
  for (int i = 0; i < views.Count(); i++)
    if (views[i]) views[i]->ClearData(this);
}

RefResult JDataBase::JNotifyDependents(Interval, PartID, RefMessage, SClass_ID, BOOL, RefTargetHandle) {
  return REF_SUCCEED;
}

void JDataBase::SetName(const char* n) {
  if (n)
    name.Copy(n, JMemBlock::kText);
  else
    name.Free();
}

const char* JDataBase::GetName() { return name.Data(); }

int JDataBase::LoadResource(HINSTANCE inst, int id) {
  resource = Load_RCDATA(inst, id);
  return SetupResource();
}

int JDataBase::SetupResource() { return 0; }

void JDataBase::AddView(JViewCtl* view) { views.Append(1, &view, 2); }

void JDataBase::DelView(JViewCtl* view) {
  for (int i = 0; i < views.Count(); i++)
    if (views[i] == view) {
      views.Delete(i, 1);
      return;
    }
}

int JDataBase::NumViews() { return views.Count(); }
JViewCtl* JDataBase::GetView(int i) { return i >= 0 && i < views.Count() ? views[i] : nullptr; }

void JDataBase::ReplaceViews2(JDataBase* other) {
  // The views change their registrations while this walks: walk a copy.
  Tab<JViewCtl*> copy = views;
  for (int i = 0; i < copy.Count(); i++)
    if (copy[i]) copy[i]->ReplaceData(this, other);
}

int JDataBase::GetBypassThis() { return (int)properties.Value(JProp_DataBase_BypassThis()); }
int JDataBase::GetBypassThisMask() { return (int)properties.Value(JProp_DataBase_BypassThisMask()); }
int JDataBase::GetBypassTree() { return (int)properties.Value(JProp_DataBase_BypassTree()); }
int JDataBase::GetBypassTreeMask() { return (int)properties.Value(JProp_DataBase_BypassTreeMask()); }

void JDataBase::SetBypassThis(int on) {
  if (!SetFlag(properties, JProp_DataBase_BypassThis(), JProp_DataBase_BypassThisMask(), on)) return;
  JNotifyDependents(FOREVER, PART_ALL, REFMSG_SUBANIM_STRUCTURE_CHANGED, NOTIFY_ALL, TRUE, nullptr);
}

void JDataBase::SetBypassTree(int on, JViewCtl* except) {
  if (!SetFlag(properties, JProp_DataBase_BypassTree(), JProp_DataBase_BypassTreeMask(), on)) return;
  JNotifyDependents(FOREVER, PART_ALL, REFMSG_SUBANIM_STRUCTURE_CHANGED, NOTIFY_ALL, TRUE, nullptr);
  int v = GetBypassTree();
  for (int i = 0; i < views.Count(); i++)
    if (views[i] && views[i] != except) views[i]->UpdateBypassTreeView(v);
}

void JDataBase::SetBypassThisMask(int lock) { properties.Add(JProp_DataBase_BypassThisMask(), lock ? 1 : 0); }
void JDataBase::SetBypassTreeMask(int lock) { properties.Add(JProp_DataBase_BypassTreeMask(), lock ? 1 : 0); }

HINSTANCE JDataBase::GetInstanceHandle() {
  JClassDescBase* cd = GetCD();
  return cd ? cd->HInstance() : nullptr;
}

// ---- Free functions --------------------------------------------------------------------------

namespace {
// Changes a flag whatever its lock says, restoring the lock afterwards.
int ForceFlag(JDataBase* data, int (JDataBase::*getLock)(), void (JDataBase::*setLock)(int),
              int (JDataBase::*get)(), void (*set)(JDataBase*, int), int on) {
  if (!data) return 0;
  int lock = (data->*getLock)();
  (data->*setLock)(0);
  int previous = (data->*get)();
  set(data, on);
  (data->*setLock)(lock);
  return previous;
}
}  // namespace

int BypassView(JDataBase* data, int on) {
  return ForceFlag(data, &JDataBase::GetBypassThisMask, &JDataBase::SetBypassThisMask, &JDataBase::GetBypassThis,
                   [](JDataBase* d, int v) { d->SetBypassThis(v); }, on);
}

int BypassTree(JDataBase* data, int on) {
  return ForceFlag(data, &JDataBase::GetBypassTreeMask, &JDataBase::SetBypassTreeMask, &JDataBase::GetBypassTree,
                   [](JDataBase* d, int v) { d->SetBypassTree(v, nullptr); }, on);
}

const void* Load_RCDATA(HINSTANCE inst, int id) {
  HRSRC found = FindResourceA(inst, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));
  if (!found) return nullptr;
  HGLOBAL loaded = ::LoadResource(inst, found);
  return loaded ? LockResource(loaded) : nullptr;
}

int AdjustDialogCount(int delta) { return dialogCount += delta; }

// ---- ReferenceTargetRTTI and JData -----------------------------------------------------------

void* ReferenceTargetRTTI::GetInterface(ULONG id) {
  return id == kDataInterfaceA || id == kDataInterfaceB ? this : nullptr;
}

void JData_PostLoad::DeleteThis() { delete this; }

JData::JData() : changeProc(nullptr), postLoad(nullptr) {}

JData::~JData() {
  if (postLoad) postLoad->DeleteThis();
}

const char* JData::ClassName() { return GetCD() ? GetCD()->ClassName() : ""; }
Class_ID JData::ClassID() { return GetCD() ? GetCD()->ClassID() : Class_ID(0, 0); }
SClass_ID JData::SuperClassID() { return GetCD() ? GetCD()->SuperClassID() : 0; }
void JData::GetClassName(CStr& s) { s = ClassName(); }

RefResult JData::JNotifyDependents(Interval changeInt, PartID partID, RefMessage message, SClass_ID sclass,
                                   BOOL propagate, RefTargetHandle target) {
  return NotifyDependents(changeInt, partID, message, sclass, propagate, target);
}

RefResult JData::NotifyRefChanged(Interval, RefTargetHandle target, PartID& partID, RefMessage message) {
  if (message == REFMSG_CHANGE) {
    if (changeProc && target && !changeProc(this, target)) return REF_STOP;
    // A view may unregister while being told: walk a copy. A dialog's few views fit on the
    // stack, so a drag that writes many times a second allocates nothing here.
    const int kOnStack = 16;
    JViewCtl* onStack[kOnStack];
    Tab<JViewCtl*> onHeap;
    int n = views.Count();
    JViewCtl** told = onStack;
    if (n > kOnStack) {
      onHeap = views;
      told = n ? &onHeap[0] : nullptr;
    } else {
      for (int i = 0; i < n; i++) onStack[i] = views[i];
    }
    for (int i = 0; i < n; i++) {
      JViewCtl* v = told[i];
      if (v && !v->IsFreezed()) v->UpdateView(target);
    }
    return REF_SUCCEED;
  }
  if (message == REFMSG_GET_PARAM_DIM) {
    ParamDimension** dim = reinterpret_cast<ParamDimension**>(partID);
    if (!dim) {
      assert1(kLineDimQuery, kSource);
      return REF_SUCCEED;
    }
    *dim = GetParamDimension(0);
  }
  return REF_SUCCEED;
}

BOOL JData::BypassTreeView() {
  if (GetBypassThis() || GetBypassTree()) return TRUE;
  // A node that shows nothing is not thereby hidden.
  if (NumSubs() == 0) return FALSE;
  return WholeSubtreeHidden(this);
}

int JData::SubNumToRefNum(int subNum) { return dialogCount > 0 ? subNum : -1; }
BOOL JData::IsAnimated() { return Animatable::IsAnimated(); }
void JData::EnumAuxFiles(NameEnumCallback& nameEnum, DWORD flags) { ReferenceMaker::EnumAuxFiles(nameEnum, flags); }
void JData::FreeAllBitmaps() {}

// A failed save returns at once, its chunk left open: the writer is in error and the save as a
// whole fails.
IOResult JData::Save(ISave* isave) {
  isave->BeginChunk(1);
  if (properties.Save(isave) != IO_OK) return IO_ERROR;
  isave->EndChunk();
  return IO_OK;
}

// A failed load closes every chunk it opened, so that the caller's chunks stay in step.
IOResult JData::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    bool failed = iload->CurChunkID() == 1 && properties.Load(iload) != IO_OK;
    iload->CloseChunk();
    if (failed) return IO_ERROR;
  }
  if (r != IO_END) return IO_ERROR;
  if (postLoad) iload->RegisterPostLoadCallback(postLoad);
  return IO_OK;
}

void JData::RegisterPostLoadCallback(JData_PostLoad* cb) {
  if (postLoad && postLoad != cb) postLoad->DeleteThis();
  postLoad = cb;
}

// ---- JDataNode -------------------------------------------------------------------------------

JDataNode::JDataNode() {}
JDataNode::~JDataNode() {}

JDataNode* JDataNode::NewThis(int loading) { return jdata::NewOfClass<JDataNode>(this, loading); }

int JDataNode::IsValidId(int id) { return (unsigned)id < (unsigned)children.Count(); }
int JDataNode::NumRefs() { return names.Count(); }
RefTargetHandle JDataNode::GetReference(int i) { return IsValidId(i) ? children[i] : nullptr; }

void JDataNode::SetReference(int i, RefTargetHandle target) {
  if (names.Count() != children.Count()) {
    assert1(kLineCountMismatch, kSource);
    return;
  }
  if (!IsValidId(i)) {
    assert1(kLineBadIndex, kSource);
    return;
  }
  if (!target) {
    children[i] = nullptr;
    return;
  }
  JData* d = dynamic_cast<JData*>(target);
  if (!d) {
    assert1(kLineNotData, kSource);
    return;
  }
  children[i] = d;
  GetName(i);
}

void JDataNode::StoreCount() { properties.Add(JProp_DataBase_NumRefs(), (unsigned long)children.Count() + 1); }

int JDataNode::Add(JData* child, const char* name) {
  if (child && (!name || !*name)) {
    child->SetBypassTree(1, nullptr);
    child->SetBypassTreeMask(1);
  }
  names.Append(name);
  JData* none = nullptr;
  children.Append(1, &none, 4);
  StoreCount();
  if (!child) {
    assert1(kLineNullChild, kSource);
    return 0;
  }
  return MakeRefByID(FOREVER, children.Count() - 1, child) == REF_SUCCEED;
}

int JDataNode::Add(JData* child, int stringId) {
  char text[1028] = "";
  HINSTANCE inst = GetInstanceHandle();
  if (!inst || LoadStringA(inst, (UINT)stringId, text, sizeof text) <= 0) text[0] = 0;
  text[sizeof text - 1] = 0;
  return Add(child, text);
}

void JDataNode::Del(int i) {
  if (!IsValidId(i)) return;
  DeleteReference(i);
  names.Delete(i);
  children.Delete(i, 1);
  children.Shrink();
  StoreCount();
}

int JDataNode::SetNumRefs(int n) {
  if (n < 0) n = 0;
  properties.Add(JProp_DataBase_NumRefs(), (unsigned long)n + 1);
  int count = children.Count();
  if (n < count) {
    for (int i = n; i < count; i++)
      if (children[i]) DeleteReference(i);
    children.SetCount(n);
    names.Shrink(n);
  } else {
    for (int i = count; i < n; i++) {
      names.Append("");
      JData* none = nullptr;
      children.Append(1, &none, n - i);
    }
  }
  return 1;
}

JData* JDataNode::operator()(int id) {
  JLock lock(theAddressingLock);
  if (IsValidId(id) && children[id]) return children[id];
  JDataNode* proto = NewThis(0);
  if (!proto) return nullptr;
  JData* clone = nullptr;
  if (proto->IsValidId(id)) {
    // The prototype's own child as addressing it would answer. A prototype without one would
    // complete itself from another prototype of the same class, which lacks it too, without end:
    // then there is nothing to copy.
    JData* original = proto->children[id];
    ReferenceTarget* copy = original ? original->Clone(NoRemap()) : nullptr;
    clone = dynamic_cast<JData*>(copy);
    if (copy && !clone) copy->DeleteMe();
    CStr name = proto->SubAnimName(id);
    if (clone) {
      if (NumRefs() <= id) SetNumRefs(id + 1);
      names.SetString(id, name.data());
      MakeRefByID(FOREVER, id, clone);
    }
  }
  proto->DeleteMe();
  return clone;
}

namespace {
template <class Next>
JData* Walk(JDataNode* node, int first, Next next, int notNodeLine) {
  JData* r = nullptr;
  for (int id = first; id != -1;) {
    r = (*node)(id);
    int following = next();
    if (following == -1) return r;
    node = dynamic_cast<JDataNode*>(r);
    if (!node) {
      assert1(notNodeLine, kSource);
      return nullptr;
    }
    id = following;
  }
  return r;
}
}  // namespace

JData* JDataNode::operator()(int* path) {
  if (!path) {
    assert1(kLinePathNull, kSource);
    return nullptr;
  }
  int k = 1;
  return Walk(this, path[0], [&] { return path[k++]; }, kLinePathNotNode);
}

JData* JDataNode::operator()(int id, int id2, ...) {
  va_list ap;
  va_start(ap, id2);
  bool second = true;
  JData* r = Walk(this, id,
                  [&] {
                    if (second) {
                      second = false;
                      return id2;
                    }
                    return va_arg(ap, int);
                  },
                  kLineArgsNotNode);
  va_end(ap);
  return r;
}

const char* JDataNode::GetName(int id) {
  if (!IsValidId(id)) return "Unnamed";
  JData* child = children[id];
  if (child) {
    const char* own = child->GetName();
    if (own && *own) {
      if (!names.GetString(id) || strcmp(names.GetString(id), own) != 0) names.SetString(id, own);
      return names.GetString(id);
    }
    child->SetName(names.GetString(id));
  }
  return names.GetString(id);
}

int JDataNode::NumSubs() { return GetBypassTree() ? 0 : NumRefs(); }

Animatable* JDataNode::SubAnim(int i) {
  if (!IsValidId(i) || !children[i] || children[i]->GetBypassTree()) return nullptr;
  return children[i];
}

CStr JDataNode::SubAnimName(int i) { return CStr(GetName(i)); }

void JDataNode::GetValue(void*, TimeValue, Interval&, GetSetMethod) { assert1(kLineNodeGetValue, kSource); }
void JDataNode::SetValue(void*, TimeValue, Interval&, GetSetMethod) { assert1(kLineNodeSetValue, kSource); }

RefTargetHandle JDataNode::Clone(RemapDir& remap) {
  JDataNode* n = NewThis(1);
  if (!n) return nullptr;
  n->properties = properties;
  n->SetNumRefs(children.Count());
  for (int i = 0; i < children.Count(); i++) {
    n->names.SetString(i, names.GetString(i));
    n->ReplaceReference(i, remap.CloneRef(GetReference(i)), TRUE);
  }
  BaseClone(this, n, remap);
  return n;
}

IOResult JDataNode::Load(ILoad* iload) {
  IOResult r = JData::Load(iload);
  unsigned long count = properties.Value(JProp_DataBase_NumRefs());
  // A count no parameter block comes near is a damaged stream, not a reason to allocate it.
  if (count > kMaxLoadedSlots + 1) return IO_ERROR;
  if (count) SetNumRefs((int)count - 1);
  return r;
}

void JDataNode::DeleteThis() { delete this; }
