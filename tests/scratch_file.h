#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

// A read-write file of the running test's own, in the working directory,
// removed when done. std::tmpfile() is no substitute: Windows puts it in the
// drive root, which users often cannot write, and under Wine two test
// processes can be handed the same one.
class scratch_file {
public:
  explicit scratch_file(const char* role, const std::string& content = {}) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    name_ = std::string(info->test_suite_name()) + "." + info->name() + "." + role + ".tmp";
    std::replace(name_.begin(), name_.end(), '/', '_');
    file_ = std::fopen(name_.c_str(), "w+b");
    // A test must fail for its own reason, not crash on a file it never had.
    if (file_ == nullptr) {
      throw std::runtime_error("cannot create " + name_ + ": " + std::strerror(errno));
    }
    if (!content.empty() &&
        (std::fwrite(content.data(), 1, content.size(), file_) != content.size() ||
         std::fflush(file_) != 0)) {
      const std::string reason = std::strerror(errno);
      std::fclose(file_);
      std::remove(name_.c_str());
      throw std::runtime_error("cannot write " + name_ + ": " + reason);
    }
    std::rewind(file_);
  }
  scratch_file(const scratch_file&) = delete;
  scratch_file& operator=(const scratch_file&) = delete;
  ~scratch_file() {
    if (file_ != nullptr) {
      std::fclose(file_);
    }
    std::remove(name_.c_str());
  }
  std::FILE* get() const { return file_; }

private:
  std::string name_;
  std::FILE* file_ = nullptr;
};
