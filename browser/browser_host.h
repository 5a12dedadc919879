// The OLE container of the system web-browser control.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <exdisp.h>
#include <mshtmhst.h>

class CInfoWin;
class CBrowserHost;

class CClientSite;
class CInPlaceSite;
class CInPlaceFrame;
class CUIHandler;
class CEventSink;

class CBrowserHost : public IUnknown {
public:
    CBrowserHost();
    // Revokes everything the control holds of ours before the site objects
    // go, so that the control can never call into freed memory.
    virtual ~CBrowserHost();
    CBrowserHost(const CBrowserHost&) = delete;
    CBrowserHost& operator=(const CBrowserHost&) = delete;

    CBrowserHost* Create(HWND parent, const char* startUrl, int x, int y, int width, int height,
                         bool showMenu);
    void CreateStatusWindow(HINSTANCE instance, int x, int y, int width, int height,
                            const char* colourText);
    // Moves the control to a new rectangle in the parent window.
    void Place(int x, int y, int width, int height);
    // Makes the control the one that takes the keyboard, as a browser's page
    // is when its window shows.
    void UIActivate();
    // Puts the keyboard focus in the control, unless it is there already.
    void FocusPage();
    // Offers a keyboard message for a window inside the control to the
    // control first (Tab between fields, the clipboard keys, Enter in a
    // form); true when the control handled it and it must go no further.
    bool TranslateKey(MSG* msg);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    CInfoWin* statusWin = nullptr;
    CClientSite* clientSite = nullptr;
    CUIHandler* uiHandler = nullptr;
    CInPlaceSite* inPlaceSite = nullptr;
    CInPlaceFrame* frame = nullptr;
    CEventSink* eventSink = nullptr;
    bool showIeMenu = false;
    IWebBrowser2* browser = nullptr;
    ULONG refCount = 0;
    HWND parentWnd = nullptr;
    HWND statusWnd = nullptr;

    // Kept to UI-activate the control and to take our sites back from it at
    // the end.
    IOleObject* oleObject = nullptr;
    IConnectionPoint* eventsPoint = nullptr;
    DWORD eventsCookie = 0;
    // What the control handed over when it became UI-active; until then the
    // control itself is asked.
    IOleInPlaceActiveObject* activeObject = nullptr;
    // OleUninitialize must pair with an OleInitialize that took effect.
    bool oleInitialized = false;
    // Set while the destructor runs: the control may still AddRef/Release
    // through the sites then, and that must not start a second destruction.
    bool destroying = false;
};

// Converts to the ANSI code page into a CoTaskMemAlloc'ed buffer of the size
// the conversion needs. A null text gives a null result and S_OK; on failure
// the result is null and the HRESULT says why.
HRESULT WideToAnsi(const wchar_t* text, char** out);
// The HRESULT_FROM_WIN32 rule: zero or negative values (as signed) unchanged,
// positive ones as their low 16 bits under facility WIN32.
HRESULT HResultFromWin32(DWORD error);
