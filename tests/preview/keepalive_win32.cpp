// Started detached before CTest runs the tests under Wine. The first Wine
// program of a prefix starts Wine's background services and desktop, which
// inherit that program's output pipe; CTest then waits on the pipe after the
// test has ended. Started from here instead, they hold no test's pipe, and
// staying alive keeps them (and the wineserver) running for every test.
#include <windows.h>

int main() {
  GetDesktopWindow();
  Sleep(INFINITE);
}
