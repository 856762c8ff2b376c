#include "mainwindow.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextOption>

#include "script_loading.h"
#include "ui_mainwindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
  ui->setupUi(this);
  const script_text script = load_script_text(script_path_spellings());
  QPlainTextEdit* box = ui->plainTextEdit;
  // Breaking anywhere lays a long line out in linear time (see
  // long_line_units); a file without such lines keeps the default.
  if (!script.long_lines.isEmpty()) box->setWordWrapMode(QTextOption::WrapAnywhere);
  // Inserted at the cursor rather than set, so that the load is one ordinary
  // edit that Undo takes back.
  box->insertPlainText(script.text);
  // Without its layout kept, a line of megabytes is broken anew at every paint
  // and cursor blink, a stall of a second at each.
  for (const int line : script.long_lines)
    box->document()->findBlockByNumber(line).layout()->setCacheEnabled(true);
}

MainWindow::~MainWindow() {
  delete ui;
}
