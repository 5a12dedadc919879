// A stand-in for the system web-browser control, registered for its class id
// inside the test process. It records what the host asks of it and calls back
// into the host's sites the way the real control does.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <exdisp.h>
#include <mshtmhst.h>

#include <string>
#include <vector>

// What the control declines to give, to see the host leave steps out.
struct FakeOptions {
    bool noOleObject = false;
    bool noInPlaceObject = false;
    bool noConnectionPoints = false;
    bool noWebBrowser2 = false;
    bool refuseCreation = false;  // the class object makes no control at all
};

// Observations made during DoVerb and SetClientSite, through the sites.
struct SiteObservations {
    bool doVerbRan = false;
    HRESULT queryInPlaceSite = E_FAIL;
    HRESULT canInPlaceActivate = E_FAIL;
    HRESULT onInPlaceActivate = E_FAIL;
    HRESULT getWindow = E_FAIL;
    HWND windowFromSite = nullptr;

    HRESULT getWindowContext = E_FAIL;
    ULONG countBeforeContext = 0;
    ULONG countAfterContext = 0;
    IOleInPlaceFrame* contextFrame = nullptr;  // not a reference: identity only
    IOleInPlaceUIWindow* contextDoc = nullptr;
    IUnknown* frameFromQuery = nullptr;         // the client site's answer for the frame
    bool rectanglesUntouched = false;
    OLEINPLACEFRAMEINFO frameInfo{};
    HRESULT onUIActivate = E_FAIL;

    HRESULT queryUIHandler = E_FAIL;
    HRESULT getHostInfo = E_FAIL;
    DOCHOSTUIINFO hostInfo{};

    HWND viewWindow = nullptr;  // the control's own child window
};

struct FakeLog {
    // Every call from the host, in order, as short words: "QI IOleObject",
    // "SetClientSite", "DoVerb", "Advise", "Navigate", "Close", ...
    std::vector<std::string> calls;
    int objectsAlive = 0;
    int objectsCreated = 0;
    int heldWhenDestroyed = -1;  // host pointers still held when the control went

    std::vector<IOleClientSite*> clientSitesSet;  // every SetClientSite argument
    int setObjectRectsCalls = 0;
    RECT objectPosition{};
    RECT objectClip{};

    LONG verb = 0;
    bool verbMessageNull = false;
    IOleClientSite* verbActiveSite = nullptr;
    LONG verbIndex = -99;
    HWND verbParent = nullptr;
    RECT verbRect{};
    bool verbRectNull = true;

    IID connectionAsked{};
    bool adviseSinkAnswered = false;  // the sink answered DIID_DWebBrowserEvents2
    DWORD cookieGiven = 0;
    std::vector<DWORD> unadvised;

    std::vector<std::wstring> navigations;
    bool navigateExtrasNull = true;
    int goHome = 0, goBack = 0, goForward = 0, refresh = 0;

    std::vector<DWORD> closeOptions;

    SiteObservations sites;
};

// Registers the fake's class object for CLSID_WebBrowser on this thread for
// the life of the object. The current FakeControl (the last one made) can be
// driven through control().
class FakeBrowserClass {
public:
    explicit FakeBrowserClass(FakeLog* log, FakeOptions options = {});
    ~FakeBrowserClass();
    FakeBrowserClass(const FakeBrowserClass&) = delete;
    FakeBrowserClass& operator=(const FakeBrowserClass&) = delete;

    bool registered() const { return cookie_ != 0; }

private:
    class Factory;
    Factory* factory_ = nullptr;
    DWORD cookie_ = 0;
};

// What the last created fake control still holds of the host and what it can
// be told to do through those pointers, as a page would make it.
namespace fake {
// Number of host pointers the control still keeps (client site, in-place
// site, frame, document window, UI handler, event sink).
int HeldSitePointers();
// Calls AddRef/Release through each pointer still held; returns how many.
int PokeHeldSites();
// A right click on the page: the UI handler decides on the menu.
HRESULT ShowContextMenu(DWORD kind);
// The page's status text, through the frame as the real control sends it.
HRESULT SetStatusText(const wchar_t* text);
// Lets go of every host pointer without being told to, as a control that
// deactivates itself would.
void DropSites();
bool ControlExists();
// An extra reference on the control, so that it outlives the host.
IUnknown* HoldControl();
}  // namespace fake

// What CoCreateInstance was asked for, seen by patching this program's own
// import of it.
struct CreateRequest {
    CLSID clsid{};
    bool outerNull = false;
    DWORD context = 0;
    IID iid{};
    int count = 0;
};
// Installs the patch once; false if the import could not be found.
bool WatchCoCreateInstance();
const CreateRequest& LastCreateRequest();
void ResetCreateRequest();

std::string IidName(REFIID iid);

// Makes the nth (0 = next) allocation through new(std::nothrow) in this
// program fail; -1 stops failing. The host allocates its objects that way.
void FailNothrowAllocation(int nth);

// One visible top-level window for the whole program, never destroyed: under
// Wine without a window manager, hiding or destroying a visible top-level
// window waits seconds.
HWND SharedParent();
// Child windows outlive their objects by design; clears them between tests.
void DestroyChildren(HWND parent);
