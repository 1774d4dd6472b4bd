// The image file selection: the system's older open-file dialog with the library's template,
// driven with window messages from a helper thread while the test thread runs the dialog, and the
// host services it calls upon.
#include "TestSupport.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using quortest::ModalDriver;
using quortest::WindowText;

// The dialog template's controls.
const int kNameEdit = 1152;
const int kFolderText = 1088;
const int kTypeCombo = 1136;
const int kView = 1017;
const int kInfo = 1033;
const int kGamma = 1039;
const int kDevices = 1032;
const int kSetup = 1031;
const int kAlphaButton = 1025;
const int kInputButton = 1026;
const int kFieldsButton = 1027;
const int kCustomButtons[3] = {kAlphaButton, kInputButton, kFieldsButton};
const int kImageButtons[3] = {kView, kInfo, kGamma};

// The gamma dialog.
const char kGammaCaption[] = "  Input Gamma Settings ";
const int kGammaOwn = 1008, kGammaDefault = 1009, kGammaOverride = 1010, kGammaEdit = 1011, kGammaSpin = 1012;
// The fields and aspect dialog.
const char kFieldsCaption[] = " Image Input Options";
const int kPixelEdit = 1013, kPixelSpin = 1014, kFieldsOdd = 1017, kFieldsSystem = 1018;
const int kDeintNo = 1019, kDeintYes = 1020, kAspectFile = 1021, kImageEdit = 1022, kAspectOverride = 1023;
const int kImageSpin = 1024;
// The host's dialogs.
const char kDeviceCaption[] = "Select Image Input Device";
const char kInfoCaption[] = "Image File Information";
const char kInputCaption[] = "Image Input Options";
const int kInfoSize = 1503;
const int kDeviceList = 1511;
const int kInputResize = 1521, kInputWidth = 1522, kInputHeight = 1523;

const DWORD kPatienceMs = 10000;
const int kImageWidth = 64, kImageHeight = 16;  // width over height 4
const float kRatio = 4.0f;

char kTitle[] = " Select Image";

// The window find answers, asked again until it answers one or patience runs out.
HWND Poll(std::function<HWND()> find) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(20))
    if (HWND found = find()) return found;
  return nullptr;
}

// A visible dialog of the given caption on the thread, waited for.
HWND WaitForDialog(HWND sibling, const char* caption) {
  DWORD thread = GetWindowThreadProcessId(sibling, nullptr);
  return Poll([=] { return quortest::FindDialogOf(thread, [caption](HWND w) { return WindowText(w) == caption; }); });
}

void Press(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
bool Enabled(HWND dlg, int id) { return IsWindowEnabled(GetDlgItem(dlg, id)) != 0; }
bool Checked(HWND dlg, int id) { return SendMessageA(GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
std::string Text(HWND dlg, int id) { return WindowText(GetDlgItem(dlg, id)); }
float Number(HWND dlg, int id) { return (float)atof(Text(dlg, id).c_str()); }

// Types a number into a custom edit and presses Enter in it, as a person commits a value.
void Enter(HWND dlg, int editId, const char* text) {
  HWND edit = GetDlgItem(dlg, editId);
  HWND inner = GetWindow(edit, GW_CHILD);
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  SendMessageA(inner, EM_SETMODIFY, TRUE, 0);
  SendMessageA(inner, WM_KEYDOWN, VK_RETURN, 0);
}

// A right click on a spinner sets its reset value.
void RightClick(HWND dlg, int spinId) {
  HWND spin = GetDlgItem(dlg, spinId);
  SendMessageA(spin, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(2, 2));
  SendMessageA(spin, WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
}

// Opens a dialog of the selection with its button (posted: it runs modally on the dialog's
// thread) and waits for it.
HWND Open(HWND dlg, int button, const char* caption) {
  PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return WaitForDialog(dlg, caption);
}

// Selects a file by typing its name, as the file list does when a file is clicked.
void TypeName(HWND dlg, const std::string& name) {
  SendMessageA(GetDlgItem(dlg, kNameEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  int n = (int)SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; i++) {
    char text[256] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

// Runs the selection on bi while a driver, once the dialog is up, runs before and then presses
// button; the selection must answer result.
template <class Info>
void Select(Info& bi, int button, int result, std::function<void(HWND)> before = nullptr) {
  ModalDriver driver(button);
  if (before) driver.Before(std::move(before));
  EXPECT_EQ(JSelectFileInputEx(&bi, nullptr, kTitle, 0), result) << "the selection's result";
  EXPECT_TRUE(driver.Wait()) << "the selection dialog was not found";
  EXPECT_EQ(driver.Caption(), kTitle);
}

// Opens a dialog of the selection with its button and presses the given buttons in it.
void PressIn(HWND dlg, int button, const char* caption, std::initializer_list<int> presses) {
  if (HWND d = Open(dlg, button, caption))
    for (int id : presses) Press(d, id);
}

class ImageSelection : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = quortest::TempPath("quorlib-imagesel");
    CreateDirectoryA(folder.c_str(), nullptr);
    image = folder + "\\wide.png";
    broken = folder + "\\broken.png";
    // A 64 x 16 image written through the host, and a file that only looks like an image.
    BitmapInfo bi;
    bi.SetWidth(kImageWidth);
    bi.SetHeight(kImageHeight);
    bi.SetType(BMM_TRUE_64);
    bi.SetName(image.c_str());
    Bitmap* bm = TheManager->Create(&bi);
    ASSERT_NE(bm, nullptr);
    bm->Fill(65535, 32768, 0, 65535);
    ASSERT_EQ(bm->OpenOutput(&bi), 1);
    ASSERT_EQ(bm->Write(&bi), 1);
    bm->CloseAll();
    bm->DeleteThis();
    quortest::WriteAll(broken, std::vector<unsigned char>(100, 'x'));
  }

  static std::string folder, image, broken;
};

std::string ImageSelection::folder, ImageSelection::image, ImageSelection::broken;

TEST_F(ImageSelection, FilterListsEveryReadableFormatAndCancelKeepsTheCallersRecord) {
  BitmapInfo bi;
  bi.SetName(image.c_str());
  bi.SetDevice("Old Device");
  bi.SetCustomFlag(BMM_CUSTOM_GAMMA);
  bi.SetCustomGamma(1.8f);
  std::vector<std::string> types;
  bool hidden[3] = {}, setupDisabled = false;
  std::string folderShown;
  Select(bi, IDCANCEL, 0, [&](HWND dlg) {
    types = ComboItems(GetDlgItem(dlg, kTypeCombo));
    for (int i = 0; i < 3; i++) hidden[i] = !IsWindowVisible(GetDlgItem(dlg, kCustomButtons[i]));
    setupDisabled = !Enabled(dlg, kSetup);
    folderShown = Text(dlg, kFolderText);
    // Settings changed inside the dialog do not reach a caller who cancels.
    PressIn(dlg, kGamma, kGammaCaption, {kGammaDefault, IDOK});
  });
  // The writer-only format, the device without files and the private class are left out.
  EXPECT_EQ(types, (std::vector<std::string>{" All Files (*.*)", "BMP Image File (*.bmp;*.dib)",
                                             "PNG Image File (*.png)", "JPEG File (*.jpg;*.jpe;*.jpeg)",
                                             "TIF Image File (*.tif;*.tiff)", "GIF Image File (*.gif)"}));
  EXPECT_TRUE(hidden[0] && hidden[1] && hidden[2]) << "a plain BitmapInfo has no alpha, input or fields button";
  EXPECT_TRUE(setupDisabled);
  EXPECT_EQ(_stricmp(folderShown.c_str(), folder.c_str()), 0) << folderShown;
  EXPECT_STREQ(bi.Name(), image.c_str());
  EXPECT_STREQ(bi.Device(), "Old Device");
  EXPECT_EQ(bi.GetCustomFlags(), BMM_CUSTOM_GAMMA);
  EXPECT_EQ(bi.GetCustomGamma(), 1.8f);
}

TEST_F(ImageSelection, ChoosingAFileGivesItsFullPathAndNoDevice) {
  // A bare name opens in the host's first image path.
  TheManager->AddMapDir(folder.c_str());
  BitmapInfo bi;
  bi.SetName("wide.png");
  bi.SetDevice("Old Device");
  std::string folderShown;
  Select(bi, IDOK, 1, [&](HWND dlg) { folderShown = Text(dlg, kFolderText); });
  EXPECT_EQ(_stricmp(folderShown.c_str(), folder.c_str()), 0) << folderShown;
  EXPECT_EQ(_stricmp(bi.Name(), image.c_str()), 0) << bi.Name();
  EXPECT_STREQ(bi.Device(), "");
}

TEST_F(ImageSelection, ImageButtonsFollowWhetherTheSelectedFileCanBeRead) {
  JBitmapInfo bi;
  bi.SetName(image.c_str());
  const struct {
    const char* name;  // typed into the name box; null for the initial file
    bool readable;
  } picks[] = {{nullptr, true}, {"broken.png", false}, {"absent.png", false}, {"wide.png", true}};
  const int kPicks = 4;
  struct Seen {
    bool image[3], custom[3], visible[3];
  } seen[kPicks] = {};
  Select(bi, IDCANCEL, 0, [&](HWND dlg) {
    for (int k = 0; k < kPicks; k++) {
      if (picks[k].name) TypeName(dlg, picks[k].name);
      for (int i = 0; i < 3; i++) {
        seen[k].image[i] = Enabled(dlg, kImageButtons[i]);
        seen[k].custom[i] = Enabled(dlg, kCustomButtons[i]);
        seen[k].visible[i] = IsWindowVisible(GetDlgItem(dlg, kCustomButtons[i])) != 0;
      }
    }
  });
  for (int k = 0; k < kPicks; k++)
    for (int i = 0; i < 3; i++) {
      SCOPED_TRACE(testing::Message() << (picks[k].name ? picks[k].name : "the initial file") << ", button " << i);
      EXPECT_TRUE(seen[k].visible[i]) << "the extended record shows the alpha, input and fields buttons";
      EXPECT_EQ(seen[k].image[i], picks[k].readable);
      EXPECT_EQ(seen[k].custom[i], picks[k].readable);
    }
}

TEST_F(ImageSelection, GammaDialogSetsTheFlagBitsAndTheOverrideValue) {
  float ownGamma = 0;
  {
    BitmapInfo probe;
    probe.SetName(image.c_str());
    ASSERT_EQ(TheManager->GetImageInfo(&probe), BMMRES_SUCCESS);
    ownGamma = probe.Gamma();
  }
  JBitmapInfo bi;
  bi.SetName(image.c_str());
  bi.SetCustomGamma(1.5f);
  struct Seen {
    bool found, defaultChecked, spinOff, spinOnAfterOverride, spinOffAfterOwn;
    float shown, reset;
  } seen = {};
  Select(bi, IDOK, 1, [&](HWND dlg) {
    HWND g = Open(dlg, kGamma, kGammaCaption);
    if (!(seen.found = g != nullptr)) return;
    seen.defaultChecked = Checked(g, kGammaDefault);
    seen.spinOff = !Enabled(g, kGammaSpin);
    seen.shown = Number(g, kGammaEdit);
    Press(g, kGammaOverride);
    seen.spinOnAfterOverride = Enabled(g, kGammaSpin);
    RightClick(g, kGammaSpin);
    seen.reset = Number(g, kGammaEdit);
    Press(g, kGammaOwn);
    seen.spinOffAfterOwn = !Enabled(g, kGammaSpin);
    Press(g, kGammaOverride);
    Enter(g, kGammaEdit, "3.3");
    Press(g, IDOK);
  });
  ASSERT_TRUE(seen.found);
  EXPECT_TRUE(seen.defaultChecked) << "neither bit 1 nor bit 16: the system default";
  EXPECT_TRUE(seen.spinOff);
  EXPECT_FLOAT_EQ(seen.shown, 1.5f);
  EXPECT_TRUE(seen.spinOnAfterOverride);
  EXPECT_NEAR(seen.reset, ownGamma, 0.001f) << "the spinner resets to the image's own gamma";
  EXPECT_TRUE(seen.spinOffAfterOwn);
  EXPECT_EQ(bi.GetCustomFlags(), BMM_CUSTOM_GAMMA);
  EXPECT_FLOAT_EQ(bi.GetCustomGamma(), 3.3f);

  // With bit 1 the image's own gamma is preselected; choosing the system default clears both
  // bits and keeps the value.
  bi.SetCustomFlag(BMM_CUSTOM_FILEGAMMA);
  bool ownChecked = false;
  Select(bi, IDOK, 1, [&](HWND dlg) {
    HWND g = Open(dlg, kGamma, kGammaCaption);
    if (!g) return;
    ownChecked = Checked(g, kGammaOwn);
    Press(g, kGammaDefault);
    Press(g, IDOK);
  });
  EXPECT_TRUE(ownChecked);
  EXPECT_EQ(bi.GetCustomFlags(), 0u);
  EXPECT_FLOAT_EQ(bi.GetCustomGamma(), 3.3f);

  // "Use image's own gamma" sets bit 1 and leaves bit 16 as it was.
  bi.SetCustomFlag(BMM_CUSTOM_GAMMA);
  Select(bi, IDOK, 1, [](HWND dlg) { PressIn(dlg, kGamma, kGammaCaption, {kGammaOwn, IDOK}); });
  EXPECT_EQ(bi.GetCustomFlags(), BMM_CUSTOM_FILEGAMMA | BMM_CUSTOM_GAMMA);

  // A file the user picks brings its own gamma as the value the dialog starts from, and that
  // value goes back to the caller with the selection.
  ASSERT_NE(ownGamma, bi.GetCustomGamma());
  float shownAfterPick = 0;
  Select(bi, IDOK, 1, [&](HWND dlg) {
    TypeName(dlg, "broken.png");
    TypeName(dlg, "wide.png");
    if (HWND g = Open(dlg, kGamma, kGammaCaption)) {
      shownAfterPick = Number(g, kGammaEdit);
      Press(g, IDCANCEL);
    }
  });
  EXPECT_NEAR(shownAfterPick, ownGamma, 0.001f);
  EXPECT_FLOAT_EQ(bi.GetCustomGamma(), ownGamma);
}

TEST_F(ImageSelection, FieldsAndAspectDialogLinksItsSpinnersAndCopiesTheExtrasBack) {
  SetRendFieldOrder(1);
  JBitmapInfo bi;
  bi.SetName(image.c_str());
  bi.fields = 1;
  bi.pixelAspect = 1.5f;
  bi.alphaChoice = 4;
  struct Seen {
    bool found, odd, systemOff, no, file, spinsOff, spinsOn;
    float pixel, imageAspect, imageAfterPixel, pixelAfterImage;
  } seen = {};
  Select(bi, IDOK, 1, [&](HWND dlg) {
    HWND f = Open(dlg, kFieldsButton, kFieldsCaption);
    if (!(seen.found = f != nullptr)) return;
    seen.odd = Checked(f, kFieldsOdd);
    seen.systemOff = !Checked(f, kFieldsSystem);
    seen.no = Checked(f, kDeintNo);
    seen.file = Checked(f, kAspectFile);
    seen.spinsOff = !Enabled(f, kPixelSpin) && !Enabled(f, kImageSpin);
    seen.pixel = Number(f, kPixelEdit);
    seen.imageAspect = Number(f, kImageEdit);
    Press(f, kAspectOverride);
    seen.spinsOn = Enabled(f, kPixelSpin) && Enabled(f, kImageSpin);
    Enter(f, kPixelEdit, "2");
    seen.imageAfterPixel = Number(f, kImageEdit);
    Enter(f, kImageEdit, "2");
    seen.pixelAfterImage = Number(f, kPixelEdit);
    Press(f, kFieldsSystem);
    Press(f, kDeintYes);
    Press(f, IDOK);
  });
  SetRendFieldOrder(0);
  ASSERT_TRUE(seen.found);
  EXPECT_TRUE(seen.odd && seen.systemOff && seen.no && seen.file);
  EXPECT_TRUE(seen.spinsOff) << "without override both spinners are off";
  EXPECT_FLOAT_EQ(seen.pixel, 1.5f);
  EXPECT_FLOAT_EQ(seen.imageAspect, 1.5f * kRatio) << "pixel aspect x width / height";
  EXPECT_TRUE(seen.spinsOn);
  EXPECT_FLOAT_EQ(seen.imageAfterPixel, 2.0f * kRatio);
  EXPECT_FLOAT_EQ(seen.pixelAfterImage, 2.0f / kRatio);
  EXPECT_EQ(bi.fields, 1) << "System takes the host's field order";
  EXPECT_EQ(bi.deinterlace, 1);
  EXPECT_EQ(bi.aspectOverride, 1);
  EXPECT_FLOAT_EQ(bi.pixelAspect, 2.0f / kRatio);
  EXPECT_EQ(bi.alphaChoice, 4) << "the fly-off starts at alpha choice / 2 and gives back twice its index";

  // Cancelled, the extras stay as they were.
  JBitmapInfo before = bi;
  Select(bi, IDCANCEL, 0, [](HWND dlg) { PressIn(dlg, kFieldsButton, kFieldsCaption, {kAspectFile, IDOK}); });
  EXPECT_EQ(bi.aspectOverride, before.aspectOverride);
  EXPECT_EQ(bi.pixelAspect, before.pixelAspect);
}

TEST_F(ImageSelection, AlphaChoiceIsTwiceTheFlyOffIndex) {
  const int kChoice = 5;
  JBitmapInfo bi;
  bi.SetName(image.c_str());
  bool opened = false;
  Select(bi, IDOK, 1, [&](HWND dlg) {
    // Press and hold until the strip opens, then let go on the sixth choice below the button.
    HWND b = GetDlgItem(dlg, kAlphaButton);
    RECT r;
    GetClientRect(b, &r);
    POINT at = {r.right / 2, r.bottom / 2};
    ClientToScreen(b, &at);
    SetCursorPos(at.x, at.y);
    SendMessageA(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right / 2, r.bottom / 2));
    opened = Poll([] { return quortest::FindOwnWindow("VantorFlyOffStrip", nullptr); }) != nullptr;
    int y = kChoice * r.bottom + r.bottom / 2;
    SendMessageA(b, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(r.right / 2, y));
    SendMessageA(b, WM_LBUTTONUP, 0, MAKELPARAM(r.right / 2, y));
  });
  EXPECT_TRUE(opened);
  EXPECT_EQ(bi.alphaChoice, 2 * kChoice);
}

TEST_F(ImageSelection, ChoosingADeviceGivesAnEmptyFileName) {
  BitmapInfo bi;
  bi.SetName(image.c_str());
  bool listed = false;
  ModalDriver driver(IDOK);
  driver.Before([&](HWND dlg) {
    HWND d = Open(dlg, kDevices, kDeviceCaption);
    if (!d) return;
    listed = SendMessageA(GetDlgItem(d, kDeviceList), LB_GETCOUNT, 0, 0) > 0;
    Press(d, IDOK);  // the selection dialog ends with it
    for (int i = 0; i < 100 && IsWindow(dlg); i++) Sleep(20);
  });
  EXPECT_EQ(JSelectFileInputEx(&bi, nullptr, kTitle, 0), 1);
  driver.Wait();
  EXPECT_TRUE(listed);
  EXPECT_STREQ(bi.Name(), "");
  EXPECT_STREQ(bi.Device(), "Video Capture Device");
}

TEST_F(ImageSelection, HostDialogsWorkOnTheSelectedImage) {
  JBitmapInfo bi;
  bi.SetName(image.c_str());
  std::string sizeShown;
  bool windowShown = false;
  Select(bi, IDOK, 1, [&](HWND dlg) {
    if (HWND info = Open(dlg, kInfo, kInfoCaption)) {
      sizeShown = Text(info, kInfoSize);
      Press(info, IDOK);
    }
    // View shows the image in a host image window.
    PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(kView, BN_CLICKED), 0);
    HWND shown = Poll([] { return quortest::FindOwnWindow(IMAGEWINDOWCLASS, nullptr); });
    windowShown = shown != nullptr;
    if (shown) SendMessageA(shown, WM_CLOSE, 0, 0);
    // The host's input options edit the settings that travel back to the caller.
    if (HWND input = Open(dlg, kInputButton, kInputCaption)) {
      Press(input, kInputResize);
      SetDlgItemTextA(input, kInputWidth, "32");
      SetDlgItemTextA(input, kInputHeight, "8");
      Press(input, IDOK);
    }
  });
  EXPECT_EQ(sizeShown, "64 x 16 pixels");
  EXPECT_TRUE(windowShown);
  EXPECT_TRUE(bi.GetCustomFlags() & BMM_CUSTOM_RESIZE);
  // The host loads at the custom size.
  BitmapInfo load(bi);
  Bitmap* bm = TheManager->Load(&load);
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(bm->Width(), 32);
  EXPECT_EQ(bm->Height(), 8);
  bm->DeleteThis();
}

TEST_F(ImageSelection, HostReadsImageInformationWithoutPixels) {
  BOOL wasSilent = TheManager->SetSilentMode(TRUE);
  BitmapInfo bi;
  bi.SetName(image.c_str());
  EXPECT_EQ(TheManager->GetImageInfo(&bi), BMMRES_SUCCESS);
  EXPECT_EQ(bi.Width(), kImageWidth);
  EXPECT_EQ(bi.Height(), kImageHeight);
  EXPECT_GT(bi.Gamma(), 0.0f);
  bi.SetName(broken.c_str());
  EXPECT_EQ(TheManager->GetImageInfo(&bi), BMMRES_INVALIDFORMAT);
  bi.SetName((folder + "\\absent.png").c_str());
  EXPECT_EQ(TheManager->GetImageInfo(&bi), BMMRES_FILENOTFOUND);
  EXPECT_EQ(bi.Width(), kImageWidth) << "a failed read leaves the record";
  TheManager->SetSilentMode(wasSilent);
}

TEST(HostImageHandlers, ListPastItsEndRaisesTheListAssertion) {
  BMM_IOList& list = TheManager->ioList;
  if (!list.ListIsLoaded()) list.LoadDLLs();
  ASSERT_GT(list.Count(), 0);
  quortest::AssertRecorder rec;
  EXPECT_NE(list[list.Count() - 1], nullptr);
  EXPECT_TRUE(rec.Hits().empty());
  EXPECT_EQ(list[list.Count()], nullptr);
  EXPECT_TRUE(rec.Saw("linklist", 62));
}

}  // namespace
