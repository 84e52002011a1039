// Watches the X screen until it stops changing: prints the seconds from its start to the
// last change seen, once QUIET_MS milliseconds pass without one (or LIMIT_S seconds in all).
// Usage: screen_settle [QUIET_MS] [LIMIT_S]. For bench/pan.sh.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

std::uint64_t screenHash(Display* display, Window root, int w, int h) {
  XImage* image = XGetImage(display, root, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes, ZPixmap);
  if (!image) return 0;
  std::uint64_t hash = 1469598103934665603ull;
  const std::size_t bytes = static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(h);
  const auto* data = reinterpret_cast<const unsigned char*>(image->data);
  for (std::size_t i = 0; i < bytes; i += 8) hash = (hash ^ data[i] ^ (static_cast<std::uint64_t>(data[i + 1]) << 8)) * 1099511628211ull;
  XDestroyImage(image);
  return hash;
}

}  // namespace

int main(int argc, char** argv) {
  const double quiet = argc > 1 ? std::atof(argv[1]) / 1000.0 : 1.5;
  const double limit = argc > 2 ? std::atof(argv[2]) : 30.0;
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "screen_settle: no display\n");
    return 1;
  }
  const Window root = DefaultRootWindow(display);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, root, &attributes);
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
