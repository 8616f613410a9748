// Started detached before CTest under Wine: Wine's services start with it and hold no test's pipe.
#include <windows.h>

int main() {
  GetDesktopWindow();
  Sleep(INFINITE);
}
