#include "serve/station_content.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "common/json_text.h"
#include "serve/station_sample_fixture.h"
#include "serve/status_metrics.h"
#include "serve/status_page.h"

namespace quillon {
namespace {

class StationContentTest : public ::testing::Test {
 protected:
  StationContentTest() {
    content.Update(SampleRoverStatus());
    content.SetClients(SampleRoverStatus().clients);  // the server tells them
    ScanSampleStream(content, clock);
  }
  std::string Body(std::string_view path) { return content.Page(path).value().body; }

  testing::VirtualClock clock;
  StationContent content{ServedStream{"QUILLON1", true}, clock};
};

TEST_F(StationContentTest, TheTableHoldsTheServedStreamAsScanned) {
  EXPECT_EQ(content.SourceTableRecords(),
            "STR;QUILLON1;QUILLON1;RTCM 3.x;1005(10),1033(30),1077(1),1087(1),1230(1);2;GPS+GLO;"
            "Misc;;34.95;139.07;0;0;TRIMBLE NETR9;none;B;N;1841;\r\n");
  StationContent legacy{ServedStream{"M;1\n", false}, clock};
  legacy.Scan(RtcmFrame(testframes::Payload(1002, 7)) + RtcmFrame(testframes::Payload(1010, 7)));
  EXPECT_EQ(
      legacy.SourceTableRecords(),
      "STR;M?1?;M?1?;RTCM 3.x;1002,1010;1;GPS+GLO;Misc;;0.00;0.00;0;0;Quillon;none;N;N;0;\r\n");
}

struct Escaped {
  std::string text, table, html, json, label;
};

TEST(StatusTexts, EachFormatEscapesForItsContext) {
  const std::vector<Escaped> rows = {
      {"a;b", "a?b", "a;b", "\"a;b\"", "a;b"},
      {"<b x='1'>&", "<b x='1'>&", "&lt;b x=&#39;1&#39;&gt;&amp;", "\"<b x='1'>&\"", "<b x='1'>&"},
      {"\"q\" \\", "\"q\" \\", "&quot;q&quot; \\", "\"\\\"q\\\" \\\\\"", "\\\"q\\\" \\\\"},
      {"\x1b[2Jx\r\n\xff", "?[2Jx???", "?[2Jx???", "\"?[2Jx???\"", "?[2Jx???"},
      {"Z\xc3\xbcrich", "Z\xc3\xbcrich", "Z\xc3\xbcrich", "\"Z\xc3\xbcrich\"", "Z\xc3\xbcrich"},
  };
  for (const Escaped& row : rows) {
    EXPECT_EQ(TableField(row.text), row.table) << row.text;
    EXPECT_EQ(HtmlText(row.text), row.html) << row.text;
    EXPECT_EQ(JsonString(row.text), row.json) << row.text;
    EXPECT_EQ(MetricLabel(row.text), row.label) << row.text;
  }
}

TEST_F(StationContentTest, ThePageShowsTheSampleWithItsTextsEscaped) {
  const std::string page = Body("/");
  for (const char* shown :
       {"<title>Quillon Rover QUILLON1</title>", ">RTK fixed<", "<dd>14</dd>", "<dd>1.0 s</dd>",
        "up 3d 01:02:03", ">caster.example.com<", "cannot write: disk full", ">1230<", ">12<",
        "34.9497569, 139.0699046, 411.21 m", "<dd>111.2 km</dd>", "<dd>1841 bit/s</dd>",
        "Clients: 1", "NTRIP &lt;script&gt;alert(1)&lt;/script&gt;?[2J", "content=\"5\""}) {
    EXPECT_NE(page.find(shown), std::string::npos) << shown;
  }
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(content.Page("/status.html"), std::nullopt);
}

TEST_F(StationContentTest, TheJsonHoldsTheSample) {
  const auto json = nlohmann::json::parse(Body("/status.json?x"));
  EXPECT_EQ(json["mode"], "Rover");
  EXPECT_EQ(json["uptime_seconds"], 3 * 86400 + 3723);
  EXPECT_EQ(json["outputs"][1]["up"], false);
  EXPECT_EQ(json["outputs"][0]["bytes_per_second"], 1234);
  EXPECT_EQ(json["solution"]["fix"], "RTK fixed");
  EXPECT_EQ(json["solution"]["satellites"], 14);
  EXPECT_EQ(json["stream"]["station_id"], 2001);
  EXPECT_EQ(json["stream"]["distance_km"], 111.2);
  EXPECT_EQ(json["stream"]["bits_per_second"], 1841);
  EXPECT_EQ(json["stream"]["messages"][4]["type"], 1230);
  EXPECT_EQ(json["stream"]["messages"][4]["per_second"], 12.0);
  EXPECT_EQ(json["clients"][0]["agent"], "NTRIP <script>alert(1)</script>?[2J");
}

// Every sample follows its family's TYPE line.
TEST_F(StationContentTest, TheMetricsHoldTheSampleInTheTextFormat) {
  const ListenerAnswer answer = content.Page("/metrics").value();
  EXPECT_EQ(answer.contentType, kMetricsContentType);
  std::istringstream lines(answer.body);
  std::string line, typed;
  while (std::getline(lines, line)) {
    if (line.rfind("# TYPE ", 0) == 0) typed = line.substr(7, line.find(' ', 7) - 7);
    if (line[0] == '#') continue;
    EXPECT_EQ(line.substr(0, line.find_first_of("{ ")), typed) << line;
  }
  for (const char* sample :
       {"\nquillon_info{mode=\"Rover\",mount_point=\"QUILLON1\",version=\"",
        "\nquillon_fix_quality 4\n", "\nquillon_bytes_total{output=\"caster.example.com\"} 99999\n",
        "\nquillon_output_up{output=\"log\"} 0\n", "\nquillon_clients 1\n",
        "\nquillon_rtcm_messages_per_second{type=\"1230\"} 12.000\n",
        "\nquillon_uptime_seconds 262923\n", "\nquillon_station_distance_km 111.19"}) {
    EXPECT_NE(answer.body.find(sample), std::string::npos) << sample;
  }
}

}  // namespace
}  // namespace quillon
