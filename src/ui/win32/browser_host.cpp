#include "ui/win32/browser_host.h"

#include <ole2.h>
#include <oleauto.h>
#include <ocidl.h>
#include <docobj.h>
#include <mshtmhst.h>

#include <vector>

#include "ui/win32/com_ptr.h"

namespace volantis::win32 {
namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID kWebBrowserClassId = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
constexpr DISPID kNavigateDispatchId = 0x68;
// The control's Silent property: no dialog boxes of its own (script errors,
// security prompts), which would stop the simulator's thread until answered.
constexpr DISPID kSilentDispatchId = 0x226;
// {C4D244B0-D43E-11CF-893B-00AA00BDCE1A}
constexpr IID kDocHostShowUiId = {0xC4D244B0, 0xD43E, 0x11CF, {0x89, 0x3B, 0x00, 0xAA, 0x00, 0xBD, 0xCE, 0x1A}};
// {B722BCCB-4E68-101B-A2BC-00AA00404770}
constexpr IID kOleCommandTargetId = {0xB722BCCB, 0x4E68, 0x101B, {0xA2, 0xBC, 0x00, 0xAA, 0x00, 0x40, 0x47, 0x70}};
// {F38BC242-B950-11D1-8918-00C04FC2C836}: the commands a page's engine asks its host.
constexpr GUID kDocHostCommandGroup = {0xF38BC242, 0xB950, 0x11D1, {0x89, 0x18, 0x00, 0xC0, 0x4F, 0xC2, 0xC8, 0x36}};

// The container side the control talks to. Reference-counted on the one thread.
// As the page's host it also answers the page's message boxes (alert, confirm)
// itself, showing nothing, and takes the page's script errors the same way
// (the page's scripts go on): a modal box from a web page must never hold the
// simulator.
class BrowserSite final : public IOleClientSite,
                          public IOleInPlaceSite,
                          public IOleInPlaceFrame,
                          public IDocHostShowUI,
                          public IOleCommandTarget {
 public:
  explicit BrowserSite(HWND window) : window_(window) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
      *object = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite)) {
      *object = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame)) {
      *object = static_cast<IOleInPlaceFrame*>(this);
    } else if (IsEqualIID(iid, kDocHostShowUiId)) {
      *object = static_cast<IDocHostShowUI*>(this);
    } else if (IsEqualIID(iid, kOleCommandTargetId)) {
      *object = static_cast<IOleCommandTarget*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IOleWindow (for both the in-place site and the frame)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_POINTER;
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                             RECT* clip, OLEINPLACEFRAMEINFO* info) override {
    if (frame == nullptr || document == nullptr || position == nullptr || clip == nullptr || info == nullptr) {
      return E_POINTER;
    }
    *frame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *document = nullptr;
    ::GetClientRect(window_, position);
    *clip = *position;
    info->fMDIApp = FALSE;
    info->hwndFrame = ::GetAncestor(window_, GA_ROOT);
    info->haccel = nullptr;
    info->cAccelEntries = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }

  // IOleInPlaceUIWindow
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) override { return S_OK; }

  // IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU, HOLEMENU, HWND) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG, WORD) override { return S_FALSE; }

  // IDocHostShowUI: S_OK means the host has shown the box; the page reads OK.
  HRESULT STDMETHODCALLTYPE ShowMessage(HWND, LPOLESTR, LPOLESTR, DWORD, LPOLESTR, DWORD, LRESULT* result) override {
    if (result != nullptr) *result = IDOK;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ShowHelp(HWND, LPOLESTR, UINT, DWORD, POINT, IDispatch*) override { return S_OK; }

  // IOleCommandTarget: of the engine's questions only the script error is
  // answered, as shown, with "go on running the page's scripts"; the rest are
  // left to the control.
  HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG, OLECMD*, OLECMDTEXT*) override {
    return group != nullptr && IsEqualGUID(*group, kDocHostCommandGroup) ? OLECMDERR_E_NOTSUPPORTED
                                                                         : OLECMDERR_E_UNKNOWNGROUP;
  }
  HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD command, DWORD, VARIANT*, VARIANT* out) override {
    if (group == nullptr || !IsEqualGUID(*group, kDocHostCommandGroup)) return OLECMDERR_E_UNKNOWNGROUP;
    if (command != OLECMDID_SHOWSCRIPTERROR) return OLECMDERR_E_NOTSUPPORTED;
    if (out != nullptr) {
      ::VariantClear(out);
      out->vt = VT_BOOL;
      out->boolVal = VARIANT_TRUE;
    }
    return S_OK;
  }

 private:
  ~BrowserSite() = default;
  HWND window_;
  ULONG references_ = 1;
};

// The hosting window's record: the site and the control's interfaces.
class BrowserHost {
 public:
  explicit BrowserHost(HWND window) : window_(window) {}
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;
  ~BrowserHost() { Close(); }

  void Create() {
    if (object_) return;
    if (FAILED(::CoCreateInstance(kWebBrowserClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.put()))) {
      return;
    }
    site_ = new BrowserSite(window_);
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, persist.put()))) persist->InitNew();
    object_->SetClientSite(site_);
    ::OleSetContainedObject(object_.get(), TRUE);
    RECT rect;
    ::GetClientRect(window_, &rect);
    object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, window_, &rect);
    object_->QueryInterface(IID_IOleInPlaceObject, in_place_.put());
    object_->QueryInterface(IID_IDispatch, dispatch_.put());
    PutSilent();
  }

  // The Silent property as the control reports it; false when it cannot say.
  bool silent() {
    if (!dispatch_) return false;
    VARIANT value;
    ::VariantInit(&value);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    const HRESULT result = dispatch_->Invoke(kSilentDispatchId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                             &none, &value, nullptr, nullptr);
    const bool silent = SUCCEEDED(result) && value.vt == VT_BOOL && value.boolVal != VARIANT_FALSE;
    ::VariantClear(&value);
    return silent;
  }

  // An interface of the client site as the control holds it.
  HRESULT QueryControlSite(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!object_) return E_FAIL;
    ComPtr<IOleClientSite> held;
    const HRESULT result = object_->GetClientSite(reinterpret_cast<IOleClientSite**>(held.put()));
    if (FAILED(result)) return result;
    if (!held) return E_FAIL;
    return held->QueryInterface(iid, object);
  }

  void Close() {
    if (in_place_) in_place_->InPlaceDeactivate();
    in_place_.reset();
    dispatch_.reset();
    if (object_) {
      object_->Close(OLECLOSE_NOSAVE);
      object_->SetClientSite(nullptr);
      object_.reset();
    }
    if (site_ != nullptr) std::exchange(site_, nullptr)->Release();
  }

  void Resize() {
    if (!in_place_) return;
    RECT rect;
    ::GetClientRect(window_, &rect);
    in_place_->SetObjectRects(&rect, &rect);
  }

  bool created() const { return static_cast<bool>(dispatch_); }

  HRESULT Navigate(const std::string& address) {
    if (!dispatch_) return E_FAIL;
    const int length = ::MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, nullptr, 0);
    std::vector<wchar_t> wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    if (length > 0) ::MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, wide.data(), length);
    BSTR url = ::SysAllocString(wide.data());
    if (url == nullptr) return E_OUTOFMEMORY;
    // Arguments go in reverse order: headers, post data, target frame, flags, then the address.
    VARIANT empty[4];
    VARIANTARG arguments[5];
    for (int i = 0; i < 4; ++i) {
      ::VariantInit(&empty[i]);
      ::VariantInit(&arguments[i]);
      arguments[i].vt = VT_VARIANT | VT_BYREF;
      arguments[i].pvarVal = &empty[i];
    }
    ::VariantInit(&arguments[4]);
    arguments[4].vt = VT_BSTR;
    arguments[4].bstrVal = url;
    DISPPARAMS parameters = {arguments, nullptr, 5, 0};
    const HRESULT result = dispatch_->Invoke(kNavigateDispatchId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                             &parameters, nullptr, nullptr, nullptr);
    ::SysFreeString(url);
    return result;
  }

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept;

 private:
  void PutSilent() {
    if (!dispatch_) return;
    VARIANTARG value;
    ::VariantInit(&value);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS parameters = {&value, &named, 1, 1};
    dispatch_->Invoke(kSilentDispatchId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &parameters, nullptr,
                      nullptr, nullptr);
  }

  HWND window_;
  BrowserSite* site_ = nullptr;
  ComPtr<IOleObject> object_;
  ComPtr<IOleInPlaceObject> in_place_;
  ComPtr<IDispatch> dispatch_;
};

BrowserHost* HostOf(HWND window) {
  if (window == nullptr) return nullptr;
  char name[64] = {};
  if (::GetClassNameA(window, name, sizeof name) == 0 || lstrcmpiA(name, kBrowserHostClass) != 0) return nullptr;
  return reinterpret_cast<BrowserHost*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK BrowserHost::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept {
  try {
    switch (message) {
      case WM_CREATE: {
        auto* host = new BrowserHost(window);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
        return 0;
      }
      case WM_SIZE:
        if (BrowserHost* host = HostOf(window)) host->Resize();
        return 0;
      case WM_DESTROY:
        if (BrowserHost* host = HostOf(window)) host->Close();
        return 0;
      case WM_NCDESTROY: {
        auto* host = reinterpret_cast<BrowserHost*>(::SetWindowLongPtrA(window, GWLP_USERDATA, 0));
        delete host;
        break;
      }
      default:
        break;
    }
  } catch (...) {
  }
  return ::DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

bool RegisterBrowserHostClass(HINSTANCE module) {
  WNDCLASSA existing;
  if (::GetClassInfoA(module, kBrowserHostClass, &existing)) return true;
  WNDCLASSA window_class = {};
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = BrowserHost::WindowProc;
  window_class.hInstance = module;
  window_class.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  window_class.lpszClassName = kBrowserHostClass;
  return ::RegisterClassA(&window_class) != 0;
}

void UnregisterBrowserHostClass(HINSTANCE module) { ::UnregisterClassA(kBrowserHostClass, module); }

bool CreateBrowserControl(HWND host) {
  BrowserHost* browser = HostOf(host);
  if (browser == nullptr) return false;
  browser->Create();
  return browser->created();
}

bool BrowserControlCreated(HWND host) {
  BrowserHost* browser = HostOf(host);
  return browser != nullptr && browser->created();
}

bool BrowserControlSilent(HWND host) {
  BrowserHost* browser = HostOf(host);
  return browser != nullptr && browser->silent();
}

HRESULT QueryBrowserControlSite(HWND host, REFIID iid, void** object) {
  BrowserHost* browser = HostOf(host);
  if (browser == nullptr) {
    if (object != nullptr) *object = nullptr;
    return E_FAIL;
  }
  return browser->QueryControlSite(iid, object);
}

HRESULT NavigateBrowser(HWND host, const std::string& address) {
  BrowserHost* browser = HostOf(host);
  return browser != nullptr ? browser->Navigate(address) : E_FAIL;
}

}  // namespace volantis::win32
