#include <SDL.h>
#include <dlfcn.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "preview/preview.h"
#include "preview/preview_window.h"

namespace tessarel {
namespace {

// SDL is opened only when a preview is shown: linked into the program, it
// and the fifty libraries it needs would add about 3 ms to the start of
// every conversion run (bench/run.sh times both).
// clang-format off
#define TESSAREL_SDL_FUNCTIONS(F)                                                      \
  F(CreateRenderer) F(CreateTexture) F(CreateWindow) F(Delay) F(DestroyRenderer)       \
  F(DestroyTexture) F(DestroyWindow) F(GetCurrentVideoDriver) F(GetDisplayBounds)      \
  F(GetRendererOutputSize) F(Init) F(LockTexture) F(PollEvent) F(Quit) F(RenderClear)  \
  F(RenderCopy) F(RenderPresent) F(SetHint) F(SetRenderDrawColor) F(ShowWindow)        \
  F(UnlockTexture)
// clang-format on

struct SdlLibrary {
#define TESSAREL_SDL_POINTER(name) decltype(&SDL_##name) name = nullptr;
  TESSAREL_SDL_FUNCTIONS(TESSAREL_SDL_POINTER)
#undef TESSAREL_SDL_POINTER
};

// Null when the library or one of its functions cannot be had. Kept open to
// the end of the process, as a linked library would be.
const SdlLibrary* OpenSdl() {
  static const SdlLibrary* const opened = []() -> const SdlLibrary* {
    void* handle = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    static SdlLibrary library;
    bool found = true;
#define TESSAREL_SDL_LOOKUP(name)                                                       \
  library.name = reinterpret_cast<decltype(library.name)>(dlsym(handle, "SDL_" #name)); \
  found = found && library.name != nullptr;
    TESSAREL_SDL_FUNCTIONS(TESSAREL_SDL_LOOKUP)
#undef TESSAREL_SDL_LOOKUP
    return found ? &library : nullptr;
  }();
  return opened;
}

// Every call goes through here once RunPreviewWindow has opened the library.
const SdlLibrary& Sdl() {
  return *OpenSdl();
}

// COLOR_BTNFACE of the classic Windows scheme: the same grey as the Windows
// preview, so the RAW's own colours read the same on both systems.
constexpr std::uint8_t kButtonFace = 240;

// Without a display SDL falls back to its offscreen driver, whose windows are
// never seen: the event loop would wait forever for a close that cannot come.
bool IsOnScreenDriver(const char* name) {
  return name != nullptr && (std::strcmp(name, "x11") == 0 || std::strcmp(name, "wayland") == 0);
}

// Probing Wayland with no compositor makes libwayland print an error on
// stderr; a preview that cannot open must stay silent, and every Wayland
// session names its socket in WAYLAND_DISPLAY.
const char* OnScreenDrivers() {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return wayland != nullptr && *wayland != '\0' ? "x11,wayland" : "x11";
}

// SDL_Quit also runs after a failed SDL_Init: it frees the hints and the error
// text SDL has already allocated, and restores the SIGINT/SIGTERM handlers.
struct SdlSession {
  SdlSession() = default;
  SdlSession(const SdlSession&) = delete;
  SdlSession& operator=(const SdlSession&) = delete;
  ~SdlSession() { Sdl().Quit(); }
};

struct SdlRelease {
  void operator()(SDL_Window* window) const noexcept { Sdl().DestroyWindow(window); }
  void operator()(SDL_Renderer* renderer) const noexcept { Sdl().DestroyRenderer(renderer); }
  void operator()(SDL_Texture* texture) const noexcept { Sdl().DestroyTexture(texture); }
};
using WindowPtr = std::unique_ptr<SDL_Window, SdlRelease>;
using RendererPtr = std::unique_ptr<SDL_Renderer, SdlRelease>;
using TexturePtr = std::unique_ptr<SDL_Texture, SdlRelease>;

SDL_Rect ToSdl(const PreviewPart& part) {
  return SDL_Rect{part.x, part.y, part.width, part.height};
}

// Filled in place through a lock rather than from a staging buffer. The
// texture format has no alpha channel, which makes SDL copy it without
// blending; its unused byte is kept zero.
TexturePtr MakeTexture(SDL_Renderer* renderer, PixelImage& image, const SDL_Rect& part) {
  TexturePtr texture(Sdl().CreateTexture(renderer, SDL_PIXELFORMAT_RGB888,
                                         SDL_TEXTUREACCESS_STREAMING, part.w, part.h));
  if (!texture) return nullptr;
  void* pixels = nullptr;
  int pitch = 0;
  if (Sdl().LockTexture(texture.get(), nullptr, &pixels, &pitch) != 0) return nullptr;
  for (int y = 0; y < part.h; ++y) {
    auto* row = static_cast<std::uint8_t*>(pixels) + static_cast<std::ptrdiff_t>(y) * pitch;
    for (int x = 0; x < part.w; ++x) {
      std::uint32_t argb = 0;
      image.GetPixel(part.x + x, part.y + y, argb);
      const std::uint32_t rgb = argb & 0x00FFFFFFu;
      std::memcpy(row + static_cast<std::ptrdiff_t>(x) * 4, &rgb, sizeof rgb);
    }
  }
  Sdl().UnlockTexture(texture.get());
  return texture;
}

// Each texture with where it goes in the client area.
struct Scene {
  SDL_Renderer* renderer;
  TexturePtr picture;
  TexturePtr mask;
  SDL_Rect pictureRect;
  SDL_Rect maskRect;
};

void Paint(const Scene& scene) {
  Sdl().SetRenderDrawColor(scene.renderer, kButtonFace, kButtonFace, kButtonFace, SDL_ALPHA_OPAQUE);
  Sdl().RenderClear(scene.renderer);
  Sdl().RenderCopy(scene.renderer, scene.picture.get(), nullptr, &scene.pictureRect);
  Sdl().RenderCopy(scene.renderer, scene.mask.get(), nullptr, &scene.maskRect);
  Sdl().RenderPresent(scene.renderer);
}

bool StartVideo() {
  // A normal-priority hint yields to a user's SDL_VIDEODRIVER; the driver
  // check below still refuses anything that is not a real display.
  Sdl().SetHint(SDL_HINT_VIDEODRIVER, OnScreenDrivers());
  // A still picture has no reason to keep the screen saver away or to make a
  // compositor unredirect the desktop, as SDL does for games by default.
  Sdl().SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
  Sdl().SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  return Sdl().Init(SDL_INIT_VIDEO) == 0 && IsOnScreenDriver(Sdl().GetCurrentVideoDriver());
}

// SDL sizes and places the client area: the frame belongs to the window
// manager, which reports it only after mapping (X11) or never (Wayland's
// client-side decorations). So 150 x 150 is the client area, and the layout
// reads the real one in any case.
WindowPtr CreateHiddenWindow() {
  int left = SDL_WINDOWPOS_CENTERED;
  int top = SDL_WINDOWPOS_CENTERED;
  SDL_Rect desktop;
  if (Sdl().GetDisplayBounds(0, &desktop) == 0) {
    left = desktop.x + desktop.w / 2 - kPreviewWindowSize;
    top = desktop.y + desktop.h / 2 - kPreviewWindowSize;
  }
  // Hidden until painted, so that a failure after it never flashes an empty window.
  return WindowPtr(Sdl().CreateWindow(kPreviewTitle, left, top, kPreviewWindowSize,
                                      kPreviewWindowSize, SDL_WINDOW_HIDDEN));
}

// The software renderer copies 1:1 exactly and has no texture size limit;
// anything else is only a fallback. Where the platform has a framebuffer of
// its own (X11) it should draw there: by default SDL routes it through a GL
// texture, loading a whole GL driver and its threads for a 150-pixel window.
RendererPtr CreateRenderer(SDL_Window* window) {
  Sdl().SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  RendererPtr renderer(Sdl().CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE));
  if (!renderer) renderer.reset(Sdl().CreateRenderer(window, -1, 0));
  return renderer;
}

// The window is not resizable: the client area it has now is the one the
// layout places the images in for as long as it is open. A part that cannot
// be shown at all makes no texture.
Scene LayOut(SDL_Renderer* renderer, PixelImage& picture, PixelImage& mask) {
  Scene scene{renderer, nullptr, nullptr, {}, {}};
  int clientWidth = 0;
  int clientHeight = 0;
  if (Sdl().GetRendererOutputSize(renderer, &clientWidth, &clientHeight) != 0) return scene;
  const int w = static_cast<int>(picture.Width());
  const int h = static_cast<int>(picture.Height());
  const PreviewLayout layout = ComputePreviewLayout(clientWidth, clientHeight, w, h);
  const SDL_Rect picturePart =
      ToSdl(VisiblePart(layout.pictureX, layout.pictureY, w, h, clientWidth, clientHeight));
  const SDL_Rect maskPart =
      ToSdl(VisiblePart(layout.maskX, layout.maskY, w, h, clientWidth, clientHeight));
  scene.picture = MakeTexture(renderer, picture, picturePart);
  scene.mask = MakeTexture(renderer, mask, maskPart);
  scene.pictureRect = {layout.pictureX + picturePart.x, layout.pictureY + picturePart.y,
                       picturePart.w, picturePart.h};
  scene.maskRect = {layout.maskX + maskPart.x, layout.maskY + maskPart.y, maskPart.w, maskPart.h};
  return scene;
}

// SDL turns SIGINT and SIGTERM into SDL_QUIT, so a terminal's Ctrl+C or a
// kill ends the preview through the same door as the close box.
// The loop polls rather than blocking in SDL_WaitEvent: a blocked SDL is
// woken by an X event sent to the window over a second connection, and one
// still in flight when the window is destroyed is a fatal X error (exit
// status 1, seen under load) instead of a clean close.
void RunUntilQuit(const Scene& scene) {
  constexpr Uint32 kPollMilliseconds = 15;
  for (;;) {
    SDL_Event event;
    bool repaint = false;
    while (Sdl().PollEvent(&event) != 0) {
      // The close box ends it too: SDL makes the last window's close a quit.
      if (event.type == SDL_QUIT) return;
      repaint = repaint || event.type == SDL_WINDOWEVENT;
    }
    if (repaint) Paint(scene);
    Sdl().Delay(kPollMilliseconds);
  }
}

}  // namespace

void RunPreviewWindow(PixelImage& picture, PixelImage& mask) {
  if (OpenSdl() == nullptr) return;
  SdlSession session;
  if (!StartVideo()) return;
  const WindowPtr window = CreateHiddenWindow();
  if (!window) return;
  const RendererPtr renderer = CreateRenderer(window.get());
  if (!renderer) return;
  // A part that cannot be shown at all ends the preview silently.
  const Scene scene = LayOut(renderer.get(), picture, mask);
  if (!scene.picture || !scene.mask) return;
  Paint(scene);
  Sdl().ShowWindow(window.get());
  RunUntilQuit(scene);
}

}  // namespace tessarel
