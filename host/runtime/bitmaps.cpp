// Bitmaps: information records, pixel storage with extra channels, outputs and the manager.
#include "vbmm.h"
#include "vcore.h"

#include "bmpfile.h"
#include "wicfile.h"

#include <atomic>
#include <stdio.h>

#include <stdlib.h>
#include <new>
#include <string.h>

namespace {

// The channel bits in the order of their slots in BitmapStorage::channels.
const ULONG kChannelBits[9] = {BMM_CHAN_Z,       BMM_CHAN_MTL_ID,   BMM_CHAN_NODE_ID,
                               BMM_CHAN_UV,      BMM_CHAN_NORMAL,   BMM_CHAN_REALPIX,
                               BMM_CHAN_COVERAGE, BMM_CHAN_BG,      BMM_CHAN_NODE_RENDER_ID};
const int kChannelSizes[9] = {4, 1, 2, 8, 4, 4, 1, 3, 2};

int ChannelSlot(ULONG channel) {
  for (int i = 0; i < 9; i++)
    if (kChannelBits[i] == channel) return i;
  return -1;
}

void CopyText(char* dst, const char* src) {
  if (!src) src = "";
  strncpy(dst, src, MAX_PATH - 1);
  dst[MAX_PATH - 1] = 0;
}

long liveBitmaps = 0;

}  // namespace

int ChannelElementSize(ULONG channel) {
  int slot = ChannelSlot(channel);
  return slot < 0 ? 0 : kChannelSizes[slot];
}

// ---- BitmapInfo ------------------------------------------------------------------------------

BitmapInfo::BitmapInfo()
    : width(0), height(0), aspect(1.0f), flags(0), type(BMM_NO_TYPE), piData(nullptr), piSize(0),
      customFlags(0), customGamma(2.2f), customWidth(0), customHeight(0), gamma(2.2f) {
  name[0] = 0;
  device[0] = 0;
}

BitmapInfo::BitmapInfo(const BitmapInfo& other) : piData(nullptr), piSize(0) { *this = other; }

BitmapInfo& BitmapInfo::operator=(const BitmapInfo& other) {
  if (this == &other) return *this;
  memcpy(name, other.name, sizeof name);
  memcpy(device, other.device, sizeof device);
  width = other.width;
  height = other.height;
  aspect = other.aspect;
  flags = other.flags;
  type = other.type;
  CopyInputSettings(other);
  gamma = other.gamma;
  ResetPiData();
  if (other.piData && AllocPiData(other.piSize)) memcpy(piData, other.piData, piSize);
  return *this;
}

BitmapInfo::~BitmapInfo() { ResetPiData(); }

void BitmapInfo::CopyInputSettings(const BitmapInfo& other) {
  customFlags = other.customFlags;
  customGamma = other.customGamma;
  customWidth = other.customWidth;
  customHeight = other.customHeight;
}

void BitmapInfo::SetName(const char* n) { CopyText(name, n); }

const char* BitmapInfo::Filename() const {
  const char* part = name;
  for (const char* p = name; *p; p++)
    if (*p == '\\' || *p == '/' || *p == ':') part = p + 1;
  return part;
}

void BitmapInfo::SetDevice(const char* d) { CopyText(device, d); }

void* BitmapInfo::AllocPiData(DWORD size) {
  ResetPiData();
  if (size == 0) return nullptr;
  piData = calloc(1, size);
  if (piData) piSize = size;
  return piData;
}

void BitmapInfo::ResetPiData() {
  free(piData);
  piData = nullptr;
  piSize = 0;
}

// ---- BitmapStorage ---------------------------------------------------------------------------

BitmapStorage::BitmapStorage(int w, int h, BMM_Color_64* p)
    : width(w), height(h), pixels(p), present(0), channels(), renderInfo(nullptr) {}

BitmapStorage::~BitmapStorage() {
  DeleteChannels(BMM_CHAN_ALL);
  free(renderInfo);
  free(pixels);
}

int BitmapStorage::GetLinearPixels(int x, int y, int count, BMM_Color_64* out) const {
  if (count < 1 || !out || x < 0 || x >= width || y < 0 || y >= height) return 0;
  size_t start = (size_t)y * width + x;
  if (start + count > (size_t)width * height) return 0;
  memcpy(out, pixels + start, (size_t)count * sizeof(BMM_Color_64));
  return 1;
}

int BitmapStorage::PutPixels(int x, int y, int count, const BMM_Color_64* in) {
  if (count < 1 || !in || x < 0 || x >= width || y < 0 || y >= height) return 0;
  size_t start = (size_t)y * width + x, total = (size_t)width * height;
  size_t n = start + count > total ? total - start : (size_t)count;
  memcpy(pixels + start, in, n * sizeof(BMM_Color_64));
  return 1;
}

int BitmapStorage::Fill(WORD r, WORD g, WORD b, WORD a) {
  BMM_Color_64 c = {r, g, b, a};
  size_t total = (size_t)width * height;
  for (size_t i = 0; i < total; i++) pixels[i] = c;
  return 1;
}

int BitmapStorage::CopyImage(Bitmap* from, int operation, BMM_Color_64 fill) {
  if (!from) return 0;
  const BitmapStorage* src = from->Storage();
  if (!src || !src->pixels) return 0;
  if (operation != COPY_IMAGE_CROP && operation != COPY_IMAGE_RESIZE) return 0;
  if (src == this) return 1;
  const int sw = src->width, sh = src->height;
  if (operation == COPY_IMAGE_CROP) {
    for (int y = 0; y < height; y++) {
      BMM_Color_64* row = pixels + (size_t)y * width;
      int covered = y < sh ? (sw < width ? sw : width) : 0;
      if (covered) memcpy(row, src->pixels + (size_t)y * sw, covered * sizeof(BMM_Color_64));
      for (int x = covered; x < width; x++) row[x] = fill;
    }
    return 1;
  }
  // Nearest pixel by centres: destination pixel x covers source position (x + 0.5) * sw / width.
  for (int y = 0; y < height; y++) {
    const BMM_Color_64* srow = src->pixels + (size_t)(((2 * (int64_t)y + 1) * sh) / (2 * (int64_t)height)) * sw;
    BMM_Color_64* row = pixels + (size_t)y * width;
    for (int x = 0; x < width; x++) row[x] = srow[((2 * (int64_t)x + 1) * sw) / (2 * (int64_t)width)];
  }
  return 1;
}

ULONG BitmapStorage::CreateChannels(ULONG wanted) {
  size_t n = (size_t)width * height;
  for (int i = 0; i < 9; i++) {
    if (!(wanted & kChannelBits[i]) || channels[i]) continue;
    channels[i] = calloc(n, kChannelSizes[i]);
    if (channels[i]) present |= kChannelBits[i];
  }
  return present;
}

void BitmapStorage::DeleteChannels(ULONG which) {
  for (int i = 0; i < 9; i++) {
    if (!(which & kChannelBits[i])) continue;
    free(channels[i]);
    channels[i] = nullptr;
    present &= ~kChannelBits[i];
  }
}

void* BitmapStorage::GetChannel(ULONG channel) const {
  int slot = ChannelSlot(channel);
  return slot < 0 ? nullptr : channels[slot];
}

RenderInfo* BitmapStorage::AllocRenderInfo() {
  if (!renderInfo) renderInfo = static_cast<RenderInfo*>(calloc(1, sizeof(RenderInfo)));
  return renderInfo;
}

// ---- Bitmap ----------------------------------------------------------------------------------

struct Bitmap::Output {
  BitmapInfo info;
  bool written;  // the file exists because this output wrote it
};

Bitmap::Bitmap(const BitmapInfo& bi, BitmapStorage* s) : info(bi), storage(s), outputs(nullptr), outputCount(0) {}

Bitmap::~Bitmap() {
  delete[] outputs;
  delete storage;
}

void Bitmap::DeleteThis() {
  delete this;
  InterlockedDecrement(&liveBitmaps);
}

int Bitmap::FindOutput(const char* name) const {
  for (int i = 0; i < outputCount; i++)
    if (_stricmp(outputs[i].info.Name(), name) == 0) return i;
  return -1;
}

int Bitmap::OpenOutput(const BitmapInfo* bi) {
  if (!bi || !bi->Name()[0] || FindOutput(bi->Name()) >= 0) return 0;
  Output* grown = new (std::nothrow) Output[outputCount + 1];
  if (!grown) return 0;
  for (int i = 0; i < outputCount; i++) grown[i] = outputs[i];
  grown[outputCount].info = *bi;
  grown[outputCount].written = false;
  delete[] outputs;
  outputs = grown;
  outputCount++;
  return 1;
}

int Bitmap::Write(const BitmapInfo* bi) {
  if (!bi) {
    if (!outputCount) return 0;
    int ok = 1;
    for (int i = 0; i < outputCount; i++) {
      if (!WriteImageFile(outputs[i].info.Name(), storage)) ok = 0;
      else outputs[i].written = true;
    }
    return ok;
  }
  int i = FindOutput(bi->Name());
  if (i < 0 || !WriteImageFile(outputs[i].info.Name(), storage)) return 0;
  outputs[i].written = true;
  return 1;
}

int Bitmap::CloseOutput(int i, int flag) {
  if (flag == BMM_CLOSE_ABANDON && outputs[i].written) DeleteFileA(outputs[i].info.Name());
  for (int j = i + 1; j < outputCount; j++) outputs[j - 1] = outputs[j];
  outputCount--;
  return 1;
}

int Bitmap::Close(const BitmapInfo* bi, int flag) {
  int i = bi ? FindOutput(bi->Name()) : -1;
  return i < 0 ? 0 : CloseOutput(i, flag);
}

int Bitmap::CloseAll(int flag) {
  int n = 0;
  while (outputCount > 0) n += CloseOutput(outputCount - 1, flag);
  return n;
}

int Bitmap::OutputCount() const { return outputCount; }

// ---- BitmapManager ---------------------------------------------------------------------------

Bitmap* BitmapManager::Create(const BitmapInfo* bi) {
  if (!bi || bi->Width() == 0 || bi->Height() == 0 || !(bi->Aspect() > 0.0f) || bi->Type() == BMM_NO_TYPE)
    return nullptr;
  // Sizes past the image limit are refused rather than reserved: 65535 x 65535 16-bit pixels
  // would be 34 GB, which a 64-bit heap may hand out lazily and fail on at first touch.
  if (!ImageSizeAllowed(bi->Width(), bi->Height())) return nullptr;
  size_t n = (size_t)bi->Width() * bi->Height();
  BMM_Color_64* pixels = static_cast<BMM_Color_64*>(calloc(n, sizeof(BMM_Color_64)));
  if (!pixels) return nullptr;
  BitmapStorage* storage = new (std::nothrow) BitmapStorage(bi->Width(), bi->Height(), pixels);
  if (!storage) {
    free(pixels);
    return nullptr;
  }
  Bitmap* bm = new (std::nothrow) Bitmap(*bi, storage);
  if (!bm) {
    delete storage;
    return nullptr;
  }
  InterlockedIncrement(&liveBitmaps);
  return bm;
}

int BitmapManager::Count() { return (int)liveBitmaps; }

Interface* BitmapManager::Iface() { return GetCOREInterface(); }

namespace {
std::atomic<bool> silentMode{false};
}

BOOL BitmapManager::SetSilentMode(BOOL on) { return silentMode.exchange(on != 0, std::memory_order_acq_rel); }
BOOL BitmapManager::SilentMode() { return silentMode.load(std::memory_order_acquire); }

namespace {
// Shows a failed load to the user: the reaction outside silent mode.
void ShowLoadFailure(const char* name) {
  char text[MAX_PATH + 64];
  snprintf(text, sizeof text, "Cannot load the image file\n%s", name);
  MessageBoxA(nullptr, text, "Bitmap Loading Error", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}
}  // namespace

Bitmap* BitmapManager::Load(BitmapInfo* bi) {
  if (!bi) return nullptr;
  int w = 0, h = 0;
  BMM_Color_64* pixels = ReadImageFileWIC(bi->Name(), &w, &h);
  Bitmap* bm = nullptr;
  if (pixels) {
    bi->SetWidth((WORD)w);
    bi->SetHeight((WORD)h);
    if (bi->Type() == BMM_NO_TYPE) bi->SetType(BMM_TRUE_64);
    if (!(bi->Aspect() > 0.0f)) bi->SetAspect(1.0f);
    bm = Create(bi);
    if (bm) bm->PutPixels(0, 0, w * h, pixels);
    free(pixels);
  }
  // The input option "custom size": the image as read, resized into a bitmap of that size (held
  // by Create to the same limit as an image read from a file).
  if (bm && (bi->GetCustomFlags() & BMM_CUSTOM_RESIZE) && bi->GetCustomWidth() && bi->GetCustomHeight()) {
    bi->SetWidth(bi->GetCustomWidth());
    bi->SetHeight(bi->GetCustomHeight());
    Bitmap* sized = Create(bi);
    BMM_Color_64 none = {0, 0, 0, 0};
    if (sized) sized->Storage()->CopyImage(bm, COPY_IMAGE_RESIZE, none);
    bm->DeleteThis();
    bm = sized;
  }
  // Whatever failed (the file, its size, memory for the bitmap), the caller gets null.
  if (!bm && !SilentMode()) ShowLoadFailure(bi->Name());
  return bm;
}

namespace {
BitmapManager theManager;
}

BitmapManager* TheManager = &theManager;
