#include "app/cli/also_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "app/cli/command_test_fixture.h"
#include "app/cli/listen_users_file.h"
#include "app/cli/session_command.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "serve/caster_request.h"

namespace quillon::cli {
namespace {

class AlsoFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text, mode_t mode = 0600) {
    const std::string path = (folder.Path() / name).string();
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    EXPECT_EQ(chmod(path.c_str(), mode), 0);
    return path;
  }
  PasswordFileRead Read(const std::string& path, ExtraCaster& caster, std::string& error) {
    return ReadAlsoFile(path, {clock, -1}, caster, error);
  }

  quillon::testing::HookedClock clock{1};
  quillon::testing::TempFolder folder;
};

TEST_F(AlsoFileTest, AFileThatCannotBeUsedIsRefusedNamingItsLine) {
  const std::string longLine = std::string("# ").append(kMaxAlsoLineBytes - 1, 'x');
  std::string large;
  while (large.size() <= kMaxAlsoFileBytes) large += "# a comment\n";
  const struct {
    std::string text;
    std::string message;  // after the file's path
    mode_t mode = 0600;
  } cases[] = {
      {"caster = a\n\n# colour\nmount = M\ncolour = red\n", ":5: unknown key \"colour\""},
      {"caster = a\nco\xC2\x9Blour\xE9 = red\n", ":2: unknown key \"co?lour?\""},
      {"mount = M\n", ": \"caster\" is missing"},
      {"caster = a\n", ": \"mount\" is missing"},
      {"caster = a\r\nmount = M\r\nmount = N\r\n", ":3: \"mount\" is given twice"},
      {"caster a\n", ":1: expected KEY = VALUE"},
      {"caster = a\nmount = M\x1B[2J\n", ":2: a control character"},
      {"ntrip = 3\n", ":1: ntrip: 1 or 2 (the NTRIP version)"},
      {"tls = on\n", ":1: tls: yes or no"},
      {"caster = a\nmount = M\ntls = yes\nntrip = 1\n",
       ": tls speaks NTRIP 2: it cannot go with --ntrip 1"},
      {"caster = a\nmount = M\n\npassword-file = /nonexistent/p\n",
       ":4: password-file: /nonexistent/p is no readable file"},
      {"caster = a\nmount = A B\n", ": " + ToUtf8(LoadString(kStrMountPointBlank))},
      {longLine, ":1: longer than 8192 bytes"},
      {large, ": is larger than 65536 bytes"},
      {"caster = a\nmount = M\n", ": can be written by other users", 0620},
      {"caster = a\nmount = M\n", ": can be written by other users", 0602},
  };
  for (const auto& c : cases) {
    const std::string path = Write("b.conf", c.text, c.mode);
    ExtraCaster caster;
    std::string error;
    EXPECT_EQ(Read(path, caster, error), PasswordFileRead::kRefused) << c.message;
    EXPECT_EQ(error.substr(0, path.size() + c.message.size()), path + c.message);
  }
}

TEST_F(AlsoFileTest, AUsersFileIsTakenOnlyWhenNoOtherUserCanReadIt) {
  const struct {
    std::string text;
    mode_t mode;
    std::string message;  // after the file's path; "" when taken
  } cases[] = {
      {"u:p\n# a comment\n\nv:a:b\r\n", 0600, ""},
      {"u:p\n", 0640, ": can be read by other users"},
      {"u:p\n", 0604, ": can be read by other users"},
      {"u:p\n:p\n", 0600, ":2: expected user:password"},
      {"u:p\x1b[2J\n", 0600, ":1: a control character"},
      {"# nobody\n", 0600, ": names no user"},
  };
  for (const auto& c : cases) {
    const std::string path = Write("users", c.text, c.mode);
    std::vector<std::string> tokens;
    std::string error;
    EXPECT_EQ(ReadListenUsersFile(path, tokens, error), c.message.empty()) << c.message;
    if (c.message.empty()) error = "--listen-users " + path;
    EXPECT_TRUE(error.starts_with("--listen-users " + path + c.message)) << error;
    if (c.message.empty()) {
      EXPECT_EQ(tokens, (std::vector{BasicToken("u", "p"), BasicToken("v", "a:b")}));
    }
  }
}

TEST_F(AlsoFileTest, EachKeyGoesWhereItsOptionPutsIt) {
  const std::string ca = Write("ca.pem", "-----BEGIN CERTIFICATE-----\n");
  const std::string password = Write("b-password", "b-secret\nrest\n");
  const std::string path =
      Write("b.conf",
            "# RTK2go's twin\n\n  caster = b.example:2102  \r\nmount\t=\tMB\nuser = u@x\n"
            "password-file = " +
                password + "\nntrip = 2\ntls = yes\nca-file = " + ca + "\n");
  ExtraCaster caster;
  std::string error;
  ASSERT_EQ(Read(path, caster, error), PasswordFileRead::kRead) << error;
  const BaseSettings& s = caster.settings;
  EXPECT_EQ(caster.name + " " + ToUtf8(FieldText(s.address)) + ":" + std::to_string(s.port) + "/" +
                ToUtf8(FieldText(s.mountPoint)) + " " + ToUtf8(FieldText(s.userName)) + ":" +
                ToUtf8(FieldText(s.password)),
            "b.conf b.example:2102/MB u@x:b-secret");
  EXPECT_EQ(s.protocol, (CasterProtocol{NtripVersion::k2, true, ca}));
  EXPECT_EQ(caster.protocol.caFile, ca);
  ASSERT_EQ(Read(Write("c.conf", "caster = c\nmount = M"), caster, error), PasswordFileRead::kRead);
  EXPECT_EQ(caster.settings.port, 2101);  // none given: NTRIP's
}

// The files are read with the options, before anything is saved; only the Base takes them.
TEST_F(AlsoFileTest, TheBaseReadsEveryFileBeforeTheSettingsFolderIsMade) {
  const std::string good = Write("b.conf", "caster = b\nmount = MB\n");
  const std::string bad = Write("c.conf", "caster = c\nmount = MC\ncolour = red\n");
  const std::string settings = (folder.Path() / "cfg").string();
  std::FILE* err = std::tmpfile();
  const CommandEnvironment environment{clock, stdout, err, nullptr, std::nullopt, -1};
  SessionOptions options;
  int status = 0;
  EXPECT_FALSE(ParseSessionCommand("base",
                                   {"--also", good, "--also", bad, "--settings-dir", settings},
                                   kBaseOptions, environment, options, status));
  EXPECT_EQ(status, 2);
  EXPECT_EQ(Contents(err), "quillon base: " + bad + ":3: unknown key \"colour\"\n");
  EXPECT_FALSE(std::filesystem::exists(settings));
  std::fclose(err);
  ASSERT_TRUE(ParseSessionCommand(
      "base", {"--also", good, "--also=" + good, "--reconnect", "--settings-dir", settings},
      kBaseOptions, environment, options, status));
  ASSERT_EQ(options.also.size(), 2u);
  EXPECT_EQ(FieldText(options.also[1].settings.mountPoint), u"MB");
  EXPECT_TRUE(options.reconnect);
  std::string error;
  EXPECT_FALSE(ParseSessionOptions({"--also", good}, kRoverOptions, {}, options, error));
}

}  // namespace
}  // namespace quillon::cli
