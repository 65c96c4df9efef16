// The alias folder as the tool reads it and qzsim writes it, and the option parser both
// programs share.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "cli/options.h"
#include "link/com_ports.h"
#include "support/runtime_dir.h"

namespace qz {
namespace {

namespace fs = std::filesystem;

TEST(ComAlias, KindsOfAliasAndOneRuleForTheFolder) {
  test::RuntimeDir dir;
  fs::create_directories(dir.ports());
  const fs::path held = dir.ports() / "COM1";
  dir.alias(1, "/dev/null");
  const int lock = ::open(comAliasLockPath(held).c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX), 0);
  dir.alias(2, "/dev/null");
  std::ofstream(comAliasLockPath(dir.ports() / "COM2")).put('x');  // nobody holds it
  dir.alias(40, dir.root() / "gone");                              // by hand, device missing
  EXPECT_EQ(aliasKind(held), AliasKind::Live);
  EXPECT_EQ(aliasKind(dir.ports() / "COM2"), AliasKind::Abandoned);
  EXPECT_EQ(aliasKind(dir.ports() / "COM40"), AliasKind::Handmade);
  EXPECT_EQ(aliasKind(dir.ports() / "COM4"), AliasKind::None);
  ::close(lock);

  // Listing: a broken alias is shown when asked for, an abandoned one is no alias at all.
  const auto probe = [](int n) {
    return ComPortState{0, {}, false, n == 1 ? PortError::None : PortError::NoSuchPort, {}};
  };
  std::vector<int> listed;
  for (const ComPortState& p : listComPorts(probe, true)) listed.push_back(p.number);
  EXPECT_EQ(listed, (std::vector<int>{1, 40}));

  // What the reader distrusts the writer refuses: a folder others may write into.
  fs::permissions(dir.ports(), fs::perms::group_write, fs::perm_options::add);
  EXPECT_FALSE(trustedAliasFolder(dir.ports()));
  EXPECT_THROW(ensurePrivateFolder(dir.ports()), std::runtime_error);
  EXPECT_EQ(comDevicePath(40), "");
}

TEST(CliOptions, OrderBytesAndProblemsAsGiven) {
  const cli::Option table[] = {{{"h", "help"}, ""}, {{"drop"}, "R"}, {{"echo"}, "HOW", true}};
  const std::vector<std::string_view> args = {"--drop",  "a",        "-h", "--echo",
                                              "caf\xE9", "--drop=b", "--", "--drop"};
  const cli::Parsed p = cli::parse(table, args);
  ASSERT_EQ(p.problem, cli::Problem::None);
  std::vector<std::string> seen;
  for (const cli::Given& g : p.options) seen.push_back(g.name + "=" + g.value);
  EXPECT_EQ(seen, (std::vector<std::string>{"--drop=a", "-h=", "--echo=", "--drop=b"}));
  EXPECT_EQ(p.words, (std::vector<std::string>{"caf\xE9", "--drop"}));

  struct Bad {
    std::vector<std::string_view> args;
    cli::Problem problem;
    std::string option;
  };
  const Bad bad[] = {{{"--dorp", "x"}, cli::Problem::UnknownOption, "--dorp"},
                     {{"--drop"}, cli::Problem::MissingValue, "--drop"},
                     {{"--help=yes"}, cli::Problem::UnexpectedValue, "--help"}};
  for (const Bad& b : bad) {
    const cli::Parsed r = cli::parse(table, b.args);
    EXPECT_EQ(r.problem, b.problem) << b.option;
    EXPECT_EQ(r.option, b.option);
  }
  EXPECT_EQ(cli::didYouMean("--dorp", table), "; did you mean --drop?");
  EXPECT_EQ(cli::didYouMean("--colour", table), "");
  EXPECT_EQ(cli::number("0x10", 0, 99), std::nullopt);
  EXPECT_EQ(cli::number("FF", 0, 255, 16), 255);
}

}  // namespace
}  // namespace qz
