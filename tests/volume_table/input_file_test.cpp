#include "input_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

std::wstring in_code_page(UINT code_page, const std::string& bytes) {
  std::wstring name(bytes.size(), L'\0');
  const int length = MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()),
                                         name.data(), static_cast<int>(name.size()));
  name.resize(static_cast<std::size_t>(length));
  return name;
}

struct long_form_case {
  std::wstring name;
  std::wstring long_form;  // empty: none
  bool opens;
};

// Wine does not enforce MAX_PATH, so what is checked is that the long form,
// which Windows takes literally, names the file the plain name names: a
// prefix put before the plain name would keep its ".", ".." and "//", and
// under Wine too name no file.
TEST(LongPathForm, IsTheFullPathPrefixed) {
  std::wstring work(MAX_PATH, L'\0');
  work.resize(GetCurrentDirectoryW(MAX_PATH, work.data()));
  const std::wstring d(120, L'd');
  const std::wstring e(120, L'e');
  // Made through the long form: Windows itself would refuse the plain one.
  const std::wstring file = work + L"\\" + d + L"\\" + e + L"\\x.dat";
  const auto make_folder = [](const std::wstring& folder) {
    return CreateDirectoryW((LR"(\\?\)" + folder).c_str(), nullptr) ||
           GetLastError() == ERROR_ALREADY_EXISTS;
  };
  ASSERT_TRUE(make_folder(work + L"\\" + d));
  ASSERT_TRUE(make_folder(work + L"\\" + d + L"\\" + e));
  std::FILE* made = _wfopen((LR"(\\?\)" + file).c_str(), L"wb");
  ASSERT_NE(made, nullptr);
  std::fclose(made);

  const std::wstring ansi_quotes = in_code_page(1252, std::string(300, '\x92'));
  std::string sjis_a;
  for (int i = 0; i < 300; ++i) {
    sjis_a += "\x82\xA0";  // "あ" in Shift-JIS
  }
  const std::vector<long_form_case> cases = {
      {file, LR"(\\?\)" + file, true},
      {work + L"/" + d + L"/./" + e + L"/../" + e + L"//x.dat", LR"(\\?\)" + file, true},
      {d + L"\\.\\" + e + L"\\x.dat", LR"(\\?\)" + file, true},  // relative, full path long
      {L"x.dat", L"", false},
      {LR"(\\?\)" + file, L"", false},
      // Counted in UTF-16 units of the name as decoded, 300 each.
      {L"C:\\" + ansi_quotes, LR"(\\?\C:\)" + ansi_quotes, false},
      {L"C:\\" + in_code_page(932, sjis_a), LR"(\\?\C:\)" + in_code_page(932, sjis_a), false},
      {L"\\\\srv\\share\\" + d + e + d, LR"(\\?\UNC\srv\share\)" + d + e + d, false},
  };
  for (const auto& [name, long_form, opens] : cases) {
    const std::wstring form = long_path_form(name);
    EXPECT_EQ(form, long_form) << name.size() << " units";
    if (opens) {
      std::FILE* opened = _wfopen(form.c_str(), L"rb");
      EXPECT_NE(opened, nullptr);
      if (opened != nullptr) {
        std::fclose(opened);
      }
    }
  }

  EXPECT_TRUE(DeleteFileW((LR"(\\?\)" + file).c_str()));
  EXPECT_TRUE(RemoveDirectoryW((LR"(\\?\)" + work + L"\\" + d + L"\\" + e).c_str()));
  EXPECT_TRUE(RemoveDirectoryW((LR"(\\?\)" + work + L"\\" + d).c_str()));
}

}  // namespace
#endif
