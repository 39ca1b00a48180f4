#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace sorvantix {

// A child program with pipes to its standard input and output, started without a shell
// (posix_spawn with an argument vector). Its standard error goes to /dev/null: Wine's
// helper processes inherit it and may keep it open long after the program ends.
class ChildProcess
{
public:
    // Starts `argv[0]` (searched in PATH when it has no "/") with `argv` and the current
    // environment plus `extraEnv` ("NAME=value"). Throws Error naming the program when it
    // cannot be started.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv);
    ~ChildProcess(); // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return m_pid; }

    // Writes all bytes to the child's standard input; false when the pipe is broken.
    bool write(const std::string& bytes);
    // Reads exactly `n` bytes from the child's standard output, waiting until `deadline`;
    // nullopt at end of file, on an error or when the deadline passes (`timedOut` says
    // which).
    std::optional<std::string> read(std::size_t n, std::chrono::steady_clock::time_point deadline,
                                    bool* timedOut = nullptr);
    // Ends the child by its process id (SIGKILL) and reaps it.
    void kill();
    // Whether the child has ended (reaped now if so).
    bool exited();

private:
    pid_t m_pid = -1;
    int m_in = -1;  // the child's standard input, our write end
    int m_out = -1; // the child's standard output, our read end
    std::string m_buffer;
};

} // namespace sorvantix
