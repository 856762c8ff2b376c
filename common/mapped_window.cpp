#include "mapped_window.h"

#include <algorithm>
#include <cerrno>
#include <csignal>

#ifndef _WIN32
#include <sys/mman.h>
#include <sys/stat.h>

#include <unistd.h>

#ifndef MAP_POPULATE
#define MAP_POPULATE 0
#endif
#endif

#ifdef _WIN32

std::uint64_t mappable_size(std::FILE* /*file*/) {
  return 0;
}

mapped_window::mapped_window(std::FILE* file) : file_(file) {}
mapped_window::~mapped_window() = default;
std::string_view mapped_window::map(std::uint64_t /*offset*/, std::size_t /*size*/) {
  failed_ = true;
  return {};
}
void mapped_window::unmap() {}
int mapped_window::touch_pages() {
  return 0;
}
int mapped_window::spoiled() const {
  return 0;
}

#else

namespace {

// What the SIGBUS handler knows of the window mapped now.
char* volatile guarded_begin = nullptr;
char* volatile guarded_end = nullptr;
volatile std::sig_atomic_t guarded_fault = 0;

std::uintptr_t page_size() {
  static const auto size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  return size;
}

// A touch of a page that the file no longer has, or that could not be read.
// From that page to the end of the window, zeros take the place of the file:
// the faulting load then runs again, and the scan goes on to where it looks
// at spoiled(). A fault anywhere else is none of ours: it does what it would
// have done without this handler.
void on_bus_error(int signal, siginfo_t* info, void* /*context*/) {
  auto* const at = static_cast<char*>(info->si_addr);
  char* const end = guarded_end;
  if (at >= guarded_begin && at < end) {
    char* const page = at - reinterpret_cast<std::uintptr_t>(at) % page_size();
    const auto length = static_cast<std::size_t>(end - page);
    if (mmap(page, length, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      guarded_fault = 1;
      return;
    }
  }
  (void)std::signal(signal, SIG_DFL);
  (void)std::raise(signal);
}

bool guard_installed = false;

void install_guard() {
  if (guard_installed) {
    return;
  }
  struct sigaction action {};
  action.sa_sigaction = on_bus_error;
  action.sa_flags = SA_SIGINFO;
  (void)sigemptyset(&action.sa_mask);
  guard_installed = sigaction(SIGBUS, &action, nullptr) == 0;
}

struct stat status_of(std::FILE* file, bool& ok) {
  struct stat st {};
  ok = fstat(fileno(file), &st) == 0;
  return st;
}

}  // namespace

std::uint64_t mappable_size(std::FILE* file) {
  bool ok = false;
  const struct stat st = status_of(file, ok);
  return ok && S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

mapped_window::mapped_window(std::FILE* file) : file_(file) {}

mapped_window::~mapped_window() {
  unmap();
}

void mapped_window::unmap() {
  if (base_ == nullptr) {
    return;
  }
  guarded_begin = nullptr;
  guarded_end = nullptr;
  (void)munmap(base_, length_);
  base_ = nullptr;
  length_ = 0;
}

std::string_view mapped_window::map(std::uint64_t offset, std::size_t size) {
  failed_ = false;
  const std::uint64_t file_size = mappable_size(file_);
  // Past the end the window before stays: its bytes may still be looked at.
  if (offset >= file_size || size == 0) {
    return {};
  }
  install_guard();
  const std::uint64_t lead = offset % page_size();
  const std::uint64_t want = std::min<std::uint64_t>(size, file_size - offset);
  const auto length = static_cast<std::size_t>(lead + want);
  // MAP_POPULATE fills the window in this one call where the pages are in
  // the cache: no fault per page as the scan touches them.
  void* const mapped = mmap(nullptr, length, PROT_READ, MAP_SHARED | MAP_POPULATE, fileno(file_),
                            static_cast<off_t>(offset - lead));
  if (mapped == MAP_FAILED) {
    failed_ = true;
    return {};
  }
  unmap();
  base_ = static_cast<char*>(mapped);
  length_ = length;
  end_ = offset + want;
  guarded_fault = 0;
  guarded_begin = base_;
  // The handler's zeros cover whole pages.
  guarded_end = base_ + (length + page_size() - 1) / page_size() * page_size();
  return {base_ + lead, static_cast<std::size_t>(want)};
}

int mapped_window::touch_pages() {
  const volatile char* const bytes = base_;
  for (std::size_t at = 0; at < length_; at += page_size()) {
    (void)bytes[at];
  }
  return spoiled();
}

int mapped_window::spoiled() const {
  if (base_ == nullptr) {
    return 0;
  }
  bool ok = false;
  const struct stat st = status_of(file_, ok);
  if (ok && static_cast<std::uint64_t>(st.st_size) < end_) {
    return input_shrank;
  }
  return guarded_fault != 0 || !ok ? EIO : 0;
}

#endif
