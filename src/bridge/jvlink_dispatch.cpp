#include "jvlink_dispatch.h"

#include "wide_text.h"

// windows.h first: the COM headers build on it.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <algorithm>

namespace sorvantix::bridge {

namespace {

constexpr UINT kCp932 = 932;

// A BSTR argument owning its string.
class BstrArg
{
public:
    explicit BstrArg(const std::string& utf8)
    {
        const std::wstring wide = widen(utf8, CP_UTF8);
        m_bstr = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    }
    ~BstrArg() { SysFreeString(m_bstr); }
    BstrArg(const BstrArg&) = delete;
    BstrArg& operator=(const BstrArg&) = delete;
    BSTR get() const { return m_bstr; }

private:
    BSTR m_bstr = nullptr;
};

VARIANTARG bstrValue(BSTR b)
{
    VARIANTARG v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = b;
    return v;
}

VARIANTARG intValue(int i)
{
    VARIANTARG v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = i;
    return v;
}

VARIANTARG intRef(LONG* p)
{
    VARIANTARG v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_I4;
    v.plVal = p;
    return v;
}

VARIANTARG bstrRef(BSTR* p)
{
    VARIANTARG v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = p;
    return v;
}

VARIANTARG variantRef(VARIANT* p)
{
    VARIANTARG v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = p;
    return v;
}

// Failures that come from the shape of the arguments, not from the call: they will
// not go away by calling again.
bool isShapeFailure(HRESULT hr)
{
    return hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_TYPEMISMATCH ||
           hr == DISP_E_BADVARTYPE || hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTFOUND ||
           hr == DISP_E_PARAMNOTOPTIONAL || hr == DISP_E_NONAMEDARGS;
}

} // namespace

JvLinkDispatch::~JvLinkDispatch()
{
    release();
}

HRESULT JvLinkDispatch::create(const wchar_t* progId)
{
    release();
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                            IID_IDispatch, reinterpret_cast<void**>(&m_dispatch));
}

void JvLinkDispatch::release()
{
    if (m_dispatch) {
        m_dispatch->Release();
        m_dispatch = nullptr;
    }
    m_ids.clear();
    m_getsUnavailable = false;
}

HRESULT JvLinkDispatch::dispId(const wchar_t* name, DISPID& id)
{
    if (!m_dispatch)
        return E_POINTER;
    const auto found = m_ids.find(name);
    if (found != m_ids.end()) {
        id = found->second;
        return S_OK;
    }
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = m_dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (SUCCEEDED(hr))
        m_ids.emplace(name, id);
    return hr;
}

HRESULT JvLinkDispatch::invoke(const wchar_t* name, WORD flags, VARIANTARG* args, UINT count,
                               VARIANT* result)
{
    VariantInit(result);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispId(name, id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS params{args, nullptr, count, 0};
    EXCEPINFO exception{};
    UINT argError = 0;
    hr = m_dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception,
                            &argError);
    if (hr == DISP_E_EXCEPTION) {
        if (exception.pfnDeferredFillIn)
            exception.pfnDeferredFillIn(&exception);
        m_lastException = utf8OfBstr(exception.bstrSource);
        if (exception.bstrDescription) {
            if (!m_lastException.empty())
                m_lastException += ": ";
            m_lastException += utf8OfBstr(exception.bstrDescription);
        }
        if (exception.scode != 0)
            m_lastException += " (" + hexOf(exception.scode) + ")";
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    if (FAILED(hr))
        VariantClear(result);
    return hr;
}

CallResult JvLinkDispatch::callMethod(const wchar_t* name, VARIANTARG* args, UINT count)
{
    VARIANT value;
    CallResult out;
    out.hr = invoke(name, DISPATCH_METHOD, args, count, &value);
    if (FAILED(out.hr))
        return out;
    out.invoked = true;
    if (value.vt != VT_I4) {
        // Some hosts hand back VT_I2 or a VT_EMPTY for a method without a result.
        HRESULT hr = VariantChangeType(&value, &value, 0, VT_I4);
        if (FAILED(hr)) {
            VariantClear(&value);
            out.hr = hr;
            return out;
        }
    }
    out.result = static_cast<int>(value.lVal);
    VariantClear(&value);
    return out;
}

CallResult JvLinkDispatch::init(const std::string& sid)
{
    BstrArg s(sid);
    VARIANTARG args[1] = {bstrValue(s.get())};
    return callMethod(L"JVInit", args, 1);
}

CallResult JvLinkDispatch::setUIProperties()
{
    return callMethod(L"JVSetUIProperties", nullptr, 0);
}

CallResult JvLinkDispatch::open(const std::string& dataspec, const std::string& fromtime,
                                int option, int& readCount, int& downloadCount,
                                std::string& lastFileTimestamp)
{
    BstrArg spec(dataspec);
    BstrArg from(fromtime);
    LONG reads = 0;
    LONG downloads = 0;
    BSTR stamp = nullptr;
    VARIANTARG args[6] = {bstrRef(&stamp),  intRef(&downloads),    intRef(&reads),
                          intValue(option), bstrValue(from.get()), bstrValue(spec.get())};
    CallResult out = callMethod(L"JVOpen", args, 6);
    readCount = static_cast<int>(reads);
    downloadCount = static_cast<int>(downloads);
    lastFileTimestamp = utf8OfBstr(stamp);
    SysFreeString(stamp);
    return out;
}

CallResult JvLinkDispatch::rtOpen(const std::string& dataspec, const std::string& key)
{
    BstrArg spec(dataspec);
    BstrArg k(key);
    VARIANTARG args[2] = {bstrValue(k.get()), bstrValue(spec.get())};
    return callMethod(L"JVRTOpen", args, 2);
}

CallResult JvLinkDispatch::status()
{
    return callMethod(L"JVStatus", nullptr, 0);
}

CallResult JvLinkDispatch::read(int size, std::string& record, std::string& fileName)
{
    record.clear();
    fileName.clear();
    if (!m_getsUnavailable) {
        CallResult out = readBytes(size, record, fileName);
        if (SUCCEEDED(out.hr))
            return out;
        if (out.invoked) {
            // JVGets ran, so its record is gone: reading it again with JVRead would hand
            // out the next one. This read fails; later ones use JVRead.
            m_getsUnavailable = true;
            record.clear();
            return out;
        }
        if (isShapeFailure(out.hr))
            m_getsUnavailable = true;
        record.clear();
        fileName.clear();
    }
    return readWide(size, record, fileName);
}

// JVGets(buff, size, filename): the record as a byte array, byte for byte.
CallResult JvLinkDispatch::readBytes(int size, std::string& record, std::string& fileName)
{
    VARIANT buffer;
    VariantInit(&buffer);
    BSTR name = nullptr;
    VARIANTARG args[3] = {bstrRef(&name), intValue(size), variantRef(&buffer)};
    CallResult out = callMethod(L"JVGets", args, 3);
    if (SUCCEEDED(out.hr)) {
        fileName = utf8OfBstr(name);
        SAFEARRAY* array = nullptr;
        if (buffer.vt == (VT_ARRAY | VT_UI1) || buffer.vt == (VT_ARRAY | VT_I1))
            array = buffer.parray;
        else if (buffer.vt == (VT_BYREF | VT_ARRAY | VT_UI1) && buffer.pparray)
            array = *buffer.pparray;
        if (out.result > 0) {
            // Only the returned length counts: records carry NUL bytes, and the array may
            // be longer than the record.
            void* data = nullptr;
            if (array && SafeArrayGetDim(array) == 1 &&
                SUCCEEDED(SafeArrayAccessData(array, &data))) {
                LONG lower = 0;
                LONG upper = -1;
                SafeArrayGetLBound(array, 1, &lower);
                SafeArrayGetUBound(array, 1, &upper);
                const long available = upper >= lower ? upper - lower + 1 : 0;
                const long n = std::min<long>(available, out.result);
                record.assign(static_cast<const char*>(data), static_cast<size_t>(n));
                SafeArrayUnaccessData(array);
                if (n < out.result)
                    out.hr = DISP_E_TYPEMISMATCH; // a length the array does not hold
            } else {
                out.hr = DISP_E_TYPEMISMATCH;
            }
        }
    }
    VariantClear(&buffer);
    SysFreeString(name);
    return out;
}

// JVRead(buff, size, filename): the record as a wide string. size must go by
// reference; the text is cut by the returned byte length of its CP932 form.
CallResult JvLinkDispatch::readWide(int size, std::string& record, std::string& fileName)
{
    BSTR text = nullptr;
    BSTR name = nullptr;
    LONG inOutSize = size;
    VARIANTARG args[3] = {bstrRef(&name), intRef(&inOutSize), bstrRef(&text)};
    CallResult out = callMethod(L"JVRead", args, 3);
    if (SUCCEEDED(out.hr)) {
        fileName = utf8OfBstr(name);
        if (out.result > 0) {
            record = narrow(text, static_cast<int>(SysStringLen(text)), kCp932);
            if (record.size() > static_cast<size_t>(out.result))
                record.resize(static_cast<size_t>(out.result));
        }
    }
    SysFreeString(text);
    SysFreeString(name);
    return out;
}

CallResult JvLinkDispatch::skip()
{
    return callMethod(L"JVSkip", nullptr, 0);
}

CallResult JvLinkDispatch::cancel()
{
    // JVCancel returns nothing: whatever the result holds is not looked at.
    VARIANT value;
    CallResult out;
    out.hr = invoke(L"JVCancel", DISPATCH_METHOD, nullptr, 0, &value);
    VariantClear(&value);
    return out;
}

CallResult JvLinkDispatch::close()
{
    return callMethod(L"JVClose", nullptr, 0);
}

HRESULT JvLinkDispatch::version(std::string& text)
{
    text.clear();
    VARIANT value;
    HRESULT hr = invoke(L"m_JVLinkVersion", DISPATCH_PROPERTYGET, nullptr, 0, &value);
    if (FAILED(hr))
        return hr;
    if (value.vt != VT_BSTR)
        hr = VariantChangeType(&value, &value, 0, VT_BSTR);
    if (SUCCEEDED(hr))
        text = utf8OfBstr(value.bstrVal);
    VariantClear(&value);
    return hr;
}

} // namespace sorvantix::bridge
