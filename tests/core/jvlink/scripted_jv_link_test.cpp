#include "core/jvlink/jv_result_text.h"
#include "core/jvlink/scripted_jv_link.h"

#include <gtest/gtest.h>

using namespace sorvantix;
using sorvantix::test::ScriptedJvLink;

namespace {

struct Outcome
{
    std::vector<std::string> records;
    std::string failure; // empty when the acquisition succeeded
};

// An acquisition as the program runs one: open, wait for the downloads, read to the
// end, always close.
Outcome acquire(JvLink& link)
{
    Outcome out;
    int readCount = 0;
    int downloadCount = 0;
    std::string stamp;
    int rc =
        link.JVOpen("RACE", "20240101000000", jv::kOptionNormal, readCount, downloadCount, stamp);
    if (rc != jv::kOk) {
        out.failure = JvResultText("JVOpen", rc);
        link.JVClose();
        return out;
    }
    for (;;) {
        int done = link.JVStatus();
        if (done < 0) {
            out.failure = JvResultText("JVStatus", done);
            link.JVClose();
            return out;
        }
        if (done == downloadCount)
            break;
    }
    for (;;) {
        std::string buffer;
        int size = jv::kReadBufferSize;
        std::string fileName;
        rc = link.JVRead(buffer, size, fileName);
        if (rc > 0)
            out.records.push_back(buffer);
        else if (rc == jv::kReadEnd)
            break;
        else if (rc == jv::kReadFileSwitch || jv::isReadDownloading(rc))
            continue;
        else {
            out.failure = JvResultText("JVRead", rc);
            break;
        }
    }
    link.JVClose();
    return out;
}

} // namespace

TEST(ScriptedJvLink, ServesARealisticAcquisition)
{
    ScriptedJvLink link;
    link.openResults.push_back({0, 2, 2, "20240106120000"});
    link.queueStatusProgress(2);
    link.queueRecord("RA1\r\n");
    link.queueRead(jv::kReadDownloading);
    link.queueRecord("SE1\r\n");
    link.queueRead(jv::kReadFileSwitch);
    link.queueRecord("HR1\r\n", "other.jvd");

    Outcome out = acquire(link);

    EXPECT_EQ(out.failure, "");
    EXPECT_EQ(out.records, (std::vector<std::string>{"RA1\r\n", "SE1\r\n", "HR1\r\n"}));
    std::vector<std::string> expected = {"JVOpen RACE 20240101000000 1", "JVStatus", "JVStatus",
                                         "JVStatus"};
    for (int i = 0; i < 6; ++i)
        expected.push_back("JVRead 60000");
    expected.push_back("JVClose");
    EXPECT_EQ(link.calls, expected);
}

TEST(ScriptedJvLink, ScriptedFailuresReachTheCaller)
{
    ScriptedJvLink openFails;
    openFails.openResults.push_back({jv::kStillOpen, 0, 0, ""});
    Outcome out = acquire(openFails);
    EXPECT_EQ(out.failure, JvResultText("JVOpen", -202));
    EXPECT_EQ(openFails.calls.back(), "JVClose"); // also after a failed open

    ScriptedJvLink readFails;
    readFails.queueRecord("RA1\r\n");
    readFails.queueRead(jv::kDownloadFailed);
    readFails.queueRecord("never read\r\n");
    out = acquire(readFails);
    EXPECT_EQ(out.records.size(), 1u);
    EXPECT_EQ(out.failure, "ダウンロードに失敗しました。(通信エラーやディスクエラー)(-502)");
    EXPECT_EQ(readFails.reads.size(), 1u);
}

TEST(ReadLoop, CountsEachFileOnceHoweverOftenItsEndIsAnnounced)
{
    ScriptedJvLink link;
    link.queueRecord("a1", "A.jvd");
    link.queueRead(jv::kReadFileSwitch); // a -1 in the middle of A (a repeated announcement)
    link.queueRecord("a2", "A.jvd");
    link.queueRead(jv::kReadFileSwitch); // A ends
    link.queueRead(jv::kReadFileSwitch); // twice
    link.queueRecord("b1", "B.jvd");
    link.queueRead(jv::kReadDownloading);
    link.queueRecord("b2", "B.jvd");
    link.queueRead(jv::kReadFileSwitch);
    link.queueRecord("c1", "C.jvd");
    std::vector<std::string> records;
    int switches = 0;
    const JvReadEnd end = readJvStream(
        link, [] { return false; }, [&](const std::string& r) { records.push_back(r); },
        [&] { ++switches; });
    EXPECT_EQ(end.code, jv::kReadEnd);
    EXPECT_EQ(records, (std::vector<std::string>{"a1", "a2", "b1", "b2", "c1"}));
    EXPECT_EQ(switches, 2); // A and B ended; C ended with the data
}
