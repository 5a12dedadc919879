#include "browser/fake_control.h"

#include <ole2.h>
#include <exdisp.h>
#include <exdispid.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

// Methods the fake does not name share one catch-all, which is sound only
// where the caller cleans up the stack, as on x64.
static_assert(sizeof(void*) == 8, "the fake control needs the x64 calling convention");

namespace {

enum Face { kObject, kInPlace, kContainer, kPoint, kBrowser, kActive, kFaces };
constexpr int kSlots = 80;  // more than IWebBrowser2 has

}  // namespace

struct FakeControl {
    struct Interface {
        void* const* table;
        FakeControl* self;
    };
    explicit FakeControl(FakeBrowserClass* o);
    Interface faces[kFaces];
    ULONG refs = 1;
    FakeBrowserClass* owner;
    IOleInPlaceSite* held = nullptr;
    IDispatch* sink = nullptr;  // the advised one
    HWND page = nullptr;
};

namespace {

FakeControl* Self(void* face) { return static_cast<FakeControl::Interface*>(face)->self; }
void Call(void* face, const std::string& call) { Self(face)->owner->Called(call); }

std::string Text(const RECT* r) {
    char text[64] = "null";
    if (r) std::snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", r->left, r->top, r->right, r->bottom);
    return text;
}

HRESULT STDMETHODCALLTYPE NotImplemented() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE QueryInterface(void* face, REFIID iid, void** out) {
    static const std::pair<const IID*, Face> kAnswers[] = {
        {&IID_IUnknown, kObject}, {&IID_IOleObject, kObject}, {&IID_IOleInPlaceObject, kInPlace},
        {&IID_IConnectionPointContainer, kContainer}, {&IID_IWebBrowser2, kBrowser},
        {&DIID_DWebBrowserEvents2, kPoint}, {&IID_IOleInPlaceActiveObject, kActive}};  // kPoint: that connection point
    FakeControl* c = Self(face);
    *out = nullptr;
    for (const IID& refused : c->owner->refused()) {
        if (IsEqualIID(iid, refused)) return E_NOINTERFACE;
    }
    for (const auto& a : kAnswers) {
        if (!IsEqualIID(iid, *a.first)) continue;
        *out = &c->faces[a.second];
        ++c->refs;
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE AddRef(void* face) { return ++Self(face)->refs; }

ULONG STDMETHODCALLTYPE Release(void* face) {
    FakeControl* c = Self(face);
    if (--c->refs) return c->refs;
    if (c->held) {
        c->owner->Called(c->held->CanInPlaceActivate() == S_OK ? "site still there" : "site gone");
        c->held->Release();
    }
    c->owner->Called("gone");
    delete c;
    return 0;
}

// The page's window notes the keys that reach it.
LRESULT CALLBACK PageProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_KEYDOWN || msg == WM_CHAR)
        reinterpret_cast<FakeControl*>(GetWindowLongPtrA(wnd, GWLP_USERDATA))
            ->owner->Called((msg == WM_CHAR ? "page char " : "page keydown ") + std::to_string(wParam));
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

HRESULT STDMETHODCALLTYPE DoVerb(void* face, LONG verb, MSG*, IOleClientSite* site, LONG, HWND parent, const RECT* r) {
    Call(face, "DoVerb " + std::to_string(verb) + (site ? " site " : " null ") + Text(r));
    FakeControl* c = Self(face);
    if (verb == OLEIVERB_INPLACEACTIVATE && !c->page) {
        c->page = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, r->left, r->top, r->right - r->left,
                                  r->bottom - r->top, parent, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(c->page, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageProc));
        SetWindowLongPtrA(c->page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(c));
    }
    // As a control becomes UI-active: hands the frame its active object.
    IOleInPlaceFrame* frame = nullptr;
    if (verb == OLEIVERB_UIACTIVATE && site && site->QueryInterface(IID_IOleInPlaceFrame, reinterpret_cast<void**>(&frame)) == S_OK) {
        frame->SetActiveObject(reinterpret_cast<IOleInPlaceActiveObject*>(&c->faces[kActive]), L"item");
        frame->Release();
    }
    if (c->owner->heldByOle && site && !c->held) {
        site->QueryInterface(IID_IOleInPlaceSite, reinterpret_cast<void**>(&c->held));
        // Registered as a class object, the control is OLE's to let go of,
        // which it does only when it ends.
        static const CLSID kHeld = {0x6b0c4a2e, 0x1f3d, 0x4e52, {0x9a, 0x61, 0x2d, 0x7e, 0x80, 0x14, 0xc3, 0x55}};
        DWORD cookie = 0;
        CoRegisterClassObject(kHeld, static_cast<IUnknown*>(face), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Advise(void* face, IUnknown* sink, DWORD* cookie) {
    // A sink is one that answers for the events interface it is advised on.
    IDispatch* events = nullptr;
    if (sink) sink->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&events));
    Call(face, events ? "Advise sink" : "Advise non-sink");
    if (events) events->Release();  // the host outlives the navigations it asks for
    Self(face)->sink = events;
    *cookie = 42;
    return S_OK;
}

// The control's question to the sink before every navigation, in any frame.
bool Cancelled(IDispatch* sink, BSTR url) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANT address{}, args[7]{};  // last first: pDisp, URL, Flags, frame, PostData, Headers, Cancel
    address.vt = VT_BSTR, address.bstrVal = url;
    args[5].vt = VT_BYREF | VT_VARIANT, args[5].pvarVal = &address;
    args[0].vt = VT_BYREF | VT_BOOL, args[0].pboolVal = &cancel;
    DISPPARAMS params{args, nullptr, 7, 0};
    if (sink) sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    return cancel == VARIANT_TRUE;
}

template <typename Fn>
void* Slot(Fn fn) {
    return reinterpret_cast<void*>(fn);
}

struct Tables {
    void* slots[kFaces][kSlots];
    Tables() {
        for (auto& t : slots) {
            std::fill(std::begin(t), std::end(t), Slot(&NotImplemented));
            t[0] = Slot(&QueryInterface);
            t[1] = Slot(&AddRef);
            t[2] = Slot(&Release);
        }
        // The calls that matter, each written down as the fake's log shows it.
        slots[kObject][3] = Slot(+[](void* f, IOleClientSite* site) {
            return Call(f, site ? "SetClientSite site" : "SetClientSite null"), S_OK;
        });
        slots[kObject][6] = Slot(+[](void* f, DWORD option) { return Call(f, "Close " + std::to_string(option)), S_OK; });
        // Asking for the window is not a call.
        slots[kInPlace][3] = Slot(+[](void* f, HWND* wnd) { return *wnd = Self(f)->page, S_OK; });
        // Takes what it is told to (a control takes Ctrl+C in a text box); notes the key-downs.
        slots[kActive][5] = Slot(+[](void* f, MSG* m) {
            if (m->message == WM_KEYDOWN) Call(f, "TranslateAccelerator " + std::to_string(m->wParam));
            return m->wParam == Self(f)->owner->takenKey ? S_OK : S_FALSE;
        });
        slots[kObject][11] = Slot(&DoVerb);
        slots[kInPlace][7] = Slot(+[](void* f, const RECT* position, const RECT* clip) {
            return Call(f, "SetObjectRects " + Text(position) + " clip " + Text(clip)), S_OK;
        });
        slots[kContainer][4] = Slot(+[](void* f, REFIID iid, void** point) {
            return QueryInterface(f, iid, point) == S_OK ? S_OK : CONNECT_E_NOCONNECTION;
        });
        slots[kPoint][5] = Slot(&Advise);
        slots[kPoint][6] = Slot(+[](void* f, DWORD cookie) { return Call(f, "Unadvise " + std::to_string(cookie)), S_OK; });
        slots[kBrowser][7] = Slot(+[](void* f) { return Call(f, "GoBack"), S_OK; });
        slots[kBrowser][8] = Slot(+[](void* f) { return Call(f, "GoForward"), S_OK; });
        slots[kBrowser][9] = Slot(+[](void* f) { return Call(f, "GoHome"), S_OK; });
        slots[kBrowser][11] = Slot(+[](void* f, BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) {
            std::string narrow;
            for (const wchar_t* p = url; p && *p; ++p) narrow += static_cast<char>(*p);
            return Call(f, "Navigate " + narrow + (Cancelled(Self(f)->sink, url) ? " cancelled" : "")), S_OK;
        });
        slots[kBrowser][12] = Slot(+[](void* f) { return Call(f, "Refresh"), S_OK; });
    }
};

}  // namespace

FakeControl::FakeControl(FakeBrowserClass* o) : owner(o) {
    static const Tables tables;
    for (int f = 0; f < kFaces; ++f) faces[f] = Interface{tables.slots[f], this};
}

FakeBrowserClass::FakeBrowserClass(std::vector<std::string> expected, std::vector<IID> refused, bool heldByOle)
    : heldByOle(heldByOle), expected_(std::move(expected)), refused_(std::move(refused)) {
    CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie_);
}

STDMETHODIMP FakeBrowserClass::QueryInterface(REFIID iid, void** out) {
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory) ? this : nullptr;
    return *out ? S_OK : E_NOINTERFACE;
}

STDMETHODIMP FakeBrowserClass::CreateInstance(IUnknown*, REFIID iid, void** out) {
    auto* control = new FakeControl(this);
    const HRESULT hr = ::QueryInterface(&control->faces[kObject], iid, out);
    ::Release(&control->faces[kObject]);
    return hr;
}

FakeBrowserClass::~FakeBrowserClass() { CoRevokeClassObject(cookie_); }

void FakeBrowserClass::Called(const std::string& call) {
    if (!failure_.empty()) return;
    if (!watched.empty() && std::none_of(watched.begin(), watched.end(),
                                         [&](const std::string& w) { return call.compare(0, w.size(), w) == 0; }))
        return;
    if (next_ < expected_.size() && expected_[next_] == call) {
        ++next_;
        return;
    }
    failure_ = "unexpected call: " + call + "; expected: " + (next_ < expected_.size() ? expected_[next_] : "none");
}

std::string FakeBrowserClass::Verdict() const {
    if (!failure_.empty()) return failure_;
    return next_ < expected_.size() ? "missing call: " + expected_[next_] : "";
}
