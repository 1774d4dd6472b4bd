// Button-like controls in a real dialog: what they show is read back from the windows, what a
// person does to them is done with real mouse, keyboard and command messages, and what they write
// is read from the bound leaves.
#include "ControlDriver.h"
#include "DialogHarness.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "testres.h"

#include "Quorlib.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using quortest::ControlDriver;

constexpr int kDialogTime = 320;           // the time the dialogs show, away from 0 on purpose
constexpr unsigned kMsgInit = 0x110;       // what a callback hears at Init
constexpr unsigned kMsgRefresh = 0xF;      // ... when the control is refreshed
constexpr unsigned kMsgCommand = 0x111;    // ... for a routed WM_COMMAND
constexpr int kStripCells = 10;            // IDB_TEST_STRIP: ten cells of 9 x 9
constexpr int kCell = 9;
constexpr DWORD kFlyOpenMs = 20;           // fly-off strip opens after this much holding
constexpr DWORD kPatienceMs = 5000;

// The colour of the bottom-right pixel of cell k of the test strip: the cell colour with red and
// blue swapped, found nowhere else in the strip.
COLORREF CellMarker(int k) { return RGB(7 * k + 30, 250 - 20 * k, 20 * k + 5); }

// One callback call as a control reports it, with the bound leaf's value at that moment.
struct Call {
  int slot;  // 1: first callback, 2: second
  int t;
  int id;
  unsigned msg;
  UINT_PTR param;
  float value;
};

// A callback log; the user pointer of every callback is one of these.
struct Log {
  JFloatData* leaf = nullptr;
  std::vector<Call> calls;
  void Add(int slot, int t, int id, unsigned msg, UINT_PTR param) {
    calls.push_back({slot, t, id, msg, param, leaf ? leaf->GetFValue(kDialogTime) : 0.0f});
  }
  // The messages heard, in order.
  std::vector<unsigned> Messages() const {
    std::vector<unsigned> m;
    for (const Call& c : calls) m.push_back(c.msg);
    return m;
  }
};

template <class Control, int Slot>
void Heard(Control*, void* user, int t, int id, unsigned int msg, UINT_PTR param) {
  static_cast<Log*>(user)->Add(Slot, t, id, msg, param);
}

struct Buttons : HarnessTest {
  void SetUp() override {
    InitCustomControls(GetModuleHandleA(nullptr));
    liveControls = GetLiveCustomControlCount();
    for (JFloatData*& l : leaf) l = Hold(Create_JFloatData());
    log.leaf = leaf[0];
    dlg->time = kDialogTime;
  }
  void TearDown() override {
    if (Animating()) AnimateOff();
    HarnessTest::TearDown();
    EXPECT_EQ(GetLiveCustomControlCount(), liveControls) << "the controls release their button interfaces";
  }
  void Open() { ASSERT_TRUE(dlg->Open(IDD_BUTTONS)); }
  bool Checked(int id) { return IsDlgButtonChecked(dlg->GetHwnd(), id) == BST_CHECKED; }
  // The id of the one checked radio button, 0 for none, -1 for more than one.
  int CheckedRadio() {
    int found = 0;
    for (int id : {IDC_RADIO_A, IDC_RADIO_B, IDC_RADIO_C})
      if (Checked(id)) found = found ? -1 : id;
    return found;
  }
  LRESULT Selection() { return SendMessageA(dlg->Item(IDC_COMBO), CB_GETCURSEL, 0, 0); }
  // A WM_COMMAND as a control sends it to the dialog.
  void Command(int id, int code) {
    SendMessageA(dlg->GetHwnd(), WM_COMMAND, MAKEWPARAM(id, code), (LPARAM)dlg->Item(id));
  }

  int liveControls = 0;
  JFloatData* leaf[3] = {};
  Log log;
};

int radioIds[] = {IDC_RADIO_A, IDC_RADIO_B, IDC_RADIO_C, -1};

// A mapping for a leaf that holds 10 x the radio index; it records the times it is asked at.
struct Mapped {
  static int Map(int t, JData* data, int* index) {
    JFloatData* f = dynamic_cast<JFloatData*>(data);
    seen.push_back(t);
    if (!index) return f->GetIValue(t) / 10;
    f->SetValue(t, 10.0f * *index);
    return 1;
  }
  static std::vector<int> seen;
};
std::vector<int> Mapped::seen;

}  // namespace

TEST_F(Buttons, CheckButtonShowsOneAndAboveAsCheckedAndWritesClicksBack) {
  JCheckButton* check = JCheckButton::Create(leaf[0], -1, IDC_CHECK, Heard<JCheckButton, 1>, &log,
                                             Heard<JCheckButton, 2>, &log);
  JCheckButton* peer = JCheckButton::Create(leaf[0], -1, IDC_CHECK_PEER, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(check && peer);
  *dlg += check;
  *dlg += peer;
  Open();
  const struct {
    float value;
    bool checked;
  } cases[] = {{0.999f, false}, {1.0f, true}, {2.5f, true}, {-1.0f, false}, {0.0f, false}};
  for (const auto& c : cases) {
    leaf[0]->SetValue(kDialogTime, c.value);
    EXPECT_EQ(Checked(IDC_CHECK), c.checked) << c.value;
    EXPECT_EQ(Checked(IDC_CHECK_PEER), c.checked) << c.value;
    EXPECT_EQ(check->Valid(kDialogTime), 1) << c.value;
  }

  // A click writes 1.0, and the other view of the leaf follows; the first callback runs before
  // the write, the second after.
  log.calls.clear();
  driver.Click(dlg->Item(IDC_CHECK), 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 1.0f);
  EXPECT_TRUE(Checked(IDC_CHECK_PEER));
  ASSERT_EQ(log.calls.size(), 2u);
  EXPECT_EQ(log.calls[0].slot, 1);
  EXPECT_EQ(log.calls[0].value, 0.0f);
  EXPECT_EQ(log.calls[1].slot, 2);
  EXPECT_EQ(log.calls[1].value, 1.0f);
  for (const Call& c : log.calls) {
    EXPECT_EQ(c.t, kDialogTime);
    EXPECT_EQ(c.id, IDC_CHECK);
    EXPECT_EQ(c.msg, kMsgCommand);
    EXPECT_EQ(c.param, (UINT_PTR)BN_CLICKED);
  }
  driver.Click(dlg->Item(IDC_CHECK_PEER), 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 0.0f);
  EXPECT_FALSE(Checked(IDC_CHECK));

  // Rebinding shows the other leaf at once.
  leaf[1]->SetValue(0, 3.0f);
  check->Set(leaf[1], 0, nullptr, nullptr, nullptr, nullptr);
  EXPECT_TRUE(Checked(IDC_CHECK));
  EXPECT_EQ(leaf[0]->NumViews(), 1);
}

TEST_F(Buttons, WritesSwitchAnimationOffOnlyWithoutABypassControl) {
  JCheckButton* plain = JCheckButton::Create(leaf[0], -1, IDC_CHECK, nullptr, nullptr, nullptr, nullptr);
  JCheckButton* withBypass = JCheckButton::Create(leaf[1], IDC_BYPASS, IDC_CHECK_PEER, nullptr, nullptr, nullptr,
                                                  nullptr);
  *dlg += plain;
  *dlg += withBypass;
  Open();
  EXPECT_TRUE(Checked(IDC_BYPASS)) << "the bypass control shows the subtree as not bypassed";
  AnimateOn();
  driver.Click(dlg->Item(IDC_CHECK), 2, 2);
  EXPECT_TRUE(Animating()) << "animation is on again after the write";
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 1.0f);
  EXPECT_EQ(leaf[0]->NumKeys(), 0) << "no key without a bypass control";
  driver.Click(dlg->Item(IDC_CHECK_PEER), 2, 2);
  EXPECT_EQ(leaf[1]->GetFValue(kDialogTime), 1.0f);
  EXPECT_TRUE(leaf[1]->IsKeyAtTime(kDialogTime, 0)) << "a control with a bypass control makes keys";
  AnimateOff();
}

TEST_F(Buttons, RadioGroupChecksTheClampedIndexAndWritesTheCheckedPosition) {
  std::vector<std::pair<unsigned, UINT_PTR>> heard;
  JRadioButton* radio = JRadioButton::Create(
      leaf[0], -1, radioIds,
      [](JRadioButton*, void* user, int, unsigned msg, UINT_PTR param) {
        static_cast<std::vector<std::pair<unsigned, UINT_PTR>>*>(user)->push_back({msg, param});
      },
      &heard, nullptr);
  ASSERT_NE(radio, nullptr);
  *dlg += radio;
  Open();
  ASSERT_GE(heard.size(), 2u);
  EXPECT_EQ(heard[0].first, kMsgInit);
  EXPECT_EQ(heard[1].first, kMsgRefresh);
  EXPECT_EQ(CheckedRadio(), IDC_RADIO_A);

  const struct {
    float value;
    int id;
  } cases[] = {{7.0f, IDC_RADIO_C}, {0.0f, IDC_RADIO_A}, {-3.0f, IDC_RADIO_A}, {1.0f, IDC_RADIO_B},
               {2.0f, IDC_RADIO_C}, {1.9f, IDC_RADIO_B}};
  for (const auto& c : cases) {
    leaf[0]->SetValue(kDialogTime, c.value);
    EXPECT_EQ(CheckedRadio(), c.id) << c.value;
    EXPECT_EQ(radio->Valid(kDialogTime), 1) << c.value;
  }
  EXPECT_EQ(heard.back().first, kMsgRefresh);
  EXPECT_EQ(heard.back().second, (UINT_PTR)leaf[0]->GetController()) << "the refresh names what changed";

  heard.clear();
  driver.Click(dlg->Item(IDC_RADIO_C), 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 2.0f);
  ASSERT_EQ(heard.size(), 1u) << "the write does not come back as a refresh";
  EXPECT_EQ(heard[0].first, kMsgCommand);
  EXPECT_EQ(heard[0].second, (UINT_PTR)BN_CLICKED);

  // With no button checked the index written is 0.
  leaf[0]->SetValue(kDialogTime, 1.0f);
  for (int id : {IDC_RADIO_A, IDC_RADIO_B, IDC_RADIO_C}) CheckDlgButton(dlg->GetHwnd(), id, BST_UNCHECKED);
  EXPECT_EQ(radio->Valid(kDialogTime), 0);
  Command(IDC_RADIO_B, BN_CLICKED);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 0.0f);

  // Only commands write.
  leaf[0]->SetValue(kDialogTime, 2.0f);
  SendMessageA(dlg->GetHwnd(), WM_DRAWITEM, IDC_RADIO_A, 0);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 2.0f);
}

TEST_F(Buttons, RadioMappingConvertsBothWays) {
  Mapped::seen.clear();
  JRadioButton* radio = JRadioButton::Create(leaf[0], -1, radioIds, Mapped::Map);
  *dlg += radio;
  leaf[0]->SetValue(kDialogTime, 20.0f);
  Open();
  EXPECT_EQ(CheckedRadio(), IDC_RADIO_C);
  leaf[0]->SetValue(kDialogTime, 10.0f);
  EXPECT_EQ(CheckedRadio(), IDC_RADIO_B);
  leaf[0]->SetValue(kDialogTime, 2.0f);  // index 0
  EXPECT_EQ(CheckedRadio(), IDC_RADIO_A);

  size_t before = Mapped::seen.size();
  driver.Click(dlg->Item(IDC_RADIO_C), 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 20.0f);
  EXPECT_EQ(Mapped::seen.size(), before + 1) << "the mapping's write does not come back into the group";
  EXPECT_EQ(Mapped::seen.back(), kDialogTime);
  driver.Click(dlg->Item(IDC_RADIO_A), 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 0.0f);

  int index = -1;
  EXPECT_EQ(radio->Data2View(kDialogTime, index), IDC_RADIO_A);
  EXPECT_EQ(index, 0);
}

TEST_F(Buttons, DropDownListSelectsTheClampedItemAndWritesOnlyOnSelectionChange) {
  JDropDownListBox* list = JDropDownListBox::Create(leaf[0], -1, IDC_COMBO, "Red\nGreen\nBlue",
                                                    Heard<JDropDownListBox, 1>, &log, Heard<JDropDownListBox, 2>, &log);
  JDropDownListBox* empty = JDropDownListBox::Create(leaf[1], -1, IDC_COMBO_EMPTY, "", nullptr, nullptr, nullptr,
                                                     nullptr);
  ASSERT_TRUE(list && empty);
  *dlg += list;
  *dlg += empty;
  Open();
  HWND combo = dlg->Item(IDC_COMBO);
  ASSERT_EQ(SendMessageA(combo, CB_GETCOUNT, 0, 0), 3);
  char text[16] = "";
  SendMessageA(combo, CB_GETLBTEXT, 2, (LPARAM)text);
  EXPECT_STREQ(text, "Blue");
  EXPECT_EQ(SendMessageA(dlg->Item(IDC_COMBO_EMPTY), CB_GETCOUNT, 0, 0), 1) << "an empty text gives one empty item";

  const struct {
    float value;
    int item;
  } cases[] = {{5.0f, 2}, {0.7f, 0}, {1.9f, 1}, {-2.0f, 0}, {2.0f, 2}};
  for (const auto& c : cases) {
    leaf[0]->SetValue(kDialogTime, c.value);
    EXPECT_EQ(Selection(), c.item) << c.value;
    EXPECT_EQ(list->Valid(kDialogTime), 1) << c.value;
  }

  // The keyboard moves the selection up: the list writes it.
  log.calls.clear();
  driver.Focus(combo);
  driver.Key(VK_UP);
  EXPECT_EQ(Selection(), 1);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 1.0f);
  bool wroteOnChange = false;
  for (size_t i = 0; i + 1 < log.calls.size(); i++) {
    const Call& a = log.calls[i];
    const Call& b = log.calls[i + 1];
    if (a.param == CBN_SELCHANGE && a.slot == 1 && b.slot == 2) wroteOnChange = a.value == 2.0f && b.value == 1.0f;
  }
  EXPECT_TRUE(wroteOnChange) << "first callback before the write, second after";

  // Other notifications write nothing, but both callbacks hear them.
  log.calls.clear();
  SendMessageA(combo, CB_SETCURSEL, 0, 0);  // shown, not chosen
  Command(IDC_COMBO, CBN_SELENDOK);
  Command(IDC_COMBO, CBN_CLOSEUP);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 1.0f);
  ASSERT_EQ(log.calls.size(), 4u);
  EXPECT_EQ(log.calls[0].param, (UINT_PTR)CBN_SELENDOK);
  EXPECT_EQ(log.calls[1].slot, 2);
  EXPECT_EQ(log.calls[3].param, (UINT_PTR)CBN_CLOSEUP);
  EXPECT_EQ(list->Valid(kDialogTime), 0);
}

TEST_F(Buttons, MissingDataOrHostButtonIsReportedAndLeavesTheControlInert) {
  quortest::AssertRecorder rec;
  EXPECT_EQ(JRadioButton::Create(nullptr, -1, radioIds, nullptr), nullptr);
  EXPECT_EQ(JDropDownListBox::Create(nullptr, -1, IDC_COMBO, "A", nullptr, nullptr, nullptr, nullptr), nullptr);
  ASSERT_EQ(rec.Hits().size(), 2u);
  for (const auto& hit : rec.Hits()) EXPECT_EQ(hit.file, "JVIEW");
  rec.Clear();
  // A push button, a custom button and a check box may have no data; a custom button over a plain
  // check box has no host button to take.
  JButton* push = JButton::Create(nullptr, IDC_PUSH, nullptr, nullptr);
  JCheckButton* check = JCheckButton::Create(nullptr, -1, IDC_CHECK, nullptr, nullptr, nullptr, nullptr);
  JCustButton* cust = JCustButton::Create(leaf[0], -1, IDC_CHECK_PEER, nullptr, nullptr, CBT_CHECK, 0xFFFFFFFF);
  ASSERT_TRUE(push && check && cust);
  *dlg += push;
  *dlg += check;
  *dlg += cust;
  leaf[0]->SetValue(kDialogTime, 2.0f);
  Open();
  driver.Click(dlg->Item(IDC_CHECK), 2, 2);  // nothing to write into
  EXPECT_EQ(check->Data2View(0), 0);
  ASSERT_EQ(rec.Hits().size(), 1u) << "only the custom button without its host button";
  EXPECT_EQ(rec.Hits()[0].file, "JVIEW");
  EXPECT_EQ(cust->ICB(), nullptr);
  EXPECT_EQ(cust->Init(0), 0);
  driver.Click(dlg->Item(IDC_CHECK_PEER), 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 2.0f);
  cust->SetTooltip("nothing to show it on");
  EXPECT_EQ(cust->Valid(kDialogTime), 0);
}

TEST_F(Buttons, CustomCheckButtonStoresCheckAndFlyOffInOneNumber) {
  JCustButton* cust = JCustButton::Create(leaf[0], -1, IDC_CUST, Heard<JCustButton, 1>, &log,
                                          Heard<JCustButton, 2>, &log);
  ASSERT_NE(cust, nullptr);
  *dlg += cust;
  leaf[0]->SetValue(kDialogTime, 1.0f);
  Open();
  ICustButton* b = cust->ICB();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetType(), CBT_CHECK);
  EXPECT_EQ(b->GetHighlightColor(), GetColorManager()->GetColor(4)) << "the host's colour 4 by default";
  EXPECT_TRUE(b->IsChecked());
  ASSERT_EQ(log.Messages(), (std::vector<unsigned>{kMsgInit, kMsgInit, kMsgRefresh}));
  EXPECT_EQ(log.calls[0].slot, 1);
  EXPECT_EQ(log.calls[1].slot, 2);

  FlyOffData choices[3] = {{0, 1, 2, 2}, {3, 4, 5, 5}, {6, 7, 8, 8}};
  cust->SetFlyOff(3, choices, kFlyOpenMs, 0, FLY_DOWN);
  b->SetCheck(FALSE);

  // Press and hold until the strip opens, then let go on the third choice.
  HWND w = dlg->Item(IDC_CUST);
  RECT r;
  GetClientRect(w, &r);
  // The pointer is put where the press happens: a mouse move that the system makes up while the
  // button is held must not take the pointer off it.
  POINT press = {r.right / 2, r.bottom / 2};
  ClientToScreen(w, &press);
  SetCursorPos(press.x, press.y);
  driver.LeftDown(w, r.right / 2, r.bottom / 2);
  ASSERT_TRUE(
      ControlDriver::PumpUntil([] { return quortest::FindOwnWindow("VantorFlyOffStrip") != nullptr; }, kPatienceMs));
  int third = 2 * r.bottom + r.bottom / 2;
  driver.MoveTo(w, r.right / 2, third);
  driver.LeftUp(w, r.right / 2, third);
  EXPECT_EQ(b->GetCurFlyOff(), 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 5.0f) << "checked (1) + 2 x fly-off 2";
  EXPECT_EQ(cust->Valid(kDialogTime), 1);

  // A click unchecks, keeping the fly-off.
  driver.Click(w, 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 4.0f);

  // From the data: 4.0 is fly-off 2 unchecked, 3.0 fly-off 1 checked, negative values nothing.
  leaf[0]->SetValue(kDialogTime, 3.0f);
  EXPECT_TRUE(b->IsChecked());
  EXPECT_EQ(b->GetCurFlyOff(), 1);
  leaf[0]->SetValue(kDialogTime, 4.0f);
  EXPECT_FALSE(b->IsChecked());
  EXPECT_EQ(b->GetCurFlyOff(), 2);
  leaf[0]->SetValue(kDialogTime, -5.0f);
  EXPECT_FALSE(b->IsChecked());
  EXPECT_EQ(b->GetCurFlyOff(), 0);
  EXPECT_EQ(cust->Data2View(kDialogTime), 0);
}

TEST_F(Buttons, CustomPushButtonWritesNothingAndTheSettersReachTheHostButton) {
  const COLORREF kHighlight = RGB(1, 2, 3), kOtherHighlight = RGB(9, 8, 7);
  JCustButton* cust = JCustButton::Create(leaf[0], -1, IDC_CUST, Heard<JCustButton, 1>, &log, CBT_PUSH, kHighlight);
  *dlg += cust;
  leaf[0]->SetValue(kDialogTime, 3.0f);
  Open();
  ICustButton* b = cust->ICB();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetType(), CBT_PUSH);
  EXPECT_EQ(b->GetHighlightColor(), kHighlight);
  EXPECT_FALSE(b->IsChecked()) << "a push button shows no value";
  HWND w = dlg->Item(IDC_CUST);
  driver.Click(w, 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 3.0f);
  EXPECT_EQ(log.Messages(), (std::vector<unsigned>{kMsgInit, kMsgRefresh, kMsgCommand}));
  EXPECT_EQ(cust->Valid(kDialogTime), 0);
  cust->SetHighlightColor(kOtherHighlight);
  EXPECT_EQ(b->GetHighlightColor(), kOtherHighlight);

  // Made a check button later, it writes.
  cust->SetType(CBT_CHECK);
  EXPECT_EQ(b->GetType(), CBT_CHECK);
  driver.Click(w, 2, 2);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 1.0f);

  // The tooltip is the button's own copy; a null text removes it.
  char text[] = "Blend mode";
  cust->SetTooltip(text);
  text[0] = 'X';
  EXPECT_EQ(quortest::TooltipOf(dlg->GetHwnd(), w), "Blend mode");
  cust->SetTooltip(nullptr);
  EXPECT_EQ(quortest::TooltipOf(dlg->GetHwnd(), w), "(none)");

  // An image strip: the button draws the out-enabled image in its face, the in image when checked.
  b->SetCheck(FALSE);
  const int kOut = 5, kIn = 6, kOutDisabled = 7, kInDisabled = 8;
  ASSERT_EQ(cust->SetImage(GetModuleHandleA(nullptr), IDB_TEST_STRIP, kStripCells, kOut, kIn, kOutDisabled,
                           kInDisabled),
            1);
  POINT at;
  EXPECT_TRUE(quortest::PrintClient(w).Find(CellMarker(kOut), at));
  b->SetCheck(TRUE);
  EXPECT_TRUE(quortest::PrintClient(w).Find(CellMarker(kIn), at));
}

TEST_F(Buttons, PushButtonReportsEverythingToItsCallback) {
  JButton* push = JButton::Create(leaf[0], IDC_PUSH, Heard<JButton, 1>, &log);
  *dlg += push;
  EXPECT_EQ(push->Updated(), 0);
  Open();
  EXPECT_EQ(push->Updated(), 1);
  leaf[0]->SetValue(kDialogTime, 8.0f);
  driver.Click(dlg->Item(IDC_PUSH), 4, 4);
  ASSERT_EQ(log.Messages(), (std::vector<unsigned>{kMsgInit, kMsgRefresh, kMsgRefresh, kMsgCommand}));
  EXPECT_EQ(log.calls[1].param, 0u) << "the dialog's refresh names nothing";
  EXPECT_EQ(log.calls[2].param, (UINT_PTR)leaf[0]->GetController());
  EXPECT_EQ(log.calls[3].param, (UINT_PTR)BN_CLICKED);
  EXPECT_EQ(leaf[0]->GetFValue(kDialogTime), 8.0f) << "a push button writes nothing";
  EXPECT_EQ(push->GetHwnd(), dlg->Item(IDC_PUSH));
  // Without images it is not owner-drawn, and drawing requests are not its callback's business.
  EXPECT_NE(GetWindowLongPtrA(push->GetHwnd(), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
  log.calls.clear();
  SendMessageA(dlg->GetHwnd(), WM_DRAWITEM, IDC_PUSH, 0);
  EXPECT_TRUE(log.calls.empty());
}

TEST_F(Buttons, ImageButtonDrawsThePressedImageOnePixelLower) {
  constexpr int kNormal = 1, kPressed = 2, kDisabled = 3, kDisabledPressed = 4;
  JButton* push = JButton::Create(nullptr, IDC_PUSH, nullptr, nullptr);
  EXPECT_EQ(push->SetImage(GetModuleHandleA(nullptr), 9999, kStripCells, 0, 0, 0, 0), 0) << "no such bitmap";
  ASSERT_EQ(push->SetImage(GetModuleHandleA(nullptr), IDB_TEST_STRIP, kStripCells, kNormal, kPressed, kDisabled,
                           kDisabledPressed),
            1);
  *dlg += push;
  Open();
  HWND w = dlg->Item(IDC_PUSH);
  LONG_PTR style = GetWindowLongPtrA(w, GWL_STYLE);
  EXPECT_EQ(style & BS_TYPEMASK, BS_OWNERDRAW);
  EXPECT_TRUE(style & WS_VISIBLE) << "window styles are kept";

  // Where the image of a cell lies: its marker pixel is its bottom-right corner.
  auto origin = [&](int cell) {
    POINT at = {-1, -1};
    quortest::Printed shot = quortest::PrintClient(w);
    if (!shot.Find(CellMarker(cell), at)) return at;
    return POINT{at.x - (kCell - 1), at.y - (kCell - 1)};
  };
  // The image sits on the button's face, the client rectangle less the push button's frame, at
  // left + (right - width - 1) / 2 and top + (bottom - height - 1) / 2 of it.
  RECT face;
  GetClientRect(w, &face);
  HDC scratch = CreateCompatibleDC(nullptr);
  DrawFrameControl(scratch, &face, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_ADJUSTRECT);
  DeleteDC(scratch);
  POINT normal = origin(kNormal);
  ASSERT_GE(normal.x, 0) << "the normal image is drawn";
  EXPECT_EQ(normal.x, face.left + (face.right - kCell - 1) / 2);
  EXPECT_EQ(normal.y, face.top + (face.bottom - kCell - 1) / 2);
  EXPECT_EQ(origin(kPressed).x, -1);

  driver.LeftDown(w, 4, 4);
  POINT pressed = origin(kPressed);
  EXPECT_EQ(pressed.x, normal.x + 1);
  EXPECT_EQ(pressed.y, normal.y + 1);
  EXPECT_EQ(origin(kNormal).x, -1) << "only the pressed image while pressed";
  driver.LeftUp(w, 4, 4);
  POINT again = origin(kNormal);
  EXPECT_EQ(again.x, normal.x);
  EXPECT_EQ(again.y, normal.y);

  EnableWindow(w, FALSE);
  POINT disabled = origin(kDisabled);
  EXPECT_EQ(disabled.x, normal.x);
  EXPECT_EQ(disabled.y, normal.y);
  SendMessageA(w, BM_SETSTATE, TRUE, 0);
  POINT both = origin(kDisabledPressed);
  EXPECT_EQ(both.x, normal.x + 1);
  EXPECT_EQ(both.y, normal.y + 1);
}
