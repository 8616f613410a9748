// The preview window as a user sees it: the built Tessarel is started on a RAW
// file, and the test reads the screen and sends the window messages. Needs a
// display (under Wine: an X server, such as Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "codec/raw_codec.h"
#include "preview/preview.h"
#include "preview/preview_window.h"
#include "test_support/test_support.h"

namespace tessarel {
namespace {

// A 12 x 8 picture, red but for a blue top-left pixel, whose mask makes only
// that pixel transparent: the odd corner shows orientation and natural size.
constexpr int kWidth = 12;
constexpr int kHeight = 8;
constexpr COLORREF kRed = RGB(0xF8, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 0xF8);
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr DWORD kPatienceMs = 20000;

std::string WriteCornerPicture(const testing::TempDir& dir) {
  std::vector<RawPixel> colour(kWidth * kHeight, 0x0000F8u), mask(kWidth * kHeight, 0x00FFFFFFu);
  colour[0] = 0x00F80000u;
  mask[0] = 0;
  std::vector<std::uint8_t> bytes;
  EXPECT_TRUE(PackRaw(colour, mask, kWidth, kHeight, bytes));
  const std::string path = dir / "corner(12x8).raw";
  testing::WriteBytes(path, bytes);
  return path;
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindPreviewWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (processId != search->processId || std::string(className) != "Tessarel") return TRUE;
  search->found = window;
  return FALSE;
}

// Tessarel previewing one file, ended when the test is done with it.
class PreviewRun {
 public:
  explicit PreviewRun(const std::string& rawPath) {
    char exe[MAX_PATH];
    if (GetFullPathNameA(TESSAREL_EXE, MAX_PATH, exe, nullptr) == 0) return;
    std::string commandLine = std::string("\"") + exe + "\" \"" + rawPath + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(exe, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process_)) {
      process_ = {};
    }
  }
  ~PreviewRun() {
    if (process_.hProcess == nullptr) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 1);
    }
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  PreviewRun(const PreviewRun&) = delete;
  PreviewRun& operator=(const PreviewRun&) = delete;

  // The process's preview window once it is visible; null if it never is.
  HWND Window() const {
    const DWORD start = GetTickCount();
    while (process_.hProcess != nullptr && GetTickCount() - start < kPatienceMs) {
      WindowSearch search{process_.dwProcessId, nullptr};
      EnumWindows(FindPreviewWindow, reinterpret_cast<LPARAM>(&search));
      if (search.found != nullptr && IsWindowVisible(search.found)) return search.found;
      if (WaitForSingleObject(process_.hProcess, 50) != WAIT_TIMEOUT) break;
    }
    return nullptr;
  }

  // The exit code, or -1 when the process is still running after the wait.
  int ExitCode() const {
    if (process_.hProcess == nullptr ||
        WaitForSingleObject(process_.hProcess, kPatienceMs) != WAIT_OBJECT_0) {
      return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION process_{};
};

// Colours on screen at client coordinates of the window.
class ScreenReader {
 public:
  explicit ScreenReader(HWND window) : window_(window), screen_(GetDC(nullptr)) {}
  ~ScreenReader() { ReleaseDC(nullptr, screen_); }
  ScreenReader(const ScreenReader&) = delete;
  ScreenReader& operator=(const ScreenReader&) = delete;

  COLORREF At(int x, int y) const {
    POINT point{x, y};
    ClientToScreen(window_, &point);
    return GetPixel(screen_, point.x, point.y);
  }
  // Painting and its way to the screen take a moment after the window shows.
  bool WaitFor(int x, int y, COLORREF want) const {
    const DWORD start = GetTickCount();
    while (At(x, y) != want) {
      if (GetTickCount() - start > kPatienceMs) return false;
      Sleep(50);
    }
    return true;
  }

 private:
  HWND window_;
  HDC screen_;
};

TEST(PreviewWindow, PictureAndMaskSitCentredInTheHalvesOfTheClientArea) {
  testing::TempDir dir;
  PreviewRun run(WriteCornerPicture(dir));
  const HWND window = run.Window();
  ASSERT_NE(window, nullptr);
  char title[64] = {};
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, kPreviewTitle);
  RECT outer{};
  GetWindowRect(window, &outer);
  EXPECT_EQ(outer.right - outer.left, kPreviewWindowSize);
  EXPECT_EQ(outer.bottom - outer.top, kPreviewWindowSize);

  RECT client{};
  GetClientRect(window, &client);
  const PreviewLayout at = ComputePreviewLayout(client.right, client.bottom, kWidth, kHeight);
  const COLORREF background = GetSysColor(COLOR_BTNFACE);
  const ScreenReader screen(window);
  ASSERT_TRUE(screen.WaitFor(at.maskX + 1, at.maskY, kWhite));

  // A partial repaint (here: the right half only) must put the mask back in
  // the same place: the layout comes from the whole client area. The old
  // pixels look just like the right ones, so the test cannot wait for a
  // change: the sent WM_PAINT returns once the window has painted, and the
  // WM_NULL after it once the window has gone idle, which is when Wine hands
  // its drawing to the X server.
  RECT rightHalf{client.right / 2, 0, client.right, client.bottom};
  ValidateRect(window, nullptr);  // nothing else pending may widen the repaint
  InvalidateRect(window, &rightHalf, TRUE);
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_PAINT, 0, 0, SMTO_ABORTIFHUNG, kPatienceMs, &ignored);
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kPatienceMs, &ignored);
  Sleep(200);

  struct Probe {
    const char* what;
    int x, y;
    COLORREF want;
  };
  const int right = kWidth - 1, bottom = kHeight - 1;
  const Probe probes[] = {
      {"picture top-left", at.pictureX, at.pictureY, kBlue},
      {"picture next to it", at.pictureX + 1, at.pictureY, kRed},
      {"picture bottom-right", at.pictureX + right, at.pictureY + bottom, kRed},
      {"left of picture", at.pictureX - 1, at.pictureY, background},
      {"above picture", at.pictureX, at.pictureY - 1, background},
      {"right of picture", at.pictureX + kWidth, at.pictureY + bottom, background},
      {"below picture", at.pictureX + right, at.pictureY + kHeight, background},
      {"mask top-left", at.maskX, at.maskY, kBlack},
      {"mask next to it", at.maskX + 1, at.maskY, kWhite},
      {"mask bottom-right", at.maskX + right, at.maskY + bottom, kWhite},
      {"left of mask", at.maskX - 1, at.maskY, background},
      {"right of mask", at.maskX + kWidth, at.maskY + bottom, background},
      {"below mask", at.maskX + right, at.maskY + kHeight, background},
  };
  // Under load the repaint can reach the screen late: give it time to match,
  // and report the probes as they stand when it does not.
  auto allMatch = [&] {
    for (const Probe& p : probes) {
      if (screen.At(p.x, p.y) != p.want) return false;
    }
    return true;
  };
  for (const DWORD start = GetTickCount(); !allMatch() && GetTickCount() - start < kPatienceMs;) {
    Sleep(50);
  }
  for (const Probe& p : probes) {
    SCOPED_TRACE(p.what);
    EXPECT_EQ(screen.At(p.x, p.y), p.want) << "at " << p.x << "," << p.y;
  }
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.ExitCode(), 0);
}

TEST(PreviewWindow, OnlyCommandSixteenAndCloseEndTheRun) {
  testing::TempDir dir;
  const std::string path = WriteCornerPicture(dir);
  for (const UINT closing : {UINT(WM_COMMAND), UINT(WM_CLOSE)}) {
    SCOPED_TRACE(closing == WM_COMMAND ? "WM_COMMAND 16" : "WM_CLOSE");
    PreviewRun run(path);
    const HWND window = run.Window();
    ASSERT_NE(window, nullptr);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_COMMAND, 17, 0, SMTO_ABORTIFHUNG, kPatienceMs, &ignored);
    EXPECT_TRUE(IsWindow(window));
    PostMessageA(window, closing, closing == WM_COMMAND ? 16 : 0, 0);
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_FALSE(IsWindow(window));
  }
}

}  // namespace
}  // namespace tessarel
