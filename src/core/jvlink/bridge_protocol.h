#pragma once

// The protocol between BridgeJvLink (Linux) and sorvantix-jvlink-bridge.exe (a 32-bit
// Windows program hosting the JV-Link object), over the bridge's standard input and
// output in binary mode. This header is shared by both sides: standard C++17 only.
//
// Frame:   "SVB1" (4 bytes), payload length (u32, little-endian), payload.
//          A payload is at most kMaxPayload bytes. The reader skips anything before the
//          first "SVB1" (Wine may print a line or a byte-order mark first), looking at
//          most kMaxGarbage bytes.
// Fields:  i32: 4 bytes little-endian. bytes: u32 length (little-endian) + the bytes.
//          Texts (sid, data spec, key, from-time, file names, version) are bytes in
//          UTF-8; records are the CP932 bytes as delivered.
//
// After it starts, the bridge sends one hello reply before reading any request:
//          i32 hresult of creating the object (0 = created), i32 0, bytes message
//          (empty, or what failed in words), bytes m_JVLinkVersion ("" when unknown).
// Request: u8 operation, then its fields (below).
// Reply:   i32 hresult (0 = the COM call was made; otherwise the call's failure: the
//          object missing, Invoke failed ...), i32 result (the operation's return
//          value), then the operation's out fields. A reply with a failed hresult has
//          no out fields.
//
//   op                 request fields                 reply out fields
//   Init 1             bytes sid                      -
//   SetUIProperties 2  -                              -
//   Open 3             bytes spec, bytes fromtime,    i32 readcount, i32 downloadcount,
//                      i32 option                     bytes lastfiletimestamp
//   RTOpen 4           bytes spec, bytes key          -
//   Status 5           -                              -
//   Read 6             i32 size                       bytes record, bytes filename
//                      (JVGets; JVRead only where JVGets fails, the record then being
//                      the first `result` bytes of its CP932 form)
//   Skip 7             -                              -
//   Cancel 8           -                              -
//   Close 9            -                              -
//   Version 10         -                              bytes m_JVLinkVersion
//   Quit 11            -                              - (the bridge then exits)

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sorvantix::bridge {

inline constexpr char kMagic[4] = {'S', 'V', 'B', '1'};
inline constexpr std::uint32_t kMaxPayload = 1u << 20;
inline constexpr std::size_t kMaxGarbage = 64 * 1024;
inline constexpr int kReadBufferSize = 110000; // holds the largest JV-Data record

enum class Op : std::uint8_t {
    Init = 1,
    SetUIProperties = 2,
    Open = 3,
    RTOpen = 4,
    Status = 5,
    Read = 6,
    Skip = 7,
    Cancel = 8,
    Close = 9,
    Version = 10,
    Quit = 11,
};

// Builds a payload field by field.
class PayloadWriter
{
public:
    PayloadWriter& u8(std::uint8_t v)
    {
        m_bytes.push_back(static_cast<char>(v));
        return *this;
    }
    PayloadWriter& i32(std::int32_t v)
    {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 0; shift < 32; shift += 8)
            m_bytes.push_back(static_cast<char>((u >> shift) & 0xFF));
        return *this;
    }
    PayloadWriter& bytes(std::string_view b)
    {
        i32(static_cast<std::int32_t>(b.size()));
        m_bytes.append(b.data(), b.size());
        return *this;
    }
    const std::string& payload() const { return m_bytes; }

    // The whole frame of the payload.
    std::string frame() const
    {
        std::string out(kMagic, sizeof kMagic);
        const auto n = static_cast<std::uint32_t>(m_bytes.size());
        for (int shift = 0; shift < 32; shift += 8)
            out.push_back(static_cast<char>((n >> shift) & 0xFF));
        return out + m_bytes;
    }

private:
    std::string m_bytes;
};

// Reads a payload field by field; a field past the end makes ok() false.
class PayloadReader
{
public:
    explicit PayloadReader(std::string_view payload) : m_rest(payload) {}

    std::uint8_t u8()
    {
        if (m_rest.empty()) {
            m_ok = false;
            return 0;
        }
        const auto v = static_cast<std::uint8_t>(m_rest.front());
        m_rest.remove_prefix(1);
        return v;
    }
    std::int32_t i32()
    {
        if (m_rest.size() < 4) {
            m_ok = false;
            m_rest = {};
            return 0;
        }
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i)
            u = (u << 8) | static_cast<unsigned char>(m_rest[static_cast<std::size_t>(i)]);
        m_rest.remove_prefix(4);
        return static_cast<std::int32_t>(u);
    }
    std::string bytes()
    {
        const std::int32_t n = i32();
        if (!m_ok || n < 0 || static_cast<std::size_t>(n) > m_rest.size()) {
            m_ok = false;
            m_rest = {};
            return {};
        }
        std::string out(m_rest.substr(0, static_cast<std::size_t>(n)));
        m_rest.remove_prefix(static_cast<std::size_t>(n));
        return out;
    }
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_rest.empty(); }

private:
    std::string_view m_rest;
    bool m_ok = true;
};

// The payload length of a frame header (magic and length, 8 bytes); nullopt when the
// header is not one or the length is over kMaxPayload.
inline std::optional<std::uint32_t> frameLength(std::string_view header)
{
    if (header.size() < 8 || header.substr(0, 4) != std::string_view(kMagic, 4))
        return std::nullopt;
    std::uint32_t n = 0;
    for (int i = 7; i >= 4; --i)
        n = (n << 8) | static_cast<unsigned char>(header[static_cast<std::size_t>(i)]);
    if (n > kMaxPayload)
        return std::nullopt;
    return n;
}

} // namespace sorvantix::bridge
