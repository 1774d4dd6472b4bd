// Parameter nodes: slots and names, addressing with completion, bypass, cloning, saving.
#include "MemStream.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "blocks.h"

#include <gtest/gtest.h>

#include <process.h>

#include <string>
#include <vector>

using quortest::TempPath;

namespace {

// A node holding leaves in a recorder, so everything goes when the recorder goes.
struct Tree {
  Tree() : owner(new quortest::Recorder(1)), block(NewTestBlock()) { owner->Hold(block); }
  ~Tree() { owner->DeleteMe(); }
  quortest::Recorder* owner;
  TestBlock* block;
};

// Saves the scene, resets it and loads it again; answers the object of the node named name.
template <class T>
T* ReloadScene(const char* name) {
  std::string path = TempPath("quortest_tree.vsc");
  bool ok = SaveScene(path.c_str()) == 1;
  ResetScene();
  ok = ok && LoadScene(path.c_str()) == 1;
  remove(path.c_str());
  INode* node = ok ? GetCOREInterface()->GetINodeByName(name) : nullptr;
  return node ? dynamic_cast<T*>(node->GetObjectRef()) : nullptr;
}

}  // namespace

TEST(Node, AddKeepsNamesAndTheCountPropertyHidesUnnamedChildrenForGoodAndArgumentErrorsAssert) {
  Tree t;
  TestBlock* b = t.block;
  EXPECT_EQ(b->NumRefs(), 5);
  EXPECT_EQ(b->Properties().Value(JProp_DataBase_NumRefs()), 6u) << "count plus one";
  EXPECT_STREQ(b->GetName(TestBlock::kGain), "Gain");
  EXPECT_STREQ(b->GetName(TestBlock::kSub), "Sub");
  EXPECT_STREQ(b->GetName(99), "Unnamed");
  EXPECT_STREQ(b->GetName(-1), "Unnamed");
  EXPECT_STREQ((*b)(TestBlock::kGain)->GetName(), "Gain") << "the table's name is given to the child";
  JData* payload = (*b)(TestBlock::kPayload);
  EXPECT_EQ(payload->GetBypassTree(), 1);
  EXPECT_EQ(payload->GetBypassTreeMask(), 1);
  EXPECT_EQ(b->SubAnim(TestBlock::kPayload), nullptr);
  JFloatData* hidden = Create_JFloatData();
  b->Add(hidden, "");
  hidden->SetBypassTree(0, nullptr);
  EXPECT_EQ(hidden->GetBypassTree(), 1) << "locked";
  b->Del(0);
  EXPECT_EQ(b->NumRefs(), 5);
  EXPECT_EQ(b->Properties().Value(JProp_DataBase_NumRefs()), 6u);
  EXPECT_STREQ(b->GetName(0), "Tint") << "former slot 1 is slot 0 with its name";

  // Argument errors assert with their lines.
  quortest::AssertRecorder rec;
  // A null child leaves an empty, named slot.
  EXPECT_EQ(b->Add(nullptr, "Empty"), 0);
  EXPECT_TRUE(rec.Saw("JDATA", 559));
  EXPECT_EQ(b->NumRefs(), 6);
  EXPECT_EQ(b->GetReference(5), nullptr);
  EXPECT_STREQ(b->GetName(5), "Empty");
  quortest::Recorder* notData = new quortest::Recorder(0);
  b->SetReference(1, notData);
  EXPECT_TRUE(rec.Saw("JDATA", 537));
  EXPECT_NE(b->GetReference(1), notData);
  notData->DeleteMe();
  b->SetReference(7, nullptr);
  EXPECT_TRUE(rec.Saw("JDATA", 529));
  // A node has no value.
  float v = 3;
  Interval valid = FOREVER;
  b->GetValue(&v, 0, valid, CTRL_ABSOLUTE);
  b->SetValue(&v, 0, valid, CTRL_ABSOLUTE);
  EXPECT_TRUE(rec.Saw("JDATA", 461));
  EXPECT_TRUE(rec.Saw("JDATA", 467));
  EXPECT_EQ(v, 3);
}

namespace {
// String resources of this test program (testres.rc); neither exists in the library.
const int kStrThreshold = 700, kStrLong = 701, kStrMissing = 702;
const size_t kLongLength = 1100, kNameRoom = 1027;  // a name from a string holds 1027 characters

// A node whose class descriptor belongs to this test program, so that names given by string id
// come from the program's own string table.
class ProgramNode : public JDataNode {
 public:
  explicit ProgramNode(int) {}
  JClassDescBase* GetCD() override;
};
class ProgramDesc : public JClassDesc<ProgramNode, ReferenceTargetRTTI> {
 public:
  ProgramDesc() : JClassDesc(0, "ProgramNode", 0x200, Class_ID(0x7E57B10C, 0x10), "") {}
  HINSTANCE HInstance() override { return GetModuleHandleA(nullptr); }
};
ProgramDesc programDesc;
JClassDescBase* ProgramNode::GetCD() { return &programDesc; }
}  // namespace

TEST(Node, AddByStringIdNamesFromTheNodesOwnModule) {
  quortest::Held<ProgramNode> node(new ProgramNode(0));
  node->Add(Create_JFloatData(), kStrThreshold);
  EXPECT_STREQ(node->GetName(0), "Threshold");
  EXPECT_EQ((*node.d)(0)->GetBypassTree(), 0) << "a named child stays visible";

  // A text longer than the name buffer is cut to what the buffer holds.
  node->Add(Create_JFloatData(), kStrLong);
  std::string digits;
  while (digits.size() < kLongLength) digits += "0123456789";
  EXPECT_EQ(std::string(node->GetName(1)), digits.substr(0, kNameRoom));

  // A missing string gives an empty name, which hides the child for good.
  JFloatData* unnamed = Create_JFloatData();
  node->Add(unnamed, kStrMissing);
  EXPECT_STREQ(node->GetName(2), "");
  EXPECT_EQ(unnamed->GetBypassTree(), 1);
  EXPECT_EQ(unnamed->GetBypassTreeMask(), 1);
  EXPECT_EQ(node->SubAnim(2), nullptr);
  EXPECT_EQ(node->Properties().Value(JProp_DataBase_NumRefs()), 4u) << "three slots, plus one";
}

TEST(Node, SetNumRefsGrowsWithEmptyNamesAndShrinksDroppingReferences) {
  Tree t;
  long live = GetLiveRefTargetCount();
  SubBlock* sub = static_cast<SubBlock*>((*t.block)(TestBlock::kSub));
  ASSERT_EQ(sub->NumRefs(), 2);
  sub->SetNumRefs(5);
  EXPECT_EQ(sub->NumRefs(), 5);
  EXPECT_EQ(sub->Properties().Value(JProp_DataBase_NumRefs()), 6u);
  for (int i = 2; i < 5; i++) {
    EXPECT_EQ(sub->GetReference(i), nullptr);
    ASSERT_NE(sub->SubAnimName(i).data(), nullptr);
    EXPECT_STREQ(sub->SubAnimName(i), "") << "an empty name, not a null entry";
  }
  sub->SetNumRefs(1);
  EXPECT_EQ(sub->NumRefs(), 1);
  EXPECT_EQ(GetLiveRefTargetCount(), live - 2) << "the bool leaf and its controller went";
}

namespace {
// A block as a client writes one. It keeps a side table in step with its slot count by overriding
// SetNumRefs: the library must call the override wherever it sets the count. And it runs code
// once a load is complete: its children must be there by then.
class ClientBlock : public JDataNode {
 public:
  struct Hook : JData_PostLoad {
    explicit Hook(ClientBlock* b) : block(b) {}
    void proc(ILoad*) override { childAtRun = (*block)(0) != nullptr && block->GetReference(0) != nullptr; runs++; }
    ClientBlock* block;
  };
  explicit ClientBlock(int loading) {
    RegisterPostLoadCallback(new Hook(this));
    if (loading) return;
    Add(Create_JFloatData(), "A");
    Add(Create_JFloatData(), "B");
  }
  JClassDescBase* GetCD() override;
  int SetNumRefs(int n) override {
    counts.push_back(n);
    return JDataNode::SetNumRefs(n);
  }
  std::vector<int> counts;
  static int runs;
  static bool childAtRun;
};
int ClientBlock::runs = 0;
bool ClientBlock::childAtRun = false;
const Class_ID kClientBlockID(0x7E57B10C, 4);
JClassDesc<ClientBlock, ReferenceTargetRTTI> clientDesc(0, "ClientBlock", REF_TARGET_CLASS_ID, kClientBlockID, "");
JClassDescBase* ClientBlock::GetCD() { return &clientDesc; }
}  // namespace

TEST(Node, LoadCloneAndAddressingSetTheCountThroughTheClientsOverride) {
  quortest::Held<ClientBlock> b(JCreateRegistered<ClientBlock>(REF_TARGET_CLASS_ID, kClientBlockID));
  ASSERT_NE(b.d, nullptr);
  JMemBlock* saved = SaveRefMaker(b.d);
  ASSERT_NE(saved, nullptr);
  quortest::Held<ClientBlock> loaded(dynamic_cast<ClientBlock*>(LoadRefMaker(saved)));
  saved->DeleteThis();
  ASSERT_NE(loaded.d, nullptr);
  EXPECT_EQ(loaded.d->counts, std::vector<int>{2}) << "Load";
  quortest::Held<ClientBlock> clone(static_cast<ClientBlock*>(b.d->Clone(NoRemap())));
  EXPECT_EQ(clone.d->counts, std::vector<int>{2}) << "Clone";
  b.d->SetNumRefs(1);
  ASSERT_NE((*b.d)(1), nullptr);
  EXPECT_EQ(b.d->counts, (std::vector<int>{1, 2})) << "addressing grows the node for the completed slot";
}

TEST(Addressing, PathsWalkNodesAndAMissingChildIsCompletedFromADefaultInstance) {
  quortest::AssertRecorder rec;
  Tree t;
  JData* amount = (*t.block)(TestBlock::kSub, 0, -1);
  ASSERT_NE(amount, nullptr);
  EXPECT_STREQ(amount->GetName(), "Amount");
  int path[] = {TestBlock::kSub, 1, -1};
  EXPECT_STREQ((*t.block)(path)->GetName(), "Enabled");
  EXPECT_EQ((*t.block)(TestBlock::kGain, -1), (*t.block)(TestBlock::kGain));
  EXPECT_TRUE(rec.Hits().empty());
  EXPECT_EQ((*t.block)(TestBlock::kGain, 0, -1), nullptr) << "a leaf is not a node";
  EXPECT_TRUE(rec.Saw("JDATA", 446));
  int leafPath[] = {TestBlock::kGain, 0, -1};
  EXPECT_EQ((*t.block)(leafPath), nullptr);
  EXPECT_TRUE(rec.Saw("JDATA", 427));
  EXPECT_EQ((*t.block)(static_cast<int*>(nullptr)), nullptr);
  EXPECT_TRUE(rec.Saw("JDATA", 417));

  // A missing child is completed from a default instance.
  TestBlock* b = t.block;
  b->Del(TestBlock::kGain);  // now slots: Tint, Sub, payload, Map
  b->SetNumRefs(5);
  b->DeleteReference(0);     // an empty slot 0, as after loading an older tree
  int built = TestBlock::constructed;
  JData* completed = (*b)(0);
  ASSERT_NE(completed, nullptr);
  EXPECT_EQ(TestBlock::constructed, built + 1) << "one prototype";
  EXPECT_NE(dynamic_cast<JFloatData*>(completed), nullptr);
  EXPECT_EQ(static_cast<JFloatData*>(completed)->GetFValue(0), 1.5f) << "the default value";
  EXPECT_STREQ(b->GetName(0), "Gain") << "the prototype's name";
  EXPECT_EQ((*b)(0), completed) << "a second call finds it";
  EXPECT_EQ(TestBlock::constructed, built + 1);
  EXPECT_EQ((*b)(42), nullptr) << "the prototype has no slot 42 either";
}

namespace {
// A client block whose default instance leaves its second slot empty.
class HoleBlock : public JDataNode {
 public:
  enum { kFull, kHole, kSlots };
  explicit HoleBlock(int loading) {
    constructed++;
    if (loading) return;
    Add(Create_JFloatData(), "Full");
    SetNumRefs(kSlots);
  }
  JClassDescBase* GetCD() override;
  static int constructed;
};
int HoleBlock::constructed = 0;
const Class_ID kHoleBlockID(0x7E57B10C, 6);
JClassDesc<HoleBlock, ReferenceTargetRTTI> holeDesc(0, "HoleBlock", REF_TARGET_CLASS_ID, kHoleBlockID, "");
JClassDescBase* HoleBlock::GetCD() { return &holeDesc; }
}  // namespace

TEST(Addressing, ASlotTheDefaultInstanceLeavesEmptyStaysEmpty) {
  quortest::Held<HoleBlock> b(JCreateRegistered<HoleBlock>(REF_TARGET_CLASS_ID, kHoleBlockID));
  ASSERT_NE(b.d, nullptr);
  int built = HoleBlock::constructed;
  EXPECT_EQ((*b.d)(HoleBlock::kHole), nullptr);
  EXPECT_EQ(HoleBlock::constructed, built + 1) << "one prototype, not one inside another";
  EXPECT_NE((*b.d)(HoleBlock::kFull), nullptr);
}

namespace {
struct Race {
  TestBlock* block;
  HANDLE go;
  JData* got[3];
};
unsigned __stdcall AddressAll(void* p) {
  Race* r = static_cast<Race*>(p);
  WaitForSingleObject(r->go, INFINITE);
  for (int i = 0; i < 3; i++) r->got[i] = (*r->block)(i);
  return 0;
}
}  // namespace

TEST(Addressing, TwoThreadsCompleteEachMissingChildOnce) {
  for (int round = 0; round < 10; round++) {
    Tree t;
    for (int i = 0; i < 3; i++) t.block->DeleteReference(i);
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Race a{t.block, go, {}}, b{t.block, go, {}};
    HANDLE threads[] = {reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, AddressAll, &a, 0, nullptr)),
                        reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, AddressAll, &b, 0, nullptr))};
    SetEvent(go);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE h : {threads[0], threads[1], go}) CloseHandle(h);
    for (int i = 0; i < 3; i++) {
      ASSERT_NE(a.got[i], nullptr);
      EXPECT_EQ(a.got[i], b.got[i]) << "both threads see the one child of slot " << i;
      EXPECT_EQ(t.block->GetReference(i), a.got[i]);
    }
  }
}

namespace {
const Class_ID kFlagProbeID(0x7E57B10C, 5);

// An object that remembers the loading flag its descriptor gave it.
class FlagProbe : public ReferenceTargetRTTI {
 public:
  explicit FlagProbe(int loading) : loading(loading) {}
  Class_ID ClassID() override { return kFlagProbeID; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  int loading;
};

// While armed, its Create lets another thread run between the loader setting the loading flag
// and the descriptor reading it: the moment a worker completing a tree meets a load.
class HandOverDesc : public JClassDesc<FlagProbe, ReferenceTargetRTTI> {
 public:
  HandOverDesc() : JClassDesc(0, "FlagProbe", REF_TARGET_CLASS_ID, kFlagProbeID, "") {}
  void* Create(BOOL loading) override {
    if (go) {
      SetEvent(go);
      WaitForSingleObject(done, INFINITE);
    }
    return JClassDesc::Create(loading);
  }
  HANDLE go = nullptr;
  HANDLE done = nullptr;
};
HandOverDesc handOverDesc;

struct Completion {
  TestBlock* block;
  HANDLE go;
  HANDLE done;
  JData* got = nullptr;
  int gotController = 0;
};

unsigned __stdcall CompleteOnWorker(void* p) {
  Completion* c = static_cast<Completion*>(p);
  WaitForSingleObject(c->go, INFINITE);
  c->got = (*c->block)(TestBlock::kGain);
  c->gotController = c->got && c->got->GetReference(0) != nullptr;
  SetEvent(c->done);
  return 0;
}
}  // namespace

TEST(Addressing, AWorkerCompletesATreeWhileTheInterfaceThreadLoadsAFile) {
  std::string path = TempPath("quortest_flag.qrs");
  FlagProbe* probe = JCreateRegistered<FlagProbe>(REF_TARGET_CLASS_ID, kFlagProbeID);
  ASSERT_NE(probe, nullptr);
  ASSERT_EQ(SaveRefMaker(probe, path.c_str()), 1);
  probe->DeleteMe();

  Tree t;
  t.block->DeleteReference(TestBlock::kGain);  // an empty slot, as in a tree saved before it existed
  Completion c{t.block, CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE worker = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, CompleteOnWorker, &c, 0, nullptr));
  ASSERT_NE(worker, nullptr);
  handOverDesc.go = c.go;
  handOverDesc.done = c.done;
  ReferenceMaker* loaded = LoadRefMakerFromFile(path.c_str());
  handOverDesc.go = handOverDesc.done = nullptr;
  SetEvent(c.go);  // a load that never reached the descriptor must not leave the worker waiting
  WaitForSingleObject(worker, INFINITE);
  for (HANDLE h : {worker, c.go, c.done}) CloseHandle(h);
  remove(path.c_str());

  FlagProbe* l = dynamic_cast<FlagProbe*>(loaded);
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->loading, 1) << "the loader's object is made empty, to be filled";
  l->DeleteMe();
  EXPECT_EQ(JLoading(-1), 0);
  ASSERT_NE(c.got, nullptr) << "the worker's prototype has its default children";
  EXPECT_EQ(c.gotController, 1) << "the completed leaf has its default controller";
  EXPECT_EQ(t.block->GetReference(TestBlock::kGain), c.got);
  EXPECT_EQ(static_cast<JFloatData*>(c.got)->GetFValue(0), 1.5f);
}

TEST(Bypass, OwnFlagNotifiesOnceAndHonoursItsLock) {
  Tree t;
  JData* gain = (*t.block)(TestBlock::kGain);
  quortest::Recorder* watcher = new quortest::Recorder(1);
  watcher->Hold(gain);
  gain->SetBypassThis(5);
  EXPECT_EQ(gain->GetBypassThis(), 1);
  EXPECT_EQ(watcher->Count(REFMSG_SUBANIM_STRUCTURE_CHANGED), 1);
  EXPECT_EQ(watcher->heard.back().part, (PartID)0x800037FF);
  gain->SetBypassThis(1);
  EXPECT_EQ(watcher->Count(REFMSG_SUBANIM_STRUCTURE_CHANGED), 1) << "no change, no notification";
  gain->SetBypassThis(0);
  gain->SetBypassThisMask(7);
  EXPECT_EQ(gain->GetBypassThisMask(), 1);
  gain->SetBypassThis(1);
  EXPECT_EQ(gain->GetBypassThis(), 0) << "locked";
  EXPECT_EQ(BypassView(gain, 1), 0);
  EXPECT_EQ(gain->GetBypassThis(), 1);
  EXPECT_EQ(gain->GetBypassThisMask(), 1) << "the lock is restored";
  EXPECT_EQ(watcher->Count(REFMSG_SUBANIM_STRUCTURE_CHANGED), 3);
  EXPECT_EQ(BypassTree(gain, 1), 0);
  EXPECT_EQ(gain->GetBypassTree(), 1);
  watcher->ReplaceReference(0, nullptr, FALSE);
  watcher->DeleteMe();
}

TEST(Bypass, SubtreeFlagHidesFromTheHostTree) {
  Tree t;
  TestBlock* b = t.block;
  EXPECT_EQ(b->NumSubs(), 5);
  EXPECT_EQ(b->SubAnim(TestBlock::kGain), (*b)(TestBlock::kGain));
  (*b)(TestBlock::kGain)->SetBypassTree(1, nullptr);
  EXPECT_EQ(b->SubAnim(TestBlock::kGain), nullptr);
  b->SetBypassTree(1, nullptr);
  EXPECT_EQ(b->NumSubs(), 0);
  EXPECT_TRUE(b->BypassTreeView());

  // Hidden in the tree follows the whole subtree.
  SubBlock* sub = static_cast<SubBlock*>((*b)(TestBlock::kSub));
  EXPECT_FALSE(sub->BypassTreeView()) << "its leaves show their controllers";
  for (int i = 0; i < 2; i++) (*sub)(i)->SetBypassTree(1, nullptr);
  EXPECT_TRUE(sub->BypassTreeView()) << "every child hidden";
  sub->SetNumRefs(0);
  EXPECT_FALSE(sub->BypassTreeView()) << "a node that shows nothing is not thereby hidden";
}

TEST(Notification, ChangeHookCanStopAChangeAndDimensionQueryAnswers) {
  Tree t;
  JFloatData* gain = static_cast<JFloatData*>((*t.block)(TestBlock::kGain));
  static int calls;
  calls = 0;
  gain->changeProc = [](JData*, ReferenceTarget*) {
    calls++;
    return 0;
  };
  int heard = (int)t.owner->heard.size();
  gain->SetValue(0, 4.0f);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ((int)t.owner->heard.size(), heard) << "stopped at the leaf";
  gain->changeProc = nullptr;
  gain->SetValue(0, 5.0f);
  EXPECT_GT((int)t.owner->heard.size(), heard);

  // The dimension query answers the leaf's dimension through the part pointer.
  quortest::AssertRecorder rec;
  JData* tint = (*t.block)(TestBlock::kTint);
  ParamDimension* dim = nullptr;
  PartID part = reinterpret_cast<PartID>(&dim);
  EXPECT_EQ(tint->NotifyRefChanged(FOREVER, nullptr, part, REFMSG_GET_PARAM_DIM), REF_SUCCEED);
  EXPECT_EQ(dim, stdColor255Dim);
  PartID none = 0;
  tint->NotifyRefChanged(FOREVER, nullptr, none, REFMSG_GET_PARAM_DIM);
  EXPECT_TRUE(rec.Saw("JDATA", 281));
}

TEST(Interfaces, DataObjectsAnswerTheirInterfaceIdsAndFollowTheDialogCounter) {
  Tree t;
  EXPECT_EQ(t.block->GetInterface(0x66B073EA), static_cast<ReferenceTargetRTTI*>(t.block));
  EXPECT_EQ(t.block->GetInterface(0x02F96F73), static_cast<ReferenceTargetRTTI*>(t.block));
  EXPECT_EQ(t.block->GetInterface(0x02F96F74), nullptr);
  EXPECT_STREQ(t.block->ClassName(), "TestBlock") << "from the descriptor";
  EXPECT_EQ(t.block->GetInstanceHandle(), GetLibInstance());
  // Sub-anim numbers map to references unless a library dialog is open.
  EXPECT_EQ(t.block->SubNumToRefNum(3), 3);
  EXPECT_EQ(AdjustDialogCount(-1), 0);  // a library dialog opens
  EXPECT_EQ(t.block->SubNumToRefNum(3), -1);
  EXPECT_EQ(AdjustDialogCount(1), 1);
  EXPECT_EQ(t.block->SubNumToRefNum(3), 3);
}

TEST(Cloning, ANodeClonesItsWholeTree) {
  Tree t;
  JFloatData* gain = SetKeys(static_cast<JFloatData*>((*t.block)(TestBlock::kGain)), {{160, 9.0f}});
  t.block->SetBypassThis(1);
  quortest::Held<TestBlock> held(static_cast<TestBlock*>(t.block->Clone(NoRemap())));
  TestBlock* copy = held.d;
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->NumRefs(), t.block->NumRefs());
  EXPECT_EQ(copy->GetBypassThis(), 1) << "properties copied";
  for (int i = 0; i < copy->NumRefs(); i++) {
    EXPECT_NE(copy->GetReference(i), t.block->GetReference(i));
    EXPECT_STREQ(copy->GetName(i), t.block->GetName(i));
  }
  JFloatData* copyGain = static_cast<JFloatData*>((*copy)(TestBlock::kGain));
  EXPECT_EQ(copyGain->GetFValue(160), 9.0f);
  EXPECT_EQ(copyGain->NumKeys(), 1);
  gain->SetValue(0, -1.0f);
  EXPECT_EQ(gain->GetFValue(160), -1.0f);
  EXPECT_EQ(copyGain->GetFValue(160), 9.0f) << "independent";
  EXPECT_STREQ((*copy)(TestBlock::kSub, 0, -1)->GetName(), "Amount");
}

namespace {
struct CountingPostLoad : JData_PostLoad {
  static int destroyed;
  void proc(ILoad*) override {}
  void DeleteThis() override {
    destroyed++;
    delete this;
  }
};
int CountingPostLoad::destroyed = 0;
}  // namespace

TEST(PostLoad, ACallbackIsOwnedAndReplaced) {
  CountingPostLoad::destroyed = 0;
  {
    Tree t;
    t.block->RegisterPostLoadCallback(new CountingPostLoad);
    t.block->RegisterPostLoadCallback(new CountingPostLoad);
    EXPECT_EQ(CountingPostLoad::destroyed, 1) << "the first one is destroyed when replaced";
  }
  EXPECT_EQ(CountingPostLoad::destroyed, 2) << "the object destroys its callback";
}

// A failed save stops where it failed: the writer is in error and the save as a whole fails, so
// the chunk is not closed. A failed load closes its chunk, so the reader stays in step.
TEST(Chunks, AFailedSaveLeavesItsChunkOpenAFailedLoadClosesIt) {
  Tree t;
  JData* gain = (*t.block)(TestBlock::kGain);
  gain->SetBypassThis(1);  // a property record to write
  quortest::MemSave s;
  s.BeginChunk(4);
  int depth = s.CurChunkDepth();
  s.FailWrites(true);
  EXPECT_EQ(gain->Save(&s), IO_ERROR);
  EXPECT_EQ(s.CurChunkDepth(), depth + 1) << "chunk 1 left open";

  // Chunk 1 holding a property record cut short.
  quortest::MemSave bad;
  bad.BeginChunk(1);
  bad.BeginChunk(1);
  bad.Write("short", 5, nullptr);
  bad.EndChunk();
  bad.EndChunk();
  quortest::MemLoad ld(bad.Bytes());
  depth = ld.CurChunkDepth();
  EXPECT_EQ(gain->Load(&ld), IO_ERROR);
  EXPECT_EQ(ld.CurChunkDepth(), depth);
}

// Scene round trip: a tree in the host's scene file keeps values, keys, flags and payload.
TEST(SceneFile, TheWholeTreeRoundTripsAndAnOlderTreeIsCompletedWhenAddressed) {
  INode* node = CreateSceneNode("filter");
  TestBlock* b = NewTestBlock();
  node->SetObjectRef(b);
  SetKeys(static_cast<JFloatData*>((*b)(TestBlock::kGain)), {{0, 2.0f}, {320, 6.0f}});
  Point3 tint(0.1f, 0.2f, 0.3f);
  static_cast<JColor3Data*>((*b)(TestBlock::kTint))->SetValue(0, tint);
  JMemBlock bytes("payload", 0xFFFFFFFF);
  Interval valid = FOREVER;
  (*b)(TestBlock::kPayload)->SetValue(&bytes, 0, valid, CTRL_ABSOLUTE);
  JSubtex* map = static_cast<JSubtex*>((*b)(TestBlock::kMap));
  map->Drop(NewCheckerMap(Color(1, 0, 0), Color(0, 0, 1), 4), nullptr, POINT{0, 0}, TEXMAP_CLASS_ID);
  (*b)(TestBlock::kSub)->SetBypassTree(1, nullptr);

  long live = GetLiveRefTargetCount();
  TestBlock* l = ReloadScene<TestBlock>("filter");
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(GetLiveRefTargetCount(), live);
  ASSERT_EQ(l->NumRefs(), 5);
  JFloatData* lg = static_cast<JFloatData*>((*l)(TestBlock::kGain));
  EXPECT_EQ(lg->NumKeys(), 2);
  EXPECT_EQ(lg->GetFValue(320), 6.0f);
  // Names are not part of the saved contents: a loaded tree's slots are named by its class.
  EXPECT_STREQ(l->GetName(TestBlock::kGain), "");
  Point3 lt;
  static_cast<JColor3Data*>((*l)(TestBlock::kTint))->GetValue(0, lt);
  EXPECT_TRUE(lt == tint);
  JMemBlock got;
  (*l)(TestBlock::kPayload)->GetValue(&got, 0, valid, CTRL_ABSOLUTE);
  EXPECT_STREQ(got.Data(), "payload");
  EXPECT_EQ((*l)(TestBlock::kPayload)->GetBypassThisMask(), 1);
  EXPECT_EQ((*l)(TestBlock::kSub)->GetBypassTree(), 1);
  EXPECT_STREQ(static_cast<JSubtex*>((*l)(TestBlock::kMap))->SubAnimName(0), ": Checker");

  // Were the class a later version, a parameter the file lacks comes with its default value and
  // name when first addressed.
  TestBlock::extraChild = true;
  JData* spin = (*l)(TestBlock::kSpin);
  TestBlock::extraChild = false;
  ASSERT_NE(spin, nullptr);
  EXPECT_EQ(l->NumRefs(), 6);
  EXPECT_STREQ(l->GetName(TestBlock::kSpin), "Spin");
  EXPECT_FLOAT_EQ(static_cast<JAngleData*>(spin)->GetFValue(0), 0.25f);
  ResetScene();
}

TEST(SceneFile, PostLoadCallbacksRunOnceTheReferencesAreSet) {
  CreateSceneNode("hooked")->SetObjectRef(JCreateRegistered<ClientBlock>(REF_TARGET_CLASS_ID, kClientBlockID));
  ClientBlock::runs = 0;
  ClientBlock::childAtRun = false;
  EXPECT_NE(ReloadScene<ClientBlock>("hooked"), nullptr);
  EXPECT_EQ(ClientBlock::runs, 1);
  EXPECT_TRUE(ClientBlock::childAtRun);
  ResetScene();
}

TEST(Resources, LoadResourceFindsRcdataOrAnswersSetupForNothing) {
  Tree t;
  EXPECT_EQ(Load_RCDATA(GetModuleHandleA(nullptr), 31000), nullptr);
  EXPECT_EQ(t.block->LoadResource(GetModuleHandleA(nullptr), 31000), 0);
  EXPECT_EQ(t.block->Resource(), nullptr);
  const char* text = static_cast<const char*>(Load_RCDATA(GetModuleHandleA(nullptr), 500));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text, 10), "TESTRCDATA");
  t.block->LoadResource(GetModuleHandleA(nullptr), 500);
  EXPECT_EQ(t.block->Resource(), text);
}
