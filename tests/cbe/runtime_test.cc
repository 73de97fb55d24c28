// The XML library is started by the first context of the process and
// stopped by the last one, once each.
#include "cbe/cbe_test_util.h"
#include "cbe/element.h"

namespace velm::test {
namespace {

TEST(XmlRuntime, FirstContextStartsAndLastContextStopsTheLibraryOnce) {
  const XmlLibraryState start = xmlLibraryState();
  EXPECT_FALSE(start.running);
  {
    auto first = std::make_unique<TestContext>();
    ASSERT_NE(first->get(), nullptr);
    EXPECT_TRUE(xmlLibraryState().running);
    {
      TestContext second;
      ASSERT_NE(second.get(), nullptr);
      EXPECT_EQ(xmlLibraryState().starts, start.starts + 1);
    }
    EXPECT_TRUE(xmlLibraryState().running);
    EXPECT_EQ(xmlLibraryState().stops, start.stops);

    // Converting works while any context is alive.
    Result r;
    XmlDocument *doc = createDocument(first->get(), "a", &r);
    ASSERT_NE(doc, nullptr);
    HeapText text(convertToString(first->get(), getRootElement(first->get(), doc, &r), &r));
    EXPECT_STREQ(text.get(), "<a/>");
    deleteDocument(first->get(), doc, &r);
  }
  const XmlLibraryState end = xmlLibraryState();
  EXPECT_FALSE(end.running);
  EXPECT_EQ(end.starts, start.starts + 1);
  EXPECT_EQ(end.stops, start.stops + 1);

  // A later context starts it again.
  TestContext again;
  EXPECT_TRUE(xmlLibraryState().running);
  EXPECT_EQ(xmlLibraryState().starts, start.starts + 2);
}

}  // namespace
}  // namespace velm::test
