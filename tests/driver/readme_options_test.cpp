// The options table of the README against the engine's own `uci` listing:
// the same options in the same order, with the same type, default and
// range, so that the two cannot drift apart.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/engine_process.h"

namespace {

struct OptionRow {
  std::string name, type, default_value, range;
};

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(' '), b = s.find_last_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

// The rows of the table under "## UCI options".
std::vector<OptionRow> ReadmeRows() {
  std::ifstream in(ZORV_SOURCE_DIR "/README.md");
  std::vector<OptionRow> rows;
  bool in_section = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) == 0) {
      in_section = line == "## UCI options";
      continue;
    }
    if (!in_section || line.rfind("| ", 0) != 0 || line.rfind("| Option ", 0) == 0) continue;
    std::vector<std::string> cells;
    std::stringstream row(line.substr(1));
    for (std::string cell; std::getline(row, cell, '|');) cells.push_back(Trim(cell));
    if (cells.size() >= 4) rows.push_back({cells[0], cells[1], cells[2], cells[3]});
  }
  return rows;
}

// The options of the listing, in the README's words: an empty string
// default is "empty", a range is "min..max".
std::vector<OptionRow> ListedRows() {
  std::vector<OptionRow> rows;
  const std::regex option(R"(option name (\S+) type (\S+)(?: default ?(.*?))?(?: min (-?\d+) max (-?\d+))?)");
  for (const auto& line : RunEngineScript({}, "uci\nquit\n")) {
    std::smatch m;
    if (!std::regex_match(line, m, option)) continue;
    OptionRow r{m[1], m[2], m[3], ""};
    if (r.type == "string" && r.default_value.empty()) r.default_value = "empty";
    if (m[4].matched) r.range = m[4].str() + ".." + m[5].str();
    rows.push_back(r);
  }
  return rows;
}

TEST(Readme, OptionsTableMatchesTheUciListing) {
  std::vector<OptionRow> readme = ReadmeRows(), listed = ListedRows();
  ASSERT_GT(listed.size(), 20u);
  ASSERT_EQ(readme.size(), listed.size()) << "the README lists another number of options than `uci`";
  for (size_t i = 0; i < listed.size(); i++) {
    const OptionRow &want = listed[i], &have = readme[i];
    EXPECT_EQ(have.name, want.name) << "row " << i;
    EXPECT_EQ(have.type, want.type) << want.name;
    EXPECT_EQ(have.default_value, want.default_value) << want.name;
    EXPECT_EQ(have.range, want.range) << want.name;
  }
}

}  // namespace
