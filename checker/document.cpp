// The document, fetched once as the shell fetches it, and the shell's lookups
// in the shell's order, from the shell's own table.
#include <algorithm>

#include "checker/checker.h"
#include "checker/report.h"
#include "remote/url_split.h"

namespace {

// Why a fetch got no answer, in words.
std::string NoAnswer(const FetchResult& fetched, const std::string& url) {
    UrlParts parts;
    if (fetched.error == 0 || !SplitUrl(url.c_str(), &parts)) return "not an http or https URL the shell can fetch";
    return check::ConnectionError(fetched.error, parts.host, parts.port);
}

}  // namespace

FetchFault FaultOf(const FetchResult& fetched, const std::string& url, const std::string& what) {
    switch (RefusalOf(fetched)) {
    case Refusal::kNoAnswer:
        return {NoAnswer(fetched, url), "check that the server in IMAGES_PATH is up and reachable"};
    case Refusal::kStatus:
        return {"the server answered " + std::to_string(fetched.status), "put the file at that URL or correct its name"};
    case Refusal::kOverCap: return {"the " + what + " is larger than 1 MiB", "make it smaller, as GIF for example"};
    case Refusal::kCut:
        return {"the server sent less than the whole " + what, "check the server: the shell takes only whole files"};
    case Refusal::kTaken: break;
    }
    if (fetched.length == 0) return {"the " + what + " is empty", "upload it again"};
    return {"", ""};
}

int Checker::NotADocument(const FetchResult& fetched, const std::string& bytes) {
    std::string why = FaultOf(fetched, options_.url, "document").why;
    if (why.empty() && check::LooksUtf16(bytes))
        why = "the document is UTF-16, Notepad's \"Unicode\", and the shell reads bytes; save it as ANSI or UTF-8";
    if (why.empty()) {
        switch (FindValue(cleaned_.c_str(), param::kRoot, nullptr, nullptr)) {
        case ValueAt::kNoOpenTag: why = "no <korvane> tag"; break;
        case ValueAt::kNoCloseTag: why = "no </korvane> tag"; break;
        case ValueAt::kCloseFirst: why = "</korvane> stands before <korvane>"; break;
        case ValueAt::kFound: why = "the download failed"; break;
        }
    }
    if (fetched.answered)
        ReportLine("DOCUMENT url=%s status=%lu bytes=%s", options_.url.c_str(), fetched.status,
                   fetched.overCap ? "over-1MiB" : std::to_string(fetched.length).c_str());
    ReportLine("VERDICT 2 not a parameter document (%s): the shell would hand the URL to the web browser",
               why.c_str());
    return kNotADocument;
}

void Checker::UnknownTags() {
    std::vector<std::string> known = {param::kImagesPath};
    for (const ParamRule& rule : kLookupOrder) known.push_back(rule.name);
    for (const std::string& text : check::TagTexts(content_)) {
        std::string tag = text;
        for (char& c : tag) c = static_cast<char>((c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c);
        const std::string name = tag.substr(0, tag.find_first_of(" =\"'/"));
        const bool knownName = std::find(known.begin(), known.end(), name) != known.end();
        if ((knownName && name == tag) || _stricmp(name.c_str(), param::kRoot) == 0) continue;
        if (knownName) {
            Warn("write <" + name + ">", "<%s>: not read as %s: nothing but the name may stand in the tag",
                 tag.c_str(), name.c_str());
            continue;
        }
        const std::string nearest = check::NearestName(tag, known);
        Warn(nearest.empty() ? "remove it, or take the name from the guide's tables" : "did you mean " + nearest + "?",
             "<%s>: the shell reads no parameter of that name", tag.c_str());
    }
}

const Reading& Checker::Got(const char* name) const {
    std::size_t i = 0;
    while (i + 1 < kLookupOrder.size() && std::strcmp(kLookupOrder[i].name, name) != 0) ++i;
    return readings_[i];
}

check::Rect Checker::RectOf(const char* name) const {
    const std::int32_t* n = Got(name).numbers;
    return ScaleBoxToDpi(n[0], n[1], n[2], n[3], options_.dpi);
}

int Checker::Run() {
    ReportLine("CHECK url=%s", options_.url.c_str());
    FetchResult fetched = FetchUrl(options_.url.c_str(), true);
    const std::string bytes = fetched.body ? std::string(fetched.body.get(), fetched.length) : "";
    // The whole body as the shell cleans it, to see where tags stand outside
    // what the shell reads.
    cleaned_ = fetched.body ? fetched.body.get() : "";
    LowerAscii(CleanDocument(&cleaned_[0]));
    cleaned_.resize(std::strlen(cleaned_.c_str()));
    std::uint32_t length = 0;
    char* body = TakeBody(fetched, &length);
    if (!doc_.PrepareDocument(body, length, options_.url.c_str())) return NotADocument(fetched, bytes);
    content_ = doc_.lowerText;
    ReportLine("DOCUMENT url=%s status=200 bytes=%zu ms=%.0f", options_.url.c_str(),
               static_cast<std::size_t>(fetched.length), fetched.ms);
    budget_.push_back({"DOCUMENT", true, fetched.length, fetched.pauses, 1 + fetched.redirects});
    if (check::CountOpeningTags(content_, param::kRoot) > 0)
        Warn("remove the inner <korvane>",
             "KORVANE: a second <korvane> inside the root element: the first </korvane> ends it");
    UnknownTags();

    for (std::size_t i = 0; i < kLookupOrder.size(); ++i) {
        const ParamRule& rule = kLookupOrder[i];
        Reading& got = readings_[i];
        const bool read = !rule.onlyAfter || Got(rule.onlyAfter).present;
        if (read) Read(rule, got);
        else ReportLine("PARAM %s not read -> %s", rule.name, rule.unreadWhy);
        if (rule.stops && !got.present) StopWithParameterError();
        if (read && std::strcmp(rule.name, param::kLoaderPos) == 0 && NoPosition(got.numbers[0], got.numbers[1]))
            ReportLine("NOTE APP_LOADER_POS: loader centred");
        for (const ButtonSpec& button : kButtonSpecs) {
            if (std::strcmp(rule.name, button.normal) == 0) Button(button);
        }
    }

    Budget();
    Geometry();
    Preview();

    if (verdict_ == kStarts) ReportLine("VERDICT 0 shell would start");
    else ReportLine("VERDICT 1 %s", verdictText_.c_str());
    return verdict_;
}

void Checker::Button(const ButtonSpec& button) {
    const Reading& position = Got(button.position);
    const Reading &pressed = Got(button.pressed), &hot = Got(button.hot), &normal = Got(button.normal);
    const int x = position.numbers[0], y = position.numbers[1];
    const char* notMade = !position.present                                      ? "no position"
                          : !pressed.present || !hot.present || !normal.present ? "an image did not load"
                          : NoPosition(x, y)                                     ? "position 0,0"
                                                                                 : nullptr;
    if (notMade) return ReportLine("BUTTON %s not created: %s", button.label, notMade);
    ReportLine("BUTTON %s created x=%d y=%d size=%dx%d", button.label, x, y, normal.width, normal.height);
    const std::string sameSize =
        "make it " + std::to_string(normal.width) + "x" + std::to_string(normal.height) + " like " + button.normal;
    for (const char* name : {button.hot, button.pressed}) {
        const Reading& image = Got(name);
        if (image.width > normal.width || image.height > normal.height)
            Warn(sameSize, "%s: %dx%d is larger than the %dx%d normal image: drawn cut", name, image.width,
                 image.height, normal.width, normal.height);
        else if (image.width < normal.width || image.height < normal.height)
            Warn(sameSize, "%s: %dx%d is smaller than the %dx%d normal image: the rest keeps the last picture",
                 name, image.width, image.height, normal.width, normal.height);
    }
    const int dpi = options_.dpi;
    const check::Rect at{ScaleToDpi(x, dpi), ScaleToDpi(y, dpi), ScaleToDpi(normal.width, dpi),
                         ScaleToDpi(normal.height, dpi)};
    buttons_.push_back({button.label, at, normal.bitmap.get()});
}
