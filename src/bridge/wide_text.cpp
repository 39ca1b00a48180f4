#include "wide_text.h"

// windows.h first: the COM headers build on it.
// clang-format off
#include <windows.h>
#include <oleauto.h>
// clang-format on

#include <cstdio>

namespace sorvantix::bridge {

std::string narrow(const wchar_t* text, int length, UINT codePage)
{
    if (text == nullptr || length <= 0)
        return {};
    const int n = WideCharToMultiByte(codePage, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text, length, out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& text, UINT codePage)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (n <= 0)
        return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), length, out.data(), n);
    return out;
}

std::string utf8OfBstr(BSTR text)
{
    if (text == nullptr)
        return {};
    return narrow(text, static_cast<int>(SysStringLen(text)), CP_UTF8);
}

std::string hexOf(HRESULT hr)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08lX", static_cast<unsigned long>(hr));
    return buffer;
}

} // namespace sorvantix::bridge
