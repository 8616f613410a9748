// The preview window over USER32, drawn with GDI+.
#include "preview/preview_window.h"

#include <windows.h>

#include <gdiplus.h>  // needs <windows.h> before it

#include "image/pixel_image_gdiplus.h"
#include "preview/preview.h"

namespace tessarel {
namespace {

constexpr char kClassName[] = "Tessarel";
// A WM_COMMAND carrying this identifier (WM_CLOSE's number) closes the window.
constexpr WORD kCloseCommand = 16;

// A window procedure has no context argument: it finds the images of the
// running loop here. Set only while RunPreviewWindow's loop runs.
PixelImage* shownPicture = nullptr;
PixelImage* shownMask = nullptr;

void PaintPreview(HWND window) {
  PAINTSTRUCT paint;
  const HDC dc = BeginPaint(window, &paint);
  // The whole client area, not the update rectangle: a partial repaint must
  // place the images where the full paint did.
  RECT client{};
  GetClientRect(window, &client);
  Gdiplus::GpGraphics* graphics = nullptr;
  if (dc != nullptr && shownPicture != nullptr &&
      Gdiplus::DllExports::GdipCreateFromHDC(dc, &graphics) == Gdiplus::Ok) {
    Gdiplus::DllExports::GdipSetPageUnit(graphics, Gdiplus::UnitPixel);
    const PreviewLayout layout =
        ComputePreviewLayout(client.right - client.left, client.bottom - client.top,
                             static_cast<std::int32_t>(shownPicture->Width()),
                             static_cast<std::int32_t>(shownPicture->Height()));
    DrawPixelImage(graphics, *shownPicture, layout.pictureX, layout.pictureY);
    DrawPixelImage(graphics, *shownMask, layout.maskX, layout.maskY);
    Gdiplus::DllExports::GdipDeleteGraphics(graphics);
  }
  EndPaint(window, &paint);
}

LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_PAINT:
      PaintPreview(window);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kCloseCommand) {
        DestroyWindow(window);
        return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void RunPreviewWindow(PixelImage& picture, PixelImage& mask) {
  // The window is the only output from here on, so the process gives up its
  // console; AllocConsole first means there is always exactly one to free.
  AllocConsole();
  FreeConsole();

  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = PreviewWndProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kClassName;
  // Not examined: a class left registered by an earlier preview serves as well.
  RegisterClassExA(&windowClass);

  RECT desktop{};
  GetClientRect(GetDesktopWindow(), &desktop);
  shownPicture = &picture;
  shownMask = &mask;
  const HWND window = CreateWindowExA(0, kClassName, kPreviewTitle, WS_CAPTION | WS_SYSMENU,
                                      desktop.right / 2 - kPreviewWindowSize,
                                      desktop.bottom / 2 - kPreviewWindowSize, kPreviewWindowSize,
                                      kPreviewWindowSize, nullptr, nullptr, instance, nullptr);
  if (window != nullptr) {
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  shownPicture = nullptr;
  shownMask = nullptr;
}

}  // namespace tessarel
