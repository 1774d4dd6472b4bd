// Dialog bases: real dialogs from the test program's templates, driven by the messages a person
// and the host produce, and watched through a journal that their dialogs and views keep.
#include "ControlDriver.h"
#include "GuardPage.h"
#include "PlainDialog.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "dialogres.h"

#include "Quorlib.h"
#include "vcustctrl.h"
#include "vhold.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

using quortest::ModalDriver;

const int kLibraryIcon = 135;
const int kRenameEdit = 1000;
const unsigned int kTitleCommand = 99;  // the title-menu item id dialogs use by default
const char kRenameCaption[] = " Rename";
const char kActionName[] = "Edit Test";
const char kFaultText[] = "Error 0xC0000005 detected. The dialog will be closed.";
const int kFrame = 160;  // ticks of one frame
const int kLateId = 1400;  // owned by a view that another view adds during its Init
const int kDynamicId = 1500;
const int kActionButton = IDC_FAULT;  // the template's push button that tests give a command
const DWORD kNoReportWaitMs = 1000;   // how long a test watches for a fault report that must not come

// What the dialogs and views of a test did, in order, and how many of them are alive.
struct Journal {
  std::vector<std::string> events;
  int liveViews = 0;
  int deletedDialogs = 0;
  std::vector<WPARAM> iconKinds;  // WM_SETICON's wParam, in order
  std::vector<HICON> icons;       // WM_SETICON's icon, in order
  void Add(const std::string& e) { events.push_back(e); }
  int Count(const std::string& e) const { return (int)std::count(events.begin(), events.end(), e); }
  // Position of the first e, or -1.
  int Where(const std::string& e) const {
    auto it = std::find(events.begin(), events.end(), e);
    return it == events.end() ? -1 : (int)(it - events.begin());
  }
};
Journal journal;

// A view of a float leaf in an edit control: shows the value as text and writes the next whole
// number on a spinner change. A test may give it something to do first in Init, or instead of the
// write in UpdateData.
class EditView : public JViewLeaf {
 public:
  static EditView* Create(JDataBase* d, int id, const std::string& name) {
    EditView* v = new EditView;
    v->Setup(d, -1);
    v->id = id;
    v->name = name;
    return v;
  }
  ~EditView() override { journal.liveViews--; }
  void DeleteThis() override { delete this; }
  int Own(int i) override { return i == id; }
  int Init(int) override {
    if (onInit) onInit(*this);
    journal.Add("init " + name);
    return 1;
  }
  int Valid(int) override { return valid; }
  void UpdateView(int t, ReferenceTarget*) override {
    journal.Add("view " + name);
    shownAt.push_back(t);
    float v = 0;
    if (Data()) GetValue(t, &v);
    char text[32];
    snprintf(text, sizeof text, "%g", v);
    if (hwndParent()) SetDlgItemTextA(hwndParent(), id, text);
  }
  using JViewLeaf::UpdateView;
  void UpdateData(int t, int, unsigned int msg, UINT_PTR) override {
    journal.Add("data " + name);
    if (onData) return onData();
    if (msg != CC_SPINNER_CHANGE && msg != CC_COLOR_CHANGE) return;
    float v = 0;
    GetValue(t, &v);
    v += 1;
    SetValue(t, &v);
  }
  int id = 0;
  int valid = 0;
  std::string name;
  std::vector<int> shownAt;
  std::function<void(EditView&)> onInit;
  std::function<void()> onData;

 private:
  EditView() { journal.liveViews++; }
};

// A view without data whose handler writes through a null pointer when its button is clicked.
EditView* FaultView(int id) {
  EditView* v = EditView::Create(nullptr, id, "fault");
  v->onData = [] { quortest::WriteThroughNull(); };
  return v;
}

// A dialog object of these tests, counted when deleted. It lives on pages of its own, given back
// when the object is deleted, so that any use of a deleted dialog faults at once instead of reading
// stale memory.
template <class Base>
class OnOwnPages : public Base {
 public:
  static void* operator new(size_t n) {
    void* p = VirtualAlloc(nullptr, n, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!p) throw std::bad_alloc();
    return p;
  }
  static void operator delete(void* p) {
    if (p) VirtualFree(p, 0, MEM_RELEASE);
  }
  ~OnOwnPages() override { journal.deletedDialogs++; }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int SwitchData(JDataBase*, void*) override { return 1; }
};

// The dialog under test, from template IDD_TEST_DIALOG of the test program.
class TestDlg : public OnOwnPages<JOneModelessBase> {
 public:
  explicit TestDlg(int preInit = 1, int postInit = 1) : preInitResult(preInit), postInitResult(postInit) {}
  int IdDlg() override { return templateId; }
  const char* ActionName() override { return kActionName; }
  int PreInit() override {
    journal.Add("preinit");
    return preInitResult;
  }
  int PostInit() override {
    journal.Add("postinit");
    JOneModelessBase::PostInit();
    return postInitResult;
  }
  int Command(int id, unsigned int code) override {
    journal.Add("command " + std::to_string(id));
    if (onCommand && onCommand(id)) return 1;
    return JOneModelessBase::Command(id, code);
  }
  INT_PTR DlgProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_SETICON) {
      journal.iconKinds.push_back(wParam);
      journal.icons.push_back((HICON)lParam);
    }
    return JOneModelessBase::DlgProc(msg, wParam, lParam);
  }
  int templateId = IDD_TEST_DIALOG;
  int preInitResult, postInitResult;
  std::function<bool(int id)> onCommand;  // true: the command is handled

 protected:
  void RegisterCB(int on) override {
    journal.Add(on ? "register" : "unregister");
    JOneModelessBase::RegisterCB(on);
  }
};

// A tab page, from template IDD_TEST_PAGE.
class TestPage : public OnOwnPages<JViewChildBase> {
 public:
  int IdDlg() override { return IDD_TEST_PAGE; }
};

struct DialogTest : testing::Test {
  void SetUp() override {
    journal = Journal();
    ip = GetCOREInterface();
    ip->GetMainHWnd();  // the owner of dialogs without a parent exists before anything is counted
    ip->SetTime(0);
    owner = new quortest::Recorder(TEST_EDIT_COUNT);
    for (int i = 0; i < TEST_EDIT_COUNT; i++) {
      leaves[i] = Create_JFloatData();
      owner->Hold(leaves[i], i);
    }
    windowsAtStart = quortest::CountThreadWindows();
    acceleratorsAtStart = GetAcceleratorsDisableCount();
    timeCallbacksAtStart = GetTimeChangeCallbackCount();
    exitCallbacksAtStart = GetExitCallbackCount();
  }
  void TearDown() override {
    EXPECT_EQ(AdjustDialogCount(0), 1) << "a dialog object is left";
    EXPECT_EQ(journal.liveViews, 0) << "a view is left";
    EXPECT_EQ(quortest::CountThreadWindows(), windowsAtStart) << "a window is left";
    EXPECT_EQ(GetAcceleratorsDisableCount(), acceleratorsAtStart);
    EXPECT_TRUE(NoCallbackLeft());
    EXPECT_FALSE(theHold.Holding());
    for (JFloatData* leaf : leaves) EXPECT_EQ(leaf->NumViews(), 0);
    owner->DeleteMe();
    ip->SetTime(0);
  }
  // A dialog with an edit view on every leaf.
  TestDlg* WithEdits(TestDlg* d) {
    for (int i = 0; i < TEST_EDIT_COUNT; i++) {
      edits[i] = EditView::Create(leaves[i], IDC_EDIT_FIRST + i, "e" + std::to_string(i));
      *d += edits[i];
    }
    return d;
  }
  TestDlg* Open(TestDlg* d) { return static_cast<TestDlg*>(JOneModelessBase::CreateDlg(nullptr, d)); }
  // An open dialog with edit views and a view that faults when button IDC_FAULT is clicked; its
  // window, null when it did not open.
  HWND OpenWithFaultingButton() {
    TestDlg* d = WithEdits(new TestDlg);
    *d += FaultView(IDC_FAULT);
    return Open(d) ? d->GetHwnd() : nullptr;
  }
  // The host holds no more time-change and exit callbacks than before the test.
  testing::AssertionResult NoCallbackLeft() {
    int time = GetTimeChangeCallbackCount(), exit = GetExitCallbackCount();
    if (time == timeCallbacksAtStart && exit == exitCallbacksAtStart) return testing::AssertionSuccess();
    return testing::AssertionFailure() << "time-change callbacks " << timeCallbacksAtStart << " -> " << time
                                       << ", exit callbacks " << exitCallbacksAtStart << " -> " << exit;
  }

  Interface* ip = nullptr;
  quortest::Recorder* owner = nullptr;
  JFloatData* leaves[TEST_EDIT_COUNT] = {};
  EditView* edits[TEST_EDIT_COUNT] = {};
  int windowsAtStart = 0;
  int acceleratorsAtStart = 0;
  int timeCallbacksAtStart = 0;
  int exitCallbacksAtStart = 0;
};

// Clicks a dialog's push button as a person does.
void Click(HWND dlg, int id) { SendMessageA(GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

// The process's open kernel handles, found by asking after every handle value in turn (Wine's
// GetProcessHandleCount answers 0 whatever is open).
int CountOpenHandles() {
  const uintptr_t kHandleStep = 4, kLastHandle = 0x10000;
  int n = 0;
  DWORD flags;
  for (uintptr_t h = kHandleStep; h < kLastHandle; h += kHandleStep)
    n += GetHandleInformation((HANDLE)h, &flags) ? 1 : 0;
  return n;
}

std::string MenuText(HMENU menu, UINT id) {
  char text[64] = "";
  GetMenuStringA(menu, id, text, sizeof text, MF_BYCOMMAND);
  return text;
}

}  // namespace

// ---- Initialisation ----------------------------------------------------------------------------

TEST_F(DialogTest, InitialisationRegistersInitsUnfreezesAndRefreshesInOrder) {
  TestDlg* d = WithEdits(new TestDlg);
  // A view that adds another view to the dialog during its own Init.
  EditView* adder = EditView::Create(leaves[0], IDC_FAULT, "adder");
  EditView* late = nullptr;
  adder->onInit = [&late](EditView& v) {
    late = EditView::Create(v.Data(), kLateId, "late");
    *v.Parent() += late;
  };
  *d += adder;
  ip->SetTime(2 * kFrame);
  ASSERT_EQ(Open(d), d);
  HWND w = d->GetHwnd();
  ASSERT_TRUE(IsWindow(w));
  EXPECT_TRUE(ip->IsDlgWndRegistered(w));
  EXPECT_EQ(AdjustDialogCount(0), 0);
  EXPECT_EQ(d->GetTimeLock(), 1) << "an open modeless dialog follows the host's time";
  EXPECT_EQ(d->GetTime(), 2 * kFrame);

  // register, preinit, every Init in list order, every refresh, postinit.
  int reg = journal.Where("register"), pre = journal.Where("preinit"), post = journal.Where("postinit");
  int firstInit = journal.Where("init e0"), lastInit = journal.Where("init adder");
  int firstView = journal.Where("view e0"), lastView = journal.Where("view adder");
  EXPECT_TRUE(reg >= 0 && reg < pre && pre < firstInit && firstInit < lastInit && lastInit < firstView &&
              firstView < lastView && lastView < post)
      << "order: register " << reg << " preinit " << pre << " init " << firstInit << ".." << lastInit << " view "
      << firstView << ".." << lastView << " postinit " << post;
  for (EditView* e : edits) {
    EXPECT_EQ(e->IsFreezed(), 0);
    EXPECT_EQ(e->shownAt, std::vector<int>{2 * kFrame});
  }
  char text[32];
  GetDlgItemTextA(w, IDC_EDIT_FIRST, text, sizeof text);
  EXPECT_STREQ(text, "0") << "the view showed its data in its control";

  // The view added during another's Init is in the list but neither initialised nor refreshed.
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(d->GetControl(d->NumControls() - 1), late);
  EXPECT_EQ(late->IsFreezed(), 1);
  EXPECT_TRUE(late->shownAt.empty());
  EXPECT_EQ(journal.Count("init late"), 0);

  // A data change reaches the unfrozen views at the dialog's time, not the frozen late one.
  leaves[0]->SetValue(0, 4.0f);
  EXPECT_EQ(edits[0]->shownAt.size(), 2u);
  EXPECT_TRUE(late->shownAt.empty());
  Click(w, IDOK);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(journal.deletedDialogs, 1);
}

// A dialog that is refused or closed while it opens goes at once, and its initialisation stops
// there: its controls and the object are gone.
TEST_F(DialogTest, ADialogRefusedOrClosedWhileItOpensGoesThere) {
  const struct {
    const char* name;
    std::function<TestDlg*()> make;
    std::vector<std::pair<std::string, int>> counts;  // journal events and how often each came
  } cases[] = {
      // No control is initialised; the dialog is cancelled, closed and deleted.
      {"PreInit 0", [&] { return WithEdits(new TestDlg(0, 1)); },
       {{"init e0", 0}, {"postinit", 0}, {"command 2", 1}, {"unregister", 1}}},
      // The controls were initialised and shown, then the dialog closes all the same.
      {"PostInit 0", [&] { return WithEdits(new TestDlg(1, 0)); },
       {{"init e11", 1}, {"view e11", 1}, {"unregister", 1}}},
      {"no such template",
       [] {
         TestDlg* d = new TestDlg;
         d->templateId = 799;
         return d;
       },
       {}},
      // A view's Init leaves a Cancel in the dialog's queue, as the host's exit does when it comes
      // while the dialog opens; the close sequence runs once.
      {"cancelled by a message its Init queued",
       [&] {
         EditView* queuer = EditView::Create(nullptr, kDynamicId, "queuer");
         queuer->onInit = [](EditView& v) { PostMessageA(v.hwndParent(), WM_COMMAND, IDCANCEL, 0); };
         TestDlg* d = WithEdits(new TestDlg);
         *d += queuer;
         return d;
       },
       {{"init queuer", 1}, {"command 2", 1}, {"unregister", 1}, {"view e0", 0}, {"postinit", 0}}},
  };
  for (const auto& c : cases) {
    journal = Journal();
    EXPECT_EQ(Open(c.make()), nullptr) << c.name;
    for (const auto& e : c.counts) EXPECT_EQ(journal.Count(e.first), e.second) << c.name << ": " << e.first;
    EXPECT_EQ(journal.deletedDialogs, 1) << c.name;
    EXPECT_EQ(journal.liveViews, 0) << c.name;
  }
}

TEST_F(DialogTest, APageFaultingWhileItsParentOpensClosesBothAfterOneReport) {
  quortest::AssertRecorder asserts;
  TestDlg* parent = WithEdits(new TestDlg);
  JTabView* tab = JTabView::Create(nullptr, IDC_TEST_TAB, 0);
  *parent += tab;
  tab->Add(new TestPage, "Page");
  EditView* initFault = EditView::Create(nullptr, IDC_PAGE_FAULT, "init fault");
  initFault->onInit = [](EditView&) { quortest::WriteThroughNull(); };
  *tab->GetPage(0) += initFault;
  ModalDriver report(IDOK);
  EXPECT_EQ(Open(parent), nullptr);
  ASSERT_TRUE(report.Wait());
  EXPECT_EQ(report.Text().rfind(kFaultText, 0), 0u) << report.Text();
  EXPECT_EQ(journal.deletedDialogs, 2);
  EXPECT_EQ(journal.Count("view e0"), 0);
  EXPECT_EQ(journal.Count("postinit"), 0);
  EXPECT_TRUE(asserts.Hits().empty()) << "a page that went with its parent is no page that could not be made";
}

TEST_F(DialogTest, IconIsTheLibrarysByDefaultNoneWithMinusOneOrTheOneSet) {
  HICON library = LoadIconA(GetLibInstance(), MAKEINTRESOURCEA(kLibraryIcon));
  ASSERT_NE(library, nullptr);
  const HICON kNoIcon = (HICON)(INT_PTR)-1;
  HICON own = LoadIconA(nullptr, MAKEINTRESOURCEA(32516));  // IDI_INFORMATION
  const std::vector<WPARAM> kSmallThenBig = {ICON_SMALL, ICON_BIG}, kNoKinds;
  const struct {
    const char* name;
    HICON set;
    std::vector<HICON> sent;  // WM_SETICON's icons, small then big
  } cases[] = {{"default", nullptr, {library, library}}, {"none", kNoIcon, {}}, {"own", own, {own, own}}};
  for (const auto& c : cases) {
    journal = Journal();
    TestDlg* d = new TestDlg;
    if (c.set) d->SetIcon(c.set);
    EXPECT_EQ(d->GetIcon(), c.set) << c.name;
    ASSERT_EQ(Open(d), d) << c.name;
    EXPECT_EQ(journal.icons, c.sent) << c.name;
    EXPECT_EQ(journal.iconKinds, c.sent.empty() ? kNoKinds : kSmallThenBig) << c.name;
    EXPECT_EQ((HICON)SendMessageA(d->GetHwnd(), WM_GETICON, ICON_BIG, 0), library) << c.name << ": always asked for";
    Click(d->GetHwnd(), IDCANCEL);
  }
}

// ---- Closing -----------------------------------------------------------------------------------

enum class CloseWay { Ok, Cancel, SystemMenu, DestroyFromOutside };

class CloseTest : public DialogTest, public testing::WithParamInterface<CloseWay> {};

TEST_P(CloseTest, EveryWayRunsTheCloseSequenceOnce) {
  TestDlg* d = Open(WithEdits(new TestDlg));
  ASSERT_NE(d, nullptr);
  HWND w = d->GetHwnd();
  // Two edits are typed into: the commands reach their views, and the host's shortcuts go off
  // once for the dialog however many commands come.
  int e0 = journal.Count("data e0"), e1 = journal.Count("data e1"), e2 = journal.Count("data e2");
  SetDlgItemTextA(w, IDC_EDIT_FIRST, "1");
  SetDlgItemTextA(w, IDC_EDIT_FIRST + 1, "2");
  EXPECT_GT(journal.Count("data e0"), e0);
  EXPECT_GT(journal.Count("data e1"), e1);
  EXPECT_EQ(journal.Count("data e2"), e2);
  EXPECT_EQ(GetAcceleratorsDisableCount(), acceleratorsAtStart + 1);

  switch (GetParam()) {
    case CloseWay::Ok: Click(w, IDOK); break;
    case CloseWay::Cancel: Click(w, IDCANCEL); break;
    case CloseWay::SystemMenu: SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case CloseWay::DestroyFromOutside: DestroyWindow(w); break;
  }
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(journal.Count("unregister"), 1);
  EXPECT_EQ(journal.deletedDialogs, 1);
  EXPECT_FALSE(ip->IsDlgWndRegistered(w));
  if (GetParam() == CloseWay::SystemMenu) {
    EXPECT_EQ(journal.Count("command 2"), 1) << "heard as a Cancel";
  }
  EXPECT_TRUE(NoCallbackLeft()) << "the dialog no longer follows the host";
}

INSTANTIATE_TEST_SUITE_P(Ways, CloseTest,
                         testing::Values(CloseWay::Ok, CloseWay::Cancel, CloseWay::SystemMenu,
                                         CloseWay::DestroyFromOutside));

// A dialog whose Destroy closes its window but keeps the object, so that it can be opened again.
class ReusableDlg : public TestDlg {
 public:
  void Destroy() override {
    HWND w = hwnd;
    hwnd = nullptr;
    GetCOREInterface()->UnRegisterDlgWnd(w);
    DestroyWindow(w);
  }
};

TEST_F(DialogTest, ADialogKeptByItsDestroyClosesEveryTimeItIsOpened) {
  const int kRounds = 3;
  ReusableDlg* d = new ReusableDlg;
  for (int round = 1; round <= kRounds; round++) {
    *d += EditView::Create(leaves[0], IDC_EDIT_FIRST, "e0");
    ASSERT_EQ(Open(d), d) << "round " << round;
    HWND w = d->GetHwnd();
    EXPECT_EQ(journal.Count("init e0"), round);
    Click(w, IDOK);
    EXPECT_EQ(journal.Count("unregister"), round);
    EXPECT_EQ(journal.liveViews, 0) << "the close destroyed the controls, round " << round;
    if (IsWindow(w)) {
      ADD_FAILURE() << "round " << round << " left the dialog open";
      ip->UnRegisterDlgWnd(w);
      DestroyWindow(w);
      break;
    }
  }
  EXPECT_EQ(journal.deletedDialogs, 0);
  d->DeleteThis();
}

// The host's exit ends the process's application state, so it runs in a child process. Exit
// codes: 0 all well, otherwise the first check that failed.
QUORTEST_CHILD(HostExitClosesTheDialog) {
  journal = Journal();
  quortest::Held<JFloatData> leaf(Create_JFloatData());
  int exitCallbacks = GetExitCallbackCount();
  TestDlg* d = new TestDlg;
  *d += EditView::Create(leaf.d, IDC_EDIT_FIRST, "e0");
  if (JOneModelessBase::CreateDlg(nullptr, d) != d) return 1;
  HWND w = d->GetHwnd();
  if (GetExitCallbackCount() != exitCallbacks + 1) return 9;
  if (!HostExit()) return 2;
  if (IsWindow(w)) return 3;
  if (journal.Count("command 2") != 1) return 4;  // the exit callback cancels the dialog
  if (journal.Count("unregister") != 1) return 5;
  if (journal.deletedDialogs != 1 || journal.liveViews != 0) return 6;
  if (AdjustDialogCount(0) != 1) return 7;
  if (leaf->NumViews() != 0) return 8;
  if (GetExitCallbackCount() != exitCallbacks) return 10;
  return 0;
}

TEST(DialogExit, TheHostsExitCallbackClosesTheDialogOnce) {
  EXPECT_EQ(quortest::RunChild("HostExitClosesTheDialog"), 0u);
}

TEST_F(DialogTest, AChildWindowThatGoesTakesItsControlOutOfTheListWithoutDeletingIt) {
  TestDlg* d = Open(new TestDlg);
  ASSERT_NE(d, nullptr);
  EditView* v = EditView::Create(leaves[0], kDynamicId, "dynamic");
  *d += v;
  HWND child = CreateWindowExA(0, "BUTTON", "x", WS_CHILD, 0, 0, 10, 10, d->GetHwnd(), (HMENU)(INT_PTR)kDynamicId,
                               nullptr, nullptr);
  ASSERT_TRUE(child);
  DestroyWindow(child);
  EXPECT_EQ(d->NumControls(), 0);
  EXPECT_EQ(journal.liveViews, 1) << "removed, not deleted";
  Click(d->GetHwnd(), IDOK);
  v->Destroy();
}

// ---- Time --------------------------------------------------------------------------------------

TEST_F(DialogTest, SetTimeRefreshesDirectlyWhenUnlockedAndMovesTheHostWhenLocked) {
  TestDlg* d = Open(WithEdits(new TestDlg));
  ASSERT_NE(d, nullptr);
  EditView* v = edits[TEST_EDIT_COUNT - 1];

  d->SetTimeLock(0);
  d->SetTime(3 * kFrame);
  EXPECT_EQ(v->shownAt.back(), 3 * kFrame);
  EXPECT_EQ(edits[0]->shownAt.back(), 3 * kFrame) << "every control";
  EXPECT_EQ(ip->GetTime(), 0) << "the host's time stays";
  size_t shown = v->shownAt.size();
  ip->SetTime(5 * kFrame);
  EXPECT_EQ(v->shownAt.size(), shown) << "unlocked: the host's time is not followed";
  EXPECT_EQ(d->GetTime(), 3 * kFrame);

  d->SetTimeLock(1);
  d->SetTime(7 * kFrame);
  EXPECT_EQ(ip->GetTime(), 7 * kFrame) << "locked: the host's time moves";
  EXPECT_EQ(v->shownAt.size(), shown + 1) << "refreshed once, through the host's change";
  EXPECT_EQ(v->shownAt.back(), 7 * kFrame);
  ip->SetTime(9 * kFrame);
  EXPECT_EQ(d->GetTime(), 9 * kFrame);
  EXPECT_EQ(v->shownAt.back(), 9 * kFrame);
  Click(d->GetHwnd(), IDOK);
}

// ---- Undo holds around host control gestures ---------------------------------------------------

TEST_F(DialogTest, SpinnerAndColourGesturesMakeOneNamedUndoStep) {
  TestDlg* d = Open(WithEdits(new TestDlg));
  ASSERT_NE(d, nullptr);
  HWND w = d->GetHwnd();
  int undoAtStart = theHold.NumUndo();
  WPARAM e0 = IDC_EDIT_FIRST;

  // A drag: button down, two changes, accepted.
  SendMessageA(w, CC_SPINNER_BUTTONDOWN, e0, 0);
  SendMessageA(w, CC_SPINNER_CHANGE, MAKEWPARAM(e0, 1), 0);
  SendMessageA(w, CC_SPINNER_CHANGE, MAKEWPARAM(e0, 1), 0);
  SendMessageA(w, CC_SPINNER_BUTTONUP, MAKEWPARAM(e0, 1), 0);
  EXPECT_EQ(leaves[0]->GetFValue(0), 2.0f);
  EXPECT_EQ(theHold.NumUndo(), undoAtStart + 1);
  EXPECT_STREQ(theHold.UndoName(), kActionName);

  // A cancelled drag puts the value back and makes no step.
  SendMessageA(w, CC_SPINNER_BUTTONDOWN, e0, 0);
  SendMessageA(w, CC_SPINNER_CHANGE, MAKEWPARAM(e0, 1), 0);
  SendMessageA(w, CC_SPINNER_BUTTONUP, MAKEWPARAM(e0, 0), 0);
  EXPECT_EQ(leaves[0]->GetFValue(0), 2.0f);
  EXPECT_EQ(theHold.NumUndo(), undoAtStart + 1);

  // A final colour change opens and accepts its own hold, unless the control already shows it.
  SendMessageA(w, CC_COLOR_CHANGE, MAKEWPARAM(e0 + 1, 1), 0);
  EXPECT_EQ(leaves[1]->GetFValue(0), 1.0f);
  EXPECT_EQ(theHold.NumUndo(), undoAtStart + 2);
  edits[1]->valid = 1;
  SendMessageA(w, CC_COLOR_CHANGE, MAKEWPARAM(e0 + 1, 1), 0);
  EXPECT_EQ(leaves[1]->GetFValue(0), 1.0f);
  EXPECT_EQ(theHold.NumUndo(), undoAtStart + 2);
  // A message for an id no control owns is ignored.
  SendMessageA(w, CC_SPINNER_CHANGE, MAKEWPARAM(kDynamicId, 0), 0);
  SendMessageA(w, CC_SPINNER_BUTTONUP, MAKEWPARAM(kDynamicId, 0), 0);
  Click(w, IDOK);
  theHold.ClearHistory();  // the steps keep the leaves' controllers alive
}

// ---- Title -------------------------------------------------------------------------------------

TEST_F(DialogTest, TitleMenuRenamesTheDialogAndItsTitleData) {
  quortest::Held<JBinaryData> name(Create_JBinaryData());
  TestDlg* d = new TestDlg;
  d->SetDlgTitle("Gain curve");
  d->SetDlgTitle(name.d);  // bound: shows what the data holds (nothing yet)
  EXPECT_STREQ(d->GetDlgTitle(), "");
  d->SetDlgTitle("Gain curve");
  EXPECT_STREQ((const char*)name->Payload().Data(), "Gain curve") << "written into the title data";
  d->DlgTitleMenu(kTitleCommand, nullptr);
  ASSERT_EQ(Open(d), d);
  HWND w = d->GetHwnd();
  EXPECT_EQ(quortest::WindowText(w), "Gain curve");
  HMENU menu = GetSystemMenu(w, FALSE);
  EXPECT_EQ(MenuText(menu, kTitleCommand), "Rename...");

  // The user picks the item, sees the current title, types a new one and accepts.
  std::string shownInEdit;
  ModalDriver rename(IDOK);
  rename.Before([&](HWND box) { shownInEdit = quortest::WindowText(GetDlgItem(box, kRenameEdit)); });
  rename.Type(kRenameEdit, "Falloff");
  SendMessageA(w, WM_SYSCOMMAND, kTitleCommand, 0);
  ASSERT_TRUE(rename.Wait());
  EXPECT_EQ(rename.Caption(), kRenameCaption);
  EXPECT_EQ(shownInEdit, "Gain curve");
  EXPECT_EQ(quortest::WindowText(w), "Falloff");
  EXPECT_STREQ(d->GetDlgTitle(), "Falloff");
  EXPECT_STREQ((const char*)name->Payload().Data(), "Falloff");

  // Cancelled: nothing changes.
  ModalDriver cancel(IDCANCEL);
  cancel.Type(kRenameEdit, "Ignored");
  SendMessageA(w, WM_COMMAND, kTitleCommand, 0);  // the title command may come as a command too
  ASSERT_TRUE(cancel.Wait());
  EXPECT_EQ(quortest::WindowText(w), "Falloff");

  // Taking the item away removes it and one separator.
  int items = GetMenuItemCount(menu);
  d->DlgTitleMenu(0xFFFFFFFFu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), items - 2);
  EXPECT_EQ(MenuText(menu, kTitleCommand), "");
  EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), (UINT)-1) << "Close stays";
  // An item text of the dialog's own.
  d->DlgTitleMenu(kTitleCommand + 1, "Name this");
  EXPECT_EQ(GetMenuItemCount(menu), items);
  EXPECT_EQ(MenuText(menu, kTitleCommand + 1), "Name this");
  Click(w, IDOK);
  // Title data without a terminator is read as a string.
  const char raw[] = {'A', 'B', 'C'};
  name->Payload().Copy(raw, sizeof raw);
  PlainDialog* plain = new PlainDialog;
  plain->SetDlgTitle(name.d);
  EXPECT_STREQ(plain->GetDlgTitle(), "ABC");
  plain->DeleteThis();
}

// ---- The fault guard ---------------------------------------------------------------------------

namespace {
// Clicks a button whose control faults and presses OK in the report that follows.
testing::AssertionResult ClickAndAnswerFaultReport(HWND dlg, int id) {
  ModalDriver report(IDOK);
  Click(dlg, id);
  if (!report.Wait()) return testing::AssertionFailure() << "no report appeared";
  if (report.Text().rfind(kFaultText, 0) != 0) return testing::AssertionFailure() << "report: " << report.Text();
  return testing::AssertionSuccess();
}
// Clicks a button and watches for a fault report that must not come.
testing::AssertionResult ClickWithoutReport(HWND dlg, int id) {
  ModalDriver report(IDOK, kNoReportWaitMs);
  Click(dlg, id);
  if (report.Wait()) return testing::AssertionFailure() << "reported: " << report.Text();
  return testing::AssertionSuccess();
}
}  // namespace

TEST_F(DialogTest, AFaultingControlClosesItsDialogAfterTheReport) {
  HWND w = OpenWithFaultingButton();
  ASSERT_TRUE(w);
  EXPECT_TRUE(ClickAndAnswerFaultReport(w, IDC_FAULT));
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(journal.deletedDialogs, 1);
  EXPECT_FALSE(ip->IsDlgWndRegistered(w));
  EXPECT_TRUE(NoCallbackLeft()) << "the faulting dialog gave its callbacks back";

  // The process goes on: the next dialog opens and closes as usual.
  TestDlg* next = Open(new TestDlg);
  ASSERT_NE(next, nullptr);
  Click(next->GetHwnd(), IDOK);
  EXPECT_EQ(journal.deletedDialogs, 2);
}

TEST_F(DialogTest, AFaultingTabPageClosesItsParent) {
  TestDlg* parent = Open(WithEdits(new TestDlg));
  ASSERT_NE(parent, nullptr);
  TestPage* page = new TestPage;
  page->Parent() = parent;
  *page += FaultView(IDC_PAGE_FAULT);
  EditView* pageView = EditView::Create(leaves[0], kDynamicId, "page");
  *page += pageView;
  ASSERT_EQ(JOneModelessBase::CreateDlg(parent->GetHwnd(), page), page);
  HWND pageWindow = page->GetHwnd();
  EXPECT_EQ(GetParent(pageWindow), parent->GetHwnd());

  // The page lives at its parent's time and under its parent's undo label.
  parent->SetTimeLock(0);
  parent->SetTime(4 * kFrame);
  EXPECT_EQ(page->GetTime(), 4 * kFrame);
  EXPECT_STREQ(page->ActionName(), kActionName);
  // It follows the host's time changes itself (time callback only), shown at the time given.
  ip->SetTime(6 * kFrame);
  EXPECT_EQ(pageView->shownAt.back(), 6 * kFrame);
  EXPECT_EQ(edits[0]->shownAt.back(), 4 * kFrame) << "the unlocked parent stays";

  HWND parentWindow = parent->GetHwnd();
  EXPECT_TRUE(ClickAndAnswerFaultReport(pageWindow, IDC_PAGE_FAULT));
  EXPECT_FALSE(IsWindow(parentWindow));
  EXPECT_FALSE(IsWindow(pageWindow));
  EXPECT_EQ(journal.deletedDialogs, 2);
  EXPECT_TRUE(NoCallbackLeft()) << "neither the parent's nor the page's callbacks are left";
}

TEST_F(DialogTest, AFaultingPageOfATabViewClosesTheParentWithoutTheViewTouchingTheGonePage) {
  TestDlg* parent = WithEdits(new TestDlg);
  JTabView* tab = JTabView::Create(nullptr, IDC_TEST_TAB, 0);
  *parent += tab;
  TestPage* page = new TestPage;
  tab->Add(page, "Page");
  *page += FaultView(IDC_PAGE_FAULT);
  ASSERT_EQ(Open(parent), parent);
  HWND parentWindow = parent->GetHwnd(), pageWindow = page->GetHwnd();
  ASSERT_TRUE(IsWindow(pageWindow));
  EXPECT_EQ(GetParent(pageWindow), GetDlgItem(parentWindow, IDC_TEST_TAB));

  // The parent's teardown lets the tab view close its page before the parent's window goes.
  EXPECT_TRUE(ClickAndAnswerFaultReport(pageWindow, IDC_PAGE_FAULT));
  EXPECT_FALSE(IsWindow(parentWindow));
  EXPECT_FALSE(IsWindow(pageWindow));
  EXPECT_EQ(journal.deletedDialogs, 2);
}

// The report's message loop runs the dialog's messages: one that closes the dialog (the host's
// exit cancels it) leaves nothing for the fault's own close to do.
TEST_F(DialogTest, ADialogClosedWhileItsFaultReportIsUpIsLeftAlone) {
  HWND w = OpenWithFaultingButton();
  ASSERT_TRUE(w);
  DWORD gui = GetCurrentThreadId();
  ModalDriver report(IDOK);
  report.Before([w, gui](HWND) {
    DWORD_PTR answer;
    SendMessageTimeoutA(w, WM_COMMAND, IDCANCEL, 0, SMTO_NORMAL, kNoReportWaitMs, &answer);
    PostThreadMessageA(gui, WM_NULL, 0, 0);  // the box's loop sees that its window went at its next message
  });
  Click(w, IDC_FAULT);
  report.Wait();  // the box went with its owner, before the driver could press it
  EXPECT_EQ(report.Text().rfind(kFaultText, 0), 0u) << report.Text();
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(journal.Count("command 2"), 1);
  EXPECT_EQ(journal.Count("unregister"), 1) << "closed by its close sequence, once";
  EXPECT_EQ(journal.deletedDialogs, 1);
}

TEST_F(DialogTest, ASecondFaultWhileTheReportIsUpOpensNoSecondReport) {
  HWND w = OpenWithFaultingButton();
  ASSERT_TRUE(w);
  DWORD gui = GetCurrentThreadId();
  bool secondReport = false;
  ModalDriver report(IDOK);
  report.Before([&](HWND box) {
    // The faulting control hears from its dialog again while the first report is up.
    DWORD_PTR answer;
    SendMessageTimeoutA(w, WM_COMMAND, MAKEWPARAM(IDC_FAULT, BN_CLICKED), (LPARAM)GetDlgItem(w, IDC_FAULT),
                        SMTO_NORMAL, kNoReportWaitMs, &answer);
    HWND second = quortest::FindDialogOf(gui, [&](HWND x) { return x != box && x != w; });
    if (!second) return;
    // Answered, and the first box's loop woken should the second report's close take it away,
    // so that the test fails rather than hangs.
    secondReport = true;
    PostMessageA(GetDlgItem(second, IDOK), BM_CLICK, 0, 0);
    PostThreadMessageA(gui, WM_NULL, 0, 0);
  });
  Click(w, IDC_FAULT);
  EXPECT_TRUE(report.Wait());
  EXPECT_FALSE(secondReport);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(journal.deletedDialogs, 1);
}

namespace {
// A page that becomes readable on its first touch: a vectored handler behind the library's lets
// the faulting read go on, as a memory-mapping scheme of another module would. One at a time.
class FirstTouchPage {
 public:
  FirstTouchPage() : base(VirtualAlloc(nullptr, 1, MEM_RESERVE | MEM_COMMIT, PAGE_NOACCESS)) {
    current = this;
    handler = AddVectoredExceptionHandler(0, Open);
  }
  ~FirstTouchPage() {
    RemoveVectoredExceptionHandler(handler);
    current = nullptr;
    VirtualFree(base, 0, MEM_RELEASE);
  }
  FirstTouchPage(const FirstTouchPage&) = delete;
  FirstTouchPage& operator=(const FirstTouchPage&) = delete;
  char* Data() { return static_cast<char*>(base); }
  // No access again, so that the next touch faults.
  void Close() {
    DWORD old;
    VirtualProtect(base, 1, PAGE_NOACCESS, &old);
  }
  int opened = 0;  // faults this page answered

 private:
  static LONG CALLBACK Open(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (!current || r->ExceptionCode != EXCEPTION_ACCESS_VIOLATION || r->NumberParameters < 2)
      return EXCEPTION_CONTINUE_SEARCH;
    char* touched = reinterpret_cast<char*>(r->ExceptionInformation[1]);
    if (touched != current->Data()) return EXCEPTION_CONTINUE_SEARCH;
    DWORD old;
    if (!VirtualProtect(current->base, 1, PAGE_READONLY, &old)) return EXCEPTION_CONTINUE_SEARCH;
    current->opened++;
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  static FirstTouchPage* current;
  void* base;
  void* handler;
};
FirstTouchPage* FirstTouchPage::current = nullptr;

// A message-only window of the test program that reads a page when it gets kMsgTouch.
class Neighbour {
 public:
  static const UINT kMsgTouch = WM_APP + 7;
  explicit Neighbour(const char* page) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);  // fails harmlessly when a previous test registered it
    hwnd = CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    this->page = page;
  }
  ~Neighbour() { DestroyWindow(hwnd); }
  void PostTouch() { PostMessageA(hwnd, kMsgTouch, 0, 0); }
  HWND hwnd;
  int touches = 0;  // reads that completed

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wParam, LPARAM lParam) {
    Neighbour* self = reinterpret_cast<Neighbour*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (msg != kMsgTouch || !self) return DefWindowProcA(w, msg, wParam, lParam);
    (void)*reinterpret_cast<volatile const char*>(self->page);
    self->touches++;
    return 0;
  }
  static constexpr const char* kClass = "QuorlibTestNeighbour";
  const char* page = nullptr;
};
}  // namespace

TEST_F(DialogTest, SystemCallsThatProbeMemoryAnswerForThemselvesInsideTheGuard) {
  quortest::GuardPageBuffer guard(1);
  ASSERT_TRUE(guard.Ok());
  char* noAccess = reinterpret_cast<char*>(guard.Tail(0));  // the first byte of the guard page
  TestDlg* d = Open(new TestDlg);
  ASSERT_NE(d, nullptr);
  HWND w = d->GetHwnd();
  BOOL badRead = FALSE, badWrite = FALSE;
  int length = -1;
  d->onCommand = [&](int id) {
    if (id != kActionButton) return false;
    badRead = IsBadReadPtr(noAccess, sizeof(int));
    badWrite = IsBadWritePtr(noAccess, sizeof(int));
    length = lstrlenA(noAccess);
    return true;
  };
  EXPECT_TRUE(ClickWithoutReport(w, kActionButton));
  EXPECT_TRUE(badRead);
  EXPECT_TRUE(badWrite);
  EXPECT_EQ(length, 0);
  ASSERT_TRUE(IsWindow(w)) << "the dialog stays open";
  EXPECT_EQ(journal.deletedDialogs, 0);
  Click(w, IDOK);
  EXPECT_EQ(journal.deletedDialogs, 1);
}

TEST_F(DialogTest, AnotherWindowsFaultWhileTheDialogPumpsIsNotTheDialogs) {
  FirstTouchPage page;
  ASSERT_NE(page.Data(), nullptr);
  Neighbour neighbour(page.Data());
  ASSERT_TRUE(neighbour.hwnd);
  TestDlg* d = Open(WithEdits(new TestDlg));
  ASSERT_NE(d, nullptr);
  HWND w = d->GetHwnd();

  // The dialog's handling of a command lets the host pump; the neighbour's read faults there and
  // is answered by the handler that owns the page.
  d->onCommand = [](int id) {
    if (id != kActionButton) return false;
    JPumpMessages();
    return true;
  };
  neighbour.PostTouch();
  EXPECT_TRUE(ClickWithoutReport(w, kActionButton));
  EXPECT_EQ(page.opened, 1);
  EXPECT_EQ(neighbour.touches, 1) << "the neighbour's read went on";
  ASSERT_TRUE(IsWindow(w)) << "the dialog stays open";

  // The close sequence pumps too, with the controls still there.
  page.Close();
  neighbour.PostTouch();
  EXPECT_TRUE(ClickWithoutReport(w, IDOK));
  EXPECT_EQ(page.opened, 2);
  EXPECT_EQ(neighbour.touches, 2);
  EXPECT_FALSE(IsWindow(w));
  EXPECT_EQ(journal.Count("unregister"), 1) << "the close sequence ran once, in full";
  EXPECT_EQ(journal.deletedDialogs, 1);
}

// ---- Reliability -------------------------------------------------------------------------------

TEST_F(DialogTest, AThousandOpenAndCloseCyclesLeaveNothingBehind) {
  const int kCycles = 1000;
  const int kFuncViews = 4;
  static int funcCalls;
  funcCalls = 0;
  auto cycle = [&](int i) {
    TestDlg* d = WithEdits(new TestDlg);
    for (int f = 0; f < kFuncViews; f++)
      *d += JViewFunc::Create(leaves[f], [](JViewFunc*, void*, int, ReferenceTarget*) { funcCalls++; }, nullptr);
    d->DlgTitleMenu(kTitleCommand, nullptr);
    if (Open(d) != d) return false;
    HWND w = d->GetHwnd();
    leaves[0]->SetValue(0, (float)i);  // one change reaches the open dialog's views
    switch (i % 3) {
      case 0: Click(w, IDOK); break;
      case 1: SendMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); break;
      case 2: DestroyWindow(w); break;
    }
    return !IsWindow(w) && AdjustDialogCount(0) == 1 && journal.liveViews == 0;
  };
  ASSERT_TRUE(cycle(0));  // the first dialog loads what every later one shares (fonts, classes)
  int probedBefore = CountOpenHandles();
  long targetsBefore = GetLiveRefTargetCount();
  int windowsBefore = quortest::CountThreadWindows();
  int attachedBefore = JAttachedCount();
  funcCalls = 0;
  for (int i = 1; i <= kCycles; i++) ASSERT_TRUE(cycle(i)) << "cycle " << i;
  int probedAfter = CountOpenHandles();
  printf("[ figures ] %d cycles: open handles probed %d -> %d, live reference targets %ld -> %ld, thread "
         "windows %d -> %d\n",
         kCycles, probedBefore, probedAfter, targetsBefore, GetLiveRefTargetCount(), windowsBefore,
         quortest::CountThreadWindows());
  EXPECT_EQ(probedAfter, probedBefore);
  // Every callback view is called once when its dialog opens, and the changed leaf's once more.
  EXPECT_EQ(funcCalls, kCycles * (kFuncViews + 1));
  EXPECT_EQ(journal.deletedDialogs, kCycles + 1);
  EXPECT_EQ(AdjustDialogCount(0), 1);
  EXPECT_EQ(GetLiveRefTargetCount(), targetsBefore);
  EXPECT_EQ(quortest::CountThreadWindows(), windowsBefore);
  EXPECT_EQ(JAttachedCount(), attachedBefore);
}

// ---- The one-instance editing dialog -----------------------------------------------------------

namespace {
// A data type edited with the library's rename dialog template as its own (it has OK and Cancel).
struct Setting {
  JFloatData* leaf;
};
}  // namespace

template <>
struct JViewDlgTraits<Setting> {
  static const char* ActionName() { return "Edit Setting"; }
  static void AddControls(JViewDlgBase& dlg, Setting* s) {
    dlg += EditView::Create(s->leaf, kRenameEdit, "setting");
  }
};

namespace {
const int kRenameTemplate = 114;
using SettingDlg = JViewDlg<Setting, kRenameTemplate>;
}  // namespace

TEST_F(DialogTest, OneInstanceDialogKnowsItsInstanceAndWhetherItWasAccepted) {
  Setting s{leaves[0]};
  SettingDlg* d = new SettingDlg(&s);
  EXPECT_EQ(SettingDlg::Instance(), d);
  EXPECT_EQ(d->NumControls(), 1);
  EXPECT_STREQ(d->ActionName(), "Edit Setting");
  EXPECT_EQ(d->GetInstanceHandle(), GetLibInstance());
  ASSERT_EQ(JOneModelessBase::CreateDlg(nullptr, d), d);
  Click(d->GetHwnd(), IDOK);
  EXPECT_EQ(SettingDlg::Instance(), nullptr);
  EXPECT_EQ(SettingDlg::Accepted(), 1);

  SettingDlg* again = new SettingDlg(&s);
  EXPECT_EQ(SettingDlg::Accepted(), 0) << "a new dialog starts unaccepted";
  ASSERT_EQ(JOneModelessBase::CreateDlg(nullptr, again), again);
  // Switching needs data, and this type cannot switch at all.
  quortest::AssertRecorder asserts;
  EXPECT_EQ(again->SwitchDlg(nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(again->SwitchDlg(nullptr, leaves[1], nullptr), 1);
  ASSERT_EQ(asserts.Hits().size(), 2u);
  EXPECT_EQ(asserts.Hits()[0].file, "JVIEW");
  EXPECT_EQ(asserts.Hits()[1].file, "JVIEW");
  Click(again->GetHwnd(), IDCANCEL);
  EXPECT_EQ(SettingDlg::Accepted(), 0);
  EXPECT_EQ(journal.liveViews, 0);
}
