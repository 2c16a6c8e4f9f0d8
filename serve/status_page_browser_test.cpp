#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "serve/station_sample_fixture.h"
#include "testing/temp_folder.h"

namespace quillon {
namespace {

// What `command` prints on its standard output.
std::string Output(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  std::array<char, 4096> buffer;
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
    out.append(buffer.data(), n);
  pclose(pipe);
  return out;
}

// The DOM Chromium builds of the sample's page: its parser's work (tables get their tbody), with
// the client's program as text and never as an element.
TEST(StatusPageInChromium, ShowsTheSample) {
  if (std::system("command -v chromium >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "chromium is not installed (apt-get install chromium): the status page is "
                    "not checked in a browser";
  }
  testing::VirtualClock clock;
  StationContent content{ServedStream{"QUILLON1", true}, clock};
  content.Update(SampleRoverStatus());
  content.SetClients(SampleRoverStatus().clients);
  ScanSampleStream(content, clock);
  const testing::TempFolder folder;
  const std::string page = (folder.Path() / "status.html").string();
  std::ofstream(page) << content.Page("/")->body;
  const std::string dom =
      Output("timeout 60 chromium --headless --no-sandbox --disable-gpu --user-data-dir=" +
             (folder.Path() / "profile").string() + " --dump-dom file://" + page + " 2>/dev/null");
  for (const char* shown : {"<tbody>", ">RTK fixed<", "<dd>111.2 km</dd>", ">1230</td>", ">12</td>",
                            "<dd>2001</dd>", "NTRIP &lt;script&gt;alert(1)&lt;/script&gt;"}) {
    EXPECT_NE(dom.find(shown), std::string::npos) << shown << " in:\n" << dom;
  }
  EXPECT_EQ(dom.find("<script"), std::string::npos);
}

}  // namespace
}  // namespace quillon
