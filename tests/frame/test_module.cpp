// The library as a host plug-in: entry points, registry, descriptors, module services.
#include "Quorlib.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A class made by a test descriptor; it remembers the loading flag it was constructed with.
class ProbeBase {
 public:
  virtual ~ProbeBase() = default;
};
class Probe : public ProbeBase {
 public:
  explicit Probe(int loading) : loading(loading) {}
  int loading;
};

const Class_ID kProbeID(0x1234ABCD, 0x00C0FFEE);
const Class_ID kProbe2ID(0x1234ABCD, 0x00C0FFEF);

// Static, like the library's own descriptors: constructed before main, so they are in the
// library's registry when the test program registers the library with the host.
JClassDesc<Probe, ProbeBase> probeDesc(0, "Probe", 0x200, kProbeID, "");
JClassDesc<Probe, ProbeBase> probe2Desc(1, "Probe2", 0x9008, kProbe2ID, "Tests");

HMODULE Lib() { return GetModuleHandleA("Quorlib.dlz"); }

// The host entry points, reached the way a host reaches them.
int LibNumberClasses() { return GetProcAddressAs<LibNumberClassesProc>(Lib(), "LibNumberClasses")(); }
ClassDesc* LibClassDesc(int i) { return GetProcAddressAs<LibClassDescProc>(Lib(), "LibClassDesc")(i); }
ULONG LibVersion() { return GetProcAddressAs<LibVersionProc>(Lib(), "LibVersion")(); }

// The loading flag that a probe just made was constructed with (-1 when none was made).
int ProbeLoading(void* made) {
  std::unique_ptr<ProbeBase> p(static_cast<ProbeBase*>(made));
  return p ? dynamic_cast<Probe*>(p.get())->loading : -1;
}

// The registry as it stands.
std::vector<ClassDesc*> Registered() {
  std::vector<ClassDesc*> all;
  for (int i = 0; i < LibNumberClasses(); i++) all.push_back(LibClassDesc(i));
  return all;
}

int IndexOf(ClassDesc* cd) {
  for (int i = 0; i < LibNumberClasses(); i++)
    if (LibClassDesc(i) == cd) return i;
  return -1;
}

}  // namespace

TEST(EntryPoints, AreExportedUndecoratedAndAnswerTheirConstants) {
  ASSERT_NE(Lib(), nullptr);
  for (const char* name : {"LibDescription", "LibNumberClasses", "LibClassDesc", "LibVersion", "QuorlibVersion"})
    EXPECT_NE(GetProcAddress(Lib(), name), nullptr) << name;
  auto describe = GetProcAddressAs<const char* (*)()>(Lib(), "LibDescription");
  EXPECT_STREQ(describe(), "Quorvel library (Selvane)");
  EXPECT_EQ(LibVersion(), 0x13880B00u) << "host version 5000, interface 11";
  EXPECT_EQ(QuorlibVersion(), 69);
}

TEST(Registry, DescriptorsAppendInConstructionOrderLeaveWhenDestroyedAndOtherIndicesAnswerNull) {
  int a = IndexOf(&probeDesc);
  ASSERT_GE(a, 0);
  EXPECT_EQ(IndexOf(&probe2Desc), a + 1);
  const std::vector<ClassDesc*> before = Registered();
  const int n = (int)before.size();
  EXPECT_NE(before.back(), nullptr);
  {
    JClassDesc<Probe, ProbeBase> temporary(0, "Temporary", REF_TARGET_CLASS_ID, Class_ID(7, 7), "");
    ASSERT_EQ(LibNumberClasses(), n + 1);
    EXPECT_EQ(LibClassDesc(n), &temporary);
  }
  EXPECT_EQ(Registered(), before) << "a destroyed descriptor leaves and every other stays";
  EXPECT_EQ(LibClassDesc(n), nullptr);
  EXPECT_EQ(LibClassDesc(-1), nullptr);
  EXPECT_EQ(LibClassDesc(0x7FFFFFFF), nullptr);
}

TEST(Descriptor, AnswersItsFieldsAndTheLibraryModuleAndTheHostCreatesThroughIt) {
  EXPECT_EQ(probeDesc.IsPublic(), 0);
  EXPECT_EQ(probe2Desc.IsPublic(), 1);
  EXPECT_STREQ(probe2Desc.Category(), "Tests");
  EXPECT_EQ(probe2Desc.SuperClassID(), 0x9008u);
  // Slots the descriptor does not override keep the host's defaults.
  EXPECT_STREQ(probeDesc.InternalName(), "Probe");
  EXPECT_TRUE(probeDesc.OkToCreate(nullptr));
  EXPECT_EQ(probeDesc.HInstance(), Lib());
  EXPECT_EQ(GetLibInstance(), Lib());
  // The host creates through the registered descriptor.
  ASSERT_EQ(FindClassDesc(0x200, kProbeID), &probeDesc);
  EXPECT_EQ(ProbeLoading(CreateInstance(0x200, kProbeID)), 0);
  // The super class id is part of the key.
  EXPECT_EQ(CreateInstance(0x9008, kProbeID), nullptr);
  EXPECT_EQ(CreateInstance(0x200, Class_ID(1, 2)), nullptr);
}

TEST(Descriptor, CreateTakesTheLoadingFlagFromTheHostOrTheLibraryWhichReadsSetsAndClears) {
  ASSERT_EQ(JLoading(-1), 0);
  EXPECT_EQ(ProbeLoading(probeDesc.Create(1)), 1);
  EXPECT_EQ(ProbeLoading(probeDesc.Create(0)), 0);
  EXPECT_EQ(JLoading(1), 0) << "setting answers the old flag";
  EXPECT_EQ(JLoading(-1), 1) << "reading leaves it set";
  EXPECT_EQ(ProbeLoading(probeDesc.Create(0)), 1);
  EXPECT_EQ(JLoading(-1), 0) << "Create clears the library's loading flag";
  JLoading(1);
  EXPECT_EQ(JLoading(0), 1) << "clearing answers the old flag";
  EXPECT_EQ(JLoading(-1), 0);
}

TEST(LegacyIDs, EveryEarlierIdMapsToItsCurrentClassAndNoOtherIdChanges) {
  struct Row {
    ULONG oa, ob, na, nb;
  } rows[] = {
      {0x3ABB35CE, 0x0C7F1760, 0x55756B07, 0x16AD0D15}, {0x2A460FE5, 0x1D9039A7, 0x36193D67, 0x43815853},
      {0x2E351FDF, 0x63FF6635, 0x549C7750, 0x2FDB75B8}, {0x38D13B57, 0x4E562514, 0x36CB2D8D, 0x40B60A9F},
      {0x2BEA12AE, 0x58992EE4, 0x611F0BCA, 0x78D42A43}, {0x3D501416, 0x35C02CC1, 0x5D656B80, 0x76F60770},
      {0x42EF0F0B, 0x0B5C5AAC, 0x54A03885, 0x45395460}, {0x34407059, 0x6C287CDC, 0x7265232F, 0x215B736B},
      {0x79753A7E, 0x04AC01B2, 0x41BE1C7A, 0x6ED25117}, {0x15F966CE, 0x33716E52, 0x27A11519, 0x625449AB},
      {0x6B472B3C, 0x4CBE53C7, 0x2DC57967, 0x7A8D75AB}, {0x20D32002, 0x4BA32724, 0x6AE30B7D, 0x37903626},
      {0x45BB5BC6, 0x08D40E48, 0x2A100BDF, 0x7ACF24D9}, {0x42B106BA, 0x1C82676F, 0x181D5EE1, 0x69B06262},
      {0x66FC775B, 0x12D049EA, 0x15CA4601, 0x62E43DD1}, {0x56C1005B, 0x77FE7E6D, 0x26450C71, 0x6C00010D},
  };
  for (const Row& r : rows) {
    Class_ID id(r.oa, r.ob);
    EXPECT_TRUE(MapLegacyClassID(id));
    EXPECT_TRUE(id == Class_ID(r.na, r.nb)) << std::hex << r.oa;
    // A current id is not an earlier one: mapping again changes nothing.
    EXPECT_FALSE(MapLegacyClassID(id));
    EXPECT_TRUE(id == Class_ID(r.na, r.nb));
  }
  // Unknown or half-matching ids stay unchanged.
  for (Class_ID id : {Class_ID(1, 2), Class_ID(0x3ABB35CE, 0), Class_ID(0, 0x0C7F1760),
                      Class_ID(0x0C7F1760, 0x3ABB35CE)}) {
    Class_ID before = id;
    EXPECT_FALSE(MapLegacyClassID(id));
    EXPECT_TRUE(id == before);
  }
}

TEST(ModuleServices, ResStringLoadsIntoOneSharedBuffer) {
  const char* title = GetResString(10);
  EXPECT_STREQ(title, "Load Error");
  const char* text = GetResString(11);
  EXPECT_EQ(title, text) << "every call reuses the same buffer";
  EXPECT_STREQ(title, "Cannot create an object.\nProbably a corresponding plug-in is absent.");
  const char* missing = GetResString(31999);
  ASSERT_NE(missing, nullptr);
  EXPECT_STREQ(missing, "") << "a missing string is empty, not null";
  // A sample of the table, mostly texts with placeholders or line breaks, which callers format or split.
  struct {
    int id;
    const char* text;
  } rows[] = {{2003, "Ease In\nEase In Out\nEase Out\nLinear\nSolid"},
              {26, "Error 0x%08X detected. The dialog will be closed.\nSave your work in a new file and restart Vantor "
                   "as soon as possible."},
              {105, "%s Preview"}, {106, "%s in progress..."}, {1002, "Flag #%u"}, {9, "Show/Hide in the Tavrel"},
              {103, " Load Filter Settings"}, {1113, "Bitmap Loading Error"}, {2000, "<None>"}};
  for (auto& r : rows) EXPECT_STREQ(GetResString(r.id), r.text) << r.id;
}

TEST(ProcessAttach, RegisteredTheHostCustomControlsForTheLibrary) {
  for (const char* cls : {"CustButton", "CustEdit", "SpinnerControl", "ColorSwatch"}) {
    WNDCLASSA wc;
    EXPECT_TRUE(GetClassInfoA(GetLibInstance(), cls, &wc)) << cls;
  }
  // The common controls are initialised: a progress bar can be created.
  HWND bar = CreateWindowA("msctls_progress32", "", 0, 0, 0, 100, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(bar, nullptr);
  if (bar) DestroyWindow(bar);
}

namespace {
using quortest::BinPath;

const Class_ID kClientBlockID(0x7E57C11E, 1);  // the class of testplug_client.dlt
const int kLibraryClasses = 16;                // the first entries of the registry
}  // namespace

TEST(Registry, AClientModuleJoinsWhileLoadedAndLeavesTheLibraryClassesWhenUnloaded) {
  const std::vector<ClassDesc*> before = Registered();
  const int n = (int)before.size();

  HMODULE client = LoadPluginModule(BinPath("testplugins\\testplug_client.dlt").c_str());
  ASSERT_NE(client, nullptr);
  ClassDesc* cd = FindClassDesc(REF_TARGET_CLASS_ID, kClientBlockID);
  ASSERT_NE(cd, nullptr);
  EXPECT_EQ(LibNumberClasses(), n + 1);
  EXPECT_EQ(LibClassDesc(n), cd) << "the client's descriptor is a library descriptor";
  void* made = CreateInstance(REF_TARGET_CLASS_ID, kClientBlockID);
  ASSERT_NE(made, nullptr);
  JDataNode* block = dynamic_cast<JDataNode*>(static_cast<Animatable*>(made));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->NumRefs(), 1);
  block->DeleteMe();

  UnregisterPluginModule(client);
  EXPECT_TRUE(FreeLibrary(client));
  ASSERT_EQ(GetModuleHandleA("testplug_client.dlt"), nullptr) << "the client module is unloaded";
  EXPECT_EQ(Registered(), before);
  EXPECT_EQ(FindClassDesc(REF_TARGET_CLASS_ID, kClientBlockID), nullptr);
  // The library's own classes (their names and order: the data tests) are still found through the host.
  for (int i = 0; i < kLibraryClasses; i++)
    EXPECT_EQ(FindClassDesc(before[i]->SuperClassID(), before[i]->ClassID()), before[i]) << before[i]->ClassName();
  JFloatData* f = Create_JFloatData();
  ASSERT_NE(f, nullptr);
  f->SetValue(0, 2.5f);
  EXPECT_EQ(f->GetFValue(0), 2.5f);
  f->DeleteMe();
}

// A second copy of the library, loaded and unloaded again and again, gives back every
// thread-local slot it takes: the lowest free slot is the same after each round.
TEST(Module, UnloadingGivesBackTheThreadSlots) {
  const std::string copy = BinPath("QuorlibUnloadCopy.dlz");
  ASSERT_TRUE(CopyFileA(BinPath("Quorlib.dlz").c_str(), copy.c_str(), FALSE));
  auto lowestFree = [] {
    DWORD slot = TlsAlloc();
    if (slot != TLS_OUT_OF_INDEXES) TlsFree(slot);
    return slot;
  };
  const DWORD before = lowestFree();
  const int kRounds = 3;
  for (int round = 0; round < kRounds; round++) {
    HMODULE m = LoadLibraryA(copy.c_str());
    ASSERT_NE(m, nullptr) << round;
    EXPECT_NE(lowestFree(), before) << "the loaded copy holds a slot";
    ASSERT_TRUE(FreeLibrary(m));
    EXPECT_EQ(lowestFree(), before) << "round " << round;
  }
  DeleteFileA(copy.c_str());
}
