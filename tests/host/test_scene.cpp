// Scene files: round trips, and files that must load nothing.
#include "Random.h"
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
// second node's thing, so the file has shared references and a null slot. Answers SaveScene's result.
int BuildAndSaveScene(const std::string& path) {
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
  return SaveScene(path.c_str());
}

}  // namespace

TEST(Scene, SaveAndLoadRestoreNodesObjectsAndSharedReferences) {
  std::string path = TempPath("quortest_scene.vsc"), again = TempPath("quortest_again.vsc");
  ASSERT_EQ(BuildAndSaveScene(path), 1);
  long built = GetLiveRefTargetCount();
  ResetScene();
  EXPECT_EQ(GetCOREInterface()->GetRootNode()->NumberOfChildren(), 0);
  EXPECT_EQ(built - GetLiveRefTargetCount(), 5) << "two nodes, two things and the controller went with the old scene";

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

  ASSERT_EQ(SaveScene(again.c_str()), 1);
  EXPECT_EQ(ReadAll(path), ReadAll(again)) << "the loaded scene saves to the same bytes";
  ResetScene();
  remove(path.c_str());
  remove(again.c_str());
}

// Every truncation and many single-byte corruptions of a valid file: each loads completely or
// not at all, leaves the current scene in place when it fails, and leaks nothing.
TEST(Scene, CorruptAndTruncatedFilesLoadNothingAndLeakNothing) {
  std::string path = TempPath("quortest_good.vsc"), bad = TempPath("quortest_bad.vsc");
  ASSERT_EQ(BuildAndSaveScene(path), 1);
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
  for (size_t n = 0; n < good.size(); n++)
    EXPECT_FALSE(tryLoad(std::vector<unsigned char>(good.begin(), good.begin() + n))) << "truncated to " << n;
  quortest::Random random(12345);
  for (size_t i = 0; i < good.size(); i++) {
    for (unsigned char value : {0x00, 0xFF, 0x01, 0x80}) {
      std::vector<unsigned char> m = good;
      m[i] = value == 0x01 ? (unsigned char)(m[i] ^ (1 << random.Below(8))) : value;
      if (m == good) continue;
      loaded += tryLoad(m);
    }
  }
  EXPECT_LT(loaded, (int)good.size() * 4);
  ResetScene();
  remove(path.c_str());
  remove(bad.c_str());
}

TEST(Scene, MissingUnwritableAndUnknownClassFilesFail) {
  EXPECT_EQ(LoadScene(TempPath("no_such_scene.vsc").c_str()), 0);
  EXPECT_EQ(LoadScene(nullptr), 0);
  EXPECT_EQ(SaveScene("Z:\\no\\such\\folder\\scene.vsc"), 0);

  std::string path = TempPath("quortest_unknown.vsc");
  ASSERT_EQ(BuildAndSaveScene(path), 1);
  std::vector<unsigned char> bytes = ReadAll(path);
  // Rename the thing class in every entry header: 0x7E571111 -> 0x7E571112.
  int renamed = 0;
  for (size_t i = 0; i + 4 <= bytes.size(); i++)
    if (quortest::U32(bytes, i) == 0x7E571111) bytes[i] = 0x12, renamed++;
  EXPECT_EQ(renamed, 2);
  WriteAll(path, bytes);
  ResetScene();
  long live = GetLiveRefTargetCount();
  EXPECT_EQ(LoadScene(path.c_str()), 0) << "no plug-in provides the class";
  EXPECT_EQ(GetLiveRefTargetCount(), live);
  remove(path.c_str());
}

// A node moves from one parent to another, but never under its own descendant: the refused move
// leaves the node, its subtree and its parent where they were.
TEST(Scene, AttachChildMovesANodeAndRefusesAnAncestor) {
  ResetScene();
  INode* root = GetCOREInterface()->GetRootNode();
  INode* a = CreateSceneNode("a");
  INode* b = CreateSceneNode("b", a);
  INode* c = CreateSceneNode("c", b);
  INode* d = CreateSceneNode("d");
  d->AttachChild(c);
  EXPECT_EQ(c->GetParentNode(), d);
  ASSERT_EQ(d->NumberOfChildren(), 1);
  EXPECT_EQ(d->GetChildNode(0), c);

  c->AttachChild(d);
  EXPECT_EQ(d->GetParentNode(), root) << "d is c's parent: the move is refused";
  EXPECT_EQ(c->NumberOfChildren(), 0);
  b->AttachChild(a);
  EXPECT_EQ(a->GetParentNode(), root);
  ASSERT_EQ(root->NumberOfChildren(), 2);
  EXPECT_EQ(root->GetChildNode(0), a);
  EXPECT_EQ(root->GetChildNode(1), d);
  EXPECT_EQ(a->GetChildNode(0), b);
  EXPECT_EQ(GetCOREInterface()->GetINodeByName("b"), b) << "the subtree is still in the scene";
  ResetScene();
}
