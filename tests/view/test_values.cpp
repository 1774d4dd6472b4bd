// Value controls in a real dialog: spinners, swatch and edit views bound to leaves, driven with
// the mouse and keyboard messages a person produces, and the data written back through them.
#include "ControlDriver.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "valueres.h"

#include "Quorlib.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

using quortest::ControlDriver;

const int kFrame = 160;  // ticks per frame
const float kPi = 3.14159265358979f;
const float kByteToUnit = 0.003921568859368563f;

// A library dialog over the value test template; the controls are routed, initialised and
// destroyed by the dialog base. It counts the steps a stepping spinner asks for.
class ValueDialog : public JOneModelessBase {
 public:
  // The dialog opened at host time t with the controls added.
  static ValueDialog* Open(std::vector<JViewCtl*> ctls, int t = 0) {
    ValueDialog* d = new ValueDialog;
    for (JViewCtl* c : ctls) *d += c;
    d->Create(t);
    return d;
  }
  static ValueDialog* Make() { return new ValueDialog; }
  void Create(int t = 0) {
    GetCOREInterface()->SetTime(t, FALSE);
    time = t;
    CreateDlg(nullptr, this);
    ShowWindow(hwnd, SW_SHOWNA);
  }
  INT_PTR DlgProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == JWM_VIEWSTEP) {
      steps.push_back((int)(INT_PTR)wp);
      return TRUE;
    }
    return JOneModelessBase::DlgProc(msg, wp, lp);
  }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return IDD_VALUES; }
  const char* ActionName() override { return "Values"; }
  int SwitchData(JDataBase*, void*) override { return 0; }
  HWND Item(int id) { return GetDlgItem(hwnd, id); }
  void Close() { SendMessageA(hwnd, WM_CLOSE, 0, 0); }

  std::vector<int> steps;  // +1 or -1 per step asked for
};

// Drags a spinner from its upper arrow through the given heights above the press, as one gesture.
void DragThrough(ControlDriver& d, HWND spin, const std::vector<int>& heights) {
  RECT r;
  GetClientRect(spin, &r);
  int x = r.right / 2, y = 2;
  d.LeftDown(spin, x, y);
  for (int dy : heights) d.MoveTo(spin, x, y - dy);
  d.LeftUp(spin, x, y - (heights.empty() ? 0 : heights.back()));
}

void DragSpinner(ControlDriver& d, HWND spin, int dy) { DragThrough(d, spin, {dy}); }

void RightClick(ControlDriver& d, HWND w) { d.RightClick(w, 2, 2); }

void TypeInto(ControlDriver& d, HWND edit, const char* text) {
  d.Focus(edit);
  d.SelectAll();
  d.Type(text);
  d.Key(VK_RETURN);
}

// A text whose value depends on the time it is read at, so a view that reads at the wrong time
// shows the wrong text. Writing stores the text shown at time 0.
class TimedText : public JData {
 public:
  JClassDescBase* GetCD() override { return nullptr; }
  void GetValue(void* val, TimeValue t, Interval&, GetSetMethod) override {
    JMemBlock* b = static_cast<JMemBlock*>(val);
    if (t == 0) {
      b->Copy(text.c_str(), JMemBlock::kText);
      return;
    }
    char moved[32];
    snprintf(moved, sizeof moved, "at %d", t);
    b->Copy(moved, JMemBlock::kText);
  }
  void SetValue(void* val, TimeValue t, Interval&, GetSetMethod) override {
    JMemBlock* b = static_cast<JMemBlock*>(val);
    text = b->Size() ? b->Data() : "";
    writes.push_back(t);
    NotifyDependents(FOREVER, PART_ALL, REFMSG_CHANGE, NOTIFY_ALL, TRUE, nullptr);
  }
  std::string text;
  std::vector<int> writes;
};

struct Values : testing::Test {
  void SetUp() override {
    InitCustomControls(GetModuleHandleA(nullptr));
    liveControls = GetLiveCustomControlCount();
    liveTargets = GetLiveRefTargetCount();
    owner = new quortest::Recorder(4);
    AnimateOff();
  }
  void TearDown() override {
    if (dlg) dlg->Close();
    EXPECT_FALSE(theHold.Holding()) << "every undo hold the dialog opened is closed";
    GetCOREInterface()->SetTime(0, FALSE);
    AnimateOff();
    owner->DeleteMe();
    theHold.ClearHistory();
    EXPECT_EQ(GetLiveCustomControlCount(), liveControls) << "every control interface is released";
    EXPECT_EQ(GetLiveRefTargetCount(), liveTargets);
  }
  template <class T>
  T* Hold(T* d, int slot) {
    owner->Hold(d, slot);
    return d;
  }
  // The holder records every notification it hears; long runs drop the record.
  void ForgetNotifications() { std::vector<quortest::Recorder::Heard>().swap(owner->heard); }
  Point3 PointAt(JDataLeafBase* leaf, int t) {
    Point3 p;
    leaf->GetValue(t, p);
    return p;
  }
  ControlDriver driver;
  quortest::Recorder* owner = nullptr;
  ValueDialog* dlg = nullptr;
  int liveControls = 0, liveTargets = 0;
};

}  // namespace

TEST_F(Values, FloatSpinnerShowsDegreesAndADragWritesRadians) {
  const float kScale = 0.5f, kStartDegrees = 90.0f;
  const int kPixels = 8;
  JAngleData* angle = Hold(Create_JAngleData(), 0);
  angle->SetValue(0, kStartDegrees * kPi / 180.0f);
  JFloatSpinner* s = JFloatSpinner::Create(angle, -1, IDC_V_FSPIN, IDC_V_FEDIT, -360.0f, 360.0f, kScale);
  dlg = ValueDialog::Open({s});
  ASSERT_NE(s->ISC(), nullptr);
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_FEDIT)), "90.000");

  DragSpinner(driver, dlg->Item(IDC_V_FSPIN), kPixels);
  float shown = kStartDegrees + kPixels * kScale;
  EXPECT_FLOAT_EQ(s->ISC()->GetFVal(), shown);
  EXPECT_NEAR(angle->GetFValue(0), shown * kPi / 180.0f, 1e-6) << "stored in radians";
  EXPECT_EQ(theHold.NumUndo(), 1) << "the drag is one undo step";
  EXPECT_TRUE(s->Valid(0)) << "the leaf holds exactly what the spinner shows, unconverted";

  // A value set elsewhere comes back converted, with no change sent back to the leaf.
  angle->SetValue(0, kPi);
  EXPECT_FLOAT_EQ(s->ISC()->GetFVal(), 180.0f);
  EXPECT_EQ(theHold.NumUndo(), 1);

  // Typing a number into the linked edit writes it too.
  TypeInto(driver, dlg->Item(IDC_V_FEDIT), "-45");
  EXPECT_NEAR(angle->GetFValue(0), -kPi / 4, 1e-6);
}

TEST_F(Values, ResetValueIsTheValueOfTheRangeNearestZero) {
  struct Case {
    float low, high, reset;
  };
  const Case kCases[] = {{-10, -2, -2}, {3, 8, 3}, {-5, 5, 0}};
  const float kUnusual = 123.0f;  // outside every range: the spinner clamps it at once
  for (const Case& c : kCases) {
    JFloatData* gain = Hold(Create_JFloatData(), 0);
    gain->SetValue(0, kUnusual);
    JFloatSpinner* s = JFloatSpinner::Create(gain, -1, IDC_V_FSPIN, IDC_V_FEDIT, c.low, c.high, 0.1f);
    dlg = ValueDialog::Open({s});
    EXPECT_FLOAT_EQ(s->ISC()->GetFVal(), c.high) << "shown clamped to the limits";
    RightClick(driver, dlg->Item(IDC_V_FSPIN));
    EXPECT_FLOAT_EQ(s->ISC()->GetFVal(), c.reset) << c.low << ".." << c.high;
    EXPECT_FLOAT_EQ(gain->GetFValue(0), c.reset) << "the right click's change is written";
    dlg->Close();
    dlg = nullptr;
  }
  // An int spinner takes its reset value by the same rule.
  JFloatData* count = Hold(Create_JFloatData(), 1);
  count->SetValue(0, 6.0f);
  JIntSpinner* s = JIntSpinner::Create(count, -1, IDC_V_ISPIN, IDC_V_IEDIT, 2, 9);
  dlg = ValueDialog::Open({s});
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_IEDIT)), "6");
  RightClick(driver, dlg->Item(IDC_V_ISPIN));
  EXPECT_FLOAT_EQ(count->GetFValue(0), 2.0f);
}

TEST_F(Values, WhileAnimatingOnlyASpinnerWithABypassControlMakesKeys) {
  const int kTime = 2 * kFrame;
  JFloatData* plain = Hold(Create_JFloatData(), 0);
  JFloatData* keyed = Hold(Create_JFloatData(), 1);
  JFloatSpinner* noBypass = JFloatSpinner::Create(plain, -1, IDC_V_FSPIN, IDC_V_FEDIT, -100, 100, 1.0f);
  JIntSpinner* withBypass = JIntSpinner::Create(keyed, IDC_V_BYPASS, IDC_V_ISPIN, IDC_V_IEDIT, -100, 100);
  dlg = ValueDialog::Open({noBypass, withBypass}, kTime);
  AnimateOn();

  DragSpinner(driver, dlg->Item(IDC_V_FSPIN), 5);
  EXPECT_TRUE(Animating()) << "animate mode is back on after the write";
  EXPECT_EQ(plain->NumKeys(), 0);
  EXPECT_FLOAT_EQ(plain->GetFValue(0), 5.0f) << "the value holds at every time";
  EXPECT_FALSE(noBypass->ISC()->IsKeyBrackets());

  DragSpinner(driver, dlg->Item(IDC_V_ISPIN), 7);
  EXPECT_TRUE(Animating());
  ASSERT_EQ(keyed->NumKeys(), 1);
  EXPECT_EQ(keyed->GetKeyTime(0), kTime);
  EXPECT_FLOAT_EQ(keyed->GetFValue(kTime), 7.0f);
  EXPECT_TRUE(withBypass->ISC()->IsKeyBrackets());

  // The brackets follow the dialog's time on and off the key.
  dlg->SetTime(kTime + kFrame);
  EXPECT_FALSE(withBypass->ISC()->IsKeyBrackets());
  dlg->SetTime(kTime);
  EXPECT_TRUE(withBypass->ISC()->IsKeyBrackets());
  // A key made elsewhere at the shown time turns the other spinner's brackets on when it shows it.
  plain->SetValue(kTime, 9.0f);
  EXPECT_EQ(plain->NumKeys(), 1);
  EXPECT_TRUE(noBypass->ISC()->IsKeyBrackets());
  EXPECT_FLOAT_EQ(noBypass->ISC()->GetFVal(), 9.0f);
}

TEST_F(Values, ThreeSpinnersEditTheComponentsOfAPoint) {
  JFloat3Data* pos = Hold(Create_JFloat3Data(), 0);
  JColor3Data* tint = Hold(Create_JColor3Data(), 1);
  Point3 start(1.0f, 2.0f, 3.0f), bytes(0.5f, 0.25f, 1.0f);
  pos->SetValue(0, start);
  tint->SetValue(0, bytes);
  JFloatSpinner3* f3 = JFloatSpinner3::Create(pos, -1, IDC_V_F3SPIN, IDC_V_F3EDIT, IDC_V_F3SPIN + 1, IDC_V_F3EDIT + 1,
                                              IDC_V_F3SPIN + 2, IDC_V_F3EDIT + 2, -10.0f, 10.0f, 0.5f);
  JIntSpinner3* i3 = JIntSpinner3::Create(tint, -1, IDC_V_I3SPIN, IDC_V_I3EDIT, IDC_V_I3SPIN + 1, IDC_V_I3EDIT + 1,
                                          IDC_V_I3SPIN + 2, IDC_V_I3EDIT + 2, 0, 255);
  dlg = ValueDialog::Open({f3, i3});
  for (int i = 0; i < 3; i++) ASSERT_TRUE(f3->ISC(i) && i3->ISC(i)) << i;
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_F3EDIT + 1)), "2.000");
  // Colour components show in 0..255 as the int spinners hold them: 127.5 as 128, 63.75 as 64.
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_I3EDIT)), "128");
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_I3EDIT + 1)), "64");
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_I3EDIT + 2)), "255");
  EXPECT_TRUE(f3->Valid(0));
  EXPECT_FALSE(i3->Valid(0)) << "128 is not 127.5";

  DragSpinner(driver, dlg->Item(IDC_V_F3SPIN + 2), 4);  // z: 3 + 4 x 0.5
  Point3 p = PointAt(pos, 0);
  EXPECT_FLOAT_EQ(p.x, 1.0f) << "the other components are written as shown";
  EXPECT_FLOAT_EQ(p.y, 2.0f);
  EXPECT_FLOAT_EQ(p.z, 5.0f);

  TypeInto(driver, dlg->Item(IDC_V_I3EDIT + 1), "51");
  p = PointAt(tint, 0);
  EXPECT_FLOAT_EQ(p.y, 51.0f / 255.0f);
  EXPECT_FLOAT_EQ(p.x, 128.0f / 255.0f) << "the whole point is written from the three spinners";
  EXPECT_TRUE(i3->Valid(0));

  // Right clicks reset each spinner by the limits' rule: 0 for both.
  RightClick(driver, dlg->Item(IDC_V_F3SPIN));
  EXPECT_FLOAT_EQ(PointAt(pos, 0).x, 0.0f);

  // A change of the data shows in all three.
  Point3 moved(-1.5f, 0.5f, 9.0f);
  pos->SetValue(0, moved);
  for (int i = 0; i < 3; i++) EXPECT_FLOAT_EQ(f3->ISC(i)->GetFVal(), moved[i]) << i;
  EXPECT_FALSE(f3->ISC(0)->IsKeyBrackets() || f3->ISC(1)->IsKeyBrackets());
}

TEST_F(Values, SwatchShowsRoundedBytesAndWritesWhatThePickerSets) {
  JColor3Data* tint = Hold(Create_JColor3Data(), 0);
  tint->SetName("Tint");
  Point3 start(0.5f, 0.0f, 1.0f);
  tint->SetValue(0, start);
  JColorSwatch* sw = JColorSwatch::Create(tint, -1, IDC_V_SWATCH);
  dlg = ValueDialog::Open({sw});
  ASSERT_NE(sw->ICS(), nullptr);
  EXPECT_EQ(sw->ICS()->GetColor(), RGB(128, 0, 255)) << "127.5 rounds away from zero";
  EXPECT_TRUE(sw->Valid(0));

  driver.Click(dlg->Item(IDC_V_SWATCH), 5, 5);
  HWND picker = quortest::FindOwnWindow(COLORPICKERWINDOWCLASS, nullptr);
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(quortest::WindowText(picker), "Tint") << "the swatch is titled with the data's name";
  TypeInto(driver, GetDlgItem(picker, IDC_PICKER_RED_EDIT), "51");
  Point3 p = PointAt(tint, 0);
  EXPECT_FLOAT_EQ(p.x, 51 * kByteToUnit) << "written while the picker is open";
  EXPECT_FLOAT_EQ(p.z, 255 * kByteToUnit);
  driver.Click(GetDlgItem(picker, IDOK), 5, 5);
  EXPECT_EQ(quortest::FindOwnWindow(COLORPICKERWINDOWCLASS, nullptr), nullptr);
  EXPECT_EQ(theHold.NumUndo(), 1) << "one undo step for the picker's edit";
  EXPECT_FLOAT_EQ(PointAt(tint, 0).x, 51 * kByteToUnit);

  // Keys at the shown time put brackets round the swatch.
  EXPECT_FALSE(sw->ICS()->IsKeyBrackets());
  AnimateOn();
  Point3 keyedColour(0.0f, 1.0f, 0.0f);
  tint->SetValue(0, keyedColour);
  EXPECT_TRUE(sw->ICS()->IsKeyBrackets());
  EXPECT_EQ(sw->ICS()->GetColor(), RGB(0, 255, 0));

  // A second Init takes the swatch afresh and gives the interface it held back.
  int live = GetLiveCustomControlCount();
  EXPECT_EQ(sw->Init(0), 1);
  EXPECT_EQ(GetLiveCustomControlCount(), live);
  ASSERT_NE(sw->ICS(), nullptr);
  sw->UpdateView(0, nullptr);
  EXPECT_EQ(sw->ICS()->GetColor(), RGB(0, 255, 0)) << "the new interface shows the data";
}

TEST_F(Values, EditViewReadsItsTextAtTimeZeroAndWritesWhatIsTyped) {
  TimedText* text = Hold(new TimedText, 0);
  text->text = "hello";
  JFloatData* named = Hold(Create_JFloatData(), 1);
  quortest::Recorder* listener = new quortest::Recorder(1);
  listener->Hold(named);
  JEditNameView* v = JEditNameView::Create(text, IDC_V_TEXT, named);
  dlg = ValueDialog::Open({v}, kFrame);
  HWND edit = dlg->Item(IDC_V_TEXT);
  EXPECT_EQ(quortest::WindowText(edit), "hello") << "read at time 0, not at the dialog's time";
  EXPECT_TRUE(v->Valid(kFrame));
  EXPECT_TRUE(text->writes.empty()) << "showing the text writes nothing back";
  dlg->SetTime(3 * kFrame);
  EXPECT_EQ(quortest::WindowText(edit), "hello");

  // The dialog gave the edit the focus when it opened; take it away first.
  driver.Focus(dlg->Item(IDC_V_FEDIT));
  int disabled = GetAcceleratorsDisableCount();
  driver.Focus(edit);
  EXPECT_EQ(GetAcceleratorsDisableCount(), disabled + 1) << "the host's shortcuts are off while typing";
  driver.SelectAll();
  listener->heard.clear();
  driver.Type("world");
  EXPECT_EQ(text->text, "world");
  ASSERT_FALSE(text->writes.empty());
  EXPECT_EQ(text->writes.back(), 3 * kFrame) << "written at the dialog's time";
  EXPECT_TRUE(v->Valid(0));
  int named5 = 0;
  for (const auto& h : listener->heard)
    if (h.message == REFMSG_SUBANIM_STRUCTURE_CHANGED && h.part == (PartID)PART_ALL && h.target == named) named5++;
  EXPECT_GE(named5, 5) << "the named object's dependents hear of every change";
  driver.Focus(dlg->Item(IDC_V_FEDIT));
  EXPECT_EQ(GetAcceleratorsDisableCount(), disabled);

  // Emptying the edit writes an empty text.
  driver.Focus(edit);
  driver.SelectAll();
  driver.Key(VK_DELETE);
  EXPECT_EQ(text->text, "");
  driver.Focus(dlg->Item(IDC_V_FEDIT));

  // A text set elsewhere shows at the next refresh, and showing it writes nothing back.
  JMemBlock other("elsewhere", JMemBlock::kText);
  Interval valid = FOREVER;
  text->SetValue(&other, 0, valid, CTRL_ABSOLUTE);
  size_t writes = text->writes.size();
  dlg->SetTime(4 * kFrame);
  EXPECT_EQ(quortest::WindowText(edit), "elsewhere");
  EXPECT_EQ(text->writes.size(), writes) << "the edit's own change notification is not written back";
  listener->DeleteMe();
}

TEST_F(Values, EditViewOnBinaryTextAndWithoutData) {
  JBinaryData* title = Hold(Create_JBinaryData(), 0);
  JMemBlock start("first", JMemBlock::kText);
  Interval valid = FOREVER;
  title->SetValue(&start, 0, valid, CTRL_ABSOLUTE);
  JEditView* v = JEditView::Create(title, IDC_V_TEXT);
  JEditView* none = JEditView::Create(nullptr, IDC_V_F3EDIT);  // any edit: nothing is bound
  dlg = ValueDialog::Open({v, none});
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_TEXT)), "first");
  EXPECT_FALSE(none->Valid(0)) << "no text matches an empty block";
  driver.Focus(dlg->Item(IDC_V_TEXT));
  SendMessageA(dlg->Item(IDC_V_TEXT), EM_SETSEL, 5, 5);  // after "first"
  driver.Type("!");
  JMemBlock now;
  title->GetValue(&now, 0, valid, CTRL_ABSOLUTE);
  ASSERT_EQ(now.Size(), strlen("first!") + 1) << "the terminator is stored";
  EXPECT_STREQ(now.Data(), "first!");
  driver.Focus(dlg->Item(IDC_V_FEDIT));
  // Bytes without a terminator (a block from a file or a plug-in) show as they are and no further.
  const char kUnended[] = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o', 'p'};
  JMemBlock raw(kUnended, sizeof kUnended);
  title->SetValue(&raw, 0, valid, CTRL_ABSOLUTE);
  v->UpdateView(0, nullptr);
  EXPECT_EQ(quortest::WindowText(dlg->Item(IDC_V_TEXT)), std::string(kUnended, sizeof kUnended));
}

TEST_F(Values, SteppingSpinnerStepsOncePerMoveAndShowsZero) {
  const int kUpByThree = 30;  // pixels at the raw spinner's scale of 0.1
  JViewFSpinner* step = JViewFSpinner::Create(IDC_V_STEP);
  dlg = ValueDialog::Open({step});
  ASSERT_NE(step->ISC(), nullptr);
  DragSpinner(driver, dlg->Item(IDC_V_STEP), kUpByThree);
  EXPECT_EQ(dlg->steps, std::vector<int>{1});
  EXPECT_EQ(step->ISC()->GetFVal(), 0.0f);
  DragSpinner(driver, dlg->Item(IDC_V_STEP), -kUpByThree);
  EXPECT_EQ(dlg->steps, (std::vector<int>{1, -1}));
  EXPECT_EQ(step->ISC()->GetFVal(), 0.0f);
  // A slow drag steps each time it has gone a step beyond the place of the last step (at the
  // raw scale of 0.1 a whole step is reached, rounded, after 5 pixels), not at every move.
  const int kSlowDrag = 30, kPixelsPerStep = 5;
  std::vector<int> heights;
  for (int h = 1; h <= kSlowDrag; h++) heights.push_back(h);
  dlg->steps.clear();
  DragThrough(driver, dlg->Item(IDC_V_STEP), heights);
  EXPECT_EQ(dlg->steps, std::vector<int>(kSlowDrag / kPixelsPerStep, 1));
  EXPECT_EQ(step->ISC()->GetFVal(), 0.0f);
  // One click on either arrow is one step.
  RECT r;
  GetClientRect(dlg->Item(IDC_V_STEP), &r);
  dlg->steps.clear();
  driver.Click(dlg->Item(IDC_V_STEP), r.right / 2, 1);
  driver.Click(dlg->Item(IDC_V_STEP), r.right / 2, r.bottom - 2);
  EXPECT_EQ(dlg->steps, (std::vector<int>{1, -1}));
  // The limits are the whole int range: a far drag is not clamped to a small range.
  step->ISC()->SetValue(1e6f, FALSE);
  EXPECT_EQ(step->ISC()->GetFVal(), 1e6f);
}

TEST_F(Values, MissingDataAndMissingControlsAreReported) {
  quortest::AssertRecorder asserts;
  EXPECT_EQ(JFloatSpinner::Create(nullptr, -1, IDC_V_FSPIN, IDC_V_FEDIT, 0, 1, 0.1f), nullptr);
  EXPECT_EQ(JIntSpinner::Create(nullptr, -1, IDC_V_ISPIN, IDC_V_IEDIT, 0, 1), nullptr);
  EXPECT_EQ(JColorSwatch::Create(nullptr, -1, IDC_V_SWATCH), nullptr);
  EXPECT_EQ(JFloatSpinner3::Create(nullptr, -1, 1, 2, 3, 4, 5, 6, 0, 1, 0.1f), nullptr);
  EXPECT_EQ(JIntSpinner3::Create(nullptr, -1, 1, 2, 3, 4, 5, 6, 0, 1), nullptr);
  ASSERT_EQ(asserts.Hits().size(), 5u);
  for (const auto& h : asserts.Hits()) EXPECT_EQ(h.file, "JVIEW");
  asserts.Clear();

  // Controls whose host control is not in the dialog: Init fails with an assertion, and the
  // views stay harmless until the dialog closes.
  const int kAbsent = 4242;
  JFloatData* gain = Hold(Create_JFloatData(), 0);
  JColor3Data* tint = Hold(Create_JColor3Data(), 1);
  JFloatSpinner* s = JFloatSpinner::Create(gain, -1, kAbsent, kAbsent + 1, 0, 1, 0.1f);
  JIntSpinner3* s3 = JIntSpinner3::Create(tint, -1, IDC_V_I3SPIN, IDC_V_I3EDIT, kAbsent, kAbsent, IDC_V_I3SPIN + 2,
                                          IDC_V_I3EDIT + 2, 0, 255);
  JColorSwatch* sw = JColorSwatch::Create(tint, -1, kAbsent);
  JViewFSpinner* step = JViewFSpinner::Create(kAbsent);
  dlg = ValueDialog::Open({s, s3, sw, step});
  EXPECT_EQ(s->ISC(), nullptr);
  EXPECT_EQ(s3->ISC(1), nullptr);
  EXPECT_EQ(sw->ICS(), nullptr);
  EXPECT_EQ(step->ISC(), nullptr);
  EXPECT_EQ(asserts.Hits().size(), 3u) << "spinner, spinners and swatch; the stepping spinner only answers 0";
  gain->SetValue(0, 0.5f);
  Point3 c(1, 1, 1);
  tint->SetValue(0, c);
  EXPECT_EQ(s->Enable(1), 0);
  EXPECT_FALSE(s->Valid(0));
  asserts.Clear();
  dlg->Close();
  dlg = nullptr;
  EXPECT_EQ(asserts.Hits().size(), 1u) << "the swatch had nothing to release";
}

namespace {
// A tab page over the page template that logs when it is shown and hidden, and counts the live
// pages so a test sees that every page deleted itself.
class ValuePage : public JViewChildBase {
 public:
  ValuePage(int index, std::vector<std::pair<int, int>>* shows) : index(index), shows(shows) { live++; }
  ~ValuePage() override { live--; }
  INT_PTR DlgProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_SHOWWINDOW && shows) shows->push_back({index, (int)wp});
    return JViewChildBase::DlgProc(msg, wp, lp);
  }
  void DeleteThis() override { delete this; }
  HINSTANCE GetInstanceHandle() override { return GetModuleHandleA(nullptr); }
  int IdDlg() override { return IDD_VALUE_PAGE; }
  int SwitchData(JDataBase*, void*) override { return 0; }
  int index;
  std::vector<std::pair<int, int>>* shows;
  static int live;
};
int ValuePage::live = 0;

const char* const kTitles[] = {"First", "Second", "Third"};
const int kPages = 3;

// A tab view of data with three pages, added to its dialog first as a plug-in must.
JTabView* TabWithPages(ValueDialog* dlg, JData* data, std::vector<std::pair<int, int>>* shows, int page = 0) {
  JTabView* tab = JTabView::Create(data, IDC_V_TAB, page);
  *dlg += tab;
  for (int i = 0; i < kPages; i++) tab->Add(new ValuePage(i, shows), kTitles[i]);
  return tab;
}

bool Visible(JTabView* tab, int i) { return IsWindowVisible(tab->GetPage(i)->GetHwnd()) != 0; }

// Clicks the middle of tab i.
void ClickTab(ControlDriver& d, HWND tabWnd, int i) {
  RECT r;
  SendMessageA(tabWnd, TCM_GETITEMRECT, i, (LPARAM)&r);
  d.Click(tabWnd, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
}  // namespace

TEST_F(Values, TabViewShowsThePageItsDataNamesAndWritesTheChosenOne) {
  JFloatData* page = Hold(Create_JFloatData(), 0);
  page->SetValue(0, 7.0f);
  std::vector<std::pair<int, int>> shows;
  dlg = ValueDialog::Make();
  JTabView* tab = TabWithPages(dlg, page, &shows);
  dlg->Create();
  EXPECT_EQ(ValuePage::live, kPages);
  for (int i = 0; i < kPages; i++) EXPECT_EQ(tab->GetPage(i)->Parent(), dlg) << i;
  HWND tabWnd = dlg->Item(IDC_V_TAB);
  EXPECT_EQ(TabCtrl_GetItemCount(tabWnd), kPages);
  EXPECT_EQ(tab->GetPageNum(), 2) << "7.0 is past the last page";
  EXPECT_TRUE(Visible(tab, 2));
  EXPECT_FALSE(Visible(tab, 0) || Visible(tab, 1));
  EXPECT_EQ(GetParent(tab->GetPage(0)->GetHwnd()), tabWnd) << "pages live inside the tab control";
  RECT inTab;
  GetWindowRect(tab->GetPage(2)->GetHwnd(), &inTab);
  MapWindowPoints(nullptr, tabWnd, (POINT*)&inTab, 2);
  EXPECT_EQ(inTab.left, LOWORD(GetDialogBaseUnits()) / 2);
  EXPECT_EQ(inTab.top, HIWORD(GetDialogBaseUnits()) * 3 / 2);
  EXPECT_EQ(tab->GetPage(0)->GetTime(), dlg->GetTime()) << "a page shows its parent's time";

  shows.clear();
  ClickTab(driver, tabWnd, 1);
  ASSERT_EQ(shows.size(), 2u);
  EXPECT_EQ(shows[0], std::make_pair(2, FALSE)) << "the old page hides first";
  EXPECT_EQ(shows[1], std::make_pair(1, TRUE));
  EXPECT_FLOAT_EQ(page->GetFValue(0), 1.0f) << "the index is written";
  EXPECT_EQ(theHold.NumUndo(), 0) << "a tab change is no undo step of its own";

  // The data names a page below 1.0 as the first.
  page->SetValue(0, -1.0f);
  EXPECT_EQ(tab->GetPageNum(), 0);
  EXPECT_TRUE(Visible(tab, 0));
  EXPECT_FALSE(Visible(tab, 1));

  int windows = quortest::CountThreadWindows();
  dlg->Close();
  dlg = nullptr;
  EXPECT_EQ(ValuePage::live, 0) << "every page closed and deleted itself";
  EXPECT_LT(quortest::CountThreadWindows(), windows);
}

TEST_F(Values, TabViewWithoutDataStartsAtItsPageAndKeepsTheChoice) {
  const int kStart = 5;  // past the last page: clamped
  dlg = ValueDialog::Make();
  JTabView* tab = TabWithPages(dlg, nullptr, nullptr, kStart);
  dlg->Create();
  EXPECT_EQ(tab->GetPageNum(), kPages - 1);
  EXPECT_TRUE(Visible(tab, kPages - 1));
  ClickTab(driver, dlg->Item(IDC_V_TAB), 0);
  EXPECT_EQ(tab->GetPageNum(), 0);
  dlg->SetTime(kFrame);
  EXPECT_EQ(tab->GetPageNum(), 0) << "a refresh keeps the page chosen";
  EXPECT_TRUE(Visible(tab, 0));
  EXPECT_FALSE(Visible(tab, kPages - 1));
  dlg->Close();
  dlg = nullptr;
  EXPECT_EQ(ValuePage::live, 0);
}

namespace {
// Bytes in use on every heap of the process.
size_t HeapBytesInUse() {
  HANDLE heaps[64];
  DWORD n = GetProcessHeaps(64, heaps);
  size_t used = 0;
  for (DWORD i = 0; i < n && i < 64; i++) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY e = {};
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) used += e.cbData;
    HeapUnlock(heaps[i]);
  }
  return used;
}

// Drags a spinner for steps moves, up and down by one pixel, as one gesture.
void LongDrag(ControlDriver& d, HWND spin, int steps) {
  std::vector<int> heights(steps);
  for (int i = 0; i < steps; i++) heights[i] = (i + 1) & 1;
  DragThrough(d, spin, heights);
}
}  // namespace

TEST_F(Values, TenThousandDragStepsOverAWatchedLeafLeaveNothingBehind) {
  const int kSteps = 10000;
  const size_t kSlackBytes = 16 * 1024;  // the heaps' own bookkeeping may move a little
  JAngleData* angle = Hold(Create_JAngleData(), 0);
  AnimateOn();
  angle->SetValue(0, 0.25f);
  angle->SetValue(10 * kFrame, 0.5f);
  AnimateOff();
  JFloatSpinner* dragged = JFloatSpinner::Create(angle, -1, IDC_V_FSPIN, IDC_V_FEDIT, -1000, 1000, 1.0f);
  JIntSpinner* second = JIntSpinner::Create(angle, IDC_V_BYPASS, IDC_V_ISPIN, IDC_V_IEDIT, -1000, 1000);
  JFloatSpinner3* third = JFloatSpinner3::Create(angle, -1, IDC_V_F3SPIN, IDC_V_F3EDIT, IDC_V_F3SPIN + 1,
                                                 IDC_V_F3EDIT + 1, IDC_V_F3SPIN + 2, IDC_V_F3EDIT + 2, -1000, 1000, 1);
  int refreshed = 0;
  JViewFunc* fourth = JViewFunc::Create(
      angle, [](JViewFunc*, void* n, int, ReferenceTarget*) { ++*static_cast<int*>(n); }, &refreshed);
  dlg = ValueDialog::Make();
  for (JViewCtl* c : std::initializer_list<JViewCtl*>{dragged, second, third, fourth}) *dlg += c;
  JTabView* tab = TabWithPages(dlg, nullptr, nullptr);
  dlg->Create();
  ASSERT_TRUE(Visible(tab, 0)) << "a tab page is open through the drag";
  HWND spin = dlg->Item(IDC_V_FSPIN);

  // A first drag of the same length lets the heaps and the undo history's tables grow to their
  // working size (the open hold keeps a table of one record per step); the second must not take
  // more.
  LongDrag(driver, spin, kSteps);
  theHold.ClearHistory();
  ForgetNotifications();
  size_t bytes = HeapBytesInUse();
  int windows = quortest::CountThreadWindows(), children = quortest::CountChildren(dlg->GetHwnd());
  int before = refreshed;

  LongDrag(driver, spin, kSteps);
  EXPECT_EQ(refreshed - before, kSteps) << "every step reaches the other views";
  EXPECT_FLOAT_EQ(second->ISC()->GetFVal(), (float)(int)dragged->ISC()->GetFVal());
  EXPECT_EQ(theHold.NumUndo(), 1) << "the whole drag is one undo step";
  theHold.ClearHistory();
  ForgetNotifications();

  size_t bytesAfter = HeapBytesInUse();
  printf("[ figures  ] %d drag steps: heap bytes in use %zu -> %zu, windows %d -> %d, dialog children %d -> %d\n",
         kSteps, bytes, bytesAfter, windows, quortest::CountThreadWindows(), children,
         quortest::CountChildren(dlg->GetHwnd()));
  EXPECT_LE(bytesAfter, bytes + kSlackBytes);
  EXPECT_EQ(quortest::CountThreadWindows(), windows);
  EXPECT_EQ(quortest::CountChildren(dlg->GetHwnd()), children);
}

// For looking at: the dialog with every value control bound, shown for a few seconds
// (test_view --quortest-child ValuesDialogShown, under scripts/screenshot.sh).
QUORTEST_CHILD(ValuesDialogShown) {
  const DWORD kShownMs = 20000;
  InitCustomControls(GetModuleHandleA(nullptr));
  quortest::Recorder* owner = new quortest::Recorder(6);
  JBinaryData* text = Create_JBinaryData();
  JMemBlock hello("A value dialog", JMemBlock::kText);
  Interval valid = FOREVER;
  text->SetValue(&hello, 0, valid, CTRL_ABSOLUTE);
  JAngleData* angle = Create_JAngleData();
  angle->SetValue(0, kPi / 3);
  JFloatData* count = Create_JFloatData();
  count->SetValue(0, 12.0f);
  JFloat3Data* pos = Create_JFloat3Data();
  Point3 p(1.5f, -2.0f, 0.25f);
  pos->SetValue(0, p);
  JColor3Data* tint = Create_JColor3Data();
  Point3 orange(1.0f, 0.5f, 0.0f);
  tint->SetValue(0, orange);
  AnimateOn();
  count->SetValue(0, 12.0f);  // a key at the shown time: brackets round the count
  AnimateOff();
  JData* all[] = {text, angle, count, pos, tint};
  for (int i = 0; i < 5; i++) owner->Hold(static_cast<ReferenceTarget*>(all[i]), i);
  ValueDialog* d = ValueDialog::Make();
  JTabView* tabs = TabWithPages(d, nullptr, nullptr, 1);
  for (JViewCtl* c : std::initializer_list<JViewCtl*>{JEditView::Create(text, IDC_V_TEXT), JFloatSpinner::Create(angle, IDC_V_BYPASS, IDC_V_FSPIN, IDC_V_FEDIT, -360, 360, 1),
       JIntSpinner::Create(count, -1, IDC_V_ISPIN, IDC_V_IEDIT, 0, 100),
       JFloatSpinner3::Create(pos, -1, IDC_V_F3SPIN, IDC_V_F3EDIT, IDC_V_F3SPIN + 1, IDC_V_F3EDIT + 1, IDC_V_F3SPIN + 2,
                              IDC_V_F3EDIT + 2, -10, 10, 0.1f),
       JIntSpinner3::Create(tint, -1, IDC_V_I3SPIN, IDC_V_I3EDIT, IDC_V_I3SPIN + 1, IDC_V_I3EDIT + 1, IDC_V_I3SPIN + 2,
                            IDC_V_I3EDIT + 2, 0, 255),
       JColorSwatch::Create(tint, -1, IDC_V_SWATCH), JViewFSpinner::Create(IDC_V_STEP)})
    *d += c;
  d->Create();
  for (int i = 0; i < kPages; i++) SetDlgItemTextA(tabs->GetPage(i)->GetHwnd(), IDC_P_TEXT, kTitles[i]);
  ControlDriver::PumpUntil([] { return false; }, kShownMs);
  d->Close();
  owner->DeleteMe();
  return 0;
}
