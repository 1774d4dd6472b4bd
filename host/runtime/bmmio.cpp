// The bitmap manager's image file handlers, its image information read and its input dialogs:
// image information, input device and input options. Every handler reads and writes through the
// Windows Imaging Component (wicfile.cpp).
#include "vantor.h"

#include "custctrl.h"
#include "hostlock.h"
#include "hostres.h"
#include "wicfile.h"

#include <stdio.h>
#include <string.h>

#include <atomic>
#include <new>

namespace {

// The super class of image file handlers.
const SClass_ID kIoSuperClass = 0x00000C70;

// One handler's class, as a plug-in's descriptor would describe it.
class HandlerDesc : public ClassDesc {
 public:
  HandlerDesc(const char* name, ULONG id, int isPublic) : name(name), id(id), isPublic(isPublic) {}
  int IsPublic() override { return isPublic; }
  void* Create(BOOL) override { return nullptr; }  // the handlers are built into the runtime
  const char* ClassName() override { return name; }
  SClass_ID SuperClassID() override { return kIoSuperClass; }
  Class_ID ClassID() override { return Class_ID(id, 0x56424D4Du); }
  const char* Category() override { return "Bitmap I/O"; }

 private:
  const char* name;
  ULONG id;
  int isPublic;
};

struct HandlerEntry {
  const char* shortDesc;
  const char* longDesc;
  const char* const* exts;
  int extCount;
  DWORD capability;
  HandlerDesc* cd;
};

const char* const kBmpExts[] = {"bmp", "dib"};
const char* const kPngExts[] = {"png"};
const char* const kJpegExts[] = {"jpg", "jpe", "jpeg"};
const char* const kTiffExts[] = {"tif", "tiff"};
const char* const kGifExts[] = {"gif"};
const char* const kDumpExts[] = {"vfd"};

HandlerDesc bmpDesc("BMP", 1, 1), pngDesc("PNG", 2, 1), jpegDesc("JPEG", 3, 1), tiffDesc("TIF", 4, 1),
    gifDesc("GIF", 5, 1), dumpDesc("Frame Dump", 6, 1), captureDesc("Video Capture", 7, 0);

// The handlers in list order. The frame dump only writes, and the capture device has no files
// (and is not a public class): neither belongs in a list of readable files.
const HandlerEntry kHandlers[] = {
    {"BMP", "BMP Image File", kBmpExts, 2, BMMIO_READER | BMMIO_WRITER, &bmpDesc},
    {"PNG", "PNG Image File", kPngExts, 1, BMMIO_READER | BMMIO_WRITER, &pngDesc},
    {"JPEG", "JPEG File", kJpegExts, 3, BMMIO_READER | BMMIO_WRITER, &jpegDesc},
    {"TIF", "TIF Image File", kTiffExts, 2, BMMIO_READER | BMMIO_WRITER, &tiffDesc},
    {"GIF", "GIF Image File", kGifExts, 1, BMMIO_READER, &gifDesc},
    {"Frame Dump", "Vantor Frame Dump", kDumpExts, 1, BMMIO_WRITER, &dumpDesc},
    {"Video Capture", "Video Capture Device", nullptr, 0, BMMIO_READER, &captureDesc},
};

// The input devices the host offers: a name per device, as stored in BitmapInfo::Device.
const char* const kDevices[] = {"Video Capture Device"};

std::atomic<int> fieldOrder{0};

// The image paths; entries are never removed, so a pointer handed out stays valid.
const int kMaxMapDirs = 64;
char mapDirs[kMaxMapDirs][MAX_PATH];
int mapDirCount = 0;
SRWLOCK mapDirLock = SRWLOCK_INIT;

// The handler whose extensions include the file's, or null.
BMM_IOHandler* HandlerFor(const char* path) {
  const char* dot = strrchr(path, '.');
  if (!dot || strpbrk(dot, "\\/:")) return nullptr;
  BMM_IOList& list = TheManager->ioList;
  if (!list.ListIsLoaded()) list.LoadDLLs();
  for (int i = 0; i < list.Count(); i++) {
    BMM_IOHandler* h = list[i];
    for (int e = 0; h && e < h->NumExtensions(); e++)
      if (_stricmp(h->Extension(e), dot + 1) == 0) return h;
  }
  return nullptr;
}

void SetFloatText(HWND dlg, int id, const char* fmt, double value) {
  char text[64];
  snprintf(text, sizeof text, fmt, value);
  SetDlgItemTextA(dlg, id, text);
}

INT_PTR CALLBACK InfoProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    const BitmapInfo* bi = reinterpret_cast<const BitmapInfo*>(lp);
    SetDlgItemTextA(dlg, IDC_BMMINFO_NAME, bi->Name());
    BMM_IOHandler* h = HandlerFor(bi->Name());
    SetDlgItemTextA(dlg, IDC_BMMINFO_FORMAT, h ? h->LongDescription() : "Unknown format");
    char size[64];
    snprintf(size, sizeof size, "%u x %u pixels", (unsigned)bi->Width(), (unsigned)bi->Height());
    SetDlgItemTextA(dlg, IDC_BMMINFO_SIZE, size);
    SetFloatText(dlg, IDC_BMMINFO_ASPECT, "%.3f", bi->Aspect());
    SetFloatText(dlg, IDC_BMMINFO_GAMMA, "%.2f", bi->Gamma());
    return TRUE;
  }
  if (msg == WM_COMMAND && (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL)) {
    EndDialog(dlg, 1);
    return TRUE;
  }
  return FALSE;
}

INT_PTR CALLBACK DeviceProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  HWND list = GetDlgItem(dlg, IDC_BMMDEV_LIST);
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(dlg, GWLP_USERDATA, lp);
    for (const char* d : kDevices) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d));
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  bool dbl = LOWORD(wp) == IDC_BMMDEV_LIST && HIWORD(wp) == LBN_DBLCLK;
  if (LOWORD(wp) == IDOK || dbl) {
    LRESULT at = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (at < 0 || at >= (LRESULT)(sizeof kDevices / sizeof kDevices[0])) return TRUE;
    reinterpret_cast<BitmapInfo*>(GetWindowLongPtrA(dlg, GWLP_USERDATA))->SetDevice(kDevices[at]);
    EndDialog(dlg, 1);
    return TRUE;
  }
  if (LOWORD(wp) == IDCANCEL) {
    EndDialog(dlg, 0);
    return TRUE;
  }
  return FALSE;
}

void EnableSize(HWND dlg) {
  BOOL on = IsDlgButtonChecked(dlg, IDC_BMMINPUT_RESIZE) == BST_CHECKED;
  EnableWindow(GetDlgItem(dlg, IDC_BMMINPUT_WIDTH), on);
  EnableWindow(GetDlgItem(dlg, IDC_BMMINPUT_HEIGHT), on);
}

INT_PTR CALLBACK InputProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) {
    SetWindowLongPtrA(dlg, GWLP_USERDATA, lp);
    const BitmapInfo* bi = reinterpret_cast<const BitmapInfo*>(lp);
    CheckDlgButton(dlg, IDC_BMMINPUT_RESIZE, (bi->GetCustomFlags() & BMM_CUSTOM_RESIZE) ? BST_CHECKED : BST_UNCHECKED);
    // Without a custom size yet, the image's own size is offered.
    SetDlgItemInt(dlg, IDC_BMMINPUT_WIDTH, bi->GetCustomWidth() ? bi->GetCustomWidth() : bi->Width(), FALSE);
    SetDlgItemInt(dlg, IDC_BMMINPUT_HEIGHT, bi->GetCustomHeight() ? bi->GetCustomHeight() : bi->Height(), FALSE);
    EnableSize(dlg);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wp)) {
    case IDC_BMMINPUT_RESIZE:
      EnableSize(dlg);
      return TRUE;
    case IDOK: {
      BitmapInfo* bi = reinterpret_cast<BitmapInfo*>(GetWindowLongPtrA(dlg, GWLP_USERDATA));
      bool resize = IsDlgButtonChecked(dlg, IDC_BMMINPUT_RESIZE) == BST_CHECKED;
      UINT w = GetDlgItemInt(dlg, IDC_BMMINPUT_WIDTH, nullptr, FALSE);
      UINT h = GetDlgItemInt(dlg, IDC_BMMINPUT_HEIGHT, nullptr, FALSE);
      if (resize && (w < 1 || w > 65535 || h < 1 || h > 65535)) {
        MessageBoxA(dlg, "The custom size must be 1 to 65535 pixels each way.", "Image Input Options",
                    MB_OK | MB_ICONWARNING);
        return TRUE;
      }
      if (resize) {
        bi->SetCustomFlag(BMM_CUSTOM_RESIZE);
        bi->SetCustomWidth((WORD)w);
        bi->SetCustomHeight((WORD)h);
      } else {
        bi->ResetCustomFlag(BMM_CUSTOM_RESIZE);
      }
      EndDialog(dlg, 1);
      return TRUE;
    }
    case IDCANCEL:
      EndDialog(dlg, 0);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

// ---- Handlers --------------------------------------------------------------------------------

const char* BMM_IOHandler::Extension(int i) const { return i >= 0 && i < extCount ? exts[i] : nullptr; }

struct BMM_IOList::Node {
  BMM_IOHandler handler;
  Node* next;
};

BMM_IOList::BMM_IOList() : head(nullptr), count(0), loaded(FALSE) {}

BMM_IOList::~BMM_IOList() {
  while (head) {
    Node* next = head->next;
    delete head;
    head = next;
  }
}

int BMM_IOList::LoadDLLs() {
  if (loaded) return count;
  Node** tail = &head;
  for (const HandlerEntry& s : kHandlers) {
    Node* n = new (std::nothrow) Node;
    if (!n) break;
    n->handler.shortDesc = s.shortDesc;
    n->handler.longDesc = s.longDesc;
    n->handler.exts = s.exts;
    n->handler.extCount = s.extCount;
    n->handler.capability = s.capability;
    n->handler.cd = s.cd;
    n->next = nullptr;
    *tail = n;
    tail = &n->next;
    count++;
  }
  loaded = TRUE;
  return count;
}

BMM_IOHandler* BMM_IOList::operator[](int i) const {
  Node* n = i >= 0 ? head : nullptr;
  while (n && i-- > 0) n = n->next;
  if (!n) {
    assert1(62, "linklist");
    return nullptr;
  }
  return &n->handler;
}

// ---- Manager services ------------------------------------------------------------------------

int BitmapManager::GetImageInfo(BitmapInfo* bi) {
  if (!bi) return BMMRES_FILENOTFOUND;
  int result = BMMRES_SUCCESS;
  int w = 0, h = 0;
  float aspect = 1.0f, gamma = 2.2f;
  if (GetFileAttributesA(bi->Name()) == INVALID_FILE_ATTRIBUTES)
    result = BMMRES_FILENOTFOUND;
  else if (!ReadImageInfoWIC(bi->Name(), &w, &h, &aspect, &gamma))
    result = BMMRES_INVALIDFORMAT;
  if (result != BMMRES_SUCCESS) {
    if (!SilentMode()) {
      char text[MAX_PATH + 64];
      snprintf(text, sizeof text, result == BMMRES_FILENOTFOUND ? "File not found\n%s" : "Unknown image format\n%s",
               bi->Name());
      MessageBoxA(nullptr, text, "Image Information", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    }
    return result;
  }
  bi->SetWidth((WORD)w);
  bi->SetHeight((WORD)h);
  bi->SetAspect(aspect);
  bi->SetGamma(gamma);
  return BMMRES_SUCCESS;
}

int BitmapManager::ImageInfoDlg(HWND owner, BitmapInfo* bi) {
  if (!bi || GetImageInfo(bi) != BMMRES_SUCCESS) return 0;
  DialogBoxParamA(custctrl::HostInstance(), MAKEINTRESOURCEA(IDD_BMM_INFO), owner, InfoProc,
                  reinterpret_cast<LPARAM>(bi));
  return 1;
}

int BitmapManager::ImageInputOptions(BitmapInfo* bi, HWND owner) {
  if (!bi) return 0;
  return DialogBoxParamA(custctrl::HostInstance(), MAKEINTRESOURCEA(IDD_BMM_INPUT), owner, InputProc,
                         reinterpret_cast<LPARAM>(bi)) == 1;
}

BOOL BitmapManager::SelectDeviceInput(BitmapInfo* bi, HWND owner) {
  if (!bi) return FALSE;
  return DialogBoxParamA(custctrl::HostInstance(), MAKEINTRESOURCEA(IDD_BMM_DEVICE), owner, DeviceProc,
                         reinterpret_cast<LPARAM>(bi)) == 1;
}

int BitmapManager::AddMapDir(const char* dir) {
  if (!dir || !*dir || strlen(dir) >= MAX_PATH) return 0;
  ExclusiveLock write(mapDirLock);
  int added = 0;
  bool listed = false;
  for (int i = 0; i < mapDirCount && !listed; i++) listed = _stricmp(mapDirs[i], dir) == 0;
  if (!listed && mapDirCount < kMaxMapDirs) {
    strcpy(mapDirs[mapDirCount], dir);
    mapDirCount++;
    added = 1;
  }
  return added;
}

int BitmapManager::GetMapDirCount() {
  SharedLock read(mapDirLock);
  return mapDirCount;
}

const char* BitmapManager::GetMapDir(int i) {
  SharedLock read(mapDirLock);
  return i >= 0 && i < mapDirCount ? mapDirs[i] : nullptr;
}

int GetRendFieldOrder() { return fieldOrder.load(std::memory_order_relaxed); }
void SetRendFieldOrder(int order) { fieldOrder.store(order ? 1 : 0, std::memory_order_relaxed); }
