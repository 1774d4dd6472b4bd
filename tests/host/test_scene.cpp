// Scene files: round trips, and files that must load nothing.
#include "TestSupport.h"
#include "things.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

using quortest::ReadAll;
using quortest::TempPath;
using quortest::WriteAll;

namespace {

// A scene of two nodes; the first holds a thing that references a keyed controller twice and the
// second node's thing, so the file has shared references and a null slot.
void BuildScene() {
  INode* a = CreateSceneNode("alpha");
  INode* b = CreateSceneNode("beta", a);
  Thing* ta = new Thing(4, 11);
  Thing* tb = new Thing(0, 22);
  Control* c = NewDefaultFloatController();
  AnimateOn();
  float v0 = 1.5f, v1 = 4.5f;
  c->SetValue(0, &v0);
  c->SetValue(160, &v1);
  AnimateOff();
  ta->MakeRefByID(FOREVER, 0, c);
  ta->MakeRefByID(FOREVER, 1, c);
  ta->MakeRefByID(FOREVER, 3, tb);
  a->SetObjectRef(ta);
  b->SetObjectRef(tb);
}

}  // namespace

TEST(Scene, SaveAndLoadRestoreNodesObjectsAndSharedReferences) {
  BuildScene();
  std::string path = TempPath("quortest_scene.vsc");
  ASSERT_EQ(SaveScene(path.c_str()), 1);
  long built = GetLiveRefTargetCount();
  ResetScene();
  EXPECT_EQ(GetCOREInterface()->GetRootNode()->NumberOfChildren(), 0);
  long empty = GetLiveRefTargetCount();
  EXPECT_EQ(built - empty, 5) << "two nodes, two things and the controller went with the old scene";

  ASSERT_EQ(LoadScene(path.c_str()), 1);
  EXPECT_EQ(GetLiveRefTargetCount(), built);
  INode* a = GetCOREInterface()->GetINodeByName("alpha");
  INode* b = GetCOREInterface()->GetINodeByName("beta");
  ASSERT_TRUE(a && b);
  EXPECT_EQ(b->GetParentNode(), a);
  Thing* ta = dynamic_cast<Thing*>(a->GetObjectRef());
  ASSERT_NE(ta, nullptr);
  EXPECT_EQ(ta->value, 11);
  EXPECT_EQ(ta->GetReference(0), ta->GetReference(1)) << "one controller, referenced twice";
  EXPECT_EQ(ta->GetReference(2), nullptr);
  EXPECT_EQ(ta->GetReference(3), b->GetObjectRef());
  Control* c = dynamic_cast<Control*>(ta->GetReference(0));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->NumKeys(), 2);
  EXPECT_EQ(c->NumDependents(), 2);
  float v = 0;
  Interval valid = FOREVER;
  c->GetValue(160, &v, valid);
  EXPECT_EQ(v, 4.5f);
  ResetScene();
  remove(path.c_str());
}

TEST(Scene, SavingTheSameSceneTwiceGivesTheSameBytes) {
  BuildScene();
  std::string p1 = TempPath("quortest_s1.vsc"), p2 = TempPath("quortest_s2.vsc");
  ASSERT_EQ(SaveScene(p1.c_str()), 1);
  ASSERT_EQ(LoadScene(p1.c_str()), 1);
  ASSERT_EQ(SaveScene(p2.c_str()), 1);
  EXPECT_EQ(ReadAll(p1), ReadAll(p2));
  ResetScene();
  remove(p1.c_str());
  remove(p2.c_str());
}

TEST(Scene, MissingOrUnwritableFilesFail) {
  EXPECT_EQ(LoadScene(TempPath("no_such_scene.vsc").c_str()), 0);
  EXPECT_EQ(LoadScene(nullptr), 0);
  EXPECT_EQ(SaveScene("Z:\\no\\such\\folder\\scene.vsc"), 0);
}

// Every truncation and many single-byte corruptions of a valid file: each loads completely or
// not at all, leaves the current scene in place when it fails, and leaks nothing.
TEST(Scene, CorruptAndTruncatedFilesLoadNothingAndLeakNothing) {
  BuildScene();
  std::string path = TempPath("quortest_good.vsc"), bad = TempPath("quortest_bad.vsc");
  ASSERT_EQ(SaveScene(path.c_str()), 1);
  std::vector<unsigned char> good = ReadAll(path);
  ResetScene();
  INode* marker = CreateSceneNode("current");
  long live = GetLiveRefTargetCount();
  auto tryLoad = [&](const std::vector<unsigned char>& bytes) {
    WriteAll(bad, bytes);
    if (LoadScene(bad.c_str())) {
      // A corruption the format cannot see (a value byte): the scene was replaced whole.
      ResetScene();
      marker = CreateSceneNode("current");
      return true;
    }
    EXPECT_EQ(GetLiveRefTargetCount(), live);
    EXPECT_EQ(GetCOREInterface()->GetINodeByName("current"), marker);
    return false;
  };
  int loaded = 0;
  for (size_t n = 0; n < good.size(); n++) {
    std::vector<unsigned char> cut(good.begin(), good.begin() + n);
    EXPECT_FALSE(tryLoad(cut)) << "truncated to " << n;
  }
  unsigned seed = 12345;
  for (size_t i = 0; i < good.size(); i++) {
    for (unsigned char value : {0x00, 0xFF, 0x01, 0x80}) {
      std::vector<unsigned char> m = good;
      seed = seed * 1103515245 + 12345;
      m[i] = value == 0x01 ? (unsigned char)(m[i] ^ (1 << (seed >> 16) % 8)) : value;
      if (m == good) continue;
      loaded += tryLoad(m);
    }
  }
  EXPECT_LT(loaded, (int)good.size() * 4);
  ResetScene();
  remove(path.c_str());
  remove(bad.c_str());
}

TEST(Scene, AClassThatNoPluginProvidesFailsTheLoad) {
  BuildScene();
  std::string path = TempPath("quortest_unknown.vsc");
  ASSERT_EQ(SaveScene(path.c_str()), 1);
  std::vector<unsigned char> bytes = ReadAll(path);
  // Rename the thing class in every entry header: 0x7E571111 -> 0x7E571112.
  int renamed = 0;
  for (size_t i = 0; i + 4 <= bytes.size(); i++)
    if (bytes[i] == 0x11 && bytes[i + 1] == 0x11 && bytes[i + 2] == 0x57 && bytes[i + 3] == 0x7E) bytes[i] = 0x12, renamed++;
  EXPECT_EQ(renamed, 2);
  WriteAll(path, bytes);
  ResetScene();
  long live = GetLiveRefTargetCount();
  EXPECT_EQ(LoadScene(path.c_str()), 0);
  EXPECT_EQ(GetLiveRefTargetCount(), live);
  remove(path.c_str());
}
