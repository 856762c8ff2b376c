// How much the window adds to the cost of the text box itself: constructs
// MainWindow over a 10 MB script, and a bare QPlainTextEdit given the same text
// by insertPlainText, then prints window / bare. The same pair over one 10 MB
// line shows what very long lines cost the text box.
//
// Then how long the window takes, over files with one very long line, to be on
// screen and answer a close request (constructed, shown, first painted,
// closed), printed as the time it takes over and above the same window over
// 1 MB of ordinary 80-column text.
//
// Last, the window over big files (100 MB and 300 MiB of 80-column text): the
// time from construction to its first paint, and to its text being whole and
// editable, as the counters window_s and loaded_s. bench/run.sh runs these one
// to a process, for the peak memory, and beside the same rows built against an
// older viewer, for the ratio of their load times.
//
//   script_view_bench [--benchmark_... options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mainwindow.h"
#include "script_loading.h"
// An older viewer, which the bench is also built over, found its names in
// script_loading.h.
#if __has_include("script_handoff.h")
#include "script_handoff.h"
#endif

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr int script_bytes = 10 * 1000 * 1000;
constexpr int line_length = 80;  // with its LF

constexpr int long_line_bytes = 1000 * 1000;

// Appends the lines of our own synthetic script from `line` on to `bytes` until
// it holds `size` bytes: numbered lines of words, every line the same length.
// Returns the number of the next line.
qint64 add_script_lines(QByteArray& bytes, int size, qint64 line = 0) {
  bytes.reserve(size);
  for (; bytes.size() < size; ++line) {
    QByteArray text = "c card " + QByteArray::number(line) + " mat=1 rho=-7.874 ";
    while (text.size() < line_length - 1) text += "x";
    text.truncate(line_length - 1);
    bytes += text + '\n';
  }
  return line;
}

QByteArray script_in_lines(int size = script_bytes) {
  QByteArray bytes;
  add_script_lines(bytes, size);
  bytes.truncate(size);
  return bytes;
}

QByteArray script_on_one_line(int size = script_bytes) {
  QByteArray bytes = script_in_lines(size);
  bytes.replace('\n', ' ');
  return bytes;
}

// A line with no break opportunity but its end, like a dump in hexadecimal:
// letters and digits only (a '/' or '+' would let the line break after it),
// then the given ending.
QByteArray line_without_spaces(int size, const char* ending) {
  const QByteArray cycle("0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
  QByteArray bytes = cycle.repeated(size / cycle.size() + 1);
  bytes.truncate(size - static_cast<int>(qstrlen(ending)));
  return bytes + ending;
}

bool write_file(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The same script as script_in_lines, `size` bytes of it, written about a MiB
// at a time so that the file never lies in this process's memory.
bool write_script_in_lines(const QString& name, qint64 size) {
  QFile file(name);
  if (!file.open(QIODevice::WriteOnly)) return false;
  qint64 line = 0;
  for (qint64 left = size; left > 0;) {
    QByteArray block;
    line = add_script_lines(block, 1 << 20, line);
    if (block.size() > left) block.truncate(static_cast<int>(left));
    if (file.write(block) != block.size()) return false;
    left -= block.size();
  }
  return true;
}

// Runs the event loop, as the program does, until `done` holds, looking every
// millisecond; false if it still does not after `patience_ms`. QTest::qWaitFor
// would sleep 10 ms whenever the loop has only posted events to handle, so
// after each piece of a big file's load.
template <typename Done>
bool run_until(Done done, int patience_ms) {
  if (done()) return true;
  QElapsedTimer clock;
  clock.start();
  bool held = false;
  QEventLoop loop;
  QTimer look;
  look.callOnTimeout([&] {
    held = done();
    if (held || clock.elapsed() > patience_ms) loop.quit();
  });
  look.start(1);
  loop.exec();
  return held;
}

// Only the construction and the load (or the insertion) are timed; taking the
// widgets down again happens with the clock stopped. A file too big to load
// during construction fills the box from the event loop, read-only until whole.
void construct_window(benchmark::State& state, const char* target) {
  if (!write_file(QStringLiteral("script.inp"), target)) {
    state.SkipWithError("cannot write script.inp");
    return;
  }
  std::optional<MainWindow> window;
  for (auto _ : state) {
    window.emplace();
    const auto* edit = window->findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
    if (!run_until([edit] { return !edit->isReadOnly(); }, 60 * 1000)) {
      state.SkipWithError("the text box stayed read-only");
      return;
    }
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
}

void construct_bare(benchmark::State& state, const char* target) {
  const QString text = load_script_text({QString::fromLatin1(target)}).text;
  std::optional<QPlainTextEdit> edit;
  for (auto _ : state) {
    edit.emplace();
    edit->setGeometry(10, 10, 481, 671);
    edit->insertPlainText(text);
    state.PauseTiming();
    edit.reset();
    state.ResumeTiming();
  }
}

// Notes the first paint of the text box, which is when its text is on screen.
class paint_watch : public QObject {
public:
  bool painted = false;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) painted = true;
    return QObject::eventFilter(watched, event);
  }
};

// Constructed, shown, painted and then closed by a close request that waits
// its turn in the event queue, as a window manager's would: a window that
// stalls after its first paint answers it late. Taking it down is not timed.
void show_window(benchmark::State& state, const char* target) {
  if (!write_file(QStringLiteral("script.inp"), target)) {
    state.SkipWithError("cannot write script.inp");
    return;
  }
  constexpr int patience_ms = 20 * 60 * 1000;
  std::optional<MainWindow> window;
  for (auto _ : state) {
    window.emplace();
    paint_watch watch;
    auto* edit = window->findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
    if (edit == nullptr) {
      state.SkipWithError("no text box");
      return;
    }
    edit->viewport()->installEventFilter(&watch);
    window->show();
    const bool painted = QTest::qWaitFor([&watch] { return watch.painted; }, patience_ms);
    QTimer::singleShot(0, &*window, &QWidget::close);
    const bool closed = QTest::qWaitFor([&window] { return !window->isVisible(); }, patience_ms);
    state.PauseTiming();
    edit->viewport()->removeEventFilter(&watch);
    window.reset();
    if (!painted || !closed) {
      state.SkipWithError("the window was not painted or did not close");
      return;
    }
    state.ResumeTiming();
  }
}

// The window over a big file, constructed and shown: the seconds to the text
// box's first paint and to its text being whole and the box editable again
// (the counters window_s and loaded_s). An iteration's time is the latter: the
// whole load, which a window that loaded before showing spent before its first
// paint. The file is written before and removed after, untimed.
void open_big(benchmark::State& state, qint64 size) {
  const QString name = QStringLiteral("big.txt");
  if (!write_script_in_lines(name, size) || !write_file(QStringLiteral("script.inp"), "big.txt")) {
    state.SkipWithError("cannot write the big file");
    return;
  }
  constexpr int patience_ms = 20 * 60 * 1000;
  std::optional<MainWindow> window;
  double window_s = 0;
  double loaded_s = 0;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    window.emplace();
    auto* edit = window->findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"));
    paint_watch watch;
    edit->viewport()->installEventFilter(&watch);
    window->show();
    const auto seconds = [&clock] { return static_cast<double>(clock.nsecsElapsed()) / 1e9; };
    double shown = -1;
    const bool loaded = run_until(
        [&] {
          if (shown < 0 && watch.painted) shown = seconds();
          return shown >= 0 && !edit->isReadOnly();
        },
        patience_ms);
    const double whole = seconds();
    // One unit a byte, each LF one paragraph break, and the last paragraph's.
    const bool complete = edit->document()->characterCount() == size + 1;
    edit->viewport()->removeEventFilter(&watch);
    window.reset();
    if (!loaded || !complete) {
      state.SkipWithError("the window was not painted, or its text did not become whole");
      break;
    }
    state.SetIterationTime(whole);
    window_s += shown;
    loaded_s += whole;
  }
  state.counters["window_s"] = benchmark::Counter(window_s, benchmark::Counter::kAvgIterations);
  state.counters["loaded_s"] = benchmark::Counter(loaded_s, benchmark::Counter::kAvgIterations);
  QFile::remove(name);
}

bool to_terminal() {
#ifdef Q_OS_UNIX
  return isatty(fileno(stdout)) != 0;
#else
  return false;
#endif
}

// What the window does besides the text box: find, read, decode and check.
void load_only(benchmark::State& state, const char* target) {
  if (!write_file(QStringLiteral("script.inp"), target)) {
    state.SkipWithError("cannot write script.inp");
    return;
  }
  for (auto _ : state) benchmark::DoNotOptimize(load_script_text(script_path_spellings()));
}

// Keeps each benchmark's median real time, to print the ratios after the run.
class ratio_reporter : public benchmark::ConsoleReporter {
public:
  // A reporter of our own does not see --benchmark_color; colour only a terminal.
  ratio_reporter() : ConsoleReporter(to_terminal() ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& reports) override {
    for (const Run& run : reports)
      if (run.aggregate_name == "median" ||
          (run.run_type == Run::RT_Iteration && run.repetitions <= 1))
        medians_[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(reports);
  }

  [[nodiscard]] std::optional<double> median(const std::string& name) const {
    const auto found = medians_.find(name);
    if (found == medians_.end()) return std::nullopt;
    return found->second;
  }

private:
  std::map<std::string, double> medians_;
};

void print_ratio(const ratio_reporter& reporter, const char* what, const std::string& window,
                 const std::string& bare) {
  const std::optional<double> w = reporter.median(window);
  const std::optional<double> b = reporter.median(bare);
  if (w && b && *b > 0) std::printf("%s: window / bare = %.3f\n", what, *w / *b);
}

void print_excess(const ratio_reporter& reporter, const std::string& name, const char* goal) {
  const std::string reference = "show/1 MB in 80-char lines";
  const std::optional<double> t = reporter.median(name);
  const std::optional<double> r = reporter.median(reference);
  if (t && r)
    std::printf("%s: %.2f s over the window with 1 MB in lines (goal: within %s)\n", name.c_str(),
                (*t - *r) / 1000.0, goal);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Repetitions of the window and the bare box take turns in random order, so
  // that a slow phase of the machine does not fall on one side only.
  std::vector<char*> args(argv, argv + argc);
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave.data());
  int arg_count = static_cast<int>(args.size());
  benchmark::Initialize(&arg_count, args.data());
  argc = arg_count;
  argv = args.data();
  QApplication app(argc, argv);

  QTemporaryDir dir;
  if (!dir.isValid() || !QDir::setCurrent(dir.path()) ||
      !write_file(QStringLiteral("lines.txt"), script_in_lines()) ||
      !write_file(QStringLiteral("one_line.txt"), script_on_one_line()) ||
      !write_file(QStringLiteral("lines_1mb.txt"), script_in_lines(long_line_bytes)) ||
      !write_file(QStringLiteral("no_spaces_1mb_lf.txt"),
                  line_without_spaces(long_line_bytes, "\n")) ||
      !write_file(QStringLiteral("no_spaces_1mb.txt"), line_without_spaces(long_line_bytes, "")) ||
      !write_file(QStringLiteral("words_1mb.txt"), script_on_one_line(long_line_bytes)) ||
      !write_file(QStringLiteral("no_spaces_10mb.txt"),
                  line_without_spaces(10 * long_line_bytes, "\n"))) {
    std::fprintf(stderr, "script_view_bench: cannot make the inputs in a temporary folder\n");
    return 1;
  }

  const auto configure = [](benchmark::internal::Benchmark* bench, int repetitions) {
    return bench->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly();
  };
  configure(benchmark::RegisterBenchmark("window/80-char lines", construct_window, "lines.txt"), 9);
  configure(benchmark::RegisterBenchmark("bare/80-char lines", construct_bare, "lines.txt"), 9);
  configure(benchmark::RegisterBenchmark("load only/80-char lines", load_only, "lines.txt"), 9);
  configure(benchmark::RegisterBenchmark("window/one line", construct_window, "one_line.txt"), 3);
  configure(benchmark::RegisterBenchmark("bare/one line", construct_bare, "one_line.txt"), 3);
  // One iteration each: the slow cases take seconds (before the long-line
  // handling, minutes).
  const auto configure_show = [&configure](const char* name, const char* target) {
    configure(benchmark::RegisterBenchmark(name, show_window, target), 3)->Iterations(1);
  };
  configure_show("show/1 MB in 80-char lines", "lines_1mb.txt");
  configure_show("show/1 MB line without spaces, LF", "no_spaces_1mb_lf.txt");
  configure_show("show/1 MB line without spaces, no LF", "no_spaces_1mb.txt");
  configure_show("show/1 MB line of words", "words_1mb.txt");
  configure_show("show/10 MB line without spaces", "no_spaces_10mb.txt");
  // Seconds to minutes and gigabytes each: one iteration, repeated only when
  // asked (bench/run.sh runs each alone in a process, a few times over).
  for (const auto& [name, size] : {std::pair{"open/100 MB in 80-char lines", qint64{100'000'000}},
                                   std::pair{"open/300 MiB in 80-char lines", qint64{300} << 20}})
    benchmark::RegisterBenchmark(name, open_big, size)
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(1);

  ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  print_ratio(reporter, "10 MB in 80-char lines", "window/80-char lines", "bare/80-char lines");
  print_ratio(reporter, "10 MB on one line", "window/one line", "bare/one line");
  const std::optional<double> lines = reporter.median("window/80-char lines");
  const std::optional<double> one = reporter.median("window/one line");
  if (lines && one && *lines > 0)
    std::printf("window over one line / window over 80-char lines = %.1f\n", *one / *lines);
  print_excess(reporter, "show/1 MB line without spaces, LF", "3 s");
  print_excess(reporter, "show/1 MB line without spaces, no LF", "3 s");
  print_excess(reporter, "show/1 MB line of words", "3 s");
  print_excess(reporter, "show/10 MB line without spaces", "12 s");
  QDir::setCurrent(QDir::tempPath());
  return 0;
}
