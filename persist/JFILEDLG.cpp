// The library's file dialogs.
#include "JFileDlg.h"
#include "JFileDlgInternal.h"

#include "vantor.h"

#include <commdlg.h>
#include <string.h>

namespace {

const DWORD kSaveFlags = 0x082E;  // hook, no read-only box, overwrite prompt, keep folder, path must exist
const DWORD kOpenFlags = 0x182E;  // the same, and the file must exist

UINT_PTR CALLBACK CenteringHook(HWND dlg, UINT msg, WPARAM, LPARAM) {
  if (msg != WM_INITDIALOG) return 0;
  CenterWindow(dlg, GetParent(dlg));
  return 1;
}

}  // namespace

void jfiledlg::SplitPath(const char* path, char* folder, char* name) {
  folder[0] = 0;
  name[0] = 0;
  const char* cut = strrchr(path, '\\');
  bool colon = false;
  if (!cut) {
    cut = strrchr(path, ':');
    colon = cut != nullptr;
  }
  if (!cut) {
    strncpy(name, path, MAX_PATH - 1);
    name[MAX_PATH - 1] = 0;
    return;
  }
  if (strchr(cut + 1, '.')) {
    strncpy(name, cut + 1, MAX_PATH - 1);
    name[MAX_PATH - 1] = 0;
    size_t n = (size_t)(cut - path) + (colon ? 1 : 0);
    if (n >= MAX_PATH) n = MAX_PATH - 1;
    memcpy(folder, path, n);
    folder[n] = 0;
  } else {
    strncpy(folder, path, MAX_PATH - 1);
    folder[MAX_PATH - 1] = 0;
  }
}

int GetOFN(const char* title, HWND owner, char* path, char* fileTitle, const char* filter, const char* defExt,
           int open) {
  if (!path) return 0;
  char folder[MAX_PATH], name[MAX_PATH], chosenTitle[MAX_PATH] = "";
  jfiledlg::SplitPath(path, folder, name);
  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrFileTitle = chosenTitle;
  ofn.nMaxFileTitle = MAX_PATH;
  ofn.lpstrInitialDir = folder[0] ? folder : nullptr;
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = defExt;
  ofn.lpfnHook = CenteringHook;
  ofn.Flags = open ? kOpenFlags : kSaveFlags;
  BOOL ok = open ? GetOpenFileNameA(&ofn) : GetSaveFileNameA(&ofn);
  if (!ok) return 0;
  strncpy(path, name, MAX_PATH - 1);
  path[MAX_PATH - 1] = 0;
  if (fileTitle) {
    // The name without folder, taken from the full name itself: not every dialog fills the
    // record's title buffer.
    const char* base = strrchr(path, '\\');
    if (!base) base = strrchr(path, ':');
    strncpy(fileTitle, base ? base + 1 : path, MAX_PATH - 1);
    fileTitle[MAX_PATH - 1] = 0;
  }
  return 1;
}
