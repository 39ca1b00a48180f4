#pragma once

// windows.h first: the COM headers build on it.
// clang-format off
#include <windows.h>
#include <oaidl.h>
// clang-format on

#include <map>
#include <string>

namespace sorvantix::bridge {

// What one call on the object gave: the HRESULT of Invoke (S_OK when the method ran)
// and the method's own return value.
struct CallResult
{
    HRESULT hr = S_OK;
    int result = 0;
    bool invoked = false; // Invoke succeeded (hr may still fail: an unusable result)
};

// The JV-Link automation object, reached by late binding only (GetIDsOfNames and
// Invoke), so the bridge needs neither its type library nor a generated header. To be
// used on the single-threaded apartment thread that created it.
class JvLinkDispatch
{
public:
    JvLinkDispatch() = default;
    ~JvLinkDispatch();
    JvLinkDispatch(const JvLinkDispatch&) = delete;
    JvLinkDispatch& operator=(const JvLinkDispatch&) = delete;

    // Looks up the ProgID and creates the object.
    HRESULT create(const wchar_t* progId);
    void release();

    CallResult init(const std::string& sid);
    CallResult setUIProperties();
    CallResult open(const std::string& dataspec, const std::string& fromtime, int option,
                    int& readCount, int& downloadCount, std::string& lastFileTimestamp);
    CallResult rtOpen(const std::string& dataspec, const std::string& key);
    CallResult status();
    // JVGets, or JVRead where JVGets cannot be called; the record as CP932 bytes.
    CallResult read(int size, std::string& record, std::string& fileName);
    CallResult skip();
    CallResult cancel();
    CallResult close();
    HRESULT version(std::string& text);

    // The text of the last exception the object raised (UTF-8), for the log.
    const std::string& lastException() const { return m_lastException; }

private:
    HRESULT dispId(const wchar_t* name, DISPID& id);
    // args in DISPPARAMS order: the last argument first.
    HRESULT invoke(const wchar_t* name, WORD flags, VARIANTARG* args, UINT count, VARIANT* result);
    CallResult callMethod(const wchar_t* name, VARIANTARG* args, UINT count);
    CallResult readBytes(int size, std::string& record, std::string& fileName);
    CallResult readWide(int size, std::string& record, std::string& fileName);

    IDispatch* m_dispatch = nullptr;
    std::map<std::wstring, DISPID> m_ids;
    bool m_getsUnavailable = false; // the object has no JVGets: read with JVRead
    std::string m_lastException;
};

} // namespace sorvantix::bridge
