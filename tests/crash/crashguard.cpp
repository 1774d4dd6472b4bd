// Faults on purpose: the test runner must see this program's crash as a failure.
#include <stdio.h>

int main() {
  printf("about to fault\n");
  fflush(stdout);
  volatile int* p = nullptr;
  *p = 1;
  return 0;
}
