// How much the window adds to the cost of the text box itself: constructs
// MainWindow over a 10 MB script, and a bare QPlainTextEdit given the same text
// by insertPlainText, then prints window / bare. The same pair over one 10 MB
// line shows what very long lines cost the text box.
//
//   script_view_bench [--benchmark_... options]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mainwindow.h"
#include "script_loading.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr int script_bytes = 10 * 1000 * 1000;
constexpr int line_length = 80;  // with its LF

// Our own synthetic script: numbered lines of words, every line the same length.
QByteArray script_in_lines() {
  QByteArray bytes;
  bytes.reserve(script_bytes);
  for (int line = 0; bytes.size() < script_bytes; ++line) {
    QByteArray text = "c card " + QByteArray::number(line) + " mat=1 rho=-7.874 ";
    while (text.size() < line_length - 1) text += "x";
    text.truncate(line_length - 1);
    bytes += text + '\n';
  }
  bytes.truncate(script_bytes);
  return bytes;
}

QByteArray script_on_one_line() {
  QByteArray bytes = script_in_lines();
  bytes.replace('\n', ' ');
  return bytes;
}

bool write_file(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Only the construction (or the insertion) is timed; taking the widgets down
// again happens with the clock stopped.
void construct_window(benchmark::State& state, const char* target) {
  if (!write_file(QStringLiteral("script.inp"), target)) {
    state.SkipWithError("cannot write script.inp");
    return;
  }
  std::optional<MainWindow> window;
  for (auto _ : state) {
    window.emplace();
    state.PauseTiming();
    window.reset();
    state.ResumeTiming();
  }
}

void construct_bare(benchmark::State& state, const char* target) {
  const QString text = load_script_text(QString::fromLatin1(target));
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
  for (auto _ : state) benchmark::DoNotOptimize(load_script_text(script_target_path()));
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
      !write_file(QStringLiteral("one_line.txt"), script_on_one_line())) {
    std::fprintf(stderr, "script_view_bench: cannot make the inputs in a temporary folder\n");
    return 1;
  }

  const auto configure = [](benchmark::internal::Benchmark* bench, int repetitions) {
    bench->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly();
  };
  configure(benchmark::RegisterBenchmark("window/80-char lines", construct_window, "lines.txt"), 9);
  configure(benchmark::RegisterBenchmark("bare/80-char lines", construct_bare, "lines.txt"), 9);
  configure(benchmark::RegisterBenchmark("load only/80-char lines", load_only, "lines.txt"), 9);
  configure(benchmark::RegisterBenchmark("window/one line", construct_window, "one_line.txt"), 3);
  configure(benchmark::RegisterBenchmark("bare/one line", construct_bare, "one_line.txt"), 3);

  ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  print_ratio(reporter, "10 MB in 80-char lines", "window/80-char lines", "bare/80-char lines");
  print_ratio(reporter, "10 MB on one line", "window/one line", "bare/one line");
  const std::optional<double> lines = reporter.median("window/80-char lines");
  const std::optional<double> one = reporter.median("window/one line");
  if (lines && one && *lines > 0)
    std::printf("window over one line / window over 80-char lines = %.1f\n", *one / *lines);
  QDir::setCurrent(QDir::tempPath());
  return 0;
}
