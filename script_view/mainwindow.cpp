#include "mainwindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include "script_loading.h"
#include "ui_mainwindow.h"

#include <functional>
#include <optional>
#include <utility>

namespace {

// How long one piece of a big file's load may keep the event loop: the window
// answers in that time, and the repaint after each piece stays a small part of
// the whole.
constexpr qint64 piece_ms = 50;

// The work that reading and decoding a big file take, as a share of its
// load: the box's insertion of the text takes some twenty times as long.
constexpr double reading_share = 0.05;

// How much is read, decoded, or inserted in one go within a piece. Small, so
// that what is made for one go and dropped after it comes from the C library's
// heap: a dropped block of megabytes raises glibc's threshold for blocks of
// their own, and the box's growing structures left holes behind in the heap
// instead, some 20 MB more at 10 MB than one insertion took.
constexpr qint64 read_bytes = qint64{1} << 15;
constexpr int insert_units = 1 << 15;

// Breaking anywhere lays a long line out in linear time (see long_line_units);
// a file without such lines keeps the default.
void set_wrap_mode(QPlainTextEdit* box, const script_text& script) {
  if (!script.long_lines.isEmpty()) box->setWordWrapMode(QTextOption::WrapAnywhere);
}

// Without its layout kept, a line of megabytes is broken anew at every paint
// and cursor blink, a stall of a second at each. Keeps it for the long lines
// from `next` on whose blocks the box has whole, and returns the first it has not.
int keep_long_line_layouts(QPlainTextEdit* box, const script_text& script, int next,
                           int whole_blocks) {
  for (; next < script.long_lines.size() && script.long_lines[next] < whole_blocks; ++next)
    box->document()->findBlockByNumber(script.long_lines[next]).layout()->setCacheEnabled(true);
  return next;
}

// Runs `step` from the event loop once for each post(), after the events that
// are already waiting, such as a paint or a close request: a queued call. An
// event of its own rather than QMetaObject::invokeMethod, whose handing over
// of the call the static analysis takes for a leak.
class queued_step : public QObject {
public:
  queued_step(std::function<void()> step, QObject* parent)
      : QObject(parent), step_(std::move(step)) {}

  void post() { QCoreApplication::postEvent(this, new QEvent(QEvent::User)); }

protected:
  void customEvent(QEvent* /*event*/) override { step_(); }

private:
  std::function<void()> step_;
};

}  // namespace

// What a big file's load carries from one piece to the next.
struct MainWindow::loading_state {
  explicit loading_state(const QStringList& spellings) { loader.emplace(spellings); }

  // Holds the file's bytes until the box's text has begun (see read_bytes).
  std::optional<script_loader> loader;
  bool read = false;
  script_text script;
  QTextCursor cursor;  // where the text goes, at the end of what is in
  int inserted = 0;
  int kept_layouts = 0;  // the long lines whose layout is kept so far
  QProgressBar* progress = nullptr;
  // The window's child, so that a piece still waiting in the event loop goes
  // with the window.
  queued_step* next_piece = nullptr;
};

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
  ui->setupUi(this);
  QPlainTextEdit* box = ui->plainTextEdit;
  auto load = std::make_unique<loading_state>(script_path_spellings());
  // A small file loads now, before the window is shown.
  bool read = false;
  while (!read && load->loader->bytes_read() <= script_load_at_once_bytes)
    read = load->loader->load_piece(script_load_at_once_bytes + 1);
  if (read) {
    load->script = load->loader->take_text();
    load->read = true;
    if (load->script.line_breaks < script_load_at_once_lines) {
      set_wrap_mode(box, load->script);
      // Inserted at the cursor rather than set, so that the load is one
      // ordinary edit that Undo takes back.
      box->insertPlainText(load->script.text);
      keep_long_line_layouts(box, load->script, 0, box->blockCount());
      return;
    }
  }
  // A bigger one after the window is shown, a piece at a time from the event
  // loop, so that the window appears at once and answers while the text fills
  // in; the box is read-only until then, and the status bar shows how far the
  // load has come.
  loading = std::move(load);
  box->setReadOnly(true);
  loading->progress = new QProgressBar;
  ui->statusbar->addWidget(loading->progress);
  loading->next_piece = new queued_step([this] { load_next_piece(); }, this);
  loading->next_piece->post();
}

MainWindow::~MainWindow() {
  delete ui;
}

void MainWindow::load_next_piece() {
  if (loading->read) return insert_next_piece();
  QElapsedTimer clock;
  clock.start();
  bool read = false;
  do {
    read = loading->loader->load_piece(read_bytes);
  } while (!read && clock.elapsed() < piece_ms);
  if (read) {
    loading->script = loading->loader->take_text();
    loading->read = true;
  }
  loading->progress->setValue(static_cast<int>(100 * reading_share * loading->loader->progress()));
  loading->next_piece->post();
}

// The pieces make one edit block together, so that one Undo takes the whole
// load back, as it does for a small file; each is a whole number of lines.
void MainWindow::insert_next_piece() {
  loading_state& load = *loading;
  QPlainTextEdit* box = ui->plainTextEdit;
  const QString& text = load.script.text;
  if (load.inserted == 0) {
    if (text.isEmpty()) return finish_loading();
    set_wrap_mode(box, load.script);
    // The box's own cursor, at the start of the empty box, moves on past each
    // piece and ends after the text, where one insertion would leave it.
    load.cursor = box->textCursor();
    load.cursor.beginEditBlock();
  } else {
    load.cursor.joinPreviousEditBlock();
  }
  QElapsedTimer clock;
  clock.start();
  do {
    const int end = script_piece_end(text, load.inserted, insert_units);
    load.cursor.insertText(text.mid(load.inserted, end - load.inserted));
    load.inserted = end;
  } while (load.inserted < text.size() && clock.elapsed() < piece_ms);
  load.cursor.endEditBlock();
  // The file's bytes go now that the box's text has begun (see read_bytes).
  load.loader.reset();

  const bool whole = load.inserted == text.size();
  // The last block is still growing, unless the text is all in.
  load.kept_layouts = keep_long_line_layouts(box, load.script, load.kept_layouts,
                                             box->blockCount() - (whole ? 0 : 1));
  if (whole) return finish_loading();
  const double inserted = static_cast<double>(load.inserted) / text.size();
  load.progress->setValue(static_cast<int>(100 * (reading_share + (1 - reading_share) * inserted)));
  loading->next_piece->post();
}

// The status bar shows nothing again, and the box takes edits as usual.
void MainWindow::finish_loading() {
  delete loading->progress;
  // This runs within the step's own event.
  loading->next_piece->deleteLater();
  ui->plainTextEdit->setReadOnly(false);
  loading.reset();
}
