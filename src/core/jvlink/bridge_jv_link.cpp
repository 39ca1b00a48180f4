#include "core/jvlink/bridge_jv_link.h"

#include "core/jvlink/bridge_protocol.h"
#include "core/text/error.h"
#include "core/text/format.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace sorvantix {

namespace fs = std::filesystem;
using bridge::Op;
using bridge::PayloadReader;
using bridge::PayloadWriter;
using Clock = std::chrono::steady_clock;

namespace {

// JVSetUIProperties waits for the person at the screen.
constexpr std::chrono::seconds kNoTimeout{24 * 60 * 60};
// A first start under Wine may build the prefix's registry: the hello may take a while.
constexpr std::chrono::seconds kMinStartTimeout{30};

// Whether the prefix's wineserver runs: its socket, server-<dev>-<inode>/socket (of the
// prefix folder, in hex), answers. The folder holding it is /tmp/.wine-<uid> or, in
// some builds, a /tmp/wine-XXXXXX of its own.
bool wineServerRunning(const fs::path& prefix)
{
    struct stat st
    {
    };
    if (::stat(prefix.c_str(), &st) != 0)
        return false;
    const std::string server =
        format("server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
               static_cast<unsigned long long>(st.st_ino));
    std::vector<fs::path> candidates{
        fs::path(format("/tmp/.wine-%u", static_cast<unsigned>(::getuid()))) / server / "socket"};
    std::error_code ec;
    for (fs::directory_iterator it("/tmp", ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename().string().starts_with("wine-"))
            candidates.push_back(it->path() / server / "socket");
    for (const auto& socketPath : candidates) {
        if (::access(socketPath.c_str(), F_OK) != 0)
            continue;
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const std::string path = socketPath.string();
        if (path.size() >= sizeof addr.sun_path) {
            ::close(fd);
            continue;
        }
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        const bool live = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        ::close(fd);
        if (live)
            return true;
    }
    return false;
}

std::string wineServerOf(const std::string& runner)
{
    const auto slash = runner.rfind('/');
    return slash == std::string::npos ? "wineserver" : runner.substr(0, slash + 1) + "wineserver";
}

std::string hex(std::int32_t hresult)
{
    return format("0x%08X", static_cast<unsigned>(hresult));
}

} // namespace

std::string bridgeTimeoutText(const char* operation, std::chrono::seconds timeout)
{
    return format("JV-Linkが応答しません（%s、%lld秒）: JV-Linkの画面（更新のお知らせ等）が表示"
                  "されたままの可能性があります。画面のある環境で sorvantix-cli jvlink "
                  "--settings を開き、表示された画面に答えるか、お知らせの表示を止めてから"
                  "やり直してください。",
                  operation, static_cast<long long>(timeout.count()));
}

BridgeJvLink::BridgeJvLink(BridgeSettings settings, ProblemSink onProblem)
    : m_settings(std::move(settings)), m_onProblem(std::move(onProblem))
{
}

BridgeJvLink::~BridgeJvLink()
{
    stop();
}

void BridgeJvLink::fail(std::string message)
{
    m_problem = std::move(message);
    if (m_onProblem)
        m_onProblem(m_problem);
}

void BridgeJvLink::killBridge(bool wineServerToo)
{
    if (m_child) {
        m_child->kill();
        m_child.reset();
    }
    if (wineServerToo && m_startedWineServer && !m_settings.runner.empty()) {
        // The prefix's wineserver and its services would linger with the dead program.
        try {
            std::vector<std::string> env;
            if (!m_settings.winePrefix.empty())
                env.push_back("WINEPREFIX=" + m_settings.winePrefix.string());
            ChildProcess killer({wineServerOf(m_settings.runner), "-k"}, env);
            const auto deadline = Clock::now() + std::chrono::seconds(5);
            while (!killer.exited() && Clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } catch (const Error&) {
        }
        m_startedWineServer = false;
    }
}

void BridgeJvLink::stop()
{
    if (m_child) {
        m_child->write(PayloadWriter().u8(static_cast<std::uint8_t>(Op::Quit)).frame());
        const auto deadline = Clock::now() + std::chrono::milliseconds(500);
        while (!m_child->exited() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // A bridge that ended well leaves its wineserver to end by itself some seconds
    // later: the next program on the prefix then starts warm.
    killBridge(false);
}

std::optional<std::string> BridgeJvLink::readFrame(Clock::time_point deadline,
                                                   std::chrono::seconds timeout,
                                                   const char* operation)
{
    // Anything before the first magic (a line of Wine's, a byte-order mark) is passed
    // over, up to a bound.
    bool timedOut = false;
    auto ended = [&]() -> std::optional<std::string> {
        if (timedOut)
            fail(bridgeTimeoutText(operation, timeout));
        else
            fail(std::string("JV-Linkの中継プログラムが終了しました（") + operation +
                 "）。Wineと中継プログラムの設定を確かめてください: " + m_settings.bridge.string());
        return std::nullopt;
    };
    std::string window;
    std::size_t skipped = 0;
    while (window != std::string_view(bridge::kMagic, 4)) {
        auto byte = m_child->read(1, deadline, &timedOut);
        if (!byte)
            return ended();
        window += *byte;
        if (window.size() > 4) {
            window.erase(0, 1);
            if (++skipped > bridge::kMaxGarbage) {
                fail(std::string("JV-Linkの中継プログラムの応答が読めません（") + operation + "）");
                return std::nullopt;
            }
        }
    }
    auto length = m_child->read(4, deadline, &timedOut);
    if (!length)
        return ended();
    auto n = bridge::frameLength(window + *length);
    if (!n) {
        fail(std::string("JV-Linkの中継プログラムの応答が不正です（") + operation + "）");
        return std::nullopt;
    }
    auto payload = m_child->read(*n, deadline, &timedOut);
    if (!payload)
        return ended();
    return payload;
}

bool BridgeJvLink::ensureStarted()
{
    if (m_child)
        return true;
    std::vector<std::string> argv;
    std::vector<std::string> env;
    if (!m_settings.runner.empty()) {
        argv.push_back(m_settings.runner);
        env.push_back("WINEDEBUG=-all");
        if (!m_settings.winePrefix.empty()) {
            std::error_code ec;
            if (!fs::is_directory(m_settings.winePrefix, ec)) {
                fail("Wineのプレフィックスがありません: " + m_settings.winePrefix.string() +
                     "（scripts/wine_jvlink.sh --prefix DIR で作成します）");
                return false;
            }
            env.push_back("WINEPREFIX=" + m_settings.winePrefix.string());
            m_startedWineServer = !wineServerRunning(m_settings.winePrefix);
        }
    }
    std::error_code ec;
    if (!fs::is_regular_file(m_settings.bridge, ec)) {
        fail("JV-Linkの中継プログラムがありません: " + m_settings.bridge.string());
        return false;
    }
    argv.push_back(m_settings.bridge.string());
    const auto start = Clock::now();
    try {
        m_child = std::make_unique<ChildProcess>(argv, env);
    } catch (const Error& e) {
        fail(std::string(e.what()) + (m_settings.runner.empty()
                                          ? ""
                                          : "（Wineがインストールされていない可能性があります）"));
        return false;
    }
    const auto timeout = std::max(m_settings.callTimeout, kMinStartTimeout);
    auto hello = readFrame(start + timeout, timeout, "起動");
    if (!hello) {
        killBridge();
        return false;
    }
    m_startSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    PayloadReader r(*hello);
    const std::int32_t hresult = r.i32();
    r.i32();
    const std::string message = r.bytes();
    m_version = r.bytes();
    if (!r.ok()) {
        fail("JV-Linkの中継プログラムの応答が不正です（起動）");
        killBridge();
        return false;
    }
    if (hresult != 0) {
        // The object cannot be created: every call would fail the same way.
        fail("JV-Linkを起動できません (" + hex(hresult) + ")" +
             (message.empty() ? std::string() : ": " + message));
        killBridge();
        return false;
    }
    if (m_sid) {
        // A fresh bridge is initialised as the first one was, or not used.
        auto init =
            call(PayloadWriter().u8(static_cast<std::uint8_t>(Op::Init)).bytes(*m_sid).payload(),
                 m_settings.callTimeout, "JVInit");
        if (!init || init->result != 0) {
            if (init)
                fail(format("JV-LinkのJVInitに失敗しました (%d)", init->result));
            killBridge();
            return false;
        }
    }
    return true;
}

std::optional<BridgeJvLink::Reply>
BridgeJvLink::call(const std::string& payload, std::chrono::seconds timeout, const char* operation)
{
    if (!ensureStarted())
        return std::nullopt;
    std::string frame(bridge::kMagic, 4);
    const auto n = static_cast<std::uint32_t>(payload.size());
    for (int shift = 0; shift < 32; shift += 8)
        frame.push_back(static_cast<char>((n >> shift) & 0xFF));
    frame += payload;
    if (!m_child->write(frame)) {
        fail(std::string("JV-Linkの中継プログラムに書き込めません（") + operation + "）");
        killBridge();
        return std::nullopt;
    }
    auto reply = readFrame(Clock::now() + timeout, timeout, operation);
    if (!reply) {
        killBridge();
        return std::nullopt;
    }
    PayloadReader r(*reply);
    Reply out;
    out.hresult = r.i32();
    out.result = r.i32();
    if (!r.ok()) {
        fail(std::string("JV-Linkの中継プログラムの応答が不正です（") + operation + "）");
        killBridge();
        return std::nullopt;
    }
    out.rest = reply->substr(8);
    if (out.hresult != 0) {
        fail(std::string("JV-Linkの呼び出しに失敗しました（") + operation + ", " +
             hex(out.hresult) + "）");
        return std::nullopt;
    }
    m_problem.clear();
    return out;
}

int BridgeJvLink::JVInit(const std::string& sid)
{
    // A fresh bridge gets this JVInit, not the one it sends itself on starting.
    m_sid.reset();
    auto reply = call(PayloadWriter().u8(static_cast<std::uint8_t>(Op::Init)).bytes(sid).payload(),
                      m_settings.callTimeout, "JVInit");
    if (reply && reply->result == 0)
        m_sid = sid;
    return reply ? reply->result : kBridgeFailure;
}

int BridgeJvLink::JVSetUIProperties()
{
    auto reply = call(PayloadWriter().u8(static_cast<std::uint8_t>(Op::SetUIProperties)).payload(),
                      kNoTimeout, "JVSetUIProperties");
    return reply ? reply->result : kBridgeFailure;
}

int BridgeJvLink::JVOpen(const std::string& dataspec, const std::string& fromtime, int option,
                         int& readCount, int& downloadCount, std::string& lastFileTimestamp)
{
    readCount = 0;
    downloadCount = 0;
    lastFileTimestamp.clear();
    auto reply = call(PayloadWriter()
                          .u8(static_cast<std::uint8_t>(Op::Open))
                          .bytes(dataspec)
                          .bytes(fromtime)
                          .i32(option)
                          .payload(),
                      m_settings.openTimeout, "JVOpen");
    if (!reply)
        return kBridgeFailure;
    PayloadReader r(reply->rest);
    const int reads = r.i32();
    const int downloads = r.i32();
    std::string stamp = r.bytes();
    if (!r.ok()) {
        // Counts that did not come cannot be taken as "nothing to read".
        fail("JV-Linkの中継プログラムの応答が不正です（JVOpen）");
        killBridge();
        return kBridgeFailure;
    }
    readCount = reads;
    downloadCount = downloads;
    lastFileTimestamp = std::move(stamp);
    return reply->result;
}

int BridgeJvLink::JVRTOpen(const std::string& dataspec, const std::string& key)
{
    auto reply = call(PayloadWriter()
                          .u8(static_cast<std::uint8_t>(Op::RTOpen))
                          .bytes(dataspec)
                          .bytes(key)
                          .payload(),
                      m_settings.openTimeout, "JVRTOpen");
    return reply ? reply->result : kBridgeFailure;
}

int BridgeJvLink::JVStatus()
{
    auto reply = call(PayloadWriter().u8(static_cast<std::uint8_t>(Op::Status)).payload(),
                      m_settings.readTimeout, "JVStatus");
    return reply ? reply->result : kBridgeFailure;
}

int BridgeJvLink::JVRead(std::string& buffer, int& size, std::string& fileName)
{
    buffer.clear();
    auto reply = call(PayloadWriter()
                          .u8(static_cast<std::uint8_t>(Op::Read))
                          .i32(bridge::kReadBufferSize)
                          .payload(),
                      m_settings.readTimeout, "JVRead");
    if (!reply)
        return kBridgeFailure;
    PayloadReader r(reply->rest);
    std::string record = r.bytes();
    std::string name = r.bytes();
    if (reply->result > 0) {
        // The byte count decides, never a text length: records hold NUL bytes.
        if (!r.ok() || static_cast<std::size_t>(reply->result) > record.size()) {
            fail("JV-Linkの中継プログラムのレコードが短すぎます");
            return jv::kBadFileContent;
        }
        record.resize(static_cast<std::size_t>(reply->result));
        if (static_cast<int>(record.size()) > size)
            return jv::kBadFileSize;
        buffer = std::move(record);
        size = static_cast<int>(buffer.size());
        fileName = std::move(name);
    }
    return reply->result;
}

int BridgeJvLink::JVClose()
{
    if (!m_child)
        return 0; // nothing can be open in a bridge that is not running
    auto reply = call(PayloadWriter().u8(static_cast<std::uint8_t>(Op::Close)).payload(),
                      m_settings.callTimeout, "JVClose");
    return reply ? reply->result : kBridgeFailure;
}

void BridgeJvLink::JVCancel()
{
    if (m_child)
        call(PayloadWriter().u8(static_cast<std::uint8_t>(Op::Cancel)).payload(),
             m_settings.callTimeout, "JVCancel");
}

std::string BridgeJvLink::version()
{
    if (!ensureStarted())
        return {};
    return m_version;
}

} // namespace sorvantix
