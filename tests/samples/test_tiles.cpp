// The tiles sample as the host uses it: its parameter editor opened through the map, every kind
// of control driven through the messages a person's mouse and keyboard produce with the change
// found in the map's data tree, and its bake run to the end or cancelled through the progress
// dialog.
#include "ControlDriver.h"
#include "Quorlib.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "TilesCore.h"
#include "tiles_res.h"

#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>

#include <functional>
#include <string>

namespace {

const Class_ID kTilesMapID(0x54494C45, 0x4D415020);
const int kPages = 3;
const int kDragPixels = 12;
const float kJointScale = 0.1f;     // the joint spinners' change per pixel, in percent
const float kPercent = 0.01f;
const int kSmallSide = 64;          // the drop-down's first bake size
const int kLargeSizeIndex = 3;      // 2048 x 2048
const int kLargeSide = 2048;
const int kBmpHeader = 54;
const DWORD kWait = 5000;
const UINT kTick = 20;
const char kFlyOffStrip[] = "VantorFlyOffStrip";
const char kProgressTitle[] = " Progress Dialog";  // the library's template

// The slot of the tree named name; -1 when there is none.
int Slot(JDataNode* tree, const char* name) {
  for (int i = 0; i < tree->NumRefs(); i++)
    if (strcmp(tree->GetName(i), name) == 0) return i;
  return -1;
}

// A file name in the test's temporary folder, not there yet.
std::string FreshTempFile(const char* name) {
  const std::string path = quortest::TempPath(name);
  DeleteFileA(path.c_str());
  return path;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The map made through the host and held as the material editor would hold it, with its editor.
struct TilesSample : testing::Test {
  void SetUp() override {
    ASSERT_NE(LoadPluginModule(quortest::BinPath("tiles.dlt").c_str()), nullptr);
    GetCOREInterface()->GetMainHWnd();  // the editor's owner exists before windows are counted
    windowsBefore = quortest::CountThreadWindows();
    dialogsBefore = AdjustDialogCount(0);
    map = dynamic_cast<Texmap*>(static_cast<Animatable*>(CreateInstance(TEXMAP_CLASS_ID, kTilesMapID)));
    ASSERT_NE(map, nullptr);
    holder = new quortest::Recorder(1);
    holder->Hold(map);
    tree = dynamic_cast<JDataNode*>(map->GetReference(0));
    ASSERT_NE(tree, nullptr);
  }
  void TearDown() override {
    if (editor && IsWindow(editor)) Close();
    holder->DeleteMe();
    theHold.ClearHistory();  // spinner drags leave undo steps that hold the tree's leaves
  }

  void Open() {
    editor = map->CreateParamDlg(nullptr);
    ASSERT_NE(editor, nullptr);
    dlg = dynamic_cast<JViewDlgBase*>(GetDlgProc(editor));
    ASSERT_NE(dlg, nullptr);
    tabs = dynamic_cast<JTabView*>(dlg->FindCtl(IDC_TABS));
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->GetPageCount(), kPages);
  }
  // Closes the editor as its OK button does and waits for the window to go.
  void Close() {
    PostMessageA(editor, WM_COMMAND, IDOK, 0);
    quortest::ControlDriver::PumpUntil([this] { return !IsWindow(editor); }, kWait);
  }

  JDataLeafBase* Leaf(const char* name) {
    int slot = Slot(tree, name);
    return slot < 0 ? nullptr : dynamic_cast<JDataLeafBase*>((*tree)(slot));
  }
  float Value(const char* name) {
    JDataLeafBase* leaf = Leaf(name);
    return leaf ? leaf->GetFValue(0) : NAN;
  }
  HWND Item(int id) { return GetDlgItem(editor, id); }
  // A control of tab page i.
  HWND PageItem(int page, int id) { return GetDlgItem(tabs->GetPage(page)->GetHwnd(), id); }
  void ClickTab(int i) {
    HWND tab = Item(IDC_TABS);
    RECT r;
    ASSERT_TRUE(SendMessageA(tab, TCM_GETITEMRECT, i, (LPARAM)&r));
    mouse.Click(tab, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  }
  void DragUp(HWND spinner, int pixels) {
    const int x = 3, y = 5;
    mouse.LeftDown(spinner, x, y);
    mouse.MoveTo(spinner, x, y - pixels);
    mouse.LeftUp(spinner, x, y - pixels);
  }
  void SetBakeFile(const std::string& path) {
    JMemBlock text(path.c_str(), JMemBlock::kText);
    Interval forever = FOREVER;
    (*tree)(Slot(tree, "Bake File"))->SetValue(&text, 0, forever, CTRL_ABSOLUTE);
  }

  quortest::Recorder* holder = nullptr;
  Texmap* map = nullptr;
  JDataNode* tree = nullptr;
  HWND editor = nullptr;
  JViewDlgBase* dlg = nullptr;
  JTabView* tabs = nullptr;
  quortest::ControlDriver mouse;
  int windowsBefore = 0, dialogsBefore = 0;
};

}  // namespace

TEST_F(TilesSample, TheEditorShowsTheTreeOnItsFirstPageAndClosesWithoutATrace) {
  Open();
  EXPECT_TRUE(IsWindowVisible(editor));
  EXPECT_EQ(editor, map->CreateParamDlg(nullptr)) << "a second request brings the open editor forward";
  EXPECT_EQ(AdjustDialogCount(0), dialogsBefore - 1 - kPages) << "the editor and its three pages are live dialogs";

  // What the controls show is what the tree holds.
  EXPECT_EQ(IsDlgButtonChecked(editor, IDC_BOND_RUNNING), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(editor, IDC_BOND_STACK), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(editor, IDC_BEVEL), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(editor, IDC_BEVEL_SHOW), BST_CHECKED) << "not bypassed: shown in the track editor";
  EXPECT_EQ(SendMessageA(Item(IDC_BAKE_SIZE), CB_GETCOUNT, 0, 0), 4);
  EXPECT_EQ(SendMessageA(Item(IDC_BAKE_SIZE), CB_GETCURSEL, 0, 0), (LRESULT)Value("Bake Size"));
  char text[64] = "";
  GetWindowTextA(PageItem(0, IDC_ACROSS_EDIT), text, sizeof text);
  EXPECT_EQ(atoi(text), (int)Value("Tiles Across"));
  EXPECT_TRUE(IsWindowVisible(tabs->GetPage(0)->GetHwnd()));
  EXPECT_FALSE(IsWindowVisible(tabs->GetPage(1)->GetHwnd()));
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_BAKE))) << "the bake button is live";
  LONG_PTR style = GetWindowLongPtrA(Item(IDC_BAKE), GWL_STYLE);
  EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW) << "the bake button draws its image strip";
  JCustButton* antialias = dynamic_cast<JCustButton*>(dlg->FindCtl(IDC_ANTIALIAS));
  ASSERT_NE(antialias, nullptr);
  ASSERT_NE(antialias->ICB(), nullptr);
  EXPECT_EQ(antialias->ICB()->IsChecked() + 2 * antialias->ICB()->GetCurFlyOff(), (int)Value("Antialiasing"));

  Close();
  EXPECT_FALSE(IsWindow(editor));
  EXPECT_EQ(quortest::CountThreadWindows(), windowsBefore) << "no window is left";
  EXPECT_EQ(AdjustDialogCount(0), dialogsBefore) << "every dialog object is gone";
  for (int i = 0; i < tree->NumRefs(); i++)
    if (JData* child = (*tree)(i)) {
      EXPECT_EQ(child->NumViews(), 0) << "slot " << i << " still has views";
    }

  Open();  // the map opens a new editor after the old one closed (Open checks it came)
}

TEST_F(TilesSample, EachKindOfControlWritesWhatThePersonDidIntoTheTree) {
  Open();
  // Check box and its bypass control.
  mouse.Click(Item(IDC_BEVEL), 3, 3);
  EXPECT_EQ(Value("Bevel"), 1.0f) << "the check box";
  mouse.Click(Item(IDC_BEVEL_SHOW), 3, 3);
  EXPECT_EQ(Leaf("Bevel")->GetBypassTree(), 1) << "unchecking the bypass control bypasses the flag";

  // Radio group; the bond picture on the first page follows the bond.
  mouse.Click(Item(IDC_BOND_STACK), 3, 3);
  EXPECT_EQ(Value("Bond"), 0.0f) << "the radio group";
  EXPECT_EQ(IsDlgButtonChecked(editor, IDC_BOND_RUNNING), BST_UNCHECKED);
  JImageListView* picture = nullptr;
  JViewDlgBase* firstPage = tabs->GetPage(0);
  for (int i = 0; !picture && i < firstPage->NumControls(); i++)
    picture = dynamic_cast<JImageListView*>(firstPage->GetControl(i));
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Data(), static_cast<JDataBase*>(Leaf("Bond")));
  EXPECT_TRUE(picture->Valid(0)) << "the bond picture drew the stack bond's image";

  // Drop-down list, from the keyboard.
  mouse.Focus(Item(IDC_BAKE_SIZE));
  mouse.Key(VK_HOME);
  EXPECT_EQ(Value("Bake Size"), 0.0f) << "the drop-down list";

  // Fly-off: held down, the strip of choices opens; released on the third, it is chosen.
  HWND button = Item(IDC_ANTIALIAS);
  RECT r;
  GetClientRect(button, &r);
  const int h = r.bottom;
  mouse.LeftDown(button, 3, 3);
  HWND strip = nullptr;
  EXPECT_TRUE(quortest::ControlDriver::PumpUntil(
      [&] { return (strip = quortest::FindOwnWindow(kFlyOffStrip, nullptr)) && IsWindowVisible(strip); }, kWait));
  mouse.MoveTo(button, 3, 2 * h + h / 2);
  mouse.LeftUp(button, 3, 2 * h + h / 2);
  int antialias = (int)Value("Antialiasing");
  EXPECT_EQ(antialias / 2, 2) << "the third fly-off choice is stored";
  JCustButton* cust = dynamic_cast<JCustButton*>(dlg->FindCtl(IDC_ANTIALIAS));
  ASSERT_NE(cust, nullptr);
  EXPECT_EQ(antialias % 2, cust->ICB()->IsChecked()) << "with the button's checked state";

  // Spinners on the first page: a single one and one of three.
  float across = Value("Tiles Across");
  DragUp(PageItem(0, IDC_ACROSS_SPIN), kDragPixels);
  EXPECT_EQ(Value("Tiles Across"), across + kDragPixels) << "the int spinner";
  Point3 before, after;
  Leaf("Variation")->GetValue(0, before);
  DragUp(PageItem(0, IDC_VARIATION_SPIN + 2), kDragPixels);
  Leaf("Variation")->GetValue(0, after);
  EXPECT_EQ(after.y, before.y + kDragPixels) << "the middle spinner of three moves green";
  EXPECT_EQ(after.x, before.x);
  EXPECT_EQ(after.z, before.z);

  // Tab switch with the mouse: the second page shows, the first hides, the page is stored.
  ClickTab(1);
  EXPECT_EQ(tabs->GetPageNum(), 1);
  EXPECT_TRUE(IsWindowVisible(tabs->GetPage(1)->GetHwnd()));
  EXPECT_FALSE(IsWindowVisible(tabs->GetPage(0)->GetHwnd()));
  JDataLeafBase* page = dynamic_cast<JDataLeafBase*>(tabs->Data());
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->GetFValue(0), 1.0f) << "the tab view's data holds the page shown";

  // The lock: the joint height follows the width while "Same" is checked.
  ASSERT_EQ(IsDlgButtonChecked(tabs->GetPage(1)->GetHwnd(), IDC_JOINT_LOCK), BST_CHECKED);
  float joint = Value("Joint Width");
  DragUp(PageItem(1, IDC_JOINT_U_SPIN), kDragPixels);
  EXPECT_NEAR(Value("Joint Width"), joint + kDragPixels * kJointScale * kPercent, 1e-5f);
  EXPECT_EQ(Value("Joint Height"), Value("Joint Width")) << "locked";
  mouse.Click(PageItem(1, IDC_JOINT_LOCK), 3, 3);
  EXPECT_EQ(Value("Same Joints"), 0.0f);
  DragUp(PageItem(1, IDC_JOINT_U_SPIN), kDragPixels);
  EXPECT_NE(Value("Joint Height"), Value("Joint Width")) << "unlocked";

  // The reset button swaps the offset for a fresh one, and its spinners follow the new leaf.
  DragUp(PageItem(1, IDC_OFFSET_SPIN), kDragPixels);
  JDataLeafBase* oldOffset = Leaf("Offset");
  Point3 moved;
  oldOffset->GetValue(0, moved);
  ASSERT_NE(moved.x, 0.0f);
  mouse.Click(PageItem(1, IDC_OFFSET_RESET), 3, 3);
  JDataLeafBase* fresh = Leaf("Offset");
  EXPECT_NE(fresh, oldOffset);
  Point3 reset;
  fresh->GetValue(0, reset);
  EXPECT_EQ(reset.x, 0.0f) << "a fresh leaf starts from zero";
  JViewCtl* offsetSpinners = tabs->GetPage(1)->FindCtl(IDC_OFFSET_SPIN);
  ASSERT_NE(offsetSpinners, nullptr);
  EXPECT_EQ(offsetSpinners->Data(), static_cast<JDataBase*>(fresh));
  DragUp(PageItem(1, IDC_OFFSET_SPIN + 2), kDragPixels);
  fresh->GetValue(0, reset);
  EXPECT_NE(reset.y, 0.0f) << "the spinners write into the new leaf";

  // The edit field on the third page.
  ClickTab(2);
  EXPECT_TRUE(IsWindowVisible(tabs->GetPage(2)->GetHwnd()));
  mouse.Focus(PageItem(2, IDC_BAKE_FILE));
  mouse.SelectAll();
  mouse.Type("wall.bmp");
  JMemBlock file;
  Interval forever = FOREVER;
  (*tree)(Slot(tree, "Bake File"))->GetValue(&file, 0, forever, CTRL_ABSOLUTE);
  ASSERT_NE(file.Data(), nullptr);
  EXPECT_STREQ(file.Data(), "wall.bmp") << "the edit field";

  // After all that, the editor still closes cleanly.
  Close();
  EXPECT_EQ(quortest::CountThreadWindows(), windowsBefore);
  EXPECT_EQ(AdjustDialogCount(0), dialogsBefore);
}

TEST_F(TilesSample, ASmallBakeWritesTheEvaluatedMapAtTheChosenSize) {
  Open();
  const std::string path = FreshTempFile("tiles-small.bmp");
  SetBakeFile(path);
  mouse.Focus(Item(IDC_BAKE_SIZE));
  mouse.Key(VK_HOME);  // 64 x 64
  JDataLeafBase* antialias = Leaf("Antialiasing");
  antialias->SetValue(0, 0.0f);  // one sample per pixel: each pixel is the map at its centre
  const int bitmapsBefore = TheManager->Count();

  mouse.Click(Item(IDC_BAKE), 3, 3);
  EXPECT_TRUE(IsWindowEnabled(editor)) << "the editor is enabled again";
  EXPECT_EQ(quortest::FindOwnWindow("#32770", kProgressTitle), nullptr) << "the progress dialog is gone";
  EXPECT_EQ(TheManager->Count(), bitmapsBefore) << "the bake's bitmap is gone";
  ASSERT_TRUE(FileExists(path));
  const size_t stride = (kSmallSide * 3 + 3) & ~3;
  EXPECT_EQ(quortest::ReadAll(path).size(), kBmpHeader + stride * kSmallSide);

  BitmapInfo bi;
  bi.SetName(path.c_str());
  Bitmap* bm = TheManager->Load(&bi);
  ASSERT_NE(bm, nullptr);
  EXPECT_EQ(bm->Width(), kSmallSide);
  EXPECT_EQ(bm->Height(), kSmallSide);
  Interval valid = FOREVER;
  map->Update(0, valid);
  ShadeContext sc;
  int mismatches = 0;
  const int kEightBitSlack = 1;
  for (int y = 0; y < kSmallSide; y++)
    for (int x = 0; x < kSmallSide; x++) {
      sc.uvw = Point3((x + 0.5f) / kSmallSide, 1.0f - (y + 0.5f) / kSmallSide, 0.0f);
      AColor want = map->EvalColor(sc);
      BMM_Color_64 got = {};
      bm->GetLinearPixels(x, y, 1, &got);
      mismatches += abs((got.r >> 8) - (int)lroundf(want.r * 255)) > kEightBitSlack ||
                    abs((got.b >> 8) - (int)lroundf(want.b * 255)) > kEightBitSlack;
    }
  EXPECT_EQ(mismatches, 0) << "the file holds the map, row 0 at the top";
  bm->DeleteThis();
  DeleteFileA(path.c_str());
}

TEST_F(TilesSample, CancelInTheProgressDialogStopsTheBakeAndLeavesNoFile) {
  Open();
  const std::string path = FreshTempFile("tiles-cancelled.bmp");
  SetBakeFile(path);
  Leaf("Bake Size")->SetValue(0, (float)kLargeSizeIndex);
  const int bitmapsBefore = TheManager->Count();

  // From inside the bake (its progress dialog pumps this thread's messages), Cancel is clicked
  // as soon as the dialog shows some progress.
  static HWND progress;
  static bool editorDisabled;
  static int rowsAtCancel;
  static quortest::ControlDriver* driver;
  static HWND owner;
  progress = nullptr, editorDisabled = false, rowsAtCancel = -1, driver = &mouse, owner = editor;
  struct Canceller {
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
      HWND p = quortest::FindOwnWindow("#32770", kProgressTitle);
      if (!p) return;
      int pos = (int)SendDlgItemMessageA(p, JProgressDlg::kIdBar, PBM_GETPOS, 0, 0);
      if (pos < 1) return;
      KillTimer(nullptr, id);
      progress = p;
      editorDisabled = !IsWindowEnabled(owner);
      rowsAtCancel = pos;
      driver->Click(GetDlgItem(p, JProgressDlg::kIdCancel), 3, 3);
    }
  };
  UINT_PTR timer = SetTimer(nullptr, 0, kTick, Canceller::Tick);
  mouse.Click(Item(IDC_BAKE), 3, 3);
  KillTimer(nullptr, timer);

  ASSERT_NE(progress, nullptr) << "the progress dialog showed";
  EXPECT_TRUE(editorDisabled) << "the editor was disabled during the bake";
  EXPECT_GT(rowsAtCancel, 0);
  EXPECT_LT(rowsAtCancel, kLargeSide) << "cancelled before the last row";
  EXPECT_FALSE(IsWindow(progress)) << "the progress dialog closed";
  EXPECT_TRUE(IsWindowEnabled(editor));
  EXPECT_FALSE(FileExists(path)) << "a cancelled bake leaves no file";
  EXPECT_EQ(TheManager->Count(), bitmapsBefore) << "nor a bitmap";
}
