// A Linux stand-in of sorvantix-jvlink-bridge.exe for the client's tests: the same
// protocol on standard input and output, answered by the replay JV-Link. Its one
// argument is a file of "key=value" lines:
//   app=DIR        the replay's application folder (its feed, settings and cache)
//   garbage=1      print a line and a byte-order mark before the first frame, as Wine may
//   no-object=1    the hello says the object is not registered (0x80040154)
//   die-at=N       exit without a reply when request N (1-based) arrives
//   silent-at=N    never answer request N (sleep), as a bridge whose dialog waits

#include "core/jvlink/bridge_protocol.h"
#include "core/jvlink/replay_jv_link.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

using namespace sorvantix;
using namespace sorvantix::bridge;

namespace {

bool readExactly(std::string& out, std::size_t n)
{
    out.resize(n);
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(STDIN_FILENO, out.data() + got, n - got);
        if (r <= 0)
            return false;
        got += static_cast<std::size_t>(r);
    }
    return true;
}

void send(const PayloadWriter& reply)
{
    const std::string frame = reply.frame();
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t w = ::write(STDOUT_FILENO, frame.data() + done, frame.size() - done);
        if (w <= 0)
            std::_Exit(3);
        done += static_cast<std::size_t>(w);
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::map<std::string, std::string> config;
    if (argc > 1) {
        std::ifstream in(argv[1]);
        for (std::string line; std::getline(in, line);) {
            const auto eq = line.find('=');
            if (eq != std::string::npos)
                config[line.substr(0, eq)] = line.substr(eq + 1);
        }
    }
    auto number = [&](const char* key) { return config.count(key) ? std::stoi(config[key]) : 0; };
    if (number("garbage"))
        std::fputs("wine: configuration updated\n\xEF\xBB\xBF", stdout), std::fflush(stdout);
    if (number("no-object")) {
        send(PayloadWriter()
                 .i32(static_cast<std::int32_t>(0x80040154u))
                 .i32(0)
                 .bytes("JV-Linkがインストールされていません")
                 .bytes(""));
    } else {
        send(PayloadWriter().i32(0).i32(0).bytes("").bytes("stand-in 4.9.0"));
    }
    ReplayJvLink link(config["app"]);
    const bool noObject = number("no-object") != 0;
    for (int request = 1;; ++request) {
        std::string header, payload;
        if (!readExactly(header, 8))
            return 0;
        const auto n = frameLength(header);
        if (!n || !readExactly(payload, *n))
            return 2;
        if (request == number("die-at"))
            return 4;
        if (request == number("silent-at"))
            std::this_thread::sleep_for(std::chrono::hours(1));
        PayloadReader r(payload);
        const auto op = static_cast<Op>(r.u8());
        PayloadWriter reply;
        if (noObject) {
            send(PayloadWriter().i32(static_cast<std::int32_t>(0x80040154u)).i32(-401));
            if (op == Op::Quit)
                return 0;
            continue;
        }
        switch (op) {
        case Op::Init:
            reply.i32(0).i32(link.JVInit(r.bytes()));
            break;
        case Op::SetUIProperties:
            reply.i32(0).i32(link.JVSetUIProperties());
            break;
        case Op::Open: {
            const std::string spec = r.bytes();
            const std::string from = r.bytes();
            const int option = r.i32();
            int reads = 0, downloads = 0;
            std::string stamp;
            const int rc = link.JVOpen(spec, from, option, reads, downloads, stamp);
            reply.i32(0).i32(rc).i32(reads).i32(downloads).bytes(stamp);
            break;
        }
        case Op::RTOpen: {
            const std::string spec = r.bytes();
            reply.i32(0).i32(link.JVRTOpen(spec, r.bytes()));
            break;
        }
        case Op::Status:
            reply.i32(0).i32(link.JVStatus());
            break;
        case Op::Read: {
            int size = r.i32();
            std::string buffer, name;
            const int rc = link.JVRead(buffer, size, name);
            reply.i32(0).i32(rc).bytes(buffer).bytes(name);
            break;
        }
        case Op::Skip:
            reply.i32(0).i32(0);
            break;
        case Op::Cancel:
            link.JVCancel();
            reply.i32(0).i32(0);
            break;
        case Op::Close:
            reply.i32(0).i32(link.JVClose());
            break;
        case Op::Version:
            reply.i32(0).i32(0).bytes("stand-in 4.9.0");
            break;
        case Op::Quit:
            send(PayloadWriter().i32(0).i32(0));
            return 0;
        default:
            reply.i32(static_cast<std::int32_t>(0x80020003u)).i32(-401); // member not found
        }
        send(reply);
    }
}
