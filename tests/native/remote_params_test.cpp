// The parameter document's cleaning, root extraction and lookups, run natively
// under AddressSanitizer and UndefinedBehaviourSanitizer.
#include "remote/remote_params.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char* const kUrl = "http://127.0.0.5/skin/doc.xml";

// A body as the fetch hands it over: malloc'd, one NUL after the bytes.
char* Body(const std::string& bytes) {
    char* body = static_cast<char*>(std::malloc(bytes.size() + 1));
    std::memcpy(body, bytes.data(), bytes.size());
    body[bytes.size()] = '\0';
    return body;
}

std::unique_ptr<CRemoteParams> Load(const std::string& document, bool* loaded = nullptr) {
    auto params = std::make_unique<CRemoteParams>();
    const bool ok = params->PrepareDocument(Body(document), static_cast<std::uint32_t>(document.size()), kUrl);
    if (loaded) *loaded = ok;
    return params;
}

std::unique_ptr<CRemoteParams> LoadRoot(const std::string& content) {
    bool loaded = false;
    auto params = Load("<korvane>" + content + "</korvane>", &loaded);
    EXPECT_TRUE(loaded);
    return params;
}

// The value as a string, or "<missing>" when the lookup fails.
std::string Value(CRemoteParams& params, const char* name, std::size_t capacity = kValueCapacity) {
    std::string dest(capacity, 'Z');
    char* result = params.GetParamString(name, &dest[0], capacity);
    if (!result) {
        EXPECT_EQ('\0', dest[0]) << name << ": a failed lookup must leave the destination empty";
        return "<missing>";
    }
    EXPECT_EQ(&dest[0], result);
    return std::string(result);
}

}  // namespace

TEST(DocumentLoad, KeepsOnlyTheFirstRootElementInAnyCase) {
    bool loaded = false;
    auto p = Load("<html>junk <A>outside</A>\r\n<KorVane> <A>inside</A> </KORVANE> <B>after</B></korvane>", &loaded);
    ASSERT_TRUE(loaded);
    EXPECT_STREQ("<A>inside</A>", p->text);
    EXPECT_STREQ("<a>inside</a>", p->lowerText);
    EXPECT_EQ("inside", Value(*p, "A"));
    EXPECT_EQ("<missing>", Value(*p, "B")) << "text after the first closing root tag is ignored";
    EXPECT_STREQ(kUrl, p->sourceUrl);
}

TEST(DocumentLoad, RejectsDocumentsWithoutAUsableRoot) {
    const char* bad[] = {
        "<html><body>Not here</body></html>",
        "<korvane><A>1</A>",               // never closed
        "<A>1</A></korvane>",              // never opened
        "</korvane><korvane><A>1</A>",     // closed before it opens
        "<korvane ><A>1</A></korvane>",    // a blank inside the tag
        "<korvane",
    };
    for (const char* doc : bad) {
        bool loaded = true;
        auto p = Load(doc, &loaded);
        EXPECT_FALSE(loaded) << doc;
        EXPECT_STREQ("", p->sourceUrl) << doc;
    }
    // An empty root is a document with no parameters, not a failure.
    bool loaded = false;
    auto p = Load("<korvane></korvane>", &loaded);
    EXPECT_TRUE(loaded);
    EXPECT_STREQ("", p->text);
}

TEST(DocumentLoad, EmptyAndNullBodiesFailAndAreOwned) {
    CRemoteParams empty;
    EXPECT_FALSE(empty.PrepareDocument(Body(""), 0, kUrl));
    EXPECT_NE(nullptr, empty.text) << "the empty block stays with the object for its destructor";
    char dest[8] = "x";
    EXPECT_EQ(nullptr, empty.GetParamString("A", dest, sizeof dest));

    CRemoteParams none;
    EXPECT_FALSE(none.PrepareDocument(nullptr, 0, kUrl));
    EXPECT_EQ(nullptr, none.text);
    EXPECT_EQ(nullptr, none.lowerText);
    EXPECT_FALSE(none.GetParamBool("A", false));
    EXPECT_TRUE(none.GetParamBool("A", true));
    EXPECT_STREQ("", none.contextText) << "no lookup happens on an unloaded document";

    // Only spaces and control characters: nothing is left to hold a root.
    bool loaded = true;
    Load(" \r\n\t  ", &loaded);
    EXPECT_FALSE(loaded);
}

TEST(DocumentLoad, ReloadReplacesTheFirstDocument) {
    auto p = LoadRoot("<A>one</A>");
    const std::string second = "<korvane><A>two</A></korvane>";
    EXPECT_TRUE(p->PrepareDocument(Body(second), static_cast<std::uint32_t>(second.size()), kUrl));
    EXPECT_EQ("two", Value(*p, "A"));
}

TEST(DocumentLoad, EndsAtTheFirstNul) {
    const std::string doc("<korvane><A>before</A></korvane>\0<korvane>", 42);
    bool loaded = false;
    auto p = Load(doc, &loaded);
    EXPECT_TRUE(loaded);
    EXPECT_EQ("before", Value(*p, "A"));

    const std::string cut("<korvane><A>x</A>\0</korvane>", 28);
    Load(cut, &loaded);
    EXPECT_FALSE(loaded) << "the closing root tag stands after the NUL";
}

TEST(DocumentCleaning, ControlCharactersVanishAndHighBytesStay) {
    auto p = LoadRoot("<APP_\r\nTITLE>Hello\r\nWorld</APP_TITLE>"
                      "<TAB>a\tb\x01\x1f" "c</TAB>"
                      "<HIGH>\x7f\xc9\xe9\xff</HIGH>"
                      "<\xc9T\xc9>upper</\xc9T\xc9>");
    EXPECT_EQ("HelloWorld", Value(*p, "APP_TITLE")) << "a line break joins with nothing between";
    EXPECT_EQ("abc", Value(*p, "TAB"));
    EXPECT_EQ("\x7f\xc9\xe9\xff", Value(*p, "HIGH"));
    EXPECT_EQ(std::strlen(p->text), std::strlen(p->lowerText));
    // Only A to Z are folded: a Latin-1 capital does not match its small letter.
    EXPECT_EQ("upper", Value(*p, "\xc9t\xc9"));
    EXPECT_EQ("<missing>", Value(*p, "\xe9t\xe9"));
}

TEST(DocumentCleaning, TrimsOnlyTheSpaceCharacter) {
    auto p = LoadRoot("<A>   two  words   </A><B>\xa0x\xa0</B><C>      </C><D> \t </D>");
    EXPECT_EQ("two  words", Value(*p, "A"));
    EXPECT_EQ("\xa0x\xa0", Value(*p, "B"));
    EXPECT_EQ("", Value(*p, "C"));
    EXPECT_EQ("", Value(*p, "D")) << "the tab goes first, then the spaces";

    char all[] = "    ";
    EXPECT_EQ(all, TrimSpaces(all));
    EXPECT_STREQ("", all);
    char inner[] = "  a b ";
    EXPECT_STREQ("a b", TrimSpaces(inner));
    EXPECT_EQ(nullptr, TrimSpaces(nullptr));
    StripControlChars(nullptr);  // left alone, no crash
    char ctl[] = "\x01x\x1fy\x20z\x7f";
    StripControlChars(ctl);
    EXPECT_STREQ("xy z\x7f", ctl);
}

TEST(Lookup, MatchesTagsInAnyCaseAndKeepsTheValueCase) {
    auto p = LoadRoot("<App_Title>My Shell</aPP_tITLE>");
    EXPECT_EQ("My Shell", Value(*p, "APP_TITLE"));
    EXPECT_EQ("My Shell", Value(*p, "app_title"));
}

TEST(Lookup, StructureFreeSearch) {
    auto p = LoadRoot("<A>first</A><A>second</A>"
                      "<OUTER>x <INNER>deep</INNER> y</OUTER>"
                      "<SKINX>wrong</SKINX><SKIN>right</SKIN>"
                      "<E></E><SP> </SP>"
                      "<AMP>&amp; &lt;b&gt; <b>bold</b></AMP>"
                      "<X>1</Y><Y>2</X>");
    EXPECT_EQ("first", Value(*p, "A"));
    EXPECT_EQ("x <INNER>deep</INNER> y", Value(*p, "OUTER"));
    EXPECT_EQ("deep", Value(*p, "INNER")) << "a parameter inside another's value is found";
    EXPECT_EQ("right", Value(*p, "SKIN"));
    EXPECT_EQ("wrong", Value(*p, "SKINX"));
    EXPECT_EQ("", Value(*p, "E")) << "an empty element is present";
    EXPECT_EQ("", Value(*p, "SP"));
    EXPECT_EQ("&amp; &lt;b&gt; <b>bold</b>", Value(*p, "AMP")) << "nothing is decoded";
    EXPECT_EQ("1</Y><Y>2", Value(*p, "X")) << "the value runs to the first closing tag of its own name";
    EXPECT_EQ("<missing>", Value(*p, "SKI"));
    EXPECT_EQ("<missing>", Value(*p, "NOPE"));
}

TEST(Lookup, MissingWhenTagsAreIncompleteOrOutOfOrder) {
    auto p = LoadRoot("</LATE><LATE>v</LATE><OPEN>v</CLOSE_ONLY>"
                      "<ODD>x</ODD ><BLANK >v</BLANK>");
    EXPECT_EQ("<missing>", Value(*p, "LATE")) << "the first closing tag stands before the opening one";
    EXPECT_EQ("<missing>", Value(*p, "OPEN"));
    EXPECT_EQ("<missing>", Value(*p, "CLOSE_ONLY"));
    EXPECT_EQ("<missing>", Value(*p, "ODD"));
    EXPECT_EQ("<missing>", Value(*p, "BLANK"));
    // Outside the root element nothing counts.
    bool loaded = false;
    auto q = Load("<TITLE>out</TITLE><korvane><A>in</A></korvane><AFTER>out</AFTER>", &loaded);
    ASSERT_TRUE(loaded);
    EXPECT_EQ("<missing>", Value(*q, "TITLE"));
    EXPECT_EQ("<missing>", Value(*q, "AFTER"));
}

TEST(Lookup, ValueMustFitTheDestination) {
    const std::string longest(kValueCapacity - 1, 'v');
    auto p = LoadRoot("<FULL>" + longest + "</FULL><OVER>" + longest + "w</OVER>"
                      "<COLOUR>" + std::string(31, 'C') + "</COLOUR>"
                      "<COLOUR2>" + std::string(32, 'C') + "</COLOUR2>"
                      "<PADDED>   abc   </PADDED>");
    EXPECT_EQ(longest, Value(*p, "FULL"));
    EXPECT_EQ("<missing>", Value(*p, "OVER"));
    EXPECT_STREQ("Parameter: OVER", p->contextText);
    EXPECT_EQ(std::string(31, 'C'), Value(*p, "COLOUR", kColourCapacity));
    EXPECT_EQ("<missing>", Value(*p, "COLOUR2", kColourCapacity));
    EXPECT_EQ("abc", Value(*p, "PADDED", 4)) << "the trimmed value is what must fit";
    EXPECT_EQ("<missing>", Value(*p, "PADDED", 3));

    // The flag and number lookups read through a full-size buffer and treat an
    // oversized value as missing rather than overrunning it.
    EXPECT_TRUE(p->GetParamBool("OVER", true));
    std::int32_t r[4] = {9, 9, 9, 9};
    EXPECT_EQ(nullptr, p->GetParamRect("OVER", r));

    char one[1] = {'q'};
    EXPECT_EQ(nullptr, p->GetParamString("NOPE", one, 1));
    EXPECT_EQ('\0', one[0]);
    char tiny[1] = {'q'};
    auto e = LoadRoot("<E></E>");
    EXPECT_EQ(tiny, e->GetParamString("E", tiny, 1)) << "the empty value fits a one-byte destination";
    char untouched[4] = "abc";
    EXPECT_EQ(nullptr, e->GetParamString("E", untouched, 0));
    EXPECT_STREQ("abc", untouched);
}

TEST(Lookup, LongNamesAreMatchedAndCutOnlyInTheContextText) {
    const std::string name(3000, 'N');
    auto p = LoadRoot("<" + name + ">found</" + name + ">");
    EXPECT_EQ("found", Value(*p, name.c_str()));
    EXPECT_EQ(kValueCapacity - 1, std::strlen(p->contextText));
    EXPECT_EQ(0, std::strncmp(p->contextText, "Parameter: NNN", 14));
}

TEST(Numbers, SplitAtCommasAndReadLikeAtol) {
    auto p = LoadRoot("<TWO>10,20</TWO><GAP>10,,20</GAP><EDGES>,,5,6,,</EDGES>"
                      "<FIVE>1,2,3,4,5</FIVE><LETTERS>a,b</LETTERS><ONE>42</ONE>"
                      "<SIGNS> -7 , +8x,  0x10,- 3</SIGNS><EMPTY></EMPTY><COMMAS>,,,</COMMAS>"
                      "<BLANKTOKEN>10, ,20</BLANKTOKEN>"
                      "<LIMITS>-2147483648,2147483647,99999999999,-99999999999</LIMITS>");
    struct Case { const char* name; bool present; std::int32_t r[4]; };
    const Case cases[] = {
        {"TWO", true, {10, 20, 0, 0}},
        {"GAP", true, {10, 20, 0, 0}},
        {"EDGES", true, {5, 6, 0, 0}},
        {"FIVE", true, {1, 2, 3, 4}},
        {"LETTERS", true, {0, 0, 0, 0}},
        {"ONE", false, {42, 0, 0, 0}},
        {"SIGNS", true, {-7, 8, 0, 0}},
        {"EMPTY", false, {0, 0, 0, 0}},
        {"COMMAS", false, {0, 0, 0, 0}},
        {"BLANKTOKEN", true, {10, 0, 20, 0}},
        {"LIMITS", true, {INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN}},
        {"MISSING", false, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::int32_t r[4] = {-1, -1, -1, -1};
        std::int32_t* result = p->GetParamRect(c.name, r);
        EXPECT_EQ(c.present ? r : nullptr, result) << c.name;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(c.r[i], r[i]) << c.name << " field " << i;
        EXPECT_EQ(std::string("Parameter: ") + c.name, p->contextText);
    }
    EXPECT_EQ(nullptr, p->GetParamRect("TWO", nullptr));
}

TEST(Flags, TrueAnywhereInAnyCase) {
    auto p = LoadRoot("<UP>TRUE</UP><MIXED>True</MIXED><SENTENCE>it is true</SENTENCE>"
                      "<INWORD>untrue</INWORD><YES>yes</YES><ONE>1</ONE><FALSE>false</FALSE>"
                      "<EMPTY></EMPTY><SPLIT>tr\r\nue</SPLIT><SPACED>tr ue</SPACED>");
    EXPECT_TRUE(p->GetParamBool("UP", false));
    EXPECT_TRUE(p->GetParamBool("MIXED", false));
    EXPECT_TRUE(p->GetParamBool("SENTENCE", false));
    EXPECT_TRUE(p->GetParamBool("INWORD", false));
    EXPECT_TRUE(p->GetParamBool("SPLIT", false)) << "the line break is deleted before the search";
    EXPECT_FALSE(p->GetParamBool("SPACED", true));
    EXPECT_FALSE(p->GetParamBool("YES", true));
    EXPECT_FALSE(p->GetParamBool("ONE", true));
    EXPECT_FALSE(p->GetParamBool("FALSE", true));
    EXPECT_FALSE(p->GetParamBool("EMPTY", true)) << "present but empty is not the default";
    EXPECT_TRUE(p->GetParamBool("ABSENT", true));
    EXPECT_FALSE(p->GetParamBool("ABSENT", false));
    EXPECT_FALSE(p->GetParamBool(nullptr, true));
    // The stored document is not changed by the lowering of a flag's value.
    EXPECT_EQ("TRUE", Value(*p, "UP"));
}

TEST(ContextText, NamesTheLastLookupAsTheCallerSpelledIt) {
    bool loaded = false;
    auto p = Load("<KORVANE><App_Title>T</App_Title><R>1,2</R></KORVANE>", &loaded);
    ASSERT_TRUE(loaded);
    EXPECT_STREQ("Parameter: Korvane", p->contextText) << "the load leaves the root's name";

    char dest[kValueCapacity];
    p->GetParamString("app_TITLE", dest, sizeof dest);
    EXPECT_STREQ("Parameter: app_TITLE", p->contextText);
    std::int32_t r[4];
    EXPECT_EQ(nullptr, p->GetParamRect("APP_BROWSER_RECT", r));
    EXPECT_STREQ("Parameter: APP_BROWSER_RECT", p->contextText);
    EXPECT_NE(nullptr, p->GetParamRect("R", r));
    EXPECT_STREQ("Parameter: R", p->contextText);
    p->GetParamBool("APP_TOP_MOST", false);
    EXPECT_STREQ("Parameter: APP_TOP_MOST", p->contextText);
    // Calls that make no lookup leave it alone.
    EXPECT_EQ(nullptr, p->GetParamString("X", nullptr, 10));
    p->GetParamBool(nullptr, false);
    EXPECT_EQ(nullptr, p->GetParamString(nullptr, dest, sizeof dest));
    EXPECT_STREQ("Parameter: APP_TOP_MOST", p->contextText);

    // A failed load still names the root it looked for.
    auto q = Load("<html>no root</html>", &loaded);
    EXPECT_FALSE(loaded);
    EXPECT_STREQ("Parameter: Korvane", q->contextText);
}
