#include "checker/logic/check_logic.h"

#include <algorithm>

#include "remote/remote_params.h"

namespace check {

int CountOpeningTags(const std::string& lowered, const std::string& name) {
    std::string open = "<" + name + ">";
    LowerAscii(&open[0]);
    int count = 0;
    for (std::size_t at = lowered.find(open); at != std::string::npos; at = lowered.find(open, at + 1)) ++count;
    return count;
}

std::vector<std::string> TagTexts(const std::string& content) {
    std::vector<std::string> texts;
    for (std::size_t open = content.find('<'); open != std::string::npos; open = content.find('<', open + 1)) {
        const std::size_t close = content.find('>', open);
        // "<!-- <SKIN>": only the innermost "<...>" is a tag.
        if (close == std::string::npos || content.find('<', open + 1) < close) continue;
        const std::string text = content.substr(open + 1, close - open - 1);
        if (text.empty() || text[0] == '/' || text[0] == '!' || text[0] == '?') continue;
        if (std::find(texts.begin(), texts.end(), text) == texts.end()) texts.push_back(text);
    }
    return texts;
}

}  // namespace check
