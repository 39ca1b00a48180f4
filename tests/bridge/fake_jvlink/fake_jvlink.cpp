// fake-jvlink.dll: a stand-in for the JV-Link automation object, registered in a test
// Wine prefix under its ProgID and CLSID so that sorvantix-jvlink-bridge.exe can be
// driven end to end without the real component. TEST CODE ONLY.
//
// IDispatch by hand (no type library). The feed folder is the first line of
// fake-jvlink-feed.txt beside the DLL (a Windows path such as Z:\tmp\feed); a later
// line "no-JVGets" hides JVGets, so that a caller's JVRead path can be tried; a line
// "JVGets-no-array" makes JVGets return the length but no bytes.

#include "fake_feed.h"

// windows.h first: the COM headers build on it.
// clang-format off
#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>
#include <olectl.h>
// clang-format on

#include <memory>
#include <string>

namespace {

// {2AB1774D-0C41-11D7-916F-0003479BEB3F}, the real component's CLSID.
const CLSID kClsid = {0x2AB1774D, 0x0C41, 0x11D7, {0x91, 0x6F, 0x00, 0x03, 0x47, 0x9B, 0xEB, 0x3F}};
const wchar_t kClsidText[] = L"{2AB1774D-0C41-11D7-916F-0003479BEB3F}";
const wchar_t kProgId[] = L"JVDTLab.JVLink";
const wchar_t kVersion[] = L"fake 4.9.0";

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

enum DispId : DISPID {
    kJVInit = 1,
    kJVSetUIProperties,
    kJVOpen,
    kJVRTOpen,
    kJVStatus,
    kJVRead,
    kJVGets,
    kJVSkip,
    kJVCancel,
    kJVClose,
    kVersionProperty,
};

struct Member
{
    const wchar_t* name;
    DISPID id;
};

const Member kMembers[] = {
    {L"JVInit", kJVInit},
    {L"JVSetUIProperties", kJVSetUIProperties},
    {L"JVOpen", kJVOpen},
    {L"JVRTOpen", kJVRTOpen},
    {L"JVStatus", kJVStatus},
    {L"JVRead", kJVRead},
    {L"JVGets", kJVGets},
    {L"JVSkip", kJVSkip},
    {L"JVCancel", kJVCancel},
    {L"JVClose", kJVClose},
    {L"m_JVLinkVersion", kVersionProperty},
};

std::wstring moduleFolder()
{
    wchar_t path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH * 2);
    std::wstring p(path, n);
    const size_t slash = p.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : p.substr(0, slash);
}

struct Settings
{
    std::wstring feedFolder;
    bool hideGets = false;
    bool getsWithoutArray = false;
};

Settings readSettings()
{
    Settings s;
    const std::wstring file = moduleFolder() + L"\\fake-jvlink-feed.txt";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return s;
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(h);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    size_t start = 0;
    bool first = true;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(start, end - start);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (first) {
            while (line.size() > 3 && (line.back() == '\\' || line.back() == '/'))
                line.pop_back();
            const int n = MultiByteToWideChar(CP_UTF8, 0, line.data(),
                                              static_cast<int>(line.size()), nullptr, 0);
            s.feedFolder.assign(static_cast<size_t>(n), L'\0');
            MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()),
                                s.feedFolder.data(), n);
            first = false;
        } else if (line == "no-JVGets") {
            s.hideGets = true;
        } else if (line == "JVGets-no-array") {
            s.getsWithoutArray = true;
        }
        start = end + 1;
    }
    return s;
}

std::string narrow(const wchar_t* w, int n, UINT codePage)
{
    if (!w || n <= 0)
        return {};
    const int m = WideCharToMultiByte(codePage, 0, w, n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(m), '\0');
    WideCharToMultiByte(codePage, 0, w, n, out.data(), m, nullptr, nullptr);
    return out;
}

BSTR bstrOf(const std::string& bytes, UINT codePage)
{
    if (bytes.empty())
        return SysAllocStringLen(L"", 0);
    const int n =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    BSTR out = SysAllocStringLen(nullptr, static_cast<UINT>(n));
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out, n);
    return out;
}

// The arguments of one Invoke, in the method's own order (DISPPARAMS holds them
// reversed).
class Args
{
public:
    Args(DISPPARAMS* p, UINT* argError) : m_p(p), m_argError(argError) {}

    UINT count() const { return m_p ? m_p->cArgs : 0; }
    VARIANT* at(UINT i) const { return &m_p->rgvarg[m_p->cArgs - 1 - i]; }

    // An input text, by value or by reference.
    HRESULT text(UINT i, std::string& out, UINT codePage) const
    {
        VARIANT copy;
        VariantInit(&copy);
        HRESULT hr = VariantChangeType(&copy, at(i), 0, VT_BSTR);
        if (FAILED(hr))
            return fail(i, DISP_E_TYPEMISMATCH);
        out = narrow(copy.bstrVal, static_cast<int>(SysStringLen(copy.bstrVal)), codePage);
        VariantClear(&copy);
        return S_OK;
    }

    // An input number, by value or by reference.
    HRESULT number(UINT i, int& out) const
    {
        VARIANT copy;
        VariantInit(&copy);
        HRESULT hr = VariantChangeType(&copy, at(i), 0, VT_I4);
        if (FAILED(hr))
            return fail(i, DISP_E_TYPEMISMATCH);
        out = static_cast<int>(copy.lVal);
        return S_OK;
    }

    // A by-reference number (long*); a by-value one is refused.
    HRESULT intRef(UINT i) const
    {
        const VARTYPE vt = at(i)->vt;
        if (vt == (VT_BYREF | VT_I4) && at(i)->plVal)
            return S_OK;
        if (vt == (VT_BYREF | VT_VARIANT) && at(i)->pvarVal)
            return S_OK;
        return fail(i, DISP_E_TYPEMISMATCH);
    }
    HRESULT bstrRef(UINT i) const
    {
        const VARTYPE vt = at(i)->vt;
        if (vt == (VT_BYREF | VT_BSTR) && at(i)->pbstrVal)
            return S_OK;
        if (vt == (VT_BYREF | VT_VARIANT) && at(i)->pvarVal)
            return S_OK;
        return fail(i, DISP_E_TYPEMISMATCH);
    }
    HRESULT bytesRef(UINT i) const
    {
        const VARTYPE vt = at(i)->vt;
        if (vt == (VT_BYREF | VT_VARIANT) && at(i)->pvarVal)
            return S_OK;
        if (vt == (VT_BYREF | VT_ARRAY | VT_UI1) && at(i)->pparray)
            return S_OK;
        return fail(i, DISP_E_TYPEMISMATCH);
    }

    void setInt(UINT i, int value) const
    {
        VARIANT* v = at(i);
        if (v->vt == (VT_BYREF | VT_I4)) {
            *v->plVal = value;
        } else {
            VariantClear(v->pvarVal);
            v->pvarVal->vt = VT_I4;
            v->pvarVal->lVal = value;
        }
    }
    int getIntRef(UINT i) const
    {
        VARIANT* v = at(i);
        if (v->vt == (VT_BYREF | VT_I4))
            return static_cast<int>(*v->plVal);
        VARIANT copy;
        VariantInit(&copy);
        if (FAILED(VariantChangeType(&copy, v->pvarVal, 0, VT_I4)))
            return 0;
        return static_cast<int>(copy.lVal);
    }
    // Takes ownership of `b`.
    void setBstr(UINT i, BSTR b) const
    {
        VARIANT* v = at(i);
        if (v->vt == (VT_BYREF | VT_BSTR)) {
            SysFreeString(*v->pbstrVal);
            *v->pbstrVal = b;
        } else {
            VariantClear(v->pvarVal);
            v->pvarVal->vt = VT_BSTR;
            v->pvarVal->bstrVal = b;
        }
    }
    void setBytes(UINT i, const std::string& bytes) const
    {
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
        if (array && !bytes.empty()) {
            void* data = nullptr;
            if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
                memcpy(data, bytes.data(), bytes.size());
                SafeArrayUnaccessData(array);
            }
        }
        VARIANT* v = at(i);
        if (v->vt == (VT_BYREF | VT_VARIANT)) {
            VariantClear(v->pvarVal);
            v->pvarVal->vt = VT_ARRAY | VT_UI1;
            v->pvarVal->parray = array;
        } else {
            if (*v->pparray)
                SafeArrayDestroy(*v->pparray);
            *v->pparray = array;
        }
    }

private:
    HRESULT fail(UINT i, HRESULT hr) const
    {
        if (m_argError)
            *m_argError = m_p->cArgs - 1 - i;
        return hr;
    }

    DISPPARAMS* m_p;
    UINT* m_argError;
};

class FakeJvLink : public IDispatch
{
public:
    FakeJvLink() : m_settings(readSettings()), m_feed(m_settings.feedFolder)
    {
        InterlockedIncrement(&g_objects);
    }
    virtual ~FakeJvLink() { InterlockedDecrement(&g_objects); }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override
    {
        return static_cast<ULONG>(InterlockedIncrement(&m_refs));
    }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG n = InterlockedDecrement(&m_refs);
        if (n == 0)
            delete this;
        return static_cast<ULONG>(n);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override
    {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            // Automation names are case-insensitive; only the member name (i == 0) is looked up.
            if (i == 0) {
                for (const Member& m : kMembers) {
                    if (lstrcmpiW(names[0], m.name) == 0 &&
                        !(m.id == kJVGets && m_settings.hideGets))
                        ids[0] = m.id;
                }
            }
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* argError) override
    {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (params && params->cNamedArgs > 0)
            return DISP_E_NONAMEDARGS;
        if (result)
            VariantInit(result);
        const Args args(params, argError);
        if (id == kVersionProperty) {
            if (!(flags & DISPATCH_PROPERTYGET))
                return DISP_E_MEMBERNOTFOUND;
            if (args.count() != 0)
                return DISP_E_BADPARAMCOUNT;
            if (result) {
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocString(kVersion);
            }
            return S_OK;
        }
        if (!(flags & DISPATCH_METHOD))
            return DISP_E_MEMBERNOTFOUND;
        int value = 0;
        bool hasValue = true;
        HRESULT hr = call(id, args, value, hasValue);
        if (FAILED(hr))
            return hr;
        if (result && hasValue) {
            result->vt = VT_I4;
            result->lVal = value;
        }
        return S_OK;
    }

private:
    static HRESULT expect(const Args& args, UINT n)
    {
        return args.count() == n ? S_OK : DISP_E_BADPARAMCOUNT;
    }

    // Every argument is checked before the call, so that a refused call changes nothing.
    HRESULT call(DISPID id, const Args& a, int& value, bool& hasValue)
    {
        HRESULT hr = S_OK;
        switch (id) {
        case kJVInit: {
            std::string sid;
            if (FAILED(hr = expect(a, 1)) || FAILED(hr = a.text(0, sid, 932)))
                return hr;
            value = m_feed.init(sid);
            return S_OK;
        }
        case kJVSetUIProperties:
            if (FAILED(hr = expect(a, 0)))
                return hr;
            value = 0;
            return S_OK;
        case kJVOpen: {
            std::string spec;
            std::string from;
            int option = 0;
            if (FAILED(hr = expect(a, 6)) || FAILED(hr = a.text(0, spec, CP_UTF8)) ||
                FAILED(hr = a.text(1, from, CP_UTF8)) || FAILED(hr = a.number(2, option)) ||
                FAILED(hr = a.intRef(3)) || FAILED(hr = a.intRef(4)) || FAILED(hr = a.bstrRef(5)))
                return hr;
            int reads = 0;
            int downloads = 0;
            std::string stamp;
            value = m_feed.open(spec, from, option, reads, downloads, stamp);
            a.setInt(3, reads);
            a.setInt(4, downloads);
            a.setBstr(5, bstrOf(stamp, CP_UTF8));
            return S_OK;
        }
        case kJVRTOpen: {
            std::string spec;
            std::string key;
            if (FAILED(hr = expect(a, 2)) || FAILED(hr = a.text(0, spec, CP_UTF8)) ||
                FAILED(hr = a.text(1, key, CP_UTF8)))
                return hr;
            value = m_feed.rtOpen(spec, key);
            return S_OK;
        }
        case kJVStatus:
            if (FAILED(hr = expect(a, 0)))
                return hr;
            value = m_feed.status();
            return S_OK;
        case kJVGets: {
            int size = 0;
            if (FAILED(hr = expect(a, 3)) || FAILED(hr = a.bytesRef(0)) ||
                FAILED(hr = a.number(1, size)) || FAILED(hr = a.bstrRef(2)))
                return hr;
            std::string record;
            std::string name;
            value = m_feed.read(size, record, name);
            if (!m_settings.getsWithoutArray)
                a.setBytes(0, record);
            a.setBstr(2, bstrOf(name, CP_UTF8));
            return S_OK;
        }
        case kJVRead: {
            // size is in and out: passed by value it is refused.
            if (FAILED(hr = expect(a, 3)) || FAILED(hr = a.bstrRef(0)) ||
                FAILED(hr = a.intRef(1)) || FAILED(hr = a.bstrRef(2)))
                return hr;
            std::string record;
            std::string name;
            value = m_feed.read(a.getIntRef(1), record, name);
            // The record goes through the wide string as the real component hands it out,
            // with the losses that brings.
            a.setBstr(0, bstrOf(record, 932));
            a.setInt(1, static_cast<int>(record.size()));
            a.setBstr(2, bstrOf(name, CP_UTF8));
            return S_OK;
        }
        case kJVSkip:
            if (FAILED(hr = expect(a, 0)))
                return hr;
            value = m_feed.skip();
            return S_OK;
        case kJVCancel:
            if (FAILED(hr = expect(a, 0)))
                return hr;
            m_feed.cancel();
            hasValue = false;
            return S_OK;
        case kJVClose:
            if (FAILED(hr = expect(a, 0)))
                return hr;
            value = m_feed.close();
            return S_OK;
        default:
            return DISP_E_MEMBERNOTFOUND;
        }
    }

    LONG m_refs = 1;
    Settings m_settings;
    fakejv::FakeFeed m_feed;
};

class ClassFactory : public IClassFactory
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object: it lives as long as the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* object = new (std::nothrow) FakeJvLink;
        if (!object)
            return E_OUTOFMEMORY;
        HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
    {
        if (lock)
            InterlockedIncrement(&g_locks);
        else
            InterlockedDecrement(&g_locks);
        return S_OK;
    }
};

ClassFactory g_factory;

bool setValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value)
{
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc == ERROR_SUCCESS;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid != kClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer()
{
    wchar_t path[MAX_PATH * 2];
    const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH * 2);
    if (n == 0 || n >= MAX_PATH * 2)
        return SELFREG_E_CLASS;
    const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
    const bool ok =
        setValue(HKEY_CLASSES_ROOT, kProgId, nullptr, L"JVLink (Sorvantix test stand-in)") &&
        setValue(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID", nullptr, kClsidText) &&
        setValue(HKEY_CLASSES_ROOT, clsidKey, nullptr, L"JVLink (Sorvantix test stand-in)") &&
        setValue(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", nullptr,
                 std::wstring(path, n)) &&
        setValue(HKEY_CLASSES_ROOT, clsidKey + L"\\InprocServer32", L"ThreadingModel",
                 L"Apartment") &&
        setValue(HKEY_CLASSES_ROOT, clsidKey + L"\\ProgID", nullptr, kProgId);
    return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    const std::wstring clsidKey = std::wstring(L"CLSID\\") + kClsidText;
    const LONG a = RegDeleteTreeW(HKEY_CLASSES_ROOT, clsidKey.c_str());
    const LONG b = RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    const bool ok = (a == ERROR_SUCCESS || a == ERROR_FILE_NOT_FOUND) &&
                    (b == ERROR_SUCCESS || b == ERROR_FILE_NOT_FOUND);
    return ok ? S_OK : SELFREG_E_CLASS;
}
