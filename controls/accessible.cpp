#include "controls/accessible.h"

#include <new>

#include "common/com_ptr.h"

namespace {

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT ToBstr(const std::string& text, BSTR* out) {
    if (!out) return E_POINTER;
    const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    *out = length > 0 ? SysAllocStringLen(nullptr, static_cast<UINT>(length - 1)) : nullptr;
    if (*out) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, *out, length);
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Everything the face does not decide goes to the standard object, which
// knows the window's place, state, parent and focus.
class CWindowAccessible final : public IAccessible, public IOleWindow {
public:
    CWindowAccessible(HWND wnd, ComPtr<IAccessible> standard, const AccessibleFace& face)
        : wnd_(wnd), standard_(std::move(standard)), face_(face) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidAccessible))
            *out = static_cast<IAccessible*>(this);
        else if (IsEqualIID(iid, IID_IOleWindow))
            *out = static_cast<IOleWindow*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    // Calls may come from another process's thread through the marshaller.
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override { return standard_->GetTypeInfoCount(count); }
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    // Through our own table, so that a late-bound caller hears the same name.
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        ComPtr<ITypeInfo> info;
        const HRESULT hr = standard_->GetTypeInfo(0, locale, info.put());
        if (FAILED(hr) || !info) return FAILED(hr) ? hr : E_NOTIMPL;
        return DispInvoke(static_cast<IAccessible*>(this), info.get(), id, flags, params, result, exception, argError);
    }

    STDMETHODIMP get_accParent(IDispatch** parent) override { return standard_->get_accParent(parent); }
    STDMETHODIMP get_accChildCount(LONG* count) override { return standard_->get_accChildCount(count); }
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** out) override { return standard_->get_accChild(child, out); }
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
        std::string text;
        if (!IsSelf(child) || !face_.name || !face_.name(wnd_, &text)) return standard_->get_accName(child, name);
        return ToBstr(text, name);
    }
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override { return standard_->get_accValue(child, value); }
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
        if (!IsSelf(child)) return standard_->get_accRole(child, role);
        if (!role) return E_POINTER;
        role->vt = VT_I4;
        role->lVal = face_.role;
        return S_OK;
    }
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override { return standard_->get_accState(child, state); }
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override { return standard_->get_accHelp(child, help); }
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return standard_->get_accKeyboardShortcut(child, keys);
    }
    STDMETHODIMP get_accFocus(VARIANT* focus) override { return standard_->get_accFocus(focus); }
    STDMETHODIMP get_accSelection(VARIANT* selection) override { return standard_->get_accSelection(selection); }
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
        if (!IsSelf(child) || !face_.defaultAction) return standard_->get_accDefaultAction(child, action);
        if (!action) return E_POINTER;
        *action = SysAllocString(face_.defaultAction);
        return *action ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override { return standard_->accSelect(flags, child); }
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override { return standard_->accHitTest(x, y, child); }
    STDMETHODIMP accDoDefaultAction(VARIANT child) override {
        if (!IsSelf(child) || !face_.doDefaultAction) return standard_->accDoDefaultAction(child);
        face_.doDefaultAction(wnd_);
        return S_OK;
    }
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override { return standard_->put_accName(child, name); }
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override { return standard_->put_accValue(child, value); }

    // Lets WindowFromAccessibleObject find this window rather than a parent's.
    STDMETHODIMP GetWindow(HWND* wnd) override {
        if (!wnd) return E_POINTER;
        *wnd = wnd_;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

private:
    ~CWindowAccessible() = default;

    HWND wnd_;
    ComPtr<IAccessible> standard_;
    const AccessibleFace& face_;
    LONG refs_ = 1;
};

}  // namespace

LRESULT AnswerGetObject(HWND wnd, WPARAM wParam, LPARAM lParam, const AccessibleFace& face) {
    // The object id is 32 bits wide and not sign-extended into a 64-bit lParam.
    if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT))
        return DefWindowProcA(wnd, WM_GETOBJECT, wParam, lParam);
    ComPtr<IAccessible> standard;
    CreateStdAccessibleObject(wnd, OBJID_CLIENT, kIidAccessible, standard.put_void());
    CWindowAccessible* object = standard ? new (std::nothrow) CWindowAccessible(wnd, standard, face) : nullptr;
    if (!object) return DefWindowProcA(wnd, WM_GETOBJECT, wParam, lParam);
    const LRESULT result = LresultFromObject(kIidAccessible, wParam, static_cast<IAccessible*>(object));
    object->Release();
    return result;
}
