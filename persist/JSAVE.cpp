// The chunk stream writer and reader.
#include "JSave.h"
#include "JInternal.h"
#include "JSaveInternal.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

const uint16_t kEmpty = 0, kContainer = 1, kData = 2;
const size_t kHeader = 8;

typedef std::unordered_map<void*, int> ObjectIndex;

using jlib::ReadLE16;
using jlib::ReadLE32;
using jlib::WriteLE16;
using jlib::WriteLE32;

// The message box for a class that no plug-in provides. The title is copied first: both texts
// come from the same string buffer.
void ReportUncreatableClass() {
  char title[1024];
  strncpy(title, GetResString(10), sizeof title - 1);
  title[sizeof title - 1] = 0;
  MessageBoxA(nullptr, GetResString(11), title, MB_TASKMODAL | MB_ICONERROR | MB_OK);
}

// Holds the objects that a failed load's objects referenced outside the object table, so that
// deleting the table cannot delete one of them while it is still listed here.
class BeyondTable : public ReferenceMaker {
 public:
  int NumRefs() override { return (int)held.size(); }
  RefTargetHandle GetReference(int i) override { return i >= 0 && i < NumRefs() ? held[i] : nullptr; }
  void SetReference(int i, RefTargetHandle t) override {
    if (i >= 0 && i < NumRefs()) held[i] = t;
  }
  // Without memory to hold t, t is not held: the table's references to it are cut all the same,
  // and it stays alive unreferenced (a leak, not a deletion while it is still listed).
  void Keep(ReferenceTarget* t) {
    if (std::find(held.begin(), held.end(), t) != held.end()) return;
    try {
      held.push_back(nullptr);
    } catch (const std::bad_alloc&) {
      return;
    }
    if (ReplaceReference(NumRefs() - 1, t, FALSE) != REF_SUCCEED) held.pop_back();
  }
  // Each goes with its last reference; one that another object still references stays.
  void ReleaseAll() {
    for (int i = 0; i < NumRefs(); i++)
      if (held[i]) ReplaceReference(i, nullptr, TRUE);
    held.clear();
  }

 private:
  std::vector<ReferenceTarget*> held;
};

// Grows out so that it holds need bytes: ahead of the data, so that many small writes cost
// amortised constant time, or, when that much is not to be had, exactly need. Offsets are 32-bit,
// so nothing beyond 4 GiB can be held.
bool GrowOutput(JMemBlock* out, uint64_t need) {
  const uint64_t kMost = 0xFFFFFFFFu;
  if (need > kMost) return false;
  uint64_t ahead = std::min(std::max((uint64_t)out->Size() * 2, need), kMost);
  return out->Alloc((unsigned int)ahead) || (ahead != need && out->Alloc((unsigned int)need));
}

// Deletes an object replaced during a load once the reference callbacks, which run ahead of it,
// have restored its references: they still name it.
class DeleteAfterLoadCallback : public PostLoadCallback {
 public:
  explicit DeleteAfterLoadCallback(ReferenceTarget* target) : target(target) {}
  void proc(ILoad*) override {
    ReferenceTarget* t = target;
    delete this;
    t->DeleteMe();
  }

 private:
  ReferenceTarget* target;
};

}  // namespace

bool jsave::DeleteAfterLoad(ILoad* iload, ReferenceTarget* target) {
  PostLoadCallback* cb = new (std::nothrow) DeleteAfterLoadCallback(target);
  if (!cb) return false;
  iload->RegisterPostLoadCallback(cb);
  return true;
}

// ---- JSave -----------------------------------------------------------------------------------

JSave::JSave(ReferenceMaker* root)
    : out(new JMemBlock), position(0), status(IO_OK), depth(0), current(0), index(new (std::nothrow) ObjectIndex) {
  Init(IO_OK);
  Save(root);
}

JSave::~JSave() {
  if (out) out->DeleteThis();
  delete static_cast<ObjectIndex*>(index);
}

JMemBlock* JSave::TakeOutput() {
  if (status != IO_OK || !out) return nullptr;
  out->Alloc(position);  // the working buffer grew ahead of the data
  JMemBlock* block = out;
  out = nullptr;
  return block;
}

uint16_t JSave::TypeAt(uint32_t offset) { return ReadLE16(out->Data() + offset); }
void JSave::SetTypeAt(uint32_t offset, uint16_t type) { WriteLE16(out->Data() + offset, type); }
uint32_t JSave::LengthAt(uint32_t offset) { return ReadLE32(out->Data() + offset + 4); }
void JSave::SetLengthAt(uint32_t offset, uint32_t length) { WriteLE32(out->Data() + offset + 4, length); }

IOResult JSave::Init(IOResult start) {
  status = start;
  if (out) out->Free();
  position = 0;
  depth = 0;
  current = 0;
  open.SetCount(0);
  objects.SetCount(0);
  if (index) static_cast<ObjectIndex*>(index)->clear();
  if (start != IO_OK) return status;
  if (!out || !index) return status = IO_ERROR;
  // The root header: all zero, so the root's id is 0.
  char root[kHeader] = {};
  if (!out->Alloc(256)) return status = IO_ERROR;
  memcpy(out->Data(), root, kHeader);
  position = kHeader;
  BeginChunk(1);
  return status;
}

IOResult JSave::Save(ReferenceMaker* root) {
  if (!root) return status = IO_ERROR;
  GetRefID(root);
  return Finit();
}

int JSave::GetRefID(void* p) {
  if (!index || status == IO_ERROR) return -1;
  ObjectIndex& idx = *static_cast<ObjectIndex*>(index);
  auto it = idx.find(p);
  if (it != idx.end()) return it->second;
  int id = objects.Count();
  // A memory shortage fails the save as a whole, as a failed write does.
  try {
    idx[p] = id;
  } catch (const std::bad_alloc&) {
    status = IO_ERROR;
    return -1;
  }
  objects.Append(1, &p);
  return id;
}

void JSave::BeginChunk(USHORT id) {
  if (status == IO_ERROR) return;
  if (TypeAt(current) == kData) {
    Init(IO_ERROR);
    return;
  }
  char header[kHeader] = {};
  WriteLE16(header + 2, id);
  uint32_t at = position;
  if (WriteAny(header, kHeader, nullptr) != IO_OK) return;
  SetTypeAt(current, kContainer);
  open.Append(1, &current, 8);
  current = at;
  depth++;
}

void JSave::EndChunk() {
  if (status == IO_ERROR) return;
  if (depth == 0) {
    Init(IO_ERROR);
    return;
  }
  uint32_t length = LengthAt(current);
  current = open[open.Count() - 1];
  open.Delete(open.Count() - 1, 1);
  depth--;
  SetLengthAt(current, LengthAt(current) + length);
}

int JSave::CurChunkDepth() { return depth; }

IOResult JSave::Write(const void* buf, ULONG n, ULONG* written) {
  if (status == IO_ERROR) return IO_ERROR;
  if (TypeAt(current) == kContainer) {
    Init(IO_ERROR);
    return IO_ERROR;
  }
  SetTypeAt(current, kData);
  return WriteAny(buf, n, written);
}

IOResult JSave::WriteAny(const void* buf, ULONG n, ULONG* written) {
  if (status == IO_ERROR || !out) return IO_ERROR;
  uint64_t need = (uint64_t)position + n;
  // Without the room the save cannot be completed: it ends here, with the error.
  if (need > out->Size() && !GrowOutput(out, need)) return Init(IO_ERROR);
  if (n) memcpy(out->Data() + position, buf, n);
  position += (uint32_t)n;
  if (written) *written = n;
  SetLengthAt(current, LengthAt(current) + (uint32_t)n);
  return IO_OK;
}

IOResult JSave::WriteCString(const char* s) {
  if (!s) s = "";
  return Write(s, (ULONG)strlen(s) + 1, nullptr);
}
// The other string writers take the same pointer as narrow text.
IOResult JSave::WriteCString(const wchar_t* s) { return WriteCString(reinterpret_cast<const char*>(s)); }
IOResult JSave::WriteWString(const char* s) { return WriteCString(s); }
IOResult JSave::WriteWString(const wchar_t* s) { return WriteCString(reinterpret_cast<const char*>(s)); }
int JSave::DoingWhat() { return 0; }

IOResult JSave::Finit() {
  if (status == IO_ERROR) return status;
  EndChunk();  // chunk 1 stays empty
  BeginChunk(2);
  for (int i = 0; i < objects.Count() && status != IO_ERROR; i++) {
    BeginChunk(1);
    ReferenceMaker* object = static_cast<ReferenceMaker*>(objects[i]);
    if (object) {
      int n = object->NumRefs();
      if (n < 0) n = 0;
      char record[16];
      Class_ID id = object->ClassID();
      WriteLE32(record, id.PartA());
      WriteLE32(record + 4, id.PartB());
      WriteLE32(record + 8, object->SuperClassID());
      WriteLE32(record + 12, (uint32_t)n);
      BeginChunk(1);
      if (Write(record, sizeof record, nullptr) != IO_OK) return status = IO_ERROR;
      EndChunk();
      BeginChunk(2);
      if (n) {
        char* refs = static_cast<char*>(malloc((size_t)n * 4));
        if (!refs) return Init(IO_ERROR);
        for (int j = 0; j < n; j++) WriteLE32(refs + 4 * j, (uint32_t)GetRefID(object->GetReference(j)));
        IOResult r = Write(refs, (ULONG)n * 4, nullptr);
        free(refs);
        if (r != IO_OK) return status = IO_ERROR;
      }
      EndChunk();
      BeginChunk(3);
      object->Save(this);
      EndChunk();
    }
    EndChunk();
  }
  EndChunk();
  return status;
}

// ---- JLoad -----------------------------------------------------------------------------------

JLoad::JLoad(char* bytes)
    : data(nullptr), current(nullptr), next(nullptr), status(IO_ERROR), depth(0), root(nullptr), obsolete(0),
      end(nullptr) {
  // Without a size the root header says how far the stream reaches.
  Start(bytes, bytes ? bytes + kHeader + (size_t)ReadLE32(bytes + 4) : nullptr);
}

JLoad::JLoad(char* bytes, unsigned int size)
    : data(nullptr), current(nullptr), next(nullptr), status(IO_ERROR), depth(0), root(nullptr), obsolete(0),
      end(nullptr) {
  const char* stop = nullptr;
  if (bytes && size >= kHeader && (uint64_t)ReadLE32(bytes + 4) + kHeader <= size) stop = bytes + kHeader + ReadLE32(bytes + 4);
  Start(stop ? bytes : nullptr, stop);
}

void JLoad::Start(char* bytes, const char* stop) {
  end = stop;
  if (bytes) Init(bytes);
  status = Finit();
  if (status == IO_ERROR) {
    root = nullptr;
    DropOwnCallbacks();
    DiscardObjects();
  }
}

JLoad::~JLoad() {
  if (status == IO_OK) PostLoadCall();
  DropOwnCallbacks();
}

IOResult JLoad::Fail() {
  status = IO_ERROR;
  return IO_ERROR;
}

IOResult JLoad::Init(char* bytes) {
  if (!bytes) return Fail();
  data = bytes;
  current = bytes;
  next = bytes + kHeader;
  status = IO_OK;
  depth = 0;
  root = nullptr;
  obsolete = 0;
  open.SetCount(0);
  objects.SetCount(0);
  frontCallbacks.SetCount(0);
  callbacks.SetCount(0);
  text.Free();
  return OpenChunk();
}

uint16_t JLoad::TypeOf(const char* header) { return ReadLE16(header); }
uint32_t JLoad::LengthOf(const char* header) { return ReadLE32(header + 4); }
const char* JLoad::ChunkEnd(const char* header) { return header + kHeader + LengthOf(header); }

void* JLoad::GetAddr(int id) { return id >= 0 && id < objects.Count() ? objects[id] : nullptr; }

IOResult JLoad::OpenChunk() {
  if (status == IO_ERROR) return IO_ERROR;
  uint16_t type = TypeOf(current);
  if (type == kEmpty) return IO_ERROR;
  if (type != kContainer) return Fail();
  int64_t left = (int64_t)(ChunkEnd(current) - next);
  if (left == 0) return IO_END;
  if (left < (int64_t)kHeader) return Fail();
  // A nested header must lie within the chunk that holds it.
  if ((int64_t)LengthOf(next) > left - (int64_t)kHeader) return Fail();
  open.Append(1, &current, 8);
  current = next;
  next = current + kHeader;
  depth++;
  return IO_OK;
}

USHORT JLoad::CurChunkID() { return status == IO_ERROR ? 0 : ReadLE16(current + 2); }
ChunkType JLoad::CurChunkType() { return status == IO_ERROR ? NEW_CHUNK : (ChunkType)TypeOf(current); }
ULONG JLoad::CurChunkLength() { return status == IO_ERROR ? 0 : LengthOf(current); }
int JLoad::CurChunkDepth() { return status == IO_ERROR ? 0 : depth; }

IOResult JLoad::CloseChunk() {
  if (status == IO_ERROR || depth == 0) return Fail();
  next = ChunkEnd(current);
  current = open[open.Count() - 1];
  open.Delete(open.Count() - 1, 1);
  depth--;
  return IO_OK;
}

USHORT JLoad::PeekNextChunkID() {
  if (status == IO_ERROR || TypeOf(current) != kContainer) return 0;
  if (ChunkEnd(current) - next < (ptrdiff_t)kHeader) return 0;
  return ReadLE16(next + 2);
}

IOResult JLoad::Read(void* buf, ULONG n, ULONG* nread) {
  if (!buf || status == IO_ERROR) return Fail();
  if (n == 0) {
    if (nread) *nread = 0;
    return IO_OK;
  }
  if (TypeOf(current) != kData) return Fail();
  size_t left = (size_t)(ChunkEnd(current) - next);
  size_t count = n < left ? n : left;
  memcpy(buf, next, count);
  next += count;
  if (nread) *nread = (ULONG)count;
  return IO_OK;
}

IOResult JLoad::ReadCStringChunk(char** out) {
  if (status == IO_ERROR) {
    *out = nullptr;
    return IO_ERROR;
  }
  // The text ends at its NUL; without one inside the chunk the read below comes up short.
  size_t left = ChunkEnd(current) > next ? (size_t)(ChunkEnd(current) - next) : 0;
  const void* nul = memchr(next, 0, left);
  size_t length = (nul ? (size_t)(static_cast<const char*>(nul) - next) : left) + 1;
  if (!text.Alloc((unsigned int)length)) {
    *out = nullptr;
    return Fail();
  }
  *out = text.Data();
  ULONG got = 0;
  if (Read(text.Data(), (ULONG)length, &got) != IO_OK) return IO_ERROR;
  if (got < length) return Fail();
  return status;
}
// The other string readers hand the same pointer over as narrow text.
IOResult JLoad::ReadCStringChunk(wchar_t** out) { return ReadCStringChunk(reinterpret_cast<char**>(out)); }
IOResult JLoad::ReadWStringChunk(char** out) { return ReadCStringChunk(out); }
IOResult JLoad::ReadWStringChunk(wchar_t** out) { return ReadCStringChunk(reinterpret_cast<char**>(out)); }

void JLoad::RecordBackpatch(int id, void** patch, ULONG) {
  if (!patch) return;
  *patch = GetAddr(id);
  if (*patch) return;
  PostLoadCallback* cb = new (std::nothrow) BackpatchCallback(id, patch);
  if (!cb) return;
  owned.Append(1, &cb, 8);
  RegisterPostLoadCallback(cb);
}

void JLoad::SetRootAddr(void* addr) {
  root = addr;
  ReferenceMaker* m = static_cast<ReferenceMaker*>(addr);
  if (objects.Count())
    objects[0] = m;
  else
    objects.Append(1, &m);
}

void* JLoad::GetRootAddr() { return root; }
void JLoad::SetObsolete() { obsolete = 1; }

void JLoad::RegisterPostLoadCallback(PostLoadCallback* cb) {
  if (cb) callbacks.Append(1, &cb, 8);
}

void JLoad::Register_Ref_LoadCallback(PostLoadCallback* cb) {
  if (cb) frontCallbacks.Append(1, &cb, 8);
}

void JLoad::PostLoadCall() {
  // A callback may register more; they run in the same pass.
  while (frontCallbacks.Count() || callbacks.Count()) {
    Tab<PostLoadCallback*> front = frontCallbacks, rest = callbacks;
    frontCallbacks.SetCount(0);
    callbacks.SetCount(0);
    for (int i = front.Count(); i-- > 0;)
      if (front[i]) front[i]->proc(this);
    for (int i = 0; i < rest.Count(); i++)
      if (rest[i]) rest[i]->proc(this);
  }
  owned.SetCount(0);  // they released themselves as they ran
}

const char* JLoad::GetDir(int which) { return ILoad::GetDir(which); }
INode* JLoad::RootNode() { return ILoad::RootNode(); }
int JLoad::DoingWhat() { return 0; }

void JLoad::DropOwnCallbacks() {
  // An object replaced during the load was made by it too: it goes now, as the others will.
  for (int i = 0; i < callbacks.Count(); i++)
    if (auto* deletion = dynamic_cast<DeleteAfterLoadCallback*>(callbacks[i])) deletion->proc(this);
  for (int i = 0; i < owned.Count(); i++) delete owned[i];
  owned.SetCount(0);
  frontCallbacks.SetCount(0);
  callbacks.SetCount(0);
}

// Deletes what a failed load created, the last first. References among the table's objects are
// cut first, so that no object is deleted twice through another's references. What they reference
// beyond the table (children their constructors or Load calls made) is kept by a holder while the
// table goes, then released with delete-old: it goes unless something else still references it.
// None of these objects ever was in the scene, so nothing of this is recorded for undo.
void JLoad::DiscardObjects() {
  theHold.Suspend();
  // Whether a target is one of the table's objects: looked up in a set, or, without the memory
  // for one, along the table.
  std::unordered_set<ReferenceMaker*> table;
  bool indexed = true;
  try {
    table.insert(objects.Addr(0), objects.Addr(0) + objects.Count());
  } catch (const std::bad_alloc&) {
    indexed = false;
  }
  auto inTable = [&](ReferenceMaker* t) {
    if (indexed) return table.count(t) != 0;
    for (int k = 0; k < objects.Count(); k++)
      if (objects[k] == t) return true;
    return false;
  };
  BeyondTable beyond;
  for (int i = 0; i < objects.Count(); i++) {
    ReferenceMaker* m = objects[i];
    if (!m) continue;
    for (int j = 0; j < m->NumRefs(); j++) {
      ReferenceTarget* t = m->GetReference(j);
      if (!t) continue;
      if (!inTable(t)) beyond.Keep(t);
      m->ReplaceReference(j, nullptr, FALSE);
    }
  }
  for (int i = objects.Count(); i-- > 0;) {
    ReferenceMaker* m = objects[i];
    if (!m) continue;
    // A duplicate entry (a root set twice) must not be deleted twice.
    for (int k = 0; k < i && m; k++)
      if (objects[k] == m) m = nullptr;
    if (m) m->DeleteMe();
  }
  objects.SetCount(0);
  beyond.ReleaseAll();
  theHold.Resume();
}

IOResult JLoad::ReadEntry() {
  IOResult r = OpenChunk();
  if (r != IO_OK) return r;
  if (LengthOf(current) == 0) {
    ReferenceMaker* none = nullptr;
    objects.Append(1, &none, 64);
    return CloseChunk();
  }
  char record[16];
  ULONG got = 0;
  if (OpenChunk() != IO_OK || CurChunkID() != 1) return Fail();
  if (Read(record, sizeof record, &got) != IO_OK || got != sizeof record) return Fail();
  CloseChunk();
  Class_ID id(ReadLE32(record), ReadLE32(record + 4));
  SClass_ID superID = ReadLE32(record + 8);
  uint32_t n = ReadLE32(record + 12);
  MapLegacyClassID(id);
  JLoading(1);
  void* made = CreateInstance(superID, id);
  JLoading(0);
  if (!made) {
    ReportUncreatableClass();
    return Fail();
  }
  ReferenceMaker* object = dynamic_cast<ReferenceMaker*>(static_cast<Animatable*>(made));
  if (!object) {
    static_cast<Animatable*>(made)->DeleteThis();
    return Fail();
  }
  if (!root) root = object;
  objects.Append(1, &object, 64);

  if (OpenChunk() != IO_OK || CurChunkID() != 2) return Fail();
  if (n) {
    // The indices must be there: a count the chunk cannot hold is a format error.
    if ((uint64_t)n * 4 != LengthOf(current)) return Fail();
    uint32_t* ids = static_cast<uint32_t*>(malloc((size_t)n * 4));
    if (!ids) return Fail();
    if (Read(ids, n * 4, &got) != IO_OK || got != n * 4) {
      free(ids);
      return Fail();
    }
    for (uint32_t j = 0; j < n; j++) ids[j] = ReadLE32(reinterpret_cast<const char*>(ids + j));
    PostLoadCallback* cb = new (std::nothrow) MRefPostLoadCallback(object, (int)n, ids);
    if (!cb) {
      free(ids);
      return Fail();
    }
    owned.Append(1, &cb, 64);
    Register_Ref_LoadCallback(cb);
  }
  CloseChunk();
  // The object's own chunk: whatever its Load leaves open is closed with it.
  int entryDepth = depth;
  OpenChunk();
  object->Load(this);
  while (depth > entryDepth && status != IO_ERROR) CloseChunk();
  return CloseChunk();
}

IOResult JLoad::Finit() {
  if (status == IO_ERROR) return status;
  CloseChunk();
  OpenChunk();
  IOResult r;
  while ((r = ReadEntry()) == IO_OK) {
  }
  if (r != IO_END || status == IO_ERROR) return Fail();
  // Without a first object the load has nothing to answer: what it made would be nobody's.
  if (!GetAddr(0))
    for (int i = 0; i < objects.Count(); i++)
      if (objects[i]) return Fail();
  CloseChunk();
  if (status == IO_OK) PostLoadCall();
  return status;
}

// ---- Post-load callbacks ---------------------------------------------------------------------

MRefPostLoadCallback::MRefPostLoadCallback(ReferenceMaker* maker, int count, uint32_t* ids)
    : maker(maker), count(count), ids(ids) {}

MRefPostLoadCallback::~MRefPostLoadCallback() { free(ids); }

void MRefPostLoadCallback::proc(ILoad* iload) {
  for (int j = 0; j < count; j++) {
    ReferenceMaker* m = static_cast<ReferenceMaker*>(iload->GetAddr((int)ids[j]));
    ReferenceTarget* target = m && m->IsRefTarget() ? static_cast<ReferenceTarget*>(m) : nullptr;
    // A slot the object does not have is refused by the host (with its assertion).
    maker->ReplaceReference(j, target, TRUE);
  }
  delete this;
}

void BackpatchCallback::proc(ILoad* iload) {
  *target = iload->GetAddr(id);
  delete this;
}
