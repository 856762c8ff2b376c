#include "find_word.h"
#include "scratch_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

const std::string hdr(volume_header);

// The tables as a plain line-by-line reading of the result file gives them:
// the slow, obvious version that the streaming scan must agree with.
std::string reference_tables(const std::string& input) {
  const auto is_space = [](char c) {
    return std::string_view(" \t\n\v\f\r").find(c) != std::string_view::npos;
  };
  std::size_t i = input.find('\n');
  if (i == std::string::npos) {
    return {};
  }
  ++i;
  long long line_no = 0;
  long long header_at = -1;
  std::string out;
  for (;;) {
    while (i < input.size() && is_space(input[i])) {
      ++i;
    }
    if (i >= input.size()) {
      return out;
    }
    const std::size_t newline = std::min(input.find('\n', i), input.size());
    std::string line = input.substr(i, newline - i);
    i = newline + 1;
    ++line_no;
    if (line.find(hdr) != std::string::npos) {
      header_at = line_no;
    }
    if (header_at >= 0 && line_no - header_at <= 6) {
      if (line_no == header_at) {
        line.insert(line.find('#'), "   ");
      }
      out += line + "\n";
    }
  }
}

std::string read_all(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char piece[4096];
  std::size_t got = 0;
  while ((got = std::fread(piece, 1, sizeof piece, file)) > 0) {
    text.append(piece, got);
  }
  return text;
}

// How the reader takes in the file: by reads, or mapped a window of the
// block size at a time where the system maps files.
enum class path { read, mapped };
constexpr path both_paths[] = {path::read, path::mapped};

std::string scan_file(std::FILE* in, std::size_t block_size, std::size_t retain_limit,
                      path how = path::read) {
  const scratch_file out_file("out");
  std::FILE* out = out_file.get();
  block_reader reader(in, block_size, std::max(retain_limit, hdr.size()),
                      how == path::mapped ? block_size : 0);
  EXPECT_TRUE(reader.start());
  table_writer writer(out);
  copy_tables(reader, writer, volume_header);
  EXPECT_TRUE(writer.ok());
  EXPECT_EQ(reader.finish(), 0);
  std::fflush(out);
  return read_all(out);
}

std::string scan(const std::string& input, std::size_t block_size = 128 * 1024,
                 std::size_t retain_limit = 64 * 1024, path how = path::read) {
  const scratch_file in("in", input);
  return scan_file(in.get(), block_size, retain_limit, how);
}

#ifndef _WIN32
// What a pipe takes before a reader must drain it (64 KiB on Linux).
constexpr std::size_t pipe_room = 60000;

// A pipe that holds `input`, all of it written and the writing end closed:
// the input must fit in `pipe_room`, as nothing reads while it is written.
std::FILE* piped(const std::string& input) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  EXPECT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(fds[1]);
  return fdopen(fds[0], "rb");
}
#endif

struct golden_case {
  const char* name;
  std::string input;
  std::string tables;
};

const std::vector<golden_case> golden_cases = {
    {"header on the first line is skipped", hdr + "\n1 10 1.0\n", ""},
    {"a blank first line is the one skipped", "\n" + hdr + "\n1\n", "   " + hdr + "\n1\n"},
    {"indented header, blank line neither written nor counted",
     "title\n    " + hdr + "\n 1 10 1.0\n\n 2 20 2.0\na\nb\nc\nd\ne\n",
     "   " + hdr + "\n1 10 1.0\n2 20 2.0\na\nb\nc\nd\n"},
    {"spaces go before the first #, after what precedes it", "t\nxx " + hdr + "\n",
     "xx    " + hdr + "\n"},
    {"an earlier # takes the spaces", "t\n#c " + hdr + "\n", "   #c " + hdr + "\n"},
    {"a header inside a table restarts it",
     "t\n" + hdr + "\nr1\nr2\n" + hdr + "\ns1\ns2\ns3\ns4\ns5\ns6\ns7\n",
     "   " + hdr + "\nr1\nr2\n   " + hdr + "\ns1\ns2\ns3\ns4\ns5\ns6\n"},
    {"a header as the last line, without newline", "t\n" + hdr, "   " + hdr + "\n"},
    {"fewer than six rows after the last header", "t\n" + hdr + "\na\nb", "   " + hdr + "\na\nb\n"},
    {"an empty file", "", ""},
    {"one line", "just one line\n", ""},
    {"no newline at all", "x " + hdr + " y", ""},
    {"CR LF line ends are kept", "t\r\n" + hdr + "\r\n\r\n 1 2\r\n", "   " + hdr + "\r\n1 2\r\n"},
    {"all classic whitespace leads, trailing whitespace stays",
     "t\n\v\f\t\r " + hdr + " \t\v\n \v\f\n\t1\f\n", "   " + hdr + " \t\v\n1\f\n"},
    {"whitespace-only lines are not rows", "t\n" + hdr + "\n \n\t\n\r\n1\n2\n3\n4\n5\n6\n7\n",
     "   " + hdr + "\n1\n2\n3\n4\n5\n6\n"},
    {"a near-miss header is not a header", "t\n#  num    reg    volume\n1\n", ""},
    {"two tables far apart", "t\n" + hdr + "\n1\n2\n3\n4\n5\n6\n7\n8\n" + hdr + "\n9\n",
     "   " + hdr + "\n1\n2\n3\n4\n5\n6\n   " + hdr + "\n9\n"},
    // Rows led by every classic whitespace byte and by the bytes just
    // outside that set, high bytes among them.
    {"rows led by all classic whitespace and the bytes beside it",
     "t\n" + hdr +
         "\n \t\v\f\r\t\v\f\r    \x08"
         "a\n   \x0e"
         "b\n\t\x1f"
         "c\n\r\x21"
         "d\n"
         "\x89"
         "e\n \xa0"
         "f\n  g\n",
     "   " + hdr +
         "\n\x08"
         "a\n\x0e"
         "b\n\x1f"
         "c\n!d\n\x89"
         "e\n\xa0"
         "f\n"},
    {"plain and indented rows, a blank line between", "t\n" + hdr + "\na\nb\n  c\nd\n\ne\nf\ng\n",
     "   " + hdr + "\na\nb\nc\nd\ne\nf\n"},
    {"rows longer than 64 bytes",
     "t\n  " + hdr + "\n" + std::string(100, 'r') + "\n  " + std::string(70, 's') + "\n",
     "   " + hdr + "\n" + std::string(100, 'r') + "\n" + std::string(70, 's') + "\n"},
    // A "#" every byte or two: the search must neither slow to a crawl
    // nor lose the header among them.
    {"hundreds of # before the header on its line", "t\n" + std::string(700, '#') + hdr + "\nrow\n",
     "   " + std::string(700, '#') + hdr + "\nrow\n"},
    {"# in the rows and around the table",
     "t\n# # # # # # # # # # # # # # # # # # # # # #\n" + hdr + "\n# 1\n #2\n" + hdr +
         "#\n##\n# # # # # # # # # # # # # # # # # # # # # # # #\n",
     "   " + hdr + "\n# 1\n#2\n   " + hdr +
         "#\n##\n# # # # # # # # # # # # # # # # # # # # # # # #\n"},
    {"first and last bytes of the header in place, one between them off",
     "t\n#  num    rEg     volume" + std::string(64, ' ') + "\n1\n" + hdr + std::string(64, 'z') +
         "\n",
     "   " + hdr + std::string(64, 'z') + "\n"},
    // Rows longer than the writer's buffer: one that fills it once, one
    // that fills it twice.
    {"a row of 70000 bytes", "t\n" + hdr + "\n" + std::string(70000, 'r') + "\n",
     "   " + hdr + "\n" + std::string(70000, 'r') + "\n"},
    {"a row of 140000 bytes between short ones",
     "t\n" + hdr + "\n1\n" + std::string(140000, 'r') + "\n2\n",
     "   " + hdr + "\n1\n" + std::string(140000, 'r') + "\n2\n"},
    {"a header restarting the table in its last row, tables back to back",
     "t\n" + hdr + "\n1\n2\n3\n4\n5\n" + hdr + "\n1\n2\n3\n4\n5\n6\n" + hdr + "\n1\n",
     "   " + hdr + "\n1\n2\n3\n4\n5\n   " + hdr + "\n1\n2\n3\n4\n5\n6\n   " + hdr + "\n1\n"},
};

void PrintTo(const golden_case& c, std::ostream* os) {
  *os << c.name;
}

class GoldenTables : public testing::TestWithParam<golden_case> {};

TEST_P(GoldenTables, MatchAtEveryBlockSize) {
  const golden_case& c = GetParam();
  EXPECT_EQ(reference_tables(c.input), c.tables) << "the reference disagrees";
  for (const std::size_t block : {1U, 2U, 3U, 7U, 23U, 24U, 25U, 64U, 100U, 128U * 1024U}) {
    for (const std::size_t retain : {std::size_t{0}, std::size_t{40}}) {
      for (const path how : both_paths) {
        EXPECT_EQ(scan(c.input, block, retain, how), c.tables)
            << "block " << block << ", retain " << retain
            << (how == path::mapped ? ", mapped" : "");
      }
    }
#ifndef _WIN32
    if (c.input.size() <= pipe_room) {
      std::FILE* in = piped(c.input);
      EXPECT_EQ(scan_file(in, block, 0), c.tables) << "block " << block << ", through a pipe";
      std::fclose(in);
    }
#endif
  }
}

INSTANTIATE_TEST_SUITE_P(VolumeTables, GoldenTables, testing::ValuesIn(golden_cases),
                         [](const testing::TestParamInfo<golden_case>& param_info) {
                           std::string name = param_info.param.name;
                           std::replace_if(
                               name.begin(), name.end(),
                               [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); },
                               '_');
                           return name;
                         });

// Inputs assembled from the pieces that matter to the scan, so that headers,
// blanks, long lines and line ends fall on every side of every block edge.
std::string random_input(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {hdr,
                                                  hdr,
                                                  "#",
                                                  "# ",
                                                  " ",
                                                  "\t",
                                                  "\r",
                                                  "\n",
                                                  "\n",
                                                  "\n",
                                                  "\v",
                                                  "\f",
                                                  "1 10 1.0",
                                                  "x",
                                                  "\r\n",
                                                  std::string(300, 'a'),
                                                  std::string(70, ' '),
                                                  "#  num    reg     volum",
                                                  "e",
                                                  "\x0e",
                                                  "\x89",
                                                  std::string(40, '#')};
  std::uniform_int_distribution<std::size_t> count(0, 60);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::string input;
  for (std::size_t n = count(rng); n > 0; --n) {
    input += pieces[pick(rng)];
  }
  return input;
}

TEST(StreamingScan, AgreesWithLineByLineReading) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 400; ++round) {
    const std::string input = random_input(rng);
    const std::string expected = reference_tables(input);
    for (const std::size_t block : {1U, 5U, 24U, 31U, 100U, 4096U}) {
      for (const std::size_t retain :
           {std::size_t{0}, std::size_t{57}, std::numeric_limits<std::size_t>::max()}) {
        for (const path how : both_paths) {
          // A window a byte long maps once a byte: the golden cases have it.
          if (how == path::mapped && block == 1) {
            continue;
          }
          ASSERT_EQ(scan(input, block, retain, how), expected)
              << "round " << round << ", block " << block << ", retain " << retain
              << (how == path::mapped ? ", mapped" : "");
        }
      }
    }
  }
}

TEST(StreamingScan, HeaderLineLongerThanWhatIsKeptIsCopiedWhole) {
  // The line is read again from the file: it is longer than any block and
  // than what the reader keeps.
  const std::string prefix(10000, 'p');
  const std::string input =
      "t\n  " + prefix + hdr + std::string(5000, 's') + "\n" + std::string(9000, 'r') + "\n";
  for (const path how : both_paths) {
    EXPECT_EQ(scan(input, 512, 100, how), reference_tables(input));
    EXPECT_EQ(scan(input, 512, 100, how).size(),
              3 + prefix.size() + hdr.size() + 5000 + 1 + 9000 + 1);
  }
}

#ifndef _WIN32
TEST(StreamingScan, InputThatCannotSeekKeepsLongLinesInMemory) {
  // Lines long enough for the kept bytes to outgrow the reader's room a few
  // times over, a header at either end of them.
  const std::string input =
      "t\n" + std::string(30000, 'p') + hdr + "\nrow\n" + hdr + std::string(20000, 'q') + "\n";
  std::FILE* in = piped(input);
  EXPECT_EQ(scan_file(in, 64, 0), reference_tables(input));
  std::fclose(in);
}
#endif

}  // namespace
