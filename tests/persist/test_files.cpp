// Blocks, settings files and file dialogs; swapping references.
#include "MemStream.h"
#include "Recorder.h"
#include "TestSupport.h"
#include "boxes.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

using quortest::ReadAll;
using quortest::TempPath;

namespace {

const int kNameEdit = 1152;  // the file dialogs' name box
const char kFilter[] = "Settings (*.qst)\0*.qst\0";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A small parameter tree: a node with a keyed leaf, a colour and a payload.
class Settings : public JDataNode {
 public:
  explicit Settings(int loading) {
    if (loading) return;
    Add(Create_JFloatData(), "Radius");
    Add(Create_JColor3Data(), "Color");
    Add(Create_JBinaryData(), "");
  }
  JClassDescBase* GetCD() override;
};
JClassDesc<Settings, ReferenceTargetRTTI> settingsDesc(0, "Settings", 0x200, Class_ID(0x7E575E77, 1), "");
JClassDescBase* Settings::GetCD() { return &settingsDesc; }

Settings* NewSettings() {
  Settings* s = JCreateRegistered<Settings>(0x200, Class_ID(0x7E575E77, 1));
  AnimateOn();
  static_cast<JFloatData*>((*s)(0))->SetValue(0, 3.0f);
  static_cast<JFloatData*>((*s)(0))->SetValue(160, 12.0f);
  AnimateOff();
  Point3 c(0.2f, 0.4f, 0.6f);
  static_cast<JColor3Data*>((*s)(1))->SetValue(0, c);
  static_cast<JBinaryData*>((*s)(2))->Payload().Copy("wood.png", JMemBlock::kText);
  return s;
}

void ExpectSameSettings(Settings* a, Settings* b) {
  ASSERT_NE(b, nullptr);
  for (TimeValue t : {0, 80, 160, 999}) {
    EXPECT_EQ(static_cast<JFloatData*>((*a)(0))->GetFValue(t), static_cast<JFloatData*>((*b)(0))->GetFValue(t));
  }
  Point3 ca, cb;
  static_cast<JColor3Data*>((*a)(1))->GetValue(0, ca);
  static_cast<JColor3Data*>((*b)(1))->GetValue(0, cb);
  EXPECT_TRUE(ca == cb);
  EXPECT_STREQ(static_cast<JBinaryData*>((*b)(2))->Payload().Data(), "wood.png");
}

}  // namespace

TEST(Blocks, ATreeRoundTripsThroughABlockAndAFileWithTheSameBytes) {
  Settings* s = NewSettings();
  JMemBlock* block = SaveRefMaker(s);
  ASSERT_NE(block, nullptr);
  Settings* copy = dynamic_cast<Settings*>(LoadRefMaker(block));
  ExpectSameSettings(s, copy);
  EXPECT_EQ(copy->NumDependents(), 0) << "a fresh object with no dependents";

  std::string path = TempPath("quortest_settings.qst");
  ASSERT_EQ(SaveRefMaker(s, path.c_str()), 1);
  std::vector<unsigned char> file = ReadAll(path);
  ASSERT_EQ(file.size(), block->Size());
  EXPECT_EQ(memcmp(file.data(), block->Data(), file.size()), 0);
  Settings* fromFile = dynamic_cast<Settings*>(LoadRefMakerFromFile(path.c_str()));
  ExpectSameSettings(s, fromFile);
  block->DeleteThis();
  copy->DeleteMe();
  fromFile->DeleteMe();
  s->DeleteMe();
  remove(path.c_str());
}

TEST(Blocks, FailuresAreResultsAndLeaveAnEmptyFile) {
  EXPECT_EQ(LoadRefMaker(static_cast<JMemBlock*>(nullptr)), nullptr);
  EXPECT_EQ(LoadRefMaker(static_cast<char*>(nullptr)), nullptr);
  JMemBlock empty;
  EXPECT_EQ(LoadRefMaker(&empty), nullptr);
  std::string path = TempPath("quortest_null.qst");
  EXPECT_EQ(SaveRefMaker(nullptr, path.c_str()), 0);
  EXPECT_TRUE(Exists(path));
  EXPECT_EQ(ReadAll(path).size(), 0u) << "a failed save leaves an empty file";
  EXPECT_EQ(LoadRefMakerFromFile(path.c_str()), nullptr) << "an empty file";
  remove(path.c_str());
  EXPECT_EQ(LoadRefMakerFromFile(TempPath("no_such_settings.qst").c_str()), nullptr);
  EXPECT_EQ(LoadRefMakerFromFile(nullptr), nullptr);
  Box* b = NewBox(0);
  EXPECT_EQ(SaveRefMaker(b, "Z:\\no\\such\\folder\\x.qst"), 0);
  b->DeleteMe();
}

TEST(FileDialogs, SaveAndLoadThroughTheDialogs) {
  Settings* s = NewSettings();
  std::string folder = TempPath("");
  std::string expected = folder + "quortest_dialog.qst";
  remove(expected.c_str());
  char path[260];
  snprintf(path, sizeof path, "%sold.qst", folder.c_str());  // opens in the folder of this name
  {
    quortest::ModalDriver driver(IDOK);
    driver.Type(kNameEdit, "quortest_dialog.qst");
    EXPECT_EQ(SaveRefMaker(s, nullptr, "Save Settings", path, kFilter, "qst"), 1);
    ASSERT_TRUE(driver.Wait());
    EXPECT_EQ(driver.Caption(), "Save Settings");
  }
  EXPECT_STREQ(path, expected.c_str());
  EXPECT_TRUE(Exists(expected));
  {
    quortest::ModalDriver driver(IDCANCEL);
    char other[260] = "";
    EXPECT_EQ(LoadRefMaker(nullptr, "Load Settings", other, kFilter, "qst"), nullptr);
    driver.Wait();
    EXPECT_STREQ(other, "") << "a cancelled dialog leaves the path";
  }
  {
    quortest::ModalDriver driver(IDOK);
    driver.Type(kNameEdit, expected);
    Settings* loaded = dynamic_cast<Settings*>(LoadRefMaker(nullptr, "Load Settings", nullptr, kFilter, "qst"));
    ASSERT_TRUE(driver.Wait());
    ExpectSameSettings(s, loaded);
    if (loaded) loaded->DeleteMe();
  }
  s->DeleteMe();
  remove(expected.c_str());
}

TEST(FileDialogs, GetOFNSplitsThePathIntoFolderAndName) {
  std::string folder = TempPath("");  // ends with a backslash
  struct Case {
    std::string path, typed;
    int button;
    std::string shown, result;  // the name the dialog shows, the path afterwards
  } cases[] = {
      {folder, "a.flt", IDOK, "*.flt", folder + "a.flt"},  // no dot after the last backslash: a folder only
      {folder + "b.flt", "", IDOK, "b.flt", folder + "b.flt"},
      {"c.flt", "", IDCANCEL, "c.flt", "c.flt"},  // a bare name has no folder; a cancel keeps the path
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    char path[260], title[260] = "untouched";
    snprintf(path, sizeof path, "%s", c.path.c_str());
    quortest::ModalDriver driver(c.button);
    if (!c.typed.empty()) driver.Type(kNameEdit, c.typed);
    std::string shown;
    driver.Before([&](HWND dlg) { shown = quortest::WindowText(GetDlgItem(dlg, kNameEdit)); });
    const bool ok = c.button == IDOK;
    EXPECT_EQ(GetOFN("Pick", nullptr, path, title, "Filters\0*.flt\0", "flt", ok ? 0 : 1), ok ? 1 : 0);
    ASSERT_TRUE(driver.Wait());
    // For a folder alone the dialog may show no name instead of its filter pattern.
    EXPECT_TRUE(shown == c.shown || (shown.empty() && !c.typed.empty())) << shown;
    EXPECT_STREQ(path, c.result.c_str());
    EXPECT_STREQ(title, ok ? c.result.substr(c.result.find_last_of('\\') + 1).c_str() : "untouched");
  }
}

namespace {
// Two recorders that reference target three times: a from both its slots, b from its one.
struct ThreeHolders {
  explicit ThreeHolders(ReferenceTarget* target) {
    a->Hold(target, 0);
    a->Hold(target, 1);
    b->Hold(target, 0);
  }
  ~ThreeHolders() {
    a->DeleteMe();
    b->DeleteMe();
  }
  bool AllOn(ReferenceTarget* t) const {
    return a->GetReference(0) == t && a->GetReference(1) == t && b->GetReference(0) == t;
  }
  quortest::Recorder* a = new quortest::Recorder(2);
  quortest::Recorder* b = new quortest::Recorder(1);
};
}  // namespace

TEST(Replace, EveryReferenceMovesToTheNewTarget) {
  Box* old = NewBox(0, 1);
  Box* fresh = NewBox(0, 2);
  ThreeHolders holders(old);
  int live = (int)GetLiveRefTargetCount();
  EXPECT_EQ(JReplaceReference(old, fresh, 0), 3);
  EXPECT_TRUE(holders.AllOn(fresh));
  EXPECT_EQ((int)GetLiveRefTargetCount(), live) << "old stays alive without delete-old";
  EXPECT_EQ(old->NumDependents(), 0);
  EXPECT_EQ(JReplaceReference(old, fresh, 0), 0) << "no dependents left";
  // With delete-old the old target goes with its last reference.
  Box* third = NewBox(0, 3);
  EXPECT_EQ(JReplaceReference(fresh, third, 1), 3);
  EXPECT_EQ((int)GetLiveRefTargetCount(), live) << "fresh went, third came";
  EXPECT_TRUE(holders.AllOn(third));
  old->DeleteMe();
}

namespace {
// The checks of ReplaceByItself: 0 when every one holds, else the number of the first that fails.
int ReplaceByItselfChecks(const ThreeHolders& holders, Box* same) {
  long live = GetLiveRefTargetCount();
  if (JReplaceReference(same, same, 0) != 0) return 1;
  if (JReplaceReference(same, same, 1) != 0) return 2;
  if (!holders.AllOn(same)) return 3;
  if (same->NumDependents() != 3 || GetLiveRefTargetCount() != live) return 4;
  // Inside a load, the root in place of itself stays the root, alive.
  quortest::MemSave nothing;
  quortest::MemLoad loader(nothing.Bytes());
  loader.SetRootAddr(static_cast<ReferenceMaker*>(same));
  if (JReplaceReference(&loader, same, same, 1) != 0) return 5;
  if (loader.GetRootAddr() != static_cast<ReferenceMaker*>(same) || GetLiveRefTargetCount() != live) return 6;
  return 0;
}
}  // namespace

// A target replaced by itself: nothing to replace, and the call must return. It runs in a child
// process so that a call that never returns cannot stall the suite.
QUORTEST_CHILD(ReplaceByItself) {
  long live = GetLiveRefTargetCount();
  int code;
  {
    ThreeHolders holders(NewBox(0, 1));
    code = ReplaceByItselfChecks(holders, static_cast<Box*>(holders.b->GetReference(0)));
  }
  if (!code && GetLiveRefTargetCount() != live) code = 7;
  return code;
}

TEST(Replace, ATargetReplacedByItselfReplacesNothing) {
  EXPECT_EQ(quortest::RunChild("ReplaceByItself", 30000), 0u);
}

namespace {
// A loader that keeps the post-load callbacks registered with it, to run them when told.
class CallbackLoad : public quortest::MemLoad {
 public:
  using MemLoad::MemLoad;
  void RegisterPostLoadCallback(PostLoadCallback* cb) override { callbacks.push_back(cb); }
  void RunCallbacks() {
    std::vector<PostLoadCallback*> now;
    now.swap(callbacks);
    for (PostLoadCallback* cb : now) cb->proc(this);
  }
  std::vector<PostLoadCallback*> callbacks;
};
}  // namespace

TEST(Replace, InsideALoadTheRootCanBeReplaced) {
  quortest::MemSave nothing;
  CallbackLoad loader(nothing.Bytes());
  Box* old = NewBox(0, 1);
  Box* fresh = NewBox(0, 2);
  loader.SetRootAddr(static_cast<ReferenceMaker*>(old));
  long live = GetLiveRefTargetCount();
  EXPECT_EQ(JReplaceReference(&loader, old, fresh, 1), 1);
  EXPECT_EQ(loader.GetRootAddr(), static_cast<ReferenceMaker*>(fresh));
  EXPECT_EQ(GetLiveRefTargetCount(), live) << "the old root lives until the loader's callbacks have run";
  loader.RunCallbacks();
  EXPECT_EQ(GetLiveRefTargetCount(), live - 1) << "then it is deleted";
  Box* other = NewBox(0, 3);
  EXPECT_EQ(JReplaceReference(&loader, other, fresh, 0), 0) << "not the root: no dependents";
  EXPECT_TRUE(loader.callbacks.empty());
  other->DeleteMe();
  fresh->DeleteMe();
}

namespace {
const Class_ID kPhoenixID(0x7E57B0C5, 9);
const int kChildPassed = 0x600D;  // a child that faulted cannot answer this by chance

// A box on pages of its own that become inaccessible when it is deleted, so that any use after
// deletion faults at once. Its Load replaces it, as the loader's root, by a fresh phoenix whose
// value is one more, and asks for its own deletion.
class Phoenix : public Box {
 public:
  explicit Phoenix(int loading) : Box(loading) {}
  Class_ID ClassID() override { return kPhoenixID; }
  IOResult Load(ILoad* iload) override {
    IOResult r = Box::Load(iload);
    Phoenix* fresh = new Phoenix(0);
    fresh->value = value + 1;
    JReplaceReference(iload, this, fresh, 1);
    return r;
  }
  static void* operator new(size_t n) noexcept { return Pages(n); }
  static void* operator new(size_t n, const std::nothrow_t&) noexcept { return Pages(n); }
  // The pages stay reserved, so that nothing else comes to live at the address.
  static void operator delete(void* p) noexcept {
    if (p) VirtualFree(p, 0, MEM_DECOMMIT);
  }

 private:
  static void* Pages(size_t n) { return VirtualAlloc(nullptr, n, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE); }
};
JClassDesc<Phoenix, ReferenceTargetRTTI> phoenixDesc(0, "Phoenix", 0x200, kPhoenixID, "");

// A phoenix (value 1) whose one slot holds a box (value 7), saved.
std::vector<unsigned char> SavedPhoenix() {
  Phoenix* phoenix = new Phoenix(0);
  phoenix->Slots(1);
  phoenix->value = 1;
  phoenix->ReplaceReference(0, NewBox(0, 7));
  std::vector<unsigned char> bytes = SavedBytes(phoenix);
  phoenix->DeleteMe();
  return bytes;
}

// The checks of RootReplacedDuringALoad: kChildPassed when every one holds, else the number of
// the first that fails.
int RootReplacedChecks() {
  long live = GetLiveRefTargetCount();
  std::vector<unsigned char> bytes = SavedPhoenix();
  if (bytes.empty() || GetLiveRefTargetCount() != live) return 1;
  // The loaded phoenix's references are restored after its Load replaced it: it must still be
  // there for that, and go afterwards with what it references.
  JMemBlock block(reinterpret_cast<const char*>(bytes.data()), (unsigned int)bytes.size());
  Phoenix* fresh = dynamic_cast<Phoenix*>(LoadRefMaker(&block));
  if (!fresh) return 2;
  if (fresh->value != 2) return 3;
  if (GetLiveRefTargetCount() != live + 1) return 4;
  fresh->DeleteMe();
  if (GetLiveRefTargetCount() != live) return 5;

  // A load that fails after the replacement deletes both phoenixes, each once.
  if (!BreakLastBox(bytes)) return 6;
  JMemBlock damaged(reinterpret_cast<const char*>(bytes.data()), (unsigned int)bytes.size());
  if (LoadRefMaker(&damaged)) return 7;
  if (GetLiveRefTargetCount() != live) return 8;
  return kChildPassed;
}
}  // namespace

// In a child process, so that a use of the deleted root faults there and not in the suite.
QUORTEST_CHILD(RootReplacedDuringALoad) { return RootReplacedChecks(); }

TEST(Replace, ALoadedObjectCanReplaceTheRootOfARealLoad) {
  EXPECT_EQ(quortest::RunChild("RootReplacedDuringALoad", 30000), (DWORD)kChildPassed);
}
