// The material editor behind a map's panel: its map browser, driven by pressing its buttons, and
// what a pick does to the map, the editor's sample and the panel's windows, in that order.
#include "ControlDriver.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "testtex.h"
#include "vantor.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

namespace {

using quortest::ModalDriver;
using quortest::WindowText;

constexpr int kBrowserList = 1602, kBrowserPrompt = 1601;  // the browser's list and its prompt
constexpr int kCheckerSlots = 2;
constexpr int kNoButton = 0x7777;   // a driver of this presses nothing: only the browser itself closes
constexpr DWORD kPumpMs = 5000;     // a posted request is served within this
constexpr DWORD kNoDialogMs = 600;  // a refused request opens no browser within this
constexpr UINT kSecondRequestMs = 2000;  // a request refused at once is answered within this
const char kRecorderClass[] = "MtlEditorTestPanel";

HMODULE TestMaps() {
  static HMODULE m = LoadPluginModule(quortest::BinPath("testplugins\\testtex.dlt").c_str());
  return m;
}

bool Same(const Color& a, const Color& b) { return a.r == b.r && a.g == b.g && a.b == b.b; }

// What a panel window saw when the editor told it that a sub-texture changed.
struct Refresh {
  Texmap* slotMap;  // the watched slot's map at that moment
  int samples;      // the editor's sample renders at that moment
};

// A panel window, or one of the panel's own dialogs: records each MTLEDIT_SUBTEX_CHANGED with
// what the map and the editor show at that moment.
struct RecordingWindow {
  HWND hwnd = nullptr;
  HWND editor = nullptr;
  Texmap* map = nullptr;  // the map whose slot is watched
  int slot = 0;
  std::vector<Refresh> refreshes;

  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == MTLEDIT_SUBTEX_CHANGED && self)
      self->refreshes.push_back(Refresh{self->map->GetSubTexmap(self->slot), GetMtlEditorSample(self->editor, nullptr)});
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
  void Create(HWND owner) {
    static bool registered = [] {
      WNDCLASSA wc = {};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = kRecorderClass;
      return RegisterClassA(&wc) != 0;
    }();
    if (!registered) return;
    hwnd = CreateWindowExA(0, kRecorderClass, "", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, owner, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
};

// A checker open in the editor, with a panel window owned by the editor (as CreateParamDlg makes
// it) and a dialog of the panel's own owned by the panel.
class MtlEditor : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(TestMaps(), nullptr);
    theHold.ClearHistory();
    checker = NewCheckerMap(kDark, kLight, 2);
    editor = CreateMtlEditor(checker);
    ASSERT_NE(editor, nullptr);
    panel.Create(editor);
    ownedDialog.Create(panel.hwnd);
    ASSERT_TRUE(panel.hwnd && ownedDialog.hwnd);
    ASSERT_TRUE(SetMtlEditorPanel(editor, panel.hwnd));
    Watch(checker, 0);
  }
  void TearDown() override {
    // What the browser's closing queued (activation moving back to the panel) is served while the
    // panel still lives, as the application's loop would; left queued, it reached the next test's
    // windows (a button held down there lost its press).
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    DestroyWindow(editor);
    EXPECT_FALSE(IsWindow(panel.hwnd)) << "the panel goes with the editor that owns it";
    theHold.ClearHistory();  // the editor's map goes now: no target stays beyond the test
  }
  void Watch(Texmap* map, int slot) {
    for (RecordingWindow* w : {&panel, &ownedDialog}) {
      w->editor = editor;
      w->map = map;
      w->slot = slot;
    }
  }
  // Asks for sub-texture slot of map as the panel does, with the browser answered by driver.
  LRESULT Pick(int slot, Texmap* map) { return SendMessageA(editor, MTLEDIT_PICK_SUBTEX, (WPARAM)slot, (LPARAM)map); }
  int Samples() { return GetMtlEditorSample(editor, nullptr); }

  // Selects the list entry named name before the driver presses its button; with doubleClick the
  // entry is double-clicked as well.
  static void Choose(ModalDriver& d, const std::string& name, bool doubleClick = false) {
    d.Before([name, doubleClick](HWND dlg) {
      HWND list = GetDlgItem(dlg, kBrowserList);
      quortest::SelectListBoxItem(list, name);
      if (doubleClick) SendMessageA(dlg, WM_COMMAND, MAKEWPARAM(kBrowserList, LBN_DBLCLK), (LPARAM)list);
    });
  }
  std::string ClassNameOf(Texmap* m) {
    if (!m) return "(none)";
    CStr s;
    m->GetClassName(s);
    return s.data();
  }

  const Color kDark = Color(0.5f, 0.0f, 0.0f), kLight = Color(0.0f, 0.5f, 0.0f);
  Texmap* checker = nullptr;
  HWND editor = nullptr;
  RecordingWindow panel, ownedDialog;
};

TEST_F(MtlEditor, TheBrowserListsNoneTheHostMapsAndThePluginsPublicMaps) {
  std::vector<std::string> items;
  std::string prompt;
  int selected = -1;
  ModalDriver d(IDCANCEL);
  d.Before([&](HWND dlg) {
    HWND list = GetDlgItem(dlg, kBrowserList);
    items = quortest::ListBoxItems(list);
    selected = (int)SendMessageA(list, LB_GETCURSEL, 0, 0);
    prompt = WindowText(GetDlgItem(dlg, kBrowserPrompt));
  });
  EXPECT_EQ(Pick(1, checker), 0) << "cancelled";
  ASSERT_TRUE(d.Wait());
  EXPECT_EQ(d.Caption(), "Map Browser");
  EXPECT_EQ(prompt, "Map for Color 2 of Checker:");
  ASSERT_GE(items.size(), 4u);
  const std::vector<std::string> first = {"None", "Solid Color", "Checker"};
  EXPECT_EQ(std::vector<std::string>(items.begin(), items.begin() + 3), first) << "None, then the host's own maps";
  int stripes = 0, hidden = 0, things = 0;
  for (const std::string& s : items) {
    stripes += s == TESTTEX_STRIPES_NAME;
    hidden += s == TESTTEX_HIDDEN_NAME;
    things += s == "TestThing";
  }
  EXPECT_EQ(stripes, 1) << "the plug-in's texture map";
  EXPECT_EQ(hidden, 0) << "a class that is not public";
  EXPECT_EQ(things, 0) << "only texture maps";
  EXPECT_EQ(selected, 0) << "an empty slot selects None";
}

TEST_F(MtlEditor, PickingAMapAssignsItThenRendersTheSampleThenTellsThePanelWindows) {
  int samples = Samples();
  ModalDriver d(IDOK);
  Choose(d, TESTTEX_STRIPES_NAME);
  // Posted, as the panel's texture button does it: served when the thread reads its messages.
  ASSERT_TRUE(PostMessageA(editor, MTLEDIT_PICK_SUBTEX, 0, (LPARAM)checker));
  ASSERT_TRUE(quortest::ControlDriver::PumpUntil([&] { return !panel.refreshes.empty(); }, kPumpMs));
  ASSERT_TRUE(d.Wait());

  Texmap* assigned = checker->GetSubTexmap(0);
  EXPECT_EQ(ClassNameOf(assigned), TESTTEX_STRIPES_NAME);
  EXPECT_EQ(checker->GetSubTexmap(1), nullptr) << "only the slot asked for";
  for (RecordingWindow* w : {&panel, &ownedDialog}) {
    ASSERT_EQ(w->refreshes.size(), 1u);
    EXPECT_EQ(w->refreshes[0].slotMap, assigned) << "told after the assignment";
    EXPECT_EQ(w->refreshes[0].samples, samples + 1) << "told after MtlChanged";
  }
  // The sample is the checker's middle: its first square, now the stripes' far side.
  Color sample;
  EXPECT_EQ(GetMtlEditorSample(editor, &sample), samples + 1);
  EXPECT_TRUE(Same(sample, TESTTEX_STRIPES_HIGH));
  EXPECT_TRUE(IsWindowEnabled(ownedDialog.hwnd)) << "the panel's dialogs are enabled again";

  // One undo step takes the map out again.
  EXPECT_STREQ(theHold.UndoName(), "Assign Map");
  EXPECT_TRUE(theHold.Undo());
  EXPECT_EQ(checker->GetSubTexmap(0), nullptr);
}

TEST_F(MtlEditor, CancelLeavesTheSlotAndTheBrowserShowsItsClass) {
  Texmap* solid = NewSolidColorMap(kLight);
  checker->SetSubTexmap(1, solid);
  Watch(checker, 1);
  int samples = Samples();
  std::string selected;
  LRESULT second = -1;
  BOOL ownedEnabled = TRUE;
  ModalDriver d(IDCANCEL);
  d.Before([&](HWND dlg) {
    HWND list = GetDlgItem(dlg, kBrowserList);
    char text[128] = "";
    SendMessageA(list, LB_GETTEXT, (WPARAM)SendMessageA(list, LB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
    selected = text;
    // While the browser is open the panel's dialogs are disabled and a second request is refused.
    ownedEnabled = IsWindowEnabled(ownedDialog.hwnd);
    // (With a time-out: a second browser would keep the request waiting.)
    DWORD_PTR answer = 0;
    if (SendMessageTimeoutA(editor, MTLEDIT_PICK_SUBTEX, 0, (LPARAM)checker, SMTO_NORMAL, kSecondRequestMs, &answer))
      second = (LRESULT)answer;
    SendMessageA(list, LB_SETCURSEL, 0, 0);  // None chosen, then cancelled
  });
  EXPECT_EQ(Pick(1, checker), 0);
  ASSERT_TRUE(d.Wait());
  EXPECT_EQ(selected, "Solid Color");
  EXPECT_FALSE(ownedEnabled);
  EXPECT_EQ(second, 0);
  EXPECT_TRUE(IsWindowEnabled(ownedDialog.hwnd));
  EXPECT_EQ(checker->GetSubTexmap(1), solid);
  EXPECT_TRUE(panel.refreshes.empty());
  EXPECT_EQ(Samples(), samples);
  EXPECT_EQ(theHold.NumUndo(), 0);
}

// None empties a slot and lets its map go, a double click in the list chooses as OK does, and a
// sub-texture of a map inside the edited one is served too; each tells the panel once.
TEST_F(MtlEditor, NoneADoubleClickAndANestedMapAreServedLikeAPick) {
  const int kSlot = 1;
  Texmap* inner = NewCheckerMap(kLight, kDark, 2);
  checker->SetSubTexmap(0, inner);
  checker->SetSubTexmap(kSlot, NewSolidColorMap(kLight));
  const struct {
    const char* what;
    Texmap* map;
    const char* choice;
    bool doubleClick;
    int liveChange;  // the solid map goes; a chosen map comes
  } cases[] = {{"None", checker, "None", false, -1},
               {"a double click", checker, "Checker", true, 1},
               {"a nested map", inner, "Solid Color", false, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Watch(c.map, kSlot);
    panel.refreshes.clear();
    long live = GetLiveRefTargetCount();
    ModalDriver d(c.doubleClick ? kNoButton : IDOK);
    Choose(d, c.choice, c.doubleClick);
    EXPECT_EQ(Pick(kSlot, c.map), 1);
    EXPECT_NE(d.Wait(), c.doubleClick);
    Texmap* now = c.map->GetSubTexmap(kSlot);
    EXPECT_EQ(ClassNameOf(now), strcmp(c.choice, "None") ? c.choice : "(none)");
    ASSERT_EQ(panel.refreshes.size(), 1u);
    EXPECT_EQ(panel.refreshes[0].slotMap, now);
    theHold.ClearHistory();
    EXPECT_EQ(GetLiveRefTargetCount(), live + c.liveChange);
  }
}

TEST_F(MtlEditor, RequestsItCannotServeAreRefusedWithoutABrowser) {
  Texmap* foreign = NewCheckerMap(kDark, kLight, 2);
  quortest::Held<Texmap> hold(foreign);
  int notAMap = 0;
  int samples = Samples();
  ModalDriver d(IDCANCEL, kNoDialogMs);  // cancels a browser that should not have opened
  EXPECT_EQ(Pick(kCheckerSlots, checker), 0) << "past the last sub-texture";
  EXPECT_EQ(Pick(-1, checker), 0) << "what a flag without an owner asks for";
  EXPECT_EQ(Pick(0, nullptr), 0);
  EXPECT_EQ(Pick(0, foreign), 0) << "a map this editor does not edit";
  EXPECT_EQ(Pick(0, reinterpret_cast<Texmap*>(&notAMap)), 0) << "not a map at all";
  EXPECT_FALSE(d.Wait()) << "no browser opened";
  EXPECT_EQ(checker->GetSubTexmap(0), nullptr);
  EXPECT_EQ(foreign->GetSubTexmap(0), nullptr);
  EXPECT_TRUE(panel.refreshes.empty());
  EXPECT_EQ(Samples(), samples);
}

TEST_F(MtlEditor, APanelFindsItsEditorThroughItsOwner) {
  // The plug-in's map opens its panel owned by the editor's window, which answers its IMtlParams.
  Texmap* stripes = dynamic_cast<Texmap*>(static_cast<Animatable*>(CreateInstance(TEXMAP_CLASS_ID, TESTTEX_STRIPES_CLASS_ID)));
  ASSERT_NE(stripes, nullptr);
  HWND stripesEditor = CreateMtlEditor(stripes);
  HWND stripesPanel = OpenMtlEditorPanel(stripesEditor);
  ASSERT_NE(stripesPanel, nullptr);
  HWND owner = GetWindow(stripesPanel, GW_OWNER);
  EXPECT_EQ(owner, stripesEditor);
  IMtlParams* params = GetMtlParams(owner);
  ASSERT_NE(params, nullptr);
  EXPECT_NE(params, GetMtlParams(editor)) << "each editor has its own";
  // MtlChanged renders the sample, taken in the middle of texture space: past the stripes' edge.
  params->MtlChanged();
  Color sample;
  EXPECT_EQ(GetMtlEditorSample(stripesEditor, &sample), 1);
  EXPECT_TRUE(Same(sample, TESTTEX_STRIPES_HIGH));
  DestroyWindow(stripesEditor);
  EXPECT_FALSE(IsWindow(stripesPanel));

  // Windows that are not editors, and maps without a panel.
  EXPECT_EQ(OpenMtlEditorPanel(editor), nullptr) << "the checker has no panel";
  EXPECT_EQ(GetMtlParams(panel.hwnd), nullptr);
  EXPECT_EQ(GetMtlParams(nullptr), nullptr);
  EXPECT_EQ(GetMtlEditorSample(panel.hwnd, nullptr), -1);
  EXPECT_FALSE(SetMtlEditorPanel(panel.hwnd, panel.hwnd));
  EXPECT_EQ(OpenMtlEditorPanel(panel.hwnd), nullptr);
  EXPECT_EQ(CreateMtlEditor(nullptr), nullptr);
}

}  // namespace
