// The filter toolbar and the settings buttons in a real filter dialog: the band the toolbar takes,
// its tooltips, reset, load and save through the file dialogs (a corrupt file and a cancelled
// dialog change nothing), the preview it has the host make and its setup dialog, and the path
// holders that buttons share.
#include "PreviewTest.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <initializer_list>
#include <string>

using filtertest::Params;
using previewtest::FilterDialog;
using previewtest::PreviewFilter;

namespace {

const int kNameBox = 1152;  // the file dialogs' name box
const DWORD kNoDialogMs = 1500;
char kFileFilter[] = "Test settings (*.tflt)\0*.tflt\0";
char kDefExt[] = "tflt";
const float kEditedGain = 7.0f;
const char kSaveTitle[] = " Save Filter Settings";
const char kLoadTitle[] = " Load Filter Settings";
const char kPreviewWindow[] = "Test Filter Preview";  // the host's image window with the preview

// The preview setup dialog's controls.
const int kSetupClose = 6;
const int kSize120x90 = 1036;
const int kUpToFilter = 1132, kWholeQueue = 1133;
const int kRatioLabel = 1137;
const int kAspectSpin = 1405;

std::string Text(HWND w) { return quortest::WindowText(w); }

unsigned long AspectBits(float f) {
  uint32_t bits;
  memcpy(&bits, &f, sizeof bits);
  return bits;
}

// Preview settings other than the defaults: 100 x 50 pixels of aspect 2, the whole queue (a
// picture ratio of 4).
const int kStoredWidth = 100, kStoredHeight = 50, kWholeQueueType = 3;
const float kStoredAspect = 2.0f;
void StorePreviewSettings(JPropertyList& props) {
  props.Add(JProp_FltDlg_PreviewWidth(), kStoredWidth);
  props.Add(JProp_FltDlg_PreviewHeight(), kStoredHeight);
  props.Add(JProp_FltDlg_PreviewAspect(), AspectBits(kStoredAspect));
  props.Add(JProp_FltDlg_PreviewType(), kWholeQueueType);
}

// Where a dialog's item stands in the dialog's client area.
POINT ItemAt(HWND dlg, int id) {
  RECT r;
  GetWindowRect(GetDlgItem(dlg, id), &r);
  POINT at = {r.left, r.top};
  ScreenToClient(dlg, &at);
  return at;
}

float GainIn(const std::string& path) {
  ReferenceMaker* rm = LoadRefMakerFromFile(path.c_str());
  Params* p = dynamic_cast<Params*>(rm);
  const float gain = p ? p->Gain() : -1.0f;
  if (rm) rm->DeleteMe();
  return gain;
}

// A filter dialog with the toolbar (and, as a test wants, more controls), opened for real.
struct ToolBarTest : testing::Test {
  void SetUp() override {
    InitCustomControls(GetModuleHandleA(nullptr));  // the template's update button
    GetPostline();
    file = quortest::TempPath("quortest_toolbar.tflt");
    remove(file.c_str());
  }
  void TearDown() override {
    if (dlg) dlg->Close();
    remove(file.c_str());
  }
  // Opens the dialog with the given controls.
  void OpenWith(std::initializer_list<JViewCtl*> controls) {
    dlg = new FilterDialog(filter.Data());
    for (JViewCtl* c : controls) *dlg += c;
    ASSERT_NE(JOneModelessBase::CreateDlg(nullptr, dlg), nullptr);
  }
  JFilterToolBar* Open() {
    JFilterToolBar* bar = JFilterToolBar::Create(filter.Data(), &filter, kFileFilter, kDefExt);
    OpenWith({bar});
    return bar;
  }
  // Runs command id of the dialog while a driver presses button of the modal dialog it opens
  // (a file dialog or the preview setup), after typing name (when given). Answers whether a
  // dialog came, and checks its caption when one is given.
  bool WithDialog(int id, int button, const std::string& name, const char* caption = nullptr,
                  DWORD timeoutMs = 10000) {
    quortest::ModalDriver driver(button, timeoutMs);
    if (!name.empty()) driver.Type(kNameBox, name);
    dlg->Command(id);
    const bool came = driver.Wait();
    if (came && caption) {
      EXPECT_EQ(driver.Caption(), caption);
    }
    return came;
  }
  PreviewFilter filter;
  FilterDialog* dlg = nullptr;
  std::string file;
};

}  // namespace

TEST(PathHolder, ChildrenShareTheRootsNameFilterAndExtension) {
  JPathHolder root(kFileFilter, kDefExt);
  JPathHolder child(&root);
  JPathKeeper grandchild(&child);
  EXPECT_STREQ(root.PathName(), "");
  EXPECT_EQ(child.PathName(), root.PathName()) << "one buffer for the whole chain";
  EXPECT_EQ(grandchild.PathName(), root.PathName());
  EXPECT_EQ(grandchild.FileFilter(), kFileFilter);
  EXPECT_EQ(grandchild.DefExt(), kDefExt);
  JPathHolder alone(nullptr, nullptr);
  EXPECT_NE(alone.PathName(), root.PathName());
  EXPECT_EQ(alone.DefExt(), nullptr);

  EXPECT_STREQ(grandchild.GetLastPath(), "");
  grandchild.SetLastPath("C:\\settings");
  EXPECT_STREQ(grandchild.GetLastPath(), "C:\\settings");
  const std::string tooLong(400, 'x');
  grandchild.SetLastPath(tooLong.c_str());
  EXPECT_EQ(strlen(grandchild.GetLastPath()), (size_t)MAX_PATH - 1) << "cut, and always terminated";
  grandchild.SetLastPath(nullptr);
  EXPECT_STREQ(grandchild.GetLastPath(), "");
}

TEST_F(ToolBarTest, InitTakesABandAtTheTopForTwelveEntries) {
  // Not a dialog for a new event, whatever an earlier test left behind.
  previewtest::SeenEventDialog(previewtest::kEditEventTitle);
  ASSERT_EQ(JNewFilterEvent(), 0);
  OpenWith({});
  RECT plain;
  GetWindowRect(dlg->GetHwnd(), &plain);
  const POINT okAt = ItemAt(dlg->GetHwnd(), IDOK);
  dlg->Close();

  JFilterToolBar* bar = Open();
  ASSERT_NE(bar, nullptr);
  RECT grown;
  GetWindowRect(dlg->GetHwnd(), &grown);
  EXPECT_EQ(grown.bottom - grown.top, plain.bottom - plain.top + JFilterToolBar::kBandHeight);
  EXPECT_EQ(grown.right - grown.left, plain.right - plain.left);
  const POINT moved = ItemAt(dlg->GetHwnd(), IDOK);
  EXPECT_EQ(moved.x, okAt.x);
  EXPECT_EQ(moved.y, okAt.y + JFilterToolBar::kBandHeight) << "every child moves down by the band";

  HWND tb = bar->GetToolBar();
  ASSERT_NE(tb, nullptr);
  EXPECT_EQ(GetDlgCtrlID(tb), JFilterToolBar::kToolBarId);
  EXPECT_EQ(bar->GetTimeTB(), nullptr);
  EXPECT_EQ(SendMessageA(tb, TB_BUTTONCOUNT, 0, 0), 12);
  const int commands[] = {1, 2, 101, 102, 103, 104, 105, 106};
  for (int id : commands) {
    EXPECT_EQ(bar->Own(id), 1) << id;
    EXPECT_NE(SendMessageA(tb, TB_ISBUTTONENABLED, id, 0), 0) << id;
  }
  EXPECT_EQ(bar->Own(0), 0) << "separators have command 0";
  EXPECT_EQ(bar->Own(-1), 0);
  EXPECT_EQ(bar->Own(JFilterToolBar::kPrevFrame), 0) << "no time toolbar";
  EXPECT_EQ(bar->Own(IDC_TEST_MAIN), 0);
}

TEST_F(ToolBarTest, ThePreviewButtonsAreGreyedForANewFilterEvent) {
  previewtest::SeenEventDialog(previewtest::kNewEventTitle);
  JFilterToolBar* bar = Open();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SendMessageA(bar->GetToolBar(), TB_ISBUTTONENABLED, JFilterToolBar::kPreview, 0), 0);
  EXPECT_EQ(SendMessageA(bar->GetToolBar(), TB_ISBUTTONENABLED, JFilterToolBar::kSetupPreview, 0), 0);
  EXPECT_NE(SendMessageA(bar->GetToolBar(), TB_ISBUTTONENABLED, JFilterToolBar::kSave, 0), 0);
  previewtest::SeenEventDialog(previewtest::kEditEventTitle);
}

TEST_F(ToolBarTest, TooltipsComeFromTheStringTable) {
  JFilterToolBar* bar = Open();
  ASSERT_NE(bar, nullptr);
  const struct {
    int command;
    const char* text;
  } cases[] = {{JFilterToolBar::kSave, "Save Settings to File"},
               {JFilterToolBar::kSetupPreview, "Setup and Make Preview"},
               {JFilterToolBar::kAccept, "Accept Changes and Close Dialog"}};
  for (const auto& c : cases) {
    NMTTDISPINFOA tip = {};
    tip.hdr.idFrom = c.command;
    tip.hdr.code = TTN_NEEDTEXTA;
    SendMessageA(dlg->GetHwnd(), WM_NOTIFY, c.command, (LPARAM)&tip);  // through the dialog's routing
    ASSERT_NE(tip.lpszText, nullptr) << c.command;
    EXPECT_STREQ(tip.lpszText, c.text);
  }
  // The time toolbar's commands have theirs too; lock and unlock are the other way round in the
  // string table.
  NMTTDISPINFOA tip = {};
  tip.hdr.idFrom = JFilterToolBar::kLockTime;
  tip.hdr.code = TTN_NEEDTEXTA;
  bar->UpdateData(0, JFilterToolBar::kLockTime, WM_NOTIFY, (UINT_PTR)&tip);
  EXPECT_STREQ(tip.lpszText, "Lock VANTOR and Filter Time");
}

TEST_F(ToolBarTest, SaveAsksForANameUntilTheFileExists) {
  Open();
  EXPECT_TRUE(WithDialog(JFilterToolBar::kSave, IDCANCEL, "", kSaveTitle)) << "no name yet: the dialog opens";
  EXPECT_FALSE(quortest::ReadAll(file).size()) << "cancelled: nothing written";

  EXPECT_TRUE(WithDialog(JFilterToolBar::kSaveAs, IDOK, file));
  EXPECT_EQ(GainIn(file), Params::kDefaultGain);

  filter.P()->SetGain(kEditedGain);
  EXPECT_FALSE(WithDialog(JFilterToolBar::kSave, IDCANCEL, "", nullptr, kNoDialogMs))
      << "an existing file is written without asking";
  EXPECT_EQ(GainIn(file), kEditedGain);

  remove(file.c_str());
  EXPECT_TRUE(WithDialog(JFilterToolBar::kSave, IDCANCEL, "")) << "the named file is gone: the dialog again";
}

TEST_F(ToolBarTest, LoadAndResetReplaceTheDataAndTheDialogFollows) {
  JFilterToolBar* bar = Open();
  ASSERT_NE(bar, nullptr);
  filter.P()->SetGain(kEditedGain);
  ASSERT_TRUE(SaveRefMaker(filter.Data(), file.c_str()));
  filter.P()->SetGain(1.0f);
  JData* before = filter.Data();

  EXPECT_TRUE(WithDialog(JFilterToolBar::kLoad, IDOK, file, kLoadTitle));
  ASSERT_NE(filter.Data(), before);
  EXPECT_EQ(filter.P()->Gain(), kEditedGain);
  EXPECT_EQ(dlg->switches, 1);
  EXPECT_EQ(bar->Data(), filter.Data()) << "the toolbar now shows the loaded data";

  // A corrupt file and a cancelled dialog change nothing.
  JData* loaded = filter.Data();
  quortest::WriteAll(file, {'n', 'o', 't', ' ', 'a', ' ', 't', 'r', 'e', 'e'});
  EXPECT_TRUE(WithDialog(JFilterToolBar::kLoad, IDOK, file));
  EXPECT_TRUE(WithDialog(JFilterToolBar::kLoad, IDCANCEL, ""));
  EXPECT_EQ(filter.Data(), loaded);
  EXPECT_EQ(dlg->switches, 1);

  dlg->Command(JFilterToolBar::kReset);
  ASSERT_NE(filter.Data(), loaded);
  EXPECT_EQ(filter.P()->Gain(), Params::kDefaultGain);
  EXPECT_EQ(dlg->switches, 2);
  EXPECT_EQ(bar->Data(), filter.Data());
}

TEST_F(ToolBarTest, SettingsOfAnotherClassLeaveTheDataAndTheDialogAsTheyWere) {
  JPathHolder paths(kFileFilter, kDefExt);
  JFilterToolBar* bar = JFilterToolBar::Create(filter.Data(), &filter, &paths);
  JFilterLoadButton* load = JFilterLoadButton::Create("Blur", filter.Data(), &filter, IDC_TEST_LOAD, &paths, nullptr);
  ASSERT_TRUE(bar && load);
  OpenWith({bar, load});
  filter.P()->SetGain(kEditedGain);
  JData* kept = filter.Data();
  dlg->SetDlgTitle("Untitled");

  // Another filter's settings and a lone value: data trees both, neither of this filter's class.
  JData* foreign[] = {filtertest::NewOtherParams(), Create_JFloatData()};
  for (JData* tree : foreign) {
    ASSERT_NE(tree, nullptr);
    ASSERT_TRUE(SaveRefMaker(tree, file.c_str()));
    tree->DeleteMe();
    for (int command : {(int)JFilterToolBar::kLoad, IDC_TEST_LOAD}) {
      const int alive = Params::alive;
      EXPECT_TRUE(WithDialog(command, IDOK, file)) << command;
      EXPECT_EQ(filter.Data(), kept) << command;
      EXPECT_EQ(Params::alive, alive) << command << ": the file's tree is deleted, the filter's kept";
    }
  }
  EXPECT_EQ(filter.P()->Gain(), kEditedGain);
  EXPECT_EQ(dlg->switches, 0) << "the dialog stays on the filter's data";
  EXPECT_EQ(bar->Data(), kept);
  EXPECT_EQ(load->GetData(0), kept);
  EXPECT_EQ(Text(dlg->GetHwnd()), "Untitled") << "no caption for a file that was not loaded";

  // The dialog goes on working: the filter's own settings load as before.
  Params* own = filtertest::NewParams();
  ASSERT_NE(own, nullptr);
  ASSERT_TRUE(SaveRefMaker(own, file.c_str()));
  own->DeleteMe();
  EXPECT_TRUE(WithDialog(JFilterToolBar::kLoad, IDOK, file));
  ASSERT_NE(filter.Data(), kept);
  EXPECT_EQ(filter.P()->Gain(), Params::kDefaultGain);
  EXPECT_EQ(dlg->switches, 1);
  EXPECT_EQ(bar->Data(), filter.Data());
}

TEST_F(ToolBarTest, MakePreviewShowsTheHostsImageWithTheStoredSettings) {
  JFilterToolBar* bar = Open();
  ASSERT_NE(bar, nullptr);
  dlg->SetTime(GetTicksPerFrame() * 3);
  dlg->Command(JFilterToolBar::kPreview);
  ASSERT_EQ(filter.previews.size(), 1u);
  const PreviewFilter::PreviewCall& p = filter.previews[0];
  EXPECT_EQ(p.width, 320) << "the defaults";
  EXPECT_EQ(p.height, 240);
  EXPECT_EQ(p.aspect, 1.0f);
  EXPECT_EQ(p.type, 2u);
  EXPECT_EQ(p.t, GetTicksPerFrame() * 3);
  EXPECT_EQ(p.sourceFlag, 1);
  EXPECT_FALSE(p.wantsSecond);
  EXPECT_EQ(p.window, previewtest::kProgressTitle);
  EXPECT_EQ(filter.GetPreviewSource(), 0);
  HWND shown = quortest::FindOwnWindow(IMAGEWINDOWCLASS, kPreviewWindow);
  ASSERT_NE(shown, nullptr) << "the host's image window shows the preview";
  DestroyWindow(shown);

  StorePreviewSettings(filter.Data()->Properties());
  filter.failPreview = true;
  dlg->Command(JFilterToolBar::kPreview);
  ASSERT_EQ(filter.previews.size(), 2u);
  EXPECT_EQ(filter.previews[1].width, kStoredWidth);
  EXPECT_EQ(filter.previews[1].height, kStoredHeight);
  EXPECT_EQ(filter.previews[1].aspect, kStoredAspect);
  EXPECT_EQ(filter.previews[1].type, (DWORD)kWholeQueueType);
  EXPECT_EQ(quortest::FindOwnWindow(IMAGEWINDOWCLASS, kPreviewWindow), nullptr) << "a failed preview shows nothing";

  // Setup first: only "Preview" goes on to make one.
  ASSERT_TRUE(WithDialog(JFilterToolBar::kSetupPreview, IDCANCEL, "", " Preview Setup"));
  EXPECT_EQ(filter.previews.size(), 2u);
  filter.failPreview = false;
  ASSERT_TRUE(WithDialog(JFilterToolBar::kSetupPreview, IDOK, ""));
  EXPECT_EQ(filter.previews.size(), 3u);
  shown = quortest::FindOwnWindow(IMAGEWINDOWCLASS, kPreviewWindow);
  ASSERT_NE(shown, nullptr);
  DestroyWindow(shown);
}

TEST_F(ToolBarTest, FrameStepsStayInsideTheAnimation) {
  JFilterToolBar* bar = Open();
  ASSERT_NE(bar, nullptr);
  // The toolbar's command, as its button sends it; answers the dialog's time afterwards.
  auto press = [&](int command) {
    bar->UpdateData(dlg->GetTime(), command, WM_COMMAND, 0);
    return dlg->GetTime();
  };
  dlg->SetTime(GetAnimStart());
  EXPECT_EQ(press(JFilterToolBar::kPrevFrame), GetAnimStart()) << "no frame before the start";
  EXPECT_EQ(press(JFilterToolBar::kNextFrame), GetAnimStart() + GetTicksPerFrame());
  EXPECT_EQ(press(JFilterToolBar::kPrevFrame), GetAnimStart());
  dlg->SetTime(GetAnimEnd());
  EXPECT_EQ(press(JFilterToolBar::kNextFrame), GetAnimEnd()) << "no frame after the end";
  press(JFilterToolBar::kLockTime);
  EXPECT_NE(dlg->GetTimeLock(), 0);
  press(JFilterToolBar::kUnlockTime);
  EXPECT_EQ(dlg->GetTimeLock(), 0);
}

TEST_F(ToolBarTest, ClosingMarksTheSceneChangedOnlyAfterTheDataReachedTheToolBar) {
  SetSaveRequiredFlag(FALSE);
  JFilterToolBar* unseen = JFilterToolBar::Create(filter.Data(), &filter, kFileFilter, kDefExt, 5);
  ASSERT_NE(unseen, nullptr);
  EXPECT_EQ(unseen->GetOption(), 5);
  unseen->DeleteThis();
  EXPECT_FALSE(GetSaveRequiredFlag());
  Open();
  filter.P()->SetGain(kEditedGain);
  dlg->Close();
  dlg = nullptr;
  EXPECT_TRUE(GetSaveRequiredFlag());
  SetSaveRequiredFlag(FALSE);
}

// ---- The preview setup dialog ------------------------------------------------------------------

namespace {

struct PreviewSetup : testing::Test {
  void SetUp() override { data = Create_JFloatData(); }
  void TearDown() override { data->DeleteMe(); }
  JPropertyList& Props() { return data->Properties(); }
  // Runs the setup dialog on the data while a driver runs before in it, then presses button.
  void Run(int button, std::function<void(HWND)> before) {
    quortest::ModalDriver driver(button);
    driver.Before(std::move(before));
    EXPECT_EQ(JFilterPreviewSetup(nullptr, data), button);
    ASSERT_TRUE(driver.Wait());
  }
  JFloatData* data = nullptr;
};

std::string Ratio(HWND dlg) { return Text(GetDlgItem(dlg, kRatioLabel)); }
void Click(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

}  // namespace

TEST_F(PreviewSetup, ShowsTheDefaultsAndPreviewStoresWhatWasChosen) {
  std::string ratio, afterAspect, afterSize;
  bool upToFilter = false;
  Run(IDOK, [&](HWND dlg) {
    ratio = Ratio(dlg);
    upToFilter = IsDlgButtonChecked(dlg, kUpToFilter) == BST_CHECKED;
    ISpinnerControl* aspect = GetISpinner(GetDlgItem(dlg, kAspectSpin));
    if (aspect) aspect->SetValue(2.0f, TRUE);
    ReleaseISpinner(aspect);
    afterAspect = Ratio(dlg);
    Click(dlg, kSize120x90);
    afterSize = Ratio(dlg);
    Click(dlg, kWholeQueue);
  });
  EXPECT_EQ(ratio, "1.333") << "320 x 1.0 / 240";
  EXPECT_TRUE(upToFilter);
  EXPECT_EQ(afterAspect, "2.667") << "a spinner change refreshes the ratio";
  EXPECT_EQ(afterSize, "1.333") << "a size button sets the size and resets the pixel aspect";
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewWidth()), 120u);
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewHeight()), 90u);
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewAspect()), AspectBits(1.0f));
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewType()), 3u);
}

TEST_F(PreviewSetup, CloseKeepsTheSettingsAndCancelDropsThem) {
  StorePreviewSettings(Props());
  std::string ratio;
  bool wholeQueue = false;
  Run(IDCANCEL, [&](HWND dlg) {
    ratio = Ratio(dlg);
    wholeQueue = IsDlgButtonChecked(dlg, kWholeQueue) == BST_CHECKED;
    Click(dlg, kSize120x90);
  });
  EXPECT_EQ(ratio, "4") << "the stored settings are shown";
  EXPECT_TRUE(wholeQueue);
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewWidth()), (uint32_t)kStoredWidth) << "Cancel drops the change";
  Run(kSetupClose, [](HWND dlg) {
    Click(dlg, kSize120x90);
    Click(dlg, kUpToFilter);
  });
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewWidth()), 120u) << "Close keeps it";
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewAspect()), AspectBits(1.0f));
  EXPECT_EQ(Props().Value(JProp_FltDlg_PreviewType()), 2u);
}

// ---- Settings buttons ---------------------------------------------------------------------------

TEST_F(ToolBarTest, ButtonsWithOneHolderShareTheFileAndShowItInTheCaption) {
  JPathHolder paths(kFileFilter, kDefExt);
  JFilterSaveButton* save = JFilterSaveButton::Create("Blur", filter.Data(), IDC_TEST_SAVE, &paths, nullptr);
  JFilterLoadButton* load = JFilterLoadButton::Create("Blur", filter.Data(), &filter, IDC_TEST_LOAD, &paths, nullptr);
  ASSERT_TRUE(save && load);
  OpenWith({save, load});

  filter.P()->SetGain(kEditedGain);
  EXPECT_TRUE(WithDialog(IDC_TEST_SAVE, IDOK, file, kSaveTitle));
  EXPECT_EQ(GainIn(file), kEditedGain);
  EXPECT_STREQ(paths.PathName(), file.c_str()) << "the holder keeps the chosen file";
  const std::string name = file.substr(file.find_last_of('\\') + 1);
  EXPECT_EQ(Text(dlg->GetHwnd()), "Blur - " + name);

  // The load button opens on the same file; nothing typed, it loads it.
  filter.P()->SetGain(1.0f);
  JData* before = filter.Data();
  dlg->SetDlgTitle("Untitled");
  std::string shown;
  {
    quortest::ModalDriver driver(IDOK);
    driver.Before([&](HWND d) { shown = Text(GetDlgItem(d, kNameBox)); });
    dlg->Command(IDC_TEST_LOAD);
    ASSERT_TRUE(driver.Wait());
    EXPECT_EQ(driver.Caption(), kLoadTitle);
  }
  EXPECT_EQ(shown, name);
  ASSERT_NE(filter.Data(), before);
  EXPECT_EQ(filter.P()->Gain(), kEditedGain);
  EXPECT_EQ(dlg->switches, 1);
  EXPECT_EQ(Text(dlg->GetHwnd()), "Blur - " + name);

  // A cancelled load leaves data and caption.
  dlg->SetDlgTitle("Untitled");
  JData* loaded = filter.Data();
  EXPECT_TRUE(WithDialog(IDC_TEST_LOAD, IDCANCEL, ""));
  EXPECT_EQ(filter.Data(), loaded);
  EXPECT_EQ(Text(dlg->GetHwnd()), "Untitled");
}

TEST_F(ToolBarTest, ButtonsWithAFolderRememberItInTheirData) {
  JBinaryData* folder = Create_JBinaryData();
  ASSERT_NE(folder, nullptr);
  JMemBlock preset("C:\\preset", JMemBlock::kText);
  Interval valid = FOREVER;
  folder->SetValue(&preset, 0, valid, CTRL_ABSOLUTE);

  JFilterSaveButton2* save =
      JFilterSaveButton2::Create(filter.Data(), IDC_TEST_SAVE2, kFileFilter, kDefExt, nullptr, folder);
  JFilterLoadButton2* load = JFilterLoadButton2::Create(filter.Data(), &filter, IDC_TEST_LOAD2, kFileFilter, kDefExt,
                                                        nullptr, nullptr);
  ASSERT_TRUE(save && load);
  EXPECT_STREQ(save->GetLastPath(), "C:\\preset") << "the folder data's text is the last folder at once";
  save->SetupPath();
  EXPECT_STREQ(save->PathName(), "C:\\preset\\*.tflt");
  EXPECT_EQ(load->GetJPath(), nullptr);
  load->SetJPath(folder);
  OpenWith({save, load});

  EXPECT_TRUE(WithDialog(IDC_TEST_SAVE2, IDOK, file));
  const std::string dir = file.substr(0, file.find_last_of('\\'));
  EXPECT_EQ(save->GetLastPath(), dir);
  EXPECT_STREQ(folder->Payload().Data(), dir.c_str());

  folder->SetValue(&preset, 0, valid, CTRL_ABSOLUTE);
  EXPECT_TRUE(WithDialog(IDC_TEST_LOAD2, IDOK, file));
  EXPECT_EQ(load->GetLastPath(), dir);
  EXPECT_STREQ(folder->Payload().Data(), dir.c_str()) << "a load remembers the folder as well";
  EXPECT_EQ(dlg->switches, 1);

  dlg->Close();
  dlg = nullptr;
  folder->DeleteMe();
}
