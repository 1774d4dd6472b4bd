// The gradient: cache and evaluation, drawing, resources, bitmap modes, files, threads.
#include "GradTest.h"
#include "gradres.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <math.h>
#include <process.h>
#include <stdio.h>

#include <string>
#include <vector>

using gradtest::Grad;
using gradtest::kDefaultLayout;
using gradtest::kLinear;
using gradtest::kSolid;
using gradtest::SetFlags;

namespace {

const Point3 kRed(1, 0, 0), kBlue(0, 0, 1), kGreen(0, 1, 0);

Point3 At(JGradCtlData* g, float pos, int t = 0) {
  Point3 c(-1, -1, -1);
  EXPECT_EQ(g->GetColor(c, pos, t), 1);
  return c;
}

void ExpectNear(const Point3& a, const Point3& b) {
  EXPECT_NEAR(a.x, b.x, 1e-6);
  EXPECT_NEAR(a.y, b.y, 1e-6);
  EXPECT_NEAR(a.z, b.z, 1e-6);
}

}  // namespace

TEST(Gradient, DefaultIsGreyEverywhereAndNoFlagsIsBlack) {
  Grad g;
  EXPECT_EQ(g->GetFlagCount(), 2);
  EXPECT_EQ(g->GetMode(), 1);
  for (float pos : {-1.0f, 0.0f, 0.3f, 0.999f, 1.0f, 5.0f}) ExpectNear(At(g.g, pos), Point3(0.5f, 0.5f, 0.5f));
  // The children are hidden from the host's tree, the flag set's subtree is not.
  EXPECT_EQ((*g.g)(0)->GetBypassTree(), 1);
  EXPECT_EQ(g->GetFlagSet()->GetBypassTree(), 0);
  EXPECT_EQ(g->GetFlagSet()->GetBypassThis(), 1);

  g->DelAllFlags();
  EXPECT_EQ(g->GetFlagCount(), 0);
  ExpectNear(At(g.g, 0.5f), Point3(0, 0, 0));
  ShadeContext sc;
  Point3 c(1, 1, 1);
  g->GetColor(c, 0.5f, 0.1f, sc, 0);
  ExpectNear(c, Point3(0, 0, 0));
}

TEST(Gradient, RedToBlueLinear) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kLinear}, {1.0f, kBlue, kLinear}});
  ExpectNear(At(g.g, 0.25f), Point3(0.75f, 0, 0.25f));
  Point3 nearEnd = At(g.g, 0.99999988f);
  ExpectNear(At(g.g, 1.0f), nearEnd);
  ExpectNear(At(g.g, 3.0f), nearEnd);
  ExpectNear(At(g.g, NAN), nearEnd);
  EXPECT_GT(nearEnd.z, 0.9999f);
  ExpectNear(At(g.g, -0.5f), kRed);  // below the first flag: its colour
}

TEST(Gradient, SolidHoldsTheSpanStartColour) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kSolid}, {1.0f, kBlue, kSolid}});
  for (float pos : {0.0f, 0.5f, 0.999f, 1.0f}) ExpectNear(At(g.g, pos), kRed);
}

TEST(Gradient, EqualPositionsSortByIndexAndTheLaterWins) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kLinear}, {1.0f, kBlue, kLinear}, {0.5f, kGreen, kLinear}, {0.5f, Point3(1, 1, 0), kLinear}});
  // At 0.5 the lookup lands on the record of flag 3 (the later of the equal pair).
  ExpectNear(At(g.g, 0.5f), Point3(1, 1, 0));
  // Just below 0.5 the span from red runs towards flag 2 (green), the first of the pair.
  Point3 below = At(g.g, 0.4999f);
  EXPECT_NEAR(below.y, 0.9998f, 1e-3);
  ExpectNear(At(g.g, 0.75f), Point3(0.5f, 0.5f, 0.5f));
}

// Each shading-point case runs twice: once as the first sample in its span, once with the
// lookup's hint already there.
TEST(Gradient, ShadingPointSolidBlendsOverTheSampledExtent) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kSolid}, {0.5f, kBlue, kSolid}, {1.0f, kGreen, kSolid}});
  ShadeContext sc;
  struct Case {
    float pos, width;
    Point3 want;
  } cases[] = {{0.45f, 0.1f, Point3(0.5f, 0, 0.5f)},
               {0.45f, 0.0f, kRed},
               {0.2f, 0.1f, kRed},  // the extent does not reach the next flag
               {0.95f, 0.1f, Point3(0.5f, 0, 0.5f)}};  // the step into the flag at 1.0 wraps to record 0
  for (const Case& k : cases)
    for (int again = 0; again < 2; again++) {
      Point3 c;
      g->GetColor(c, k.pos, k.width, sc, 0);
      SCOPED_TRACE(testing::Message() << "at " << k.pos << " over " << k.width << (again ? ", again" : ""));
      ExpectNear(c, k.want);
    }
}

TEST(Gradient, ShadingPointUsesFlagTextures) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kLinear}, {0.5f, kRed, kLinear}, {1.0f, kBlue, kLinear}});
  g->GetFlag(2)->SetSubtex(NewSolidColorMap(Color(0, 1, 0)));
  ShadeContext sc;
  for (int again = 0; again < 2; again++) {
    Point3 c;
    for (float pos : {0.75f, 0.8f}) {
      g->GetColor(c, pos, 0.0f, sc, 0);
      ExpectNear(c, Point3(2 - 2 * pos, 2 * pos - 1, 0));  // towards the texture's colour at the end
    }
    ExpectNear(At(g.g, 0.75f), Point3(0.5f, 0, 0.5f));  // the plain colour ignores textures
    g->GetColor(c, 0.5f, 0.0f, sc, 0);
    ExpectNear(c, kRed);  // v = 0 answers the start colour
    g->GetColor(c, 0.25f, 0.0f, sc, 0);
    ExpectNear(c, kRed);  // a span without textures
  }
}

TEST(Gradient, ModeReadsAndWrites) {
  Grad g;
  JFloatData* mode = static_cast<JFloatData*>((*g.g)(0));
  for (auto [stored, expected] : {std::pair<float, int>{0.0f, 1}, {4.0f, 1}, {3.9f, 3}, {2.0f, 2}, {-1.0f, 1}}) {
    mode->SetValue(0, stored);
    EXPECT_EQ(g->GetMode(), expected) << stored;
  }
  g->SetMode(9);
  EXPECT_EQ(g->GetMode(), 1);
  g->SetMode(2);
  EXPECT_EQ(g->GetFlagSet()->GetBypassTree(), 1);
  EXPECT_EQ(g->GetFlagSet()->GetBypassTreeMask(), 1);
  g->SetMode(1);
  EXPECT_EQ(g->GetFlagSet()->GetBypassTree(), 0);
  EXPECT_EQ(g->GetFlagSet()->GetBypassTreeMask(), 0);
}

TEST(Gradient, ChangeMessagesMarkTheCacheStaleAndOthersDoNot) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kLinear}, {1.0f, kBlue, kLinear}});
  Point3 green = kGreen;
  g->GetFlag(0)->SetColor(0, green);  // reaches the gradient as a change
  ExpectNear(At(g.g, 0.0f), kGreen);
  // Animate the first flag from green at 0 to red at 1600: the cache built at time 0 stays until
  // something marks it stale.
  AnimateOn();
  Point3 red = kRed;
  g->GetFlag(0)->SetColor(0, green);
  g->GetFlag(0)->SetColor(1600, red);
  AnimateOff();
  ExpectNear(At(g.g, 0.0f, 0), kGreen);
  ExpectNear(At(g.g, 0.0f, 1600), kGreen);  // built at time 0
  PartID part = 0;
  g->NotifyRefChanged(FOREVER, nullptr, part, 0x51);
  ExpectNear(At(g.g, 0.0f, 1600), kGreen);  // another message leaves the cache alone
  g->NotifyRefChanged(FOREVER, nullptr, part, REFMSG_CHANGE);
  ExpectNear(At(g.g, 0.0f, 1600), kRed);  // rebuilt at the lookup's time
  g->NotifyRefChanged(FOREVER, nullptr, part, REFMSG_SUBANIM_STRUCTURE_CHANGED);
  ExpectNear(At(g.g, 0.0f, 0), kGreen);
}

TEST(Gradient, AnimatedFlagsFollowUpdate) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kLinear}, {1.0f, kBlue, kLinear}});
  AnimateOn();
  Point3 red = kRed, green = kGreen;
  g->GetFlag(0)->SetColor(0, red);
  g->GetFlag(0)->SetColor(1600, green);
  AnimateOff();
  Interval valid = FOREVER;
  g->Update(800, valid);
  ExpectNear(At(g.g, 0.0f, 800), Point3(0.5f, 0.5f, 0));
  EXPECT_TRUE(valid == Interval(800, 800)) << "an animated flag narrows the validity";
  valid = FOREVER;
  g->Update(3200, valid);
  ExpectNear(At(g.g, 0.0f, 3200), kGreen);
  EXPECT_EQ(valid.Start(), 1600);
}

TEST(Gradient, FlagIndexErrorsAssert) {
  quortest::AssertRecorder rec;
  Grad g;
  EXPECT_EQ(g->GetFlag(2), nullptr);
  EXPECT_EQ(g->GetFlag(-1), nullptr);
  EXPECT_EQ(rec.Hits().size(), 2u);
  EXPECT_EQ(rec.Hits()[0].file, "JGRADCTL");
  g->DelFlag(7);
  EXPECT_EQ(g->GetFlagCount(), 2);
  // A missing gradient or flag set: 0 and an assertion.
  JGradCtlData* volatile none = nullptr;  // as a failed lookup gives it
  EXPECT_EQ(none->GetFlagCount(), 0);
  ASSERT_EQ(rec.Hits().size(), 3u);
  EXPECT_EQ(rec.Hits()[2].file, "JGRADCTL");
  // A child of the wrong class where the flag set belongs, and where the interpolation is.
  g->ReplaceReference(JGradCtlData::kFlags, Create_JFloatData());
  EXPECT_EQ(g->GetFlagCount(), 0);
  g->DelAllFlags();
  g->ReplaceReference(JGradCtlData::kInterpOverride, Create_JFlagCtlData());
  EXPECT_EQ(g->GetInterpType(), 0);
  EXPECT_EQ(rec.Hits().size(), 6u) << "counting and editing a mistyped flag set, reading a mistyped interpolation";
}

// ---- Drawing and resources -------------------------------------------------------------------

namespace {
std::vector<BMM_Color_24> Draw(JGradCtlData* g, int width, int height, int mono = 0) {
  std::vector<BMM_Color_24> buf((size_t)width * height);
  g->Render(buf.data(), 0, width, height, 1.0f, mono);
  return buf;
}
bool Same(const BMM_Color_24& p, int r, int g, int b) { return p.r == r && p.g == g && p.b == b; }
}  // namespace

TEST(Drawing, TheDefaultResourceDrawsRedToBlue) {
  HRSRC res = FindResourceA(GetLibInstance(), MAKEINTRESOURCEA(kDefaultLayout), MAKEINTRESOURCEA(10));
  ASSERT_NE(res, nullptr);
  EXPECT_EQ(SizeofResource(GetLibInstance(), res), 38u);
  Grad g(Create_JGradCtlData(GetLibInstance(), kDefaultLayout));
  ASSERT_EQ(g->GetFlagCount(), 2);
  EXPECT_STREQ(g->GetFlag(0)->GetName(), "Flag 1");
  EXPECT_STREQ(g->GetFlagSet()->GetName(1), "Flag 2") << "added under its own name";
  EXPECT_EQ(g->GetFlag(1)->GetPositionData()->GetBypassTree(), 1);
  // Each column in colour (every row alike) and in mono (equal bytes, the lightness).
  const int red[4] = {255, 191, 127, 63}, blue[4] = {0, 63, 127, 191}, grey[4] = {127, 95, 63, 95};
  std::vector<BMM_Color_24> px = Draw(g.g, 4, 3), mono = Draw(g.g, 4, 1, 1);
  for (int x = 0; x < 4; x++) {
    EXPECT_TRUE(Same(px[x], red[x], 0, blue[x])) << x;
    for (int y = 1; y < 3; y++) EXPECT_EQ(memcmp(&px[y * 4 + x], &px[x], 3), 0) << x << ", " << y;
    EXPECT_TRUE(Same(mono[x], grey[x], grey[x], grey[x])) << x;
  }
}

TEST(Drawing, FlagDrawingTakesTheEarlierOfEqualFlagsUnlikeEvaluation) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kSolid}, {0.5f, kGreen, kSolid}, {0.5f, kBlue, kSolid}, {1.0f, kRed, kSolid}});
  std::vector<BMM_Color_24> px = Draw(g.g, 10, 1);
  EXPECT_TRUE(Same(px[7], 0, 255, 0)) << "drawn with the earlier flag of the pair";
  ExpectNear(At(g.g, 0.7f), kBlue);
  EXPECT_TRUE(Same(px[2], 255, 0, 0));
}

// A layout handed over after a resource was loaded is read to its end tag, not cut at the size
// of the resource loaded before it.
TEST(Resources, ALayoutSetLaterIsNotCutAtAnEarlierResourcesSize) {
  Grad g(Create_JGradCtlData(GetLibInstance(), kDefaultLayout));
  ASSERT_EQ(g->GetFlagCount(), 2);
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(IDR_THREE_FLAGS), MAKEINTRESOURCEA(10));
  ASSERT_NE(found, nullptr);
  ASSERT_GT(SizeofResource(self, found), SizeofResource(GetLibInstance(), FindResourceA(GetLibInstance(), MAKEINTRESOURCEA(kDefaultLayout), MAKEINTRESOURCEA(10))));
  g->SetResource(LockResource(::LoadResource(self, found)));
  EXPECT_NE(g->SetupResource(), 0);
  EXPECT_EQ(g->GetFlagCount(), 3);
}

TEST(Resources, VersionsAndTags) {
  // Layouts written into the test program's resources.
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kLinear}, {0.3f, kGreen, kLinear}, {1.0f, kBlue, kLinear}});
  EXPECT_NE(g->LoadResource(GetModuleHandleA(nullptr), 600), 0) << "version 0";
  EXPECT_EQ(g->GetFlagCount(), 3) << "flags unchanged";
  EXPECT_EQ(g->LoadResource(GetModuleHandleA(nullptr), 601), 0) << "version 2";
  EXPECT_EQ(g->LoadResource(GetModuleHandleA(nullptr), 602), 0) << "tag 3 after one flag";
  EXPECT_EQ(g->GetFlagCount(), 1) << "flags read so far stay";
  EXPECT_EQ(g->LoadResource(GetModuleHandleA(nullptr), 603), 0) << "a name running off the end";
  EXPECT_EQ(g->LoadResource(GetModuleHandleA(nullptr), 31000), 0) << "no resource";
}

TEST(Gradient, AddingAndDeletingFlagsMarksTheCacheStale) {
  Grad g;
  SetFlags(g.g, {{0.0f, kRed, kSolid}, {1.0f, kBlue, kSolid}});
  ExpectNear(At(g.g, 0.6f), kRed);
  g->AddFlag(gradtest::NewFlag({0.5f, kGreen, kSolid}), "_");
  ExpectNear(At(g.g, 0.6f), kGreen);
  g->DelFlag(2);
  ExpectNear(At(g.g, 0.6f), kRed);
}
