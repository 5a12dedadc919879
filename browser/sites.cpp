// The container side of the conversation with the web-browser control. Most
// requests are declined; none of the declining methods touches its
// out-parameters, as the control may pass uninitialised memory there.
#include "browser/sites.h"

#include <exdispid.h>

#include <cwchar>

#include "controls/info_win.h"

// ---- CClientSite ----------------------------------------------------------

STDMETHODIMP CClientSite::SaveObject() { return E_NOTIMPL; }
STDMETHODIMP CClientSite::GetMoniker(DWORD, DWORD, IMoniker**) { return E_NOTIMPL; }
STDMETHODIMP CClientSite::GetContainer(IOleContainer**) { return E_NOTIMPL; }
STDMETHODIMP CClientSite::ShowObject() { return S_OK; }
STDMETHODIMP CClientSite::OnShowWindow(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CClientSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// ---- CInPlaceSite ---------------------------------------------------------

STDMETHODIMP CInPlaceSite::GetWindow(HWND* wnd) {
    if (!wnd) return E_INVALIDARG;
    *wnd = host->parentWnd;
    return S_OK;
}

STDMETHODIMP CInPlaceSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CInPlaceSite::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP CInPlaceSite::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP CInPlaceSite::OnUIActivate() { return S_OK; }

STDMETHODIMP CInPlaceSite::GetWindowContext(IOleInPlaceFrame** frameOut,
                                            IOleInPlaceUIWindow** docOut, LPRECT, LPRECT,
                                            LPOLEINPLACEFRAMEINFO frameInfo) {
    if (!frameOut || !docOut || !frameInfo) return E_INVALIDARG;
    // One object is both the frame and the document window; each out holds a
    // reference of its own. The rectangles stay as the control gave them.
    *frameOut = host->frame;
    *docOut = host->frame;
    if (host->frame) {
        host->frame->AddRef();
        host->frame->AddRef();
    }
    // cb belongs to the caller, who set it to the size it allocated.
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = host->parentWnd;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

STDMETHODIMP CInPlaceSite::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP CInPlaceSite::OnUIDeactivate(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CInPlaceSite::OnInPlaceDeactivate() { return E_NOTIMPL; }
STDMETHODIMP CInPlaceSite::DiscardUndoState() { return E_NOTIMPL; }
STDMETHODIMP CInPlaceSite::DeactivateAndUndo() { return E_NOTIMPL; }
STDMETHODIMP CInPlaceSite::OnPosRectChange(LPCRECT) { return E_NOTIMPL; }

// ---- CInPlaceFrame --------------------------------------------------------

STDMETHODIMP CInPlaceFrame::GetWindow(HWND* wnd) {
    if (!wnd) return E_INVALIDARG;
    *wnd = host->parentWnd;
    return S_OK;
}

STDMETHODIMP CInPlaceFrame::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
STDMETHODIMP CInPlaceFrame::GetBorder(LPRECT) { return E_NOTIMPL; }
STDMETHODIMP CInPlaceFrame::RequestBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP CInPlaceFrame::SetBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }
// The control hands over its active object as it becomes UI-active, to the
// frame and to the document window (both this object), and takes it back
// with null; the main loop offers it the keys meant for the page.
STDMETHODIMP CInPlaceFrame::SetActiveObject(IOleInPlaceActiveObject* active, LPCOLESTR) {
    if (active) active->AddRef();
    if (host->activeObject) host->activeObject->Release();
    host->activeObject = active;
    return S_OK;
}
STDMETHODIMP CInPlaceFrame::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP CInPlaceFrame::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP CInPlaceFrame::RemoveMenus(HMENU) { return E_NOTIMPL; }

STDMETHODIMP CInPlaceFrame::SetStatusText(LPCOLESTR text) {
    char* ansi = nullptr;
    // An empty text would wipe the line; the previous status stays instead.
    // The page's text is only ever an argument, so a '%' in it stays a '%'.
    if (SUCCEEDED(WideToAnsi(text, &ansi)) && ansi && ansi[0] != '\0' && host->statusWnd &&
        host->statusWin) {
        host->statusWin->SetInfoText("%s", ansi);
    }
    CoTaskMemFree(ansi);
    return S_OK;
}

STDMETHODIMP CInPlaceFrame::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP CInPlaceFrame::TranslateAccelerator(LPMSG, WORD) { return E_NOTIMPL; }

// ---- CUIHandler -----------------------------------------------------------

STDMETHODIMP CUIHandler::ShowContextMenu(DWORD id, POINT*, IUnknown*, IDispatch*) {
    // S_FALSE lets the control show its own menu; S_OK claims the click and
    // nothing appears. Form controls keep their menu (cut, copy, paste).
    if (id == CONTEXT_MENU_CONTROL) return S_FALSE;
    return host->showIeMenu ? S_FALSE : S_OK;
}

STDMETHODIMP CUIHandler::GetHostInfo(DOCHOSTUIINFO* info) {
    if (!info) return E_INVALIDARG;
    // The control scales the page to the window's DPI itself, as the skin is.
    info->dwFlags = DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_FLAT_SCROLLBAR | DOCHOSTUIFLAG_DPI_AWARE;
    info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    return S_OK;
}

STDMETHODIMP CUIHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                IOleInPlaceFrame*, IOleInPlaceUIWindow*) {
    return S_OK;
}
STDMETHODIMP CUIHandler::HideUI() { return S_OK; }
STDMETHODIMP CUIHandler::UpdateUI() { return S_OK; }
STDMETHODIMP CUIHandler::EnableModeless(BOOL) { return S_OK; }
STDMETHODIMP CUIHandler::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CUIHandler::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP CUIHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP CUIHandler::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CUIHandler::GetOptionKeyPath(LPOLESTR*, DWORD) { return E_NOTIMPL; }
STDMETHODIMP CUIHandler::GetDropTarget(IDropTarget*, IDropTarget**) { return S_FALSE; }
STDMETHODIMP CUIHandler::GetExternal(IDispatch**) { return E_NOTIMPL; }
STDMETHODIMP CUIHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR*) { return E_NOTIMPL; }
STDMETHODIMP CUIHandler::FilterDataObject(IDataObject*, IDataObject**) { return E_NOTIMPL; }

// ---- CEventSink -----------------------------------------------------------

STDMETHODIMP CEventSink::GetTypeInfoCount(UINT*) { return E_NOTIMPL; }
STDMETHODIMP CEventSink::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
STDMETHODIMP CEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
namespace {

// A file: URL, a share (two slashes of either kind) or a drive path: the
// disk, or a host that would be offered the user's network credentials.
bool IsFileOrShare(const wchar_t* url) {
    while (*url != L'\0' && *url <= L' ') ++url;
    const auto slash = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const bool drive = (*url | 0x20) >= L'a' && (*url | 0x20) <= L'z' && url[1] == L':' && slash(url[2]);
    return drive || (slash(url[0]) && slash(url[1])) || _wcsnicmp(url, L"file:", 5) == 0;
}

}  // namespace

STDMETHODIMP CEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                EXCEPINFO*, UINT*) {
    if (id != DISPID_BEFORENAVIGATE2) return E_NOTIMPL;
    // Its arguments come last first: the URL sixth from the end, Cancel last.
    if (!params || params->cArgs < 7 || !params->rgvarg) return E_INVALIDARG;
    const VARIANT& cancel = params->rgvarg[0];
    if (cancel.vt != (VT_BYREF | VT_BOOL) || !cancel.pboolVal) return E_INVALIDARG;
    const VARIANT* url = &params->rgvarg[5];
    if (url->vt == (VT_BYREF | VT_VARIANT) && url->pvarVal) url = url->pvarVal;
    // In any frame; an address that cannot be read is not let through either.
    if (url->vt != VT_BSTR || IsFileOrShare(url->bstrVal ? url->bstrVal : L"")) *cancel.pboolVal = VARIANT_TRUE;
    return S_OK;
}
