// The main function of every test program: runs a child function when asked to, otherwise the
// tests. The library is linked directly, so it is registered with the host once, as a host would
// after loading it.
#include "TestSupport.h"

#include "vantor.h"

#include <gtest/gtest.h>

namespace {

// Every test must leave as many reference targets and custom-control interface objects alive
// as it found.
class LiveTargetCheck : public testing::EmptyTestEventListener {
  long atStart = 0;
  int controlsAtStart = 0;
  void OnTestStart(const testing::TestInfo&) override {
    atStart = GetLiveRefTargetCount();
    controlsAtStart = GetLiveCustomControlCount();
  }
  void OnTestEnd(const testing::TestInfo& info) override {
    long now = GetLiveRefTargetCount();
    if (now != atStart)
      ADD_FAILURE() << info.test_suite_name() << "." << info.name() << " left " << (now - atStart)
                    << " reference target(s) alive";
    int controls = GetLiveCustomControlCount();
    if (controls != controlsAtStart)
      ADD_FAILURE() << info.test_suite_name() << "." << info.name() << " left " << (controls - controlsAtStart)
                    << " custom-control interface object(s) unreleased";
  }
};

// An assertion that no test expected fails the running test instead of waiting in a message box.
void UnexpectedAssertion(int line, const char* file) {
  ADD_FAILURE() << "host assertion raised: " << (file ? file : "(null)") << " line " << line;
}

}  // namespace

int main(int argc, char** argv) {
  RegisterPluginModule(GetModuleHandleA("Quorlib.dlz"));
  // The test program may provide classes of its own, exported like a plug-in's.
  RegisterPluginModule(GetModuleHandleA(nullptr));
  GetCOREInterface()->GetRootNode();
  int code = 0;
  if (quortest::RunChildIfAsked(argc, argv, &code) == 0) return code;
  testing::InitGoogleTest(&argc, argv);
  SetAssert1Handler(UnexpectedAssertion);
  testing::UnitTest::GetInstance()->listeners().Append(new LiveTargetCheck);
  return RUN_ALL_TESTS();
}
