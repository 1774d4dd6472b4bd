// The colour swatch and the host's colour picker, driven with mouse and keyboard messages: what the
// swatch's parent hears, in order, with the swatch's colour at each message.
#include "ControlDriver.h"
#include "TestSupport.h"
#include "vantor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using quortest::ControlDriver;
using quortest::CountChildren;
using quortest::CountThreadWindows;
using quortest::Expected;
using quortest::PrintedPixel;
using quortest::SequenceIs;
using quortest::WindowText;

constexpr int kSwatchId = 201, kOtherId = 202;
constexpr int kSwatchW = 40, kSwatchH = 20;
constexpr COLORREF kStart = RGB(10, 20, 30);
constexpr COLORREF kRed = RGB(220, 0, 0);  // the key brackets

WPARAM W(int id, int code) { return MAKEWPARAM(id, code); }

HINSTANCE ControlModule() {
  static HINSTANCE lib = LoadPluginModule(quortest::BinPath("Quorlib.dlz").c_str());
  return lib;
}

// The open colour picker, or null.
HWND FindPicker() { return quortest::FindOwnWindow(COLORPICKERWINDOWCLASS, nullptr); }

// A swatch titled "Diffuse" at kStart, with the picker closed around each test.
class Swatch : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(ControlModule(), nullptr);
    sw = d.Create(ControlModule(), COLORSWATCHWINDOWCLASS, kSwatchId, 10, 10, kSwatchW, kSwatchH);
    ASSERT_NE(sw, nullptr);
    is = GetIColorSwatch(sw, kStart, "Diffuse");
    ASSERT_NE(is, nullptr);
    d.Probe([this] { return (double)is->GetColor(); });
  }
  void TearDown() override {
    if (HWND p = FindPicker()) DestroyWindow(p);
    ReleaseIColorSwatch(is);
  }
  HWND Item(int id) { return GetDlgItem(picker, id); }
  // Types text into the picker's edit id and presses Enter.
  void Enter(int id, const char* text) {
    d.Focus(Item(id));
    d.SelectAll();
    d.Type(text);
    d.Key(VK_RETURN);
  }
  // Drags the picker's spinner id up by dy pixels from its upper arrow.
  void Drag(int id, int dy) {
    d.LeftDown(Item(id), 6, 3);
    d.MoveTo(Item(id), 6, 3 - dy);
    d.LeftUp(Item(id), 6, 3 - dy);
  }
  void Open() {
    d.Click(sw, 5, 5);
    picker = FindPicker();
    ASSERT_NE(picker, nullptr);
  }
  // The swatch's notifications with the colour the parent could read when each arrived.
  Expected Down(COLORREF c) { return {CC_COLOR_BUTTONDOWN, W(kSwatchId, 0), (LPARAM)sw, (double)c}; }
  Expected Change(int done, COLORREF c) { return {CC_COLOR_CHANGE, W(kSwatchId, done), (LPARAM)sw, (double)c}; }
  Expected Up(int accept, COLORREF c) { return {CC_COLOR_BUTTONUP, W(kSwatchId, accept), (LPARAM)sw, (double)c}; }
  ControlDriver d;
  HWND sw = nullptr;
  IColorSwatch* is = nullptr;
  HWND picker = nullptr;
};

TEST_F(Swatch, EditedInThePickerLiveAndAccepted) {
  Open();
  EXPECT_EQ(WindowText(picker), "Diffuse");
  EXPECT_EQ(WindowText(Item(IDC_PICKER_RED_EDIT)), "10");
  EXPECT_EQ(WindowText(Item(IDC_PICKER_RED_EDIT + 2)), "30");
  EXPECT_EQ(WindowText(Item(IDC_PICKER_RED_EDIT + 5)), "30") << "value is the largest component";

  Drag(IDC_PICKER_RED_SPIN, 5);        // red 15
  Enter(IDC_PICKER_RED_EDIT + 2, "200");  // blue 200
  EXPECT_EQ(WindowText(Item(IDC_PICKER_RED_EDIT + 5)), "200") << "hue, saturation and value follow";
  Enter(IDC_PICKER_RED_EDIT + 5, "0");  // value 0: black
  EXPECT_EQ(WindowText(Item(IDC_PICKER_RED_EDIT)), "0") << "red, green and blue follow";
  Enter(IDC_PICKER_RED_EDIT, "255");    // pure red: hue 0, saturation 255
  EXPECT_EQ(WindowText(Item(IDC_PICKER_HUE_EDIT)), "0");
  EXPECT_EQ(WindowText(Item(IDC_PICKER_HUE_EDIT + 1)), "255");
  Enter(IDC_PICKER_HUE_EDIT, "240");    // pure blue
  Enter(IDC_PICKER_HUE_EDIT + 1, "0");  // saturation 0: white, the hue stays
  EXPECT_EQ(WindowText(Item(IDC_PICKER_HUE_EDIT)), "240");
  Enter(IDC_PICKER_HUE_EDIT + 1, "255");  // pure blue again from the kept hue
  HWND patch = Item(IDC_PICKER_PATCH);
  EXPECT_EQ(PrintedPixel(patch, 40, 40), RGB(0, 0, 255));
  EXPECT_EQ(PrintedPixel(sw, kSwatchW / 2, kSwatchH / 2), RGB(0, 0, 255)) << "the swatch shows it at once";
  Enter(IDC_PICKER_RED_EDIT + 2, "0");  // blue 0: black, whose hue is undefined
  EXPECT_EQ(WindowText(Item(IDC_PICKER_HUE_EDIT)), "240") << "a grey keeps the hue shown";

  d.Click(Item(IDOK), 5, 5);
  EXPECT_EQ(FindPicker(), nullptr);
  EXPECT_EQ(is->GetColor(), RGB(0, 0, 0));
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(kStart), Change(0, RGB(15, 20, 30)), Change(0, RGB(15, 20, 200)),
                                   Change(0, RGB(0, 0, 0)), Change(0, RGB(255, 0, 0)), Change(0, RGB(0, 0, 255)),
                                   Change(0, RGB(255, 255, 255)), Change(0, RGB(0, 0, 255)), Change(0, RGB(0, 0, 0)),
                                   Change(1, RGB(0, 0, 0)), Up(1, RGB(0, 0, 0))}));
}

TEST_F(Swatch, CancelAndClosingThePickerPutTheColourBack) {
  Open();
  Drag(IDC_PICKER_RED_SPIN, 5);
  d.Click(Item(IDCANCEL), 5, 5);
  EXPECT_EQ(FindPicker(), nullptr);
  EXPECT_EQ(is->GetColor(), kStart);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(kStart), Change(0, RGB(15, 20, 30)), Change(1, kStart), Up(0, kStart)}));
  d.Clear();
  Open();
  Enter(IDC_PICKER_RED_EDIT + 1, "99");
  SendMessageA(picker, WM_CLOSE, 0, 0);
  EXPECT_EQ(FindPicker(), nullptr);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(kStart), Change(0, RGB(10, 99, 30)), Change(1, kStart), Up(0, kStart)}));
}

TEST_F(Swatch, SetColorNotifiesOnlyWhenAskedAndAnOpenPickerFollows) {
  EXPECT_EQ(is->SetColor(RGB(1, 2, 3)), kStart) << "answers the previous colour";
  EXPECT_EQ(is->GetColor(), RGB(1, 2, 3));
  EXPECT_TRUE(d.Log().empty());
  EXPECT_EQ(PrintedPixel(sw, kSwatchW / 2, kSwatchH / 2), RGB(1, 2, 3));
  is->SetColor(RGB(40, 50, 60), TRUE);
  EXPECT_TRUE(SequenceIs(d.Log(), {Change(1, RGB(40, 50, 60))}));

  Open();
  is->SetColor(RGB(7, 8, 9));
  EXPECT_EQ(WindowText(Item(IDC_PICKER_RED_EDIT + 1)), "8");
  EXPECT_EQ(PrintedPixel(Item(IDC_PICKER_PATCH), 40, 40), RGB(7, 8, 9));
}

TEST_F(Swatch, DisabledSwatchIsGreyAndOpensNoPicker) {
  is->SetColor(RGB(255, 0, 0));
  is->Disable();
  EXPECT_FALSE(is->IsEnabled());
  COLORREF grey = PrintedPixel(sw, kSwatchW / 2, kSwatchH / 2);
  EXPECT_TRUE(GetRValue(grey) == GetGValue(grey) && GetGValue(grey) == GetBValue(grey)) << std::hex << grey;
  d.Click(sw, 5, 5);
  EXPECT_EQ(FindPicker(), nullptr);
  EXPECT_TRUE(d.Log().empty());
  is->Enable();
  EXPECT_EQ(PrintedPixel(sw, kSwatchW / 2, kSwatchH / 2), RGB(255, 0, 0));
}

TEST_F(Swatch, KeyBracketsAreDrawnRedAroundTheColour) {
  EXPECT_FALSE(is->IsKeyBrackets());
  EXPECT_NE(PrintedPixel(sw, 0, kSwatchH / 2), kRed);
  is->SetKeyBrackets(TRUE);
  EXPECT_TRUE(is->IsKeyBrackets());
  EXPECT_EQ(PrintedPixel(sw, 0, kSwatchH / 2), kRed);
  EXPECT_EQ(PrintedPixel(sw, kSwatchW - 1, kSwatchH / 2), kRed);
  EXPECT_EQ(PrintedPixel(sw, kSwatchW / 2, kSwatchH / 2), kStart);
  is->SetKeyBrackets(FALSE);
  EXPECT_NE(PrintedPixel(sw, 0, kSwatchH / 2), kRed);
}

TEST_F(Swatch, AnOpenPickerMovesToTheSwatchThatTakesItOver) {
  HWND sw2 = d.Create(ControlModule(), COLORSWATCHWINDOWCLASS, kOtherId, 60, 10, kSwatchW, kSwatchH);
  IColorSwatch* is2 = GetIColorSwatch(sw2, RGB(200, 100, 50), "Specular");
  ASSERT_NE(is2, nullptr);
  // The second swatch's notifications; the probe reads the first swatch's colour.
  auto from2 = [sw2](UINT msg, int code) { return Expected{msg, W(kOtherId, code), (LPARAM)sw2, quortest::NoProbe()}; };

  is2->EditThis(FALSE);
  is2->Activate(TRUE);
  EXPECT_EQ(FindPicker(), nullptr) << "without a picker, only the open-a-picker argument opens one";
  EXPECT_TRUE(d.Log().empty());

  Open();
  Drag(IDC_PICKER_RED_SPIN, 5);
  is2->EditThis(FALSE);
  EXPECT_EQ(FindPicker(), picker) << "the same window";
  EXPECT_EQ(WindowText(picker), "Specular");
  EXPECT_EQ(WindowText(Item(IDC_PICKER_RED_EDIT)), "200");
  Enter(IDC_PICKER_RED_EDIT, "10");
  EXPECT_EQ(is->GetColor(), RGB(15, 20, 30)) << "the first swatch keeps what it was given";
  EXPECT_EQ(is2->GetColor(), RGB(10, 100, 50));
  is2->Activate(FALSE);
  EXPECT_EQ(FindPicker(), nullptr) << "deactivating the edited swatch closes the picker, accepted";
  EXPECT_EQ(is2->GetColor(), RGB(10, 100, 50));
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(kStart), Change(0, RGB(15, 20, 30)), Change(1, RGB(15, 20, 30)),
                                   Up(1, RGB(15, 20, 30)), from2(CC_COLOR_BUTTONDOWN, 0), from2(CC_COLOR_CHANGE, 0),
                                   from2(CC_COLOR_CHANGE, 1), from2(CC_COLOR_BUTTONUP, 1)}));

  // A swatch that goes away while edited closes the picker; its parent, which stays, hears the
  // edit cancelled.
  d.Clear();
  is2->EditThis(TRUE);
  ASSERT_NE(FindPicker(), nullptr);
  DestroyWindow(sw2);
  EXPECT_EQ(FindPicker(), nullptr);
  EXPECT_TRUE(SequenceIs(d.Log(), {from2(CC_COLOR_BUTTONDOWN, 0), from2(CC_COLOR_CHANGE, 1),
                                   from2(CC_COLOR_BUTTONUP, 0)}));
  ReleaseIColorSwatch(is2);
}

TEST(ColorSwatch, InterfaceOnlyForSwatches) {
  ControlDriver d;
  HWND edit = d.Create(ControlModule(), CUSTEDITWINDOWCLASS, 101, 10, 10, 60, 20);
  EXPECT_EQ(GetIColorSwatch(edit, 0, "x"), nullptr);
  EXPECT_EQ(GetIColorSwatch(d.Parent(), 0, "x"), nullptr);
  EXPECT_EQ(GetIColorSwatch(nullptr, 0, "x"), nullptr);
  ReleaseIColorSwatch(nullptr);
}

// Hidden windows: showing them costs Wine as much again and tests nothing more. Every 500th cycle
// also opens the picker and destroys the swatch under it.
TEST(ColorSwatch, TenThousandCyclesLeaveNothingAlive) {
  ControlDriver d;
  HINSTANCE inst = ControlModule();
  int topLevel = CountThreadWindows();
  for (int i = 0; i < 10000; i++) {
    HWND s = d.Create(inst, COLORSWATCHWINDOWCLASS, kSwatchId, 0, 0, kSwatchW, kSwatchH, "", false);
    IColorSwatch* is = GetIColorSwatch(s, RGB(i & 255, 0, 0), "cycle");
    ASSERT_NE(is, nullptr) << i;
    is->SetKeyBrackets(TRUE);
    is->SetColor(RGB(0, i & 255, 0));
    if (i % 500 == 0) {
      is->EditThis(TRUE);
      ASSERT_NE(FindPicker(), nullptr) << i;
    }
    // Either may go first.
    if (i % 2) ReleaseIColorSwatch(is);
    DestroyWindow(s);
    if (i % 2 == 0) ReleaseIColorSwatch(is);
  }
  EXPECT_EQ(CountChildren(d.Parent()), 0);
  EXPECT_EQ(CountThreadWindows(), topLevel) << "no picker window is left behind";
}

}  // namespace
