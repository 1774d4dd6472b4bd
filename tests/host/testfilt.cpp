// A plug-in module of image filters for the Postline tests: Test Offset adds its offset to every
// pixel's red channel (where its mask lets it), Test Double doubles it; both record each Render
// call. A third class that is not a filter lets the host tell filters from other classes.
#include "testfilt.h"
#include "vantor.h"

#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

std::vector<TestRenderCall> renderLog;
int setupCount = 0;
std::string setupTitle;
int setupQueueShown = -1;

// The offset's configuration block: offset, then the frame at which Render fails (-1: never;
// TESTFILT_ASSERT_EVERY_FRAME: none, but every Render reports an assertion), each a little-endian
// 32-bit integer.
const DWORD kConfigSize = 8;

void PutLE32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = (unsigned char)(v >> (8 * i));
}
uint32_t GetLE32(const unsigned char* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

// Applies f to the red channel of every pixel of the source; with a mask, only where the mask's
// red is at least half.
template <class F>
BOOL EachRed(ImageFilter* filter, int add, F f) {
  Bitmap* bm = filter->Source();
  if (!bm) return FALSE;
  Bitmap* mask = filter->Mask();
  renderLog.push_back(TestRenderCall{add, filter->FilterInfo()->frame, bm->Width(), bm->Height(),
                                     filter->Foreground() != nullptr, mask ? mask->Width() : 0,
                                     mask ? mask->Height() : 0});
  const WORD kHalf = 0x8000;
  std::vector<BMM_Color_64> row((size_t)bm->Width()), maskRow((size_t)bm->Width());
  for (int y = 0; y < bm->Height(); y++) {
    bm->GetLinearPixels(0, y, bm->Width(), row.data());
    if (mask) mask->GetLinearPixels(0, y, bm->Width(), maskRow.data());
    for (size_t x = 0; x < row.size(); x++) {
      if (mask && maskRow[x].r < kHalf) continue;
      long v = f((long)row[x].r);
      row[x].r = (WORD)(v < 0 ? 0 : v > 65535 ? 65535 : v);
    }
    bm->PutPixels(0, y, bm->Width(), row.data());
  }
  return TRUE;
}

class OffsetFilter : public ImageFilter {
 public:
  const char* Description() override { return "Test Offset"; }
  const char* AuthorName() override { return "Quorlib tests"; }
  const char* CopyrightMessage() override { return "none"; }
  UINT Version() override { return 100; }
  DWORD Capability() override { return IMGFLT_FILTER | IMGFLT_CONTROL | IMGFLT_MASK; }
  BOOL ShowControl(HWND hWnd) override {
    setupCount++;
    char title[128] = "";
    if (hWnd) GetWindowTextA(hWnd, title, sizeof title);
    setupTitle = title;
    // The host is asked for its queue window while the setup runs: it must not come.
    HWND queue = GetPostline()->ShowQueueWindow();
    setupQueueShown = queue && IsWindowVisible(queue) ? 1 : 0;
    add = kSetupOffset;
    return TRUE;
  }
  DWORD EvaluateConfigure() override { return kConfigSize; }
  BOOL SaveConfigure(void* p) override {
    PutLE32(static_cast<unsigned char*>(p), (uint32_t)add);
    PutLE32(static_cast<unsigned char*>(p) + 4, (uint32_t)failAt);
    return TRUE;
  }
  BOOL LoadConfigure(void* p) override {
    if (!p) return TRUE;
    int newAdd = (int)GetLE32(static_cast<unsigned char*>(p));
    // An offset beyond a whole channel is not a configuration of this filter: nothing changes.
    if (newAdd < -65535 || newAdd > 65535) return FALSE;
    add = newAdd;
    failAt = (int)GetLE32(static_cast<unsigned char*>(p) + 4);
    return TRUE;
  }
  BOOL Render(HWND) override {
    if (FilterInfo()->frame == failAt) return FALSE;
    if (failAt == TESTFILT_ASSERT_EVERY_FRAME) assert1(TESTFILT_ASSERT_LINE, TESTFILT_ASSERT_SOURCE);
    return EachRed(this, add, [this](long r) { return r + add; });
  }
  static const int kSetupOffset = 7;
  int add = 1;
  int failAt = -1;
};

class DoubleFilter : public ImageFilter {
 public:
  const char* Description() override { return "Test Double"; }
  const char* AuthorName() override { return "Quorlib tests"; }
  const char* CopyrightMessage() override { return "none"; }
  UINT Version() override { return 100; }
  DWORD Capability() override { return IMGFLT_FILTER | IMGFLT_COMPOSITOR; }
  BOOL Render(HWND) override { return EachRed(this, TESTFILT_DOUBLE_MARK, [](long r) { return 2 * r; }); }
};

struct Thing {
  int unused;
};

template <class T>
class FilterDesc : public ClassDesc {
 public:
  FilterDesc(const char* name, ULONG b) : name(name), b(b) {}
  int IsPublic() override { return 1; }
  void* Create(BOOL) override { return static_cast<ImageFilter*>(new T); }
  const char* ClassName() override { return name; }
  SClass_ID SuperClassID() override { return FLT_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(TESTFILT_CLASS_A, b); }
  const char* Category() override { return "Test Filters"; }

 private:
  const char* name;
  ULONG b;
};

class ThingDesc : public ClassDesc {
 public:
  int IsPublic() override { return 1; }
  void* Create(BOOL) override { return new Thing{0}; }
  const char* ClassName() override { return "Test Thing"; }
  SClass_ID SuperClassID() override { return REF_TARGET_CLASS_ID; }
  Class_ID ClassID() override { return Class_ID(TESTFILT_CLASS_A, TESTFILT_THING_B); }
  const char* Category() override { return "Test"; }
};

FilterDesc<OffsetFilter> offsetDesc("Test Offset", TESTFILT_OFFSET_B);
FilterDesc<DoubleFilter> doubleDesc("Test Double", TESTFILT_DOUBLE_B);
ThingDesc thingDesc;
ClassDesc* const kClasses[] = {&offsetDesc, &doubleDesc, &thingDesc};

}  // namespace

extern "C" __declspec(dllexport) const char* LibDescription() { return "Postline test filters"; }
extern "C" __declspec(dllexport) int LibNumberClasses() { return 3; }
extern "C" __declspec(dllexport) ClassDesc* LibClassDesc(int i) { return i >= 0 && i < 3 ? kClasses[i] : nullptr; }
extern "C" __declspec(dllexport) ULONG LibVersion() { return VANTOR_VERSION_LIB; }

extern "C" __declspec(dllexport) int TestFilterLogCount() { return (int)renderLog.size(); }
extern "C" __declspec(dllexport) int TestFilterLogEntry(int i, TestRenderCall* out) {
  if (i < 0 || i >= (int)renderLog.size() || !out) return 0;
  *out = renderLog[(size_t)i];
  return 1;
}
extern "C" __declspec(dllexport) void TestFilterLogClear() { renderLog.clear(); }
extern "C" __declspec(dllexport) int TestFilterSetupCount() { return setupCount; }
extern "C" __declspec(dllexport) const char* TestFilterSetupTitle() { return setupTitle.c_str(); }
extern "C" __declspec(dllexport) int TestFilterSetupQueueShown() { return setupQueueShown; }
