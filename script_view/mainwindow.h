#pragma once

#include <QMainWindow>

#include <memory>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
QT_END_NAMESPACE

class MainWindow : public QMainWindow {
  Q_OBJECT

public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

private:
  struct loading_state;

  void load_next_piece();
  void insert_next_piece();
  void finish_loading();

  Ui::MainWindow* ui;
  // A big file's load while it lasts, from the event loop; null otherwise.
  std::unique_ptr<loading_state> loading;
};
