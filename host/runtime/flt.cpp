// The image-filter base: the state the host keeps for every filter, and filter settings files.
#include "builtins.h"
#include "vflt.h"

#include <stdio.h>
#include <string.h>

#include <new>
#include <vector>

namespace {

// Holds the filter's node as a reference, so that the node lives as long as the filter (and as
// long as a queue event references it too).
class NodeHolder : public ReferenceMaker {
 public:
  ~NodeHolder() override { DeleteAllRefsFromMe(); }
  int NumRefs() override { return 1; }
  RefTargetHandle GetReference(int) override { return node; }
  void SetReference(int, RefTargetHandle r) override { node = dynamic_cast<ITavrelNode*>(r); }
  ITavrelNode* node = nullptr;
};

}  // namespace

struct ImageFilter::State {
  HWND dlg = nullptr;
  Bitmap* source = nullptr;
  Bitmap* foreground = nullptr;
  Bitmap* mask = nullptr;
  ImageFilterInfo info = {640, 480, 1.0f, 0, 0, 0};
  NodeHolder holder;
};

ImageFilter::ImageFilter() : state(new State) {}
ImageFilter::~ImageFilter() { delete state; }

void ImageFilter::ShowAbout(HWND hWnd) {
  char text[1024];
  snprintf(text, sizeof text, "%s\n\n%s\n%s", Description(), AuthorName(), CopyrightMessage());
  MessageBoxA(hWnd, text, Description(), MB_OK | MB_ICONINFORMATION);
}

BOOL ImageFilter::ShowControl(HWND) { return FALSE; }
BOOL ImageFilter::LoadConfigure(void*) { return TRUE; }
BOOL ImageFilter::SaveConfigure(void*) { return TRUE; }
DWORD ImageFilter::EvaluateConfigure() { return 0; }
void ImageFilter::FilterUpdate() {}
ULONG ImageFilter::ChannelsRequired() { return BMM_CHAN_NONE; }

HWND ImageFilter::DlgHandle() const { return state->dlg; }
void ImageFilter::SetDlgHandle(HWND hWnd) { state->dlg = hWnd; }
Bitmap* ImageFilter::Source() const { return state->source; }
void ImageFilter::SetSource(Bitmap* bm) { state->source = bm; }
Bitmap* ImageFilter::Foreground() const { return state->foreground; }
void ImageFilter::SetForeground(Bitmap* bm) { state->foreground = bm; }
Bitmap* ImageFilter::Mask() const { return state->mask; }
void ImageFilter::SetMask(Bitmap* bm) { state->mask = bm; }
ImageFilterInfo* ImageFilter::FilterInfo() const { return &state->info; }
void ImageFilter::SetFilterInfo(const ImageFilterInfo* info) {
  if (info) state->info = *info;
}

ITavrelNode* ImageFilter::Node() const { return state->holder.node; }

ITavrelNode* ImageFilter::CreateNode() {
  ITavrelNode* node = new (std::nothrow) ITavrelNode;
  if (!node) return nullptr;
  SetNode(node);
  return Node();
}

void ImageFilter::SetNode(ITavrelNode* node) { state->holder.ReplaceReference(0, node, TRUE); }

// ---- Settings files ------------------------------------------------------------------------------

namespace {

const char kSettingsMagic[8] = {'V', 'F', 'L', 'T', 'S', 'E', 'T', '1'};
const size_t kSettingsHeader = 8 + 8 + 4 + 4;  // magic, class id, block size, checksum
const DWORD kMaxBlock = 64u << 20;             // no filter keeps a block near this size

uint32_t Checksum(const unsigned char* p, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; i++) {
    crc ^= p[i];
    for (int k = 0; k < 8; k++) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

int Fail(char* error, int size, const char* fmt, const char* what) {
  if (error && size > 0) snprintf(error, (size_t)size, fmt, what);
  return 0;
}

}  // namespace

int SaveFilterSettings(ImageFilter* filter, const Class_ID& classID, const char* path) {
  if (!filter || !path) return 0;
  DWORD size = filter->EvaluateConfigure();
  if (size > kMaxBlock) return 0;
  std::vector<unsigned char> bytes(kSettingsHeader + size);
  if (size && !filter->SaveConfigure(&bytes[kSettingsHeader])) return 0;
  memcpy(bytes.data(), kSettingsMagic, 8);
  PutU32(&bytes[8], classID.PartA());
  PutU32(&bytes[12], classID.PartB());
  PutU32(&bytes[16], size);
  PutU32(&bytes[20], Checksum(bytes.data() + kSettingsHeader, size));
  FILE* f = fopen(path, "wb");
  if (!f) return 0;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fclose(f) == 0 && ok;
  if (!ok) remove(path);
  return ok ? 1 : 0;
}

int LoadFilterSettings(ImageFilter* filter, const Class_ID& classID, const char* path, char* error,
                       int errorSize) {
  if (!filter || !path) return Fail(error, errorSize, "%s", "no filter or no settings file");
  FILE* f = fopen(path, "rb");
  if (!f) return Fail(error, errorSize, "cannot open the settings file %s", path);
  std::vector<unsigned char> bytes;
  unsigned char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0 && bytes.size() <= kMaxBlock) bytes.insert(bytes.end(), chunk, chunk + n);
  fclose(f);
  if (bytes.empty()) return Fail(error, errorSize, "the settings file %s is empty", path);
  if (bytes.size() > kMaxBlock + kSettingsHeader) return Fail(error, errorSize, "the settings file %s is too large", path);
  if (bytes.size() < 8 || memcmp(bytes.data(), kSettingsMagic, 8) != 0) {
    // Not the host's format: the filter may know it. Zeros after the end stop a reader that
    // looks for a terminator.
    bytes.resize(bytes.size() + 16, 0);
    if (!filter->LoadConfigure(bytes.data()))
      return Fail(error, errorSize, "the filter cannot read the settings file %s", path);
    return 1;
  }
  if (bytes.size() < kSettingsHeader) return Fail(error, errorSize, "the settings file %s is damaged (truncated header)", path);
  if (Class_ID(GetU32(&bytes[8]), GetU32(&bytes[12])) != classID)
    return Fail(error, errorSize, "the settings file %s belongs to another filter class", path);
  uint32_t size = GetU32(&bytes[16]);
  if (size != bytes.size() - kSettingsHeader)
    return Fail(error, errorSize, "the settings file %s is damaged (wrong length)", path);
  if (Checksum(bytes.data() + kSettingsHeader, size) != GetU32(&bytes[20]))
    return Fail(error, errorSize, "the settings file %s is damaged (checksum mismatch)", path);
  // The block comes without its size: one shorter than the filter's own would be over-read.
  if (size < filter->EvaluateConfigure())
    return Fail(error, errorSize, "the settings file %s does not fit this version of the filter", path);
  if (!filter->LoadConfigure(size ? &bytes[kSettingsHeader] : nullptr))
    return Fail(error, errorSize, "the filter refused the settings in %s", path);
  return 1;
}
