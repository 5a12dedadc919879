#include "fake_control.h"

#include <olectl.h>

#include <cstdio>
#include <cstring>

namespace {

class FakeControl;
FakeControl* g_current = nullptr;

// Values the host must leave alone.
constexpr LONG kRectSentinel = 0x5A5A;
HWND const kHwndSentinel = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(0x5151));
HACCEL const kAccelSentinel = reinterpret_cast<HACCEL>(static_cast<ULONG_PTR>(0x6161));
OLECHAR* const kTextSentinel = reinterpret_cast<OLECHAR*>(static_cast<ULONG_PTR>(0x7171));

ULONG CountOf(IUnknown* p) {
    ULONG n = p->AddRef();
    p->Release();
    return n - 1;
}

template <typename T>
void ReleaseHeld(T*& p) {
    if (p) {
        T* q = p;
        p = nullptr;
        q->Release();
    }
}

class FakeConnectionPoint final : public IConnectionPoint {
public:
    explicit FakeConnectionPoint(FakeControl* owner) : owner_(owner) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetConnectionInterface(IID* iid) override {
        *iid = DIID_DWebBrowserEvents2;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    FakeControl* owner_;
};

class FakeControl final : public IOleObject,
                          public IOleInPlaceObject,
                          public IConnectionPointContainer,
                          public IWebBrowser2 {
public:
    FakeControl(FakeLog* log, FakeOptions options) : log_(log), options_(options), point_(this) {
        ++log_->objectsAlive;
        ++log_->objectsCreated;
        g_current = this;
    }
    ~FakeControl() {
        if (g_current == this) g_current = nullptr;
        log_->heldWhenDestroyed = Held();
        // A real control lets go of what it still holds when it goes.
        ReleaseAll();
        if (view_) DestroyWindow(view_);
        --log_->objectsAlive;
    }

    void Call(const std::string& what) { log_->calls.push_back(what); }

    // ---- IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        Call("QI " + IidName(iid));
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = static_cast<IOleObject*>(this);
        } else if (IsEqualIID(iid, IID_IOleObject) && !options_.noOleObject) {
            *out = static_cast<IOleObject*>(this);
        } else if ((IsEqualIID(iid, IID_IOleInPlaceObject) || IsEqualIID(iid, IID_IOleWindow)) &&
                   !options_.noInPlaceObject) {
            *out = static_cast<IOleInPlaceObject*>(this);
        } else if (IsEqualIID(iid, IID_IConnectionPointContainer) && !options_.noConnectionPoints) {
            *out = static_cast<IConnectionPointContainer*>(this);
        } else if ((IsEqualIID(iid, IID_IWebBrowser2) || IsEqualIID(iid, IID_IWebBrowserApp) ||
                    IsEqualIID(iid, IID_IWebBrowser) || IsEqualIID(iid, IID_IDispatch)) &&
                   !options_.noWebBrowser2) {
            *out = static_cast<IWebBrowser2*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    // ---- IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override {
        Call(site ? "SetClientSite" : "SetClientSite(null)");
        log_->clientSitesSet.push_back(site);
        if (!site) {
            ReleaseHeld(uiHandler_);
            ReleaseHeld(clientSite_);
            return S_OK;
        }
        site->AddRef();
        ReleaseHeld(clientSite_);
        clientSite_ = site;

        // The control asks for the UI handler as soon as it has a site.
        SiteObservations& s = log_->sites;
        ReleaseHeld(uiHandler_);
        s.queryUIHandler = site->QueryInterface(IID_IDocHostUIHandler,
                                                reinterpret_cast<void**>(&uiHandler_));
        if (uiHandler_) {
            DOCHOSTUIINFO info;
            info.cbSize = 0xC0FFEE;
            info.dwFlags = 0xDEAD;
            info.dwDoubleClick = 0xBEEF;
            info.pchHostCss = kTextSentinel;
            info.pchHostNS = kTextSentinel;
            s.getHostInfo = uiHandler_->GetHostInfo(&info);
            s.hostInfo = info;
        }
        return S_OK;
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override {
        *site = clientSite_;
        if (clientSite_) clientSite_->AddRef();
        return S_OK;
    }
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return E_NOTIMPL; }
    STDMETHODIMP Close(DWORD option) override {
        Call("Close");
        log_->closeOptions.push_back(option);
        Deactivate();
        return S_OK;
    }
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* active, LONG index, HWND parent,
                        LPCRECT rect) override {
        Call("DoVerb");
        log_->verb = verb;
        log_->verbMessageNull = msg == nullptr;
        log_->verbActiveSite = active;
        log_->verbIndex = index;
        log_->verbParent = parent;
        log_->verbRectNull = rect == nullptr;
        if (rect) log_->verbRect = *rect;
        if (verb == OLEIVERB_INPLACEACTIVATE && active) Activate(active, parent, rect);
        return S_OK;
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    STDMETHODIMP Update() override { return E_NOTIMPL; }
    STDMETHODIMP IsUpToDate() override { return E_NOTIMPL; }
    STDMETHODIMP GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    STDMETHODIMP GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    STDMETHODIMP SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    STDMETHODIMP Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    STDMETHODIMP GetMiscStatus(DWORD, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // ---- IOleInPlaceObject
    STDMETHODIMP GetWindow(HWND* wnd) override {
        *wnd = view_;
        return view_ ? S_OK : E_FAIL;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override {
        Deactivate();
        return S_OK;
    }
    STDMETHODIMP UIDeactivate() override { return S_OK; }
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override {
        Call("SetObjectRects");
        ++log_->setObjectRectsCalls;
        if (position) log_->objectPosition = *position;
        if (clip) log_->objectClip = *clip;
        return S_OK;
    }
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }

    // ---- IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        Call("FindConnectionPoint");
        log_->connectionAsked = iid;
        *out = nullptr;
        if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
        *out = &point_;
        point_.AddRef();
        return S_OK;
    }

    // ---- IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    // ---- IWebBrowser
    STDMETHODIMP GoBack() override { Call("GoBack"); ++log_->goBack; return S_OK; }
    STDMETHODIMP GoForward() override { Call("GoForward"); ++log_->goForward; return S_OK; }
    STDMETHODIMP GoHome() override { Call("GoHome"); ++log_->goHome; return S_OK; }
    STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
    STDMETHODIMP Navigate(BSTR url, VARIANT* flags, VARIANT* target, VARIANT* post,
                          VARIANT* headers) override {
        Call("Navigate");
        log_->navigations.emplace_back(url ? std::wstring(url, SysStringLen(url)) : std::wstring());
        if (flags || target || post || headers) log_->navigateExtrasNull = false;
        return S_OK;
    }
    STDMETHODIMP Refresh() override { Call("Refresh"); ++log_->refresh; return S_OK; }
    STDMETHODIMP Refresh2(VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP Stop() override { return E_NOTIMPL; }
    STDMETHODIMP get_Application(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Parent(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Container(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_Document(IDispatch**) override { return E_NOTIMPL; }
    STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Type(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Left(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Left(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_Top(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Top(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_Width(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Width(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_Height(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Height(LONG) override { return E_NOTIMPL; }
    STDMETHODIMP get_LocationName(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_LocationURL(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }
    // ---- IWebBrowserApp
    STDMETHODIMP Quit() override { return E_NOTIMPL; }
    STDMETHODIMP ClientToWindow(int*, int*) override { return E_NOTIMPL; }
    STDMETHODIMP PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    STDMETHODIMP GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Name(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_FullName(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Path(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_StatusText(BSTR*) override { return E_NOTIMPL; }
    STDMETHODIMP put_StatusText(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_ToolBar(int*) override { return E_NOTIMPL; }
    STDMETHODIMP put_ToolBar(int) override { return E_NOTIMPL; }
    STDMETHODIMP get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
    // ---- IWebBrowser2
    STDMETHODIMP Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
    STDMETHODIMP ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    STDMETHODIMP get_ReadyState(READYSTATE*) override { return E_NOTIMPL; }
    STDMETHODIMP get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
    STDMETHODIMP put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }

    // ---- the connection point's side
    HRESULT AdviseSink(IUnknown* sink, DWORD* cookie) {
        Call("Advise");
        if (!sink || !cookie) return E_POINTER;
        if (sink_) return CONNECT_E_ADVISELIMIT;
        // The real control asks the sink for the events interface itself.
        HRESULT hr = sink->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&sink_));
        log_->adviseSinkAnswered = SUCCEEDED(hr) && sink_;
        if (!sink_) return CONNECT_E_CANNOTCONNECT;
        *cookie = log_->cookieGiven = 0x4242;
        return S_OK;
    }
    HRESULT UnadviseSink(DWORD cookie) {
        Call("Unadvise");
        log_->unadvised.push_back(cookie);
        if (!sink_ || cookie != log_->cookieGiven) return CONNECT_E_NOCONNECTION;
        ReleaseHeld(sink_);
        return S_OK;
    }

    // ---- driven by the tests
    int Held() const {
        return (clientSite_ != nullptr) + (inPlaceSite_ != nullptr) + (frame_ != nullptr) +
               (doc_ != nullptr) + (uiHandler_ != nullptr) + (sink_ != nullptr);
    }
    int Poke() {
        int n = 0;
        IUnknown* held[] = {clientSite_, inPlaceSite_, frame_, doc_, uiHandler_, sink_};
        for (IUnknown* p : held) {
            if (!p) continue;
            p->AddRef();
            p->Release();
            ++n;
        }
        return n;
    }
    HRESULT ContextMenu(DWORD kind) {
        if (!uiHandler_) return E_UNEXPECTED;
        POINT pt{5, 5};
        return uiHandler_->ShowContextMenu(kind, &pt, nullptr, nullptr);
    }
    HRESULT StatusText(const wchar_t* text) {
        if (!frame_) return E_UNEXPECTED;
        return frame_->SetStatusText(text);
    }
    void ReleaseAll() {
        Deactivate();
        ReleaseHeld(uiHandler_);
        ReleaseHeld(clientSite_);
        ReleaseHeld(sink_);
    }

private:
    void Activate(IOleClientSite* active, HWND parent, LPCRECT rect) {
        SiteObservations& s = log_->sites;
        s.doVerbRan = true;
        ReleaseHeld(inPlaceSite_);
        s.queryInPlaceSite =
            active->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&inPlaceSite_));
        if (!inPlaceSite_) return;
        s.canInPlaceActivate = inPlaceSite_->CanInPlaceActivate();
        s.onInPlaceActivate = inPlaceSite_->OnInPlaceActivate();
        s.windowFromSite = kHwndSentinel;
        s.getWindow = inPlaceSite_->GetWindow(&s.windowFromSite);

        RECT position{kRectSentinel, kRectSentinel + 1, kRectSentinel + 2, kRectSentinel + 3};
        RECT clip = position;
        OLEINPLACEFRAMEINFO info;
        info.cb = 0xABCD;
        info.fMDIApp = TRUE;
        info.hwndFrame = kHwndSentinel;
        info.haccel = kAccelSentinel;
        info.cAccelEntries = 77;
        ReleaseHeld(frame_);
        ReleaseHeld(doc_);
        s.countBeforeContext = CountOf(inPlaceSite_);
        s.getWindowContext = inPlaceSite_->GetWindowContext(&frame_, &doc_, &position, &clip, &info);
        s.countAfterContext = CountOf(inPlaceSite_);
        s.contextFrame = frame_;
        s.contextDoc = doc_;
        s.rectanglesUntouched = position.left == kRectSentinel &&
                                position.top == kRectSentinel + 1 &&
                                position.right == kRectSentinel + 2 &&
                                position.bottom == kRectSentinel + 3 &&
                                std::memcmp(&position, &clip, sizeof clip) == 0;
        s.frameInfo = info;

        IUnknown* viaQuery = nullptr;
        active->QueryInterface(IID_IOleInPlaceFrame, reinterpret_cast<void**>(&viaQuery));
        s.frameFromQuery = viaQuery;
        if (viaQuery) viaQuery->Release();

        s.onUIActivate = inPlaceSite_->OnUIActivate();

        if (rect && s.getWindow == S_OK) {
            view_ = CreateWindowExA(0, "STATIC", "fake control", WS_CHILD | WS_VISIBLE, rect->left,
                                    rect->top, rect->right - rect->left, rect->bottom - rect->top,
                                    parent, nullptr, GetModuleHandleA(nullptr), nullptr);
            s.viewWindow = view_;
        }
    }

    void Deactivate() {
        if (inPlaceSite_) inPlaceSite_->OnInPlaceDeactivate();
        ReleaseHeld(frame_);
        ReleaseHeld(doc_);
        ReleaseHeld(inPlaceSite_);
        if (view_) {
            DestroyWindow(view_);
            view_ = nullptr;
        }
    }

    FakeLog* log_;
    FakeOptions options_;
    FakeConnectionPoint point_;
    ULONG refs_ = 0;
    HWND view_ = nullptr;

    IOleClientSite* clientSite_ = nullptr;
    IOleInPlaceSite* inPlaceSite_ = nullptr;
    IOleInPlaceFrame* frame_ = nullptr;
    IOleInPlaceUIWindow* doc_ = nullptr;
    IDocHostUIHandler* uiHandler_ = nullptr;
    IDispatch* sink_ = nullptr;
};

STDMETHODIMP FakeConnectionPoint::QueryInterface(REFIID iid, void** out) {
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
}
STDMETHODIMP_(ULONG) FakeConnectionPoint::AddRef() { return owner_->AddRef(); }
STDMETHODIMP_(ULONG) FakeConnectionPoint::Release() { return owner_->Release(); }
STDMETHODIMP FakeConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    return owner_->AdviseSink(sink, cookie);
}
STDMETHODIMP FakeConnectionPoint::Unadvise(DWORD cookie) { return owner_->UnadviseSink(cookie); }

// ---- CoCreateInstance watch

using CoCreateFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
CoCreateFn g_realCoCreate = nullptr;
CreateRequest g_lastRequest;

HRESULT WINAPI WatchingCoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context,
                                        REFIID iid, LPVOID* out) {
    g_lastRequest.clsid = clsid;
    g_lastRequest.outerNull = outer == nullptr;
    g_lastRequest.context = context;
    g_lastRequest.iid = iid;
    ++g_lastRequest.count;
    return g_realCoCreate(clsid, outer, context, iid, out);
}

}  // namespace

// ---- the class object

class FakeBrowserClass::Factory final : public IClassFactory {
public:
    Factory(FakeLog* log, FakeOptions options) : log_(log), options_(options) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        log_->calls.push_back("CreateInstance " + IidName(iid));
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (options_.refuseCreation) return E_OUTOFMEMORY;
        auto* control = new FakeControl(log_, options_);
        control->AddRef();
        HRESULT hr = control->QueryInterface(iid, out);
        control->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    FakeLog* log_;
    FakeOptions options_;
    ULONG refs_ = 1;
};

FakeBrowserClass::FakeBrowserClass(FakeLog* log, FakeOptions options)
    : factory_(new Factory(log, options)) {
    if (FAILED(CoRegisterClassObject(CLSID_WebBrowser, factory_, CLSCTX_INPROC_SERVER,
                                     REGCLS_MULTIPLEUSE, &cookie_))) {
        cookie_ = 0;
    }
}

FakeBrowserClass::~FakeBrowserClass() {
    if (cookie_) CoRevokeClassObject(cookie_);
    factory_->Release();
}

namespace fake {
int HeldSitePointers() { return g_current ? g_current->Held() : 0; }
int PokeHeldSites() { return g_current ? g_current->Poke() : 0; }
HRESULT ShowContextMenu(DWORD kind) { return g_current ? g_current->ContextMenu(kind) : E_UNEXPECTED; }
HRESULT SetStatusText(const wchar_t* text) {
    return g_current ? g_current->StatusText(text) : E_UNEXPECTED;
}
void DropSites() {
    if (g_current) g_current->ReleaseAll();
}
bool ControlExists() { return g_current != nullptr; }
IUnknown* HoldControl() {
    if (!g_current) return nullptr;
    IUnknown* p = static_cast<IOleObject*>(g_current);
    p->AddRef();
    return p;
}
}  // namespace fake

bool WatchCoCreateInstance() {
    if (g_realCoCreate) return true;
    HMODULE ole = GetModuleHandleA("ole32.dll");
    if (!ole) ole = LoadLibraryA("ole32.dll");
    const ULONG_PTR real = reinterpret_cast<ULONG_PTR>(GetProcAddress(ole, "CoCreateInstance"));
    if (!real) return false;

    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return false;

    bool patched = false;
    auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; desc->Name; ++desc) {
        auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; thunk->u1.Function; ++thunk) {
            if (thunk->u1.Function != real) continue;
            DWORD old = 0;
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, PAGE_READWRITE, &old);
            g_realCoCreate = reinterpret_cast<CoCreateFn>(thunk->u1.Function);
            thunk->u1.Function = reinterpret_cast<ULONG_PTR>(&WatchingCoCreateInstance);
            VirtualProtect(&thunk->u1.Function, sizeof thunk->u1.Function, old, &old);
            patched = true;
        }
    }
    return patched;
}

const CreateRequest& LastCreateRequest() { return g_lastRequest; }
void ResetCreateRequest() { g_lastRequest = CreateRequest{}; }

std::string IidName(REFIID iid) {
    struct Known {
        const IID* iid;
        const char* name;
    };
    static const Known known[] = {
        {&IID_IUnknown, "IUnknown"},
        {&IID_IOleObject, "IOleObject"},
        {&IID_IOleInPlaceObject, "IOleInPlaceObject"},
        {&IID_IConnectionPointContainer, "IConnectionPointContainer"},
        {&IID_IWebBrowser2, "IWebBrowser2"},
        {&IID_IDispatch, "IDispatch"},
        {&IID_IOleClientSite, "IOleClientSite"},
        {&IID_IOleInPlaceSite, "IOleInPlaceSite"},
        {&IID_IOleInPlaceFrame, "IOleInPlaceFrame"},
        {&IID_IDocHostUIHandler, "IDocHostUIHandler"},
        {&DIID_DWebBrowserEvents2, "DWebBrowserEvents2"},
    };
    for (const Known& k : known) {
        if (IsEqualIID(iid, *k.iid)) return k.name;
    }
    char text[64];
    std::snprintf(text, sizeof text, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(iid.Data1), iid.Data2, iid.Data3, iid.Data4[0],
                  iid.Data4[1], iid.Data4[2], iid.Data4[3], iid.Data4[4], iid.Data4[5],
                  iid.Data4[6], iid.Data4[7]);
    return text;
}

HWND SharedParent() {
    static HWND parent = [] {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = CreateSolidBrush(RGB(0, 0, 96));
        wc.lpszClassName = "BrowserHostTestParent";
        RegisterClassExA(&wc);
        return CreateWindowExA(0, "BrowserHostTestParent", "host test", WS_POPUP | WS_VISIBLE, 40,
                               40, 400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    }();
    return parent;
}

void DestroyChildren(HWND parent) {
    while (HWND child = GetWindow(parent, GW_CHILD)) DestroyWindow(child);
    InvalidateRect(parent, nullptr, TRUE);
}
