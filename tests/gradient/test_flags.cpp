// Flags and flag sets.
#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <string>

using quortest::Held;

TEST(FlagSet, DefaultSetHoldsTwoGreyEndFlags) {
  Held<JFlagSetData> set(Create_JFlagSetData());
  ASSERT_EQ(set->NumRefs(), 2);
  for (int i = 0; i < 2; i++) {
    JFlagCtlData* f = dynamic_cast<JFlagCtlData*>(set->GetReference(i));
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->GetName(), i == 0 ? "Flag #1" : "Flag #2");
    EXPECT_STREQ(set->GetName(i), f->GetName()) << "added as \"_\", the flag's own name wins";
    float pos;
    f->GetPos(0, pos);
    EXPECT_EQ(pos, i == 0 ? 0.0f : 1.0f);
    Point3 c;
    f->GetColor(0, c);
    EXPECT_TRUE(c == Point3(0.5f, 0.5f, 0.5f));
    float interp;
    f->GetInterp(0, interp);
    EXPECT_EQ(interp, 3.0f);
    Texmap* tex = reinterpret_cast<Texmap*>(1);
    f->GetSubtex(tex);
    EXPECT_EQ(tex, nullptr);
    EXPECT_EQ(f->GetPositionData()->GetBypassTree(), 1) << "end flags keep their positions out of the tree";
  }
  JLoading(1);
  Held<JFlagSetData> empty(Create_JFlagSetData());
  EXPECT_EQ(empty->NumRefs(), 0);
}

TEST(Flag, ChildrenNamesAndHiddenSlots) {
  Held<JFlagCtlData> f(Create_JFlagCtlData());
  ASSERT_EQ(f->NumRefs(), 6);
  EXPECT_STREQ(f->GetName(0), "Color");
  EXPECT_STREQ(f->GetName(1), "Position");
  EXPECT_STREQ(f->GetName(5), "Texture");
  for (int i : {2, 3, 4}) EXPECT_EQ((*f.d)(i)->GetBypassTree(), 1) << i;
  EXPECT_EQ(f->GetName(), nullptr) << "no name: null, not an empty text";
}

TEST(Flag, ValuesAreClamped) {
  Held<JFlagCtlData> f(Create_JFlagCtlData());
  float p = -0.2f, p2 = 1.7f;
  f->SetPos(0, p, p2);
  float a, b;
  f->GetPos(0, a, b);
  EXPECT_EQ(a, 0.0f);
  EXPECT_EQ(b, 1.0f);
  p = 1.7f;
  f->SetPos(0, p);
  f->GetPos(0, a, b);
  EXPECT_EQ(a, 1.0f);
  EXPECT_EQ(b, 0.0f) << "the one-position form zeroes the second";
  Point3 c(1.5f, -1.0f, 0.25f);
  f->SetColor(0, c);
  f->GetColor(0, c);
  EXPECT_TRUE(c == Point3(1.0f, 0.0f, 0.25f));
  float v = -2.0f;
  f->SetInterp(0, v);
  f->GetInterp(0, v);
  EXPECT_EQ(v, 0.0f);
  v = 7.0f;
  f->SetInterp(0, v);
  f->GetInterp(0, v);
  EXPECT_EQ(v, 7.0f) << "no upper clamp";
  Interval valid = FOREVER;
  f->GetPos(0, a, valid);
  EXPECT_TRUE(valid == FOREVER) << "an unanimated position is always valid";
}

TEST(Flag, NamesAreCutToTwentyThreeCharacters) {
  Held<JFlagCtlData> f(Create_JFlagCtlData());
  f->SetName("Highlights");
  EXPECT_STREQ(f->GetName(), "Highlights");
  std::string longName(30, 'n');
  f->SetName(longName.c_str());
  EXPECT_STREQ(f->GetName(), std::string(23, 'n').c_str());
  JMemBlock stored;
  Interval valid = FOREVER;
  f->GetNameData()->GetValue(&stored, 0, valid, CTRL_ABSOLUTE);
  EXPECT_EQ(stored.Size(), 31u) << "the whole name is stored";
  f->SetName("");
  EXPECT_EQ(f->GetName(), nullptr);
  f->SetName(nullptr);
  EXPECT_EQ(f->GetName(), nullptr);
}

TEST(Flag, GettersOnANullFlagAnswerZeros) {
  JFlagCtlData* volatile none = nullptr;  // as a failed lookup gives it
  float p = 9, p2 = 9, v = 9;
  Point3 c(9, 9, 9);
  none->GetPos(0, p);
  none->GetPos(0, p, p2);
  none->GetColor(0, c);
  none->GetInterp(0, v);
  EXPECT_EQ(p, 0.0f);
  EXPECT_EQ(p2, 0.0f);
  EXPECT_TRUE(c == Point3(0, 0, 0));
  EXPECT_EQ(v, 0.0f);
}

TEST(Flag, TexturesComeAndGoWithNotifications) {
  quortest::AssertRecorder rec;
  Held<JFlagCtlData> f(Create_JFlagCtlData());
  Texmap* map = NewCheckerMap(Color(0, 0, 0), Color(1, 1, 1), 2);
  f->SetSubtex(map);
  Texmap* got = nullptr;
  f->GetSubtex(got);
  EXPECT_EQ(got, map);
  size_t heard = f.owner->heard.size();
  f->SetSubtex(nullptr);
  f->GetSubtex(got);
  EXPECT_EQ(got, nullptr);
  bool sawStructure = false;
  for (size_t i = heard; i < f.owner->heard.size(); i++) sawStructure |= f.owner->heard[i].message == REFMSG_SUBANIM_STRUCTURE_CHANGED;
  EXPECT_TRUE(sawStructure) << "removing a map tells the gradient above";
  // A flag whose slot 5 holds something else.
  f->Del(5);
  f->Add(Create_JFloatData(), "not a slot");
  f->GetSubtex(got);
  EXPECT_TRUE(rec.Saw("JFLAGCTL", 186));
  EXPECT_EQ(got, nullptr);
  Texmap* solid = NewSolidColorMap(Color(1, 0, 0));
  f->SetSubtex(solid);
  EXPECT_TRUE(rec.Saw("JFLAGCTL", 237));
  EXPECT_EQ(solid->NumDependents(), 0) << "nothing took the map";
  solid->DeleteMe();
}
