// LoadRemoteImage against the scripted server: which URL is asked for, what
// decodes into a bitmap, and what every kind of failure leaves behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "remote/remote_params.h"
#include "support/paths.h"
#include "support/screen.h"
#include "support/server_fixture.h"

namespace {

using RemoteImage = SharedServerTest;

std::unique_ptr<CRemoteParams> Document(const std::string& content) {
    const std::string doc = "<korvane>" + content + "</korvane>";
    char* body = static_cast<char*>(std::malloc(doc.size() + 1));
    std::memcpy(body, doc.c_str(), doc.size() + 1);
    auto params = std::make_unique<CRemoteParams>();
    EXPECT_TRUE(params->PrepareDocument(body, static_cast<std::uint32_t>(doc.size()), "http://doc/"));
    return params;
}

// A bottom-up BMP file whose left half is red and right half blue, with a
// green top row, so that size, orientation and colours can all be checked.
std::string MakeBmp(int width, int height, int bitsPerPixel) {
    return BmpFile(width, height, bitsPerPixel, [=](int x, int y) {
        return y == 0 ? RGB(0, 255, 0) : (x < width / 2 ? RGB(255, 0, 0) : RGB(0, 0, 255));
    });
}

std::string ReadFixture(const std::string& name) {
    std::ifstream in(SourceDir() + "\\tests\\data\\" + name, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP info{};
    if (GetObjectA(bitmap, sizeof info, &info) != sizeof info) return SIZE{-1, -1};
    return SIZE{info.bmWidth, info.bmHeight};
}

bool Near(COLORREF a, COLORREF b) {
    auto close = [](int x, int y) { return x - y < 40 && y - x < 40; };
    return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
           close(GetBValue(a), GetBValue(b));
}

std::vector<std::string> RequestPaths(TestServer& server) {
    std::vector<std::string> paths;
    for (const RecordedRequest& r : server.requests()) paths.push_back(r.path);
    return paths;
}


TEST_F(RemoteImage, DecodesBmpGifAndJpegIntoBitmapsOfTheirSize) {
    server().route("/img/rgb.bmp", BodyReply(MakeBmp(33, 17, 24)));
    server().route("/img/pal.bmp", BodyReply(MakeBmp(20, 9, 8)));
    server().route("/img/a.gif", BodyReply(ReadFixture("image_40x30.gif")));
    server().route("/img/a.jpg", BodyReply(ReadFixture("image_48x20.jpg")));
    auto p = Document("<IMAGES_PATH>" + server().url("/img") + "</IMAGES_PATH>"
                      "<RGB>rgb.bmp</RGB><PAL>pal.bmp</PAL><GIF>a.gif</GIF><JPG> a.jpg </JPG>");

    struct Case { const char* name; const char* file; int width, height; bool greenTop; };
    const Case cases[] = {
        {"RGB", "rgb.bmp", 33, 17, true},
        {"PAL", "pal.bmp", 20, 9, true},
        {"GIF", "a.gif", 40, 30, false},
        {"JPG", "a.jpg", 48, 20, false},
    };
    for (const Case& c : cases) {
        HBITMAP bitmap = p->LoadRemoteImage(c.name);
        ASSERT_NE(nullptr, bitmap) << c.name << ": " << p->contextText;
        EXPECT_EQ(OBJ_BITMAP, static_cast<int>(GetObjectType(bitmap))) << c.name;
        const SIZE size = BitmapSize(bitmap);
        EXPECT_EQ(c.width, size.cx) << c.name;
        EXPECT_EQ(c.height, size.cy) << c.name;
        const std::string url = server().url(std::string("/img/") + c.file);
        EXPECT_EQ("Image " + std::string(c.file) + ",Path: " + url, p->contextText);

        const Pixels px = ReadBitmap(bitmap);
        ASSERT_EQ(c.width, px.width) << c.name;
        const int y = c.height - 1;
        EXPECT_TRUE(Near(RGB(255, 0, 0), px.at(1, y))) << c.name << " bottom left " << std::hex << px.at(1, y);
        EXPECT_TRUE(Near(RGB(0, 0, 255), px.at(c.width - 2, y))) << c.name << " bottom right";
        if (c.greenTop) {
            EXPECT_TRUE(Near(RGB(0, 255, 0), px.at(1, 0))) << c.name << " top row";
        }
        // The caller owns the bitmap.
        EXPECT_TRUE(DeleteObject(bitmap)) << c.name;
    }
    EXPECT_EQ((std::vector<std::string>{"/img/rgb.bmp", "/img/pal.bmp", "/img/a.gif", "/img/a.jpg"}),
              RequestPaths(server()));
}

TEST_F(RemoteImage, FolderUrlGetsExactlyOneSlash) {
    server().route("/skins/a.bmp", BodyReply(MakeBmp(4, 4, 24)));
    server().route("/skins/sub/b.bmp", BodyReply(MakeBmp(6, 2, 24)));
    for (const char* folder : {"/skins", "/skins/"}) {
        server().clearRequests();
        auto p = Document("<IMAGES_PATH>" + server().url(folder) + "</IMAGES_PATH>"
                          "<SKIN>a.bmp</SKIN><DEEP>sub/b.bmp</DEEP>");
        HBITMAP a = p->LoadRemoteImage("SKIN");
        HBITMAP b = p->LoadRemoteImage("DEEP");
        EXPECT_NE(nullptr, a) << folder;
        EXPECT_NE(nullptr, b) << folder;
        EXPECT_EQ(6, BitmapSize(b).cx) << folder;
        DeleteObject(a);
        DeleteObject(b);
        EXPECT_EQ((std::vector<std::string>{"/skins/a.bmp", "/skins/sub/b.bmp"}), RequestPaths(server()))
            << folder;
        EXPECT_EQ(server().url("/skins/"), p->imagesPath) << folder;
    }
}

TEST_F(RemoteImage, MissingParametersFailBeforeAnyRequest) {
    auto p = Document("<SKIN>a.bmp</SKIN><Other>x</Other>");
    EXPECT_EQ(nullptr, p->LoadRemoteImage("BUTTON_CLOSE_HOT"));
    EXPECT_STREQ("Parameter: BUTTON_CLOSE_HOT", p->contextText);

    EXPECT_EQ(nullptr, p->LoadRemoteImage("SKIN"));
    EXPECT_STREQ("Parameter: IMAGES_PATH", p->contextText);
    EXPECT_STREQ("", p->imagesPath);
    // The next load asks for the folder again instead of trusting a cache.
    char dest[16];
    p->GetParamString("Other", dest, sizeof dest);
    EXPECT_EQ(nullptr, p->LoadRemoteImage("SKIN"));
    EXPECT_STREQ("Parameter: IMAGES_PATH", p->contextText);
    EXPECT_TRUE(server().requests().empty());

    // A present but empty folder leaves "/" alone, which is no URL at all.
    auto q = Document("<IMAGES_PATH></IMAGES_PATH><SKIN>a.bmp</SKIN>");
    EXPECT_EQ(nullptr, q->LoadRemoteImage("SKIN"));
    EXPECT_STREQ("/", q->imagesPath);
    EXPECT_STREQ("Image a.bmp,Path: /a.bmp", q->contextText);
    EXPECT_TRUE(server().requests().empty());
}

TEST_F(RemoteImage, UndecodableRepliesFailAndNameTheFile) {
    const std::string bmp = MakeBmp(16, 16, 24);
    server().route("/img/", BodyReply("<html><body><a href=\"a.bmp\">a.bmp</a></body></html>"));
    server().route("/img/page.bmp", BodyReply("<html><body>Not a picture</body></html>"));
    server().route("/img/short.bmp", BodyReply(bmp.substr(0, 30)));
    server().route("/img/empty.bmp", BodyReply(""));
    server().route("/img/icon.ico", BodyReply(ReadFixture("icon_16x16.ico")));
    auto p = Document("<IMAGES_PATH>" + server().url("/img/") + "</IMAGES_PATH>"
                      "<EMPTY></EMPTY><GONE>gone.bmp</GONE><PAGE>page.bmp</PAGE>"
                      "<SHORT>short.bmp</SHORT><NOTHING>empty.bmp</NOTHING><ICON>icon.ico</ICON>");
    struct Case { const char* name; const char* file; };
    const Case cases[] = {
        {"EMPTY", ""}, {"GONE", "gone.bmp"}, {"PAGE", "page.bmp"},
        {"SHORT", "short.bmp"}, {"NOTHING", "empty.bmp"}, {"ICON", "icon.ico"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nullptr, p->LoadRemoteImage(c.name)) << c.name;
        EXPECT_EQ("Image " + std::string(c.file) + ",Path: " + server().url("/img/" + std::string(c.file)),
                  p->contextText);
    }
    EXPECT_EQ((std::vector<std::string>{"/img/", "/img/gone.bmp", "/img/page.bmp", "/img/short.bmp",
                                        "/img/empty.bmp", "/img/icon.ico"}),
              RequestPaths(server()));
}

TEST_F(RemoteImage, UrlsThatDoNotFitAreNeverRequested) {
    const std::string base = server().url("/");
    // IMAGES_PATH plus file name of exactly 1023 characters still fits.
    const std::string folder = base + std::string(1000 - base.size(), 'f');
    const std::string fits(1023 - folder.size() - 1, 'n');
    auto p = Document("<IMAGES_PATH>" + folder + "</IMAGES_PATH><FITS>" + fits + "</FITS><LONG>" + fits +
                      "x</LONG>");
    EXPECT_EQ(nullptr, p->LoadRemoteImage("FITS"));  // the server has no such file
    ASSERT_EQ(1u, server().requests().size());
    EXPECT_EQ(folder.substr(base.size() - 1) + "/" + fits, server().requests()[0].path);

    server().clearRequests();
    EXPECT_EQ(nullptr, p->LoadRemoteImage("LONG"));
    EXPECT_TRUE(server().requests().empty());
    EXPECT_EQ(0, std::strncmp(p->contextText, "Image nnn", 9));

    // A folder of 1023 characters leaves no room for its "/".
    const std::string full = base + std::string(1023 - base.size(), 'f');
    auto q = Document("<IMAGES_PATH>" + full + "</IMAGES_PATH><SKIN>a.bmp</SKIN>");
    EXPECT_EQ(nullptr, q->LoadRemoteImage("SKIN"));
    EXPECT_STREQ("", q->imagesPath);
    EXPECT_STREQ("Parameter: IMAGES_PATH", q->contextText);
    EXPECT_TRUE(server().requests().empty());
}

TEST_F(RemoteImage, FailuresLeaveNothingBehind) {
    // Bodies of a few kilobytes each, so that a lost copy shows in the heap.
    server().route("/img/page.bmp", BodyReply(std::string(4000, 'x')));
    server().route("/img/short.bmp", BodyReply(MakeBmp(200, 200, 24).substr(0, 4000)));
    server().route("/img/icon.ico", BodyReply(ReadFixture("icon_16x16.ico")));
    server().route("/img/ok.bmp", BodyReply(MakeBmp(16, 16, 24)));
    auto p = Document("<IMAGES_PATH>" + server().url("/img") + "</IMAGES_PATH>"
                      "<GONE>gone.bmp</GONE><PAGE>page.bmp</PAGE><SHORT>short.bmp</SHORT>"
                      "<ICON>icon.ico</ICON><OK>ok.bmp</OK>");
    auto failures = [&] {
        for (const char* name : {"GONE", "PAGE", "SHORT", "ICON"}) EXPECT_EQ(nullptr, p->LoadRemoteImage(name)) << name;
    };
    // The first round may set up the decoder's and the fetch's own state.
    failures();
    HBITMAP ok = p->LoadRemoteImage("OK");
    ASSERT_NE(nullptr, ok);
    DeleteObject(ok);

    const DWORD gdi = GdiObjectCount();
    const size_t heap = UsedHeapBytes();
    for (int i = 0; i < 25; ++i) failures();
    // 25 rounds move some 230 KB of bodies through the heap.
    EXPECT_LT(UsedHeapBytes(), heap + 50000);
    EXPECT_EQ(gdi, GdiObjectCount()) << "the bitmaps of a decoded icon must not outlive its failed load";

    // Bitmaps that were handed out go with the caller's DeleteObject.
    for (int i = 0; i < 10; ++i) {
        ok = p->LoadRemoteImage("OK");
        EXPECT_NE(nullptr, ok);
        DeleteObject(ok);
    }
    EXPECT_EQ(gdi, GdiObjectCount());
}

}  // namespace
