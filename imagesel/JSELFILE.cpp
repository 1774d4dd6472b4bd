// Image file selection: the system's open-file dialog run with the library's template and hook,
// and the hook's gamma and fields-and-aspect dialogs.
#include "JSelectFile.h"

#include "JClassDesc.h"
#include "JFileDlgInternal.h"
#include "JWinProc.h"

#include <commdlg.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// File and path must exist, template, hook, read-only box hidden, overwrite prompt. Without the
// explorer flag the system runs its older dialog, whose template is the whole dialog.
const DWORD kOpenFlags = 0x1866;

// The library's resources: the dialog templates and their controls.
const int IDD_SELECTFILE = 1016;  // " Open": the system's older file dialog template, extended
const int IDC_SELECT_ALPHA = 1025;
const int IDC_SELECT_INPUT = 1026;
const int IDC_SELECT_FIELDS = 1027;
const int IDC_SELECT_VIEW = 1017;
const int IDC_SELECT_SETUP = 1031;
const int IDC_SELECT_DEVICES = 1032;
const int IDC_SELECT_INFO = 1033;
const int IDC_SELECT_GAMMA = 1039;
const int IDD_INPUTGAMMA = 125;  // "  Input Gamma Settings "
const int IDC_GAMMA_OWN = 1008;
const int IDC_GAMMA_DEFAULT = 1009;
const int IDC_GAMMA_OVERRIDE = 1010;
const int IDC_GAMMA_EDIT = 1011;
const int IDC_GAMMA_SPIN = 1012;
const int IDD_FIELDSASPECT = 126;  // " Image Input Options"
const int IDC_FA_PIXEL_EDIT = 1013;
const int IDC_FA_PIXEL_SPIN = 1014;
const int IDC_FA_FIELDS_NONE = 1015;
const int IDC_FA_FIELDS_EVEN = 1016;
const int IDC_FA_FIELDS_ODD = 1017;
const int IDC_FA_FIELDS_SYSTEM = 1018;
const int IDC_FA_DEINT_NO = 1019;
const int IDC_FA_DEINT_YES = 1020;
const int IDC_FA_ASPECT_FILE = 1021;
const int IDC_FA_IMAGE_EDIT = 1022;
const int IDC_FA_ASPECT_OVERRIDE = 1023;
const int IDC_FA_IMAGE_SPIN = 1024;
const int IDB_ALPHA = 106;   // eight 16 x 15 images: the fly-off's choices are 1 to 7
const int IDB_INPUT = 118;   // out, in
const int IDB_FIELDS = 119;  // out, in
const int IDS_ALPHA_TIP = 200;
const int IDS_INPUT_TIP = 201;
const int IDS_FIELDS_TIP = 202;

// Standard controls of the system's older file dialog template.
const int kFolderText = 1088;  // the current folder
const int kFolderList = 1121;
const int kNameEdit = 1152;

const int kAlphaChoices = 7;  // fly-off images 1 to 7 of the alpha bitmap

// The three custom buttons in the order 1025, 1026, 1027, with their bitmaps, image counts and
// tooltip strings.
struct CustomButtonLook {
  int id;
  int bitmap;
  int images;
  int tooltip;
};
const CustomButtonLook kCustomButtons[3] = {
    {IDC_SELECT_ALPHA, IDB_ALPHA, 8, IDS_ALPHA_TIP},
    {IDC_SELECT_INPUT, IDB_INPUT, 2, IDS_INPUT_TIP},
    {IDC_SELECT_FIELDS, IDB_FIELDS, 2, IDS_FIELDS_TIP},
};

// The buttons whose use needs a readable image.
const int kImageButtons[3] = {IDC_SELECT_VIEW, IDC_SELECT_INFO, IDC_SELECT_GAMMA};

// Module-wide: the dialog is single-instance. The scratch record lives as long as the module and
// holds the dialog's settings while it runs.
JBitmapInfo scratch;
int extended = 0;              // 1 while the JBitmapInfo form runs
BitmapInfo* caller = nullptr;  // the caller's record while the dialog is open
int deviceChosen = 0;
ICustButton* buttons[3] = {};
HIMAGELIST imageLists[3] = {};

// The extra fields of the extended record.
void CopyExtras(JBitmapInfo& to, const JBitmapInfo& from) {
  to.alphaChoice = from.alphaChoice;
  to.aspectOverride = from.aspectOverride;
  to.pixelAspect = from.pixelAspect;
  to.fields = from.fields;
  to.deinterlace = from.deinterlace;
}

// The filter list of every readable image format, "|"-separated as built: " All Files (*.*)|*.*|"
// first, then per handler "Description (*.a;*.b)|*.a;*.b|".
CStr BuildFilter() {
  CStr filter(" All Files (*.*)|*.*|");
  BMM_IOList& list = TheManager->ioList;
  if (!list.ListIsLoaded()) list.LoadDLLs();
  int count = list.Count();
  for (int i = 0; i < count; i++) {
    BMM_IOHandler* h = list[i];  // a list shorter than its count raises the host list's assertion
    if (!h || h->NumExtensions() < 1) continue;
    ClassDesc* cd = h->GetCD();
    if (!cd || !cd->IsPublic() || !(h->Capability() & BMMIO_READER)) continue;
    CStr exts("*.");
    exts += h->Extension(0);
    for (int e = 1; e < h->NumExtensions(); e++) {
      exts += ";*.";
      exts += h->Extension(e);
    }
    filter += h->LongDescription();
    filter += " (";
    filter += exts;
    filter += ")|";
    filter += exts;
    filter += "|";
  }
  return filter;
}

// ---- The gamma dialog ------------------------------------------------------------------------

ISpinnerControl* gammaSpin = nullptr;

void EnableSpinner(HWND dlg, ISpinnerControl* spin, int editId, BOOL on) {
  if (spin) spin->Enable(on);
  EnableWindow(GetDlgItem(dlg, editId), on);
}

void ReleaseSpinner(ISpinnerControl*& spin) {
  ReleaseISpinner(spin);
  spin = nullptr;
}

INT_PTR CALLBACK GammaProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) {
    CenterWindow(dlg, GetParent(dlg));
    DWORD flags = scratch.GetCustomFlags();
    int radio = (flags & BMM_CUSTOM_FILEGAMMA) ? IDC_GAMMA_OWN
                : (flags & BMM_CUSTOM_GAMMA)   ? IDC_GAMMA_OVERRIDE
                                               : IDC_GAMMA_DEFAULT;
    CheckRadioButton(dlg, IDC_GAMMA_OWN, IDC_GAMMA_OVERRIDE, radio);
    gammaSpin = SetupFloatSpinner(dlg, IDC_GAMMA_SPIN, IDC_GAMMA_EDIT, 0.2f, 5.0f, scratch.GetCustomGamma(), 0.1f);
    if (gammaSpin) gammaSpin->SetResetValue(scratch.Gamma());
    EnableSpinner(dlg, gammaSpin, IDC_GAMMA_EDIT, radio == IDC_GAMMA_OVERRIDE);
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wp)) {
    case IDC_GAMMA_OWN:
    case IDC_GAMMA_DEFAULT:
      EnableSpinner(dlg, gammaSpin, IDC_GAMMA_EDIT, FALSE);
      return TRUE;
    case IDC_GAMMA_OVERRIDE:
      EnableSpinner(dlg, gammaSpin, IDC_GAMMA_EDIT, TRUE);
      return TRUE;
    case IDOK:
      if (IsDlgButtonChecked(dlg, IDC_GAMMA_OWN) == BST_CHECKED) {
        scratch.SetCustomFlag(BMM_CUSTOM_FILEGAMMA);
      } else {
        scratch.ResetCustomFlag(BMM_CUSTOM_FILEGAMMA);
        if (IsDlgButtonChecked(dlg, IDC_GAMMA_OVERRIDE) == BST_CHECKED) {
          scratch.SetCustomFlag(BMM_CUSTOM_GAMMA);
          if (gammaSpin) scratch.SetCustomGamma(gammaSpin->GetFVal());
        } else {
          scratch.ResetCustomFlag(BMM_CUSTOM_GAMMA);
        }
      }
      ReleaseSpinner(gammaSpin);
      EndDialog(dlg, IDOK);
      return TRUE;
    case IDCANCEL:
      ReleaseSpinner(gammaSpin);
      EndDialog(dlg, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

// ---- The fields and aspect dialog ------------------------------------------------------------

ISpinnerControl* pixelSpin = nullptr;
ISpinnerControl* imageSpin = nullptr;

// Width over height of the selected image (1 when it has no size).
float ImageRatio() {
  return scratch.Width() && scratch.Height() ? (float)scratch.Width() / (float)scratch.Height() : 1.0f;
}

void EnableAspect(HWND dlg, BOOL on) {
  EnableSpinner(dlg, pixelSpin, IDC_FA_PIXEL_EDIT, on);
  EnableSpinner(dlg, imageSpin, IDC_FA_IMAGE_EDIT, on);
}

// One spinner changed: the other follows, image aspect = pixel aspect x width / height.
void AspectChanged(int id) {
  if (!pixelSpin || !imageSpin) return;
  if (id == IDC_FA_PIXEL_SPIN || id == IDC_FA_PIXEL_EDIT)
    imageSpin->SetValue(pixelSpin->GetFVal() * ImageRatio(), FALSE);
  else if (id == IDC_FA_IMAGE_SPIN || id == IDC_FA_IMAGE_EDIT)
    pixelSpin->SetValue(imageSpin->GetFVal() / ImageRatio(), FALSE);
}

INT_PTR CALLBACK FieldsProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) {
    CenterWindow(dlg, GetParent(dlg));
    int fields = scratch.fields < 0 ? IDC_FA_FIELDS_NONE : scratch.fields == 0 ? IDC_FA_FIELDS_EVEN : IDC_FA_FIELDS_ODD;
    CheckRadioButton(dlg, IDC_FA_FIELDS_NONE, IDC_FA_FIELDS_SYSTEM, fields);
    CheckRadioButton(dlg, IDC_FA_DEINT_NO, IDC_FA_DEINT_YES, scratch.deinterlace ? IDC_FA_DEINT_YES : IDC_FA_DEINT_NO);
    CheckRadioButton(dlg, IDC_FA_ASPECT_FILE, IDC_FA_ASPECT_OVERRIDE,
                     scratch.aspectOverride ? IDC_FA_ASPECT_OVERRIDE : IDC_FA_ASPECT_FILE);
    float ratio = ImageRatio();
    pixelSpin = SetupFloatSpinner(dlg, IDC_FA_PIXEL_SPIN, IDC_FA_PIXEL_EDIT, 0.001f, 1000.0f, scratch.pixelAspect, 0.1f);
    imageSpin = SetupFloatSpinner(dlg, IDC_FA_IMAGE_SPIN, IDC_FA_IMAGE_EDIT, 0.001f, 1000.0f,
                                  scratch.pixelAspect * ratio, 0.1f);
    if (pixelSpin) pixelSpin->SetResetValue(scratch.Aspect());
    if (imageSpin) imageSpin->SetResetValue(scratch.Aspect() * ratio);
    EnableAspect(dlg, scratch.aspectOverride != 0);
    return TRUE;
  }
  if (msg == CC_SPINNER_CHANGE || msg == WM_CUSTEDIT_ENTER) {
    AspectChanged(LOWORD(wp));
    return TRUE;
  }
  if (msg != WM_COMMAND) return FALSE;
  switch (LOWORD(wp)) {
    case IDC_FA_ASPECT_FILE:
      EnableAspect(dlg, FALSE);
      return TRUE;
    case IDC_FA_ASPECT_OVERRIDE:
      EnableAspect(dlg, TRUE);
      return TRUE;
    case IDOK:
      if (IsDlgButtonChecked(dlg, IDC_FA_FIELDS_NONE) == BST_CHECKED)
        scratch.fields = -1;
      else if (IsDlgButtonChecked(dlg, IDC_FA_FIELDS_SYSTEM) == BST_CHECKED)
        scratch.fields = GetRendFieldOrder();
      else
        scratch.fields = IsDlgButtonChecked(dlg, IDC_FA_FIELDS_EVEN) == BST_CHECKED ? 0 : 1;
      scratch.deinterlace = IsDlgButtonChecked(dlg, IDC_FA_DEINT_YES) == BST_CHECKED;
      if (IsDlgButtonChecked(dlg, IDC_FA_ASPECT_OVERRIDE) == BST_CHECKED) {
        scratch.aspectOverride = 1;
        if (pixelSpin) scratch.pixelAspect = pixelSpin->GetFVal();
      } else {
        scratch.aspectOverride = 0;
      }
      ReleaseSpinner(pixelSpin);
      ReleaseSpinner(imageSpin);
      EndDialog(dlg, IDOK);
      return TRUE;
    case IDCANCEL:
      ReleaseSpinner(pixelSpin);
      ReleaseSpinner(imageSpin);
      EndDialog(dlg, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

// ---- The open-file dialog's hook -------------------------------------------------------------

void PrepareCustomButtons(HWND dlg) {
  HINSTANCE lib = GetLibInstance();
  for (int i = 0; i < 3; i++) {
    const CustomButtonLook& look = kCustomButtons[i];
    HWND ctl = GetDlgItem(dlg, look.id);
    if (!extended) ShowWindow(ctl, SW_HIDE);
    buttons[i] = GetICustButton(ctl);
    int count = look.images, cx = 0, cy = 0;
    imageLists[i] = JCreateImageList(lib, look.bitmap, count, cx, cy);
    if (!buttons[i]) continue;
    buttons[i]->SetImage(imageLists[i], 0, 1, 0, 1, cx, cy);
    char tip[128];
    if (LoadStringA(lib, (UINT)look.tooltip, tip, sizeof tip) > 0) buttons[i]->SetTooltip(TRUE, tip);
  }
  if (ICustButton* alpha = buttons[0]) {
    FlyOffData choices[kAlphaChoices];
    for (int c = 0; c < kAlphaChoices; c++) choices[c] = {c + 1, c + 1, c + 1, c + 1};
    alpha->SetFlyOff(kAlphaChoices, choices, 0, scratch.alphaChoice / 2, FLY_DOWN);
  }
}

void ReleaseCustomButtons() {
  for (int i = 0; i < 3; i++) {
    ReleaseICustButton(buttons[i]);
    buttons[i] = nullptr;
    if (imageLists[i]) ImageList_Destroy(imageLists[i]);
    imageLists[i] = nullptr;
  }
}

// The selection changed: the folder and the typed name make the full name, whose image
// information decides whether the image buttons can be used. Another file the user picks also
// brings its own gamma as the gamma value the Gamma dialog starts from. The first look when the
// dialog opens, and the name edit's change notifications that the system dialog sends for the
// same file, keep the value the caller or the Gamma dialog gave.
void SelectionChanged(HWND dlg, bool picked) {
  char folder[MAX_PATH] = "", name[MAX_PATH] = "";
  GetDlgItemTextA(dlg, kFolderText, folder, sizeof folder);
  GetDlgItemTextA(dlg, kNameEdit, name, sizeof name);
  std::string full = std::string(folder) + "\\" + name;
  const bool another = lstrcmpiA(full.c_str(), scratch.Name()) != 0;
  scratch.SetName(full.c_str());
  scratch.SetDevice(BMM_DEVICE_FILE);
  BOOL wasSilent = TheManager->SetSilentMode(TRUE);
  BOOL readable = TheManager->GetImageInfo(&scratch) == BMMRES_SUCCESS;  // sets the image's own gamma
  TheManager->SetSilentMode(wasSilent);
  if (readable && picked && another) scratch.SetCustomGamma(scratch.Gamma());
  for (int id : kImageButtons) EnableWindow(GetDlgItem(dlg, id), readable);
  for (ICustButton* b : buttons)
    if (b) b->Enable(readable);
}

void ViewSelected() {
  BitmapInfo view(scratch);
  Bitmap* bm = TheManager->Load(&view);
  if (!bm) return;
  bm->Display(nullptr, BMM_CENTER, FALSE, TRUE, nullptr, nullptr);
  bm->DeleteThis();
}

UINT_PTR CALLBACK SelectHook(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      CenterWindow(dlg, GetParent(dlg));
      EnableWindow(GetDlgItem(dlg, IDC_SELECT_SETUP), FALSE);
      PrepareCustomButtons(dlg);
      SelectionChanged(dlg, false);
      return 1;
    case WM_DESTROY:
      ReleaseCustomButtons();
      return 0;
    case WM_COMMAND:
      break;
    default:
      return 0;
  }
  int id = LOWORD(wp), code = HIWORD(wp);
  switch (id) {
    case kFolderList:
      if (code == LBN_SELCHANGE || code == LBN_DBLCLK) SelectionChanged(dlg, true);
      return 0;
    case kNameEdit:
      if (code == EN_CHANGE) SelectionChanged(dlg, true);
      return 0;
    case IDC_SELECT_VIEW:
      ViewSelected();
      return 1;
    case IDC_SELECT_INFO:
      TheManager->ImageInfoDlg(dlg, &scratch);
      return 1;
    case IDC_SELECT_DEVICES:
      if (caller && TheManager->SelectDeviceInput(caller, dlg)) {
        caller->SetName("");
        deviceChosen = 1;
        EndDialog(dlg, FALSE);
      }
      return 1;
    case IDC_SELECT_GAMMA:
      DialogBoxParamA(GetLibInstance(), MAKEINTRESOURCEA(IDD_INPUTGAMMA), dlg, GammaProc, 0);
      return 1;
    case IDC_SELECT_INPUT:
      TheManager->ImageInputOptions(&scratch, dlg);
      return 1;
    case IDC_SELECT_FIELDS:
      DialogBoxParamA(GetLibInstance(), MAKEINTRESOURCEA(IDD_FIELDSASPECT), dlg, FieldsProc, 0);
      return 1;
    case IDOK:
      if (buttons[0]) scratch.alphaChoice = 2 * buttons[0]->GetCurFlyOff();
      return 0;  // the system dialog goes on with its own checks
  }
  return 0;
}

}  // namespace

int JSelectFileInputEx(BitmapInfo* bi, HWND owner, char* title, int) {
  if (!bi || caller) return 0;  // one dialog at a time
  // The filter list with every "|" made a zero byte; the final one and the string's own
  // terminator end the list.
  CStr built = BuildFilter();
  std::string filter(built.data(), (size_t)built.Length());
  for (char& c : filter)
    if (c == '|') c = 0;

  char folder[MAX_PATH], name[MAX_PATH], fileTitle[MAX_PATH] = "";
  jfiledlg::SplitPath(bi->Name(), folder, name);
  if (!strchr(bi->Name(), '\\') && !strchr(bi->Name(), ':') && TheManager->GetMapDirCount() > 0) {
    strncpy(folder, TheManager->GetMapDir(0), MAX_PATH - 1);
    folder[MAX_PATH - 1] = 0;
  }
  scratch.CopyInputSettings(*bi);

  OPENFILENAMEA ofn;
  memset(&ofn, 0, sizeof ofn);
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = owner;
  ofn.hInstance = GetLibInstance();
  ofn.lpstrFilter = filter.c_str();
  ofn.lpstrFile = name;
  ofn.nMaxFile = MAX_PATH;
  ofn.lpstrFileTitle = fileTitle;
  ofn.nMaxFileTitle = MAX_PATH;
  ofn.lpstrInitialDir = folder[0] ? folder : nullptr;
  ofn.lpstrTitle = title;
  ofn.lpstrDefExt = "";
  ofn.lpfnHook = SelectHook;
  ofn.lpTemplateName = MAKEINTRESOURCEA(IDD_SELECTFILE);
  ofn.Flags = kOpenFlags;

  caller = bi;
  deviceChosen = 0;
  BOOL chosen = GetOpenFileNameA(&ofn);
  caller = nullptr;
  if (!deviceChosen) {
    if (!chosen) return 0;
    bi->SetName(name);
    bi->SetDevice(BMM_DEVICE_FILE);
  }
  bi->CopyInputSettings(scratch);
  return 1;
}

int JSelectFileInputEx(JBitmapInfo* bi, HWND owner, char* title, int unused) {
  if (!bi || caller) return 0;
  extended = 1;
  CopyExtras(scratch, *bi);
  int chosen = JSelectFileInputEx(static_cast<BitmapInfo*>(bi), owner, title, unused);
  if (chosen) CopyExtras(*bi, scratch);
  extended = 0;
  return chosen;
}
