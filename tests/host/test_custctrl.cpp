// The host's custom controls driven as a person drives them: mouse and keyboard messages in, the
// parent's notifications out, compared as whole sequences.
#include "ControlDriver.h"
#include "TestSupport.h"
#include "vantor.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <float.h>

#include <string>
#include <vector>

namespace {

using quortest::ControlDriver;
using quortest::Expected;
using quortest::NoProbe;
using quortest::SequenceIs;
using quortest::PrintedPixel;
using quortest::CountChildren;
using quortest::CountThreadWindows;

constexpr int kEditId = 101, kSpinId = 102, kButtonId = 103, kOtherId = 104;
constexpr int kSpinW = 12, kSpinH = 20;
constexpr int kUpperY = 3, kLowerY = 17;  // inside the upper and lower arrow

WPARAM W(int id, int code) { return MAKEWPARAM(id, code); }

// The library module registers the controls for its own dialogs when it is loaded.
HINSTANCE ControlModule() {
  static HINSTANCE lib = LoadPluginModule(quortest::BinPath("Quorlib.dlz").c_str());
  return lib;
}

std::string TextOf(ICustEdit* e) {
  char buf[64];
  e->GetText(buf, sizeof buf);
  return buf;
}

// A float spinner from 0 to 10 at 2.0, scale 0.5, linked to a custom edit.
class Spinner : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(ControlModule(), nullptr);
    editWnd = d.Create(ControlModule(), CUSTEDITWINDOWCLASS, kEditId, 10, 10, 60, 20);
    spinWnd = d.Create(ControlModule(), SPINNERWINDOWCLASS, kSpinId, 70, 10, kSpinW, kSpinH);
    other = d.Create(ControlModule(), CUSTEDITWINDOWCLASS, kOtherId, 10, 40, 60, 20);
    ASSERT_TRUE(editWnd && spinWnd && other);
    spin = SetupFloatSpinner(d.Parent(), kSpinId, kEditId, 0.0f, 10.0f, 2.0f, 0.5f);
    edit = GetICustEdit(editWnd);
    ASSERT_TRUE(spin && edit);
    d.Probe([this] { return (double)spin->GetFVal(); });
  }
  void TearDown() override {
    ReleaseISpinner(spin);
    ReleaseICustEdit(edit);
  }
  // The spinner's notifications with the value the parent could read when each arrived.
  Expected Down(double v) { return {CC_SPINNER_BUTTONDOWN, W(kSpinId, 0), (LPARAM)spinWnd, v}; }
  Expected Change(int dragging, double v) { return {CC_SPINNER_CHANGE, W(kSpinId, dragging), (LPARAM)spinWnd, v}; }
  Expected Up(int accept, double v) { return {CC_SPINNER_BUTTONUP, W(kSpinId, accept), (LPARAM)spinWnd, v}; }
  Expected Enter(int key) { return {WM_CUSTEDIT_ENTER, W(kEditId, key), (LPARAM)editWnd, NoProbe()}; }
  void TypeAndEnter(const char* text) {
    d.Focus(editWnd);
    d.SelectAll();
    d.Type(text);
    d.Key(VK_RETURN);
  }

  ControlDriver d;
  HWND editWnd = nullptr, spinWnd = nullptr, other = nullptr;
  ISpinnerControl* spin = nullptr;
  ICustEdit* edit = nullptr;
};

TEST_F(Spinner, DragChangesByTheScalePerPixelIsClampedAndEndsAccepted) {
  EXPECT_EQ(TextOf(edit), "2.000");
  d.LeftDown(spinWnd, 6, kLowerY);
  EXPECT_EQ(GetCapture(), spinWnd);
  d.MoveTo(spinWnd, 6, kLowerY - 2);
  d.MoveTo(spinWnd, 6, kLowerY - 5);
  d.MoveTo(spinWnd, 6, kLowerY + 3);  // below the press point: less than where it began
  d.LeftUp(spinWnd, 6, kLowerY + 3);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(1, 3.0), Change(1, 4.5), Change(1, 0.5), Up(1, 0.5)}));
  EXPECT_EQ(TextOf(edit), "0.500");
  EXPECT_EQ(GetCapture(), nullptr);
  // Clamped at the limits, and silent while the value stays.
  spin->SetValue(2.0f, FALSE);
  d.Clear();
  d.LeftDown(spinWnd, 6, kUpperY);
  d.MoveTo(spinWnd, 6, kUpperY - 100);  // far above the window: the capture still follows it
  d.MoveTo(spinWnd, 6, kUpperY - 150);
  d.MoveTo(spinWnd, 6, kUpperY - 12);
  d.LeftUp(spinWnd, 6, kUpperY - 12);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(1, 10.0), Change(1, 8.0), Up(1, 8.0)}));
}

TEST_F(Spinner, RightClickDuringADragCancelsItAndRestoresTheValue) {
  d.LeftDown(spinWnd, 6, kLowerY);
  d.MoveTo(spinWnd, 6, kLowerY - 4);
  d.RightDown(spinWnd, 6, kLowerY - 4);
  EXPECT_EQ(TextOf(edit), "2.000");
  // The rest of the gesture changes nothing.
  d.MoveTo(spinWnd, 6, kLowerY - 8);
  d.RightUp(spinWnd, 6, kLowerY - 8);
  d.LeftUp(spinWnd, 6, kLowerY - 8);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(1, 4.0), Up(0, 2.0)}));
  EXPECT_EQ(GetCapture(), nullptr);
  // The next gesture starts afresh.
  d.Clear();
  d.Click(spinWnd, 6, kUpperY);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(1, 2.5), Up(1, 2.5)}));
}

TEST_F(Spinner, ASpinnerDestroyedInTheMiddleOfADragCancelsIt) {
  d.LeftDown(spinWnd, 6, kLowerY);
  d.MoveTo(spinWnd, 6, kLowerY - 4);
  DestroyWindow(spinWnd);
  // The parent stays: it hears the drag cancelled, with the value it began with.
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(1, 4.0), Up(0, 2.0)}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Spinner, AClickStepsOnceTowardsTheArrowAndARightClickSetsTheResetValueClamped) {
  d.Click(spinWnd, 6, kUpperY);
  d.Click(spinWnd, 6, kLowerY);
  d.Click(spinWnd, 6, kLowerY);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(1, 2.5), Up(1, 2.5), Down(2.5), Change(1, 2.0), Up(1, 2.0),
                                   Down(2.0), Change(1, 1.5), Up(1, 1.5)}));
  // At a limit the click ends without a change.
  spin->SetValue(10.0f, FALSE);
  d.Clear();
  d.Click(spinWnd, 6, kUpperY);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(10.0), Up(1, 10.0)}));

  // A right click sets the reset value, clamped.
  spin->SetValue(2.0f, FALSE);
  spin->SetResetValue(5.0f);
  d.Clear();
  d.RightClick(spinWnd, 6, kUpperY);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(0, 5.0), Up(1, 5.0)}));
  EXPECT_EQ(TextOf(edit), "5.000");
  d.Clear();
  spin->SetResetValue(50);
  d.RightClick(spinWnd, 6, kLowerY);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(5.0), Change(0, 10.0), Up(1, 10.0)}));
}

TEST_F(Spinner, ANumberEnteredIsSetClampedAndNotifiedAndOtherTextRestored) {
  TypeAndEnter("7.25");
  EXPECT_EQ(TextOf(edit), "7.250");
  TypeAndEnter("  12 ");
  EXPECT_EQ(TextOf(edit), "10.000");
  TypeAndEnter("-3");
  EXPECT_TRUE(SequenceIs(d.Log(), {Change(0, 7.25), Enter(1), Change(0, 10.0), Enter(1), Change(0, 0.0), Enter(1)}));
  // Text that is not a number restores the shown value.
  spin->SetValue(2.0f, FALSE);
  for (const char* text : {"abc", "3x", "\b", "1e999"}) {
    d.Clear();
    TypeAndEnter(text);
    EXPECT_EQ(TextOf(edit), "2.000") << text;
    EXPECT_TRUE(SequenceIs(d.Log(), {Enter(1)})) << text;
  }
  EXPECT_FLOAT_EQ(spin->GetFVal(), 2.0f);
}

// Typed text lands when the edit loses the focus, or when a closing dialog asks the host to commit
// pending edits first; a drag in progress then ends accepted, so that the undo step it opened is
// closed.
TEST_F(Spinner, LeavingTheEditOrCommittingPendingEditsLandsTypedTextAndEndsADragAccepted) {
  d.Focus(editWnd);
  d.SelectAll();
  d.Type("6");
  d.Focus(other);
  EXPECT_TRUE(SequenceIs(d.Log(), {Change(0, 6.0), Enter(0)}));
  // Passing through without typing changes nothing.
  d.Clear();
  d.Focus(editWnd);
  d.Focus(other);
  EXPECT_TRUE(d.Log().empty());

  Interface* ip = GetCOREInterface();
  EXPECT_EQ(ip->CommitPendingEdits(), 0);
  d.Focus(editWnd);
  d.SelectAll();
  d.Type("4");
  EXPECT_TRUE(d.Log().empty());
  EXPECT_EQ(ip->CommitPendingEdits(), 1);
  EXPECT_TRUE(SequenceIs(d.Log(), {Change(0, 4.0), Enter(0)}));
  d.Clear();
  d.Focus(other);
  EXPECT_TRUE(d.Log().empty()) << "the text was taken once";

  d.LeftDown(spinWnd, 6, kLowerY);
  d.MoveTo(spinWnd, 6, kLowerY - 2);
  EXPECT_EQ(ip->CommitPendingEdits(), 1);
  EXPECT_EQ(GetCapture(), nullptr);
  d.LeftUp(spinWnd, 6, kLowerY - 2);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(4.0), Change(1, 5.0), Up(1, 5.0)}));

  // A drag that the user cancelled was reported already: it only lets the mouse go.
  d.Clear();
  d.LeftDown(spinWnd, 6, kLowerY);
  d.MoveTo(spinWnd, 6, kLowerY - 2);
  d.RightDown(spinWnd, 6, kLowerY - 2);
  EXPECT_EQ(ip->CommitPendingEdits(), 0);
  EXPECT_EQ(GetCapture(), nullptr);
  d.LeftUp(spinWnd, 6, kLowerY - 2);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(5.0), Change(1, 6.0), Up(0, 5.0)}));
}

TEST_F(Spinner, SetValueNotifiesOnlyWhenAskedAndClamps) {
  spin->SetValue(3.5f, FALSE);
  spin->SetValue(-4.0f, TRUE);
  spin->SetValue(7, TRUE);
  EXPECT_TRUE(SequenceIs(d.Log(), {Change(0, 0.0), Change(0, 7.0)}));
  EXPECT_EQ(TextOf(edit), "7.000");
  // Narrower limits clamp the value unless told not to.
  spin->SetLimits(8.0f, 9.0f, FALSE);
  EXPECT_FLOAT_EQ(spin->GetFVal(), 7.0f);
  spin->SetLimits(9.0f, 8.0f);
  EXPECT_FLOAT_EQ(spin->GetFVal(), 8.0f);
  EXPECT_EQ(spin->GetIVal(), 8);
  spin->SetValue(8.6f, FALSE);
  EXPECT_EQ(spin->GetIVal(), 9) << "rounded to the nearest whole number";
}

TEST_F(Spinner, DisabledSpinnerIgnoresTheMouseAndDisablingCancelsADrag) {
  spin->Disable();
  EXPECT_FALSE(spin->IsEnabled());
  EXPECT_FALSE(IsWindowEnabled(editWnd));
  d.Click(spinWnd, 6, kUpperY);
  d.RightClick(spinWnd, 6, kUpperY);
  EXPECT_TRUE(d.Log().empty());
  EXPECT_EQ(GetCapture(), nullptr);
  spin->Enable();
  EXPECT_TRUE(IsWindowEnabled(editWnd));
  // Disabling in the middle of a drag cancels it.
  d.LeftDown(spinWnd, 6, kUpperY);
  d.MoveTo(spinWnd, 6, kUpperY - 2);
  spin->Disable();
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(2.0), Change(1, 3.0), Up(0, 2.0)}));
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(Spinner, KeyBracketsAreDrawnAroundTheEditAndArrowsAsShapes) {
  RECT r;
  GetClientRect(editWnd, &r);
  COLORREF plain = PrintedPixel(editWnd, 0, r.bottom / 2);
  spin->SetKeyBrackets(TRUE);
  EXPECT_TRUE(spin->IsKeyBrackets());
  COLORREF bracket = PrintedPixel(editWnd, 0, r.bottom / 2);
  EXPECT_NE(bracket, plain);
  EXPECT_TRUE(GetRValue(bracket) > 150 && GetGValue(bracket) < 60 && GetBValue(bracket) < 60)
      << "red, not 0x" << std::hex << bracket;
  EXPECT_EQ(PrintedPixel(editWnd, r.right - 1, r.bottom / 2), bracket);
  spin->SetKeyBrackets(FALSE);
  EXPECT_EQ(PrintedPixel(editWnd, 0, r.bottom / 2), plain);

  // Each arrow is a filled triangle in the text colour: its middle is inked, the corners of its
  // half are not.
  COLORREF ink = GetSysColor(COLOR_BTNTEXT);
  EXPECT_EQ(PrintedPixel(spinWnd, kSpinW / 2, kSpinH / 4), ink);
  EXPECT_EQ(PrintedPixel(spinWnd, kSpinW / 2, kSpinH * 3 / 4), ink);
  EXPECT_NE(PrintedPixel(spinWnd, 2, 2), ink);
  EXPECT_NE(PrintedPixel(spinWnd, kSpinW - 3, kSpinH / 2 + 2), ink);
}

TEST_F(Spinner, IntSpinnerStepsInWholeNumbersAndClamps) {
  ISpinnerControl* is = SetupIntSpinner(d.Parent(), kSpinId, kEditId, -5, 5, 0);
  ASSERT_NE(is, nullptr);
  d.Probe([is] { return (double)is->GetIVal(); });
  EXPECT_EQ(TextOf(edit), "0");
  d.LeftDown(spinWnd, 6, kUpperY);
  d.MoveTo(spinWnd, 6, kUpperY - 1);
  d.MoveTo(spinWnd, 6, kUpperY - 3);
  d.MoveTo(spinWnd, 6, kUpperY - 9);
  d.LeftUp(spinWnd, 6, kUpperY - 9);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(0), Change(1, 1), Change(1, 3), Change(1, 5), Up(1, 5)}));
  EXPECT_EQ(TextOf(edit), "5");

  // A fractional scale moves one whole step per so many pixels; a click still steps by one.
  d.Clear();
  is->SetValue(0, FALSE);
  is->SetScale(0.25f);
  d.LeftDown(spinWnd, 6, kLowerY);
  d.MoveTo(spinWnd, 6, kLowerY + 1);  // a quarter step: no change yet
  d.MoveTo(spinWnd, 6, kLowerY + 8);
  d.LeftUp(spinWnd, 6, kLowerY + 8);
  d.Click(spinWnd, 6, kLowerY);
  EXPECT_TRUE(SequenceIs(d.Log(), {Down(0), Change(1, -2), Up(1, -2), Down(-2), Change(1, -3), Up(1, -3)}));

  // Typed text is rounded to a whole number.
  d.Clear();
  TypeAndEnter("2.6");
  EXPECT_TRUE(SequenceIs(d.Log(), {Change(0, 3), Enter(1)}));
  EXPECT_EQ(TextOf(edit), "3");
  ReleaseISpinner(is);
}

TEST_F(Spinner, EditAndSpinnerMayGoInEitherOrder) {
  DestroyWindow(editWnd);
  spin->SetValue(4.0f, TRUE);  // the spinner no longer shows into the destroyed edit
  d.Click(spinWnd, 6, kUpperY);
  EXPECT_FLOAT_EQ(spin->GetFVal(), 4.5f);
  EXPECT_EQ(TextOf(edit), "") << "an interface object outlives its window harmlessly";
  EXPECT_FALSE(edit->IsEnabled());
  HWND edit2 = d.Create(ControlModule(), CUSTEDITWINDOWCLASS, kEditId, 10, 10, 60, 20);
  spin->LinkToEdit(edit2, EDITTYPE_FLOAT);
  EXPECT_EQ(quortest::WindowText(edit2), "4.500");
  DestroyWindow(spinWnd);
  EXPECT_EQ(spin->GetFVal(), 0.0f);
  spin->SetValue(1.0f, TRUE);
  EXPECT_EQ(quortest::WindowText(edit2), "4.500");
  // The edit still works on its own.
  d.Clear();
  d.Focus(edit2);
  d.Key(VK_RETURN);
  EXPECT_TRUE(SequenceIs(d.Log(), {{WM_CUSTEDIT_ENTER, W(kEditId, 1), (LPARAM)edit2, NoProbe()}}));
}

// A 40 x 20 custom button.
class Button : public testing::Test {
 protected:
  static constexpr int kW = 40, kH = 20;
  void SetUp() override {
    ASSERT_NE(ControlModule(), nullptr);
    wnd = d.Create(ControlModule(), CUSTBUTTONWINDOWCLASS, kButtonId, 20, 100, kW, kH, "Go");
    ASSERT_NE(wnd, nullptr);
    b = GetICustButton(wnd);
    ASSERT_NE(b, nullptr);
  }
  void TearDown() override {
    ReleaseICustButton(b);
    if (images) ImageList_Destroy(images);
  }
  Expected Clicked(double probe = NoProbe()) { return {WM_COMMAND, W(kButtonId, BN_CLICKED), (LPARAM)wnd, probe}; }
  // Three fly-off choices with images 1 to 3 (out) and 4 to 6 (in), opening after 20 ms.
  void MakeFlyOff(int dir, int columns = 1) {
    if (!images) {
      images = ImageList_Create(16, 16, ILC_COLOR24, 8, 0);
      HDC screen = GetDC(nullptr);
      for (int i = 0; i < 8; i++) {
        HBITMAP bmp = CreateCompatibleBitmap(screen, 16, 16);
        ImageList_Add(images, bmp, nullptr);
        DeleteObject(bmp);
      }
      ReleaseDC(nullptr, screen);
    }
    b->SetImage(images, 0, 7, 0, 7, 16, 16);
    FlyOffData data[3] = {{1, 4, 1, 4}, {2, 5, 2, 5}, {3, 6, 3, 6}};
    b->SetFlyOff(3, data, 20, 0, dir, columns);
    b->SetType(CBT_CHECK);
  }
  static HWND OpenStrip() {
    HWND strip = nullptr;
    ControlDriver::PumpUntil(
        [&] { return (strip = quortest::FindOwnWindow("VantorFlyOffStrip")) && IsWindowVisible(strip); }, 3000);
    return strip;
  }
  // Presses the button, waits for the strip, moves to (x, y) and releases there.
  void Choose(int x, int y) {
    d.LeftDown(wnd, 5, 5);
    ASSERT_NE(OpenStrip(), nullptr) << "the strip opens while the button is held";
    d.MoveTo(wnd, x, y);
    d.LeftUp(wnd, x, y);
    EXPECT_EQ(quortest::FindOwnWindow("VantorFlyOffStrip", nullptr), nullptr) << "the strip closes on release";
  }

  ControlDriver d;
  HWND wnd = nullptr;
  ICustButton* b = nullptr;
  HIMAGELIST images = nullptr;
};

TEST_F(Button, AClickReleasedOverAnEnabledButtonSendsBnClicked) {
  d.Click(wnd, 5, 5);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked()}));
  // Released outside: no click; dragged out and back in: a click.
  d.Clear();
  d.LeftDown(wnd, 5, 5);
  EXPECT_EQ(GetCapture(), wnd);
  d.MoveTo(wnd, kW + 10, 5);
  d.LeftUp(wnd, kW + 10, 5);
  EXPECT_TRUE(d.Log().empty());
  d.LeftDown(wnd, 5, 5);
  d.MoveTo(wnd, -3, 5);
  d.MoveTo(wnd, kW - 1, kH - 1);
  d.LeftUp(wnd, kW - 1, kH - 1);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked()}));
  EXPECT_FALSE(b->IsChecked()) << "a push button springs back";
  EXPECT_EQ(GetCapture(), nullptr);
  // A disabled button ignores the mouse.
  d.Clear();
  b->Disable();
  EXPECT_FALSE(b->IsEnabled());
  d.Click(wnd, 5, 5);
  EXPECT_TRUE(d.Log().empty());
  EXPECT_EQ(GetCapture(), nullptr);
  b->Enable();
  d.Click(wnd, 5, 5);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked()}));
}

TEST_F(Button, ACheckButtonTogglesPerClickBeforeItTellsTheParent) {
  b->SetType(CBT_CHECK);
  EXPECT_EQ(b->GetType(), CBT_CHECK);
  d.Probe([this] { return (double)b->IsChecked(); });
  d.Click(wnd, 5, 5);
  d.Click(wnd, 5, 5);
  d.Click(wnd, 5, 5);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked(1), Clicked(0), Clicked(1)}));
  b->SetType(CBT_PUSH);
  EXPECT_FALSE(b->IsChecked()) << "a push button cannot stay checked";
  b->SetType(CBT_CHECK);
  b->SetCheck(TRUE);
  EXPECT_TRUE(b->IsChecked());
  EXPECT_EQ(d.Log().size(), 3u) << "setting the state does not notify";
}

TEST_F(Button, CheckedButtonIsFilledWithTheHighlightColourWhenAsked) {
  b->SetText("");
  b->SetType(CBT_CHECK);
  b->SetCheck(TRUE);
  COLORREF face = GetSysColor(COLOR_BTNFACE);
  EXPECT_EQ(PrintedPixel(wnd, kW / 2, kH / 2), face);
  b->SetCheckHighlight(TRUE);
  b->SetHighlightColor(RGB(10, 200, 30));
  EXPECT_EQ(b->GetHighlightColor(), RGB(10, 200, 30));
  EXPECT_EQ(PrintedPixel(wnd, kW / 2, kH / 2), RGB(10, 200, 30));
  b->SetCheck(FALSE);
  EXPECT_EQ(PrintedPixel(wnd, kW / 2, kH / 2), face);
}

TEST_F(Button, TextAndTooltip) {
  char text[8];
  b->GetText(text, sizeof text);
  EXPECT_STREQ(text, "Go");
  b->SetText("A long label");
  b->GetText(text, sizeof text);
  EXPECT_STREQ(text, "A long ") << "cut to the buffer";

  auto tipText = [this] { return quortest::TooltipOf(d.Parent(), wnd); };
  EXPECT_EQ(tipText(), "(none)");
  std::string s = "Select Alpha Channel";
  b->SetTooltip(TRUE, s.c_str());
  s = "overwritten";
  EXPECT_EQ(tipText(), "Select Alpha Channel") << "the text is copied";
  b->SetTooltip(TRUE, "Other");
  EXPECT_EQ(tipText(), "Other");
  b->SetTooltip(FALSE, nullptr);
  EXPECT_EQ(tipText(), "(none)");
  b->SetTooltip(TRUE, "Again");
  DestroyWindow(wnd);
  EXPECT_EQ(tipText(), "(none)") << "the tooltip goes with its button";
}

TEST_F(Button, PressAndHoldOpensTheFlyOffAndReleasingOnAChoiceSelectsIt) {
  MakeFlyOff(FLY_DOWN);
  d.Probe([this] { return (double)b->GetCurFlyOff(); });
  Choose(5, 2 * kH + 3);  // the third cell below the button
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked(2)}));
  EXPECT_TRUE(b->IsChecked());
  EXPECT_EQ(GetCapture(), nullptr);

  // Released outside every choice: nothing happens.
  d.Clear();
  Choose(kW + 30, kH + 3);
  Choose(5, 3 * kH + 3);
  EXPECT_TRUE(d.Log().empty());
  EXPECT_EQ(b->GetCurFlyOff(), 2);

  // The first cell lies over the button itself.
  Choose(5, 5);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked(0)}));
}

TEST_F(Button, FlyOffStripsOpenInTheirDirectionAndColumns) {
  MakeFlyOff(FLY_UP);
  d.Probe([this] { return (double)b->GetCurFlyOff(); });
  Choose(5, -kH + 3);
  MakeFlyOff(FLY_LEFT);
  Choose(-2 * kW + 3, 5);
  MakeFlyOff(FLY_DOWN, 2);  // choices 0 and 1 side by side, 2 below 0
  Choose(kW + 3, 5);
  Choose(3, kH + 3);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked(1), Clicked(2), Clicked(1), Clicked(2)}));
}

TEST_F(Button, AQuickClickOnAFlyOffButtonTogglesWithoutOpeningTheStrip) {
  MakeFlyOff(FLY_DOWN);
  b->SetFlyOff(3, std::vector<FlyOffData>{{1, 4, 1, 4}, {2, 5, 2, 5}, {3, 6, 3, 6}}.data(), 10000, 1, FLY_DOWN);
  EXPECT_EQ(b->GetCurFlyOff(), 1) << "the initial choice";
  d.Click(wnd, 5, 5);
  EXPECT_EQ(quortest::FindOwnWindow("VantorFlyOffStrip", nullptr), nullptr);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked()}));
  EXPECT_TRUE(b->IsChecked());
  EXPECT_EQ(b->GetCurFlyOff(), 1);
}

TEST_F(Button, CurrentFlyOffIsSetWithOrWithoutNotification) {
  EXPECT_EQ(b->GetCurFlyOff(), 0);
  b->SetCurFlyOff(1, TRUE);
  EXPECT_EQ(b->GetCurFlyOff(), 0) << "a button without choices stays at 0";
  MakeFlyOff(FLY_DOWN);
  d.Probe([this] { return (double)b->GetCurFlyOff(); });
  b->SetCurFlyOff(1, FALSE);
  b->SetCurFlyOff(2, TRUE);
  b->SetCurFlyOff(3, TRUE);
  b->SetCurFlyOff(-1, TRUE);
  EXPECT_TRUE(SequenceIs(d.Log(), {Clicked(2)}));
  EXPECT_EQ(b->GetCurFlyOff(), 2);
  b->SetFlyOff(0, nullptr, 0, 0);
  EXPECT_EQ(b->GetCurFlyOff(), 0);
}

TEST(CustEdit, EnterNotifiesTheParentAndTheTextReadsAsNumbers) {
  ControlDriver d;
  HWND wnd = d.Create(ControlModule(), CUSTEDITWINDOWCLASS, kEditId, 10, 10, 80, 20, "start");
  HWND other = d.Create(ControlModule(), CUSTEDITWINDOWCLASS, kOtherId, 10, 40, 80, 20);
  ICustEdit* e = GetICustEdit(wnd);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(TextOf(e), "start");
  BOOL valid = TRUE;
  EXPECT_EQ(e->GetInt(&valid), 0);
  EXPECT_FALSE(valid);

  d.Focus(wnd);
  d.SelectAll();
  d.Type("42");
  d.Key(VK_RETURN);
  d.Key(VK_RETURN);
  Expected enter = {WM_CUSTEDIT_ENTER, W(kEditId, 1), (LPARAM)wnd, NoProbe()};
  EXPECT_TRUE(SequenceIs(d.Log(), {enter, enter}));
  EXPECT_EQ(e->GetInt(&valid), 42);
  EXPECT_TRUE(valid);
  EXPECT_FLOAT_EQ(e->GetFloat(), 42.0f);

  // Leaving after a change tells the parent too (high word 0), leaving unchanged does not.
  d.Clear();
  d.Type("5");
  d.Focus(other);
  d.Focus(wnd);
  d.Focus(other);
  EXPECT_TRUE(SequenceIs(d.Log(), {{WM_CUSTEDIT_ENTER, W(kEditId, 0), (LPARAM)wnd, NoProbe()}}));
  EXPECT_EQ(e->GetInt(), 425);

  struct Case {
    const char* text;
    int i;
    float f;
    BOOL valid;
  };
  for (const Case& c : {Case{"2.5", 3, 2.5f, TRUE}, Case{" -7 ", -7, -7.0f, TRUE}, Case{"1e3", 1000, 1000.0f, TRUE},
                        Case{"-2.5", -3, -2.5f, TRUE}, Case{"12abc", 0, 0.0f, FALSE}, Case{"", 0, 0.0f, FALSE},
                        Case{"9e99", 2147483647, FLT_MAX, TRUE}}) {
    e->SetText(c.text);
    BOOL vi = !c.valid, vf = !c.valid;
    int i = e->GetInt(&vi);
    float f = e->GetFloat(&vf);
    EXPECT_EQ(vi, c.valid) << c.text;
    EXPECT_EQ(vf, c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(i, c.i) << c.text;
      EXPECT_FLOAT_EQ(f, c.f) << c.text;
    }
  }
  // Edit messages sent to the control reach its text.
  e->SetText("abcdef");
  SendMessageA(wnd, EM_SETSEL, 1, 3);
  DWORD from = 0, to = 0;
  SendMessageA(wnd, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
  EXPECT_EQ(from, 1u);
  EXPECT_EQ(to, 3u);
  e->SetText(1.23456f, 2);
  EXPECT_EQ(TextOf(e), "1.23");
  e->SetText(-7);
  EXPECT_EQ(TextOf(e), "-7");
  e->SetText(0.5f);
  EXPECT_EQ(TextOf(e), "0.500");
  e->Disable();
  EXPECT_FALSE(e->IsEnabled());
  ReleaseICustEdit(e);
}

// A page that controls sit in: a child window that records the gesture notifications it hears
// and whether its own WM_DESTROY had come before each.
class Page {
 public:
  struct Heard {
    UINT message;
    int code;
    bool afterDestroy;
    bool operator==(const Heard& o) const {
      return message == o.message && code == o.code && afterDestroy == o.afterDestroy;
    }
  };
  explicit Page(HWND parent) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuorTestPage";
    RegisterClassA(&wc);
    hwnd = CreateWindowExA(0, wc.lpszClassName, "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, parent, nullptr,
                           wc.hInstance, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)this);
  }
  HWND Create(const char* cls, int id, int x, int w, int h) {
    return CreateWindowExA(0, cls, "", WS_CHILD | WS_VISIBLE, x, 10, w, h, hwnd, (HMENU)(INT_PTR)id,
                           ControlModule(), nullptr);
  }
  HWND hwnd;
  bool destroyed = false;
  std::vector<Heard> heard;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Page*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && msg == WM_DESTROY) self->destroyed = true;
    bool gesture = msg == CC_SPINNER_BUTTONDOWN || msg == CC_SPINNER_BUTTONUP || msg == CC_COLOR_BUTTONDOWN ||
                   msg == CC_COLOR_CHANGE || msg == CC_COLOR_BUTTONUP;
    if (self && gesture) self->heard.push_back({msg, HIWORD(wp), self->destroyed});
    return DefWindowProcA(hwnd, msg, wp, lp);
  }
};

// A page closed in the middle of a spinner drag or a colour edit: the page hears the gesture end
// while it is still whole, so that an undo step it opened is closed.
TEST(CustomControls, APageClosingAroundAGestureHearsItsEndFirst) {
  ControlDriver d;
  {
    Page page(d.Parent());
    HWND spinWnd = page.Create(SPINNERWINDOWCLASS, kSpinId, 10, kSpinW, kSpinH);
    ISpinnerControl* spin = GetISpinner(spinWnd);
    ASSERT_NE(spin, nullptr);
    d.LeftDown(spinWnd, 6, kLowerY);
    d.MoveTo(spinWnd, 6, kLowerY - 4);
    DestroyWindow(page.hwnd);
    // The window closing around the drag finishes it accepted, as committing pending edits does.
    EXPECT_EQ(page.heard,
              (std::vector<Page::Heard>{{CC_SPINNER_BUTTONDOWN, 0, false}, {CC_SPINNER_BUTTONUP, 1, false}}));
    EXPECT_EQ(GetCapture(), nullptr);
    ReleaseISpinner(spin);
  }
  {
    Page page(d.Parent());
    HWND sw = page.Create(COLORSWATCHWINDOWCLASS, kOtherId, 10, 40, 20);
    IColorSwatch* is = GetIColorSwatch(sw, RGB(1, 2, 3), "Ambient");
    ASSERT_NE(is, nullptr);
    is->EditThis(TRUE);
    ASSERT_NE(quortest::FindOwnWindow(COLORPICKERWINDOWCLASS, nullptr), nullptr);
    DestroyWindow(page.hwnd);
    EXPECT_EQ(page.heard, (std::vector<Page::Heard>{{CC_COLOR_BUTTONDOWN, 0, false}, {CC_COLOR_CHANGE, 1, false},
                                                    {CC_COLOR_BUTTONUP, 0, false}}))
        << "the edit is cancelled";
    EXPECT_EQ(quortest::FindOwnWindow(COLORPICKERWINDOWCLASS, nullptr), nullptr) << "and the picker closed";
    ReleaseIColorSwatch(is);
  }
}

TEST(CustomControls, InterfaceObjectsOnlyForTheirOwnControls) {
  ControlDriver d;
  HWND edit = d.Create(ControlModule(), CUSTEDITWINDOWCLASS, kEditId, 10, 10, 80, 20);
  HWND button = d.Create(ControlModule(), CUSTBUTTONWINDOWCLASS, kButtonId, 10, 40, 80, 20);
  int live = GetLiveCustomControlCount();
  EXPECT_EQ(GetISpinner(edit), nullptr);
  EXPECT_EQ(GetICustButton(edit), nullptr);
  EXPECT_EQ(GetICustEdit(button), nullptr);
  EXPECT_EQ(GetICustEdit(d.Parent()), nullptr);
  EXPECT_EQ(GetICustButton(nullptr), nullptr);
  EXPECT_EQ(SetupFloatSpinner(d.Parent(), 999, kEditId, 0, 1, 0), nullptr);
  EXPECT_EQ(GetLiveCustomControlCount(), live);
  ICustButton* b1 = GetICustButton(button);
  ICustButton* b2 = GetICustButton(button);
  EXPECT_EQ(GetLiveCustomControlCount(), live + 2);
  b1->SetType(CBT_CHECK);
  b1->SetCheck(TRUE);
  EXPECT_TRUE(b2->IsChecked()) << "both stand for the same control";
  ReleaseICustButton(b1);
  ReleaseICustButton(b2);
  ReleaseICustButton(nullptr);
}

// Windows here are created hidden: showing them costs Wine as much again and tests nothing more.
TEST(CustomControls, TenThousandCyclesOfEachControlLeaveNothingAlive) {
  ControlDriver d;
  HINSTANCE inst = ControlModule();
  int topLevel = CountThreadWindows();
  FlyOffData choices[2] = {{0, 1, 0, 1}, {2, 3, 2, 3}};
  for (int i = 0; i < 10000; i++) {
    HWND b = d.Create(inst, CUSTBUTTONWINDOWCLASS, kButtonId, 0, 0, 30, 20, "b", false);
    ICustButton* ib = GetICustButton(b);
    ASSERT_NE(ib, nullptr) << i;
    if (i % 16 == 0) ib->SetTooltip(TRUE, "tip");  // a tooltip window costs Wine 1.5 ms
    ib->SetFlyOff(2, choices, 100, 1, FLY_DOWN);
    ReleaseICustButton(ib);
    DestroyWindow(b);
  }
  for (int i = 0; i < 10000; i++) {
    HWND e = d.Create(inst, CUSTEDITWINDOWCLASS, kEditId, 0, 30, 60, 20, "", false);
    HWND s = d.Create(inst, SPINNERWINDOWCLASS, kSpinId, 60, 30, 12, 20, "", false);
    ISpinnerControl* is = SetupFloatSpinner(d.Parent(), kSpinId, kEditId, 0, 10, 1, 0.1f);
    ICustEdit* ie = GetICustEdit(e);
    ASSERT_TRUE(is && ie) << i;
    is->SetKeyBrackets(TRUE);
    // Either may go first.
    DestroyWindow(i % 2 ? e : s);
    ReleaseISpinner(is);
    ReleaseICustEdit(ie);
    DestroyWindow(i % 2 ? s : e);
  }
  EXPECT_EQ(CountChildren(d.Parent()), 0);
  EXPECT_EQ(CountThreadWindows(), topLevel) << "no tooltip or strip window is left behind";
}

}  // namespace
