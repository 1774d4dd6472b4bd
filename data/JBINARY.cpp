// Byte payloads, texture-map slots and the track-editor dummy controller.
#include "JBinary.h"
#include "JDataInternal.h"
#include "JModule.h"

#include <new>

namespace {

const char kSource[] = "JDATA";
const int kLineSubtexGetValue = 963;
const int kLineSubtexSetValue = 979;
const int kLineSubtexBadRef = 1025;

const UINT kMsgRefreshSlot = 0x4500;

constexpr Class_ID kBinaryID = jlib::ClassIDOf(jlib::kBinaryDataClass);
constexpr Class_ID kSubtexID = jlib::ClassIDOf(jlib::kSubtexClass);
constexpr Class_ID kDummyID = jlib::ClassIDOf(jlib::kDummyControlClass);
const SClass_ID kDummySuper = 0x9008;

// The dummy controller is built the same way whether loading or not, but creating it still
// consumes the library's loading flag.
class TVDummyDesc : public JClassDesc<TVDummyControl, StdControlRTTI> {
 public:
  using JClassDesc::JClassDesc;
  void* Create(BOOL) override {
    JLoading(0);
    StdControlRTTI* object = new (std::nothrow) TVDummyControl(0);
    return object;
  }
};

J_INIT_DESCRIPTOR(jlib::kBinaryDataClass) JClassDesc<JBinaryData, ReferenceTargetRTTI> binaryDesc(0, "JBinaryData", 0x200, kBinaryID, "");
J_INIT_DESCRIPTOR(jlib::kSubtexClass) JClassDesc<JSubtex, ReferenceTargetRTTI> subtexDesc(0, "JSubtex", 0x200, kSubtexID, "");
J_INIT_DESCRIPTOR(jlib::kDummyControlClass) TVDummyDesc dummyDesc(0, "TVDummyControl", kDummySuper, kDummyID, "");

}  // namespace

// ---- JBinaryData -----------------------------------------------------------------------------

JBinaryData::JBinaryData(int) {
  SetBypassThis(1);
  SetBypassThisMask(1);
  SetBypassTree(1, nullptr);
  SetBypassTreeMask(1);
}

JClassDescBase* JBinaryData::GetCD() { return &binaryDesc; }

void JBinaryData::GetValue(void* val, TimeValue, Interval&, GetSetMethod) {
  if (val) *static_cast<JMemBlock*>(val) = payload;
}

void JBinaryData::SetValue(void* val, TimeValue, Interval&, GetSetMethod) {
  if (val) payload = *static_cast<JMemBlock*>(val);
}

int JBinaryData::NumSubs() { return 0; }
Animatable* JBinaryData::SubAnim(int) { return nullptr; }
CStr JBinaryData::SubAnimName(int) { return CStr(""); }
BOOL JBinaryData::BypassTreeView() { return TRUE; }
int JBinaryData::NumRefs() { return 0; }
RefTargetHandle JBinaryData::GetReference(int) { return nullptr; }
void JBinaryData::SetReference(int, RefTargetHandle) {}

// Like JData::Save, a failing part returns at once and leaves its chunks open.
IOResult JBinaryData::Save(ISave* isave) {
  isave->BeginChunk(1);
  if (JData::Save(isave) != IO_OK) return IO_ERROR;
  isave->EndChunk();
  isave->BeginChunk(2);
  if (payload.Size() && isave->Write(payload.Data(), payload.Size(), nullptr) != IO_OK) return IO_ERROR;
  isave->EndChunk();
  return IO_OK;
}

IOResult JBinaryData::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == 1) {
      if (JData::Load(iload) != IO_OK) return IO_ERROR;
    } else if (iload->CurChunkID() == 2) {
      ULONG n = iload->CurChunkLength();
      if (n == 0) {
        payload.Free();
      } else {
        ULONG got = 0;
        if (!payload.Alloc(n) || iload->Read(payload.Data(), n, &got) != IO_OK || got != n) return IO_ERROR;
      }
    }
    iload->CloseChunk();
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

RefTargetHandle JBinaryData::Clone(RemapDir& remap) {
  JBinaryData* n = new (std::nothrow) JBinaryData(0);
  if (!n) return nullptr;
  n->SetName(JDataBase::GetName());
  n->properties = properties;
  n->payload = payload;
  BaseClone(this, n, remap);
  return n;
}

void JBinaryData::DeleteThis() { delete this; }

JBinaryData* Create_JBinaryData() { return JCreateRegistered<JBinaryData>(0x200, kBinaryID); }

// ---- JSubtex ---------------------------------------------------------------------------------

JSubtex::JSubtex(int) : texmap(nullptr) {}
JSubtex::~JSubtex() { DeleteAllRefsFromMe(); }
JClassDescBase* JSubtex::GetCD() { return &subtexDesc; }

void JSubtex::GetValue(void*, TimeValue, Interval&, GetSetMethod) { assert1(kLineSubtexGetValue, kSource); }
void JSubtex::SetValue(void*, TimeValue, Interval&, GetSetMethod) { assert1(kLineSubtexSetValue, kSource); }

int JSubtex::NumRefs() { return 1; }
RefTargetHandle JSubtex::GetReference(int i) { return i == 0 ? texmap : nullptr; }
void JSubtex::SetReference(int i, RefTargetHandle target) {
  if (i != 0) {
    assert1(kLineSubtexBadRef, kSource);
    return;
  }
  Texmap* old = texmap;
  texmap = dynamic_cast<Texmap*>(target);
  // The host replaces a reference without a message of its own, and releases the old map only
  // after this returns: tell the dependents now, while the old map still lives, so that what
  // they keep of it (a gradient's colour cache) is let go before it can be deleted.
  if (texmap != old) NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, TRUE, nullptr);
}

int JSubtex::NumSubs() { return GetBypassTree() ? 0 : texmap ? 1 : 0; }
Animatable* JSubtex::SubAnim(int i) { return i == 0 && !GetBypassTree() ? texmap : nullptr; }

CStr JSubtex::SubAnimName(int) {
  CStr s(JDataBase::GetName());
  if (texmap) {
    s += ": ";
    s += texmap->GetFullName();
  }
  return s;
}

Texmap* JSubtex::GetSubTexmap(int) { return texmap; }
CStr JSubtex::GetSubTexmapSlotName(int) { return CStr(JDataBase::GetName()); }
ParamDimension* JSubtex::GetParamDimension(int) { return defaultDim; }
BOOL JSubtex::BypassTreeView() { return TRUE; }

BOOL JSubtex::AssignController(Animatable*, int subAnim) {
  ReplaceReference(subAnim, texmap, TRUE);
  jdata::NotifyControllerAssigned(this);
  return TRUE;
}

RefTargetHandle JSubtex::Clone(RemapDir& remap) {
  JSubtex* n = new (std::nothrow) JSubtex(0);
  if (!n) return nullptr;
  n->SetName(JDataBase::GetName());
  n->properties = properties;
  if (texmap) n->ReplaceReference(0, remap.CloneRef(texmap), TRUE);
  BaseClone(this, n, remap);
  return n;
}

void JSubtex::DeleteThis() { delete this; }

SClass_ID JSubtex::GetDragType(HWND, POINT) { return TEXMAP_CLASS_ID; }
BOOL JSubtex::OkToDrop(ReferenceTarget*, HWND, HWND, POINT, SClass_ID type, BOOL) { return type == TEXMAP_CLASS_ID; }
int JSubtex::SlotOwner() { return 3; }
ReferenceTarget* JSubtex::GetInstance(HWND, POINT, SClass_ID) { return texmap; }

void JSubtex::Drop(ReferenceTarget* dropThis, HWND hwnd, POINT, SClass_ID) {
  ReplaceReference(0, dropThis, TRUE);
  NotifyDependents(FOREVER, 0, REFMSG_SUBANIM_STRUCTURE_CHANGED, NOTIFY_ALL, TRUE, nullptr);
  SendMessageA(GetParent(hwnd), kMsgRefreshSlot, 0, 0);
}

BOOL JSubtex::AutoTooltip() { return TRUE; }

JSubtex* Create_JSubtex() { return JCreateRegistered<JSubtex>(0x200, kSubtexID); }

// ---- ZControl and TVDummyControl -------------------------------------------------------------

Class_ID ZControl::ClassID() { return GetCD() ? GetCD()->ClassID() : Class_ID(0, 0); }
SClass_ID ZControl::SuperClassID() { return GetCD() ? GetCD()->SuperClassID() : 0; }

TVDummyControl::TVDummyControl(int) : target(nullptr) {}
JClassDescBase* TVDummyControl::GetCD() { return &dummyDesc; }
int TVDummyControl::NumSubs() { return 1; }
Animatable* TVDummyControl::SubAnim(int) { return target; }
CStr TVDummyControl::SubAnimName(int) { return CStr(""); }
int TVDummyControl::SubNumToRefNum(int subNum) { return subNum; }
BOOL TVDummyControl::BypassTreeView() { return TRUE; }
int TVDummyControl::NumRefs() { return 1; }
RefTargetHandle TVDummyControl::GetReference(int) { return target; }
void TVDummyControl::SetReference(int, RefTargetHandle t) { target = dynamic_cast<JData*>(t); }
RefResult TVDummyControl::NotifyRefChanged(Interval, RefTargetHandle, PartID&, RefMessage) { return REF_SUCCEED; }

RefTargetHandle TVDummyControl::Clone(RemapDir& remap) {
  TVDummyControl* n = Create_TVDummyControl();
  if (!n) return nullptr;
  if (target) n->MakeRefByID(FOREVER, 0, target->Clone(remap));
  BaseClone(this, n, remap);
  return n;
}

void TVDummyControl::DeleteThis() { delete this; }

TVDummyControl* Create_TVDummyControl() {
  return JCreateRegistered<TVDummyControl, StdControlRTTI>(kDummySuper, kDummyID);
}

TVDummyControl* JTavrelAttach(ITavrelNode* node, JData* data) {
  if (!node || !data) return nullptr;
  TVDummyControl* dummy = Create_TVDummyControl();
  if (!dummy) return nullptr;
  dummy->MakeRefByID(FOREVER, 0, data);
  Class_ID id = data->GetCD() ? data->GetCD()->ClassID() : data->ClassID();
  if (!node->AddController(dummy, "", id, -1)) {
    dummy->ReplaceReference(0, nullptr, FALSE);  // the data stays the caller's
    dummy->DeleteMe();
    return nullptr;
  }
  return dummy;
}
