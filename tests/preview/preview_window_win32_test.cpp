// The preview window as a user sees it, on the screen and through window
// messages. Needs a display (under Wine: an X server, such as Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "convert/raw_file.h"
#include "preview/preview.h"
#include "preview/preview_window.h"

namespace tessarel {
namespace {

constexpr DWORD kPatienceMs = 20000;

// Picture and mask where ComputePreviewLayout puts them, on the button face.
std::vector<COLORREF> Want(const std::string& raw, int w, int h) {
  PixelImagePtr picture, mask;
  EXPECT_TRUE(LoadRawFile(raw, "(@wx@h)", picture, mask));
  std::vector<COLORREF> want(std::size_t(w * h), GetSysColor(COLOR_BTNFACE));
  const auto pw = std::int32_t(picture->Width()), ph = std::int32_t(picture->Height());
  const PreviewLayout at = ComputePreviewLayout(w, h, pw, ph);
  const auto rgb = [](std::uint32_t c) { return RGB(c >> 16 & 255, c >> 8 & 255, c & 255); };
  for (std::int32_t i = 0; i < pw * ph; ++i) {
    const std::int32_t x = i % pw, y = i / pw;
    std::uint32_t p = 0, m = 0;
    picture->GetPixel(x, y, p);
    mask->GetPixel(x, y, m);
    want.at(std::size_t((at.pictureY + y) * w + at.pictureX + x)) = rgb(p);
    want.at(std::size_t((at.maskY + y) * w + at.maskX + x)) = rgb(m);
  }
  return want;
}

// Picture left, mask right, after the first paint and after a partial one;
// WM_COMMAND 16 and WM_CLOSE end the run with status 0, WM_COMMAND 17 does not.
TEST(PreviewWindow, ShowsPictureAndMaskUntilClosed) {
  const std::string raw = TESSAREL_SOURCE_DIR "/tests/data/units/preview/p(20x10).raw";
  char exe[MAX_PATH] = {};
  GetFullPathNameA(TESSAREL_EXE, MAX_PATH, exe, nullptr);
  std::string command = "\"" + std::string(exe) + "\" \"" + raw + "\"";
  for (const UINT closing : {UINT(WM_COMMAND), UINT(WM_CLOSE)}) {
    SCOPED_TRACE(closing);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION run{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &run));
    CloseHandle(run.hThread);
    const std::unique_ptr<void, void (*)(HANDLE)> ended(run.hProcess, [](HANDLE process) {
      TerminateProcess(process, 1);
      CloseHandle(process);
    });
    HWND window = nullptr;
    for (const DWORD start = GetTickCount();
         !IsWindowVisible(window) && GetTickCount() - start < kPatienceMs; Sleep(50)) {
      window = FindWindowA("Tessarel", kPreviewTitle);
    }
    ASSERT_TRUE(IsWindowVisible(window));
    RECT outer{}, client{};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    EXPECT_EQ(outer.right - outer.left, kPreviewWindowSize);
    EXPECT_EQ(outer.bottom - outer.top, kPreviewWindowSize);
    const std::vector<COLORREF> want = Want(raw, client.right, client.bottom);
    POINT at{0, 0};
    ClientToScreen(window, &at);
    const HDC screen = GetDC(nullptr);
    const auto shown = [&] {  // row by row, the client area as on the screen
      for (const DWORD start = GetTickCount(); GetTickCount() - start < kPatienceMs; Sleep(50)) {
        std::size_t i = 0;
        const int w = client.right;
        while (i < want.size() && GetPixel(screen, at.x + int(i) % w, at.y + int(i) / w) == want[i])
          ++i;
        if (i == want.size()) return true;
      }
      return false;
    };
    EXPECT_TRUE(shown());
    // A partial repaint places the mask by the whole client area too. No change
    // to wait for: the sent WM_PAINT returns once painted, the command after it
    // once the window is idle, when Wine hands its drawing to the X server.
    RECT rightHalf{client.right / 2, 0, client.right, client.bottom};
    ValidateRect(window, nullptr);
    InvalidateRect(window, &rightHalf, TRUE);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_PAINT, 0, 0, SMTO_ABORTIFHUNG, kPatienceMs, &ignored);
    SendMessageTimeoutA(window, WM_COMMAND, 17, 0, SMTO_ABORTIFHUNG, kPatienceMs, &ignored);
    Sleep(200);
    EXPECT_TRUE(shown() && IsWindow(window));
    PostMessageA(window, closing, closing == WM_COMMAND ? 16 : 0, 0);
    DWORD code = 1;
    EXPECT_EQ(WaitForSingleObject(run.hProcess, kPatienceMs), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(run.hProcess, &code) && code == 0);
    ReleaseDC(nullptr, screen);
  }
}

}  // namespace
}  // namespace tessarel
