#pragma once

#include "core/jvlink/jv_link.h"

#include <deque>
#include <string>
#include <vector>

namespace sorvantix::test {

// A JvLink whose answers are scripted per operation and which records every call.
// Each operation takes the next queued result; an empty queue answers 0 (and JVRead
// answers 0 = all read), so a test scripts only what matters to it.
class ScriptedJvLink : public JvLink
{
public:
    struct OpenResult
    {
        int result = 0;
        int readCount = 0;
        int downloadCount = 0;
        std::string lastFileTimestamp;
    };

    struct ReadStep
    {
        int result = 0;     // record length, 0, -1, -3 or an error
        std::string record; // CP932 bytes with CR LF, for a record step
        std::string fileName;
    };

    std::deque<int> initResults;
    std::deque<int> setUiResults;
    std::deque<OpenResult> openResults;
    std::deque<int> rtOpenResults;
    std::deque<int> statusResults;
    std::deque<ReadStep> reads;
    std::deque<int> closeResults;

    // Calls in order: "JVInit sid", "JVOpen spec from option", "JVRTOpen spec key",
    // "JVStatus", "JVRead size", "JVClose", "JVCancel", "JVSetUIProperties".
    std::vector<std::string> calls;

    // Queues a record; its length is the read result. Without a file name it comes from
    // "file1.jvd", and after each queued file switch from the next file, as JV-Link names
    // the file of each record.
    void queueRecord(std::string record, std::string fileName = {})
    {
        int length = static_cast<int>(record.size());
        if (fileName.empty())
            fileName = "file" + std::to_string(m_fileNo) + ".jvd";
        reads.push_back({length, std::move(record), std::move(fileName)});
    }

    void queueRead(int result)
    {
        reads.push_back({result, {}, {}});
        if (result == jv::kReadFileSwitch)
            ++m_fileNo;
    }

    // Statuses 0, 1, ..., last.
    void queueStatusProgress(int last)
    {
        for (int n = 0; n <= last; ++n)
            statusResults.push_back(n);
    }

    int JVInit(const std::string& sid) override
    {
        calls.push_back("JVInit " + sid);
        return next(initResults);
    }

    int JVSetUIProperties() override
    {
        calls.push_back("JVSetUIProperties");
        return next(setUiResults);
    }

    int JVOpen(const std::string& dataspec, const std::string& fromtime, int option, int& readCount,
               int& downloadCount, std::string& lastFileTimestamp) override
    {
        calls.push_back("JVOpen " + dataspec + " " + fromtime + " " + std::to_string(option));
        OpenResult r;
        if (!openResults.empty()) {
            r = openResults.front();
            openResults.pop_front();
        }
        readCount = r.readCount;
        downloadCount = r.downloadCount;
        lastFileTimestamp = r.lastFileTimestamp;
        return r.result;
    }

    int JVRTOpen(const std::string& dataspec, const std::string& key) override
    {
        calls.push_back("JVRTOpen " + dataspec + " " + key);
        return next(rtOpenResults);
    }

    int JVStatus() override
    {
        calls.push_back("JVStatus");
        return next(statusResults);
    }

    int JVRead(std::string& buffer, int& size, std::string& fileName) override
    {
        calls.push_back("JVRead " + std::to_string(size));
        buffer.clear();
        if (reads.empty())
            return jv::kReadEnd;
        ReadStep step = reads.front();
        reads.pop_front();
        if (step.result > 0) {
            buffer = step.record;
            size = step.result;
            fileName = step.fileName;
        }
        return step.result;
    }

    int JVClose() override
    {
        calls.push_back("JVClose");
        return next(closeResults);
    }

    void JVCancel() override { calls.push_back("JVCancel"); }

private:
    static int next(std::deque<int>& queue)
    {
        if (queue.empty())
            return 0;
        int value = queue.front();
        queue.pop_front();
        return value;
    }

private:
    int m_fileNo = 1;
};

} // namespace sorvantix::test
