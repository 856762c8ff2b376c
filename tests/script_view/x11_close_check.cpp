// Starts the viewer in a fresh working directory under the X server named by
// DISPLAY, finds its window by title, checks the window's size, asks it to
// close the way a window manager does (a WM_DELETE_WINDOW client message) and
// expects the program to end by itself with status 0. SLACK (default 0) is how
// many pixels each side may be off: a scaled window's size is rounded. With
// ICON_RGB (hex), an image of the window's icon must show that colour, opaque:
// a window without the program's icon has another one or none.
//
//   x11_close_check PROGRAM TITLE WIDTH HEIGHT [SLACK [ICON_RGB]]
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using clock_type = std::chrono::steady_clock;
constexpr auto poll_interval = std::chrono::milliseconds(50);
// Generous for a sanitizer build on a loaded machine.
constexpr auto window_timeout = std::chrono::seconds(60);
constexpr auto exit_timeout = std::chrono::seconds(30);

int fail(const std::string& message) {
  std::fprintf(stderr, "x11_close_check: %s\n", message.c_str());
  return 1;
}

// A window found by XQueryTree may be gone by the time it is looked at (a
// short-lived window of another test on the same server). Xlib's default
// handler would exit on that BadWindow and leave the viewer running, which
// held the test until its timeout; a vanished window is simply not the one.
int ignore_x_error(Display* /*display*/, XErrorEvent* /*event*/) {
  return 0;
}

// A property of a window as Xlib hands it over: no data when the window has
// none of that type. A 32-bit property comes as longs, whatever their size.
class Property {
public:
  Property(Display* display, Window window, const char* name, Atom type, long length) {
    unsigned long remaining = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, length, False,
                           type, &type_, &format_, &count_, &remaining, &data_) != Success ||
        type_ != type)
      count_ = 0;
  }
  Property(const Property&) = delete;
  Property& operator=(const Property&) = delete;
  ~Property() {
    if (data_ != nullptr) XFree(data_);
  }
  [[nodiscard]] int format() const { return format_; }
  [[nodiscard]] unsigned long count() const { return count_; }
  [[nodiscard]] const unsigned char* data() const { return data_; }

private:
  Atom type_ = None;
  int format_ = 0;
  unsigned long count_ = 0;
  unsigned char* data_ = nullptr;
};

std::string window_title(Display* display, Window window) {
  std::string title;
  const Property name_property(display, window, "_NET_WM_NAME",
                               XInternAtom(display, "UTF8_STRING", False), 1024);
  if (name_property.format() == 8)
    title.assign(reinterpret_cast<const char*>(name_property.data()), name_property.count());
  if (!title.empty()) return title;
  char* name = nullptr;
  if (XFetchName(display, window, &name) != 0 && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

// Top-level windows are the root's children when no window manager runs, and
// their children when one reparents them into frames.
std::optional<Window> find_mapped_window(Display* display, const std::string& title) {
  std::vector<Window> pending{XDefaultRootWindow(display)};
  for (int depth = 0; depth < 3 && !pending.empty(); ++depth) {
    std::vector<Window> next;
    for (const Window parent : pending) {
      Window root = 0;
      Window parent_of = 0;
      Window* children = nullptr;
      unsigned int count = 0;
      if (XQueryTree(display, parent, &root, &parent_of, &children, &count) == 0) continue;
      next.insert(next.end(), children, children + count);
      if (children != nullptr) XFree(children);
    }
    for (const Window window : next) {
      XWindowAttributes attributes{};
      if (window_title(display, window) == title &&
          XGetWindowAttributes(display, window, &attributes) != 0 &&
          attributes.map_state == IsViewable)
        return window;
    }
    pending = std::move(next);
  }
  return std::nullopt;
}

// The sizes of the images of the window's icon (_NET_WM_ICON, which Qt sets
// on Linux, and Wine from a Windows icon) that show the colour rgb, opaque.
std::string icon_images_showing(Display* display, Window window, unsigned long rgb) {
  const Property icon(display, window, "_NET_WM_ICON", XA_CARDINAL, 1L << 22);
  const auto* values = reinterpret_cast<const unsigned long*>(icon.data());
  std::string found;
  for (unsigned long at = 0; icon.format() == 32 && at + 2 <= icon.count();) {
    const unsigned long width = values[at];
    const unsigned long pixels = width * values[at + 1];
    at += 2;
    if (pixels > icon.count() - at) break;
    bool shows = false;
    for (unsigned long i = 0; i < pixels; ++i)
      shows = shows || (values[at + i] & 0xFFFFFFFFUL) == (0xFF000000UL | rgb);
    if (shows) found += " " + std::to_string(width) + "x" + std::to_string(values[at - 1]);
    at += pixels;
  }
  return found;
}

bool accepts_delete_window(Display* display, Window window, Atom delete_window) {
  Atom* protocols = nullptr;
  int count = 0;
  bool found = false;
  if (XGetWMProtocols(display, window, &protocols, &count) != 0) {
    for (int i = 0; i < count; ++i) found = found || protocols[i] == delete_window;
    XFree(protocols);
  }
  return found;
}

void send_delete_window(Display* display, Window window, Atom delete_window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(delete_window);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

// The program's status once it has ended, or nothing when it is still running
// at the deadline.
std::optional<int> wait_for_exit(pid_t pid, clock_type::time_point deadline) {
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return status;
    if (done < 0 || clock_type::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(poll_interval);
  }
}

std::string describe(int status) {
  if (WIFEXITED(status)) return "exit status " + std::to_string(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return "signal " + std::to_string(WTERMSIG(status));
  return "status " + std::to_string(status);
}

int check(const std::string& program, const std::string& title, int width, int height, int slack,
          std::optional<unsigned long> icon_rgb, const std::filesystem::path& work) {
  {
    std::ofstream(work / "script.inp") << "shown.txt\n";
    std::ofstream(work / "shown.txt") << "Shown by the end-to-end check.\n";
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return fail("cannot open the X display");
  XSetErrorHandler(ignore_x_error);

  const pid_t pid = fork();
  if (pid < 0) return fail("fork failed");
  if (pid == 0) {
    if (chdir(work.c_str()) == 0) execl(program.c_str(), program.c_str(), nullptr);
    std::perror(program.c_str());
    _exit(127);
  }

  const auto stop = [pid](const std::string& message) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return fail(message);
  };

  std::optional<Window> window;
  const auto window_deadline = clock_type::now() + window_timeout;
  while (!(window = find_mapped_window(display, title))) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid)
      return fail("the program ended before showing its window: " + describe(status));
    if (clock_type::now() > window_deadline) return stop("no window titled \"" + title + "\"");
    std::this_thread::sleep_for(poll_interval);
  }

  XWindowAttributes attributes{};
  XGetWindowAttributes(display, *window, &attributes);
  std::printf("window \"%s\": %dx%d\n", title.c_str(), attributes.width, attributes.height);
  if (std::abs(attributes.width - width) > slack || std::abs(attributes.height - height) > slack)
    return stop("expected " + std::to_string(width) + "x" + std::to_string(height) + " within " +
                std::to_string(slack) + " px");

  if (icon_rgb) {
    // The icon may come a moment after the window.
    std::string images;
    while ((images = icon_images_showing(display, *window, *icon_rgb)).empty()) {
      if (clock_type::now() > window_deadline)
        return stop("the window's icon is not the program's");
      std::this_thread::sleep_for(poll_interval);
    }
    std::printf("icon images showing %06lx:%s\n", *icon_rgb, images.c_str());
  }

  const Atom delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
  if (!accepts_delete_window(display, *window, delete_window))
    return stop("the window does not take WM_DELETE_WINDOW");
  send_delete_window(display, *window, delete_window);
  XCloseDisplay(display);

  const std::optional<int> status = wait_for_exit(pid, clock_type::now() + exit_timeout);
  if (!status) return stop("the program did not end after the close request");
  std::printf("after the close request: %s\n", describe(*status).c_str());
  if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0) return fail("expected exit status 0");
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 5 || argc > 7)
    return fail("usage: x11_close_check PROGRAM TITLE WIDTH HEIGHT [SLACK [ICON_RGB]]");
  const std::vector<std::string> args(argv + 1, argv + argc);

  std::string pattern = (std::filesystem::temp_directory_path() / "script_view_e2e.XXXXXX");
  if (mkdtemp(pattern.data()) == nullptr) return fail("cannot make a working directory");
  const std::filesystem::path work = pattern;

  const int result =
      check(std::filesystem::absolute(args[0]), args[1], std::stoi(args[2]), std::stoi(args[3]),
            args.size() > 4 ? std::stoi(args[4]) : 0,
            args.size() > 5 ? std::optional(std::stoul(args[5], nullptr, 16)) : std::nullopt, work);
  std::error_code ignored;
  std::filesystem::remove_all(work, ignored);
  return result;
}
