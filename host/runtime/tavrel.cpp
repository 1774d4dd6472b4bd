// Nodes of the track editor: named controller items, saved with the scene.
#include "builtins.h"
#include "vtex.h"

namespace {
const USHORT kItemChunk = 1;
}

int ITavrelNode::AddController(Control* c, const char* name, Class_ID cid, int pos) {
  int n = items.Count();
  if (!c || pos < -1 || pos > n) return 0;
  if (pos == -1) pos = n;
  Item* item = new Item{nullptr, CStr(name), cid};
  items.Insert(pos, 1, &item);
  if (MakeRefByID(FOREVER, pos, c) != REF_SUCCEED) {
    items.Delete(pos, 1);
    delete item;
    return 0;
  }
  return 1;
}

void ITavrelNode::RemoveItem(int i) {
  if (i < 0 || i >= items.Count()) return;
  DeleteReference(i);
  delete items[i];
  items.Delete(i, 1);
}

ITavrelNode::~ITavrelNode() {
  for (int i = 0; i < items.Count(); i++) delete items[i];
}

int ITavrelNode::NumItems() { return items.Count(); }
Control* ITavrelNode::GetController(int i) { return i >= 0 && i < items.Count() ? items[i]->c : nullptr; }
const char* ITavrelNode::GetName(int i) { return i >= 0 && i < items.Count() ? items[i]->name.data() : ""; }
Class_ID ITavrelNode::GetClassID(int i) { return i >= 0 && i < items.Count() ? items[i]->cid : Class_ID(0, 0); }

Class_ID ITavrelNode::ClassID() { return TAVREL_NODE_CLASS_ID; }
SClass_ID ITavrelNode::SuperClassID() { return REF_TARGET_CLASS_ID; }
int ITavrelNode::NumRefs() { return items.Count(); }
RefTargetHandle ITavrelNode::GetReference(int i) { return GetController(i); }
void ITavrelNode::SetReference(int i, RefTargetHandle r) {
  if (i >= 0 && i < items.Count()) items[i]->c = dynamic_cast<Control*>(r);
}
int ITavrelNode::NumSubs() { return items.Count(); }
Animatable* ITavrelNode::SubAnim(int i) { return GetController(i); }
CStr ITavrelNode::SubAnimName(int i) { return CStr(GetName(i)); }

IOResult ITavrelNode::Save(ISave* isave) {
  for (int i = 0; i < items.Count(); i++) {
    unsigned char id[8];
    PutU32(id, items[i]->cid.PartA());
    PutU32(id + 4, items[i]->cid.PartB());
    isave->BeginChunk(kItemChunk);
    IOResult r = isave->Write(id, 8, nullptr);
    if (r == IO_OK) r = isave->WriteCString(items[i]->name.data());
    isave->EndChunk();
    if (r != IO_OK) return r;
  }
  return IO_OK;
}

IOResult ITavrelNode::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kItemChunk) {
      unsigned char id[8];
      ULONG got = 0;
      char* name = nullptr;
      if (iload->Read(id, 8, &got) != IO_OK || got != 8 || iload->ReadCStringChunk(&name) != IO_OK) return IO_ERROR;
      Item* item = new Item{nullptr, CStr(name), Class_ID(GetU32(id), GetU32(id + 4))};
      items.Append(1, &item, 4);
    }
    iload->CloseChunk();
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

namespace {
class TavrelNodeDesc : public ClassDesc {
 public:
  int IsPublic() override { return 0; }
  void* Create(BOOL) override { return static_cast<Animatable*>(new ITavrelNode); }
  const char* ClassName() override { return "Tavrel Node"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return TAVREL_NODE_CLASS_ID; }
  const char* Category() override { return ""; }
} tavrelDesc;
struct Registration {
  Registration() { RegisterBuiltinClass(&tavrelDesc); }
} registration;
}  // namespace

ITavrelNode* CreateTavrelNode() { return new ITavrelNode; }
