#include "mainwindow.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>
#include <QTimer>

#include "script_handoff.h"
#include "script_loading.h"
#include "ui_mainwindow.h"

#include <algorithm>
#include <limits>

namespace {

// How long one step of a big file's load may keep the event loop: the window
// answers in that time, and the repaint after each step stays a small part of
// the whole.
constexpr qint64 step_ms = 50;

// How much is read, decoded and checked in one go: small, like the pieces of
// text inserted (script_loading.cpp).
constexpr qint64 read_bytes = qint64{1} << 15;

// The share of a big file's load that reading, decoding and checking take; the
// box's insertion of the text takes the rest, many times as long.
constexpr double reading_share = 0.05;

// Loads the text of the file that "script.inp" names into the box, at once or
// a step at a time from the event loop. A child of the box, so that its steps
// end with the window.
class box_load : public QObject {
public:
  explicit box_load(QPlainTextEdit* box)
      : QObject(box), box_(box), loader_(script_path_spellings()), cursor_(box->textCursor()) {}

  // Loads a small file whole; false, with some of it read, for a bigger one.
  bool load_at_once() {
    bool read = false;
    while (!read && !loader_.bigger_than(script_load_at_once_bytes))
      read = loader_.load_piece(read_bytes);
    return read && loader_.text().line_breaks < script_load_at_once_lines &&
           insert_pieces(std::numeric_limits<qint64>::max());
  }

  // Loads the rest from the event loop, the box read-only meanwhile, and the
  // status bar showing how far the load has come.
  void load_in_steps(QStatusBar* status_bar) {
    box_->setReadOnly(true);
    progress_ = new QProgressBar;
    status_bar->addWidget(progress_);
    // A step each time the event loop has handled what waits, such as a
    // paint or a close request.
    connect(&steps_, &QTimer::timeout, this, &box_load::step);
    steps_.start(0);
  }

private:
  void step() {
    QElapsedTimer clock;
    clock.start();
    bool read = false;
    do {
      read = loader_.load_piece(read_bytes);
    } while (!read && clock.elapsed() < step_ms);
    if (read && insert_pieces(step_ms - clock.elapsed())) {
      // The status bar shows nothing again, and the box takes edits as usual.
      delete progress_;
      box_->setReadOnly(false);
      steps_.stop();
      deleteLater();  // from within its own step
      return;
    }
    const double inserted =
        static_cast<double>(pieces_) / std::max(1, loader_.text().piece_ends.size());
    progress_->setValue(static_cast<int>(
        100 * (reading_share * loader_.progress() + (1 - reading_share) * inserted)));
  }

  // Inserts pieces of the text for about `ms` milliseconds; true once all of
  // it is in. The pieces make one edit block together, so that one Undo takes
  // the whole load back, whether it took one step or many.
  bool insert_pieces(qint64 ms) {
    const script_text& script = loader_.text();
    // Breaking anywhere lays a long line out in linear time (long_line_units).
    if (!script.long_lines.isEmpty()) box_->setWordWrapMode(QTextOption::WrapAnywhere);
    QElapsedTimer clock;
    clock.start();
    cursor_.joinPreviousEditBlock();
    for (; pieces_ < script.piece_ends.size() && clock.elapsed() < ms; ++pieces_) {
      const int start = pieces_ == 0 ? 0 : script.piece_ends[pieces_ - 1];
      cursor_.insertText(script.text.mid(start, script.piece_ends[pieces_] - start));
    }
    cursor_.endEditBlock();
    const bool whole = pieces_ == script.piece_ends.size();
    // Without its layout kept, a line of megabytes is broken anew at every
    // paint and cursor blink, each time as slowly as at first; the last block
    // may still grow, unless the text is all in.
    while (kept_layouts_ < script.long_lines.size() &&
           script.long_lines[kept_layouts_] < box_->blockCount() - !whole) {
      const QTextBlock line =
          box_->document()->findBlockByNumber(script.long_lines[kept_layouts_++]);
      line.layout()->setCacheEnabled(true);
    }
    return whole;
  }

  QPlainTextEdit* box_;
  script_loader loader_;
  // The box's own cursor, at the start of the empty box, moves on past each
  // piece and ends after the text, where one insertion would leave it.
  QTextCursor cursor_;
  int pieces_ = 0;        // of the text's piece_ends, those inserted
  int kept_layouts_ = 0;  // of its long_lines, those whose layout is kept
  QProgressBar* progress_ = nullptr;
  QTimer steps_;
};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
  // The form places the text box at 10, 10, 481 x 671 and gives it no
  // layout, on purpose: it stays there, that size, however the window is
  // resized, as callers know it (the test text_box_stays_put holds it so).
  ui->setupUi(this);
  // A small file loads now, before the window is shown; a bigger one after, so
  // that the window appears at once and answers while the text fills in.
  auto* load = new box_load(ui->plainTextEdit);
  if (load->load_at_once())
    delete load;
  else
    load->load_in_steps(ui->statusbar);
}

MainWindow::~MainWindow() {
  delete ui;
}
