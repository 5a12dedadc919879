// The browser host against a recording stand-in for the web-browser control.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "browser/browser_host.h"
#include "browser/sites.h"
#include "controls/info_win.h"
#include "fake_control.h"
#include "support/screen.h"

namespace {

constexpr const char* kStartUrl = "http://127.0.0.1/start.html";
const RECT kControlRect{10, 20, 310, 220};

std::string Joined(const std::vector<std::string>& calls) {
    std::string all;
    for (const std::string& c : calls) all += c + "; ";
    return all;
}

// The calls that matter for the order of creation: what the host asks of the
// control, without the control's own bookkeeping queries.
std::vector<std::string> HostCalls(const std::vector<std::string>& calls) {
    static const std::set<std::string> asked = {"QI IOleObject", "QI IOleInPlaceObject",
                                                "QI IConnectionPointContainer", "QI IWebBrowser2"};
    std::vector<std::string> kept;
    for (const std::string& c : calls) {
        if (c.rfind("QI ", 0) == 0 && !asked.count(c)) continue;
        kept.push_back(c);
    }
    return kept;
}

class BrowserHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        ASSERT_TRUE(WatchCoCreateInstance());
        parent_ = SharedParent();
        ASSERT_NE(parent_, nullptr);
    }

    void TearDown() override {
        FailNothrowAllocation(-1);
        delete host_;
        host_ = nullptr;
        ReleaseHeldControl();
        fakeClass_.reset();
        DestroyChildren(parent_);
        PumpMessages(10, 200);
        OleUninitialize();
    }

    void Register(FakeOptions options = {}) {
        fakeClass_ = std::make_unique<FakeBrowserClass>(&log_, options);
        ASSERT_TRUE(fakeClass_->registered());
    }

    CBrowserHost* MakeHost(const char* url = kStartUrl, bool showMenu = false, int x = 10,
                           int y = 20, int width = 300, int height = 200) {
        ResetCreateRequest();
        host_ = new CBrowserHost;
        CBrowserHost* result = host_->Create(parent_, url, x, y, width, height, showMenu);
        EXPECT_EQ(result, host_);
        return host_;
    }

    // Keeps the control alive past the host, to see what it still holds.
    void HoldControl() {
        IUnknown* p = fake::HoldControl();
        ASSERT_NE(p, nullptr);
        held_.push_back(p);
    }
    void ReleaseHeldControl() {
        for (IUnknown* p : held_) p->Release();
        held_.clear();
    }

    template <typename T>
    T* Query(IUnknown* via, REFIID iid) {
        void* out = nullptr;
        EXPECT_EQ(via->QueryInterface(iid, &out), S_OK) << IidName(iid);
        if (out) static_cast<IUnknown*>(out)->Release();
        return static_cast<T*>(out);
    }

    HWND parent_ = nullptr;
    FakeLog log_;
    std::unique_ptr<FakeBrowserClass> fakeClass_;
    CBrowserHost* host_ = nullptr;
    std::vector<IUnknown*> held_;
};

TEST_F(BrowserHostTest, CreateDrivesTheControlInOrder) {
    Register();
    MakeHost(kStartUrl, false, 10, 20, 300, 200);

    const CreateRequest& request = LastCreateRequest();
    EXPECT_EQ(request.count, 1);
    EXPECT_TRUE(IsEqualCLSID(request.clsid, CLSID_WebBrowser));
    EXPECT_TRUE(request.outerNull);
    EXPECT_EQ(request.context, 0x17u);
    EXPECT_TRUE(IsEqualIID(request.iid, IID_IUnknown)) << IidName(request.iid);

    const std::vector<std::string> expected = {
        "CreateInstance IUnknown", "QI IOleObject",  "SetClientSite",
        "QI IOleInPlaceObject",    "SetObjectRects", "DoVerb",
        "QI IConnectionPointContainer", "FindConnectionPoint", "Advise",
        "QI IWebBrowser2",         "Navigate"};
    EXPECT_EQ(HostCalls(log_.calls), expected) << Joined(log_.calls);

    IOleClientSite* site = host_->clientSite;
    ASSERT_EQ(log_.clientSitesSet.size(), 1u);
    EXPECT_EQ(log_.clientSitesSet[0], site);

    EXPECT_EQ(log_.setObjectRectsCalls, 1);
    EXPECT_TRUE(SameRect(log_.objectPosition, kControlRect)) << DescribeRect(log_.objectPosition);
    EXPECT_TRUE(SameRect(log_.objectClip, kControlRect)) << DescribeRect(log_.objectClip);

    EXPECT_EQ(log_.verb, OLEIVERB_INPLACEACTIVATE);
    EXPECT_TRUE(log_.verbMessageNull);
    EXPECT_EQ(log_.verbActiveSite, site);
    EXPECT_EQ(log_.verbIndex, 0);
    EXPECT_EQ(log_.verbParent, parent_);
    ASSERT_FALSE(log_.verbRectNull);
    EXPECT_TRUE(SameRect(log_.verbRect, kControlRect)) << DescribeRect(log_.verbRect);

    EXPECT_TRUE(IsEqualIID(log_.connectionAsked, DIID_DWebBrowserEvents2));
    EXPECT_TRUE(log_.adviseSinkAnswered);
    EXPECT_EQ(host_->eventsCookie, log_.cookieGiven);

    ASSERT_EQ(log_.navigations.size(), 1u);
    EXPECT_EQ(log_.navigations[0], L"http://127.0.0.1/start.html");
    EXPECT_TRUE(log_.navigateExtrasNull);

    // The host's own count plus one for every pointer the control keeps.
    EXPECT_EQ(host_->refCount, 1u + fake::HeldSitePointers());
    EXPECT_EQ(fake::HeldSitePointers(), 6);
    EXPECT_EQ(host_->parentWnd, parent_);
    EXPECT_FALSE(host_->showIeMenu);
    EXPECT_EQ(host_->statusWin, nullptr);
    EXPECT_EQ(host_->statusWnd, nullptr);

    // The main window's buttons act on this interface.
    ASSERT_NE(host_->browser, nullptr);
    host_->browser->GoHome();
    host_->browser->GoBack();
    host_->browser->GoForward();
    host_->browser->Refresh();
    EXPECT_EQ(log_.goHome + log_.goBack + log_.goForward + log_.refresh, 4);
    EXPECT_EQ(log_.goHome, 1);
    EXPECT_EQ(log_.refresh, 1);
}

TEST_F(BrowserHostTest, SitesAnswerTheControlDuringActivation) {
    Register();
    MakeHost();
    const SiteObservations& s = log_.sites;
    ASSERT_TRUE(s.doVerbRan);
    EXPECT_EQ(s.queryInPlaceSite, S_OK);
    EXPECT_EQ(s.canInPlaceActivate, S_OK);
    EXPECT_EQ(s.onInPlaceActivate, S_OK);
    EXPECT_EQ(s.getWindow, S_OK);
    EXPECT_EQ(s.windowFromSite, parent_);

    EXPECT_EQ(s.getWindowContext, S_OK);
    EXPECT_EQ(s.countAfterContext, s.countBeforeContext + 2);
    IOleInPlaceFrame* frame = host_->frame;
    EXPECT_EQ(s.contextFrame, frame);
    EXPECT_EQ(s.contextDoc, static_cast<IOleInPlaceUIWindow*>(frame));
    EXPECT_EQ(s.frameFromQuery, static_cast<IUnknown*>(frame));
    EXPECT_TRUE(s.rectanglesUntouched);
    EXPECT_EQ(s.frameInfo.cb, 0xABCDu);  // the caller's, not ours
    EXPECT_EQ(s.frameInfo.fMDIApp, FALSE);
    EXPECT_EQ(s.frameInfo.hwndFrame, parent_);
    EXPECT_EQ(s.frameInfo.haccel, nullptr);
    EXPECT_EQ(s.frameInfo.cAccelEntries, 0u);
    EXPECT_EQ(s.onUIActivate, S_OK);

    EXPECT_EQ(s.queryUIHandler, S_OK);
    EXPECT_EQ(s.getHostInfo, S_OK);
    EXPECT_EQ(s.hostInfo.dwFlags, 0x84u);
    EXPECT_EQ(s.hostInfo.dwDoubleClick, 0u);
    EXPECT_EQ(s.hostInfo.cbSize, 0xC0FFEEu);
    EXPECT_EQ(s.hostInfo.pchHostCss, reinterpret_cast<OLECHAR*>(static_cast<ULONG_PTR>(0x7171)));
    EXPECT_EQ(s.hostInfo.pchHostNS, reinterpret_cast<OLECHAR*>(static_cast<ULONG_PTR>(0x7171)));

    // The control's own window sits in ours at the rectangle.
    ASSERT_TRUE(IsWindow(s.viewWindow));
    EXPECT_EQ(GetParent(s.viewWindow), parent_);
    RECT placed;
    GetWindowRect(s.viewWindow, &placed);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(SameRect(placed, kControlRect)) << DescribeRect(placed);
}

struct UrlCase {
    size_t length;
    size_t opened;
};

TEST_F(BrowserHostTest, StartUrlIsCutAfter255Bytes) {
    Register();
    for (UrlCase c : {UrlCase{0, 0}, UrlCase{254, 254}, UrlCase{255, 255}, UrlCase{256, 255},
                      UrlCase{300, 255}, UrlCase{1023, 255}}) {
        SCOPED_TRACE(c.length);
        std::string url = "http://127.0.0.1/";
        while (url.size() < c.length) url += static_cast<char>('a' + url.size() % 26);
        url.resize(c.length);
        log_.navigations.clear();
        MakeHost(url.c_str());
        ASSERT_EQ(log_.navigations.size(), 1u);
        EXPECT_EQ(log_.navigations[0], std::wstring(url.begin(), url.begin() + c.opened));
        delete host_;
        host_ = nullptr;
    }
}

TEST_F(BrowserHostTest, NoStartUrlOpensABlankPage) {
    Register();
    MakeHost(nullptr);
    ASSERT_EQ(log_.navigations.size(), 1u);
    EXPECT_EQ(log_.navigations[0], L"about:blank");
}

TEST_F(BrowserHostTest, CoordinatesWrapInsteadOfOverflowing) {
    Register();
    MakeHost(kStartUrl, false, 0x7FFFFFF0, -5, 0x20, -10);
    EXPECT_EQ(log_.objectPosition.left, 0x7FFFFFF0);
    EXPECT_EQ(log_.objectPosition.right, static_cast<LONG>(0x80000010u));
    EXPECT_EQ(log_.objectPosition.top, -5);
    EXPECT_EQ(log_.objectPosition.bottom, -15);
}

struct MissingCase {
    const char* name;
    FakeOptions options;
    bool clientSiteSet, rectsSet, verbDone, advised, navigated;
};

TEST_F(BrowserHostTest, StepsNeedingAMissingInterfaceAreLeftOut) {
    FakeOptions noOle, noInPlace, noPoints, noBrowser, none;
    noOle.noOleObject = true;
    noInPlace.noInPlaceObject = true;
    noPoints.noConnectionPoints = true;
    noBrowser.noWebBrowser2 = true;
    none.refuseCreation = true;
    const MissingCase cases[] = {
        {"IOleObject", noOle, false, true, false, true, true},
        {"IOleInPlaceObject", noInPlace, true, false, true, true, true},
        {"IConnectionPointContainer", noPoints, true, true, true, false, true},
        {"IWebBrowser2", noBrowser, true, true, true, true, false},
        {"the control", none, false, false, false, false, false},
    };
    for (const MissingCase& c : cases) {
        SCOPED_TRACE(c.name);
        log_ = FakeLog{};
        Register(c.options);
        MakeHost();
        const std::vector<std::string> calls = log_.calls;
        auto called = [&](const char* what) {
            return std::count(calls.begin(), calls.end(), what) > 0;
        };
        EXPECT_EQ(called("SetClientSite"), c.clientSiteSet) << Joined(calls);
        EXPECT_EQ(called("SetObjectRects"), c.rectsSet) << Joined(calls);
        EXPECT_EQ(called("DoVerb"), c.verbDone) << Joined(calls);
        EXPECT_EQ(called("Advise"), c.advised) << Joined(calls);
        EXPECT_EQ(called("Navigate"), c.navigated) << Joined(calls);
        EXPECT_EQ(host_->browser != nullptr, c.navigated);
        EXPECT_EQ(host_->refCount, 1u + fake::HeldSitePointers());

        delete host_;
        host_ = nullptr;
        EXPECT_EQ(log_.objectsAlive, 0) << "the host kept a reference on the control";
        if (log_.objectsCreated) {
            EXPECT_EQ(log_.heldWhenDestroyed, 0);
        }
        fakeClass_.reset();
    }
}

TEST_F(BrowserHostTest, DestructionTakesEverySiteBackFromTheControl) {
    Register();
    MakeHost();
    HWND view = log_.sites.viewWindow;
    HoldControl();
    log_.calls.clear();

    delete host_;
    host_ = nullptr;

    const std::vector<std::string> expected = {"Unadvise", "Close", "SetClientSite(null)"};
    EXPECT_EQ(HostCalls(log_.calls), expected) << Joined(log_.calls);
    ASSERT_EQ(log_.unadvised.size(), 1u);
    EXPECT_EQ(log_.unadvised[0], log_.cookieGiven);
    ASSERT_EQ(log_.closeOptions.size(), 1u);
    EXPECT_EQ(log_.closeOptions[0], static_cast<DWORD>(OLECLOSE_NOSAVE));
    EXPECT_FALSE(IsWindow(view));

    // The control outlives the host here; it must have nothing left to call.
    ASSERT_TRUE(fake::ControlExists());
    EXPECT_EQ(fake::HeldSitePointers(), 0);
    EXPECT_EQ(fake::PokeHeldSites(), 0);
    EXPECT_EQ(log_.objectsAlive, 1);
    ReleaseHeldControl();
    EXPECT_EQ(log_.objectsAlive, 0);
}

TEST_F(BrowserHostTest, ReleaseToZeroEndsTheHost) {
    Register();
    MakeHost();
    HoldControl();
    fake::DropSites();
    ASSERT_EQ(host_->refCount, 1u);
    log_.calls.clear();

    IUnknown* viaSite = nullptr;
    ASSERT_EQ(host_->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&viaSite)), S_OK);
    EXPECT_EQ(viaSite->Release(), 1u);
    EXPECT_TRUE(log_.calls.empty()) << Joined(log_.calls);

    CBrowserHost* host = host_;
    host_ = nullptr;  // gone after the last Release
    EXPECT_EQ(host->Release(), 0u);

    const std::vector<std::string> expected = {"Unadvise", "Close", "SetClientSite(null)"};
    EXPECT_EQ(HostCalls(log_.calls), expected) << Joined(log_.calls);
    EXPECT_EQ(fake::HeldSitePointers(), 0);
    ReleaseHeldControl();
    EXPECT_EQ(log_.objectsAlive, 0);
}

// Every one of the six objects answers for the host.
TEST_F(BrowserHostTest, QueryInterfaceAndCountThroughEveryObject) {
    Register();
    MakeHost();
    fake::DropSites();
    ASSERT_EQ(host_->refCount, 1u);

    IUnknown* const self = host_;
    IUnknown* const objects[] = {self,
                                 static_cast<IOleClientSite*>(host_->clientSite),
                                 static_cast<IOleInPlaceSite*>(host_->inPlaceSite),
                                 static_cast<IOleInPlaceFrame*>(host_->frame),
                                 static_cast<IDocHostUIHandler*>(host_->uiHandler),
                                 static_cast<IDispatch*>(host_->eventSink)};
    struct Answer {
        const IID* iid;
        void* expected;  // null: E_NOINTERFACE
    };
    const Answer answers[] = {
        {&IID_IUnknown, self},
        {&IID_IDocHostUIHandler, static_cast<IDocHostUIHandler*>(host_->uiHandler)},
        {&IID_IOleClientSite, static_cast<IOleClientSite*>(host_->clientSite)},
        {&IID_IOleInPlaceSite, static_cast<IOleInPlaceSite*>(host_->inPlaceSite)},
        {&IID_IOleInPlaceFrame, static_cast<IOleInPlaceFrame*>(host_->frame)},
        {&DIID_DWebBrowserEvents2, static_cast<IDispatch*>(host_->eventSink)},
        {&IID_IDispatch, nullptr},
        {&IID_IOleWindow, nullptr},
        {&IID_IOleInPlaceUIWindow, nullptr},
        {&IID_IWebBrowser2, nullptr},
        {&IID_IOleObject, nullptr},
    };
    for (size_t o = 0; o < std::size(objects); ++o) {
        IUnknown* via = objects[o];
        SCOPED_TRACE("object " + std::to_string(o));
        for (const Answer& a : answers) {
            SCOPED_TRACE(IidName(*a.iid));
            void* out = reinterpret_cast<void*>(static_cast<ULONG_PTR>(0xBAD));
            HRESULT hr = via->QueryInterface(*a.iid, &out);
            if (a.expected) {
                EXPECT_EQ(hr, S_OK);
                EXPECT_EQ(out, a.expected);
                EXPECT_EQ(host_->refCount, 2u);
                if (out) {
                    EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 1u);
                }
            } else {
                EXPECT_EQ(hr, E_NOINTERFACE);
                EXPECT_EQ(out, nullptr);
                EXPECT_EQ(host_->refCount, 1u);
            }
        }
        EXPECT_EQ(via->QueryInterface(IID_IUnknown, nullptr), E_INVALIDARG);
        EXPECT_EQ(via->AddRef(), 2u);
        EXPECT_EQ(via->AddRef(), 3u);
        EXPECT_EQ(via->Release(), 2u);
        EXPECT_EQ(via->Release(), 1u);
        EXPECT_EQ(host_->refCount, 1u);
    }
}

// The nth site allocation fails: that one interface is missing, the control
// is handed null for it, and the rest works and ends cleanly.
TEST_F(BrowserHostTest, ASiteThatCannotBeAllocatedIsAbsent) {
    const IID* siteIids[] = {&IID_IOleClientSite, &IID_IOleInPlaceSite, &IID_IOleInPlaceFrame,
                             &IID_IDocHostUIHandler, &DIID_DWebBrowserEvents2};
    std::set<std::string> missingSeen;
    for (int nth = 0; nth < 5; ++nth) {
        SCOPED_TRACE(nth);
        log_ = FakeLog{};
        Register();
        FailNothrowAllocation(nth);
        MakeHost();
        FailNothrowAllocation(-1);

        std::vector<std::string> missing;
        for (const IID* iid : siteIids) {
            void* out = reinterpret_cast<void*>(static_cast<ULONG_PTR>(0xBAD));
            HRESULT hr = host_->QueryInterface(*iid, &out);
            if (hr == S_OK) {
                static_cast<IUnknown*>(out)->Release();
            } else {
                EXPECT_EQ(hr, E_NOINTERFACE);
                EXPECT_EQ(out, nullptr);
                missing.push_back(IidName(*iid));
            }
        }
        ASSERT_EQ(missing.size(), 1u);
        missingSeen.insert(missing[0]);
        if (missing[0] == "IOleClientSite") {
            ASSERT_EQ(log_.clientSitesSet.size(), 1u);
            EXPECT_EQ(log_.clientSitesSet[0], nullptr);
            EXPECT_EQ(log_.verbActiveSite, nullptr);
        }
        EXPECT_EQ(log_.navigations.size(), 1u);
        EXPECT_EQ(host_->refCount, 1u + fake::HeldSitePointers());

        delete host_;
        host_ = nullptr;
        EXPECT_EQ(log_.objectsAlive, 0);
        fakeClass_.reset();
    }
    EXPECT_EQ(missingSeen.size(), 5u);
}

// The methods whose answer steers the control return it, and each declining
// method leaves every out-parameter as the caller filled it.
TEST_F(BrowserHostTest, SiteMethodsAnswerAsTheContainerShould) {
    Register();
    MakeHost();
    auto* client = Query<IOleClientSite>(host_, IID_IOleClientSite);
    auto* site = Query<IOleInPlaceSite>(host_, IID_IOleInPlaceSite);
    auto* frame = Query<IOleInPlaceFrame>(host_, IID_IOleInPlaceFrame);
    auto* ui = Query<IDocHostUIHandler>(host_, IID_IDocHostUIHandler);
    auto* sink = Query<IDispatch>(host_, DIID_DWebBrowserEvents2);
    ASSERT_TRUE(client && site && frame && ui && sink);
    const ULONG count = host_->refCount;

    // Pointer-sized sentinels for out-parameters.
    void* const bad = reinterpret_cast<void*>(static_cast<ULONG_PTR>(0xBAD0BAD0));
    auto badPtr = [&](auto** p) { *p = static_cast<std::remove_reference_t<decltype(*p)>>(bad); };
    auto untouched = [&](const void* p) { return p == bad; };

    struct Row {
        const char* name;
        HRESULT expected;
        std::function<HRESULT(bool&)> call;
    };
    const std::vector<Row> rows = {
        {"ClientSite.GetMoniker", E_NOTIMPL, [&](bool& ok) {
             IMoniker* m; badPtr(&m);
             HRESULT hr = client->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, &m);
             ok = untouched(m); return hr; }},
        {"ClientSite.GetContainer", E_NOTIMPL, [&](bool& ok) {
             IOleContainer* c; badPtr(&c);
             HRESULT hr = client->GetContainer(&c); ok = untouched(c); return hr; }},
        {"ClientSite.ShowObject", S_OK, [&](bool&) { return client->ShowObject(); }},

        {"InPlaceSite.GetWindow", S_OK, [&](bool& ok) {
             HWND w = nullptr; HRESULT hr = site->GetWindow(&w); ok = w == parent_; return hr; }},
        {"InPlaceSite.CanInPlaceActivate", S_OK, [&](bool&) { return site->CanInPlaceActivate(); }},
        {"InPlaceSite.OnInPlaceActivate", S_OK, [&](bool&) { return site->OnInPlaceActivate(); }},
        {"InPlaceSite.OnUIActivate", S_OK, [&](bool&) { return site->OnUIActivate(); }},
        {"InPlaceSite.OnUIDeactivate", E_NOTIMPL, [&](bool&) { return site->OnUIDeactivate(FALSE); }},
        {"InPlaceSite.OnInPlaceDeactivate", E_NOTIMPL,
         [&](bool&) { return site->OnInPlaceDeactivate(); }},

        {"Frame.GetWindow", S_OK, [&](bool& ok) {
             HWND w = nullptr; HRESULT hr = frame->GetWindow(&w); ok = w == parent_; return hr; }},
        {"Frame.GetBorder", E_NOTIMPL, [&](bool& ok) {
             RECT r{7, 8, 9, 10}; HRESULT hr = frame->GetBorder(&r);
             ok = SameRect(r, RECT{7, 8, 9, 10}); return hr; }},
        {"Frame.SetActiveObject", S_OK, [&](bool&) { return frame->SetActiveObject(nullptr, L"x"); }},
        {"Frame.InsertMenus", E_NOTIMPL, [&](bool& ok) {
             OLEMENUGROUPWIDTHS w; for (LONG& v : w.width) v = 33;
             HRESULT hr = frame->InsertMenus(nullptr, &w);
             ok = std::all_of(std::begin(w.width), std::end(w.width), [](LONG v) { return v == 33; });
             return hr; }},
        {"Frame.SetMenu", S_OK, [&](bool&) { return frame->SetMenu(nullptr, nullptr, nullptr); }},
        {"Frame.SetStatusText", S_OK, [&](bool&) { return frame->SetStatusText(L"x"); }},
        {"Frame.EnableModeless", S_OK, [&](bool&) { return frame->EnableModeless(TRUE); }},
        {"Frame.TranslateAccelerator", E_NOTIMPL, [&](bool&) {
             MSG msg{}; return frame->TranslateAccelerator(&msg, 1); }},

        {"UI.ShowUI", S_OK, [&](bool&) { return ui->ShowUI(0, nullptr, nullptr, nullptr, nullptr); }},
        {"UI.HideUI", S_OK, [&](bool&) { return ui->HideUI(); }},
        {"UI.UpdateUI", S_OK, [&](bool&) { return ui->UpdateUI(); }},
        {"UI.EnableModeless", S_OK, [&](bool&) { return ui->EnableModeless(FALSE); }},
        {"UI.OnDocWindowActivate", S_OK, [&](bool&) { return ui->OnDocWindowActivate(TRUE); }},
        {"UI.OnFrameWindowActivate", S_OK, [&](bool&) { return ui->OnFrameWindowActivate(TRUE); }},
        {"UI.ResizeBorder", S_OK, [&](bool&) { return ui->ResizeBorder(&kControlRect, nullptr, TRUE); }},
        {"UI.TranslateAccelerator", E_NOTIMPL, [&](bool&) {
             MSG msg{}; return ui->TranslateAccelerator(&msg, nullptr, 0); }},
        {"UI.GetOptionKeyPath", E_NOTIMPL, [&](bool& ok) {
             LPOLESTR key; badPtr(&key);
             HRESULT hr = ui->GetOptionKeyPath(&key, 0); ok = untouched(key); return hr; }},
        {"UI.GetDropTarget", S_FALSE, [&](bool& ok) {
             IDropTarget* t; badPtr(&t);
             HRESULT hr = ui->GetDropTarget(nullptr, &t); ok = untouched(t); return hr; }},
        {"UI.GetExternal", E_NOTIMPL, [&](bool& ok) {
             IDispatch* d; badPtr(&d);
             HRESULT hr = ui->GetExternal(&d); ok = untouched(d); return hr; }},
        {"UI.TranslateUrl", E_NOTIMPL, [&](bool& ok) {
             wchar_t in[] = L"http://a/"; LPWSTR outUrl; badPtr(&outUrl);
             HRESULT hr = ui->TranslateUrl(0, in, &outUrl); ok = untouched(outUrl); return hr; }},
        {"UI.FilterDataObject", E_NOTIMPL, [&](bool& ok) {
             IDataObject* d; badPtr(&d);
             HRESULT hr = ui->FilterDataObject(nullptr, &d); ok = untouched(d); return hr; }},

        {"Sink.GetTypeInfoCount", E_NOTIMPL, [&](bool& ok) {
             UINT n = 0xBAD; HRESULT hr = sink->GetTypeInfoCount(&n); ok = n == 0xBAD; return hr; }},
        {"Sink.GetTypeInfo", E_NOTIMPL, [&](bool& ok) {
             ITypeInfo* t; badPtr(&t);
             HRESULT hr = sink->GetTypeInfo(0, 0, &t); ok = untouched(t); return hr; }},
        {"Sink.GetIDsOfNames", E_NOTIMPL, [&](bool& ok) {
             wchar_t name[] = L"Navigate"; LPOLESTR names[] = {name}; DISPID id = 0xBAD;
             HRESULT hr = sink->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
             ok = id == 0xBAD; return hr; }},
        {"Sink.Invoke", E_NOTIMPL, [&](bool& ok) {
             DISPPARAMS params{}; VARIANT result; result.vt = 0xBAD;
             EXCEPINFO info; info.wCode = 0xBAD; UINT arg = 0xBAD;
             HRESULT hr = sink->Invoke(250, IID_NULL, 0, DISPATCH_METHOD, &params, &result, &info, &arg);
             ok = result.vt == 0xBAD && info.wCode == 0xBAD && arg == 0xBAD; return hr; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool outsAsExpected = true;
        EXPECT_EQ(row.call(outsAsExpected), row.expected);
        EXPECT_TRUE(outsAsExpected);
        EXPECT_EQ(host_->refCount, count);
    }
}

class ContextMenuTest : public BrowserHostTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ContextMenuTest, OnlyFormControlsAlwaysKeepTheirMenu) {
    const bool showMenu = GetParam();
    Register();
    MakeHost(kStartUrl, showMenu);
    EXPECT_EQ(host_->showIeMenu, showMenu);
    for (DWORD kind = CONTEXT_MENU_DEFAULT; kind <= CONTEXT_MENU_MEDIA + 1; ++kind) {
        SCOPED_TRACE(kind);
        const HRESULT expected = (showMenu || kind == CONTEXT_MENU_CONTROL) ? S_FALSE : S_OK;
        EXPECT_EQ(fake::ShowContextMenu(kind), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(ShowIeMenu, ContextMenuTest, ::testing::Bool());

bool LooksYellow(COLORREF c) {
    return GetRValue(c) > 160 && GetGValue(c) > 160 && GetBValue(c) < 100;
}

int YellowPixels(HWND status) {
    RECT r;
    GetWindowRect(status, &r);
    Pixels shot = CaptureScreen(r);
    return static_cast<int>(std::count_if(shot.data.begin(), shot.data.end(), LooksYellow));
}

TEST_F(BrowserHostTest, StatusTextReachesTheStatusLineUnchanged) {
    Register();
    MakeHost();

    // Before the status line exists the text has nowhere to go.
    EXPECT_EQ(fake::SetStatusText(L"too early"), S_OK);

    host_->CreateStatusWindow(GetModuleHandleA(nullptr), 20, 250, 300, 16, "FFFF00");
    ASSERT_NE(host_->statusWin, nullptr);
    ASSERT_NE(host_->statusWnd, nullptr);
    EXPECT_EQ(GetParent(host_->statusWnd), parent_);
    RECT placed;
    GetWindowRect(host_->statusWnd, &placed);
    MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(SameRect(placed, RECT{20, 250, 320, 266})) << DescribeRect(placed);
    EXPECT_STREQ(host_->statusWin->text, "");
    PumpMessages();
    EXPECT_EQ(YellowPixels(host_->statusWnd), 0);

    EXPECT_EQ(fake::SetStatusText(L"Opening page http://127.0.0.1/"), S_OK);
    EXPECT_STREQ(host_->statusWin->text, "Opening page http://127.0.0.1/");
    PumpMessages();
    EXPECT_GT(YellowPixels(host_->statusWnd), 20) << "the status text is not on screen";

    // Empty or null text keeps the previous one.
    EXPECT_EQ(fake::SetStatusText(L""), S_OK);
    EXPECT_EQ(fake::SetStatusText(nullptr), S_OK);
    EXPECT_STREQ(host_->statusWin->text, "Opening page http://127.0.0.1/");

    EXPECT_EQ(fake::SetStatusText(L"100% done %s %n"), S_OK);
    EXPECT_STREQ(host_->statusWin->text, "100% done %s %n");

    // A long text is cut to the line, and nothing beyond its buffer is written.
    const HWND window = host_->statusWin->window;
    const COLORREF colour = host_->statusWin->textColour;
    std::wstring text = L"start-";
    while (text.size() < 5000) text += static_cast<wchar_t>(L'a' + text.size() % 26);
    EXPECT_EQ(fake::SetStatusText(text.c_str()), S_OK);
    EXPECT_EQ(std::string(host_->statusWin->text), std::string(text.begin(), text.begin() + 1023));
    EXPECT_EQ(host_->statusWin->window, window);
    EXPECT_EQ(host_->statusWin->textColour, colour);
}

TEST_F(BrowserHostTest, StatusLineThatCannotBeAllocatedDropsText) {
    Register();
    MakeHost();
    FailNothrowAllocation(0);
    host_->CreateStatusWindow(GetModuleHandleA(nullptr), 20, 250, 300, 16, "FFFFFF");
    FailNothrowAllocation(-1);
    EXPECT_EQ(host_->statusWin, nullptr);
    EXPECT_EQ(host_->statusWnd, nullptr);
    EXPECT_EQ(fake::SetStatusText(L"nowhere to show this"), S_OK);
}

TEST(WideToAnsi, ConvertsIntoTaskMemory) {
    struct Case {
        const wchar_t* text;
        const char* expected;
    };
    for (Case c : {Case{nullptr, nullptr}, Case{L"", ""}, Case{L"Done", "Done"},
                   Case{L"50% of %s", "50% of %s"}}) {
        char* out = reinterpret_cast<char*>(static_cast<ULONG_PTR>(0xBAD));
        EXPECT_EQ(WideToAnsi(c.text, &out), S_OK);
        if (!c.expected) {
            EXPECT_EQ(out, nullptr);
            continue;
        }
        ASSERT_NE(out, nullptr);
        EXPECT_STREQ(out, c.expected);
        CoTaskMemFree(out);
    }
    EXPECT_EQ(WideToAnsi(L"x", nullptr), E_INVALIDARG);
}

TEST(WideToAnsi, Win32ErrorsBecomeHresults) {
    struct Case {
        DWORD error;
        HRESULT expected;
    };
    for (Case c : {Case{0, S_OK}, Case{ERROR_ACCESS_DENIED, static_cast<HRESULT>(0x80070005)},
                   Case{ERROR_NO_UNICODE_TRANSLATION, static_cast<HRESULT>(0x80070459)},
                   Case{0x12345, static_cast<HRESULT>(0x80072345)},
                   Case{0x80004005, static_cast<HRESULT>(0x80004005)}}) {
        SCOPED_TRACE(c.error);
        EXPECT_EQ(HResultFromWin32(c.error), c.expected);
    }
}

}  // namespace
