#include "path_forms.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One row per way of writing a path that both programs take: what it names
// on Linux and on Windows ("-" for nothing).
struct url_case {
  std::string text, on_posix, on_windows;
};

TEST(FileUrlPath, EveryFormOnBothSystems) {
  using namespace std::string_literals;
  const std::vector<url_case> cases = {
      {"file:///d/a.txt", "/d/a.txt", "/d/a.txt"},
      {"file://localhost/d/a.txt", "/d/a.txt", "/d/a.txt"},
      {"FILE://LocalHost/d/a.txt", "/d/a.txt", "/d/a.txt"},
      {"file:/d/a.txt", "/d/a.txt", "/d/a.txt"},
      {"file:a.txt", "a.txt", "a.txt"},
      {"file:///C:/w%20d/o.dat", "/C:/w d/o.dat", "C:/w d/o.dat"},
      {"file:///c:\\w\\o.dat", "/c:\\w\\o.dat", "c:\\w\\o.dat"},
      {"file://C:/w%20d/o.dat", "-", "C:/w d/o.dat"},
      {"file:C:/o.dat", "C:/o.dat", "C:/o.dat"},
      {"file://localhost/C:/o.dat", "/C:/o.dat", "C:/o.dat"},
      {"file://srv/share/o%20p.dat", "-", "//srv/share/o p.dat"},
      {"file:////srv/share/o.dat", "-", "//srv/share/o.dat"},
      {"file://localhost//srv/o.dat", "-", "//srv/o.dat"},
      {"file://localhostx/o.dat", "-", "//localhostx/o.dat"},
      // Escapes decode to bytes, UTF-8 or not; a bad one stays as written.
      {"file:///d/d%E3%83%87.dat", "/d/d\xE3\x83\x87.dat", "/d/d\xE3\x83\x87.dat"},
      {"file:///d/%e9%FF", "/d/\xE9\xFF", "/d/\xE9\xFF"},
      {"file:///a%zz%4", "/a%zz%4", "/a%zz%4"},
      // A NUL names no file, written raw or escaped.
      {"file:///d/a%00b.txt", "-", "-"},
      {"file:///d/a\0b.txt"s, "-", "-"},
      // Not a file URL, or one that names nothing.
      {"/d/a.txt", "-", "-"},
      {"files:///d/a.txt", "-", "-"},
      {"file:", "-", "-"},
      {"file://", "-", "-"},
      {"file://localhost", "-", "-"},
      {"http://host/a.txt", "-", "-"},
  };
  for (const auto& [text, on_posix, on_windows] : cases) {
    const auto named = [](const std::string& path) { return path.empty() ? "-" : path; };
    EXPECT_EQ(named(file_url_path(text, path_system::posix)), on_posix) << text;
    EXPECT_EQ(named(file_url_path(text, path_system::windows)), on_windows) << text;
  }
}

TEST(DrivePathAfterSlash, OnlyASlashBeforeADrive) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/C:/w/o.dat", "C:/w/o.dat"},
      {"/z:\\o.dat", "z:\\o.dat"},
      {"/C:", "C:"},
      {"/C:o.dat", ""},
      {"C:/o.dat", ""},
      {"//C:/o.dat", ""},
      {"/1:/o.dat", ""},
      {"/", ""},
      {"", ""},
  };
  for (const auto& [path, drive_path] : cases) {
    EXPECT_EQ(drive_path_after_slash(path), drive_path) << path;
  }
}

}  // namespace
