// The gradient ramp sample as the host uses it: its colours along each axis and repeated, the
// flags' textures as its sub-textures, and its panel opened by the host's material editor, where
// a flag's properties dialog picks that flag's texture through the editor's map browser.
#include "ControlDriver.h"
#include "Quorlib.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "gradmap_res.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdlib.h>

namespace {

const Class_ID kRampMapID(0x47524144, 0x4D415020);
enum { kGradientSlot, kAxisSlot, kRepeatSlot };
enum { kAlongU, kAlongV, kRadial };
const int kFlags = 4;                   // the ramp's own default layout
const float kFirstFlagPos = 0.0f, kThirdFlagPos = 0.45f;
const Point3 kFirstColour(20 / 255.0f, 24 / 255.0f, 82 / 255.0f);
const Point3 kLastColour(1.0f, 236 / 255.0f, 160 / 255.0f);
const int kTextureButton = 1034;        // a flag's properties dialog: its texture button
const int kBrowserList = 1602;          // the host's map browser: its list of map classes
const DWORD kWait = 5000;
const float kTolerance = 1e-6f;

void ExpectColour(const AColor& got, const Point3& want, const char* where) {
  EXPECT_NEAR(got.r, want.x, kTolerance) << where;
  EXPECT_NEAR(got.g, want.y, kTolerance) << where;
  EXPECT_NEAR(got.b, want.z, kTolerance) << where;
}

struct RampSample : testing::Test {
  void SetUp() override {
    ASSERT_NE(LoadPluginModule(quortest::BinPath("gradmap.dlt").c_str()), nullptr);
    GetCOREInterface()->GetMainHWnd();
    map = dynamic_cast<Texmap*>(static_cast<Animatable*>(CreateInstance(TEXMAP_CLASS_ID, kRampMapID)));
    ASSERT_NE(map, nullptr);
    holder = new quortest::Recorder(1);
    holder->Hold(map);
    tree = dynamic_cast<JDataNode*>(map->GetReference(0));
    ASSERT_NE(tree, nullptr);
    ASSERT_NE(Gradient(), nullptr);
  }
  void TearDown() override {
    holder->DeleteMe();
    theHold.ClearHistory();
  }

  JGradCtlData* Gradient() { return dynamic_cast<JGradCtlData*>((*tree)(kGradientSlot)); }
  void Set(int slot, float v) { static_cast<JFloatData*>((*tree)(slot))->SetValue(0, v); }
  // The colour of map m (the sample's own map by default) at (u, v).
  AColor At(float u, float v, Texmap* m = nullptr) {
    if (!m) m = map;
    Interval valid = FOREVER;
    m->Update(0, valid);
    ShadeContext sc;
    sc.uvw = Point3(u, v, 0);
    return m->EvalColor(sc);
  }
  // The gradient's own colour at pos.
  Point3 GradientAt(float pos) {
    Point3 c(-1, -1, -1);
    Gradient()->GetColor(c, pos, 0);
    return c;
  }

  quortest::Recorder* holder = nullptr;
  Texmap* map = nullptr;
  JDataNode* tree = nullptr;
};

}  // namespace

TEST_F(RampSample, ColoursFollowTheChosenAxisAndRepeatWithoutWrappingAtTheEnd) {
  EXPECT_EQ(Gradient()->GetFlagCount(), kFlags) << "the sample's own layout";
  ExpectColour(At(0.0f, 0.7f), kFirstColour, "u = 0");
  ExpectColour(At(1.0f, 0.2f), kLastColour, "u = 1");
  ExpectColour(At(0.3f, 0.9f), GradientAt(0.3f), "u = 0.3, whatever v");

  Set(kAxisSlot, kAlongV);
  ExpectColour(At(0.9f, 0.3f), GradientAt(0.3f), "v = 0.3 along v");
  ExpectColour(At(0.1f, 1.0f), kLastColour, "v = 1 along v");

  Set(kAxisSlot, kRadial);
  ExpectColour(At(0.5f, 0.5f), kFirstColour, "the centre");
  ExpectColour(At(0.5f, 0.0f), kLastColour, "an edge's middle");
  ExpectColour(At(0.0f, 0.0f), kLastColour, "a corner, beyond the radius");
  ExpectColour(At(0.5f, 0.8f), GradientAt(0.6f), "0.3 out, from 0 to 1 over 0.5");
  AColor mirrored = At(0.7f, 0.6f);
  ExpectColour(At(0.3f, 0.4f), Point3(mirrored.r, mirrored.g, mirrored.b), "points mirrored through the centre");

  const int kRepeat = 3;
  Set(kAxisSlot, kAlongU);
  Set(kRepeatSlot, (float)kRepeat);
  for (float u : {0.1f, 0.1f + 1.0f / kRepeat, 0.1f + 2.0f / kRepeat})
    ExpectColour(At(u, 0.5f), GradientAt(0.3f), "the same place in each repetition");
  ExpectColour(At(1.0f, 0.5f), kLastColour, "u = 1 ends the last repetition");
  Set(kRepeatSlot, 0.0f);
  ExpectColour(At(0.3f, 0.5f), GradientAt(0.3f), "a count below 1 is taken as 1");
}

TEST_F(RampSample, EachFlagsTextureIsTheSubTextureOfTheSameNumber) {
  const int kThird = 2;
  ASSERT_EQ(map->NumSubTexmaps(), kFlags);
  EXPECT_STREQ(map->GetSubTexmapSlotName(kThird).data(), Gradient()->GetFlag(kThird)->GetName());
  EXPECT_EQ(map->GetSubTexmap(kThird), nullptr);

  Texmap* green = NewSolidColorMap(Color(0, 1, 0));
  map->SetSubTexmap(kThird, green);
  Texmap* held = nullptr;
  Gradient()->GetFlag(kThird)->GetSubtex(held);
  EXPECT_EQ(held, green);
  EXPECT_EQ(map->GetSubTexmap(kThird), green);
  ExpectColour(At(kThirdFlagPos, 0.5f), Point3(0, 1, 0), "at the textured flag");
  ExpectColour(At(kFirstFlagPos, 0.5f), kFirstColour, "a span without the texture");

  // Saved and loaded as the host keeps a scene: the flags and the texture come back with the map.
  JMemBlock* saved = SaveRefMaker(map);
  ASSERT_NE(saved, nullptr);
  Texmap* copy = dynamic_cast<Texmap*>(LoadRefMaker(saved));
  saved->DeleteThis();
  ASSERT_NE(copy, nullptr);
  quortest::Recorder* keep = new quortest::Recorder(1);
  keep->Hold(copy);
  ASSERT_EQ(copy->NumSubTexmaps(), kFlags);
  EXPECT_NE(copy->GetSubTexmap(kThird), nullptr);
  EXPECT_NE(copy->GetSubTexmap(kThird), green) << "a texture of its own";
  ExpectColour(At(kThirdFlagPos, 0.5f, copy), Point3(0, 1, 0), "the loaded copy at the textured flag");
  keep->DeleteMe();

  Texmap* other = NewSolidColorMap(Color(1, 0, 0));
  map->SetSubTexmap(kFlags, other);  // no such flag: nothing is assigned
  EXPECT_EQ(map->GetSubTexmap(kFlags), nullptr);
  other->DeleteMe();

  map->SetSubTexmap(kThird, nullptr);
  EXPECT_EQ(map->GetSubTexmap(kThird), nullptr);
  ExpectColour(At(kThirdFlagPos, 0.5f), GradientAt(kThirdFlagPos), "the flag's own colour again");
}

TEST_F(RampSample, InTheMaterialEditorAFlagsTextureButtonAssignsTheBrowsersChoice) {
  HWND editor = CreateMtlEditor(map);
  ASSERT_NE(editor, nullptr);
  HWND panel = OpenMtlEditorPanel(editor);
  ASSERT_NE(panel, nullptr);
  // The editor stands behind the panel unseen: the panel is centred on the work area instead.
  RECT work, r;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(panel, &r);
  EXPECT_TRUE(r.left >= work.left && r.top >= work.top && r.right <= work.right && r.bottom <= work.bottom)
      << "the panel lies on the work area";
  const int kCentreSlack = 1;
  EXPECT_LE(abs((r.left + r.right) - (work.left + work.right)), 2 * kCentreSlack);
  JViewDlgBase* dlg = dynamic_cast<JViewDlgBase*>(GetDlgProc(panel));
  ASSERT_NE(dlg, nullptr);
  JGradCtl* window = dynamic_cast<JGradCtl*>(dlg->FindCtl(IDC_GRADIENT));
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->Data(), Gradient());
  EXPECT_EQ(window->GetFlagCtlCount(), kFlags);
  EXPECT_EQ(SendMessageA(GetDlgItem(panel, IDC_AXIS), CB_GETCOUNT, 0, 0), 3);
  EXPECT_EQ(quortest::WindowText(GetDlgItem(panel, IDC_REPEAT_EDIT)), "1");

  const int kSecond = 1;
  SendMessageA(window->GetFlagCtl(kSecond)->GetHwnd(), WM_COMMAND, JFlagCtl::kCmdProperties, 0);
  ASSERT_NE(JFlagCtlDlg::Open(), nullptr);
  HWND props = JFlagCtlDlg::Open()->GetHwnd();
  HWND button = GetDlgItem(props, kTextureButton);
  int samplesBefore = GetMtlEditorSample(editor, nullptr);
  quortest::ModalDriver browser(IDOK);
  browser.Before([](HWND b) { quortest::SelectListBoxItem(GetDlgItem(b, kBrowserList), "Solid Color"); });
  SendMessageA(props, WM_COMMAND, MAKEWPARAM(kTextureButton, BN_CLICKED), (LPARAM)button);
  EXPECT_TRUE(quortest::ControlDriver::PumpUntil([&] { return quortest::WindowText(button) == "Solid Color"; }, kWait));
  EXPECT_TRUE(browser.Wait());
  ASSERT_NE(map->GetSubTexmap(kSecond), nullptr);
  EXPECT_EQ(map->GetSubTexmap(kSecond)->ClassID(), SOLIDMAP_CLASS_ID);
  EXPECT_GT(GetMtlEditorSample(editor, nullptr), samplesBefore) << "the editor rendered its sample again";

  // The window's Reset brings back the sample's own layout, in the map's slot.
  window->Reset();
  EXPECT_NE(Gradient(), nullptr);
  EXPECT_EQ(window->Data(), Gradient());
  EXPECT_EQ(Gradient()->GetFlagCount(), kFlags);
  EXPECT_EQ(map->GetSubTexmap(kSecond), nullptr) << "a fresh gradient has no textures";

  DestroyWindow(editor);  // closes the panel and the flag's dialog, and releases the map
  EXPECT_FALSE(IsWindow(panel));
  EXPECT_EQ(JFlagCtlDlg::Open(), nullptr);
}
