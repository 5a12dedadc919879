// The skin checker's own reasoning, natively under the sanitizers: value
// readings, tag positions in a raw document, geometry at the edges of the
// integer range, and the preview picture.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/check_logic.h"

using namespace check;

TEST(CheckerValues, NumberTokensAndFlags) {
    EXPECT_EQ(SplitNumberTokens(",,10,,20,"), (std::vector<std::string>{"10", "20"}));
    EXPECT_TRUE(SplitNumberTokens("").empty());
    EXPECT_TRUE(SplitNumberTokens(",,,").empty());
    EXPECT_TRUE(IsPlainInteger(" -12 "));
    EXPECT_TRUE(IsPlainInteger("+3"));
    for (const char* odd : {"10px", "a", "", " ", "-", "1 2", "0x10"}) EXPECT_FALSE(IsPlainInteger(odd)) << odd;

    EXPECT_TRUE(LooksAffirmative(" YES "));
    EXPECT_TRUE(LooksAffirmative("1"));
    EXPECT_FALSE(LooksAffirmative("no"));
    EXPECT_FALSE(LooksAffirmative("yesterday"));

    EXPECT_TRUE(IsSixHexDigits("a0B1c2"));
    for (const char* odd : {"#FF8000", "FFF", "FF80000", "GG0000", ""}) EXPECT_FALSE(IsSixHexDigits(odd)) << odd;

    EXPECT_EQ(ShortenForReport("abc", 3), "abc");
    EXPECT_EQ(ShortenForReport("abcdef", 3), "abc...(6 characters)");

    EXPECT_TRUE(LooksLikeSeveralNumbers("50 20"));
    EXPECT_FALSE(LooksLikeSeveralNumbers(" -50px"));
    const std::vector<std::string> names = {"SKIN", "BUTTON_MIN_POS", "APP_TITLE"};
    EXPECT_EQ(NearestName("buton_min_pos", names), "BUTTON_MIN_POS");
    EXPECT_EQ(NearestName("APP_TITEL", names), "APP_TITLE");  // a swap is two slips
    for (const char* far : {"SK", "BUTTON_MAX_SIZE", ""}) EXPECT_EQ(NearestName(far, names), "") << far;
    EXPECT_EQ(ConnectionError(12029, "127.0.0.80", 80), "could not connect to 127.0.0.80:80 (error 12029)");
    EXPECT_EQ(ConnectionError(1, "h", 8), "no answer from h:8 (error 1)");
}

TEST(CheckerImageFiles, FormatsFromTheFirstBytes) {
    Image two;
    two.width = 2;
    two.height = 1;
    two.px = {0xFF00FF, 0x2850C8};
    std::string bmp = EncodeBmp24(two);
    EXPECT_EQ(FormatName(SniffFormat(bmp)), "BMP-24");
    bmp[28] = 8;
    bmp[30] = 1;
    EXPECT_EQ(FormatName(SniffFormat(bmp)), "BMP-8-RLE");
    const std::string gif = EncodeGif(two);
    EXPECT_EQ(FormatName(SniffFormat(gif)), "GIF");
    // A looping animation's block, then a graphic control with the transparency flag.
    const std::string transparent = gif.substr(0, 25) + std::string("\x21\xFF\x0BNETSCAPE2.0\x03\x01\0\0\0", 19) +
                                    std::string("\x21\xF9\x04\x01\0\0\x01\0", 8) + gif.substr(25);
    EXPECT_EQ(FormatName(SniffFormat(transparent)), "GIF-transparent");
    EXPECT_EQ(FormatName(SniffFormat(std::string("\x89PNG\r\n\x1A\n", 8))), "PNG");
    EXPECT_EQ(FormatName(SniffFormat("\xFF\xD8\xFF\xE0")), "JPEG");
    EXPECT_EQ(FormatName(SniffFormat("  <html>404</html>")), "HTML-or-XML");
    EXPECT_EQ(FormatName(SniffFormat("BM")), "unknown");
    EXPECT_FALSE(IsSkinFormat(SniffFormat(std::string("\0\0\1\0", 4)).kind));
    EXPECT_TRUE(IsSkinFormat(FileKind::Jpeg));

    // Colours by first appearance; a 257th colour makes no GIF.
    EXPECT_EQ(gif.substr(13, 6), std::string("\xFF\0\xFF\x28\x50\xC8", 6));
    Image many;
    many.width = 257;
    many.height = 1;
    for (std::uint32_t i = 0; i < 257; ++i) many.px.push_back(i);
    EXPECT_EQ(EncodeGif(many), "");
}

TEST(CheckerRawDocument, RootAndTagPositions) {
    const std::string raw = "<Skin>out</Skin><KORVANE>\r\n<SKIN>a</SKIN><skin>b</skin><SKINNY>c</SKINNY>"
                            "<App_Title>t\t</APP_TITLE></korvane><APP_TITLE>x</APP_TITLE>\0<SKIN>";
    const std::string cleaned = CleanForSearch(raw.data(), raw.size());
    EXPECT_EQ(cleaned.find('\r'), std::string::npos);
    EXPECT_EQ(cleaned.find("\0", 0, 1), std::string::npos);
    std::size_t begin = 0, end = 0;
    ASSERT_EQ(FindRoot(cleaned, &begin, &end), RootState::Ok);
    EXPECT_EQ(cleaned.substr(begin, 6), "<skin>");

    const TagScan skin = ScanTag(cleaned, "SKIN");
    EXPECT_EQ(skin.inside, 2);  // <skinny> is another tag
    EXPECT_EQ(skin.outside, 1);
    EXPECT_TRUE(skin.closeInside);
    EXPECT_FALSE(skin.closeBeforeOpen);
    const TagScan title = ScanTag(cleaned, "APP_TITLE");
    EXPECT_EQ(title.inside, 1);
    EXPECT_EQ(title.outside, 1);
    const TagScan none = ScanTag(cleaned, "APP_TOP_MOST");
    EXPECT_EQ(none.inside + none.outside, 0);

    const std::string swapped = CleanForSearch("<korvane></A><A>v</korvane>", 27);
    EXPECT_TRUE(ScanTag(swapped, "A").closeBeforeOpen);
    const std::string unclosed = CleanForSearch("<korvane><A>v</korvane></A>", 27);
    EXPECT_FALSE(ScanTag(unclosed, "A").closeInside);
    // A tag that begins inside the root but ends past its close is not seen.
    const std::string straddle = "<korvane>x<a</korvane>";
    EXPECT_EQ(ScanTag(straddle, "a</korvane").inside, 0);

    const std::string tags = "<x><korvane><!-- <SKIN>a</SKIN> --><SKIN >b</SKIN ><Buton>c</Buton><skin></korvane>";
    EXPECT_EQ(TagTexts(CleanForSearch(tags.data(), tags.size())), (std::vector<std::string>{"skin", "skin ", "buton"}));

    EXPECT_EQ(FindRoot("<html>", nullptr, nullptr), RootState::NoOpenTag);
    EXPECT_EQ(FindRoot("<korvane>", nullptr, nullptr), RootState::NoCloseTag);
    EXPECT_EQ(FindRoot("</korvane><korvane>", nullptr, nullptr), RootState::CloseBeforeOpen);
    EXPECT_TRUE(CleanForSearch(nullptr, 10).empty());
}

TEST(CheckerGeometry, PlacementsAtTheEdgesOfTheRange) {
    CutMask mask;
    mask.width = 4;
    mask.height = 3;
    mask.cut = {1, 1, 0, 0,  //
                0, 0, 0, 0,  //
                0, 0, 0, 1};
    EXPECT_EQ(CutPixelsUnder(mask, Rect{0, 0, 4, 3}), 3);
    EXPECT_EQ(CutPixelsUnder(mask, Rect{-5, -5, 6, 6}), 1);
    EXPECT_EQ(CutPixelsUnder(mask, Rect{INT_MAX, INT_MAX, INT_MAX, INT_MAX}), 0);
    EXPECT_EQ(CutPixelsUnder(mask, Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}), 0);
    EXPECT_EQ(PixelsOutside(mask, Rect{2, 1, 4, 4}), 16 - 4);
    EXPECT_EQ(PixelsOutside(mask, Rect{0, 0, -4, 3}), 0);
    EXPECT_EQ(PixelsOutside(mask, Rect{INT_MAX, 0, INT_MAX, 1}), static_cast<long long>(INT_MAX));

    EXPECT_TRUE(Inside(Rect{0, 0, 4, 3}, 4, 3));
    EXPECT_FALSE(Inside(Rect{1, 0, 4, 3}, 4, 3));
    EXPECT_FALSE(Inside(Rect{0, 0, 0, 3}, 4, 3));
    EXPECT_FALSE(Inside(Rect{INT_MAX, 0, INT_MAX, 1}, 4, 3));

    EXPECT_TRUE(Overlap(Rect{0, 0, 2, 2}, Rect{1, 1, 2, 2}));
    EXPECT_FALSE(Overlap(Rect{0, 0, 2, 2}, Rect{2, 0, 2, 2}));  // touching edges
    EXPECT_FALSE(Overlap(Rect{0, 0, 0, 2}, Rect{0, 0, 2, 2}));
    EXPECT_FALSE(Overlap(Rect{INT_MAX, 0, INT_MAX, 1}, Rect{INT_MIN, 0, 1, 1}));

    // Each half rounded toward zero before the subtraction.
    const Rect centred = WindowOnScreen(false, 5, 5, 301, 201, 1024, 768);
    EXPECT_EQ(centred.x, 362);
    EXPECT_EQ(centred.y, 284);
    EXPECT_EQ(WindowOnScreen(false, 0, 0, 1001, 10, 800, 600).x, -100);
    EXPECT_EQ(WindowOnScreen(true, -7, 9, 1, 1, 800, 600).x, -7);

    EXPECT_EQ(PlaceWithin(Rect{290, -3, 20, 16}, 301, 201), "x <= 281 and y >= 0");
    EXPECT_EQ(PlaceWithin(Rect{0, 0, 302, 1}, 301, 201), "");
    EXPECT_EQ(MoveClearOf(Rect{275, 10, 20, 16}, Rect{270, 5, 20, 16}, 301, 201), "y >= 21");
    // The nearest move, x >= 291, would leave the area.
    EXPECT_EQ(MoveClearOf(Rect{270, 40, 20, 16}, Rect{10, 30, 281, 120}, 301, 201), "y <= 14");
    EXPECT_EQ(MoveClearOf(Rect{0, 0, 10, 10}, Rect{0, 0, 301, 201}, 301, 201), "");
}

TEST(CheckerPreview, ComposedPictureAndItsFile) {
    Image skin;
    skin.width = 20;
    skin.height = 10;
    for (int i = 0; i < 200; ++i) skin.px.push_back(0x101010u * static_cast<std::uint32_t>(i % 7));
    CutMask mask;
    mask.width = 20;
    mask.height = 10;
    mask.cut.assign(200, 0);
    mask.cut[0] = 1;            // (0,0)
    mask.cut[9 * 20 + 19] = 1;  // (19,9)
    Image button;
    button.width = 3;
    button.height = 2;
    button.px.assign(6, 0x00AB00);
    const Rect browser{-3, 4, 10, 100};
    const Image out = ComposePreview(skin, mask, {{18, 8, &button}}, &browser, nullptr);
    EXPECT_EQ(out.at(0, 0), CheckerAt(0, 0));
    EXPECT_EQ(out.at(19, 9), CheckerAt(19, 9));     // the button does not show over a cut
    EXPECT_EQ(out.at(18, 8), 0x00AB00u);              // clipped at the skin's edge
    EXPECT_EQ(out.at(19, 8), 0x00AB00u);
    EXPECT_EQ(out.at(18, 9), 0x00AB00u);
    EXPECT_EQ(out.at(6, 4), kBrowserOutline);       // the outline's top and right edge
    EXPECT_EQ(out.at(6, 9), kBrowserOutline);
    EXPECT_EQ(out.at(0, 4), kBrowserOutline);
    EXPECT_EQ(out.at(0, 5), skin.at(0, 5));         // its left edge lies off the picture
    EXPECT_EQ(out.at(7, 5), skin.at(7, 5));
    EXPECT_NE(CheckerAt(0, 0), CheckerAt(8, 0));
    EXPECT_EQ(CheckerAt(0, 0), CheckerAt(8, 8));

    const Image both = Beside(button, skin, 1);
    EXPECT_EQ(both.width, 24);
    EXPECT_EQ(both.at(2, 1), 0x00AB00u);
    EXPECT_EQ(both.at(3, 0), CheckerAt(3, 0));  // the gap
    EXPECT_EQ(both.at(4, 0), skin.at(0, 0));
    EXPECT_EQ(both.at(0, 5), CheckerAt(0, 5));  // below the lower picture

    // Extreme rectangles do not reach outside the picture.
    const Rect huge{INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    const Rect far{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    ComposePreview(skin, mask, {{INT_MIN, INT_MAX, &button}}, &huge, &far);

    Image odd;
    odd.width = 3;
    odd.height = 2;
    odd.px = {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112};
    const std::string bmp = EncodeBmp24(odd);
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    EXPECT_EQ(BmpPromisedBytes(bmp), static_cast<long long>(bmp.size()));
    // Bottom row first, blue green red, rows padded to four bytes.
    EXPECT_EQ(bmp.substr(54, 12), std::string("\x0C\x0B\x0A\x0F\x0E\x0D\x12\x11\x10\0\0\0", 12));
    EXPECT_EQ(BmpPromisedBytes(bmp.substr(0, 60)), static_cast<long long>(bmp.size()));
    EXPECT_EQ(BmpPromisedBytes("GIF89a" + std::string(60, '\0')), -1);
    std::string topDown = bmp;
    topDown[25] = '\xFF';  // height -2
    topDown[22] = '\xFE';
    topDown[23] = topDown[24] = '\xFF';
    EXPECT_EQ(BmpPromisedBytes(topDown), static_cast<long long>(bmp.size()));
}
