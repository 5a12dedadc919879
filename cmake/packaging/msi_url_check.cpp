// The MSI's check of its public property KORVANE_URL, run before anything is
// installed. The Start-menu shortcut hands the URL to the shell as its one,
// unquoted argument, so it must be an http:// or https:// URL with nothing in
// it that would split or end the argument, and fit the shell's 1024-character
// URL buffer. A refused URL fails the install with a message in its log (and
// in a message box when the install has a user interface), so an
// administrator's typo never reaches the desks as a shortcut that opens the
// wrong thing.
#include "common/handles.h"
#include <msi.h>
#include <msiquery.h>
#include <cstring>
#include <string>

namespace {

struct MsiHandleCloser { void operator()(MSIHANDLE h) const { MsiCloseHandle(h); } };
using UniqueMsiHandle = UniqueHandle<MSIHANDLE, MsiHandleCloser>;

bool acceptable(const char* url)
{
    const char* rest = _strnicmp(url, "http://", 7) == 0 ? url + 7 : _strnicmp(url, "https://", 8) == 0 ? url + 8 : nullptr;
    if (!rest || !*rest)
        return false;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(rest); *c; ++c) {
        if (*c <= ' ' || *c == 0x7f || *c == '"')
            return false;
    }
    return true;
}

}  // namespace

extern "C" __declspec(dllexport) UINT __stdcall CheckKorvaneUrl(MSIHANDLE install)
{
    char url[1024];
    DWORD size = sizeof url;
    UINT got = MsiGetPropertyA(install, "KORVANE_URL", url, &size);
    // None: the shell's built-in URL. ERROR_MORE_DATA: longer than the shell takes.
    if (got == ERROR_SUCCESS && (size == 0 || acceptable(url)))
        return ERROR_SUCCESS;

    // The log shows the URL as given, its control characters as '?'.
    std::string shown = got == ERROR_SUCCESS ? url : "a URL of more than 1023 characters";
    for (char& c : shown) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7f)
            c = '?';
    }
    UniqueMsiHandle record(MsiCreateRecord(1));
    MsiRecordSetStringA(record.get(), 0,
                        "KORVANE_URL must start with http:// or https://, hold no spaces, quotes or control "
                        "characters and be at most 1023 characters long: [1]");
    MsiRecordSetStringA(record.get(), 1, shown.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR), record.get());
    return ERROR_INSTALL_FAILURE;
}
