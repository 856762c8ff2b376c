#include "mainwindow.h"

#include "script_loading.h"
#include "ui_mainwindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow) {
  ui->setupUi(this);
  // Inserted at the cursor rather than set, so that the load is one ordinary
  // edit that Undo takes back.
  ui->plainTextEdit->insertPlainText(load_script_text(script_target_path()));
}

MainWindow::~MainWindow() {
  delete ui;
}
