#include "core/jvlink/child_process.h"

#include "core/text/error.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace sorvantix {

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnv)
{
    // A child that died must not end this program when its pipe is written to.
    static std::once_flag ignorePipe;
    std::call_once(ignorePipe, [] { std::signal(SIGPIPE, SIG_IGN); });
    if (argv.empty())
        throw Error("起動するプログラムがありません");
    int in[2] = {-1, -1};
    int out[2] = {-1, -1};
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        const int e = errno;
        closeFd(in[0]);
        closeFd(in[1]);
        throw Error(std::string("パイプを作れません: ") + std::strerror(e));
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> env;
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        env.emplace_back(*e);
    for (const auto& extra : extraEnv) {
        const std::string name = extra.substr(0, extra.find('=') + 1);
        std::erase_if(env, [&](const std::string& v) { return v.starts_with(name); });
        env.push_back(extra);
    }
    std::vector<char*> args, envp;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& v : env)
        envp.push_back(const_cast<char*>(v.c_str()));
    envp.push_back(nullptr);
    const int rc =
        argv[0].find('/') == std::string::npos
            ? ::posix_spawnp(&m_pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data())
            : ::posix_spawn(&m_pid, argv[0].c_str(), &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (rc != 0) {
        ::close(in[1]);
        ::close(out[0]);
        m_pid = -1;
        throw Error("プログラムを起動できません: " + argv[0] + ": " + std::strerror(rc));
    }
    m_in = in[1];
    m_out = out[0];
}

ChildProcess::~ChildProcess()
{
    kill();
}

bool ChildProcess::write(const std::string& bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        // MSG_NOSIGNAL does not exist for pipes: a broken pipe must not end the program.
        const ssize_t n = ::write(m_in, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string>
ChildProcess::read(std::size_t n, std::chrono::steady_clock::time_point deadline, bool* timedOut)
{
    if (timedOut)
        *timedOut = false;
    char chunk[65536];
    while (m_buffer.size() < n) {
        if (m_out < 0)
            return std::nullopt;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            if (timedOut)
                *timedOut = true;
            return std::nullopt;
        }
        pollfd p{m_out, POLLIN, 0};
        const int ready =
            ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000 * 60 * 60)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return std::nullopt;
        if (ready == 0)
            continue;
        const ssize_t got = ::read(m_out, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt; // end of file: the child closed its output or died
        m_buffer.append(chunk, static_cast<std::size_t>(got));
    }
    std::string out = m_buffer.substr(0, n);
    m_buffer.erase(0, n);
    return out;
}

void ChildProcess::kill()
{
    closeFd(m_in);
    closeFd(m_out);
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        m_pid = -1;
    }
}

bool ChildProcess::exited()
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return true;
    }
    return false;
}

} // namespace sorvantix
