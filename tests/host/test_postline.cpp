// The Postline: events run in order over frames, previews stop where they are asked to and can be
// aborted, the queue travels with the scene, the event dialogs, settings files, the display gamma
// and image windows.
#include "TestSupport.h"
#include "testfilt.h"
#include "vantor.h"

#include <gtest/gtest.h>

#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <process.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using quortest::BinPath;
using quortest::TempPath;

const Class_ID kOffset(TESTFILT_CLASS_A, TESTFILT_OFFSET_B);
const Class_ID kDouble(TESTFILT_CLASS_A, TESTFILT_DOUBLE_B);
const WORD kInputRed = 1000;
const int kWidth = 8, kHeight = 4;

// The test filter module and its record of Render calls.
struct TestFilters {
  HMODULE module = nullptr;
  TestFilterLogEntryProc entry = nullptr;
  TestFilterLogClearProc clear = nullptr;
  TestFilterSetupCountProc setups = nullptr;
  TestFilterSetupTitleProc setupTitle = nullptr;
  TestFilterSetupQueueShownProc setupQueueShown = nullptr;

  template <class Proc>
  bool Find(Proc& p, const char* name) {
    return (p = GetProcAddressAs<Proc>(module, name)) != nullptr;
  }
  bool Load() {
    module = LoadPluginModule(BinPath("testplugins\\testfilt.flt").c_str());
    return module && Find(entry, "TestFilterLogEntry") && Find(clear, "TestFilterLogClear") &&
           Find(setups, "TestFilterSetupCount") && Find(setupTitle, "TestFilterSetupTitle") &&
           Find(setupQueueShown, "TestFilterSetupQueueShown");
  }
  // The Render calls as (offset, frame) pairs.
  std::vector<std::pair<int, int>> Calls() {
    std::vector<std::pair<int, int>> v;
    TestRenderCall c;
    for (int i = 0; entry(i, &c); i++) v.push_back({c.add, c.frame});
    return v;
  }
};

int ConstantInput(Bitmap* bm, int, void*) {
  return bm->Fill(kInputRed, 0, 0, 65535);
}

// An offset configuration block: the offset and the frame at which Render fails.
std::vector<unsigned char> OffsetBlock(int add, int failAt = -1) {
  std::vector<unsigned char> b(8);
  for (int i = 0; i < 4; i++) {
    b[i] = (unsigned char)((uint32_t)add >> (8 * i));
    b[4 + i] = (unsigned char)((uint32_t)failAt >> (8 * i));
  }
  return b;
}

int OffsetOf(ImageFilter* f) {
  std::vector<unsigned char> b(f->EvaluateConfigure());
  if (b.size() != 8 || !f->SaveConfigure(b.data())) return INT_MIN;
  return (int)quortest::U32(b, 0);
}

WORD RedAt(Bitmap* bm, int x, int y) {
  BMM_Color_64 p = {};
  bm->GetLinearPixels(x, y, 1, &p);
  return p.r;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The temporary file a run writes for frame: stem, the frame in four digits, extension.
std::string Numbered(const std::string& stem, int frame, const char* ext) {
  char digits[16];
  snprintf(digits, sizeof digits, "%04d", frame);
  return TempPath((stem + digits + ext).c_str());
}

// The image file at path, read through the bitmap manager (null when it cannot be read).
Bitmap* LoadImageFile(const std::string& path) {
  BitmapInfo bi;
  bi.SetName(path.c_str());
  return TheManager->Load(&bi);
}

// Writes a w x h grey image whose left half has the value left and right half right to path;
// answers path, or an empty string when it could not be written.
std::string WriteHalves(const std::string& path, int w, int h, WORD left, WORD right) {
  BitmapInfo bi;
  bi.SetName(path.c_str());
  bi.SetWidth(w);
  bi.SetHeight(h);
  bi.SetType(BMM_TRUE_64);
  Bitmap* bm = TheManager->Create(&bi);
  std::vector<BMM_Color_64> row((size_t)w);
  for (int x = 0; x < w; x++) {
    WORD v = x < w / 2 ? left : right;
    row[(size_t)x] = BMM_Color_64{v, v, v, 65535};
  }
  for (int y = 0; y < h; y++) bm->PutPixels(0, y, w, row.data());
  bool ok = bm->OpenOutput(&bi) && bm->Write(&bi);
  bm->CloseAll();
  bm->DeleteThis();
  return ok ? path : std::string();
}

// A mask: the left half black, the right half white.
std::string WriteHalfMask(const std::string& path, int w, int h) { return WriteHalves(path, w, h, 0, 65535); }

class Postline : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(filters.Load());
    ResetScene();
    filters.clear();
    q = GetPostline();
    ASSERT_TRUE(q->SetOutput(kWidth, kHeight, 1.0f));
    q->SetInputProc(ConstantInput, nullptr);
  }
  void TearDown() override { ResetScene(); }

  // Adds an offset event with offset add (and failing frame failAt).
  int AddOffset(int add, int failAt = -1, int at = -1) {
    int i = q->AddEvent(kOffset, at);
    if (i >= 0) {
      std::vector<unsigned char> block = OffsetBlock(add, failAt);
      q->GetFilter(i)->LoadConfigure(block.data());
    }
    return i;
  }

  WORD RenderRed(int frame, int last = -1) {
    Bitmap* bm = nullptr;
    char error[200] = "";
    if (!q->RenderFrame(frame, last, &bm, nullptr, error, sizeof error)) {
      ADD_FAILURE() << error;
      return 0;
    }
    WORD r = RedAt(bm, kWidth - 1, kHeight - 1);
    bm->DeleteThis();
    return r;
  }

  TestFilters filters;
  IPostline* q = nullptr;
};

TEST_F(Postline, EventsRunInQueueOrderAndDisabledOnesAreSkipped) {
  ASSERT_EQ(q->AddEvent(kDouble), 0);
  ASSERT_EQ(AddOffset(5), 1);
  EXPECT_EQ(RenderRed(3), 2 * kInputRed + 5);
  ASSERT_TRUE(q->MoveEvent(1, 0));
  EXPECT_STREQ(q->EventName(0), "Test Offset");
  EXPECT_EQ(RenderRed(3), 2 * (kInputRed + 5));
  EXPECT_EQ(RenderRed(3, 0), kInputRed + 5) << "rendering stops after the last event asked for";
  q->SetEventEnabled(1, FALSE);
  EXPECT_EQ(RenderRed(3), kInputRed + 5);
  std::vector<std::pair<int, int>> expected = {{TESTFILT_DOUBLE_MARK, 3}, {5, 3}, {5, 3}, {TESTFILT_DOUBLE_MARK, 3},
                                               {5, 3}, {5, 3}};
  EXPECT_EQ(filters.Calls(), expected);
  EXPECT_FALSE(q->MoveEvent(0, 2));
  EXPECT_EQ(q->AddEvent(Class_ID(TESTFILT_CLASS_A, TESTFILT_THING_B)), -1) << "not an image filter";
  EXPECT_EQ(q->NumEvents(), 2);
}

TEST_F(Postline, ARunRendersEveryFrameThroughEveryEventAndWritesNumberedFiles) {
  AddOffset(5);
  q->AddEvent(kDouble);
  std::string out = TempPath("postline-run.png");
  std::vector<std::string> names;
  for (int f = 2; f <= 4; f++) {
    names.push_back(Numbered("postline-run", f, ".png"));
    DeleteFileA(names.back().c_str());
  }
  std::vector<int> told;
  auto tell = [](int frame, int, int count, void* user) {
    static_cast<std::vector<int>*>(user)->push_back(frame * 100 + count);
    return 1;
  };
  char error[200] = "";
  ASSERT_TRUE(q->Run(out.c_str(), 2, 4, tell, &told, error, sizeof error)) << error;
  EXPECT_EQ(told, (std::vector<int>{203, 303, 403}));
  std::vector<std::pair<int, int>> expected = {{5, 2}, {TESTFILT_DOUBLE_MARK, 2}, {5, 3}, {TESTFILT_DOUBLE_MARK, 3},
                                               {5, 4}, {TESTFILT_DOUBLE_MARK, 4}};
  EXPECT_EQ(filters.Calls(), expected);
  for (const std::string& n : names) {
    Bitmap* back = LoadImageFile(n);
    ASSERT_NE(back, nullptr) << n;
    EXPECT_EQ(back->Width(), kWidth);
    EXPECT_EQ(RedAt(back, 0, 0) >> 8, (2 * (kInputRed + 5)) >> 8) << "written with 8 bits a channel";
    back->DeleteThis();
    DeleteFileA(n.c_str());
  }
  EXPECT_FALSE(Exists(TempPath("postline-run0002.partial.png")));
}

TEST_F(Postline, AFailingEventStopsTheRunAndRemovesWhatItWrote) {
  AddOffset(5, 3);
  std::string out = TempPath("postline-fail.bmp");
  char error[200] = "";
  EXPECT_FALSE(q->Run(out.c_str(), 2, 4, nullptr, nullptr, error, sizeof error));
  EXPECT_NE(strstr(error, "event 1 (Test Offset) failed at frame 3"), nullptr) << error;
  for (const char* n : {"postline-fail0002.bmp", "postline-fail0003.bmp", "postline-fail0003.partial.bmp"})
    EXPECT_FALSE(Exists(TempPath(n))) << n;
  EXPECT_EQ(filters.Calls(), (std::vector<std::pair<int, int>>{{5, 2}})) << "frame 4 never started";
}

TEST_F(Postline, AnEventsMaskReachesFiltersThatHonourMasksFittedToTheOutput) {
  const int kMaskWidth = 4, kMaskHeight = 2, kAdd = 300;
  std::string mask = WriteHalfMask(TempPath("postline-mask.png"), kMaskWidth, kMaskHeight);
  ASSERT_FALSE(mask.empty());
  AddOffset(kAdd);
  q->AddEvent(kDouble);
  q->SetEventMask(0, mask.c_str());
  q->SetEventMask(1, mask.c_str());
  EXPECT_STREQ(q->EventMask(0), mask.c_str());

  Bitmap* bm = nullptr;
  char error[300] = "";
  ASSERT_TRUE(q->RenderFrame(0, -1, &bm, nullptr, error, sizeof error)) << error;
  EXPECT_EQ(RedAt(bm, 0, 0), 2 * kInputRed) << "the black half keeps the offset out";
  EXPECT_EQ(RedAt(bm, kWidth - 1, kHeight - 1), 2 * (kInputRed + kAdd));
  bm->DeleteThis();
  TestRenderCall offset = {}, twice = {};
  ASSERT_TRUE(filters.entry(0, &offset) && filters.entry(1, &twice));
  EXPECT_EQ(offset.maskWidth, kWidth) << "fitted to the output";
  EXPECT_EQ(offset.maskHeight, kHeight);
  EXPECT_EQ(twice.maskWidth, 0) << "a filter without mask support gets none";

  // The mask travels with the scene.
  std::string scene = TempPath("postline-mask.vsc");
  ASSERT_TRUE(SaveScene(scene.c_str()));
  ResetScene();
  ASSERT_TRUE(LoadScene(scene.c_str()));
  EXPECT_STREQ(GetPostline()->EventMask(0), mask.c_str());
  EXPECT_STREQ(GetPostline()->EventMask(1), mask.c_str());
  DeleteFileA(scene.c_str());

  // A mask that cannot be read stops the render with a reason.
  q = GetPostline();
  q->SetInputProc(ConstantInput, nullptr);
  DeleteFileA(mask.c_str());
  bm = nullptr;
  EXPECT_FALSE(q->RenderFrame(0, -1, &bm, nullptr, error, sizeof error));
  EXPECT_EQ(bm, nullptr);
  EXPECT_NE(strstr(error, "cannot read the mask image"), nullptr) << error;
  EXPECT_NE(strstr(error, "event 1 (Test Offset)"), nullptr) << error;
}

TEST_F(Postline, PreviewsStopAtTheFilterOrRunTheWholeQueue) {
  AddOffset(5);
  q->AddEvent(kDouble);
  ImageFilter* offset = q->GetFilter(0);
  ImageFilter* twice = q->GetFilter(1);
  const int tpf = GetTicksPerFrame(), pw = 6, ph = 3;
  struct Case {
    ImageFilter* filter;
    DWORD type;
    WORD red;
  } cases[] = {
      {offset, FLT_PREVIEW_SOURCE, kInputRed},           {offset, FLT_PREVIEW_UPTO, kInputRed + 5},
      {offset, FLT_PREVIEW_QUEUE, 2 * (kInputRed + 5)},  {twice, FLT_PREVIEW_SOURCE, kInputRed + 5},
      {twice, FLT_PREVIEW_UPTO, 2 * (kInputRed + 5)},
  };
  for (const Case& c : cases) {
    Bitmap* bm = nullptr;
    ASSERT_TRUE(c.filter->CreatePreview(nullptr, &bm, 7 * tpf, pw, ph, 2.0f, nullptr, c.type));
    ASSERT_NE(bm, nullptr);
    EXPECT_EQ(bm->Width(), pw);
    EXPECT_FLOAT_EQ(bm->Aspect(), 2.0f);
    EXPECT_EQ(RedAt(bm, pw - 1, ph - 1), c.red) << c.filter->Description() << " type " << c.type;
    bm->DeleteThis();
  }
  TestRenderCall call;
  ASSERT_TRUE(filters.entry(0, &call));
  EXPECT_EQ(call.frame, 7);
  EXPECT_EQ(call.width, pw);
  EXPECT_EQ(offset->FilterInfo()->width, kWidth) << "after a preview the filter describes the output again";

  // A filter that is not in the queue counts as its last event.
  ImageFilter* loose = static_cast<ImageFilter*>(FindClassDesc(FLT_CLASS_ID, kOffset)->Create(FALSE));
  Bitmap* bm = nullptr;
  ASSERT_TRUE(loose->CreatePreview(nullptr, &bm, 0, pw, ph, 1.0f, nullptr, FLT_PREVIEW_UPTO));
  EXPECT_EQ(RedAt(bm, 0, 0), 2 * (kInputRed + 5) + 1);
  bm->DeleteThis();
  EXPECT_FALSE(loose->CreatePreview(nullptr, &bm, 0, 0, ph, 1.0f, nullptr, FLT_PREVIEW_UPTO));
  EXPECT_EQ(bm, nullptr);
  EXPECT_FALSE(loose->CreatePreview(nullptr, &bm, 0, pw, ph, 1.0f, nullptr, 4));
  delete loose;

  // A compositor's preview brings the queue's input as its second image.
  Bitmap* second = nullptr;
  ASSERT_TRUE(twice->CreatePreview(nullptr, &bm, 0, pw, ph, 1.0f, &second, FLT_PREVIEW_UPTO));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(RedAt(second, 0, 0), kInputRed);
  bm->DeleteThis();
  second->DeleteThis();
  ASSERT_TRUE(offset->CreatePreview(nullptr, &bm, 0, pw, ph, 1.0f, &second, FLT_PREVIEW_UPTO));
  EXPECT_EQ(second, nullptr) << "a filter without a second input gets none";
  bm->DeleteThis();
}

// A window that records progress and asks to stop once it has seen stopAfter progress messages.
struct ProgressWindow {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && msg == FLTWM_PROGRESS) {
      self->progress.push_back({(int)wp, (int)lp});
      return 0;
    }
    if (self && msg == FLTWM_QUERYABORT) {
      self->queries++;
      if ((int)self->progress.size() >= self->stopAfter) *reinterpret_cast<int*>(lp) = -1;
      return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  explicit ProgressWindow(int stop) : stopAfter(stop) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "PostlineProgressProbe";
    RegisterClassA(&wc);
    hwnd = CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)this);
  }
  ~ProgressWindow() { DestroyWindow(hwnd); }
  HWND hwnd;
  int stopAfter;
  int queries = 0;
  std::vector<std::pair<int, int>> progress;
};

TEST_F(Postline, APreviewReportsProgressAndStopsWhenTheWindowSaysSo) {
  AddOffset(5);
  q->AddEvent(kDouble);
  ImageFilter* offset = q->GetFilter(0);
  {
    ProgressWindow never(1000);
    Bitmap* bm = nullptr;
    ASSERT_TRUE(offset->CreatePreview(never.hwnd, &bm, 0, 4, 4, 1.0f, nullptr, FLT_PREVIEW_QUEUE));
    bm->DeleteThis();
    EXPECT_EQ(never.progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_GE(never.queries, 2);
  }
  filters.clear();
  {
    ProgressWindow second(2);  // stops once the first event is done
    Bitmap* bm = reinterpret_cast<Bitmap*>(1);
    EXPECT_FALSE(offset->CreatePreview(second.hwnd, &bm, 0, 4, 4, 1.0f, nullptr, FLT_PREVIEW_QUEUE));
    EXPECT_EQ(bm, nullptr);
    EXPECT_EQ(second.progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}}));
    EXPECT_EQ(filters.Calls(), (std::vector<std::pair<int, int>>{{5, 0}})) << "the second event never ran";
  }
  const int live = TheManager->Count();
  ProgressWindow first(0);
  Bitmap* bm = nullptr;
  EXPECT_FALSE(offset->CreatePreview(first.hwnd, &bm, 0, 4, 4, 1.0f, nullptr, FLT_PREVIEW_UPTO));
  EXPECT_EQ(TheManager->Count(), live) << "an aborted preview leaves no bitmap behind";
}

// A thread that previews filter over and over and counts the previews that fail or whose image is
// not one render of one input: with the mask, the offset reaches only the right half.
struct Previewer {
  static const int kW = 64, kH = 32;  // big enough for the renders of two threads to overlap
  static unsigned __stdcall Run(void* p) {
    auto* self = static_cast<Previewer*>(p);
    WaitForSingleObject(self->start, INFINITE);
    for (int i = 0; i < self->count; i++) self->Check();
    return 0;
  }
  void Check() {
    Bitmap* bm = nullptr;
    if (!filter->CreatePreview(nullptr, &bm, 0, kW, kH, 1.0f, nullptr, FLT_PREVIEW_UPTO) || !bm) {
      failed++;
      return;
    }
    std::vector<BMM_Color_64> row(kW);
    const WORD left = RedAt(bm, 0, 0), right = RedAt(bm, kW - 1, 0);
    bool whole = (right == inputs[0] + add || right == inputs[1] + add) && (left == right || left + add == right);
    for (int y = 0; y < kH && whole; y++) {
      bm->GetLinearPixels(0, y, kW, row.data());
      for (int x = 0; x < kW; x++) whole = whole && row[x].r == (x < kW / 2 ? left : right);
    }
    if (!whole) mixed++;
    bm->DeleteThis();
  }
  HANDLE start;
  ImageFilter* filter;
  WORD inputs[2];
  int add;
  int count;
  int failed = 0;
  int mixed = 0;
};

TEST_F(Postline, PreviewsOnTwoThreadsWhileTheQueueChangesAreEachOneWholeRender) {
  const WORD kDark = 0x2020, kLight = 0x6060;
  const int kAdd = 300, kPreviews = 1000, kW = Previewer::kW, kH = Previewer::kH;
  std::string mask = WriteHalfMask(TempPath("postline-race-mask.png"), kW, kH);
  std::string files[2] = {WriteHalves(TempPath("postline-race-dark.png"), kW, kH, kDark, kDark),
                          WriteHalves(TempPath("postline-race-light.png"), kW, kH, kLight, kLight)};
  ASSERT_FALSE(mask.empty() || files[0].empty() || files[1].empty());
  Previewer p = {};
  for (int k = 0; k < 2; k++) {  // the values as the files give them back
    Bitmap* back = LoadImageFile(files[k]);
    ASSERT_NE(back, nullptr);
    p.inputs[k] = RedAt(back, 0, 0);
    back->DeleteThis();
  }
  q->SetInputProc(nullptr, nullptr);
  q->SetInputFile(files[0].c_str());
  ASSERT_EQ(AddOffset(kAdd), 0);
  q->SetEventMask(0, mask.c_str());
  p.start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  p.filter = q->GetFilter(0);
  p.add = kAdd;
  p.count = kPreviews;
  Previewer other = p;
  HANDLE threads[] = {reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Previewer::Run, &p, 0, nullptr)),
                      reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, Previewer::Run, &other, 0, nullptr))};
  ASSERT_TRUE(threads[0] && threads[1]);
  SetEvent(p.start);
  // Meanwhile the input file and the mask change, which lets go of the images read so far.
  int changes = 0;
  while (WaitForMultipleObjects(2, threads, TRUE, 0) == WAIT_TIMEOUT) {
    q->SetInputFile(files[changes % 2].c_str());
    q->SetEventMask(0, changes % 3 ? mask.c_str() : "");
    changes++;
  }
  for (HANDLE h : threads) CloseHandle(h);
  CloseHandle(p.start);
  EXPECT_GT(changes, 1);
  EXPECT_EQ(p.failed + other.failed, 0);
  EXPECT_EQ(p.mixed + other.mixed, 0);
  for (const std::string& f : {mask, files[0], files[1]}) DeleteFileA(f.c_str());
}

TEST_F(Postline, EventsTheirDataAndNodesTravelWithTheScene) {
  AddOffset(9);
  q->SetEventLabel(0, "Brighten");
  q->AddEvent(kDouble);
  q->SetEventEnabled(1, FALSE);
  ASSERT_TRUE(q->SetOutput(320, 240, 1.5f));
  q->SetInputFile("C:\\pictures\\plate.png");
  ITavrelNode* node = q->GetFilter(0)->Node();
  ASSERT_NE(node, nullptr);
  Control* gain = NewDefaultFloatController();
  float value = 3.5f;
  gain->SetValue(0, &value);
  ASSERT_TRUE(node->AddController(gain, "Gain", Class_ID(1, 2)));
  std::string path = TempPath("postline-scene.vsc");
  ASSERT_TRUE(SaveScene(path.c_str()));

  auto check = [&](IPostline* p) {
    ASSERT_EQ(p->NumEvents(), 2);
    EXPECT_STREQ(p->EventName(0), "Brighten");
    EXPECT_STREQ(p->EventName(1), "Test Double");
    EXPECT_TRUE(p->EventEnabled(0));
    EXPECT_FALSE(p->EventEnabled(1));
    EXPECT_EQ(p->GetClassID(1), kDouble);
    ASSERT_NE(p->GetFilter(0), nullptr);
    EXPECT_EQ(OffsetOf(p->GetFilter(0)), 9);
    ImageFilterInfo out = p->Output();
    EXPECT_EQ(out.width, 320);
    EXPECT_FLOAT_EQ(out.aspect, 1.5f);
    EXPECT_EQ(p->GetFilter(0)->FilterInfo()->height, 240) << "a loaded filter knows the output";
    EXPECT_STREQ(p->InputFile(), "C:\\pictures\\plate.png");
    ITavrelNode* n = p->GetFilter(0)->Node();
    ASSERT_NE(n, nullptr);
    ASSERT_EQ(n->NumItems(), 1);
    EXPECT_STREQ(n->GetName(0), "Gain");
    float v = 0;
    Interval valid = FOREVER;
    n->GetController(0)->GetValue(0, &v, valid);
    EXPECT_FLOAT_EQ(v, 3.5f);
  };
  ResetScene();
  EXPECT_EQ(GetPostline()->NumEvents(), 0);
  ASSERT_TRUE(LoadScene(path.c_str()));
  check(GetPostline());

  // Without the filters' module the events stay, with their data, for a host that has it.
  UnregisterPluginModule(filters.module);
  ASSERT_TRUE(LoadScene(path.c_str()));
  IPostline* bare = GetPostline();
  ASSERT_EQ(bare->NumEvents(), 2);
  EXPECT_EQ(bare->GetFilter(0), nullptr);
  EXPECT_NE(strstr(bare->EventName(1), "missing filter"), nullptr) << bare->EventName(1);
  bare->SetEventEnabled(1, FALSE);
  bare->SetInputProc(ConstantInput, nullptr);
  Bitmap* bm = nullptr;
  char error[200] = "";
  EXPECT_FALSE(bare->RenderFrame(0, -1, &bm, nullptr, error, sizeof error));
  EXPECT_NE(strstr(error, "is not available"), nullptr) << error;
  std::string again = TempPath("postline-scene2.vsc");
  ASSERT_TRUE(SaveScene(again.c_str()));
  ASSERT_EQ(RegisterPluginModule(filters.module), 3);
  ASSERT_TRUE(LoadScene(again.c_str()));
  check(GetPostline());
  DeleteFileA(path.c_str());
  DeleteFileA(again.c_str());
}

TEST_F(Postline, SettingsFilesComeBackAndDamageIsReported) {
  AddOffset(42, 6);
  ImageFilter* f = q->GetFilter(0);
  std::string path = TempPath("postline-settings.vfs");
  ASSERT_TRUE(SaveFilterSettings(f, kOffset, path.c_str()));
  std::vector<unsigned char> good = quortest::ReadAll(path);
  std::vector<unsigned char> block = OffsetBlock(1);
  f->LoadConfigure(block.data());
  char error[200] = "";
  ASSERT_TRUE(LoadFilterSettings(f, kOffset, path.c_str(), error, sizeof error)) << error;
  EXPECT_EQ(OffsetOf(f), 42);

  struct Damage {
    const char* what;
    std::vector<unsigned char> bytes;
    const char* reason;
  };
  std::vector<unsigned char> flipped = good, cut = good, header = good;
  flipped.back() ^= 0x40;
  cut.pop_back();
  header.resize(12);
  std::vector<unsigned char> foreign = OffsetBlock(0x7FFFFFFF);
  Damage cases[] = {{"flipped", flipped, "checksum"},
                    {"cut", cut, "wrong length"},
                    {"header", header, "truncated header"},
                    {"empty", {}, "is empty"},
                    {"foreign block the filter refuses", foreign, "cannot read"}};
  for (const Damage& d : cases) {
    quortest::WriteAll(path, d.bytes);
    EXPECT_FALSE(LoadFilterSettings(f, kOffset, path.c_str(), error, sizeof error)) << d.what;
    EXPECT_NE(strstr(error, d.reason), nullptr) << d.what << ": " << error;
    EXPECT_EQ(OffsetOf(f), 42) << d.what;
  }
  quortest::WriteAll(path, good);
  EXPECT_FALSE(LoadFilterSettings(f, kDouble, path.c_str(), error, sizeof error));
  EXPECT_NE(strstr(error, "another filter class"), nullptr) << error;
  DeleteFileA(path.c_str());
  EXPECT_FALSE(LoadFilterSettings(f, kOffset, path.c_str(), error, sizeof error));
  EXPECT_NE(strstr(error, "cannot open"), nullptr) << error;
}

// ---- The event dialogs -----------------------------------------------------------------------------

HWND ChildByText(HWND dlg, const char* cls, const char* text) { return FindWindowExA(dlg, nullptr, cls, text); }

TEST_F(Postline, TheAddEventDialogListsTheFiltersAndSetupRunsTheFilters) {
  HWND queue = q->ShowQueueWindow();
  ASSERT_NE(queue, nullptr);
  ShowWindow(queue, SW_HIDE);
  int setupsBefore = filters.setups();
  std::vector<std::string> listed;
  quortest::ModalDriver driver(IDOK);
  driver.Before([&](HWND dlg) {
    HWND list = FindWindowExA(dlg, nullptr, "ListBox", nullptr);
    listed = quortest::ListBoxItems(list);
    quortest::SelectListBoxItem(list, "Test Offset");
    HWND setup = ChildByText(dlg, "Button", "Setup...");
    SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(setup), BN_CLICKED), (LPARAM)setup);
  });
  int added = q->DoAddEventDialog(queue);
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(driver.Caption(), "Add Image Filter Event");
  EXPECT_NE(std::find(listed.begin(), listed.end(), "Test Offset"), listed.end());
  EXPECT_NE(std::find(listed.begin(), listed.end(), "Test Double"), listed.end());
  EXPECT_EQ(std::find(listed.begin(), listed.end(), "Test Thing"), listed.end()) << "only image filters are listed";
  ASSERT_EQ(added, 0);
  ASSERT_EQ(q->NumEvents(), 1);
  EXPECT_EQ(q->GetClassID(0), kOffset);
  EXPECT_EQ(filters.setups(), setupsBefore + 1);
  EXPECT_STREQ(filters.setupTitle(), "Add Image Filter Event") << "ShowControl is given the event dialog";
  EXPECT_EQ(filters.setupQueueShown(), 0) << "the queue window stays hidden while a filter is set up";
  EXPECT_EQ(OffsetOf(q->GetFilter(0)), 7) << "the event keeps the filter that was set up";
  EXPECT_NE(q->GetFilter(0)->Node(), nullptr);

  // The edit dialog has its own title; cancelling changes nothing.
  quortest::ModalDriver cancel(IDCANCEL);
  EXPECT_EQ(q->DoEditEventDialog(queue, 0), 0);
  ASSERT_TRUE(cancel.Wait());
  EXPECT_EQ(cancel.Caption(), "Edit Filter Event");
  EXPECT_EQ(q->NumEvents(), 1);

  // Choosing another class in the edit dialog replaces the event's filter.
  quortest::ModalDriver change(IDOK);
  change.Before([](HWND dlg) {
    quortest::SelectListBoxItem(FindWindowExA(dlg, nullptr, "ListBox", nullptr), "Test Double");
  });
  EXPECT_EQ(q->DoEditEventDialog(queue, 0), 1);
  ASSERT_TRUE(change.Wait());
  EXPECT_EQ(q->GetClassID(0), kDouble);
  EXPECT_EQ(q->NumEvents(), 1);

  quortest::ModalDriver none(IDCANCEL);
  EXPECT_EQ(q->DoAddEventDialog(queue), -1);
  ASSERT_TRUE(none.Wait());
  EXPECT_EQ(q->NumEvents(), 1);
  DestroyWindow(queue);
}

// ---- Display gamma and image windows -----------------------------------------------------------------

TEST(DisplayGamma, TheTableFollowsTheDisplayGamma) {
  const float previous = gammaMgr.dispGamma;
  ASSERT_TRUE(gammaMgr.SetDisplayGamma(2.2f));
  EXPECT_EQ(gammaMgr.dispTable[0], 0);
  EXPECT_EQ(gammaMgr.dispTable[255], 255);
  EXPECT_EQ(gammaMgr.dispTable[128], 186);  // 255 * (128/255)^(1/2.2) = 186.4
  EXPECT_EQ(gammaMgr.dispTable[16], 72);    // 255 * (16/255)^(1/2.2) = 72.4
  for (int i = 1; i < 256; i++) ASSERT_GE(gammaMgr.dispTable[i], gammaMgr.dispTable[i - 1]) << i;
  ASSERT_TRUE(gammaMgr.SetDisplayGamma(1.0f));
  for (int i = 0; i < 256; i++) ASSERT_EQ(gammaMgr.dispTable[i], i) << "gamma 1 changes nothing at " << i;
  EXPECT_FALSE(gammaMgr.SetDisplayGamma(0.0f));
  EXPECT_FALSE(gammaMgr.SetDisplayGamma(NAN));
  EXPECT_FLOAT_EQ(gammaMgr.dispGamma, 1.0f) << "a refused gamma leaves the table as it was";
  EXPECT_EQ(gammaMgr.dispTable[128], 128);
  gammaMgr.SetDisplayGamma(previous);
}

TEST(ImageWindow, ShowsACopyWithItsTitleAndLetsTheBitmapGo) {
  const int kShotWidth = 240, kShotHeight = 90;  // wider than a caption's buttons
  const int live = TheManager->Count();
  BitmapInfo bi;
  bi.SetName("C:\\renders\\shot.png");
  bi.SetWidth(kShotWidth);
  bi.SetHeight(kShotHeight);
  bi.SetType(BMM_TRUE_64);
  Bitmap* bm = TheManager->Create(&bi);
  ASSERT_NE(bm, nullptr);
  HWND titled = nullptr, untitled = nullptr;
  ASSERT_TRUE(bm->Display("Blur Preview", BMM_CENTER, FALSE, TRUE, &titled));
  ASSERT_TRUE(bm->Display(nullptr, BMM_UL, TRUE, FALSE, &untitled));
  bm->DeleteThis();
  ASSERT_TRUE(IsWindow(titled));
  EXPECT_EQ(quortest::WindowText(titled), "Blur Preview");
  EXPECT_EQ(quortest::WindowText(untitled), "shot.png") << "without a title the window shows the file name";
  char cls[64] = "";
  GetClassNameA(titled, cls, sizeof cls);
  EXPECT_STREQ(cls, IMAGEWINDOWCLASS);
  RECT client;
  GetClientRect(untitled, &client);
  EXPECT_EQ(client.right, kShotWidth);
  EXPECT_EQ(client.bottom, kShotHeight);
  EXPECT_NE(GetMenu(titled), nullptr) << "the save button";
  EXPECT_EQ(GetMenu(untitled), nullptr);
  InvalidateRect(titled, nullptr, TRUE);
  UpdateWindow(titled);  // paints from its own copy: the bitmap is gone
  EXPECT_EQ(TheManager->Count(), live + 2);
  DestroyWindow(titled);
  DestroyWindow(untitled);
  EXPECT_EQ(TheManager->Count(), live) << "each window frees its copy";
}

// ---- vantor.exe filter ----------------------------------------------------------------------------

using Outcome = quortest::ProgramOutcome;

Outcome RunVantor(const std::string& args) { return quortest::RunProgram("vantor.exe", "filter " + args); }

int Lines(const std::string& s) {
  int n = 0;
  for (char c : s) n += c == '\n';
  return n;
}

TEST(FilterVerb, RunsAFilterOverTheDefaultBackgroundFrameByFrame) {
  std::string plug = BinPath("testplugins\\testfilt.flt");
  std::string out = TempPath("verb-default.png");
  for (int f = 1; f <= 3; f++) DeleteFileA(Numbered("verb-default", f, ".png").c_str());
  Outcome o = RunVantor("\"" + plug + "\" \"Test Offset\" --default --out \"" + out + "\" --frames 1-3 --size 40x30");
  ASSERT_EQ(o.code, 0u) << o.err;
  EXPECT_NE(o.out.find("frame 3 of 3"), std::string::npos) << o.out;
  for (int f = 1; f <= 3; f++) {
    std::string name = Numbered("verb-default", f, ".png");
    Bitmap* bm = LoadImageFile(name);
    ASSERT_NE(bm, nullptr) << name;
    EXPECT_EQ(bm->Width(), 40);
    EXPECT_EQ(bm->Height(), 30);
    bm->DeleteThis();
    DeleteFileA(name.c_str());
  }
}

// A filter that trips a host assertion in a headless run: the report reaches stderr, one line a
// frame, and the run goes on to write its frames (a message box would wait for no one).
TEST(FilterVerb, AssertionsGoToStderrAndTheRunGoesOn) {
  ResetScene();
  TestFilters filters;
  ASSERT_TRUE(filters.Load());
  ClassDesc* offsetClass = FindClassDesc(FLT_CLASS_ID, kOffset);
  ASSERT_NE(offsetClass, nullptr);
  ImageFilter* f = static_cast<ImageFilter*>(offsetClass->Create(FALSE));
  std::string asserting = TempPath("verb-asserting.vfs");
  const int kAdd = 3;
  std::vector<unsigned char> block = OffsetBlock(kAdd, TESTFILT_ASSERT_EVERY_FRAME);
  f->LoadConfigure(block.data());
  ASSERT_TRUE(SaveFilterSettings(f, kOffset, asserting.c_str()));
  delete f;

  const int kFrames = 2;
  std::string out = TempPath("verb-asserting.png");
  for (int i = 1; i <= kFrames; i++) DeleteFileA(Numbered("verb-asserting", i, ".png").c_str());
  std::string plug = "\"" + BinPath("testplugins\\testfilt.flt") + "\"";
  Outcome o = RunVantor(plug + " \"Test Offset\" --default --size 8x4 --out \"" + out +
                        "\" --frames 1-2 --settings \"" + asserting + "\"");
  EXPECT_EQ(o.code, 0u) << o.err;
  const std::string report = std::string("assertion failed in ") + TESTFILT_ASSERT_SOURCE + " at line " +
                             std::to_string(TESTFILT_ASSERT_LINE);
  EXPECT_NE(o.err.find(report), std::string::npos) << o.err;
  EXPECT_EQ(Lines(o.err), kFrames) << o.err;
  for (int i = 1; i <= kFrames; i++) {
    std::string name = Numbered("verb-asserting", i, ".png");
    EXPECT_TRUE(Exists(name)) << name;
    DeleteFileA(name.c_str());
  }
  DeleteFileA(asserting.c_str());
}

TEST(FilterVerb, BadInputGivesOneLineANonZeroExitAndNoFile) {
  std::string plug = "\"" + BinPath("testplugins\\testfilt.flt") + "\"";
  std::string out = TempPath("verb-bad.png");
  std::string outArg = " --out \"" + out + "\"";
  std::string notImage = TempPath("verb-not-an-image.png");
  quortest::WriteAll(notImage, std::vector<unsigned char>(100, 'x'));
  const int kInputWidth = 16, kInputHeight = 8;
  std::string input = WriteHalfMask(TempPath("verb-input.bmp"), kInputWidth, kInputHeight);
  ASSERT_FALSE(input.empty());
  std::string in = " --in \"" + input + "\"";
  // Settings: a damaged file, and one that makes the filter fail at frame 2.
  ResetScene();
  TestFilters filters;  // loaded here too, so that this test also runs on its own
  ASSERT_TRUE(filters.Load());
  ClassDesc* offsetClass = FindClassDesc(FLT_CLASS_ID, kOffset);
  ASSERT_NE(offsetClass, nullptr);
  ImageFilter* f = static_cast<ImageFilter*>(offsetClass->Create(FALSE));
  std::string failing = TempPath("verb-failing.vfs"), damaged = TempPath("verb-damaged.vfs");
  std::vector<unsigned char> block = OffsetBlock(3, 2);
  f->LoadConfigure(block.data());
  ASSERT_TRUE(SaveFilterSettings(f, kOffset, failing.c_str()));
  delete f;
  std::vector<unsigned char> bytes = quortest::ReadAll(failing);
  bytes[bytes.size() - 2] ^= 1;
  quortest::WriteAll(damaged, bytes);

  struct Case {
    std::string args;
    const char* says;
  } cases[] = {
      {plug + " \"Test Offset\" --in \"" + TempPath("no-such-image.png") + "\"" + outArg, "cannot read the input image"},
      {plug + " \"Test Offset\" --in \"" + notImage + "\"" + outArg, "cannot read the input image"},
      {"\"" + BinPath("testplugins\\no-such-module.flt") + "\" \"Test Offset\"" + in + outArg,
       "cannot load module"},
      {"\"" + BinPath("testplugins\\testplug_none.dlt") + "\" \"Test Offset\"" + in + outArg,
       "is not a plug-in module of this host"},
      {plug + " \"No Such Filter\"" + in + outArg, "the module has no class No Such Filter"},
      {plug + " \"Test Thing\"" + in + outArg, "class Test Thing is not an image filter"},
      {plug + " \"Test Offset\"" + in + outArg + " --settings \"" + damaged + "\"", "damaged (checksum mismatch)"},
      {plug + " \"Test Offset\"" + in + outArg + " --size 0x10", "out of range"},
      {plug + " \"Test Offset\"" + in + outArg + " --size 65536x10", "out of range"},
      {plug + " \"Test Offset\"" + in + outArg + " --size 12by10", "bad size"},
      {plug + " \"Test Offset\"" + in + outArg + " --frames 1-4 --settings \"" + failing + "\"",
       "event 1 (Test Offset) failed at frame 2"},
      {plug + " \"Test Offset\"" + in, "needs --out FILE"},
      {plug + " \"Test Offset\"" + in + outArg + " --mask \"" + TempPath("no-such-mask.png") + "\"",
       "cannot read the mask image"},
      {plug + " \"Test Double\"" + in + outArg + " --mask \"" + input + "\"", "Test Double does not use a mask"},
  };
  for (const Case& c : cases) {
    DeleteFileA(out.c_str());
    Outcome o = RunVantor(c.args);
    EXPECT_NE(o.code, 0u) << c.args;
    EXPECT_NE(o.code, 0xDEADu) << c.args;
    EXPECT_NE(o.err.find(c.says), std::string::npos) << c.args << "\nstderr: " << o.err;
    EXPECT_EQ(Lines(o.err), 1) << o.err;
    EXPECT_FALSE(Exists(out)) << c.args;
    for (const char* left : {"verb-bad0001.png", "verb-bad0001.partial.png", "verb-bad0002.partial.png",
                             "verb-bad.partial.png"})
      EXPECT_FALSE(Exists(TempPath(left))) << left << " after " << c.args;
  }
  Outcome missing = RunVantor("\"" + BinPath("testplugins\\no-such-module.flt") + "\" X" + in + outArg);
  EXPECT_NE(missing.err.find("(error 126)"), std::string::npos) << "the system's reason: " << missing.err;

  // The same input and settings that fail above work for the frames before the failing one.
  Outcome good = RunVantor(plug + " \"Test Offset\"" + in + outArg + " --frames 1 --settings \"" + failing + "\"");
  EXPECT_EQ(good.code, 0u) << good.err;
  EXPECT_TRUE(Exists(out));
  for (const std::string& p : {out, notImage, input, failing, damaged}) DeleteFileA(p.c_str());
}

}  // namespace
