// The host's bitmaps: creation, pixel access, extra channels, image copies and outputs.
#include "vantor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <psapi.h>
#include <stdint.h>
#include <string.h>

#include <atomic>
#include <string>
#include <vector>

using quortest::ReadAll;
using quortest::SetU32;
using quortest::TempPath;
using quortest::U32;
using quortest::WriteAll;

namespace {

BitmapInfo Info(int w, int h, int type = BMM_TRUE_64) {
  BitmapInfo bi;
  bi.SetName("test");
  bi.SetWidth((WORD)w);
  bi.SetHeight((WORD)h);
  bi.SetType(type);
  return bi;
}

// A w x h bitmap deleted at the end of the scope.
struct Scoped {
  Scoped(int w, int h) {
    BitmapInfo bi = Info(w, h);
    bm = TheManager->Create(&bi);
  }
  ~Scoped() {
    if (bm) bm->DeleteThis();
  }
  Bitmap* operator->() { return bm; }
  operator Bitmap*() { return bm; }
  Bitmap* bm;
};

BMM_Color_64 Px(int v) { return BMM_Color_64{(WORD)v, (WORD)(v + 1), (WORD)(v + 2), (WORD)(v + 3)}; }

bool Same(const BMM_Color_64& a, const BMM_Color_64& b) { return memcmp(&a, &b, sizeof a) == 0; }

// Pixel (x, y) holds Px(100 * y + 10 * x).
void Number(Bitmap* bm) {
  for (int y = 0; y < bm->Height(); y++)
    for (int x = 0; x < bm->Width(); x++) {
      BMM_Color_64 p = Px(100 * y + 10 * x);
      bm->PutPixels(x, y, 1, &p);
    }
}

BMM_Color_64 At(Bitmap* bm, int x, int y) {
  BMM_Color_64 p = {};
  bm->GetLinearPixels(x, y, 1, &p);
  return p;
}

// A 24-bit bottom-up Windows bitmap file whose header claims w x h pixels, followed by dataBytes
// bytes of pixel data of value fill (a whole image has BmpStride(w) x h).
const size_t kBmpHeaderBytes = 54;
size_t BmpStride(uint32_t w) { return ((size_t)w * 3 + 3) & ~(size_t)3; }
std::vector<unsigned char> BmpFile(uint32_t w, uint32_t h, size_t dataBytes, unsigned char fill = 0x80) {
  std::vector<unsigned char> f(kBmpHeaderBytes, 0);
  f.resize(kBmpHeaderBytes + dataBytes, fill);
  f[0] = 'B';
  f[1] = 'M';
  SetU32(f, 2, (uint32_t)(kBmpHeaderBytes + BmpStride(w) * h));  // the size the header claims
  SetU32(f, 10, (uint32_t)kBmpHeaderBytes);
  SetU32(f, 14, 40);
  SetU32(f, 18, w);
  SetU32(f, 22, h);
  jlib::WriteLE16(&f[26], 1);   // planes
  jlib::WriteLE16(&f[28], 24);  // bits per pixel
  return f;
}

// The memory this process has committed (Wine answers it as the page-file usage and leaves
// PrivateUsage 0).
size_t Committed() {
  PROCESS_MEMORY_COUNTERS_EX pmc = {};
  pmc.cb = sizeof pmc;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof pmc))
    return 0;
  return pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
}

// The most memory committed at any moment while a CommitWatch lives, sampled every millisecond
// on its own thread: Wine answers the current commit as the peak.
class CommitWatch {
 public:
  CommitWatch() : most(Committed()), thread(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {}
  ~CommitWatch() { Most(); }
  size_t Most() {
    if (thread) {
      stop.store(true, std::memory_order_release);
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
      thread = nullptr;
    }
    return most;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    CommitWatch* w = static_cast<CommitWatch*>(self);
    while (!w->stop.load(std::memory_order_acquire)) {
      size_t now = Committed();
      if (now > w->most) w->most = now;
      Sleep(1);
    }
    return 0;
  }
  std::atomic<bool> stop{false};
  size_t most;
  HANDLE thread;
};

}  // namespace

TEST(BitmapInfo, KeepsItsSettingsAndCopiesDriverData) {
  BitmapInfo bi;
  EXPECT_EQ(bi.Aspect(), 1.0f);
  EXPECT_EQ(bi.Type(), BMM_NO_TYPE);
  bi.SetName("C:\\maps\\sub/wood.bmp");
  EXPECT_STREQ(bi.Filename(), "wood.bmp");
  bi.SetFlags(0x1);
  bi.SetFlags(MAP_HAS_ALPHA);
  bi.ResetFlags(0x1);
  EXPECT_EQ(bi.Flags(), MAP_HAS_ALPHA) << "SetFlags adds bits, ResetFlags removes them";
  bi.SetName(std::string(400, 'n').c_str());
  EXPECT_EQ(strlen(bi.Name()), (size_t)MAX_PATH - 1);

  unsigned char* pi = static_cast<unsigned char*>(bi.AllocPiData(16));
  ASSERT_NE(pi, nullptr);
  pi[3] = 42;
  BitmapInfo copy(bi);
  ASSERT_NE(copy.GetPiData(), bi.GetPiData()) << "the copy owns its own block";
  EXPECT_EQ(static_cast<unsigned char*>(copy.GetPiData())[3], 42);
  bi.ResetPiData();
  EXPECT_EQ(bi.GetPiData(), nullptr);
  EXPECT_EQ(copy.GetPiDataSize(), 16u);
}

TEST(BitmapManager, CreatesFromTheInformationAndCountsLiveBitmaps) {
  const int before = TheManager->Count();
  BitmapInfo bi = Info(5, 3);
  bi.SetAspect(1.5f);
  bi.SetFlags(MAP_HAS_ALPHA);
  Bitmap* bm = TheManager->Create(&bi);
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(TheManager->Count(), before + 1);
  EXPECT_EQ(bm->Width(), 5);
  EXPECT_EQ(bm->Height(), 3);
  EXPECT_EQ(bm->Aspect(), 1.5f);
  EXPECT_EQ(bm->Flags(), MAP_HAS_ALPHA);
  EXPECT_TRUE(Same(At(bm, 4, 2), BMM_Color_64{0, 0, 0, 0}));
  bm->DeleteThis();
  EXPECT_EQ(TheManager->Count(), before);

  BitmapInfo zeroWide = Info(0, 3), untyped = Info(2, 2, BMM_NO_TYPE), flat = Info(2, 2);
  flat.SetAspect(0.0f);
  const int kSideAtLimit = 16384;  // a square image may be this wide at most
  BitmapInfo huge = Info(kSideAtLimit + 1, kSideAtLimit);  // past the limit: refused, not reserved
  for (BitmapInfo* bad : {&zeroWide, &untyped, &flat, &huge, (BitmapInfo*)nullptr})
    EXPECT_EQ(TheManager->Create(bad), nullptr);
  EXPECT_EQ(TheManager->Count(), before);
}

TEST(BitmapStorage, LinearReadsAndWritesRunAcrossRows) {
  Scoped bm(4, 3);
  ASSERT_NE(bm.bm, nullptr);
  Number(bm);
  BMM_Color_64 run[6];
  ASSERT_EQ(bm->GetLinearPixels(2, 0, 6, run), 1);
  const int expected[6] = {20, 30, 100, 110, 120, 130};
  for (int i = 0; i < 6; i++) EXPECT_TRUE(Same(run[i], Px(expected[i]))) << i;

  EXPECT_EQ(bm->GetLinearPixels(1, 2, 4, run), 0) << "a read past the last pixel reads nothing";
  EXPECT_EQ(bm->GetLinearPixels(4, 0, 1, run), 0);
  EXPECT_EQ(bm->GetLinearPixels(0, 0, 0, run), 0);

  BMM_Color_64 five[5] = {Px(1), Px(2), Px(3), Px(4), Px(5)};
  EXPECT_EQ(bm->PutPixels(1, 2, 5, five), 1) << "a write is cut at the end of the image";
  EXPECT_TRUE(Same(At(bm, 0, 2), Px(200)));
  EXPECT_TRUE(Same(At(bm, 3, 2), Px(3)));
  EXPECT_EQ(bm->PutPixels(0, 3, 1, five), 0);

  bm->Fill(65535, 0, 7, 65535);
  EXPECT_TRUE(Same(At(bm, 0, 0), BMM_Color_64{65535, 0, 7, 65535}));
  EXPECT_TRUE(Same(At(bm, 3, 2), BMM_Color_64{65535, 0, 7, 65535}));
}

TEST(BitmapStorage, ChannelsAreMadeOnRequestAndKept) {
  EXPECT_EQ(ChannelElementSize(BMM_CHAN_Z), 4);
  EXPECT_EQ(ChannelElementSize(0x003), 0) << "one channel at a time";
  Scoped bm(3, 2);
  BitmapStorage* s = bm->Storage();
  EXPECT_EQ(s->CreateChannels(BMM_CHAN_Z | BMM_CHAN_BG | 0x400), (ULONG)(BMM_CHAN_Z | BMM_CHAN_BG))
      << "unknown bits are ignored";
  float* z = static_cast<float*>(s->GetChannel(BMM_CHAN_Z));
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z[5], 0.0f);
  z[5] = 2.5f;  // the last element is ours to write
  EXPECT_EQ(s->CreateChannels(BMM_CHAN_UV), (ULONG)(BMM_CHAN_Z | BMM_CHAN_BG | BMM_CHAN_UV))
      << "the answer is the whole set present";
  EXPECT_EQ(static_cast<float*>(s->GetChannel(BMM_CHAN_Z))[5], 2.5f) << "present channels are kept";
  EXPECT_EQ(s->GetChannel(BMM_CHAN_Z | BMM_CHAN_BG), nullptr) << "one channel at a time";
  s->DeleteChannels(BMM_CHAN_BG);
  EXPECT_EQ(s->ChannelsPresent(), (ULONG)(BMM_CHAN_Z | BMM_CHAN_UV));
  EXPECT_EQ(s->GetChannel(BMM_CHAN_BG), nullptr);

  EXPECT_EQ(s->GetRenderInfo(), nullptr);
  RenderInfo* ri = s->AllocRenderInfo();
  ASSERT_NE(ri, nullptr);
  ri->words[64] = 77;
  EXPECT_EQ(s->AllocRenderInfo(), ri) << "an existing record is kept";
}

TEST(BitmapStorage, CropCopyFillsWhatTheSourceDoesNotCover) {
  Scoped src(2, 2), dst(3, 3);
  Number(src);
  const BMM_Color_64 fill = {1, 2, 3, 4};
  ASSERT_EQ(dst->Storage()->CopyImage(src, COPY_IMAGE_CROP, fill), 1);
  for (int y = 0; y < 3; y++)
    for (int x = 0; x < 3; x++)
      EXPECT_TRUE(Same(At(dst, x, y), x < 2 && y < 2 ? Px(100 * y + 10 * x) : fill)) << x << "," << y;
  // A larger source is cut to the destination.
  Number(dst);
  ASSERT_EQ(src->Storage()->CopyImage(dst, COPY_IMAGE_CROP, fill), 1);
  EXPECT_TRUE(Same(At(src, 1, 1), Px(110)));

  EXPECT_EQ(dst->Storage()->CopyImage(nullptr, COPY_IMAGE_CROP, fill), 0);
  EXPECT_EQ(dst->Storage()->CopyImage(src, 7, fill), 0);
  EXPECT_EQ(dst->Storage()->CopyImage(dst, COPY_IMAGE_RESIZE, fill), 1) << "a copy onto itself changes nothing";
  EXPECT_TRUE(Same(At(dst, 2, 2), Px(220)));
}

TEST(BitmapStorage, ResizingCopyTakesTheNearestPixelCentre) {
  Scoped a(4, 4), b(2, 2), c(8, 2);
  Number(a);
  ASSERT_EQ(b->Storage()->CopyImage(a, COPY_IMAGE_RESIZE, BMM_Color_64{}), 1);
  // Destination pixel x covers source x in [2x, 2x + 2); its centre falls on source 2x + 1.
  for (int y = 0; y < 2; y++)
    for (int x = 0; x < 2; x++) EXPECT_TRUE(Same(At(b, x, y), Px(200 * y + 20 * x + 110))) << x << "," << y;
  // Enlarging repeats each source pixel: 2 wide to 8 wide gives four copies of each.
  Number(b);
  ASSERT_EQ(c->Storage()->CopyImage(b, COPY_IMAGE_RESIZE, BMM_Color_64{}), 1);
  for (int x = 0; x < 8; x++) EXPECT_TRUE(Same(At(c, x, 1), Px(100 + 10 * (x / 4)))) << x;
}

TEST(BitmapOutputs, WriteAWindowsBitmapAndCloseKeepingOrRemovingIt) {
  Scoped bm(3, 2);
  // Top row red, bottom row (0x12, 0x34, 0x56) in the high bytes.
  const BMM_Color_64 red = {0xFF00, 0x00FF, 0, 65535}, other = {0x1200, 0x3400, 0x56FF, 65535};
  for (int x = 0; x < 3; x++) {
    bm->PutPixels(x, 0, 1, &red);
    bm->PutPixels(x, 1, 1, &other);
  }
  const std::string kept = TempPath("quor_bm_kept.bmp"), dropped = TempPath("quor_bm_dropped.bmp");
  BitmapInfo out1, out2, unknown;
  out1.SetName(kept.c_str());
  out2.SetName(dropped.c_str());
  unknown.SetName(TempPath("quor_bm.xyz").c_str());
  ASSERT_EQ(bm->OpenOutput(&out1), 1);
  EXPECT_EQ(bm->OpenOutput(&out1), 0) << "an output is open once";
  ASSERT_EQ(bm->OpenOutput(&out2), 1);
  EXPECT_EQ(bm->Write(&unknown), 0) << "not an open output";
  ASSERT_EQ(bm->Write(nullptr), 1);

  // 54 bytes of headers, then bottom-up rows of blue, green, red padded from 9 to 12 bytes.
  std::vector<unsigned char> f = ReadAll(kept);
  ASSERT_EQ(f.size(), 54u + 2 * 12);
  EXPECT_EQ(U32(f, 18), 3u);
  EXPECT_EQ(U32(f, 22), 2u);
  EXPECT_EQ(std::vector<unsigned char>(f.begin() + 54, f.begin() + 57), (std::vector<unsigned char>{0x56, 0x34, 0x12}));
  EXPECT_EQ(std::vector<unsigned char>(f.begin() + 66, f.begin() + 69), (std::vector<unsigned char>{0x00, 0x00, 0xFF}));

  EXPECT_EQ(bm->Close(&out2, BMM_CLOSE_ABANDON), 1);
  EXPECT_EQ(GetFileAttributesA(dropped.c_str()), INVALID_FILE_ATTRIBUTES) << "abandoning removes the file";
  EXPECT_EQ(bm->Close(&out2, BMM_CLOSE_COMPLETE), 0);
  ASSERT_EQ(bm->OpenOutput(&unknown), 1);
  EXPECT_EQ(bm->Write(&unknown), 0) << "no writer for the extension";
  EXPECT_EQ(bm->CloseAll(BMM_CLOSE_COMPLETE), 2);
  EXPECT_EQ(bm->OutputCount(), 0);
  EXPECT_NE(GetFileAttributesA(kept.c_str()), INVALID_FILE_ATTRIBUTES) << "completing keeps the file";
  DeleteFileA(kept.c_str());
}

TEST(BitmapOutputs, PngTiffAndJpegFilesWrittenRowByRowReadBack) {
  const int kW = 5, kH = 3;
  Scoped bm(kW, kH);
  ASSERT_NE(bm.bm, nullptr);
  // Pixel (x, y) has the high bytes (40x, 80y, 20(x + y)); the files keep 8 bits a channel.
  auto colour = [](int x, int y) {
    return BMM_Color_64{(WORD)(40 * x * 257), (WORD)(80 * y * 257), (WORD)(20 * (x + y) * 257), 65535};
  };
  for (int y = 0; y < kH; y++)
    for (int x = 0; x < kW; x++) {
      BMM_Color_64 p = colour(x, y);
      bm->PutPixels(x, y, 1, &p);
    }
  BOOL wasSilent = TheManager->SetSilentMode(TRUE);
  for (const char* name : {"quor_rows.png", "quor_rows.tif"}) {
    const std::string path = TempPath(name);
    BitmapInfo out;
    out.SetName(path.c_str());
    ASSERT_EQ(bm->OpenOutput(&out), 1);
    ASSERT_EQ(bm->Write(&out), 1) << name;
    bm->CloseAll(BMM_CLOSE_COMPLETE);
    BitmapInfo in;
    in.SetName(path.c_str());
    Bitmap* back = TheManager->Load(&in);
    ASSERT_NE(back, nullptr) << name;
    EXPECT_EQ(back->Width(), kW);
    EXPECT_EQ(back->Height(), kH);
    for (int y = 0; y < kH; y++)
      for (int x = 0; x < kW; x++) EXPECT_TRUE(Same(At(back, x, y), colour(x, y))) << name << " " << x << "," << y;
    back->DeleteThis();
    DeleteFileA(path.c_str());
  }
  // JPEG loses detail but keeps the size.
  const std::string jpeg = TempPath("quor_rows.jpg");
  BitmapInfo out;
  out.SetName(jpeg.c_str());
  ASSERT_EQ(bm->OpenOutput(&out), 1);
  ASSERT_EQ(bm->Write(&out), 1);
  bm->CloseAll(BMM_CLOSE_COMPLETE);
  Bitmap* back = TheManager->Load(&out);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Width(), kW);
  EXPECT_EQ(back->Height(), kH);
  back->DeleteThis();
  DeleteFileA(jpeg.c_str());
  TheManager->SetSilentMode(wasSilent);
}

// ---- Loading image files -----------------------------------------------------------------------

namespace {

// Sizes that a few bytes of header can claim: more pixels than any image allowed here, and sizes
// whose pixel counts times 4 (8-bit) or 8 (16-bit channels) wrap 32-bit sizes.
const uint32_t kHugeSizes[][2] = {{30000, 30000}, {32768, 32768}, {65535, 32769}, {65535, 65535}};
// What loading one of them may commit on top of what the process had: far below any of their
// pixels.
const size_t kAllowedGrowth = (size_t)256 << 20;
const int kHugeHeaderPassed = 100, kNoCounters = 99;

}  // namespace

// In a child process, so that an allocation that throws ends the child and not the suite.
QUORTEST_CHILD(HugeHeaders) {
  BOOL wasSilent = TheManager->SetSilentMode(TRUE);
  const int live = TheManager->Count();
  const std::string path = TempPath("quor_huge.bmp");
  if (Committed() == 0) return kNoCounters;
  int failed = 0;
  for (const auto& size : kHugeSizes) {
    failed++;
    WriteAll(path, BmpFile(size[0], size[1], 16));
    const size_t before = Committed();
    CommitWatch watch;
    BitmapInfo bi;
    bi.SetName(path.c_str());
    if (TheManager->Load(&bi) || TheManager->Count() != live) return failed;
    if (watch.Most() - before > kAllowedGrowth) return 50 + failed;
  }
  DeleteFileA(path.c_str());
  TheManager->SetSilentMode(wasSilent);
  return kHugeHeaderPassed;
}

TEST(BitmapLoading, AHeaderClaimingAHugeSizeFailsWithoutAllocatingForIt) {
  EXPECT_EQ(quortest::RunChild("HugeHeaders"), (DWORD)kHugeHeaderPassed)
      << "1 to 4: the size that loaded; 51 to 54: the size that allocated for its pixels; 99: no memory counters";
}

TEST(BitmapLoading, PixelDataCutShortFailsAndLeavesTheRecord) {
  const uint32_t kSide = 64;
  BOOL wasSilent = TheManager->SetSilentMode(TRUE);
  const int live = TheManager->Count();
  const std::string path = TempPath("quor_cut.bmp");
  for (size_t kept : {(size_t)0, BmpStride(kSide), BmpStride(kSide) * kSide - 1}) {
    WriteAll(path, BmpFile(kSide, kSide, kept));
    BitmapInfo bi;
    bi.SetName(path.c_str());
    EXPECT_EQ(TheManager->Load(&bi), nullptr) << kept << " bytes of pixels";
    EXPECT_EQ(bi.Width(), 0) << "a failed load leaves the size as it was";
    EXPECT_EQ(TheManager->Count(), live);
  }
  // The whole file loads.
  WriteAll(path, BmpFile(kSide, kSide, BmpStride(kSide) * kSide));
  BitmapInfo bi;
  bi.SetName(path.c_str());
  Bitmap* bm = TheManager->Load(&bi);
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(bm->Width(), (int)kSide);
  EXPECT_EQ(At(bm, kSide - 1, kSide - 1).r, 0x80 * 257);
  bm->DeleteThis();
  DeleteFileA(path.c_str());
  TheManager->SetSilentMode(wasSilent);
}

TEST(BitmapLoading, OutsideSilentModeEveryFailureIsShown) {
  const uint32_t kSide = 4;
  const WORD kHugeCustom = 65535;
  BOOL wasSilent = TheManager->SetSilentMode(FALSE);
  const int live = TheManager->Count();
  const std::string corrupt = TempPath("quor_corrupt.bmp"), good = TempPath("quor_good.bmp");
  WriteAll(corrupt, BmpFile(kHugeSizes[0][0], kHugeSizes[0][1], 16));
  WriteAll(good, BmpFile(kSide, kSide, BmpStride(kSide) * kSide));

  BitmapInfo bad;
  bad.SetName(corrupt.c_str());
  // A good file read at a custom size beyond what a bitmap may have fails making that bitmap.
  BitmapInfo tooLarge;
  tooLarge.SetName(good.c_str());
  tooLarge.SetCustomFlag(BMM_CUSTOM_RESIZE);
  tooLarge.SetCustomWidth(kHugeCustom);
  tooLarge.SetCustomHeight(kHugeCustom);
  for (BitmapInfo* bi : {&bad, &tooLarge}) {
    quortest::ModalDriver box(IDOK);
    EXPECT_EQ(TheManager->Load(bi), nullptr);
    ASSERT_TRUE(box.Wait()) << bi->Name();
    EXPECT_EQ(box.Caption(), "Bitmap Loading Error");
    EXPECT_EQ(box.Text(), std::string("Cannot load the image file\n") + bi->Name());
    EXPECT_EQ(TheManager->Count(), live);
  }
  DeleteFileA(corrupt.c_str());
  DeleteFileA(good.c_str());
  TheManager->SetSilentMode(wasSilent);
}

// ---- Image windows ------------------------------------------------------------------------------

namespace {

// The colour an image window shows at (x, y) of its client area once painted.
COLORREF Shown(HWND hwnd, int x, int y) {
  InvalidateRect(hwnd, nullptr, FALSE);
  UpdateWindow(hwnd);
  return quortest::WindowPixel(hwnd, x, y);
}

}  // namespace

TEST(ImageWindowGamma, PaintsThroughTheTableAsItIsAtEachPaint) {
  const int kSide = 8;
  const BYTE kR = 0x80, kG = 0x40, kB = 0x20;
  Scoped bm(kSide, kSide);
  ASSERT_NE(bm.bm, nullptr);
  bm->Fill(kR << 8, kG << 8, kB << 8, 65535);
  const GammaMgr saved = gammaMgr;
  gammaMgr.enable = FALSE;
  HWND hwnd = nullptr;
  ASSERT_TRUE(bm->Display("Gamma", BMM_UL, TRUE, FALSE, &hwnd));
  EXPECT_EQ(Shown(hwnd, kSide / 2, kSide / 2), RGB(kR, kG, kB)) << "gamma off: the bytes as they are";

  for (int i = 0; i < 256; i++) gammaMgr.dispTable[i] = (BYTE)(255 - i);
  gammaMgr.enable = TRUE;
  EXPECT_EQ(Shown(hwnd, kSide / 2, kSide / 2), RGB(255 - kR, 255 - kG, 255 - kB));
  // A table changed after a paint is what the next paint uses.
  gammaMgr.SetDisplayGamma(1.0f);
  EXPECT_EQ(Shown(hwnd, 0, 0), RGB(kR, kG, kB));
  for (int i = 0; i < 256; i++) gammaMgr.dispTable[i] = (BYTE)(i / 2);
  EXPECT_EQ(Shown(hwnd, kSide - 1, kSide - 1), RGB(kR / 2, kG / 2, kB / 2));
  gammaMgr.enable = FALSE;
  EXPECT_EQ(Shown(hwnd, 0, kSide - 1), RGB(kR, kG, kB));
  gammaMgr = saved;
  DestroyWindow(hwnd);
}
