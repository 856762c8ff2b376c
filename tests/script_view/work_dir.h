#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

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

// The base of the viewer's test classes: each test function runs in a fresh,
// empty working directory of its own. Qt Test finds init() and cleanup() in
// the base, and runs only the derived class's own slots as tests.
class work_dir_test : public QObject {
  Q_OBJECT

private slots:
  void init() { dir_ = std::make_unique<work_dir>(); }
  void cleanup() { dir_.reset(); }

protected:
  std::unique_ptr<work_dir> dir_;
};

// Sets the locale's codec, as Windows has it set to its ANSI code page, for as
// long as it lives.
class locale_codec {
public:
  explicit locale_codec(const char* name) : saved_(QTextCodec::codecForLocale()) {
    QTextCodec::setCodecForLocale(QTextCodec::codecForName(name));
  }
  ~locale_codec() { QTextCodec::setCodecForLocale(saved_); }
  locale_codec(const locale_codec&) = delete;
  locale_codec& operator=(const locale_codec&) = delete;
  locale_codec(locale_codec&&) = delete;
  locale_codec& operator=(locale_codec&&) = delete;

private:
  QTextCodec* saved_;
};

// A name ending in '/' makes a directory; anything else a file holding `bytes`.
inline bool make_entry(const QString& name, const QByteArray& bytes) {
  if (name.endsWith(QLatin1Char('/'))) return QDir().mkpath(name);
  QFile file(name);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
