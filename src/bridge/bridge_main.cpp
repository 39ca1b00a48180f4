// sorvantix-jvlink-bridge.exe: hosts the JV-Link automation object in a 32-bit process
// and answers BridgeJvLink's requests on standard input and output, one frame each
// way (core/jvlink/bridge_protocol.h).
//
// Exit codes: 0 after Quit or end of input, 2 a malformed frame, 3 a request that is
// not one, 4 standard output gone, 5 no thread to read the input.

#include "core/jvlink/bridge_protocol.h"
#include "jvlink_dispatch.h"
#include "wide_text.h"

// windows.h first: the COM headers build on it.
// clang-format off
#include <windows.h>
#include <objbase.h>
#include <fcntl.h>
#include <io.h>
// clang-format on

#include <atomic>
#include <cstdio>
#include <deque>
#include <string>

namespace sorvantix::bridge {
namespace {

constexpr int kExitMalformedFrame = 2;
constexpr int kExitBadRequest = 3;
constexpr int kExitOutputGone = 4;
constexpr int kExitNoThread = 5;
// How long the apartment thread looks for the next request before it sleeps, and how
// often a busy read loop pumps the window messages.
constexpr LONGLONG kSpinMicros = 500;
constexpr DWORD kPumpEveryMs = 10;
// The result every request gets while the object could not be created: "internal error".
constexpr int kNoObjectResult = -401;

void logLine(const std::string& text)
{
    const std::string line = "sorvantix-jvlink-bridge: " + text + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), line.data(), static_cast<DWORD>(line.size()),
              &written, nullptr);
}

bool writeAll(HANDLE out, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(out, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                       nullptr) ||
            written == 0)
            return false;
        done += written;
    }
    return true;
}

// false at end of input or on a read error, with `got` telling how far it came.
bool readAll(HANDLE in, char* buffer, size_t n, size_t& got)
{
    got = 0;
    while (got < n) {
        DWORD read = 0;
        if (!ReadFile(in, buffer + got, static_cast<DWORD>(n - got), &read, nullptr) || read == 0)
            return false;
        got += read;
    }
    return true;
}

// The frames read from standard input by a thread of their own, so that the apartment
// thread keeps pumping its window messages while no request is pending.
//
// Under Wine every event wait and signal is a round trip to wineserver, which would
// halve the rate of a read loop. So the apartment thread first looks for the next
// request for a short while without waiting, and the event is signalled only when it
// really sleeps.
class RequestQueue
{
public:
    enum class End { None, EndOfInput, Malformed };

    RequestQueue()
    {
        InitializeCriticalSection(&m_lock);
        m_ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    }

    bool start(HANDLE input)
    {
        m_input = input;
        HANDLE thread = CreateThread(nullptr, 0, &RequestQueue::run, this, 0, nullptr);
        if (!thread)
            return false;
        CloseHandle(thread);
        return true;
    }

    HANDLE readyEvent() const { return m_ready; }

    // Whether a frame (or the end) came within `micros` microseconds, looked for
    // without sleeping.
    bool spinFor(LONGLONG micros) const
    {
        LARGE_INTEGER frequency;
        LARGE_INTEGER start;
        LARGE_INTEGER now;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        const LONGLONG ticks = frequency.QuadPart * micros / 1000000;
        for (unsigned i = 0;; ++i) {
            if (m_available.load())
                return true;
            if (i % 64 == 63) {
                QueryPerformanceCounter(&now);
                if (now.QuadPart - start.QuadPart >= ticks)
                    return false;
                SwitchToThread(); // leave the core to the client and the reader
            } else {
                YieldProcessor();
            }
        }
    }

    // Around a sleep on readyEvent(): the reader signals it only while this is set.
    // The check after setting closes the gap where a frame came just before.
    bool beginSleep()
    {
        m_sleeping.store(true);
        if (m_available.load()) {
            m_sleeping.store(false);
            return false;
        }
        return true;
    }
    void endSleep() { m_sleeping.store(false); }

    // The next frame's payload; false when there is none now (`end` tells whether more
    // will come).
    bool take(std::string& payload, End& end)
    {
        EnterCriticalSection(&m_lock);
        const bool have = !m_frames.empty();
        if (have) {
            payload = std::move(m_frames.front());
            m_frames.pop_front();
        }
        end = m_end;
        m_available.store(!m_frames.empty() || m_end != End::None);
        LeaveCriticalSection(&m_lock);
        return have;
    }

private:
    static DWORD WINAPI run(void* self)
    {
        static_cast<RequestQueue*>(self)->readFrames();
        return 0;
    }

    void readFrames()
    {
        for (;;) {
            char header[8];
            size_t got = 0;
            if (!readAll(m_input, header, sizeof header, got)) {
                finish(got == 0 ? End::EndOfInput : End::Malformed);
                return;
            }
            const auto length = frameLength(std::string_view(header, sizeof header));
            if (!length) {
                finish(End::Malformed);
                return;
            }
            std::string payload(*length, '\0');
            if (*length > 0 && !readAll(m_input, payload.data(), payload.size(), got)) {
                finish(End::Malformed);
                return;
            }
            EnterCriticalSection(&m_lock);
            m_frames.push_back(std::move(payload));
            m_available.store(true);
            LeaveCriticalSection(&m_lock);
            if (m_sleeping.load())
                SetEvent(m_ready);
        }
    }

    void finish(End end)
    {
        EnterCriticalSection(&m_lock);
        m_end = end;
        m_available.store(true);
        LeaveCriticalSection(&m_lock);
        SetEvent(m_ready);
    }

    HANDLE m_input = nullptr;
    HANDLE m_ready = nullptr;
    CRITICAL_SECTION m_lock;
    std::deque<std::string> m_frames;
    End m_end = End::None;
    std::atomic<bool> m_available{false}; // frames or the end wait in the queue
    std::atomic<bool> m_sleeping{false};  // the apartment thread waits on m_ready
};

// A window that is never shown: the component's dialogs and timers need a thread that
// owns a window and pumps its messages.
HWND createHiddenWindow()
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SorvantixJvLinkBridge";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Sorvantix JV-Link bridge", WS_OVERLAPPED,
                                  0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    // Without a display Wine has no desktop for a top-level window; a message-only
    // window still gives the thread its message queue.
    if (!window)
        window = CreateWindowExW(0, wc.lpszClassName, L"Sorvantix JV-Link bridge", 0, 0, 0, 0, 0,
                                 HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    return window;
}

// false once WM_QUIT came.
bool pumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            return false;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

std::string creationMessage(HRESULT hr)
{
    if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING)
        return "JV-Linkがインストールされていません (" + hexOf(hr) + ")";
    if (hr == CO_E_NOTINITIALIZED)
        return "COMが初期化されていません (" + hexOf(hr) + ")";
    return "JV-Linkのオブジェクトを作成できません (" + hexOf(hr) + ")";
}

class Bridge
{
public:
    Bridge(HANDLE out, HRESULT created, JvLinkDispatch& jv)
        : m_out(out), m_created(created), m_jv(jv)
    {
    }

    bool sendHello(const std::string& message, const std::string& version)
    {
        PayloadWriter w;
        w.i32(m_created).i32(0).bytes(message).bytes(version);
        return send(w);
    }

    // Serves one request. Returns false when the program is to end; `exitCode` says
    // with what.
    bool serve(const std::string& payload, int& exitCode)
    {
        PayloadReader r(payload);
        const auto op = static_cast<Op>(r.u8());
        if (!r.ok()) {
            logLine("empty request");
            exitCode = kExitBadRequest;
            return false;
        }
        if (op == Op::Quit) {
            exitCode = 0;
            PayloadWriter w;
            w.i32(0).i32(0);
            send(w);
            return false;
        }
        PayloadWriter w;
        if (!handle(op, r, w)) {
            logLine("malformed request (operation " + std::to_string(static_cast<int>(op)) + ")");
            exitCode = kExitBadRequest;
            return false;
        }
        if (!send(w)) {
            exitCode = kExitOutputGone;
            return false;
        }
        return true;
    }

    bool streamOpen() const { return m_streamOpen; }

private:
    bool send(const PayloadWriter& w) { return writeAll(m_out, w.frame()); }

    static void head(PayloadWriter& w, const CallResult& c)
    {
        if (SUCCEEDED(c.hr))
            w.i32(0).i32(c.result);
        else
            w.i32(static_cast<std::int32_t>(c.hr)).i32(0);
    }

    void noteFailure(const char* what, const CallResult& c)
    {
        if (FAILED(c.hr)) {
            std::string text = std::string(what) + " failed: " + hexOf(c.hr);
            if (c.hr == DISP_E_EXCEPTION && !m_jv.lastException().empty())
                text += " " + m_jv.lastException();
            logLine(text);
        }
    }

    // Reads the request's fields and writes the reply; false when the fields are not
    // those of the operation.
    bool handle(Op op, PayloadReader& r, PayloadWriter& w)
    {
        std::string a;
        std::string b;
        int number = 0;
        switch (op) {
        case Op::Init:
            a = r.bytes();
            break;
        case Op::Open:
            a = r.bytes();
            b = r.bytes();
            number = r.i32();
            break;
        case Op::RTOpen:
            a = r.bytes();
            b = r.bytes();
            break;
        case Op::Read:
            number = r.i32();
            break;
        case Op::SetUIProperties:
        case Op::Status:
        case Op::Skip:
        case Op::Cancel:
        case Op::Close:
        case Op::Version:
            break;
        default:
            return false;
        }
        if (!r.ok() || !r.atEnd())
            return false;

        if (FAILED(m_created)) {
            w.i32(m_created).i32(kNoObjectResult);
            return true;
        }

        CallResult c;
        switch (op) {
        case Op::Init:
            c = m_jv.init(a);
            noteFailure("JVInit", c);
            head(w, c);
            break;
        case Op::SetUIProperties:
            c = m_jv.setUIProperties();
            noteFailure("JVSetUIProperties", c);
            head(w, c);
            break;
        case Op::Open: {
            int reads = 0;
            int downloads = 0;
            std::string stamp;
            c = m_jv.open(a, b, number, reads, downloads, stamp);
            noteFailure("JVOpen", c);
            m_streamOpen = true;
            head(w, c);
            if (SUCCEEDED(c.hr))
                w.i32(reads).i32(downloads).bytes(stamp);
            break;
        }
        case Op::RTOpen:
            c = m_jv.rtOpen(a, b);
            noteFailure("JVRTOpen", c);
            m_streamOpen = true;
            head(w, c);
            break;
        case Op::Status:
            c = m_jv.status();
            noteFailure("JVStatus", c);
            head(w, c);
            break;
        case Op::Read: {
            std::string record;
            std::string name;
            c = m_jv.read(number, record, name);
            noteFailure("JVGets/JVRead", c);
            head(w, c);
            if (SUCCEEDED(c.hr)) {
                // An out field cannot outgrow a frame; no record comes near it.
                if (record.size() + name.size() + 16 > kMaxPayload)
                    record.resize(kMaxPayload - name.size() - 16);
                w.bytes(record).bytes(name);
            }
            break;
        }
        case Op::Skip:
            c = m_jv.skip();
            noteFailure("JVSkip", c);
            head(w, c);
            break;
        case Op::Cancel:
            c = m_jv.cancel();
            noteFailure("JVCancel", c);
            head(w, c);
            break;
        case Op::Close:
            c = m_jv.close();
            noteFailure("JVClose", c);
            if (SUCCEEDED(c.hr))
                m_streamOpen = false;
            head(w, c);
            break;
        case Op::Version: {
            std::string version;
            c.hr = m_jv.version(version);
            head(w, c);
            if (SUCCEEDED(c.hr))
                w.bytes(version);
            break;
        }
        default:
            return false;
        }
        return true;
    }

    HANDLE m_out;
    HRESULT m_created;
    JvLinkDispatch& m_jv;
    bool m_streamOpen = false;
};

int run()
{
    // msvcrt's text mode would turn LF into CR LF; the frames are read and written with
    // ReadFile/WriteFile, but anything else touching the CRT streams stays binary too.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);

    // JV-Link is apartment threaded: every call is made from this thread.
    const HRESULT comInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HWND window = createHiddenWindow();
    if (!window)
        logLine("no hidden window (" + std::to_string(GetLastError()) + ")");

    JvLinkDispatch jv;
    HRESULT created = FAILED(comInit) ? comInit : jv.create(L"JVDTLab.JVLink");
    std::string message;
    std::string version;
    if (FAILED(created)) {
        message = FAILED(comInit) ? "COMを初期化できません (" + hexOf(comInit) + ")"
                                  : creationMessage(created);
        logLine(message);
    } else {
        created = S_OK;
        if (HRESULT hr = jv.version(version); FAILED(hr))
            logLine("m_JVLinkVersion: " + hexOf(hr));
    }

    Bridge bridge(out, created, jv);
    int exitCode = 0;
    if (!bridge.sendHello(message, version)) {
        exitCode = kExitOutputGone;
    } else {
        // Never freed: the input thread may still use it while the process ends.
        auto* queue = new RequestQueue;
        if (!queue->start(in)) {
            logLine("cannot start the input thread");
            exitCode = kExitNoThread;
        } else {
            bool running = true;
            DWORD lastPump = GetTickCount();
            while (running) {
                std::string payload;
                RequestQueue::End end = RequestQueue::End::None;
                if (queue->take(payload, end)) {
                    running = bridge.serve(payload, exitCode);
                    // A long read loop never sleeps: its messages are pumped every few
                    // milliseconds instead.
                    if (GetTickCount() - lastPump >= kPumpEveryMs) {
                        running = running && pumpMessages();
                        lastPump = GetTickCount();
                    }
                    continue;
                }
                if (end == RequestQueue::End::EndOfInput)
                    break;
                if (end == RequestQueue::End::Malformed) {
                    logLine("malformed frame on standard input");
                    exitCode = kExitMalformedFrame;
                    break;
                }
                // A client reading record after record asks again within microseconds.
                if (queue->spinFor(kSpinMicros))
                    continue;
                if (!queue->beginSleep())
                    continue;
                HANDLE ready = queue->readyEvent();
                const DWORD woke = MsgWaitForMultipleObjectsEx(1, &ready, INFINITE, QS_ALLINPUT,
                                                               MWMO_INPUTAVAILABLE);
                queue->endSleep();
                if (woke == WAIT_OBJECT_0 + 1) {
                    if (!pumpMessages())
                        break;
                    lastPump = GetTickCount();
                }
            }
            // A stream left open would keep its download running while the object goes.
            if (SUCCEEDED(created) && bridge.streamOpen())
                jv.close();
        }
    }
    jv.release();
    if (window)
        DestroyWindow(window);
    if (SUCCEEDED(comInit))
        CoUninitialize();
    // The input thread may still sit in ReadFile: end the process, not just main.
    ExitProcess(static_cast<UINT>(exitCode));
}

} // namespace
} // namespace sorvantix::bridge

int main()
{
    return sorvantix::bridge::run();
}
