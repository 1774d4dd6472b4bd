// Byte payloads, texture slots, the track-editor dummy controller.
#include "MemStream.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "blocks.h"

#include <gtest/gtest.h>

#include <string.h>

using quortest::Held;
using quortest::U32;

namespace {

// The refreshes a slot's parent window received, and how many notifications the slot's listener
// had heard when the last one came.
int refreshes = 0;
int heardAtRefresh = -1;
quortest::Recorder* listener = nullptr;
LRESULT CALLBACK CountRefreshes(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == 0x4500 && w == 0 && l == 0) {
    refreshes++;
    if (listener) heardAtRefresh = (int)listener->heard.size();
  }
  return DefWindowProcA(h, m, w, l);
}

// What b saves inside a chunk 7.
std::vector<unsigned char> Saved(JBinaryData* b) {
  quortest::MemSave s;
  s.BeginChunk(7);
  EXPECT_EQ(b->Save(&s), IO_OK);
  s.EndChunk();
  return s.Bytes();
}

// Loads b from the first chunk of bytes.
IOResult LoadInto(JBinaryData* b, const std::vector<unsigned char>& bytes) {
  quortest::MemLoad l(bytes);
  EXPECT_EQ(l.OpenChunk(), IO_OK);
  return b->Load(&l);
}

}  // namespace

TEST(Binary, IsBypassedAndHiddenForGoodAndCopiesItsPayloadInAndOut) {
  Held<JBinaryData> b(Create_JBinaryData());
  EXPECT_EQ(b->GetBypassThis(), 1);
  EXPECT_EQ(b->GetBypassThisMask(), 1);
  EXPECT_EQ(b->GetBypassTree(), 1);
  EXPECT_EQ(b->GetBypassTreeMask(), 1);
  b->SetBypassThis(0);
  EXPECT_EQ(b->GetBypassThis(), 1);
  EXPECT_EQ(BypassView(b.d, 0), 1);
  EXPECT_EQ(b->GetBypassThis(), 0) << "cleared although locked";
  EXPECT_EQ(b->NumSubs(), 0);
  EXPECT_EQ(b->NumRefs(), 0);

  // The payload is copied in and out, whatever the time and method.
  JMemBlock in("\x01\x02\x00\x03", 4), out;
  Interval valid = FOREVER;
  b->SetValue(&in, 99, valid, CTRL_RELATIVE);
  in.Copy("zz", 2);
  b->GetValue(&out, 0, valid, CTRL_ABSOLUTE);
  ASSERT_EQ(out.Size(), 4u);
  EXPECT_EQ(memcmp(out.Data(), "\x01\x02\x00\x03", 4), 0);
}

TEST(Binary, SaveWritesThePropertyChunkThenThePayloadWhichRoundTripsAndClones) {
  Held<JBinaryData> b(Create_JBinaryData());
  std::vector<unsigned char> bytes = Saved(b.d);
  // Chunk 7 holds chunk 1 (holding chunk 1 with four 12-byte records) and an empty chunk 2.
  size_t c1 = 16;
  EXPECT_EQ(bytes[c1 + 2], 1);
  size_t c2 = c1 + 8 + U32(bytes, c1 + 4);
  ASSERT_LT(c2 + 8, bytes.size() + 1);
  EXPECT_EQ(bytes[c2 + 2], 2);
  EXPECT_EQ(U32(bytes, c2 + 4), 0u) << "an empty payload writes an empty chunk 2";

  // Loading it into a block with a payload empties the payload.
  Held<JBinaryData> other(Create_JBinaryData());
  other->Payload().Copy("full", 4);
  BypassView(other.d, 0);
  EXPECT_EQ(LoadInto(other.d, bytes), IO_OK);
  EXPECT_EQ(other->Payload().Size(), 0u);
  EXPECT_EQ(other->GetBypassThis(), 1) << "properties loaded";

  // A payload round-trips and clones.
  b->Payload().Copy("C:\\maps\\wood.png", JMemBlock::kText);
  b->SetName("Path");
  Held<JBinaryData> l(Create_JBinaryData());
  ASSERT_EQ(LoadInto(l.d, Saved(b.d)), IO_OK);
  EXPECT_STREQ(l->Payload().Data(), "C:\\maps\\wood.png");
  Held<JBinaryData> c(static_cast<JBinaryData*>(b->Clone(NoRemap())));
  EXPECT_STREQ(c->Payload().Data(), "C:\\maps\\wood.png");
  EXPECT_STREQ(c->GetName(), "Path");
  EXPECT_NE(c->Payload().Data(), b->Payload().Data());

  // A payload chunk without a property chunk loads too.
  quortest::MemSave s;
  s.BeginChunk(7);
  s.BeginChunk(2);
  s.Write("abcdef", 6, nullptr);
  s.EndChunk();
  s.EndChunk();
  EXPECT_EQ(LoadInto(l.d, s.Bytes()), IO_OK);
  EXPECT_EQ(l->Payload().Size(), 6u);
}

namespace {
// A writer that refuses data longer than a property record, so that a payload write fails.
class RefusesLongWrites : public quortest::MemSave {
 public:
  static const ULONG kLongest = 12;
  IOResult Write(const void* buf, ULONG n, ULONG* written) override {
    return n > kLongest ? IO_ERROR : MemSave::Write(buf, n, written);
  }
};
}  // namespace

// A failing part ends the save at once, with its chunks left open.
TEST(Binary, AFailedPartEndsTheSaveWithItsChunksOpen) {
  Held<JBinaryData> b(Create_JBinaryData());
  quortest::MemSave failing;
  failing.BeginChunk(7);
  int depth = failing.CurChunkDepth();
  failing.FailWrites(true);
  EXPECT_EQ(b->Save(&failing), IO_ERROR);
  EXPECT_EQ(failing.CurChunkDepth(), depth + 2) << "chunk 1 and the property chunk inside it";

  b->Payload().Copy("a payload longer than a record", JMemBlock::kText);
  RefusesLongWrites refusing;
  refusing.BeginChunk(7);
  depth = refusing.CurChunkDepth();
  EXPECT_EQ(b->Save(&refusing), IO_ERROR);
  EXPECT_EQ(refusing.CurChunkDepth(), depth + 1) << "the payload chunk";
}

TEST(Subtex, NamesItsMapAndTakesDrops) {
  quortest::AssertRecorder rec;
  Held<JSubtex> slot(Create_JSubtex());
  slot->SetName("Bump");
  EXPECT_STREQ(slot->SubAnimName(0), "Bump");
  EXPECT_EQ(slot->NumSubs(), 0);
  EXPECT_EQ(slot->GetDragType(nullptr, POINT{0, 0}), 0xC10u);
  EXPECT_TRUE(slot->OkToDrop(nullptr, nullptr, nullptr, POINT{0, 0}, 0xC10));
  EXPECT_FALSE(slot->OkToDrop(nullptr, nullptr, nullptr, POINT{0, 0}, 0x200));

  // A real dialog-like parent: the drop sends it message 0x4500.
  refreshes = 0;
  heardAtRefresh = -1;
  listener = slot.owner;
  WNDCLASSA wc = {0, CountRefreshes, 0, 0, GetModuleHandleA(nullptr), nullptr, nullptr, nullptr, nullptr,
                  "QuortestSlotParent"};
  RegisterClassA(&wc);
  HWND parent = CreateWindowA("QuortestSlotParent", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
  HWND button = CreateWindowA("BUTTON", "", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  Texmap* checker = NewCheckerMap(Color(0, 0, 0), Color(1, 1, 1), 2);
  size_t before = slot.owner->heard.size();
  slot->Drop(checker, button, POINT{1, 1}, 0xC10);
  listener = nullptr;
  DestroyWindow(parent);
  EXPECT_EQ(refreshes, 1);
  EXPECT_EQ(slot->GetReference(0), checker);
  EXPECT_EQ(slot->GetInstance(nullptr, POINT{0, 0}, 0xC10), checker);
  EXPECT_EQ(slot->GetSubTexmap(5), checker);
  // What the dependents heard, in order: the change that setting the reference announces (the
  // slot tells its dependents at once, while the old map still lives, for what they keep of it),
  // then the structure change with part 0; the parent's refresh comes after both.
  std::vector<quortest::Recorder::Heard> heard(slot.owner->heard.begin() + before, slot.owner->heard.end());
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].message, (RefMessage)REFMSG_CHANGE);
  EXPECT_EQ(heard[0].part, (PartID)PART_ALL);
  EXPECT_EQ(heard[1].message, (RefMessage)REFMSG_SUBANIM_STRUCTURE_CHANGED);
  EXPECT_EQ(heard[1].part, 0u);
  EXPECT_EQ(heard[1].target, slot.d);
  EXPECT_EQ(heardAtRefresh, (int)(before + heard.size())) << "the refresh after the notifications";
  EXPECT_STREQ(slot->SubAnimName(0), "Bump: Checker");
  checker->SetName("Tiles");
  EXPECT_STREQ(slot->SubAnimName(0), "Bump: Tiles");
  EXPECT_STREQ(slot->GetSubTexmapSlotName(0), "Bump");
  EXPECT_EQ(slot->NumSubs(), 1);
  EXPECT_EQ(slot->SubAnim(0), checker);

  // It has no value, and only one reference.
  Interval valid = FOREVER;
  float v;
  slot->GetValue(&v, 0, valid, CTRL_ABSOLUTE);
  slot->SetValue(&v, 0, valid, CTRL_ABSOLUTE);
  slot->SetReference(1, checker);
  EXPECT_TRUE(rec.Saw("JDATA", 963));
  EXPECT_TRUE(rec.Saw("JDATA", 979));
  EXPECT_TRUE(rec.Saw("JDATA", 1025));
  EXPECT_EQ(slot->GetReference(0), checker);
}

TEST(Subtex, CloneClonesTheMap) {
  Held<JSubtex> slot(Create_JSubtex());
  slot->SetName("Map");
  Texmap* solid = NewSolidColorMap(Color(0.5f, 0.25f, 1));
  slot->Drop(solid, nullptr, POINT{0, 0}, 0xC10);
  Held<JSubtex> copy(static_cast<JSubtex*>(slot->Clone(NoRemap())));
  ASSERT_NE(copy->GetSubTexmap(0), nullptr);
  EXPECT_NE(copy->GetSubTexmap(0), solid);
  ShadeContext sc;
  EXPECT_EQ(copy->GetSubTexmap(0)->EvalColor(sc).g, 0.25f);
  EXPECT_STREQ(copy->GetName(), "Map");
  EXPECT_TRUE(copy->AssignController(nullptr, 0));
  EXPECT_EQ(copy->GetSubTexmap(0), copy->GetReference(0));
}

TEST(TVDummy, HoldsATreeAndClonesIt) {
  JLoading(1);
  TVDummyControl* dummy = Create_TVDummyControl();
  EXPECT_EQ(JLoading(-1), 0) << "the dummy's descriptor consumes the loading flag";
  ASSERT_NE(dummy, nullptr);
  Held<TVDummyControl> held(dummy);
  TestBlock* tree = NewTestBlock();
  dummy->MakeRefByID(FOREVER, 0, tree);
  EXPECT_EQ(dummy->SubAnim(0), tree);
  EXPECT_EQ(dummy->NumSubs(), 1);
  EXPECT_EQ(dummy->SubNumToRefNum(4), 4) << "whatever the dialog counter";

  Held<TVDummyControl> copy(static_cast<TVDummyControl*>(dummy->Clone(NoRemap())));
  ASSERT_NE(copy->Target(), nullptr);
  EXPECT_NE(copy->Target(), tree) << "a clone of the tree, not the same tree";
  EXPECT_NE(dynamic_cast<TestBlock*>(copy->Target()), nullptr);

  quortest::Recorder* notData = new quortest::Recorder(0);
  dummy->SetReference(0, notData);
  EXPECT_EQ(dummy->Target(), nullptr);
  dummy->SetReference(0, tree);
  notData->DeleteMe();
}

TEST(TVDummy, TavrelAttachmentAddsAnItemForTheTree) {
  Held<ITavrelNode> node(CreateTavrelNode());
  Held<TestBlock> tree(NewTestBlock());
  node->AddController(NewDefaultFloatController(), "existing", Class_ID(1, 1));
  while (node->NumItems() > 0) node->RemoveItem(node->NumItems() - 1);
  BypassView(tree.d, 1);
  TVDummyControl* dummy = JTavrelAttach(node.d, tree.d);
  ASSERT_NE(dummy, nullptr);
  ASSERT_EQ(node->NumItems(), 1);
  EXPECT_EQ(node->GetController(0), dummy);
  EXPECT_STREQ(node->GetName(0), "");
  EXPECT_TRUE(node->GetClassID(0) == kTestBlockID);
  EXPECT_EQ(dummy->Target(), tree.d);
  EXPECT_EQ(JTavrelAttach(nullptr, tree.d), nullptr);
}
