// The chunk stream: byte format, object table, reader edge cases, failure paths (damaged
// streams: test_mutation.cpp).
#include "TestSupport.h"
#include "boxes.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

using quortest::U16;
using quortest::SetU32;
using quortest::U32;

namespace {

// The root loaded from bytes whose root header gives their extent.
template <class T = Box>
T* Load(std::vector<unsigned char>& bytes) {
  return dynamic_cast<T*>(LoadRefMaker(reinterpret_cast<char*>(bytes.data())));
}

// Header {type, id, length} at offset.
void ExpectHeader(const std::vector<unsigned char>& b, size_t at, int type, int id, uint32_t length) {
  EXPECT_EQ(U16(b, at), type) << "type at " << at;
  EXPECT_EQ(U16(b, at + 2), id) << "id at " << at;
  EXPECT_EQ(U32(b, at + 4), length) << "length at " << at;
}

}  // namespace

TEST(Writer, AnEmptyRootIsSeventyTwoBytes) {
  Box* b = NewBox(0);
  b->writeNothing = true;
  std::vector<unsigned char> bytes = SavedBytes(b);
  ASSERT_EQ(bytes.size(), 72u);
  // {offset, type, id, length}: root, empty chunk 1, table, entry, class record, empty reference
  // and object chunks.
  const int headers[][4] = {{0, 1, 0, 64}, {8, 0, 1, 0}, {16, 1, 2, 48}, {24, 1, 1, 40},
                            {32, 2, 1, 16}, {56, 0, 2, 0}, {64, 0, 3, 0}};
  for (auto& h : headers) ExpectHeader(bytes, h[0], h[1], h[2], h[3]);
  EXPECT_EQ(U32(bytes, 40), Box::kID.PartA());
  EXPECT_EQ(U32(bytes, 44), Box::kID.PartB());
  EXPECT_EQ(U32(bytes, 48), 0x200u);
  EXPECT_EQ(U32(bytes, 52), 0u);
  b->DeleteMe();
}

TEST(Writer, SharedAndNullReferencesAreIndexedOnceAndTheGraphRoundTrips) {
  Box* root = NewBox(4, 1);
  Box* shared = NewBox(0, 2);
  root->text = "hello";
  root->MakeRefByID(FOREVER, 0, shared);
  root->MakeRefByID(FOREVER, 2, shared);
  root->MakeRefByID(FOREVER, 3, NewBox(0, 3));
  std::vector<unsigned char> bytes = SavedBytes(root);
  // The root's reference chunk follows the root, chunk 1, the table and entry headers and the
  // class record: indices 1 (shared), 2 (null), 1, 3.
  const size_t refs = 16 + 8 + 8 + 24;
  ExpectHeader(bytes, refs, 2, 2, 16);
  const uint32_t ids[4] = {1, 2, 1, 3};
  for (int i = 0; i < 4; i++) EXPECT_EQ(U32(bytes, refs + 8 + 4 * i), ids[i]) << i;

  Box* copy = Load(bytes);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->text, "hello");
  EXPECT_EQ(copy->value, 1);
  EXPECT_EQ(copy->loading, 1) << "created empty for the loader";
  ASSERT_EQ(copy->NumRefs(), 4);
  EXPECT_EQ(copy->GetReference(0), copy->GetReference(2));
  EXPECT_EQ(copy->GetReference(1), nullptr);
  EXPECT_NE(copy->GetReference(0), shared);
  EXPECT_EQ(copy->GetReference(0)->NumDependents(), 2);
  EXPECT_EQ(static_cast<Box*>(copy->GetReference(0))->value, 2);
  EXPECT_EQ(static_cast<Box*>(copy->GetReference(3))->value, 3);
  copy->DeleteMe();
  root->DeleteMe();
}

namespace {
// Objects that write badly.
struct BadWriter : Box {
  explicit BadWriter(int mode) : Box(0), mode(mode) {}
  IOResult Save(ISave* isave) override {
    isave->BeginChunk(1);
    if (mode == 0) {  // data into a chunk that already holds a chunk
      isave->BeginChunk(2);
      isave->EndChunk();
      isave->Write("x", 1, nullptr);
    } else if (mode == 1) {  // a chunk inside a data chunk
      isave->Write("x", 1, nullptr);
      isave->BeginChunk(2);
    } else {  // more ends than begins
      for (int i = 0; i < 5; i++) isave->EndChunk();
    }
    isave->EndChunk();
    return IO_OK;
  }
  int mode;
};
}  // namespace

TEST(Writer, MisusedChunksDiscardTheWholeOutput) {
  for (int mode = 0; mode < 3; mode++) {
    BadWriter w(mode);
    JSave save(&w);
    EXPECT_EQ(save.Status(), IO_ERROR) << mode;
    EXPECT_EQ(save.TakeOutput(), nullptr) << mode;
    EXPECT_EQ(save.Write("late", 4, nullptr), IO_ERROR) << "a failed writer ignores further calls";
  }
  EXPECT_EQ(SaveRefMaker(nullptr), nullptr);
  JSave none(nullptr);
  EXPECT_EQ(none.Status(), IO_ERROR);
}

// An object that writes more than any output can hold: the stream's offsets are 32-bit, so the
// output cannot grow to take it. It keeps what its write answered.
namespace {
struct Oversized : Box {
  static const ULONG kTooMuch = 0xFFFFFFFFu;  // the most a write can ask for; with any byte before it, past 4 GiB
  explicit Oversized(int loading) : Box(loading) {}
  IOResult Save(ISave* s) override {
    s->BeginChunk(10);
    char small = 0;  // never read: the write fails before any byte is copied
    written = s->Write(&small, kTooMuch, nullptr);
    s->EndChunk();
    return written;
  }
  IOResult written = IO_OK;
};
}  // namespace

TEST(Writer, AWriteTheOutputCannotGrowToTakeFailsTheWholeSave) {
  Box* root = NewBox(1, 1);
  Oversized* big = new Oversized(0);
  root->ReplaceReference(0, big);
  {
    JSave save(root);
    EXPECT_EQ(big->written, IO_ERROR) << "the write itself fails";
    EXPECT_EQ(save.Status(), IO_ERROR) << "and so does the save";
    EXPECT_EQ(save.TakeOutput(), nullptr);
  }
  EXPECT_EQ(SaveRefMaker(root), nullptr);
  root->DeleteMe();
}

// An object whose own chunk holds a data chunk of 5 bytes and an empty chunk; its Load tries the
// reader's chunk operations at the edges and logs them.
namespace {
const Class_ID kProbeID(0x7E57B0C5, 2);
struct Probe : Box {
  explicit Probe(int loading) : Box(loading) {}
  Class_ID ClassID() override { return kProbeID; }
  static std::vector<std::string> log;
  IOResult Save(ISave* s) override {
    s->BeginChunk(21);
    s->Write("abcde", 5, nullptr);
    s->EndChunk();
    s->BeginChunk(22);
    s->EndChunk();
    return IO_OK;
  }
  IOResult Load(ILoad* l) override {
    char buf[16];
    ULONG got = 99;
    auto note = [](std::string what, long value) { log.push_back(what + " " + std::to_string(value)); };
    note("peek", l->PeekNextChunkID());
    note("open", l->OpenChunk());
    note("id", l->CurChunkID());
    note("read", l->Read(buf, sizeof buf, &got));
    note("got", (long)got);
    note("read0", l->Read(buf, 0, &got));
    note("got", (long)got);
    note("close", l->CloseChunk());
    note("peek", l->PeekNextChunkID());
    note("open", l->OpenChunk());
    note("type", l->CurChunkType());
    note("open-in-empty", l->OpenChunk());  // answers 2 and the reader stays usable
    note("depth", l->CurChunkDepth());
    note("close", l->CloseChunk());
    note("peek", l->PeekNextChunkID());
    note("open", l->OpenChunk());  // all nested chunks consumed
    note("addr", (l->GetAddr(-1) == nullptr) * 100 + (l->GetAddr(1) == nullptr) * 10 + (l->GetAddr(0) == this));
    return IO_OK;
  }
};
std::vector<std::string> Probe::log;
JClassDesc<Probe, ReferenceTargetRTTI> probeDesc(0, "Probe", 0x200, kProbeID, "");
}  // namespace

TEST(Reader, ChunkOperationsAtTheEdges) {
  Probe w(0);
  std::vector<unsigned char> bytes = SavedBytes(&w);
  Probe::log.clear();
  Probe* loaded = Load<Probe>(bytes);
  ASSERT_NE(loaded, nullptr);
  // The object's chunk lies at depth 3 below the root (table, entry, object chunk).
  std::vector<std::string> expected = {"peek 21", "open 0",  "id 21",   "read 0",          "got 5",   "read0 0",
                                       "got 0",   "close 0", "peek 22", "open 0",          "type 0",  "open-in-empty 2",
                                       "depth 4", "close 0", "peek 0",  "open 1",          "addr 111"};
  EXPECT_EQ(Probe::log, expected);
  loaded->DeleteMe();
}

TEST(Reader, AnEarlierClassIdLoadsAsTheCurrentClass) {
  JFloatData* leaf = Create_JFloatData();
  leaf->SetValue(0, 4.25f);
  std::vector<unsigned char> bytes = SavedBytes(leaf);
  // Object 0's class id is at offset 40: write JFloatData's earlier id there.
  ASSERT_EQ(U32(bytes, 40), 0x55756B07u);
  const unsigned char earlier[8] = {0xCE, 0x35, 0xBB, 0x3A, 0x60, 0x17, 0x7F, 0x0C};
  memcpy(&bytes[40], earlier, 8);
  JFloatData* copy = Load<JFloatData>(bytes);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetFValue(0), 4.25f);
  copy->DeleteMe();
  leaf->DeleteMe();
}

TEST(Reader, ReferencesAreRestoredBeforeTheObjectsOwnCallbacks) {
  Box* root = NewBox(1, 1);
  Box* child = NewBox(1, 2);
  root->MakeRefByID(FOREVER, 0, child);
  child->MakeRefByID(FOREVER, 0, NewBox(0, 3));
  std::vector<unsigned char> bytes = SavedBytes(root);
  Box::events.clear();
  Box* copy = Load(bytes);
  ASSERT_NE(copy, nullptr);
  std::vector<std::string> expected = {"load 1", "load 2", "load 3", "post 1 refs set", "post 2 refs set", "post 3 refs unset"};
  EXPECT_EQ(Box::events, expected) << "each Load runs before any reference is set";
  copy->DeleteMe();
  root->DeleteMe();
}

TEST(Reader, AClassNoPluginProvidesShowsTheLoadErrorAndLoadsNothing) {
  Box* root = NewBox(1, 1);
  root->MakeRefByID(FOREVER, 0, NewBox(0, 2));
  std::vector<unsigned char> bytes = SavedBytes(root);
  root->DeleteMe();
  // The second object's class becomes one that nobody provides.
  size_t at = std::string(bytes.begin(), bytes.end()).rfind(std::string("\xC5\xB0\x57\x7E", 4));
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 0xC6;
  long live = GetLiveRefTargetCount();
  quortest::ModalDriver driver(IDOK);
  EXPECT_EQ(Load(bytes), nullptr);
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(driver.Caption(), "Load Error");
  EXPECT_EQ(driver.Text(), "Cannot create an object.\nProbably a corresponding plug-in is absent.");
  EXPECT_EQ(GetLiveRefTargetCount(), live) << "the object created before it is deleted";
}

TEST(Reader, AStreamWhoseFirstObjectIsMissingLoadsNothingAndKeepsNothing) {
  Box* root = NewBox(1, 1);
  root->MakeRefByID(FOREVER, 0, NewBox(0, 2));
  std::vector<unsigned char> bytes = SavedBytes(root);
  root->DeleteMe();
  // Entry 0 becomes an empty entry (as the writer writes for a null object); the table and the
  // root chunk shrink with it. Entry 1, the child, still loads.
  const size_t kRootLength = 4, kTableLength = 20, kEntry0 = 24, kHeaderSize = 8;
  const uint32_t removed = U32(bytes, kEntry0 + 4);
  bytes.erase(bytes.begin() + kEntry0 + kHeaderSize, bytes.begin() + kEntry0 + kHeaderSize + removed);
  SetU32(bytes, kEntry0, 0x00010000u);  // type 0 (empty), id 1
  SetU32(bytes, kEntry0 + 4, 0);
  SetU32(bytes, kRootLength, U32(bytes, kRootLength) - removed);
  SetU32(bytes, kTableLength, U32(bytes, kTableLength) - removed);
  long live = GetLiveRefTargetCount();
  EXPECT_EQ(Load(bytes), nullptr);
  EXPECT_EQ(GetLiveRefTargetCount(), live) << "the child made for nobody is deleted";
}

namespace {
// Saves the index of its reference's target itself and asks the loader to patch a pointer with it.
const Class_ID kPatcherID(0x7E57B0C5, 3);
struct Patcher : Box {
  explicit Patcher(int l) : Box(l) { Slots(1); }
  Class_ID ClassID() override { return kPatcherID; }
  void* patched = reinterpret_cast<void*>(1);
  IOResult Save(ISave* s) override {
    int id = s->GetRefID(refs[0]);
    s->BeginChunk(30);
    s->Write(&id, 4, nullptr);
    s->EndChunk();
    return IO_OK;
  }
  IOResult Load(ILoad* l) override {
    if (l->OpenChunk() != IO_OK) return IO_ERROR;
    int id = -1;
    ULONG got = 0;
    l->Read(&id, 4, &got);
    l->CloseChunk();
    l->RecordBackpatch(id, &patched);
    return IO_OK;
  }
};
JClassDesc<Patcher, ReferenceTargetRTTI> patcherDesc(0, "Patcher", 0x200, kPatcherID, "");
}  // namespace

namespace {
// A block whose constructor adds its child whether or not it is being loaded: when a load fails,
// that child is referenced by a loaded object but is not in the object table.
class EagerBlock : public JDataNode {
 public:
  explicit EagerBlock(int) { Add(Create_JFloatData(), "Always"); }
  JClassDescBase* GetCD() override;
};
const Class_ID kEagerBlockID(0x7E57B0C5, 4);
JClassDesc<EagerBlock, ReferenceTargetRTTI> eagerDesc(0, "EagerBlock", REF_TARGET_CLASS_ID, kEagerBlockID, "");
JClassDescBase* EagerBlock::GetCD() { return &eagerDesc; }
}  // namespace

TEST(Reader, AFailedLoadDeletesWhatItsObjectsMadeBesideTheTable) {
  long live = GetLiveRefTargetCount();
  EagerBlock* eager = JCreateRegistered<EagerBlock>(REF_TARGET_CLASS_ID, kEagerBlockID);
  ASSERT_NE(eager, nullptr);
  Box* root = NewBox(2, 1);
  root->ReplaceReference(0, eager);
  root->ReplaceReference(1, NewBox(0, 2));
  std::vector<unsigned char> bytes = SavedBytes(root);
  root->DeleteMe();
  ASSERT_EQ(GetLiveRefTargetCount(), live);
  // The load fails at the last box, after the block and its constructor's child exist.
  ASSERT_TRUE(BreakLastBox(bytes));
  EXPECT_EQ(Load(bytes), nullptr);
  EXPECT_EQ(GetLiveRefTargetCount(), live);
}

TEST(Reader, BackpatchesWaitForObjectsCreatedLater) {
  Patcher* p = JCreateRegistered<Patcher>(0x200, kPatcherID);
  ASSERT_NE(p, nullptr);
  p->MakeRefByID(FOREVER, 0, NewBox(0, 8));
  std::vector<unsigned char> bytes = SavedBytes(p);
  Patcher* copy = Load<Patcher>(bytes);
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(copy->GetReference(0), nullptr);
  EXPECT_EQ(copy->patched, static_cast<ReferenceMaker*>(copy->GetReference(0)));
  copy->DeleteMe();
  p->DeleteMe();
}
