// The gradient's bitmap modes, gradient files, and lookups from several threads.
#include "GradTest.h"
#include "TestSupport.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <limits>

#include <stdio.h>

#include <string>
#include <vector>

using gradtest::Grad;
using gradtest::WriteImage;
using quortest::TempPath;

namespace {

void UseBitmap(JGradCtlData* g, const std::string& path, int mode) {
  BitmapInfo bi;
  bi.SetName(path.c_str());
  ASSERT_EQ(g->SetBitmapInfo(&bi), 1);
  g->FreeBitmapData();
  g->SetMode(mode);
}

struct Names : NameEnumCallback {
  std::vector<std::string> got;
  void RecordName(const char* n) override { got.push_back(n); }
};

}  // namespace

TEST(BitmapMode, UVMapStepsThroughTheRowsOnePerFrame) {
  std::string path = WriteImage("quortest_uv.png", 16, 16);
  Grad g;
  UseBitmap(g.g, path, 2);
  int tpf = GetTicksPerFrame();
  Point3 c;
  ASSERT_EQ(g->GetColor(c, 0.0f, 17 * tpf), 1);
  EXPECT_NEAR(c.y, 16 / 255.0f, 1e-6) << "frame 17 of 16 rows uses row 1";
  ASSERT_EQ(g->GetColor(c, 1.0f, 3 * tpf), 1);
  EXPECT_NEAR(c.x, 240 / 255.0f, 1e-6) << "position 1 is the last column";
  EXPECT_NEAR(c.y, 48 / 255.0f, 1e-6);
  ASSERT_EQ(g->GetColor(c, 0.5f, -1 * tpf), 1);
  EXPECT_NEAR(c.y, 240 / 255.0f, 1e-6) << "frame -1 wraps to the last row";
  JGradBitmapHeader* hdr;
  BMM_Color_32* px;
  ASSERT_EQ(g->GetBitmapData(hdr, px), 1);
  EXPECT_EQ(hdr->headerSize, 12);
  EXPECT_EQ(hdr->width, 16);
  EXPECT_EQ(hdr->rows, 16);
  Interval valid = FOREVER;
  g->Update(5 * tpf, valid);
  EXPECT_TRUE(valid == Interval(5 * tpf, 5 * tpf)) << "a UV map changes with every frame";
  remove(path.c_str());
}

TEST(BitmapMode, BitmapModeUsesTheFirstRowAndDraws) {
  std::string path = WriteImage("quortest_row.bmp", 16, 4);
  Grad g;
  UseBitmap(g.g, path, 3);
  Point3 c;
  ASSERT_EQ(g->GetColor(c, 0.0f, 50 * GetTicksPerFrame()), 1);
  EXPECT_EQ(c.y, 0.0f) << "row 0 at every time";
  std::vector<BMM_Color_24> buf(16 * 2);
  EXPECT_EQ(g->Render(buf.data(), 0, 16, 2, 1.0f, 0), 1);
  for (int x = 0; x < 16; x++) {
    EXPECT_EQ(buf[x].r, x * 16) << x;
    EXPECT_EQ(buf[x].b, 255 - x * 16) << x;
    EXPECT_EQ(memcmp(&buf[16 + x], &buf[x], 3), 0);
  }
  // Positions outside [0, 1], and NaN, take the row's ends: NaN the start.
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const float kEnds[][2] = {{-3.0f, 0.0f}, {kNaN, 0.0f}, {7.0f, 15.0f}};
  for (const auto& e : kEnds) {
    ASSERT_EQ(g->GetColor(c, e[0], 0), 1);
    EXPECT_FLOAT_EQ(c.x, e[1] * 16.0f / 255.0f) << e[0];
  }
  // One pixel wide: the start of the row.
  BMM_Color_24 one;
  EXPECT_EQ(g->RenderBitmap(&one, 0, 1, 1, 1.0f, 0), 1);
  EXPECT_EQ(one.b, 255);
  EXPECT_FALSE(TheManager->SilentMode()) << "drawing restores the silent mode";
  Interval valid = FOREVER;
  g->Update(0, valid);
  EXPECT_TRUE(valid == FOREVER) << "bitmap mode leaves the validity alone";
  remove(path.c_str());
}

TEST(BitmapMode, AMissingOrUnreadableFileFailsLoudlyAndDrawsBlack) {
  Grad g;
  std::string path = TempPath("quortest_missing.png");
  remove(path.c_str());
  UseBitmap(g.g, path, 3);
  Point3 c(0.25f, 0.25f, 0.25f);
  EXPECT_EQ(g->GetBitmapColor(c, 0.5f, 0), 0);
  EXPECT_TRUE(c == Point3(0.25f, 0.25f, 0.25f)) << "unchanged";
  std::string prompt = GetCOREInterface()->GetPrompt();
  EXPECT_EQ(prompt.rfind(path + " : ", 0), 0u) << prompt;
  std::vector<BMM_Color_24> buf(8, BMM_Color_24{9, 9, 9});
  EXPECT_EQ(g->Render(buf.data(), 0, 4, 2, 1.0f, 0), 0);
  for (auto& p : buf) EXPECT_TRUE(p.r == 0 && p.g == 0 && p.b == 0);
  EXPECT_EQ(g->GetMode(), 3) << "drawing does not change the mode";
  Interval valid = FOREVER;
  g->Update(0, valid);
  EXPECT_EQ(g->GetMode(), 1) << "Update falls back to the flags";
  GetCOREInterface()->RemoveTempPrompt();

  // A file the bitmap manager cannot read.
  path = TempPath("quortest_garbage.png");
  const char kText[] = "not an image at all";
  quortest::WriteAll(path, std::vector<unsigned char>(kText, kText + sizeof kText - 1));
  UseBitmap(g.g, path, 3);
  EXPECT_EQ(g->GetBitmapColor(c, 0.5f, 0), 0);
  EXPECT_STREQ(GetCOREInterface()->GetPrompt(), (path + " : Bitmap Loading Error").c_str());
  GetCOREInterface()->RemoveTempPrompt();
  remove(path.c_str());
}

TEST(BitmapMode, TheRecordKeepsNameDeviceAndDriverData) {
  Grad g;
  BitmapInfo bi;
  bi.SetName("C:\\maps\\wood.png");
  bi.SetDevice("PNG");
  unsigned char* data = static_cast<unsigned char*>(bi.AllocPiData(5));
  memcpy(data, "\x01\x02\x03\x04\x05", 5);
  ASSERT_EQ(g->SetBitmapInfo(&bi), 1);
  JMemBlock record;
  Interval valid = FOREVER;
  (*g.g)(2)->GetValue(&record, 0, valid, CTRL_ABSOLUTE);
  ASSERT_EQ(record.Size(), 525u);
  EXPECT_STREQ(record.Data(), "C:\\maps\\wood.png");
  EXPECT_STREQ(record.Data() + 260, "PNG");
  EXPECT_EQ(memcmp(record.Data() + 516, "\x05\x00\x00\x00", 4), 0);
  BitmapInfo back;
  ASSERT_EQ(g->GetBitmapInfo(&back), 1);
  EXPECT_STREQ(back.Name(), "C:\\maps\\wood.png");
  EXPECT_STREQ(back.Device(), "PNG");
  ASSERT_EQ(back.GetPiDataSize(), 5u);
  EXPECT_EQ(memcmp(back.GetPiData(), "\x01\x02\x03\x04\x05", 5), 0);
  Grad empty;
  EXPECT_EQ(empty->GetBitmapInfo(&back), 0) << "no record";
}

TEST(BitmapMode, EnumAuxFilesReportsTheFileByModeAndFlags) {
  Grad g;
  std::string missing = TempPath("quortest_absent.png");
  remove(missing.c_str());
  BitmapInfo bi;
  bi.SetName(missing.c_str());
  g->SetBitmapInfo(&bi);
  Names n;
  g->EnumAuxFiles(n, 0);
  EXPECT_TRUE(n.got.empty()) << "flag mode, no flags: not in use";
  g->EnumAuxFiles(n, FILE_ENUM_INACTIVE);
  EXPECT_EQ(n.got.size(), 1u);
  g->EnumAuxFiles(n, FILE_ENUM_INACTIVE | FILE_ENUM_MISSING_ONLY);
  EXPECT_EQ(n.got.size(), 2u) << "missing: reported";
  std::string present = WriteImage("quortest_present.png", 4, 4);
  bi.SetName(present.c_str());
  g->SetBitmapInfo(&bi);
  g->SetMode(3);
  g->EnumAuxFiles(n, 0);
  EXPECT_EQ(n.got.size(), 3u) << "in use in bitmap mode";
  g->EnumAuxFiles(n, FILE_ENUM_MISSING_ONLY);
  EXPECT_EQ(n.got.size(), 3u) << "present: not reported as missing";
  EXPECT_EQ(n.got.back(), present);
  remove(present.c_str());
}

// ---- Gradient files --------------------------------------------------------------------------

TEST(GradientFiles, AGradientRoundTripsThroughADgrFile) {
  Grad g;
  g->LoadResource(GetLibInstance(), gradtest::kDefaultLayout);
  g->SetInterpType(2);
  std::string path = TempPath("quortest_grad.dgr");
  remove(path.c_str());
  char name[260];
  snprintf(name, sizeof name, "%s", path.c_str());
  {
    quortest::ModalDriver driver(IDOK);
    EXPECT_EQ(JSaveGradientFile(g.g, nullptr, name), 1);
    ASSERT_TRUE(driver.Wait());
    EXPECT_EQ(driver.Caption(), "Save Gradient...");
  }
  JGradCtlData* loaded;
  {
    quortest::ModalDriver driver(IDOK);
    loaded = JLoadGradientFile(nullptr, name);
    ASSERT_TRUE(driver.Wait());
    EXPECT_EQ(driver.Caption(), "Load Gradient...");
  }
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->GetFlagCount(), 2);
  EXPECT_EQ(loaded->GetInterpType(), 2);
  for (float pos : {0.0f, 0.3f, 0.8f}) {
    Point3 a, b;
    g->GetColor(a, pos, 0);
    loaded->GetColor(b, pos, 0);
    EXPECT_TRUE(a == b) << pos;
  }
  loaded->DeleteMe();
  // A file that holds something else is not a gradient.
  JFloatData* leaf = Create_JFloatData();
  ASSERT_EQ(SaveRefMaker(leaf, path.c_str()), 1);
  leaf->DeleteMe();
  {
    quortest::ModalDriver driver(IDOK);
    EXPECT_EQ(JLoadGradientFile(nullptr, name), nullptr);
    driver.Wait();
  }
  remove(path.c_str());
}

// ---- Threads ---------------------------------------------------------------------------------

TEST(Threads, LookupsWhileTheInterfaceThreadEditsStayInRange) {
  std::string path = WriteImage("quortest_threads.png", 16, 16);
  Grad g;
  const int kTicksApart = 160;  // plain colours at 64 different times
  gradtest::Samplers readers(g.g, kTicksApart);
  BitmapInfo bi;
  bi.SetName(path.c_str());
  g->SetBitmapInfo(&bi);
  for (int round = 0; round < 150; round++) {
    Point3 c((float)(round % 3) / 2.0f, 1.0f, (float)(round % 7) / 6.0f);
    g->AddFlag(gradtest::NewFlag({(float)(round % 10) / 10.0f, c, gradtest::kLinear}), "_");
    if (g->GetFlagCount() > 6) g->DelFlag(2);
    float moved = (float)(round % 5) / 4.0f;
    g->GetFlag(g->GetFlagCount() - 1)->SetPos(0, moved);
    g->SetInterpType(round % 6);
    if (round % 25 == 10) g->SetMode(2);
    if (round % 25 == 20) g->SetMode(1);
    Sleep(1);
  }
  readers.Join(1000);
  remove(path.c_str());
}
