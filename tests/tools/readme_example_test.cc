// The C program the README shows is examples/hello.c, word for word, and it
// does what the README says: the event reaches the service, or waits in the
// disk cache while the service is away.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "capis/cache_support.h"
#include "support/sink.h"
#include "tools/tool_support.h"

namespace {

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(ReadmeExample, TheReadmeQuotesHelloVerbatim) {
  const std::string readme = readFile(std::string(VELM_SOURCE_DIR) + "/README.md");
  const std::string hello = readFile(std::string(VELM_SOURCE_DIR) + "/examples/hello.c");
  ASSERT_FALSE(hello.empty());
  EXPECT_NE(readme.find("```c\n" + hello + "```\n"), std::string::npos)
      << "README.md must show examples/hello.c unchanged in a ```c block";
}

TEST(ReadmeExample, HelloDeliversItsEventOrLeavesItInTheCache) {
  velm::test::sink_detail::TempDir dir("velm-hello-");
  const std::string cache = dir.path() + "/batch";
  const std::string log = dir.path() + "/error.log";
  {
    velm::test::Sink sink;
    const auto run = velm_test::runTool({VELM_HELLO_PATH, sink.url(), cache, log});
    EXPECT_EQ(run.status, 0) << run.output;
    const auto events = sink.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].xml.find("extensionName=\"KTO_DXA_AUDIT_RUNTIME_KEY\""), std::string::npos);
  }
  velm::test::Sink away;
  away.stop();
  const auto run = velm_test::runTool({VELM_HELLO_PATH, away.url(), cache, log});
  EXPECT_EQ(run.status, 0) << run.output;
  const auto verify = velm_test::runTool({VELM_CACHE_PATH, "list", cache});
  EXPECT_NE(verify.output.find("1 record with 1 event to send, 0 corrupt"), std::string::npos)
      << verify.output;
}

}  // namespace
