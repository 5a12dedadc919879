// Embeds the system web-browser control and keeps it fed with our sites.
#include "browser/browser_host.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <new>

#include <urlmon.h>

#include "browser/sites.h"
#include "common/com_ptr.h"
#include "controls/info_win.h"
#include "remote/skin_params.h"

static_assert(CLSCTX_ALL == 0x17, "the control may live in any kind of server");

namespace {

// x + width in the wrapping arithmetic of 32-bit coordinates: the numbers come
// from a server document and may be anything.
LONG AddCoordinates(int origin, int extent) {
    return static_cast<LONG>(static_cast<uint32_t>(origin) + static_cast<uint32_t>(extent));
}

// The protections that the browser itself runs with and that a program
// hosting the control gets only by asking: each is off for hosts by default.
// Windows takes the local machine lockdown only from the registry, which the
// shell never writes, so that one call may fail; pages cannot open local
// files anyway, as the event sink refuses them.
constexpr INTERNETFEATURELIST kProtections[] = {
    FEATURE_ZONE_ELEVATION, FEATURE_MIME_HANDLING, FEATURE_MIME_SNIFFING, FEATURE_WINDOW_RESTRICTIONS,
    FEATURE_WEBOC_POPUPMANAGEMENT, FEATURE_DISABLE_MK_PROTOCOL, FEATURE_LOCALMACHINE_LOCKDOWN,
    FEATURE_RESTRICT_ACTIVEXINSTALL, FEATURE_VALIDATE_NAVIGATE_URL, FEATURE_RESTRICT_FILEDOWNLOAD,
    FEATURE_PROTOCOL_LOCKDOWN, FEATURE_HTTP_USERNAME_PASSWORD_DISABLE, FEATURE_SAFE_BINDTOOBJECT,
    FEATURE_UNC_SAVEDFILECHECK,
    // Not a protection: no click at every navigation.
    FEATURE_DISABLE_NAVIGATION_SOUNDS};

// The active object that the control handed over or, until it has, the one
// it answers for when asked.
ComPtr<IOleInPlaceActiveObject> ActiveObjectOf(const CBrowserHost& host) {
    ComPtr<IOleInPlaceActiveObject> active;
    if (host.activeObject) {
        host.activeObject->AddRef();
        active = ComPtr<IOleInPlaceActiveObject>::Attach(host.activeObject);
    } else if (host.oleObject) {
        host.oleObject->QueryInterface(IID_IOleInPlaceActiveObject, active.put_void());
    }
    return active;
}

// The control's own window, the one its page windows live in.
HWND PageWindow(const CBrowserHost& host) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (host.oleObject) host.oleObject->QueryInterface(IID_IOleInPlaceObject, inPlace.put_void());
    HWND page = nullptr;
    if (!inPlace || FAILED(inPlace->GetWindow(&page))) return nullptr;
    return page;
}

bool IsKeyMessage(UINT message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

}  // namespace

HRESULT HResultFromWin32(DWORD error) {
    if (static_cast<LONG>(error) <= 0) return static_cast<HRESULT>(error);
    return static_cast<HRESULT>((error & 0x0000FFFFu) | 0x80070000u);
}

HRESULT WideToAnsi(const wchar_t* text, char** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (!text) return S_OK;

    // As many bytes as the code page needs: under a multi-byte one a
    // character can take three or four.
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    char* buffer = bytes > 0 ? static_cast<char*>(CoTaskMemAlloc(static_cast<SIZE_T>(bytes))) : nullptr;
    if (bytes > 0 && !buffer) return E_OUTOFMEMORY;
    if (!buffer || WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, bytes, nullptr, nullptr) == 0) {
        HRESULT hr = HResultFromWin32(GetLastError());
        CoTaskMemFree(buffer);
        // A failure without an error code must still read as a failure.
        return FAILED(hr) ? hr : E_FAIL;
    }
    *out = buffer;
    return S_OK;
}

CBrowserHost::CBrowserHost() = default;

CBrowserHost::~CBrowserHost() {
    destroying = true;

    // Take every pointer to our sites back from the control first: its events
    // connection, its in-place activation and its client site.
    if (eventsPoint) {
        eventsPoint->Unadvise(eventsCookie);
        eventsPoint->Release();
        eventsPoint = nullptr;
    }
    if (oleObject) {
        oleObject->Close(OLECLOSE_NOSAVE);
        oleObject->SetClientSite(nullptr);
        oleObject->Release();
        oleObject = nullptr;
    }
    if (activeObject) {
        activeObject->Release();
        activeObject = nullptr;
    }
    // The control may still call the sites while it lets go of itself, and
    // the end of OLE may pump messages that reach it: the sites go last.
    if (browser) {
        browser->Release();
        browser = nullptr;
    }
    if (oleInitialized) {
        oleInitialized = false;
        OleUninitialize();
    }

    delete clientSite;
    clientSite = nullptr;
    delete uiHandler;
    uiHandler = nullptr;
    delete inPlaceSite;
    inPlaceSite = nullptr;
    delete frame;
    frame = nullptr;
    delete eventSink;
    eventSink = nullptr;

    delete statusWin;
    statusWin = nullptr;
    statusWnd = nullptr;
}

CBrowserHost* CBrowserHost::Create(HWND parent, const char* startUrl, int x, int y, int width,
                                   int height, bool showMenu) {
    statusWin = nullptr;
    statusWnd = nullptr;

    // Usually S_OK or S_FALSE; a thread already in the multithreaded apartment
    // refuses, and then there is nothing to undo at the end.
    oleInitialized = SUCCEEDED(OleInitialize(nullptr));

    showIeMenu = showMenu;
    refCount = 1;
    parentWnd = parent;

    clientSite = new (std::nothrow) CClientSite(this);
    uiHandler = new (std::nothrow) CUIHandler(this);
    inPlaceSite = new (std::nothrow) CInPlaceSite(this);
    frame = new (std::nothrow) CInPlaceFrame(this);
    eventSink = new (std::nothrow) CEventSink(this);

    // For the whole process and before the control exists, so that nothing
    // it loads escapes them. One that fails leaves that part as it was.
    for (INTERNETFEATURELIST feature : kProtections) CoInternetSetFeatureEnabled(feature, SET_FEATURE_ON_PROCESS, TRUE);

    ComPtr<IUnknown> control;
    CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_ALL, IID_IUnknown, control.put_void());
    if (!control) return this;

    ComPtr<IOleObject> object;
    control.As(IID_IOleObject, &object);
    if (object) object->SetClientSite(clientSite);

    RECT rect;
    rect.left = x;
    rect.top = y;
    rect.right = AddCoordinates(x, width);
    rect.bottom = AddCoordinates(y, height);

    ComPtr<IOleInPlaceObject> inPlace;
    control.As(IID_IOleInPlaceObject, &inPlace);
    if (inPlace) inPlace->SetObjectRects(&rect, &rect);
    inPlace.reset();

    // The control calls back into the sites from in here and puts its window
    // into ours at the rectangle.
    if (object) object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, clientSite, 0, parentWnd, &rect);
    oleObject = object.detach();

    ComPtr<IConnectionPointContainer> container;
    control.As(IID_IConnectionPointContainer, &container);
    if (container) {
        ComPtr<IConnectionPoint> point;
        container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put());
        DWORD cookie = 0;
        if (point && SUCCEEDED(point->Advise(eventSink, &cookie))) {
            eventsPoint = point.detach();
            eventsCookie = cookie;
        }
    }

    control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser));
    control.reset();
    if (!browser) return this;

    // The whole start page, however long: a cut address opens another page.
    const char* url = startUrl ? startUrl : param::kBlankPage;
    const int wideLength = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, url, -1, nullptr, 0);
    BSTR bstrUrl = wideLength > 0 ? SysAllocStringLen(nullptr, wideLength - 1) : nullptr;
    if (bstrUrl && MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, url, -1, bstrUrl, wideLength) == wideLength)
        browser->Navigate(bstrUrl, nullptr, nullptr, nullptr, nullptr);
    SysFreeString(bstrUrl);
    return this;
}

void CBrowserHost::CreateStatusWindow(HINSTANCE instance, int x, int y, int width, int height,
                                      const char* colourText) {
    statusWin = new (std::nothrow) CInfoWin();
    if (!statusWin) return;
    statusWnd = statusWin->Create(parentWnd, instance, x, y, width, height, colourText);
}

void CBrowserHost::Place(int x, int y, int width, int height) {
    ComPtr<IOleInPlaceObject> inPlace;
    if (oleObject) oleObject->QueryInterface(IID_IOleInPlaceObject, inPlace.put_void());
    RECT rect{x, y, AddCoordinates(x, width), AddCoordinates(y, height)};
    if (inPlace) inPlace->SetObjectRects(&rect, &rect);
}

void CBrowserHost::UIActivate() {
    if (!oleObject) return;
    RECT rect{};
    if (HWND page = PageWindow(*this)) {
        GetWindowRect(page, &rect);
        MapWindowPoints(nullptr, parentWnd, reinterpret_cast<POINT*>(&rect), 2);
    }
    oleObject->DoVerb(OLEIVERB_UIACTIVATE, nullptr, clientSite, 0, parentWnd, &rect);
    // A control that was in place already may take the focus no further than
    // its own window, or not at all.
    FocusPage();
}

void CBrowserHost::FocusPage() {
    HWND page = PageWindow(*this);
    HWND focus = GetFocus();
    if (page && focus != page && !IsChild(page, focus)) SetFocus(page);
}

bool CBrowserHost::TranslateKey(MSG* msg) {
    if (!msg || !IsKeyMessage(msg->message)) return false;
    HWND page = PageWindow(*this);
    if (!page || (msg->hwnd != page && !IsChild(page, msg->hwnd))) return false;
    ComPtr<IOleInPlaceActiveObject> active = ActiveObjectOf(*this);
    return active && active->TranslateAccelerator(msg) == S_OK;
}

STDMETHODIMP CBrowserHost::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;

    void* answer = nullptr;
    bool known = true;
    if (IsEqualIID(iid, IID_IUnknown)) {
        answer = static_cast<IUnknown*>(this);
    } else if (IsEqualIID(iid, IID_IDocHostUIHandler)) {
        answer = static_cast<IDocHostUIHandler*>(uiHandler);
    } else if (IsEqualIID(iid, IID_IOleClientSite)) {
        answer = static_cast<IOleClientSite*>(clientSite);
    } else if (IsEqualIID(iid, IID_IOleInPlaceSite)) {
        answer = static_cast<IOleInPlaceSite*>(inPlaceSite);
    } else if (IsEqualIID(iid, IID_IOleInPlaceFrame)) {
        answer = static_cast<IOleInPlaceFrame*>(frame);
    } else if (IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        answer = static_cast<IDispatch*>(eventSink);
    } else {
        known = false;
    }
    if (!known || !answer) return E_NOINTERFACE;

    *out = answer;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CBrowserHost::AddRef() {
    return ++refCount;
}

STDMETHODIMP_(ULONG) CBrowserHost::Release() {
    if (refCount != 0) --refCount;
    if (refCount == 0 && !destroying) {
        delete this;
        return 0;
    }
    return refCount;
}
