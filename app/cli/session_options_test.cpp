#include "app/cli/session_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/cli/command_test_fixture.h"
#include "rover/rover_settings.h"

namespace quillon::cli {
namespace {

SessionOptions Parsed(const Arguments& args, const std::optional<std::string>& password = {}) {
  SessionOptions options;
  std::string error;
  EXPECT_TRUE(ParseSessionOptions(args, kRoverOptions, password, options, error)) << error;
  return options;
}

std::string Refusal(const Arguments& args) {
  SessionOptions options;
  std::string error;
  EXPECT_FALSE(ParseSessionOptions(args, kRoverOptions, std::nullopt, options, error));
  return error;
}

TEST(SessionOptionsTest, InlineValuesAndLaterSwitchesWinAndOnlyWhatWasGivenIsApplied) {
  const SessionOptions options =
      Parsed({"--caster=10.1.2.3", "--no-auth", "--auth", "--gga=1,2", "--no-gga", "--gga",
              "35.5,139.75", "--mount=", "--user", "\u00E9\u20AC", "--baud=14400", "--trace"},
             "pw");
  EXPECT_TRUE(options.trace);
  RoverSettings settings;
  SetDefaultSettings(settings);
  settings.port = 2101;
  settings.noAuthentication = 1;
  ApplyRoverOptions(options, settings);
  EXPECT_EQ(FieldText(settings.address), u"10.1.2.3");
  EXPECT_EQ(settings.port, 2101);  // no port given: the stored one stays
  EXPECT_EQ(settings.noAuthentication, 0);
  EXPECT_EQ(FieldText(settings.mountPoint), u"");
  EXPECT_EQ(settings.baudIndex, 2);
  EXPECT_EQ(settings.overrideEnabled.load(), 1);
  EXPECT_DOUBLE_EQ(settings.overrideLongitude.load(), 139.75);
  ApplyRoverOptions(Parsed({"--no-gga"}), settings);
  EXPECT_EQ(settings.overrideEnabled.load(), 0);
  EXPECT_DOUBLE_EQ(settings.overrideLatitude.load(), 35.5);  // kept for the next time
  EXPECT_EQ(FieldText(settings.userName), u"\u00E9\u20AC");
  EXPECT_EQ(FieldText(settings.password), u"pw");
  // --upstream is all or gga with a whole number of seconds; not given, the saved choice stays;
  // --reconnect is a switch of this run only.
  for (const auto& [value, seconds] :
       {std::pair{"all", 0}, {"gga", 1}, {"gga:1", 1}, {"gga:3600", 3600}}) {
    ApplyRoverOptions(Parsed({"--upstream", value}), settings);
    EXPECT_EQ(settings.upstream.ggaSeconds, seconds) << value;
  }
  for (const char* value : {"gga:0", "gga:3601", "gga:2.5", "gga:", "gga:-1", "gga:+2", "gga2",
                            "GGA", "all:5", "", "gga:99999999999"}) {
    EXPECT_TRUE(Refusal({"--upstream", value}).starts_with("--upstream: all, or gga[:SECONDS]"));
  }
  const SessionOptions reconnect = Parsed({"--reconnect"});
  ApplyRoverOptions(reconnect, settings);
  EXPECT_TRUE(reconnect.reconnect);
  EXPECT_EQ(settings.upstream.ggaSeconds, 3600);
  const SessionOptions logged = Parsed({"--log", "raw/%Y-%m-%d_%H%M%S.rtcm3", "--log-keep=30"});
  EXPECT_EQ(logged.logPattern, "raw/%Y-%m-%d_%H%M%S.rtcm3");
  EXPECT_EQ(logged.logKeepDays, 30);
  EXPECT_TRUE(Parsed({"--log", "%G-W%V/%u %H.raw"}).logPattern);
  const SessionOptions served = Parsed({"--listen", "2101", "--tcp-server", "[::1]:2102",
                                        "--nmea-server=127.0.0.1:2947", "--listen-max", "7"});
  EXPECT_EQ(served.listen->host, "");
  EXPECT_EQ(served.listen->port, 2101);
  EXPECT_EQ(served.tcpServer->host, "::1");
  EXPECT_EQ(served.nmeaServer->port, 2947);
  EXPECT_EQ(served.listenMax, 7u);
}

TEST(SessionOptionsTest, UnusableOptionsAreRefusedWithAWordOnWhy) {
  testing::TempFolder folder;
  const std::string ca = (folder.Path() / "ca.pem").string();
  const std::string none = (folder.Path() / "none.pem").string();
  std::ofstream(ca) << "x";
  // Appended, not added: GCC 12 for aarch64 misreads `std::string(n, c) + "..."` as an
  // out-of-bounds copy (-Warray-bounds).
  const std::string longAddress = std::string(254, 'a').append(":2101");
  const std::string longUser = std::string(254, 'u').append("\xC3\xA9");
  const std::string longDevice = std::string("/dev/").append(251, 'x');
  const std::string caWithLineEnd = std::string(ca).append("\n");
  const std::string longLog = std::string(1021, 'a').append("%Y.x");
  const std::pair<Arguments, std::string> cases[] = {
      {{"--password", "secret"}, "never taken from the command line"},
      {{"--baud", "12345"}, "--baud"},
      {{"--caster", "host:65536"}, "1 to 65535"},
      {{"--caster", "host\r\nX: 1:2101"}, "--caster address takes no control characters"},
      {{"--mount", "RTCM3\r\n\r\nGET /x"}, "--mount takes no control characters"},
      // One byte past each limit; a letter with an accent counts two.
      {{"--caster", longAddress}, "--caster address takes at most 253 bytes"},
      {{"--user", longUser}, "--user takes at most 255 bytes"},
      {{"--mount", std::string(128, 'M')}, "--mount takes at most 127 bytes"},
      {{"--device", longDevice}, "--device takes at most 255 bytes"},
      {{"--user", "p\xE4ss"}, "--user is not UTF-8 text"},  // Latin-1, not UTF-8
      {{"--gga", "91,0"}, "LAT,LON"},
      {{"--mount"}, "needs a value"},
      {{"--seconds", "5"}, "unknown option --seconds"},  // not a rover option
      {{"rtk.example.com"}, "unknown option"},
      {{"--\x1b]0;x\a"}, "unknown option --?]0;x?"},
      {{"--bt-port", "3"}, "1 (XCOM2) or 2 (XCOM3)"},
      {{"--bt-device", std::string(256, 'x')}, "1 to 255 characters"},
      {{"--reconnect=yes"}, "--reconnect takes no value"},
      {{"--ntrip", "3"}, "--ntrip: 1 or 2 (the NTRIP version)"},
      {{"--tls", "--ntrip", "1"}, "--tls speaks NTRIP 2: it cannot go with --ntrip 1"},
      {{"--insecure", "--ca-file", ca},
       "--insecure skips the verification that --ca-file is for: give one of them"},
      {{"--ca-file", none}, "--ca-file: cannot read " + none + " (No such file or directory)"},
      {{"--ca-file", folder.Path().string()},
       "--ca-file: " + folder.Path().string() + " is no regular file"},
      {{"--ca-file", caWithLineEnd}, "--ca-file: a file name in UTF-8 without control characters"},
      {{"--log", "raw/%d-%m-%Y.rtcm3"}, "--log: its names do not sort in time order"},
      {{"--log", "%Y-%V.raw"}, "--log: its names do not sort in time order"},
      {{"--log", ""}, "--log: it gives no file name"},
      {{"--log", "raw\n%Y"}, "--log takes no control characters"},
      {{"--log", "%Y%n.raw"}, "--log: its names hold control characters"},
      {{"--log", longLog}, "--log takes at most 1024 bytes"},
      {{"--log", "x", "--log-keep", "0"}, "--log-keep: a number of days from 1 to 3650"},
      {{"--log-keep", "3651"}, "--log-keep: a number of days from 1 to 3650"},
      {{"--log-keep", "7"}, "--log-keep removes the old files of --log: give both"},
      {{"--listen", "65536"}, "--listen: [ADDR:]PORT"},
      {{"--listen", "caster.local:2101"}, "--listen: [ADDR:]PORT"},
      {{"--tcp-server", "127.0.0.1"}, "--tcp-server: [ADDR:]PORT"},
      {{"--listen-max", "10001"}, "--listen-max: a number of clients from 1 to 10000"},
      {{"--listen", "1", "--listen-mount", "A/B"}, "--listen-mount: a name without blanks"},
      {{"--listen-users", "u"}, "give --listen too"},
  };
  for (const auto& [args, expected] : cases) {
    const std::string error = Refusal(args);
    EXPECT_NE(error.find(expected), std::string::npos) << args.front() << ": " << error;
  }
}

// --insecure is never saved; a relative CA file is kept as an absolute path.
TEST(SessionOptionsTest, TheProtocolOptionsAreSavedWithTheCasterButInsecureIsNot) {
  testing::TempFolder folder;
  const std::string ca = (folder.Path() / "ca.pem").string();
  std::ofstream(ca) << "-----BEGIN CERTIFICATE-----\n";
  const CasterProtocol tls{NtripVersion::k2, true, ""};
  const CasterProtocol version2{NtripVersion::k2, false, ""};
  const struct {
    Arguments args;
    CasterProtocol before;
    CasterProtocol after;
    std::int32_t port;  // the record's port before: 2101
  } cases[] = {
      {{"--ntrip", "2"}, {}, version2, 2101},
      {{"--ntrip=1"}, tls, {}, 2101},  // NTRIP 1 is plain
      {{"--tls"}, {}, tls, 2101},
      {{"--caster", "c.example", "--tls"}, {}, tls, 443},
      {{"--caster", "c.example:8443", "--tls"}, {}, tls, 8443},
      {{"--no-tls"}, tls, version2, 2101},
      {{"--ntrip", "2", "--no-tls"}, {}, version2, 2101},
      {{"--ca-file", ca}, tls, {NtripVersion::k2, true, ca}, 2101},
      {{"--no-ca-file"}, {NtripVersion::k2, true, ca}, tls, 2101},
      {{"--insecure"}, tls, tls, 2101},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0]);
    const SessionOptions options = Parsed(c.args);
    SettingsRecord record;
    SetFieldText(record.address, u"c.example");
    record.port = 2101;
    record.protocol = c.before;
    ApplySessionOptions(options, record);
    EXPECT_EQ(record.protocol, c.after);
    EXPECT_EQ(record.port, c.port);
    EXPECT_EQ(options.protocol.insecure, c.args[0] == "--insecure");
  }
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  const SessionOptions relative = Parsed({"--ca-file", "ca.pem"});
  std::filesystem::current_path(cwd);
  EXPECT_EQ(relative.protocol.caFile, ca);
}

// Help after a command answers for it before anything is parsed.
TEST(CommandHelpTest, HelpAfterACommandShowsThatCommandsUsage) {
  const auto help = [](const char* command, const Arguments& args) {
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(AnswerHelp(command, args, out), 0);
    const std::string usage = Contents(out);
    std::fclose(out);
    return usage;
  };
  for (const char* command : {"rover", "base", "demo", "sourcetable"}) {
    for (const Arguments& args : {Arguments{"--help"}, Arguments{"--caster", "x:0", "-h"}}) {
      EXPECT_TRUE(help(command, args).starts_with(std::string("Usage: quillon ") + command + " "));
    }
  }
  for (const auto& [command, line] :
       {std::pair{"rover", "\n  --mount NAME           mount point, at most 127 bytes\n"},
        {"rover", "\n  --no-auth / --auth     \"Do not use"},
        {"base", "login (at most 255 bytes); NTRIP 1\n                         sends"}}) {
    const std::string usage = help(command, {"-h"});
    EXPECT_NE(usage.find(line), std::string::npos) << usage;
    EXPECT_EQ(usage.find("--gga") == std::string::npos, command == std::string("base"));
  }
  EXPECT_EQ(AnswerHelp("rover", {"--caster", "x"}, stdout), std::nullopt);
  EXPECT_EQ(AnswerHelp("frobnicate", {"--help"}, stdout), std::nullopt);
}

// The port after the last ':', except inside an IPv6 address: in brackets it may have one.
TEST(SplitCasterArgument, FindsThePortBesideNamesAndIPv4AndIPv6Addresses) {
  const struct {
    std::string_view value;
    bool ok;
    std::string_view host;
    std::int32_t port;  // -1: none given
  } cases[] = {
      {"caster.example:2101", true, "caster.example", 2101},
      {"caster.example", true, "caster.example", -1},
      {"[2001:db8::1]:2101", true, "2001:db8::1", 2101},
      {"[::1]", true, "::1", -1},
      {"2001:db8::1", true, "2001:db8::1", -1},
      {"[::1]:0", false, "", -1},
      {"[::1]2101", false, "", -1},
  };
  for (const auto& c : cases) {
    std::string_view host;
    std::int32_t port = -1;
    EXPECT_EQ(SplitCasterArgument(c.value, host, port), c.ok) << c.value;
    if (!c.ok) continue;
    EXPECT_EQ(std::pair(host, port), std::pair(c.host, c.port)) << c.value;
  }
}

}  // namespace
}  // namespace quillon::cli
