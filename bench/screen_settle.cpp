// Watches the X screen until it stops changing: prints the seconds from its start to the
// last change seen, once QUIET_MS milliseconds pass without one (or LIMIT_S seconds in all).
// With --shot FILE it prints a hash of the screen instead and writes the screen to FILE as a
// PPM picture, so a script can tell that a pan moved the view.
// Usage: screen_settle [QUIET_MS] [LIMIT_S] | screen_settle --shot FILE. For bench/pan.sh.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace {

// With `shot`, the screen also goes there as a binary PPM.
std::uint64_t screenHash(Display* display, Window root, int w, int h, std::FILE* shot = nullptr) {
  XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (!image) return 0;
  std::uint64_t hash = 1469598103934665603ull;
  const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(h);
  const auto* data = reinterpret_cast<const unsigned char*>(image->data);
  for (std::size_t i = 0; i < bytes; i += 8) hash = (hash ^ data[i] ^ (static_cast<std::uint64_t>(data[i + 1]) << 8)) * 1099511628211ull;
  if (shot) {
    std::fprintf(shot, "P6\n%d %d\n255\n", w, h);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const unsigned long pixel = XGetPixel(image, x, y);
        const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 8),
                                      static_cast<unsigned char>(pixel)};
        std::fwrite(rgb, 1, 3, shot);
      }
    }
  }
  XDestroyImage(image);
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  const bool shot = argc > 2 && std::string_view(argv[1]) == "--shot";
  const double quiet = argc > 1 && !shot ? std::atof(argv[1]) / 1000.0 : 1.5;
  const double limit = argc > 2 && !shot ? std::atof(argv[2]) : 30.0;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "screen_settle: no display\n");
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
  if (shot) {
    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file) {
      std::fprintf(stderr, "screen_settle: cannot write %s\n", argv[2]);
      return 1;
    }
    std::printf("%016llx\n", static_cast<unsigned long long>(screenHash(display, root, attributes.width, attributes.height, file)));
    std::fclose(file);
    XCloseDisplay(display);
    return 0;
  }
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto lastChange = start;
  std::uint64_t last = screenHash(display, root, attributes.width, attributes.height);
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto now = Clock::now();
    const std::uint64_t hash = screenHash(display, root, attributes.width, attributes.height);
    if (hash != last) last = hash, lastChange = now;
    const double sinceChange = std::chrono::duration<double>(now - lastChange).count();
    const double total = std::chrono::duration<double>(now - start).count();
    if (sinceChange >= quiet || total >= limit) break;
  }
  std::printf("%.3f\n", std::chrono::duration<double>(lastChange - start).count());
  XCloseDisplay(display);
  return 0;
}
