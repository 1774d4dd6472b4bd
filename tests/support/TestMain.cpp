// The main function of every test program: runs a child function when asked to, otherwise the
// tests. The library is linked directly, so it is registered with the host once, as a host would
// after loading it.
#include "TestSupport.h"

#include "vantor.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  RegisterPluginModule(GetModuleHandleA("Quorlib.dlz"));
  int code = 0;
  if (quortest::RunChildIfAsked(argc, argv, &code) == 0) return code;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
