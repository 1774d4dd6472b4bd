// Scene nodes and scene files.
#include "builtins.h"
#include "interface.h"
#include "vhold.h"
#include "vscene.h"

#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const ULONG kNodePartA = 0x564E4F44;  // "VNOD"
const char kMagic[8] = {'V', 'N', 'T', 'R', 'S', 'C', 'N', '1'};

// Node contents.
const USHORT kNodeName = 1;
const USHORT kNodeChildren = 2;

// Scene file chunks.
const USHORT kSceneObjects = 1;
const USHORT kSceneEntry = 2;
const USHORT kEntryHeader = 3;
const USHORT kEntryRefs = 4;
const USHORT kEntryData = 5;
const uint32_t kNullRef = 0xFFFFFFFFu;

class NodeDesc : public ClassDesc {
 public:
  int IsPublic() override { return 0; }
  void* Create(BOOL) override { return static_cast<Animatable*>(new INode); }
  const char* ClassName() override { return "Node"; }
  SClass_ID SuperClassID() override { return NODE_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(kNodePartA, 1); }
  const char* Category() override { return ""; }
};
NodeDesc nodeDesc;
struct Registration {
  Registration() { RegisterBuiltinClass(&nodeDesc); }
} registration;

}  // namespace

// ---- INode -----------------------------------------------------------------------------------

INode::INode() {}
const char* INode::GetName() { return name.data(); }
void INode::SetName(const char* n) { name = n; }
int INode::NumberOfChildren() { return children.Count(); }
INode* INode::GetChildNode(int i) { return i >= 0 && i < children.Count() ? children[i] : nullptr; }
INode* INode::GetParentNode() { return parent; }
ReferenceTarget* INode::GetObjectRef() { return object; }
void INode::SetObjectRef(ReferenceTarget* obj) { ReplaceReference(0, obj, TRUE); }

void INode::AttachChild(INode* child) {
  if (!child || child == this) return;
  // An ancestor cannot become a child: refused before it leaves its place in the scene.
  if (child->TestForLoop(FOREVER, this) != REF_SUCCEED) return;
  if (INode* old = child->parent) {
    int slot = old->FindRef(child);
    if (slot >= 0) old->ReplaceReference(slot, nullptr, FALSE);
  }
  INode* none = nullptr;
  children.Append(1, &none, 4);
  if (MakeRefByID(FOREVER, NumRefs() - 1, child) != REF_SUCCEED) children.Delete(children.Count() - 1, 1);
}

Class_ID INode::ClassID() { return Class_ID(kNodePartA, 1); }
SClass_ID INode::SuperClassID() { return NODE_CLASS_ID; }
int INode::NumSubs() { return NumRefs(); }
Animatable* INode::SubAnim(int i) { return GetReference(i); }
CStr INode::SubAnimName(int i) {
  if (i == 0) return CStr("Object");
  INode* c = GetChildNode(i - 1);
  return CStr(c ? c->GetName() : "");
}
int INode::NumRefs() { return 1 + children.Count(); }

RefTargetHandle INode::GetReference(int i) {
  if (i == 0) return object;
  return GetChildNode(i - 1);
}

void INode::SetReference(int i, RefTargetHandle rtarg) {
  if (i == 0) {
    object = rtarg;
    return;
  }
  if (i < 1 || i > children.Count()) return;
  INode*& slot = children[i - 1];
  if (slot && slot->parent == this) slot->parent = nullptr;
  slot = dynamic_cast<INode*>(rtarg);
  if (slot) slot->parent = this;
}

RefTargetHandle INode::Clone(RemapDir& remap) {
  INode* n = new INode;
  n->name = name;
  n->children.SetCount(children.Count());
  for (int i = 0; i < children.Count(); i++) n->children[i] = nullptr;
  for (int i = 0; i < NumRefs(); i++)
    if (ReferenceTarget* r = GetReference(i)) n->ReplaceReference(i, remap.CloneRef(r), TRUE);
  BaseClone(this, n, remap);
  return n;
}

IOResult INode::Save(ISave* isave) {
  isave->BeginChunk(kNodeName);
  IOResult r = isave->WriteCString(name.data());
  isave->EndChunk();
  if (r != IO_OK) return r;
  unsigned char count[4];
  PutU32(count, (uint32_t)children.Count());
  isave->BeginChunk(kNodeChildren);
  r = isave->Write(count, 4, nullptr);
  isave->EndChunk();
  return r;
}

IOResult INode::Load(ILoad* iload) {
  IOResult r;
  while ((r = iload->OpenChunk()) == IO_OK) {
    if (iload->CurChunkID() == kNodeName) {
      char* text = nullptr;
      if (iload->ReadCStringChunk(&text) != IO_OK) return IO_ERROR;
      name = text;
    } else if (iload->CurChunkID() == kNodeChildren) {
      unsigned char count[4];
      ULONG got = 0;
      if (iload->Read(count, 4, &got) != IO_OK || got != 4) return IO_ERROR;
      uint32_t n = GetU32(count);
      if (n > 1000000) return IO_ERROR;
      children.SetCount((int)n);
      for (int i = 0; i < (int)n; i++) children[i] = nullptr;
    }
    iload->CloseChunk();
  }
  return r == IO_END ? IO_OK : IO_ERROR;
}

INode* CreateSceneNode(const char* name, INode* parent) {
  INode* n = new INode;
  n->SetName(name);
  (parent ? parent : GetCOREInterface()->GetRootNode())->AttachChild(n);
  return n;
}

// ---- Scene files: writing --------------------------------------------------------------------

namespace {

class SceneSave : public ISave {
 public:
  SceneSave() { bytes.assign(kMagic, kMagic + 8); }

  int GetRefID(void* p) override {
    for (size_t i = 0; i < objects.size(); i++)
      if (objects[i] == p) return (int)i;
    objects.push_back(static_cast<ReferenceMaker*>(p));
    return (int)objects.size() - 1;
  }

  void BeginChunk(USHORT id) override {
    if (!open.empty()) {
      if (bytes[open.back()] == 2) return Fail();
      bytes[open.back()] = 1;
    }
    open.push_back(bytes.size());
    unsigned char h[8] = {0, 0, (unsigned char)id, (unsigned char)(id >> 8), 0, 0, 0, 0};
    bytes.insert(bytes.end(), h, h + 8);
  }

  void EndChunk() override {
    if (open.empty()) return Fail();
    PutU32(&bytes[open.back() + 4], (uint32_t)(bytes.size() - open.back() - 8));
    open.pop_back();
  }

  int CurChunkDepth() override { return (int)open.size(); }

  IOResult Write(const void* buf, ULONG n, ULONG* written) override {
    if (failed || open.empty() || bytes[open.back()] == 1) {
      Fail();
      return IO_ERROR;
    }
    bytes[open.back()] = 2;
    const unsigned char* p = static_cast<const unsigned char*>(buf);
    bytes.insert(bytes.end(), p, p + n);
    if (written) *written = n;
    return IO_OK;
  }

  IOResult WriteCString(const char* s) override { return Write(s ? s : "", (ULONG)strlen(s ? s : "") + 1, nullptr); }
  IOResult WriteCString(const wchar_t* s) override { return WriteCString(Narrow(s).c_str()); }
  IOResult WriteWString(const char* s) override { return WriteCString(s); }
  IOResult WriteWString(const wchar_t* s) override { return WriteCString(s); }

  bool SaveAll(ReferenceMaker* root) {
    GetRefID(root);
    BeginChunk(kSceneObjects);
    for (size_t i = 0; i < objects.size() && !failed; i++) {
      ReferenceMaker* m = objects[i];
      BeginChunk(kSceneEntry);
      unsigned char head[16];
      Class_ID id = m->ClassID();
      int n = m->NumRefs();
      PutU32(head, id.PartA());
      PutU32(head + 4, id.PartB());
      PutU32(head + 8, m->SuperClassID());
      PutU32(head + 12, (uint32_t)n);
      BeginChunk(kEntryHeader);
      Write(head, 16, nullptr);
      EndChunk();
      std::vector<unsigned char> refs(4 * (size_t)n);
      for (int j = 0; j < n; j++) {
        ReferenceTarget* r = m->GetReference(j);
        PutU32(&refs[4 * j], r ? (uint32_t)GetRefID(r) : kNullRef);
      }
      BeginChunk(kEntryRefs);
      if (n) Write(refs.data(), (ULONG)refs.size(), nullptr);
      EndChunk();
      BeginChunk(kEntryData);
      if (m->Save(this) != IO_OK) Fail();
      while ((int)open.size() > 3) EndChunk();  // a Save that left chunks open
      EndChunk();
      EndChunk();
    }
    EndChunk();
    return !failed && open.empty();
  }

  const std::vector<unsigned char>& Bytes() const { return bytes; }

 private:
  static std::string Narrow(const wchar_t* s) {
    if (!s) return "";
    int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, s, -1, &out[0], n, nullptr, nullptr);
    return out;
  }
  void Fail() { failed = true; }

  std::vector<unsigned char> bytes;
  std::vector<size_t> open;
  std::vector<ReferenceMaker*> objects;
  bool failed = false;
};

// ---- Scene files: reading --------------------------------------------------------------------

// Reads chunks from bytes [begin, end); every length is checked against its enclosing chunk.
class SceneLoad : public ILoad {
 public:
  SceneLoad(const std::vector<unsigned char>& b, size_t begin) : bytes(b), next(begin) {
    open.push_back(Frame{SIZE_MAX, b.size()});
  }
  // Post-load callbacks belong to whoever registered them: the loader only runs them.

  void* GetAddr(int i) override { return i >= 0 && i < (int)objects.size() ? objects[i] : nullptr; }

  IOResult OpenChunk() override {
    if (failed) return IO_ERROR;
    const Frame& cur = open.back();
    if (cur.header != SIZE_MAX && Type(cur.header) != 1) {
      // A chunk written with nothing in it (an object with nothing to save) has no chunks either.
      return Type(cur.header) == 0 && cur.end == cur.header + 8 ? IO_END : IO_ERROR;
    }
    size_t left = cur.end - next;
    if (left == 0) return IO_END;
    if (left < 8) return Fail();
    uint32_t len = GetU32(&bytes[next + 4]);
    if (len > left - 8) return Fail();
    open.push_back(Frame{next, next + 8 + len});
    next += 8;
    return IO_OK;
  }

  USHORT CurChunkID() override { return InChunk() ? (USHORT)(bytes[open.back().header + 2] | bytes[open.back().header + 3] << 8) : 0; }
  ChunkType CurChunkType() override { return InChunk() ? (ChunkType)Type(open.back().header) : NEW_CHUNK; }
  ULONG CurChunkLength() override { return InChunk() ? (ULONG)(open.back().end - open.back().header - 8) : 0; }
  int CurChunkDepth() override { return (int)open.size() - 1; }

  IOResult CloseChunk() override {
    if (failed || !InChunk()) return Fail();
    next = open.back().end;
    open.pop_back();
    return IO_OK;
  }

  USHORT PeekNextChunkID() override {
    if (failed || (InChunk() && Type(open.back().header) != 1) || open.back().end - next < 8) return 0;
    return (USHORT)(bytes[next + 2] | bytes[next + 3] << 8);
  }

  IOResult Read(void* buf, ULONG n, ULONG* nread) override {
    if (failed || !buf || !InChunk() || Type(open.back().header) != 2) return Fail();
    size_t count = n < open.back().end - next ? n : open.back().end - next;
    if (count) memcpy(buf, &bytes[next], count);
    next += count;
    if (nread) *nread = (ULONG)count;
    return IO_OK;
  }

  IOResult ReadCStringChunk(char** out) override {
    if (failed || !InChunk() || Type(open.back().header) != 2) return Fail();
    const unsigned char* start = &bytes[next];
    const void* nul = memchr(start, 0, open.back().end - next);
    if (!nul) return Fail();
    text.assign(reinterpret_cast<const char*>(start), static_cast<const unsigned char*>(nul) - start);
    next += text.size() + 1;
    *out = &text[0];
    return IO_OK;
  }
  IOResult ReadCStringChunk(wchar_t** out) override {
    char* s = nullptr;
    if (ReadCStringChunk(&s) != IO_OK) return IO_ERROR;
    int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    wide.assign(n > 0 ? n : 1, L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s, -1, &wide[0], n);
    *out = &wide[0];
    return IO_OK;
  }
  IOResult ReadWStringChunk(char** out) override { return ReadCStringChunk(out); }
  IOResult ReadWStringChunk(wchar_t** out) override { return ReadCStringChunk(out); }

  void RecordBackpatch(int id, void** patch, ULONG) override {
    if (!patch) return;
    *patch = GetAddr(id);
    if (!*patch) backpatches.push_back({id, patch});
  }
  void SetRootAddr(void* addr) override { root = addr; }
  void* GetRootAddr() override { return root; }
  void RegisterPostLoadCallback(PostLoadCallback* cb) override {
    if (cb) callbacks.push_back(cb);
  }

  // Creates every object of the file, loads it and restores the references. Null, with nothing
  // left behind, on any error.
  INode* LoadAll() {
    if (OpenChunk() != IO_OK || CurChunkID() != kSceneObjects) return Abandon();
    std::vector<std::vector<uint32_t>> refs;
    IOResult r;
    while ((r = OpenChunk()) == IO_OK) {
      if (CurChunkID() != kSceneEntry || !LoadEntry(refs)) return Abandon();
      CloseChunk();
    }
    if (r != IO_END || objects.empty() || !RestoreReferences(refs)) return Abandon();
    for (auto& b : backpatches) *b.second = GetAddr(b.first);
    std::vector<PostLoadCallback*> run;
    run.swap(callbacks);
    for (PostLoadCallback* cb : run) cb->proc(this);
    INode* node = dynamic_cast<INode*>(objects[0]);
    if (!node) return Abandon();
    return node;
  }

 private:
  struct Frame {
    size_t header;  // SIZE_MAX for the file itself
    size_t end;
  };

  bool InChunk() const { return open.size() > 1; }
  int Type(size_t header) const { return bytes[header] | bytes[header + 1] << 8; }
  IOResult Fail() {
    failed = true;
    return IO_ERROR;
  }

  bool ReadWhole(std::vector<unsigned char>& out) {
    out.resize(CurChunkLength());
    ULONG got = 0;
    return out.empty() || (Read(out.data(), (ULONG)out.size(), &got) == IO_OK && got == out.size());
  }

  bool LoadEntry(std::vector<std::vector<uint32_t>>& refs) {
    std::vector<unsigned char> head, ids;
    if (OpenChunk() != IO_OK || CurChunkID() != kEntryHeader || !ReadWhole(head) || head.size() != 16) return false;
    CloseChunk();
    Class_ID cid(GetU32(&head[0]), GetU32(&head[4]));
    SClass_ID sid = GetU32(&head[8]);
    uint32_t n = GetU32(&head[12]);
    if (OpenChunk() != IO_OK || CurChunkID() != kEntryRefs || !ReadWhole(ids) || ids.size() != 4 * (size_t)n) return false;
    CloseChunk();
    ClassDesc* cd = FindClassDesc(sid, cid);
    void* made = cd ? cd->Create(TRUE) : nullptr;
    ReferenceMaker* m = made ? dynamic_cast<ReferenceMaker*>(static_cast<Animatable*>(made)) : nullptr;
    if (!m) return false;
    objects.push_back(m);
    std::vector<uint32_t> slots(n);
    for (uint32_t j = 0; j < n; j++) slots[j] = GetU32(&ids[4 * j]);
    refs.push_back(slots);
    if (OpenChunk() != IO_OK || CurChunkID() != kEntryData) return false;
    size_t depth = open.size();
    if (m->Load(this) != IO_OK || failed) return false;
    // A Load that left chunks open: the entry ends where its data chunk ends all the same.
    while (open.size() > depth) CloseChunk();
    return CloseChunk() == IO_OK;
  }

  bool RestoreReferences(const std::vector<std::vector<uint32_t>>& refs) {
    for (size_t i = 0; i < objects.size(); i++) {
      if ((int)refs[i].size() > objects[i]->NumRefs()) return false;
      for (uint32_t id : refs[i])
        if (id != kNullRef && (id >= objects.size() || !objects[id]->IsRefTarget())) return false;
    }
    for (size_t i = 0; i < objects.size(); i++)
      for (size_t j = 0; j < refs[i].size(); j++) {
        if (refs[i][j] == kNullRef) continue;
        auto* t = static_cast<ReferenceTarget*>(objects[refs[i][j]]);
        if (objects[i]->MakeRefByID(FOREVER, (int)j, t) != REF_SUCCEED) return false;
      }
    return true;
  }

  // Unlinks and deletes everything created so far, whatever references were restored.
  INode* Abandon() {
    for (ReferenceMaker* m : objects)
      for (int j = 0; j < m->NumRefs(); j++)
        if (m->GetReference(j)) m->ReplaceReference(j, nullptr, FALSE);
    for (size_t i = objects.size(); i-- > 0;) objects[i]->DeleteThis();
    objects.clear();
    return nullptr;
  }

  const std::vector<unsigned char>& bytes;
  size_t next;
  std::vector<Frame> open;
  std::vector<ReferenceMaker*> objects;
  std::vector<std::pair<int, void**>> backpatches;
  std::vector<PostLoadCallback*> callbacks;
  std::string text;
  std::wstring wide;
  void* root = nullptr;
  bool failed = false;
};

bool ReadFile(const char* path, std::vector<unsigned char>& out) {
  FILE* f = path ? fopen(path, "rb") : nullptr;
  if (!f) return false;
  fseek(f, 0, SEEK_END);
  long n = ftell(f);
  fseek(f, 0, SEEK_SET);
  out.resize(n > 0 ? (size_t)n : 0);
  bool ok = n >= 0 && fread(out.data(), 1, out.size(), f) == out.size();
  fclose(f);
  return ok;
}

}  // namespace

int SaveScene(const char* path) {
  SyncPostlineNodes();
  SceneSave save;
  if (!save.SaveAll(GetCOREInterface()->GetRootNode())) return 0;
  FILE* f = path ? fopen(path, "wb") : nullptr;
  if (!f) return 0;
  const std::vector<unsigned char>& b = save.Bytes();
  bool ok = fwrite(b.data(), 1, b.size(), f) == b.size();
  ok = fclose(f) == 0 && ok;
  if (ok) SetSaveRequiredFlag(FALSE);
  return ok ? 1 : 0;
}

int LoadScene(const char* path) {
  std::vector<unsigned char> bytes;
  if (!ReadFile(path, bytes) || bytes.size() < 8 || memcmp(bytes.data(), kMagic, 8) != 0) return 0;
  theHold.Suspend();
  INode* root;
  {
    SceneLoad load(bytes, 8);
    root = load.LoadAll();
  }
  theHold.Resume();
  if (!root) return 0;
  SetSceneRoot(root);
  theHold.ClearHistory();
  SetSaveRequiredFlag(FALSE);
  return 1;
}

void ResetScene() {
  SetSceneRoot(new INode);
  theHold.ClearHistory();
}
