// Arbitrary bytes as a fetched image's header and as a fetched document:
// every lookup the shell makes, into destinations of exactly their capacity
// so that the sanitizers see any overrun, and what the lookups promise.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "remote/image_size.h"
#include "remote/remote_params.h"
#include "remote/skin_params.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void LookUp(CRemoteParams& params, const char* name) {
    // Each capacity's lookup must agree with the full-size one.
    std::string full(kValueCapacity, 'Z');
    const bool found = params.GetParamString(name, &full[0], kValueCapacity) != nullptr;
    full.resize(std::strlen(full.c_str()));
    Check(std::string(params.contextText) == std::string("Parameter: ") + name);
    for (std::size_t capacity : {1, 2, 7, 32, 1024}) {
        char* dest = static_cast<char*>(std::malloc(capacity));  // one byte past is an ASan report
        const char* result = params.GetParamString(name, dest, capacity);
        Check(result ? found && full == dest : dest[0] == '\0' && (!found || full.size() >= capacity));
        for (const char* c = dest; *c; ++c) Check(static_cast<unsigned char>(*c) >= 32);
        std::free(dest);
    }
    std::int32_t rect[4] = {7, 7, 7, 7};
    const bool numbers = params.GetParamRect(name, rect) != nullptr;
    Check(!numbers || (found && !full.empty()));
    if (!found) Check(rect[0] == 0 && rect[1] == 0 && rect[2] == 0 && rect[3] == 0);
    Check(params.GetParamBool(name, true) == (found ? params.GetParamBool(name, false) : true));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0x100000) return 0;  // the fetch never hands over more
    unsigned width = 0, height = 0;
    DeclaredImageSize(data, size, &width, &height);  // every byte may be an image, too
    char* body = static_cast<char*>(std::malloc(size + 1));
    if (size) std::memcpy(body, data, size);
    body[size] = '\0';
    CRemoteParams params;
    if (!params.PrepareDocument(body, static_cast<std::uint32_t>(size), "http://127.0.0.1/doc.xml")) return 0;
    const std::size_t length = std::strlen(params.text);
    Check(std::strlen(params.lowerText) == length);
    for (std::size_t i = 0; i < length; ++i) {
        const char c = params.text[i];
        Check(static_cast<unsigned char>(c) >= 32 && params.lowerText[i] == ((c >= 'A' && c <= 'Z') ? c + 32 : c));
    }
    Check(length == 0 || (params.text[0] != ' ' && params.text[length - 1] != ' '));
    for (const ParamRule& rule : kLookupOrder) LookUp(params, rule.name);
    for (const char* name : {param::kImagesPath, param::kRoot, "a", ""}) LookUp(params, name);
    return 0;
}
