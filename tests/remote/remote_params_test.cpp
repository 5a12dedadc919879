// LoadDocument over a real fetch: what a served document gives, and that
// every reply which is no parameter document is refused.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "remote/remote_params.h"
#include "support/server_fixture.h"

namespace {

using DocumentFetch = SharedServerTest;

TestReply Text(const std::string& body, int status = 200) {
    TestReply r;
    r.status = status;
    r.body = body;
    r.headers = {{"Content-Type", "text/xml"}};
    return r;
}

TEST_F(DocumentFetch, ServedDocumentLoads) {
    server().route("/shell/doc.xml",
                   Text("<?xml version=\"1.0\"?>\r\n<Korvane>\r\n"
                        "\t<APP_TITLE> Served\r\nTitle </APP_TITLE>\r\n"
                        "\t<APP_BROWSER_RECT>1,2,300,200</APP_BROWSER_RECT>\r\n"
                        "</korvane>\r\n"));
    const std::string url = server().url("/shell/doc.xml?v=1");
    CRemoteParams p;
    ASSERT_TRUE(p.LoadDocument(url.c_str()));
    EXPECT_EQ(url, p.sourceUrl);
    EXPECT_STREQ("Parameter: Korvane", p.contextText);
    EXPECT_STREQ("", p.imagesPath);

    char title[kValueCapacity];
    EXPECT_STREQ("ServedTitle", p.GetParamString("APP_TITLE", title, sizeof title));
    std::int32_t r[4];
    ASSERT_NE(nullptr, p.GetParamRect("APP_BROWSER_RECT", r));
    EXPECT_EQ(300, r[2]);
    EXPECT_EQ(1u, server().requests().size());
}

TEST_F(DocumentFetch, RepliesThatAreNoDocumentAreRefused) {
    server().route("/missing.xml", Text("<korvane><APP_TITLE>404 page</APP_TITLE></korvane>", 404));
    server().route("/empty.xml", Text(""));
    server().route("/page.html", Text("<html><head><title>Welcome</title></head><body>Hi</body></html>"));

    CRemoteParams missing;
    EXPECT_FALSE(missing.LoadDocument(server().url("/missing.xml").c_str()))
        << "an error page's body is never read as the document";
    EXPECT_EQ(nullptr, missing.text);
    EXPECT_STREQ("", missing.sourceUrl);

    CRemoteParams empty;
    EXPECT_FALSE(empty.LoadDocument(server().url("/empty.xml").c_str()));
    EXPECT_NE(nullptr, empty.text) << "the empty block is kept for the destructor";

    CRemoteParams page;
    EXPECT_FALSE(page.LoadDocument(server().url("/page.html").c_str()));
    EXPECT_NE(nullptr, page.text);
    EXPECT_NE(nullptr, page.lowerText);
    EXPECT_STREQ("Parameter: Korvane", page.contextText);
    EXPECT_STREQ("", page.sourceUrl);

    CRemoteParams noUrl;
    EXPECT_FALSE(noUrl.LoadDocument("not a url"));
    EXPECT_FALSE(noUrl.LoadDocument(nullptr));
    EXPECT_EQ(nullptr, noUrl.text);
}

TEST_F(DocumentFetch, ManyFailedLoadsLeaveTheHeapAsItWas) {
    server().route("/page.html", Text(std::string(8000, 'x')));
    server().route("/doc.xml", Text("<korvane><A>" + std::string(8000, 'v') + "</A></korvane>"));
    const std::string page = server().url("/page.html");
    const std::string doc = server().url("/doc.xml");
    auto round = [&] {
        CRemoteParams failed;
        EXPECT_FALSE(failed.LoadDocument(page.c_str()));
        CRemoteParams loaded;
        EXPECT_TRUE(loaded.LoadDocument(doc.c_str()));
    };
    round();
    const size_t before = UsedHeapBytes();
    for (int i = 0; i < 20; ++i) round();
    // Each round downloads and drops over 16 KB; a leak would show many times that.
    EXPECT_LT(UsedHeapBytes(), before + 16000);
}

}  // namespace
