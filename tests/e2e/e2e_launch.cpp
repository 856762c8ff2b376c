// e2e_launch: what an end-to-end case needs and CMake cannot do by itself,
// on Linux. Run in the case's working directory.
//
//   e2e_launch --setup [--sparse <file> <bytes>] [--chmod <path> <octal>]...
//       makes <file> <bytes> long, the part past its current end a hole, and
//       changes modes, in the order given;
//   e2e_launch [--file-size-limit <bytes>] [--as-nobody] [--read-fails <file> <n>]
//              [--rss-file <file>] [--fifo <name> <content>]...
//              [--cut-short <file> <bytes> <offset>] -- <program> [<argument>...]
//       runs <program> with RLIMIT_FSIZE set and SIGXFSZ ignored (so a write
//       past the limit fails with EFBIG instead of killing it), as uid and
//       gid 65534 with no supplementary groups (when started as root: other
//       users are refused by permissions already), with its <n>-th read(2)
//       of <file> failing with EIO, and writes its peak resident set in KiB
//       to <file>, with a FIFO <name> whose writer waits for a reader,
//       writes the bytes of the file <content> once and closes. The exit
//       status is the program's; a program killed by a signal is said so on
//       standard error, with status 128 + the signal. With a FIFO, a program
//       still running after fifo_seconds waits for a writer that is gone: it
//       is killed, and a FIFO that nobody opened is said too. With
//       --cut-short, once the program has <file> mapped from <offset> or
//       past it, it is stopped, <file> is cut to <bytes> and it goes on; a
//       program that ends without such a mapping fails the run.
//       The size limit binds every file the program writes, its standard
//       streams too when they are files; run_case.cmake gives it pipes.
//
// Errors of its own are said on standard error, with status 125.
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/user.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int launcher_failed = 125;
constexpr uid_t nobody = 65534;
// Far longer than any case takes to read its FIFOs.
constexpr int fifo_seconds = 20;

[[noreturn]] void fail(const std::string& what) {
  (void)std::fprintf(stderr, "e2e_launch: %s\n", what.c_str());
  std::exit(launcher_failed);
}

[[noreturn]] void fail_errno(const std::string& what) {
  fail(what + ": " + std::strerror(errno));
}

std::uint64_t parse_number(const char* text, int base) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, base);
  if (errno != 0 || end == text || *end != '\0') {
    fail(std::string("not a number: ") + text);
  }
  return value;
}

void make_sparse(const char* name, std::uint64_t bytes) {
  const int fd = open(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0) {
    fail_errno(name);
  }
  // A 32-bit off_t would cut the size, and the case would pass on a small file.
  if (static_cast<std::uint64_t>(static_cast<off_t>(bytes)) != bytes) {
    fail(std::string(name) + ": " + std::to_string(bytes) + " bytes do not fit off_t");
  }
  if (static_cast<std::uint64_t>(st.st_size) < bytes &&
      ftruncate(fd, static_cast<off_t>(bytes)) != 0) {
    fail_errno(name);
  }
  (void)close(fd);
}

int setup(int argc, char** argv) {
  for (int i = 2; i < argc; i += 3) {
    const std::string option = argv[i];
    if (i + 2 >= argc) {
      fail(option + " needs two values");
    }
    if (option == "--sparse") {
      make_sparse(argv[i + 1], parse_number(argv[i + 2], 10));
    } else if (option == "--chmod") {
      if (chmod(argv[i + 1], static_cast<mode_t>(parse_number(argv[i + 2], 8))) != 0) {
        fail_errno(argv[i + 1]);
      }
    } else {
      fail("unknown setup option " + option);
    }
  }
  return 0;
}

struct run_options {
  bool limit_file_size = false;
  rlim_t file_size_limit = 0;
  bool as_nobody = false;
  std::string read_fails;  // resolved path of the file, or empty
  long failing_read = 0;
  const char* rss_file = nullptr;
  std::vector<std::pair<std::string, std::string>> fifos;  // name, file of its content
  std::string cut_short;                                   // resolved path of the file, or empty
  std::uint64_t cut_to = 0;
  std::uint64_t cut_at = 0;
  char** program = nullptr;
};

// In the child, before the program starts: what it is to run under.
void prepare_child(const run_options& options) {
  if (options.limit_file_size) {
    const rlimit limit{options.file_size_limit, options.file_size_limit};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
      fail_errno("setrlimit");
    }
    // An ignored signal stays ignored across exec.
    if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
      fail_errno("signal");
    }
  }
  if (options.as_nobody && geteuid() == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) {
      fail_errno("dropping privileges");
    }
    if (setuid(0) == 0) {
      fail("privileges could be taken back");
    }
  }
  if (!options.read_fails.empty() && ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
    fail_errno("ptrace");
  }
}

pid_t wait_for(pid_t child, int& status, rusage& usage) {
  for (;;) {
    const pid_t got = wait4(child, &status, 0, &usage);
    if (got >= 0 || errno != EINTR) {
      return got;
    }
  }
}

#if defined(__x86_64__)
bool names_file(pid_t child, std::uint64_t fd, const std::string& path) {
  const std::string link = "/proc/" + std::to_string(child) + "/fd/" + std::to_string(fd);
  char target[PATH_MAX];
  const ssize_t size = readlink(link.c_str(), target, sizeof target);
  return size > 0 &&
         path.compare(0, std::string::npos, target, static_cast<std::size_t>(size)) == 0;
}

// Follows the child's system calls until its n-th read of the file, which
// is not made: the kernel skips a call whose number is -1, and EIO is put
// where its result goes, as a failing disk would return it. The child then
// runs on untraced, so its own use of ptrace (LeakSanitizer's) still works.
// False when the child ended first; `status` and `usage` are then its end.
bool fail_read(pid_t child, const run_options& options, int& status, rusage& usage) {
  // The child stops at its exec, before the program's first instruction.
  if (wait_for(child, status, usage) != child || !WIFSTOPPED(status)) {
    return false;
  }
  if (ptrace(PTRACE_SETOPTIONS, child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL) != 0) {
    fail_errno("ptrace");
  }
  long reads = 0;
  bool entering = true;
  int signal = 0;
  for (;;) {
    if (ptrace(PTRACE_SYSCALL, child, nullptr, signal) != 0 ||
        wait_for(child, status, usage) != child) {
      fail_errno("ptrace");
    }
    if (!WIFSTOPPED(status)) {
      return false;
    }
    signal = 0;
    if (WSTOPSIG(status) != (SIGTRAP | 0x80)) {
      signal = WSTOPSIG(status);  // handed on, as without a tracer
      continue;
    }
    user_regs_struct regs{};
    if (ptrace(PTRACE_GETREGS, child, nullptr, &regs) != 0) {
      fail_errno("ptrace");
    }
    const bool is_read = entering && regs.orig_rax == SYS_read;
    entering = !entering;
    if (!is_read || !names_file(child, regs.rdi, options.read_fails) ||
        ++reads < options.failing_read) {
      continue;
    }
    regs.orig_rax = static_cast<unsigned long long>(-1);
    if (ptrace(PTRACE_SETREGS, child, nullptr, &regs) != 0 ||
        ptrace(PTRACE_SYSCALL, child, nullptr, 0) != 0 || wait_for(child, status, usage) != child ||
        !WIFSTOPPED(status) || ptrace(PTRACE_GETREGS, child, nullptr, &regs) != 0) {
      fail_errno("ptrace");
    }
    regs.rax = static_cast<unsigned long long>(-EIO);
    if (ptrace(PTRACE_SETREGS, child, nullptr, &regs) != 0 ||
        ptrace(PTRACE_DETACH, child, nullptr, 0) != 0) {
      fail_errno("ptrace");
    }
    return true;
  }
}
#else
bool fail_read(pid_t, const run_options&, int&, rusage&) {
  fail("--read-fails is only made for x86-64");
}
#endif

// Whether `child` has `path` mapped from `offset` or past it, by its
// /proc/<pid>/maps: "<from>-<to> <perms> <offset> <device> <inode> <path>".
bool maps_from(pid_t child, const std::string& path, std::uint64_t offset) {
  std::FILE* maps = std::fopen(("/proc/" + std::to_string(child) + "/maps").c_str(), "r");
  if (maps == nullptr) {
    return false;
  }
  bool found = false;
  char line[PATH_MAX + 128];
  while (!found && std::fgets(line, sizeof line, maps) != nullptr) {
    unsigned long long at = 0;
    int name = 0;
    if (std::sscanf(line, "%*s %*s %llx %*s %*s %n", &at, &name) == 1 && name > 0) {
      std::string mapped = line + name;
      if (!mapped.empty() && mapped.back() == '\n') {
        mapped.pop_back();
      }
      found = mapped == path && at >= offset;
    }
  }
  (void)std::fclose(maps);
  return found;
}

// Watches the child until it maps the file from the offset asked, then cuts
// the file under it while it is stopped. False when the child ended first;
// `status` and `usage` are then its end.
bool cut_short(pid_t child, const run_options& options, int& status, rusage& usage) {
  for (;;) {
    const pid_t got = wait4(child, &status, WNOHANG, &usage);
    if (got == child) {
      return false;
    }
    if (got < 0 && errno != EINTR) {
      fail_errno("wait4");
    }
    if (maps_from(child, options.cut_short, options.cut_at)) {
      break;
    }
  }
  if (kill(child, SIGSTOP) != 0 || waitpid(child, &status, WUNTRACED) != child) {
    fail_errno("stopping the program");
  }
  if (!WIFSTOPPED(status)) {
    return false;
  }
  if (truncate(options.cut_short.c_str(), static_cast<off_t>(options.cut_to)) != 0) {
    fail_errno(options.cut_short);
  }
  if (kill(child, SIGCONT) != 0) {
    fail_errno("continuing the program");
  }
  return true;
}

// Makes the FIFO `name` and starts its writer: it waits for a reader, writes
// the bytes of the file `content` once and closes, so that a reader that
// opens the FIFO a second time finds no writer.
pid_t start_fifo_writer(const std::string& name, const std::string& content) {
  if (mkfifo(name.c_str(), 0644) != 0) {
    fail_errno(name);
  }
  const pid_t writer = fork();
  if (writer < 0) {
    fail_errno("fork");
  }
  if (writer == 0) {
    const int in = open(content.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open(name.c_str(), O_WRONLY | O_CLOEXEC);
    char block[4096];
    ssize_t got = 0;
    while (in >= 0 && out >= 0 && (got = read(in, block, sizeof block)) > 0) {
      for (ssize_t put = 0; put < got;) {
        const ssize_t wrote = write(out, block + put, static_cast<std::size_t>(got - put));
        if (wrote < 0) {
          _exit(launcher_failed);
        }
        put += wrote;
      }
    }
    _exit(in >= 0 && out >= 0 && got == 0 ? 0 : launcher_failed);
  }
  return writer;
}

// Waits for `child` for at most `seconds`; false when it still runs then.
bool wait_at_most(pid_t child, int seconds, int& status, rusage& usage) {
  const timespec pause{0, 10'000'000L};  // 10 ms
  for (int waited = 0; waited < seconds * 100; ++waited) {
    const pid_t got = wait4(child, &status, WNOHANG, &usage);
    if (got == child) {
      return true;
    }
    if (got < 0 && errno != EINTR) {
      fail_errno("wait4");
    }
    (void)nanosleep(&pause, nullptr);
  }
  return false;
}

// After the program: a writer still waiting means that nobody opened its
// FIFO.
void end_fifo_writers(const std::vector<pid_t>& writers, const run_options& options) {
  for (std::size_t i = 0; i < writers.size(); ++i) {
    int status = 0;
    rusage usage{};
    if (!wait_at_most(writers[i], 2, status, usage)) {
      (void)kill(writers[i], SIGKILL);
      (void)wait_for(writers[i], status, usage);
      (void)std::fprintf(stderr, "e2e_launch: nobody opened the FIFO %s\n",
                         options.fifos[i].first.c_str());
    }
  }
}

run_options parse_run(int argc, char** argv) {
  run_options options;
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    const std::string option = argv[i];
    const int values = option == "--cut-short"                          ? 3
                       : option == "--read-fails" || option == "--fifo" ? 2
                       : option == "--as-nobody"                        ? 0
                                                                        : 1;
    if (i + values >= argc) {
      fail(option + " needs a value");
    }
    if (option == "--file-size-limit") {
      options.limit_file_size = true;
      options.file_size_limit = static_cast<rlim_t>(parse_number(argv[i + 1], 10));
    } else if (option == "--as-nobody") {
      options.as_nobody = true;
    } else if (option == "--read-fails") {
      char resolved[PATH_MAX];
      if (realpath(argv[i + 1], resolved) == nullptr) {
        fail_errno(argv[i + 1]);
      }
      options.read_fails = resolved;
      options.failing_read = static_cast<long>(parse_number(argv[i + 2], 10));
    } else if (option == "--cut-short") {
      char resolved[PATH_MAX];
      if (realpath(argv[i + 1], resolved) == nullptr) {
        fail_errno(argv[i + 1]);
      }
      options.cut_short = resolved;
      options.cut_to = parse_number(argv[i + 2], 10);
      options.cut_at = parse_number(argv[i + 3], 10);
    } else if (option == "--rss-file") {
      options.rss_file = argv[i + 1];
    } else if (option == "--fifo") {
      options.fifos.emplace_back(argv[i + 1], argv[i + 2]);
    } else {
      fail("unknown option " + option);
    }
    i += values;
  }
  if (i + 1 >= argc) {
    fail("no program to run");
  }
  options.program = argv + i + 1;
  return options;
}

int run(const run_options& options) {
  std::vector<pid_t> writers;
  for (const auto& [name, content] : options.fifos) {
    writers.push_back(start_fifo_writer(name, content));
  }
  const pid_t child = fork();
  if (child < 0) {
    fail_errno("fork");
  }
  if (child == 0) {
    prepare_child(options);
    execv(options.program[0], options.program);
    fail_errno(options.program[0]);
  }
  int status = 0;
  rusage usage{};
  bool ended = false;
  if (!options.read_fails.empty() && !fail_read(child, options, status, usage)) {
    ended = true;
    (void)std::fprintf(stderr, "e2e_launch: the program ended before read %ld of %s\n",
                       options.failing_read, options.read_fails.c_str());
  }
  if (!ended && !options.cut_short.empty() && !cut_short(child, options, status, usage)) {
    ended = true;
    (void)std::fprintf(stderr, "e2e_launch: the program ended before it mapped %s from %llu\n",
                       options.cut_short.c_str(), static_cast<unsigned long long>(options.cut_at));
  }
  if (!ended && !writers.empty()) {
    ended = wait_at_most(child, fifo_seconds, status, usage);
    if (!ended) {
      (void)std::fprintf(stderr, "e2e_launch: %s still ran after %d s, waiting on a FIFO\n",
                         options.program[0], fifo_seconds);
      (void)kill(child, SIGKILL);
    }
  }
  if (!ended && wait_for(child, status, usage) != child) {
    fail_errno("wait4");
  }
  end_fifo_writers(writers, options);
  if (options.rss_file != nullptr) {
    std::FILE* file = std::fopen(options.rss_file, "w");
    if (file == nullptr || std::fprintf(file, "%ld\n", usage.ru_maxrss) < 0 ||
        std::fclose(file) != 0) {
      fail_errno(options.rss_file);
    }
  }
  if (WIFSIGNALED(status)) {
    (void)std::fprintf(stderr, "e2e_launch: %s killed by signal %d\n", options.program[0],
                       WTERMSIG(status));
    return 128 + WTERMSIG(status);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : launcher_failed;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--setup") == 0) {
    return setup(argc, argv);
  }
  return run(parse_run(argc, argv));
}
