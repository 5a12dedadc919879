// The parameter document's cleaning, root element and lookups, under the
// address and undefined-behaviour sanitizers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "remote/image_size.h"
#include "remote/remote_params.h"

namespace {

// A document as the fetch hands it over: malloc'd, one NUL after the bytes.
std::unique_ptr<CRemoteParams> Load(const std::string& document, bool* loaded) {
    auto params = std::make_unique<CRemoteParams>();
    char* body = static_cast<char*>(std::malloc(document.size() + 1));
    std::memcpy(body, document.data(), document.size() + 1);
    *loaded = params->PrepareDocument(body, static_cast<std::uint32_t>(document.size()), "http://h/doc.xml");
    return params;
}

const std::string kDocument =
    "junk <A>outside</A>\r\n<KorVane> <APP_TITLE> My\r\nShell </APP_TITLE> <A>first</A><A>second</A>"
    "<OUTER>x <INNER>deep</INNER> y</OUTER><SKINX>wrong</SKINX><SKIN>right</SKIN><E></E><SP>   </SP>"
    "<AMP>&amp; <i>b</i></AMP><X>1</Y><Y>2</X></LATE><LATE>v</LATE><OPEN>never closed"
    "<T\tAB>tab</TAB><HIGH>\x7f\xc9\xe9</HIGH><FULL>" + std::string(1023, 'f') + "</FULL><OVER>" +
    std::string(1024, 'o') + "</OVER><PAD>  abc  </PAD><NUMS>10,,20</NUMS><ONE>7</ONE><FIVE>1,2,3,4,5</FIVE>"
    "<WORDS>a,b</WORDS><SIGNS> -3, +4x ,99999999999</SIGNS><FLAG>It is TRUE</FLAG><SPLIT>tr\r\nue</SPLIT>"
    "<YES>yes</YES><SPACED>t rue</SPACED></KORVANE><B>after</B></korvane>";

TEST(Document, LookupsFindTheFirstValueInAnyCaseAndCleanTheDocument) {
    bool loaded = false;
    auto p = Load(kDocument, &loaded);
    ASSERT_TRUE(loaded);
    const struct {
        const char* name;
        const char* value;  // null: missing
        size_t capacity;
    } cases[] = {
        {"app_title", "MyShell", kValueCapacity},  {"A", "first", kValueCapacity},
        {"INNER", "deep", kValueCapacity},         {"OUTER", "x <INNER>deep</INNER> y", kValueCapacity},
        {"SKIN", "right", kValueCapacity},         {"SKI", nullptr, kValueCapacity},
        {"E", "", 1},                              {"SP", "", kValueCapacity},
        {"AMP", "&amp; <i>b</i>", kValueCapacity}, {"X", "1</Y><Y>2", kValueCapacity},
        {"LATE", nullptr, kValueCapacity},         {"OPEN", nullptr, kValueCapacity},
        {"TAB", "tab", kValueCapacity},            {"HIGH", "\x7f\xc9\xe9", kValueCapacity},
        {"FULL", nullptr, 1023},                   {"OVER", nullptr, kValueCapacity},
        {"PAD", "abc", 4},                         {"PAD", nullptr, 3},
        {"B", nullptr, kValueCapacity},            {"Korvane", nullptr, kValueCapacity},
    };
    for (const auto& c : cases) {
        std::string dest(c.capacity, 'Z');
        const char* got = p->GetParamString(c.name, &dest[0], c.capacity);
        EXPECT_EQ(got ? std::string(got) : "<missing>", c.value ? c.value : "<missing>") << c.name;
    }
    std::string full(kValueCapacity, 'Z');
    EXPECT_EQ(std::strlen(p->GetParamString("FULL", &full[0], kValueCapacity)), 1023u);
}

TEST(Document, NumbersAndFlagsAreReadAsTheShellReadsThem) {
    bool loaded = false;
    auto p = Load(kDocument, &loaded);
    const struct {
        const char* name;
        bool present;
        std::int32_t r[4];
    } numbers[] = {
        {"NUMS", true, {10, 20, 0, 0}},       {"FIVE", true, {1, 2, 3, 4}},
        {"WORDS", true, {0, 0, 0, 0}},        {"SIGNS", true, {-3, 4, 2147483647, 0}},
        {"ONE", false, {7, 0, 0, 0}},         {"E", false, {0, 0, 0, 0}},
        {"NONE", false, {0, 0, 0, 0}},
    };
    for (const auto& n : numbers) {
        std::int32_t r[4] = {9, 9, 9, 9};
        EXPECT_EQ(p->GetParamRect(n.name, r) != nullptr, n.present) << n.name;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(r[i], n.r[i]) << n.name << " number " << i;
    }
    for (const char* yes : {"FLAG", "SPLIT"}) EXPECT_TRUE(p->GetParamBool(yes, false)) << yes;
    for (const char* no : {"YES", "SPACED", "E"}) EXPECT_FALSE(p->GetParamBool(no, true)) << no;
    EXPECT_TRUE(p->GetParamBool("NONE", true));
}

TEST(Document, OnlyATextWithBothRootTagsBeforeItsFirstNulIsADocument) {
    const std::string refused[] = {"<html><body>a page</body></html>", "<korvane><A>1</A>", "<A>1</A></korvane>",
                                   "</korvane><korvane>", "<korvane ><A>1</A></korvane>", " \r\n\t ", "",
                                   std::string("<korvane>\0</korvane>", 20)};
    for (const std::string& doc : refused) {
        bool loaded = true;
        Load(doc, &loaded);
        EXPECT_FALSE(loaded) << doc;
    }
    bool loaded = false;
    Load("<korvane></korvane>", &loaded);
    EXPECT_TRUE(loaded) << "an empty root is a document without parameters";
    char text[] = " \x01 a\tb \x1f  ";
    StripControlChars(text);
    EXPECT_STREQ(TrimSpaces(text), "ab");
}

// The size an image declares, where the whole-program tables do not look:
// a frame past a GIF's screen, a bottom-up BMP, a JPEG's frame after others.
TEST(ImageSize, IsReadFromTheHeaderOfEachFormat) {
    using namespace std::string_literals;
    const std::string gif = "GIF89a\x10\0\x20\0\x80\0\0"s + std::string(6, '\0') + "!\xF9\x04" "abcd\0,\0\0\x05\0\0\x40\x01\0"s,
                      bmp = "BM"s + std::string(12, '\0') + "\x28\0\0\0\x10\x27\0\0\xF0\xD8\xFF\xFF"s,
                      jpeg = "\xFF\xD8\xFF\xE0\0\x04" "ab\xFF\xC2\0\x0B\x08\x01\x2C\x02\x58"s;
    unsigned size[3][2] = {};
    for (int i = 0; i < 3; ++i) {
        const std::string& file = i == 0 ? gif : i == 1 ? bmp : jpeg;
        EXPECT_TRUE(DeclaredImageSize(reinterpret_cast<const unsigned char*>(file.data()), file.size(), &size[i][0], &size[i][1]));
    }
    EXPECT_TRUE(size[0][0] == 16384 && size[0][1] == 32 && size[1][0] == 10000 && size[1][1] == 10000 &&
                size[2][0] == 600 && size[2][1] == 300);
    EXPECT_FALSE(WithinImageLimits(16385, 1) || WithinImageLimits(4097, 4096) || !WithinImageLimits(16384, 1024));
}

}  // namespace
