// A stand-in for the system web-browser control, registered for its class id
// inside the test process, in the expectation style: the test states the
// calls it expects, in order, and the first call that is not the next one
// expected is the failure. The control answers the interfaces it is asked
// for (IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject,
// IConnectionPointContainer, IWebBrowser2) unless told to refuse one; asking
// is not a call.
#pragma once
#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <string>
#include <vector>

// The calls as the fake writes them: SetClientSite site|null; SetObjectRects
// L,T,R,B clip L,T,R,B; DoVerb VERB site L,T,R,B; Advise sink; Unadvise
// COOKIE; Navigate URL [cancelled] (by the sink's BeforeNavigate2); GoBack, GoForward, GoHome, Refresh; Close OPTION;
// site still there (a held site called as the control goes); gone (its last
// reference let go); TranslateAccelerator VK, page keydown VK, page char C
// (key-downs offered to it, keys that reach its window). Any other method
// is not implemented, and no call.
class FakeBrowserClass final : public IClassFactory {
public:
    // heldByOle: like a control whose last reference OLE itself holds, it
    // keeps its in-place site from DoVerb on and calls it on its way out.
    explicit FakeBrowserClass(std::vector<std::string> expected, std::vector<IID> refused = {},
                              bool heldByOle = false);
    ~FakeBrowserClass();
    FakeBrowserClass(const FakeBrowserClass&) = delete;
    FakeBrowserClass& operator=(const FakeBrowserClass&) = delete;

    // "" when every expected call came in order and nothing else did.
    std::string Verdict() const;
    size_t CallsSoFar() const { return next_; }
    void Called(const std::string& call);
    const std::vector<IID>& refused() const { return refused_; }
    const bool heldByOle;
    WPARAM takenKey = 0;  // the key that TranslateAccelerator takes (S_OK)
    // Calls that begin with none of these are not the test's business; all
    // are when it is empty.
    std::vector<std::string> watched;

    // The class object that makes the fakes; it lives as long as this.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    std::vector<std::string> expected_;
    std::atomic<size_t> next_{0};
    std::string failure_;
    std::vector<IID> refused_;
    DWORD cookie_ = 0;
};
