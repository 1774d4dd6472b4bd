// Scratch bitmaps, bitmap copies with channels, nearest-neighbour fitting, the centred copy and
// the default background, each compared with the plain formulas that define them.
#include "GuardPage.h"
#include "ImagingTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using imgtest::PixelAt;
using imgtest::Random;
using imgtest::SamePixel;
using imgtest::ScratchBitmap;
using quortest::GuardPageBuffer;

namespace {

// The resize rule as defined: index i of n takes (m - 1) i / (n - 1), index 0 takes 0.
int RuleIndex(int i, int n, int m) { return i == 0 ? 0 : (int)((int64_t)(m - 1) * i / (n - 1)); }

std::vector<unsigned char> FitByRule(const unsigned char* src, int sw, int sh, int dw, int dh, int bpp) {
  std::vector<unsigned char> out((size_t)dw * dh * bpp);
  for (int y = 0; y < dh; y++)
    for (int x = 0; x < dw; x++)
      memcpy(&out[((size_t)y * dw + x) * bpp], src + ((size_t)RuleIndex(y, dh, sh) * sw + RuleIndex(x, dw, sw)) * bpp,
             bpp);
  return out;
}

void FillRandom(Bitmap* bm, Random& rnd) {
  for (int y = 0; y < bm->Height(); y++)
    for (int x = 0; x < bm->Width(); x++) {
      BMM_Color_64 p = {rnd.Word(), rnd.Word(), rnd.Word(), rnd.Word()};
      bm->PutPixels(x, y, 1, &p);
    }
}

BMM_Color_24 High(const BMM_Color_64& p) { return BMM_Color_24{(BYTE)(p.r >> 8), (BYTE)(p.g >> 8), (BYTE)(p.b >> 8)}; }

// The bar index of column x of a w-wide line: bar k spans [(w k) / 6, (w (k + 1)) / 6).
int Bar(int x, int w) {
  for (int k = 0; k < 5; k++)
    if (x < (w * (k + 1)) / 6) return k;
  return 5;
}

const BMM_Color_24 kBars24[6] = {{255, 0, 0}, {255, 255, 0}, {0, 255, 0}, {0, 255, 255}, {0, 0, 255}, {255, 0, 255}};

struct ChannelDef {
  ULONG bit;
  int bytes;
};
const ChannelDef kAllChannels[9] = {{0x002, 1}, {0x004, 2}, {0x001, 4}, {0x010, 4}, {0x008, 8},
                                    {0x020, 4}, {0x040, 1}, {0x080, 3}, {0x100, 2}};

void FillChannel(Bitmap* bm, ULONG bit, int bytes, Random& rnd) {
  unsigned char* c = static_cast<unsigned char*>(bm->Storage()->GetChannel(bit));
  for (size_t i = 0; i < (size_t)bm->Width() * bm->Height() * bytes; i++) c[i] = (unsigned char)rnd.Next();
}

// A random image with every extra channel, each filled with random bytes.
void FillEverything(Bitmap* bm, Random& rnd) {
  FillRandom(bm, rnd);
  bm->Storage()->CreateChannels(BMM_CHAN_ALL);
  for (const ChannelDef& c : kAllChannels) FillChannel(bm, c.bit, c.bytes, rnd);
}

bool SameChannel(Bitmap* a, Bitmap* b, ULONG bit, int bytes) {
  return memcmp(a->Storage()->GetChannel(bit), b->Storage()->GetChannel(bit),
                (size_t)a->Width() * a->Height() * bytes) == 0;
}

bool SameImage(Bitmap* a, Bitmap* b) {
  if (a->Width() != b->Width() || a->Height() != b->Height()) return false;
  for (int y = 0; y < a->Height(); y++)
    for (int x = 0; x < a->Width(); x++)
      if (!SamePixel(PixelAt(a, x, y), PixelAt(b, x, y))) return false;
  return true;
}

}  // namespace

// ---- Scratch bitmaps -------------------------------------------------------------------------

TEST(JCreateBitmap, MakesANamed64BitBitmapWithAlphaAndReplacesThePreviousOne) {
  const int live = TheManager->Count();
  Bitmap* bm = nullptr;
  ASSERT_EQ(JCreateBitmap(bm, 7, 5, 1.25f), 1);
  ASSERT_NE(bm, nullptr);
  EXPECT_TRUE(bm->Width() == 7 && bm->Height() == 5 && bm->Aspect() == 1.25f);
  EXPECT_STREQ(bm->Info().Name(), "FilterTemp.");
  EXPECT_EQ(bm->Flags() & 0x4, 0x4u) << "an alpha channel";
  EXPECT_EQ(bm->Type(), 7) << "64 bits";

  ASSERT_EQ(JCreateBitmap(bm, 3, 3, 1.0f), 1);
  EXPECT_EQ(bm->Width(), 3);
  EXPECT_EQ(TheManager->Count(), live + 1) << "the previous bitmap was deleted";
  EXPECT_EQ(JCreateBitmap(bm, 0, 3, 1.0f), 0);
  EXPECT_EQ(bm, nullptr) << "a failed creation still deletes what bm held";
  EXPECT_EQ(TheManager->Count(), live);

  ASSERT_EQ(JCreateBitmap(bm, 2, 2, 1.0f), 1);
  JDeleteBitmap(bm);
  EXPECT_EQ(bm, nullptr);
  JDeleteBitmap(bm);  // nothing to delete
  EXPECT_EQ(TheManager->Count(), live);
}

// ---- Element arrays --------------------------------------------------------------------------

TEST(JCopyFitArray, EveryElementSizeFollowsTheRuleWithoutTouchingMemoryOutside) {
  // Source and destination each end at a no-access page: an access past either end faults.
  const int sizes[] = {1, 2, 3, 4, 7, 13};
  Random rnd(7);
  for (int bpp : {1, 2, 3, 4, 5, 8})
    for (int sw : sizes)
      for (int sh : sizes)
        for (int dw : sizes)
          for (int dh : {1, 3, 7}) {
            const size_t srcBytes = (size_t)sw * sh * bpp, dstBytes = (size_t)dw * dh * bpp;
            GuardPageBuffer srcPage(srcBytes), dstPage(dstBytes);
            unsigned char *src = srcPage.Tail(srcBytes), *dst = dstPage.Tail(dstBytes);
            for (size_t i = 0; i < srcBytes; i++) src[i] = (unsigned char)rnd.Next();
            JCopyFit(dst, dw, dh, src, sw, sh, bpp);
            std::vector<unsigned char> want = FitByRule(src, sw, sh, dw, dh, bpp);
            ASSERT_EQ(memcmp(dst, want.data(), want.size()), 0)
                << sw << "x" << sh << " -> " << dw << "x" << dh << " at " << bpp << " bytes";
          }
}

// ---- Bitmap to 24-bit buffer -----------------------------------------------------------------

TEST(BitmapToBuffer, FitStretchesTheHighBytesByTheRuleAndCopyCentresThemOnBlack) {
  Random rnd(11);
  // Buffer w, h, then bitmap w, h. Centred, 9 x 9 in 10 x 10 sits at the top left (offsets 0),
  // 13 wide in 10 shows bitmap columns 1 to 10 (offset -1), 12 high in 9 rows 1 to 9.
  const int shapes[][4] = {{11, 9, 5, 4},  {5, 4, 11, 9}, {1, 1, 6, 6}, {3, 7, 1, 7}, {8, 3, 8, 3},
                           {10, 10, 9, 9}, {10, 4, 13, 4}, {6, 9, 3, 12}, {7, 5, 2, 1}};
  for (bool fit : {true, false})
    for (auto& s : shapes) {
      const int w = s[0], h = s[1], bw = s[2], bh = s[3];
      ScratchBitmap bm(bw, bh);
      FillRandom(bm.get(), rnd);
      std::vector<BMM_Color_24> buf((size_t)w * h, BMM_Color_24{7, 7, 7});
      ASSERT_EQ(fit ? JCopyFit(buf.data(), w, h, bm.get()) : JCopy(buf.data(), w, h, bm.get()), 1);
      const int offX = (w - bw) / 2, offY = (h - bh) / 2;
      for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
          const int sx = fit ? RuleIndex(x, w, bw) : x - offX, sy = fit ? RuleIndex(y, h, bh) : y - offY;
          BMM_Color_24 want = sx >= 0 && sx < bw && sy >= 0 && sy < bh ? High(PixelAt(bm.get(), sx, sy)) : BMM_Color_24{};
          ASSERT_TRUE(SamePixel(buf[(size_t)y * w + x], want))
              << (fit ? "fit " : "centred ") << bw << "x" << bh << " in " << w << "x" << h << " at " << x << "," << y;
        }
    }
  ScratchBitmap bm(2, 2);
  BMM_Color_24 px = {};
  EXPECT_EQ(JCopyFit(&px, 0, 1, bm.get()), 0);
  EXPECT_EQ(JCopyFit(&px, 1, 0, bm.get()), 0);
}

// ---- Default background ----------------------------------------------------------------------

TEST(JFillDefault, BuffersAndBitmapsFollowTheFormulasAtEverySizeWithARamp) {
  // Bars above row 2h/3 (a buffer keeps at least one row of them), the grey ramp below; a
  // bitmap gets 16-bit values with full alpha, and a buffer needs two rows.
  for (int w = 2; w <= 40; w++)
    for (int h = 1; h <= 13; h++) {
      std::vector<BMM_Color_24> buf((size_t)w * h);
      ASSERT_EQ(JFillDefault(buf.data(), w, h), h >= 2 ? 1 : 0);
      ScratchBitmap bm(w, h);
      ASSERT_EQ(JFillDefault(bm.get()), 1);
      const int r = 2 * h / 3, rampRow = std::max(r, 1);
      for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
          const BMM_Color_24& c = kBars24[Bar(x, w)];
          const BYTE v = (BYTE)(255 * x / (w - 1));
          const WORD v16 = (WORD)(65535 * x / (w - 1));
          ASSERT_TRUE(h < 2 || SamePixel(buf[(size_t)y * w + x], y < rampRow ? c : BMM_Color_24{v, v, v}))
              << w << "x" << h << " buffer at " << x << "," << y;
          const BMM_Color_64 want = y < r ? BMM_Color_64{(WORD)(c.r * 257), (WORD)(c.g * 257), (WORD)(c.b * 257), 65535}
                                          : BMM_Color_64{v16, v16, v16, 65535};
          ASSERT_TRUE(SamePixel(PixelAt(bm.get(), x, y), want)) << w << "x" << h << " bitmap at " << x << "," << y;
        }
    }
  // Sizes without a ramp (one column, or one row for a buffer) are refused and nothing is written.
  BMM_Color_24 buf[4] = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
  EXPECT_EQ(JFillDefault(buf, 1, 4), 0);
  EXPECT_EQ(JFillDefault(buf, 4, 1), 0);
  EXPECT_EQ(buf[0].r, 9);
  ScratchBitmap thin(1, 5);
  EXPECT_EQ(JFillDefault(thin.get()), 0);
  EXPECT_TRUE(SamePixel(PixelAt(thin.get(), 0, 0), BMM_Color_64{}));
  EXPECT_EQ(JFillDefault((Bitmap*)nullptr), 0);
}

// ---- Bitmap to bitmap ------------------------------------------------------------------------

TEST(JCopyBitmap, CopiesTheImageAndTheAskedChannelsTheSourceHas) {
  Random rnd(3);
  ScratchBitmap src(6, 4), dst(6, 4), bare(6, 4);
  FillEverything(src.get(), rnd);
  ASSERT_EQ(JCopyBitmap(dst.get(), src.get(), BMM_CHAN_ALL), 1);
  EXPECT_TRUE(SameImage(dst.get(), src.get()));
  EXPECT_EQ(dst->Storage()->ChannelsPresent(), (ULONG)BMM_CHAN_ALL);
  for (const ChannelDef& c : kAllChannels) EXPECT_TRUE(SameChannel(dst.get(), src.get(), c.bit, c.bytes)) << c.bit;

  // Channels 0: the image alone, without render information.
  src->Storage()->AllocRenderInfo()->words[0] = 5;
  ASSERT_EQ(JCopyBitmap(bare.get(), src.get(), 0), 1);
  EXPECT_TRUE(SameImage(bare.get(), src.get()));
  EXPECT_EQ(bare->Storage()->ChannelsPresent(), 0u);
  EXPECT_EQ(bare->Storage()->GetRenderInfo(), nullptr);

  // Only channels both asked for and present are made and copied.
  ScratchBitmap partSrc(3, 3), partDst(3, 3);
  partSrc->Storage()->CreateChannels(BMM_CHAN_Z | BMM_CHAN_UV);
  FillChannel(partSrc.get(), BMM_CHAN_Z, 4, rnd);
  ASSERT_EQ(JCopyBitmap(partDst.get(), partSrc.get(), BMM_CHAN_Z | BMM_CHAN_BG), 1);
  EXPECT_EQ(partDst->Storage()->ChannelsPresent(), (ULONG)BMM_CHAN_Z);
  EXPECT_TRUE(SameChannel(partDst.get(), partSrc.get(), BMM_CHAN_Z, 4));
}

TEST(JCopyBitmap, RenderInformationGoesWithTheTopBit) {
  ScratchBitmap src(2, 2), dst(2, 2), plain(2, 2);
  RenderInfo* ri = src->Storage()->AllocRenderInfo();
  for (int i = 0; i < 65; i++) ri->words[i] = 1000u + i;
  ASSERT_EQ(JCopyBitmap(dst.get(), src.get(), JCOPY_RENDERINFO), 1);
  ASSERT_NE(dst->Storage()->GetRenderInfo(), nullptr);
  EXPECT_EQ(memcmp(dst->Storage()->GetRenderInfo(), ri, 260), 0);

  // A destination record is overwritten; a source without one leaves the destination's alone.
  ri->words[64] = 1;
  ASSERT_EQ(JCopyBitmap(dst.get(), src.get(), JCOPY_RENDERINFO), 1);
  EXPECT_EQ(dst->Storage()->GetRenderInfo()->words[64], 1u);
  ASSERT_EQ(JCopyBitmap(dst.get(), plain.get(), JCOPY_RENDERINFO), 1);
  EXPECT_EQ(dst->Storage()->GetRenderInfo()->words[64], 1u);
}

TEST(JCopyBitmap, NullBitmapsAndAFaultingSourceFail) {
  ScratchBitmap src(2, 2), dst(2, 2);
  src->Fill(1, 2, 3, 4);
  EXPECT_EQ(JCopyBitmap(nullptr, src.get(), 0), 0);
  EXPECT_EQ(JCopyBitmap(dst.get(), nullptr, 0), 0);

  // A bitmap pointer into memory that cannot be read, as a stale pointer would be.
  void* page = VirtualAlloc(nullptr, 4096, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS);
  Bitmap* stale = static_cast<Bitmap*>(page);
  EXPECT_EQ(JCopyBitmap(dst.get(), stale, BMM_CHAN_ALL), 0);
  // The trap is disarmed again: copies work, and a second fault is trapped the same way.
  EXPECT_EQ(JCopyBitmap(dst.get(), src.get(), 0), 1);
  EXPECT_TRUE(SamePixel(PixelAt(dst.get(), 1, 1), BMM_Color_64{1, 2, 3, 4}));
  EXPECT_EQ(JCopyBitmap(dst.get(), stale, 0), 0);
  VirtualFree(page, 0, MEM_RELEASE);
}

TEST(JCopyFitBitmap, ResizesTheImageByTheHostAndEachChannelByTheRuleUnlessTheDestinationHoldsOthers) {
  Random rnd(9);
  ScratchBitmap src(7, 5), dst(3, 11), hostCopy(3, 11);
  FillEverything(src.get(), rnd);
  src->Storage()->AllocRenderInfo()->words[3] = 33;

  ASSERT_EQ(JCopyFit(dst.get(), src.get(), BMM_CHAN_ALL | JCOPY_RENDERINFO), 1);
  ASSERT_EQ(hostCopy->Storage()->CopyImage(src.get(), COPY_IMAGE_RESIZE, BMM_Color_64{}), 1);
  EXPECT_TRUE(SameImage(dst.get(), hostCopy.get()));
  ASSERT_NE(dst->Storage()->GetRenderInfo(), nullptr);
  EXPECT_EQ(dst->Storage()->GetRenderInfo()->words[3], 33u);
  for (const ChannelDef& c : kAllChannels) {
    std::vector<unsigned char> want =
        FitByRule(static_cast<unsigned char*>(src->Storage()->GetChannel(c.bit)), 7, 5, 3, 11, c.bytes);
    EXPECT_EQ(memcmp(dst->Storage()->GetChannel(c.bit), want.data(), want.size()), 0) << c.bit;
  }

  // It fails when the destination holds other channels; a copy without channels is still fine.
  ScratchBitmap zSrc(4, 4), other(2, 2);
  zSrc->Storage()->CreateChannels(BMM_CHAN_Z);
  other->Storage()->CreateChannels(BMM_CHAN_COVERAGE);
  EXPECT_EQ(JCopyFit(other.get(), zSrc.get(), BMM_CHAN_Z), 0);
  EXPECT_EQ(JCopyFit(other.get(), zSrc.get(), 0), 1);
}

TEST(JCopyFitBitmap, ANullSourceIsReportedThroughTheLibraryAssertion) {
  ScratchBitmap dst(2, 2);
  quortest::ModalDriver driver(IDNO);
  EXPECT_EQ(JCopyFit(dst.get(), (Bitmap*)nullptr, 0), 0);
  ASSERT_TRUE(driver.Wait());
  EXPECT_EQ(driver.Caption(), "Assertion failed");
  EXPECT_NE(driver.Text().find("File: JBITMAP\nLine: 182\n"), std::string::npos) << driver.Text();
}
