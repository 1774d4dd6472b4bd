// Plug-in loading, the class directory, custom controls, the interface's folders and intervals.
#include "TestSupport.h"
#include "vantor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using quortest::BinPath;

}  // namespace

TEST(Plugins, AGoodModuleAddsItsClassesInIndexOrder) {
  int before = NumPluginClasses();
  HMODULE m = LoadPluginModule(BinPath("testplugins\\testplug_good.dlt").c_str());
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(NumPluginClasses(), before + 2);
  PluginClassInfo info;
  ASSERT_TRUE(GetPluginClass(before, &info));
  EXPECT_EQ(info.module, m);
  EXPECT_EQ(info.index, 0);
  EXPECT_STREQ(info.cd->ClassName(), "TestThing");
  ASSERT_TRUE(GetPluginClass(before + 1, &info));
  EXPECT_EQ(info.index, 1);
  EXPECT_FALSE(GetPluginClass(before + 2, &info));
  EXPECT_FALSE(GetPluginClass(-1, &info));

  void* thing = CreateInstance(0x200, Class_ID(0x7E570000, 2));
  ASSERT_NE(thing, nullptr);
  EXPECT_EQ(*static_cast<int*>(thing), 2);
  // The module made a plain struct of one int with new; both modules share the C run time's heap.
  ::operator delete(thing);
  EXPECT_EQ(CreateInstance(0x200, Class_ID(0x7E570000, 3)), nullptr);
  EXPECT_EQ(CreateInstance(0xC10, Class_ID(0x7E570000, 1)), nullptr);

  UnregisterPluginModule(m);
  EXPECT_EQ(NumPluginClasses(), before);
  EXPECT_EQ(CreateInstance(0x200, Class_ID(0x7E570000, 1)), nullptr);
  EXPECT_EQ(RegisterPluginModule(m), 2) << "an unregistered module can come back";
}

// Loading or registering a module again answers it without adding its classes or holding it twice;
// the library, registered when the program started, is found by its path as well.
TEST(Plugins, LoadingOrRegisteringAModuleAgainAddsNothingAndHoldsItOnce) {
  std::string path = BinPath("testplugins\\testplug_good.dlt");
  HMODULE m = LoadPluginModule(path.c_str());
  ASSERT_NE(m, nullptr);
  int classes = NumPluginClasses();
  EXPECT_EQ(LoadPluginModule(path.c_str()), m);
  EXPECT_EQ(LoadPluginModule(path.c_str()), m);
  EXPECT_EQ(RegisterPluginModule(m), 0);
  HMODULE lib = GetModuleHandleA("Quorlib.dlz");
  EXPECT_EQ(RegisterPluginModule(lib), 0);
  EXPECT_EQ(LoadPluginModule(BinPath("Quorlib.dlz").c_str()), lib);
  EXPECT_EQ(NumPluginClasses(), classes);
  // One FreeLibrary undoes the host's hold on the module.
  UnregisterPluginModule(m);
  EXPECT_TRUE(FreeLibrary(m));
  EXPECT_EQ(GetModuleHandleA("testplug_good.dlt"), nullptr);
}

TEST(Plugins, ModulesThatAreNotPluginsOfThisHostAreRefused) {
  int before = NumPluginClasses();
  EXPECT_EQ(LoadPluginModule(BinPath("testplugins\\testplug_badversion.dlt").c_str()), nullptr);
  EXPECT_EQ(LoadPluginModule(BinPath("testplugins\\testplug_none.dlt").c_str()), nullptr);
  EXPECT_EQ(LoadPluginModule(BinPath("testplugins\\no_such_module.dlt").c_str()), nullptr);
  EXPECT_EQ(LoadPluginModule(nullptr), nullptr);
  EXPECT_EQ(NumPluginClasses(), before);
  // Refused modules are unloaded again.
  EXPECT_EQ(GetModuleHandleA("testplug_badversion.dlt"), nullptr);
  EXPECT_EQ(GetModuleHandleA("testplug_none.dlt"), nullptr);
  EXPECT_EQ(RegisterPluginModule(nullptr), 0);
  EXPECT_EQ(RegisterPluginModule(GetModuleHandleA("VantorHost.dll")), 0);
}

TEST(CustomControls, AreRealWindowsOfEachRegisteringModule) {
  HINSTANCE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc;
  ASSERT_FALSE(GetClassInfoA(self, "SpinnerControl", &wc));
  InitCustomControls(self);
  InitCustomControls(self);  // a second call changes nothing
  InitCustomControls(nullptr);
  for (const char* cls : {"CustButton", "CustEdit", "SpinnerControl", "ColorSwatch"}) {
    ASSERT_TRUE(GetClassInfoA(self, cls, &wc)) << cls;
    HWND w = CreateWindowA(cls, "text", WS_OVERLAPPEDWINDOW, 0, 0, 80, 20, nullptr, nullptr, self, nullptr);
    ASSERT_NE(w, nullptr) << cls;
    EXPECT_EQ(quortest::WindowText(w), "text");
    UpdateWindow(w);
    DestroyWindow(w);
  }
}

TEST(Interface, AnswersEveryDirectoryAndNothingOutOfRange) {
  Interface* ip = GetCOREInterface();
  for (int d = 0; d < APP_NUM_DIRS; d++) EXPECT_STRNE(ip->GetDir(d), "") << d;
  EXPECT_STREQ(ip->GetDir(APP_NUM_DIRS), "");
  EXPECT_STREQ(ip->GetDir(-1), "");
}

TEST(Interval, IntersectionCanBecomeEmpty) {
  Interval a(0, 100), b(50, 200), c(150, 300);
  EXPECT_TRUE((a & b) == Interval(50, 100));
  EXPECT_TRUE((a & c).Empty());
  EXPECT_TRUE((FOREVER & a) == a);
  EXPECT_TRUE((NEVER & a).Empty());
  EXPECT_TRUE(FOREVER.InInterval(TIME_NegInfinity) && FOREVER.InInterval(TIME_PosInfinity));
  EXPECT_FALSE(NEVER.InInterval(TIME_NegInfinity));
}
