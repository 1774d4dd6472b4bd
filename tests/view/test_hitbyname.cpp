// The select-by-name button: its label for the stored names, and picks made through the host's
// select-by-name dialog, driven by finding the dialog and pressing its buttons.
#include "ControlDriver.h"
#include "DialogHarness.h"
#include "Recorder.h"
#include "TestSupport.h"

#include "Quorlib.h"
#include "testres.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using quortest::ModalDriver;
using quortest::WindowText;
using Names = std::vector<std::string>;

const char kFormat[] = "Objects: %s";

// The texts of the select-by-name list and which of them are selected.
struct ListState {
  Names items;
  Names selected;
};

ListState ReadList(HWND dlg) {
  ListState s;
  HWND list = GetDlgItem(dlg, HITBYNAME_LIST);
  int n = (int)SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < n; i++) {
    char text[64] = "";
    SendMessageA(list, LB_GETTEXT, i, (LPARAM)text);
    s.items.push_back(text);
    if (SendMessageA(list, LB_GETSEL, i, 0) > 0) s.selected.push_back(text);
  }
  return s;
}

// Selects exactly the items named in want (a single-selection list gets the first of them).
void Choose(HWND dlg, const Names& want) {
  HWND list = GetDlgItem(dlg, HITBYNAME_LIST);
  bool single = !(GetWindowLongA(list, GWL_STYLE) & LBS_EXTENDEDSEL);
  ListState s = ReadList(dlg);
  if (single) SendMessageA(list, LB_SETCURSEL, (WPARAM)-1, 0);
  for (size_t i = 0; i < s.items.size(); i++) {
    bool on = false;
    for (const std::string& w : want) on = on || w == s.items[i];
    if (single && on) SendMessageA(list, LB_SETCURSEL, i, 0);
    if (!single) SendMessageA(list, LB_SETSEL, on, (LPARAM)i);
  }
}

struct HitByNameButton : HarnessTest {
  void SetUp() override {
    for (const char* n : {"Box01", "Sphere01", "Teapot01"}) CreateSceneNode(n);
  }
  void TearDown() override {
    HarnessTest::TearDown();
    ResetScene();
  }
  void Store(const Names& list) {
    JSZList l;
    for (const std::string& s : list) l.Append(s.c_str());
    Interval valid = FOREVER;
    names->SetValue(&l, 0, valid, CTRL_ABSOLUTE);
  }
  Names Stored() {
    JSZList l;
    Interval valid = FOREVER;
    names->GetValue(&l, 0, valid, CTRL_ABSOLUTE);
    Names out;
    char* p = nullptr;
    for (int more = l.GetString(p); more; more = l.GetString(p)) out.push_back(p);
    return out;
  }
  JHitByNameButton* Open(int mode, const char* title = nullptr) {
    JHitByNameButton* b = JHitByNameButton::Create(names, IDC_PICK, mode, title, IDC_PICK_TEXT, kFormat);
    *dlg += b;
    EXPECT_TRUE(dlg->Open(IDD_SMALL));
    return b;
  }
  std::string Label() { return WindowText(GetDlgItem(dlg->GetHwnd(), IDC_PICK_TEXT)); }
  void ClickPick() { driver.Click(GetDlgItem(dlg->GetHwnd(), IDC_PICK), 5, 5); }

  JBinaryData* names = Hold(Create_JBinaryData());
};

}  // namespace

TEST_F(HitByNameButton, DataIsRequiredAndTheLabelShowsNoneOneOrTheFirstOfSeveral) {
  quortest::AssertRecorder asserts;
  EXPECT_EQ(JHitByNameButton::Create(nullptr, IDC_PICK, 0, nullptr, -1, nullptr), nullptr);
  ASSERT_EQ(asserts.Hits().size(), 1u);
  EXPECT_EQ(asserts.Hits()[0].file, "JHITBTN");
  JHitByNameButton* b = Open(JHitByNameButton::kMultiple);
  EXPECT_EQ(Label(), "Objects: <None>");
  Store({"Box01"});
  b->UpdateView(0, nullptr);
  EXPECT_EQ(Label(), "Objects: Box01");
  Store({"Box01", "Teapot01"});
  b->UpdateView(0, nullptr);
  EXPECT_EQ(Label(), "Objects: Box01...");

  // Without a text control and a format, the button shows the bare label.
  JHitByNameButton* plain = JHitByNameButton::Create(names, IDC_RESET, 0, nullptr, -1, nullptr);
  *dlg += plain;
  plain->UpdateView(0, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dlg->GetHwnd(), IDC_RESET)), "Box01...");
  EXPECT_EQ(plain->Own(IDC_RESET), 1);
  EXPECT_EQ(plain->Own(IDC_PICK_TEXT), 0);
  // A list whose bytes stop without the closing NULs (data from a file or a plug-in) is read up to
  // its end and no further.
  const char kUnended[] = {'S', 'p', 'h', 'e', 'r', 'e', '0', '1'};
  JMemBlock raw(kUnended, sizeof kUnended);
  Interval valid = FOREVER;
  names->SetValue(&raw, 0, valid, CTRL_ABSOLUTE);
  b->UpdateView(0, nullptr);
  EXPECT_EQ(Label(), "Objects: Sphere01");
  EXPECT_EQ(asserts.Hits().size(), 1u) << "nothing else is reported";
}

// Picks through the host's dialog: what it shows, and what the button stores and shows after.
TEST_F(HitByNameButton, PicksThroughTheHostDialog) {
  const struct {
    const char* name;
    int mode;
    const char* title;
    Names stored;
    Names choose;
    int button;
    const char* caption;
    Names after;
    const char* label;
  } cases[] = {
      {"several", JHitByNameButton::kMultiple, nullptr, {"Sphere01"}, {"Teapot01", "Box01"}, IDOK, "Select Objects",
       {"Box01", "Teapot01"}, "Objects: Box01..."},
      {"one, own title", 0, "Pick the target", {"Box01"}, {"Teapot01"}, IDOK, "Pick the target", {"Teapot01"},
       "Objects: Teapot01"},
      {"one, default title", 0, nullptr, {}, {"Sphere01"}, IDOK, "Select Object", {"Sphere01"}, "Objects: Sphere01"},
      {"cancelled", JHitByNameButton::kMultiple, nullptr, {"Box01", "Sphere01"}, {"Teapot01"}, IDCANCEL,
       "Select Objects", {"Box01", "Sphere01"}, "Objects: Box01..."},
  };
  for (const auto& c : cases) {
    Store(c.stored);
    Open(c.mode, c.title);
    ListState before;
    std::string okText;
    ModalDriver modal(c.button);
    modal.Before([&](HWND d) {
      before = ReadList(d);
      okText = WindowText(GetDlgItem(d, IDOK));
      Choose(d, c.choose);
    });
    ClickPick();
    ASSERT_TRUE(modal.Wait()) << c.name;
    EXPECT_EQ(modal.Caption(), c.caption) << c.name;
    EXPECT_EQ(okText, "OK") << c.name;
    EXPECT_EQ(before.items, (Names{"Box01", "Sphere01", "Teapot01"})) << c.name << ": every node may be chosen";
    EXPECT_EQ(before.selected, c.stored) << c.name << ": the stored names start selected";
    EXPECT_EQ(Stored(), c.after) << c.name << ": the chosen nodes in the dialog's order";
    EXPECT_EQ(Label(), c.label) << c.name;
    dlg->Close();
  }
}

TEST_F(HitByNameButton, HighlightComparesWholeNamesWithCase) {
  JSZList list;
  list.Append("Box01");
  HitByName hb(&list, "t", 1);
  INode* box = GetCOREInterface()->GetINodeByName("Box01");
  INode* lower = CreateSceneNode("box01");
  INode* longer = CreateSceneNode("Box011");
  ASSERT_TRUE(box && lower && longer);
  EXPECT_TRUE(hb.doHilite(box));
  EXPECT_FALSE(hb.doHilite(lower));
  EXPECT_FALSE(hb.doHilite(longer));
  INodeTab chosen;
  chosen.Append(1, &longer);
  chosen.Append(1, &lower);
  hb.proc(chosen);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_TRUE(hb.doHilite(lower));
  EXPECT_FALSE(hb.doHilite(box)) << "the pick replaced the list";
}
