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
    virtual ~CBrowserHost();
    CBrowserHost(const CBrowserHost&) = delete;
    CBrowserHost& operator=(const CBrowserHost&) = delete;

    CBrowserHost* Create(HWND parent, const char* startUrl, int x, int y, int width, int height,
                         bool showMenu);
    void CreateStatusWindow(HINSTANCE instance, int x, int y, int width, int height,
                            const char* colourText);

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
};

HRESULT WideToAnsi(const wchar_t* text, char** out);
