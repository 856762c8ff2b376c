#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A fresh, empty working directory for one test case; the previous one is
// restored when it goes.
class work_dir {
public:
  work_dir() : saved_(QDir::currentPath()), dir_(std::make_unique<QTemporaryDir>()) {
    QVERIFY2(dir_->isValid(), qPrintable(dir_->errorString()));
    QVERIFY(QDir::setCurrent(dir_->path()));
  }
  ~work_dir() { QDir::setCurrent(saved_); }
  work_dir(const work_dir&) = delete;
  work_dir& operator=(const work_dir&) = delete;
  work_dir(work_dir&&) = delete;
  work_dir& operator=(work_dir&&) = delete;

  [[nodiscard]] QString path() const { return dir_->path(); }

private:
  QString saved_;
  std::unique_ptr<QTemporaryDir> dir_;
};

// A name ending in '/' makes a directory; anything else a file holding `bytes`.
inline bool make_entry(const QString& name, const QByteArray& bytes) {
  if (name.endsWith(QLatin1Char('/'))) return QDir().mkpath(name);
  QFile file(name);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
