#pragma once

#include <string>
#include <windows.h>

namespace sorvantix::bridge {

// UTF-16 <-> UTF-8 / CP932 for the texts that cross the pipe. Lengths are in
// characters or bytes; nothing here stops at a NUL.
std::string narrow(const wchar_t* text, int length, UINT codePage);
std::wstring widen(const std::string& text, UINT codePage);

// The whole BSTR as UTF-8 ("" for a null BSTR).
std::string utf8OfBstr(BSTR text);

// "0x80040154".
std::string hexOf(HRESULT hr);

} // namespace sorvantix::bridge
