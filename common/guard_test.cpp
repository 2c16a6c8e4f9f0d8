#include "common/guard.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quillon {
namespace {

class CollectingSink : public TraceSink {
 public:
  void Write(std::string_view line) override { lines.emplace_back(line); }
  std::vector<std::string> lines;
};

TEST(Guarded, CatchesEveryExceptionAndTracesItsPlace) {
  CollectingSink sink;
  SetTraceSink(&sink);
  int progress = 0;
  EXPECT_TRUE(Guarded("zepinterlinkdlg", 10, [&] { progress = 1; }));
  EXPECT_FALSE(Guarded("zepinterlinkdlg", 42, [&] {
    progress = 2;
    throw std::runtime_error("boom");
  }));
  EXPECT_FALSE(Guarded("zepsourcedlg", 7, [] { throw 5; }));
  SetTraceSink(nullptr);
  EXPECT_FALSE(Guarded("silent", 1, [] { throw 1; }));  // no sink: nothing to see, no crash

  EXPECT_EQ(progress, 2);  // values stand as the block left them
  EXPECT_EQ(sink.lines,
            (std::vector<std::string>{"*Exception\r\n File: zepinterlinkdlg\r\nLine: 42",
                                      "*Exception\r\n File: zepsourcedlg\r\nLine: 7"}));
}

}  // namespace
}  // namespace quillon
