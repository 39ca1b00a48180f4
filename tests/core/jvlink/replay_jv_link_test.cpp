#include "core/app/temp_dir.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/store/record_builder.h"
#include "core/text/text_file.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

using namespace sorvantix;
using sorvantix::test::TempDir;
namespace fs = std::filesystem;

namespace {

constexpr const char* kSid = "SA730519/SD815207/Sorvantix/Ver.1.30";
constexpr const char* kKey = "2024060205030811";

std::string record(RecordType type, const std::string& key, int horse = 0)
{
    RecordBuilder b(type);
    b.setRaceKey(key);
    if (type == RecordType::SE)
        b.set("horse_no", horse);
    return b.bytes();
}

void writeFile(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    writeFileAtomic(file, bytes);
}

// A JVRead result as text: "<file>:<record type>" for a record, else the code.
std::string step(ReplayJvLink& link, int size = jv::kReadBufferSize)
{
    std::string buffer;
    std::string fileName;
    int rc = link.JVRead(buffer, size, fileName);
    if (rc > 0) {
        EXPECT_EQ(static_cast<size_t>(rc), buffer.size());
        EXPECT_EQ(size, rc);
        return fileName + ":" + buffer.substr(0, 2);
    }
    EXPECT_TRUE(buffer.empty());
    return std::to_string(rc);
}

// Reads until 0 or an error (bounded, so a replay that never ends fails the test).
std::vector<std::string> readAll(ReplayJvLink& link)
{
    std::vector<std::string> out;
    for (int i = 0; i < 200; ++i) {
        out.push_back(step(link));
        int code = std::atoi(out.back().c_str());
        if (out.back() == "0" || (out.back().front() == '-' && code < jv::kReadDownloading))
            break;
    }
    return out;
}

struct Opened
{
    int rc = 0;
    int readCount = -9;
    int downloadCount = -9;
    std::string stamp = "unset";
};

class ReplayJvLinkTest : public ::testing::Test
{
protected:
    fs::path appRoot() const { return m_dir.path() / "app"; }
    fs::path feed() const { return appRoot() / "feed"; }

    ReplayJvLink& link()
    {
        if (!m_link) {
            m_link = std::make_unique<ReplayJvLink>(appRoot());
            EXPECT_EQ(m_link->JVInit(kSid), 0);
        }
        return *m_link;
    }

    Opened open(const std::string& from, int option = jv::kOptionNormal,
                const std::string& spec = "RACE")
    {
        Opened o;
        o.rc = link().JVOpen(spec, from, option, o.readCount, o.downloadCount, o.stamp);
        return o;
    }

    void faults(const std::string& text) { writeFile(feed() / "faults.txt", text); }

    // Three days of race cards: 2 records, 1 record, 1 record.
    void threeRaceFiles()
    {
        writeFile(feed() / "RACE" / "20240601090000-cards.jvd",
                  record(RecordType::RA, kKey) + record(RecordType::SE, kKey, 1));
        writeFile(feed() / "RACE" / "20240602090000.jvd",
                  record(RecordType::SE, "2024060205030812", 2));
        writeFile(feed() / "RACE" / "20240602090000-b.jvd",
                  record(RecordType::HR, "2024060205030812"));
    }

    TempDir m_dir;
    std::unique_ptr<ReplayJvLink> m_link;
};

} // namespace

struct SidCase
{
    std::string sid;
    int expected;
};

std::ostream& operator<<(std::ostream& os, const SidCase& c)
{
    return os << "\"" << c.sid << "\" -> " << c.expected;
}

class ReplayJvInit : public ::testing::TestWithParam<SidCase>
{
};

TEST_P(ReplayJvInit, ChecksTheSoftwareIdentifier)
{
    TempDir dir;
    ReplayJvLink link(dir.path());
    EXPECT_EQ(link.JVInit(GetParam().sid), GetParam().expected);
    // Only a successful JVInit lets an open through to its own checks.
    int n = 0;
    std::string stamp;
    EXPECT_EQ(link.JVOpen("XXXX", "20240101000000", 1, n, n, stamp) == jv::kNotInitialised,
              GetParam().expected != 0);
}

INSTANTIATE_TEST_SUITE_P(Sids, ReplayJvInit,
                         ::testing::Values(SidCase{kSid, 0}, SidCase{"", -101},
                                           SidCase{std::string(64, 'A'), 0},
                                           SidCase{std::string(65, 'A'), -102},
                                           SidCase{" SA730519", -103}, SidCase{"A_b.c/9 z", 0},
                                           SidCase{"SA-730519", -101}, SidCase{"SA\t1", -101},
                                           SidCase{"\xe6\x97\xa5\xe6\x9c\xac", -101},
                                           SidCase{std::string(70, ' '), -102}));

TEST_F(ReplayJvLinkTest, EveryStreamOperationNeedsJVInitFirst)
{
    threeRaceFiles();
    ReplayJvLink fresh(appRoot());
    int n = 0;
    std::string stamp;
    std::string buffer;
    std::string name;
    int size = jv::kReadBufferSize;
    EXPECT_EQ(fresh.JVOpen("RACE", "20240101000000", 1, n, n, stamp), jv::kNotInitialised);
    EXPECT_EQ(fresh.JVRTOpen("0B41", kKey), jv::kNotInitialised);
    EXPECT_EQ(fresh.JVStatus(), jv::kNotInitialised);
    EXPECT_EQ(fresh.JVRead(buffer, size, name), jv::kNotInitialised);
    EXPECT_EQ(fresh.JVClose(), 0);
}

TEST_F(ReplayJvLinkTest, ReadsFilesInStampOrderWithDownloadAndFileSwitches)
{
    threeRaceFiles();
    Opened o = open("20240101000000");
    EXPECT_EQ(o.rc, 0);
    EXPECT_EQ(o.readCount, 3);
    EXPECT_EQ(o.downloadCount, 3);
    EXPECT_EQ(o.stamp, "20240602090000");
    // Reading without polling: each file not yet copied answers -3 first.
    std::vector<std::string> expected = {"-3",
                                         "20240601090000-cards.jvd:RA",
                                         "20240601090000-cards.jvd:SE",
                                         "-1",
                                         "-3",
                                         "20240602090000-b.jvd:HR",
                                         "-1",
                                         "-3",
                                         "20240602090000.jvd:SE",
                                         "-1",
                                         "0"};
    EXPECT_EQ(readAll(link()), expected);
    EXPECT_EQ(step(link()), "0"); // stays at the end
    EXPECT_EQ(link().JVClose(), 0);

    // Everything is cached now: no download, the same records.
    o = open("20240101000000");
    EXPECT_EQ(o.readCount, 3);
    EXPECT_EQ(o.downloadCount, 0);
    EXPECT_EQ(link().JVStatus(), 0);
    expected.erase(std::remove(expected.begin(), expected.end(), "-3"), expected.end());
    EXPECT_EQ(readAll(link()), expected);
    EXPECT_EQ(link().JVClose(), 0);
}

TEST_F(ReplayJvLinkTest, HandsOutTheStoredBytesUnchanged)
{
    // Full-width text, a 0x5C trail byte and the odd filler of a damaged field.
    RecordBuilder ra(RecordType::RA);
    ra.setRaceKey(kKey).set("race_name", "ダービー表記").setRaw("weekday", "\x81");
    std::string bytes = ra.bytes() + record(RecordType::SE, kKey, 7);
    writeFile(feed() / "RACE" / "20240601090000.jvd", bytes);
    ASSERT_EQ(open("20240101000000").rc, 0);
    std::string got;
    std::string buffer;
    std::string name;
    for (;;) {
        int size = jv::kReadBufferSize;
        int rc = link().JVRead(buffer, size, name);
        if (rc == jv::kReadDownloading)
            continue;
        if (rc <= 0) {
            EXPECT_EQ(rc, 0);
            break;
        }
        EXPECT_EQ(rc, recordLength(got.empty() ? RecordType::RA : RecordType::SE));
        got += buffer;
    }
    EXPECT_EQ(got, bytes);
}

TEST_F(ReplayJvLinkTest, StatusCountsDownloadsThenReadsNeedNoWait)
{
    threeRaceFiles();
    Opened o = open("20240601090000"); // the first file is not later
    EXPECT_EQ(o.readCount, 2);
    EXPECT_EQ(o.downloadCount, 2);
    EXPECT_EQ(link().JVStatus(), 1);
    EXPECT_EQ(link().JVStatus(), 2);
    EXPECT_EQ(link().JVStatus(), 2);
    EXPECT_EQ(readAll(link()), (std::vector<std::string>{"20240602090000-b.jvd:HR", "-1",
                                                         "20240602090000.jvd:SE", "-1", "0"}));
    link().JVClose();
    EXPECT_TRUE(fs::exists(appRoot() / "jvcache" / "RACE" / "20240602090000.jvd"));

    // A changed feed file is fetched again, the unchanged one is not.
    writeFile(feed() / "RACE" / "20240602090000.jvd",
              record(RecordType::SE, "2024060205030812", 2) +
                  record(RecordType::SE, "2024060205030812", 3));
    o = open("20240601090000");
    EXPECT_EQ(o.readCount, 2);
    EXPECT_EQ(o.downloadCount, 1);
    EXPECT_EQ(link().JVStatus(), 1);
    EXPECT_EQ(readAll(link()).size(), 6u);
}

TEST_F(ReplayJvLinkTest, SingleFileHasNoFileSwitch)
{
    threeRaceFiles();
    Opened o = open("20240601120000");
    ASSERT_EQ(o.rc, 0);
    EXPECT_EQ(o.readCount, 2);
    writeFile(feed() / "RACE" / "20240605000000.jvd", record(RecordType::RA, kKey));
    link().JVClose();
    o = open("20240602090000");
    EXPECT_EQ(o.readCount, 1);
    EXPECT_EQ(o.stamp, "20240605000000");
    EXPECT_EQ(readAll(link()), (std::vector<std::string>{"-3", "20240605000000.jvd:RA", "0"}));
}

struct OpenCase
{
    std::string spec;
    std::string from;
    int option;
    int expected;
    int readCount;
};

std::ostream& operator<<(std::ostream& os, const OpenCase& c)
{
    return os << c.spec << " \"" << c.from << "\" option " << c.option << " -> " << c.expected;
}

class ReplayJvOpen : public ReplayJvLinkTest, public ::testing::WithParamInterface<OpenCase>
{
};

TEST_P(ReplayJvOpen, ChecksArgumentsAndFiltersByFromTime)
{
    threeRaceFiles();
    const OpenCase& c = GetParam();
    Opened o = open(c.from, c.option, c.spec);
    EXPECT_EQ(o.rc, c.expected);
    EXPECT_EQ(o.readCount, c.readCount);
    EXPECT_EQ(o.downloadCount, c.readCount);
    EXPECT_EQ(o.stamp, c.expected == 0 ? "20240602090000" : "");
    EXPECT_EQ(link().JVClose(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Opens, ReplayJvOpen,
    ::testing::Values(
        OpenCase{"RACE", "20240101000000", 1, 0, 3}, OpenCase{"RACE", "00000000000000", 3, 0, 3},
        OpenCase{"RACE", "20240601085959", 4, 0, 3}, OpenCase{"RACE", "20240601090000", 1, 0, 2},
        OpenCase{"RACE", "20240602085959", 1, 0, 2}, OpenCase{"RACE", "20240602090000", 1, -1, 0},
        OpenCase{"RACE", "20991231235959", 3, -1, 0},
        OpenCase{"RACE", "20240526090000", 2, 0, 3}, // within the week
        OpenCase{"RACE", "20240526085959", 2, -116, 0},
        OpenCase{"RACE", "00000000000000", 2, -116, 0},
        OpenCase{"DIFF", "20240101000000", 1, -111, 0},
        OpenCase{"0B41", "20240101000000", 1, -111, 0},
        OpenCase{"race", "20240101000000", 1, -111, 0},
        OpenCase{"RACE", "2024010100000", 1, -112, 0},
        OpenCase{"RACE", "202401010000000", 1, -112, 0},
        OpenCase{"RACE", "2024010100000a", 1, -112, 0},
        OpenCase{"RACE", "20241301000000", 1, -112, 0},
        OpenCase{"RACE", "20230229000000", 1, -112, 0},
        OpenCase{"RACE", "20240229240000", 1, -112, 0},
        OpenCase{"RACE", "20240101006000", 1, -112, 0}, OpenCase{"RACE", "", 1, -112, 0},
        OpenCase{"RACE", "20240101000000", 0, -115, 0},
        OpenCase{"RACE", "20240101000000", 5, -115, 0}));

TEST_F(ReplayJvLinkTest, MissingRaceFolderMeansNoData)
{
    Opened o = open("20240101000000");
    EXPECT_EQ(o.rc, jv::kOpenNoData);
    EXPECT_EQ(link().JVClose(), 0);
}

TEST_F(ReplayJvLinkTest, FilesOfAnotherNameAreReportedNotServed)
{
    threeRaceFiles();
    writeFile(feed() / "RACE" / "readme.txt", "x");
    writeFile(feed() / "RACE" / "20241301000000.jvd", record(RecordType::RA, kKey));
    writeFile(feed() / "RACE" / "20240701000000-.jvd", record(RecordType::RA, kKey));
    writeFile(feed() / "RACE" / ".20240701000000.jvd.tmp", "being written");
    Opened o = open("20240101000000");
    EXPECT_EQ(o.readCount, 3);
    EXPECT_EQ(o.stamp, "20240602090000");
    EXPECT_EQ(link().feedWarnings().size(), 3u);
}

TEST_F(ReplayJvLinkTest, AnOpenStreamRefusesAnotherOpen)
{
    EXPECT_EQ(link().JVClose(), 0); // nothing open
    EXPECT_EQ(link().JVClose(), 0);
    threeRaceFiles();
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"), record(RecordType::O1, kKey));
    ASSERT_EQ(open("20240101000000").rc, 0);
    Opened nested = open("20240101000000");
    EXPECT_EQ(nested.rc, jv::kStillOpen);
    EXPECT_EQ(nested.readCount, 0);
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), jv::kStillOpen);
    // The refused open did not disturb the stream.
    EXPECT_EQ(step(link()), "-3");
    EXPECT_EQ(step(link()), "20240601090000-cards.jvd:RA");
    EXPECT_EQ(link().JVClose(), 0);
    EXPECT_EQ(step(link()), std::to_string(jv::kNotOpened));
    EXPECT_EQ(link().JVStatus(), jv::kNotOpened);
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), 0);
    EXPECT_EQ(link().JVClose(), 0);
}

TEST_F(ReplayJvLinkTest, CancelStopsTheDownloadAndLaterReadsFail)
{
    threeRaceFiles();
    ASSERT_EQ(open("20240101000000").downloadCount, 3);
    EXPECT_EQ(link().JVStatus(), 1);
    link().JVCancel();
    EXPECT_EQ(link().JVStatus(), jv::kNotOpened);
    EXPECT_EQ(step(link()), std::to_string(jv::kNotOpened));
    // A caller that skips the close after a cancel can still start again; the file
    // copied before the cancel stays cached.
    Opened again = open("20240101000000");
    EXPECT_EQ(again.rc, 0);
    EXPECT_EQ(again.downloadCount, 2);
    EXPECT_EQ(step(link()), "20240601090000-cards.jvd:RA");
    link().JVCancel();
    EXPECT_EQ(step(link()), std::to_string(jv::kNotOpened));
    EXPECT_EQ(link().JVClose(), 0);
}

struct RtCase
{
    std::string spec;
    std::string key;
    int expected;
};

std::ostream& operator<<(std::ostream& os, const RtCase& c)
{
    return os << c.spec << " \"" << c.key << "\" -> " << c.expected;
}

class ReplayJvRTOpen : public ReplayJvLinkTest, public ::testing::WithParamInterface<RtCase>
{
};

TEST_P(ReplayJvRTOpen, ChecksSpecAndKey)
{
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"), record(RecordType::O1, kKey));
    writeFile(feed() / "0B12" / "20240602.jvd", record(RecordType::HR, kKey));
    const RtCase& c = GetParam();
    EXPECT_EQ(link().JVRTOpen(c.spec, c.key), c.expected);
    EXPECT_EQ(link().JVClose(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    RtOpens, ReplayJvRTOpen,
    ::testing::Values(
        RtCase{"0B41", kKey, 0}, RtCase{"0B12", "20240602", 0}, RtCase{"0B42", kKey, -1},
        RtCase{"0B30", kKey, -1}, RtCase{"0B41", "2024060205030812", -1},
        RtCase{"0B12", "20240603", -1}, RtCase{"0B41", "202406020503081", -114},
        RtCase{"0B41", "20240602050308111", -114}, RtCase{"0B41", "2024060205030a11", -114},
        RtCase{"0B41", "2024130205030811", -114}, RtCase{"0B41", "../0B12/20240602", -114},
        RtCase{"0B41", "20240602", -114}, RtCase{"0B12", kKey, -114},
        RtCase{"0B12", "20240230", -114}, RtCase{"0B12", "", -114}, RtCase{"RACE", kKey, -111},
        RtCase{"0B99", kKey, -111}, RtCase{"0b41", kKey, -111}));

TEST_F(ReplayJvLinkTest, RealTimeStreamHasNoDownloadPhase)
{
    std::string bytes = record(RecordType::O1, kKey) + record(RecordType::O1, kKey);
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"), bytes);
    writeFile(feed() / "0B12" / "20240603.jvd", "");
    ASSERT_EQ(link().JVRTOpen("0B41", kKey), 0);
    EXPECT_EQ(link().JVStatus(), 0);
    std::string name = std::string(kKey) + ".jvd";
    EXPECT_EQ(readAll(link()), (std::vector<std::string>{name + ":O1", name + ":O1", "0"}));
    EXPECT_EQ(link().JVClose(), 0);
    EXPECT_EQ(link().JVRTOpen("0B12", "20240603"), jv::kOpenNoData); // empty file
}

struct DamageCase
{
    std::string name;
    int wholeRecords;
    std::string tail; // appended after the whole records
};

std::ostream& operator<<(std::ostream& os, const DamageCase& c)
{
    return os << c.name;
}

class ReplayJvDamage : public ReplayJvLinkTest, public ::testing::WithParamInterface<DamageCase>
{
};

TEST_P(ReplayJvDamage, GivesTheWholeRecordsThenContentError)
{
    const DamageCase& c = GetParam();
    std::string o1 = record(RecordType::O1, kKey);
    std::string bytes;
    for (int i = 0; i < c.wholeRecords; ++i)
        bytes += o1;
    bytes += c.tail;
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"), bytes);
    writeFile(feed() / "RACE" / "20240601000000.jvd", bytes);

    std::vector<std::string> expected(c.wholeRecords, std::string(kKey) + ".jvd:O1");
    expected.push_back("-403");
    ASSERT_EQ(link().JVRTOpen("0B41", kKey), 0);
    EXPECT_EQ(readAll(link()), expected);
    EXPECT_EQ(step(link()), "-403"); // stays failed
    link().JVClose();

    // The same damage in a stored data file.
    ASSERT_EQ(open("20240101000000").rc, 0);
    EXPECT_EQ(link().JVStatus(), 1);
    expected.assign(c.wholeRecords, "20240601000000.jvd:O1");
    expected.push_back("-403");
    EXPECT_EQ(readAll(link()), expected);
    link().JVClose();
}

INSTANTIATE_TEST_SUITE_P(
    Damage, ReplayJvDamage,
    ::testing::Values(DamageCase{"CutShort", 2, record(RecordType::O1, kKey).substr(0, 300)},
                      DamageCase{"NoLineEnd", 1, record(RecordType::O1, kKey).substr(0, 960)},
                      DamageCase{"CrOnly", 1, record(RecordType::O1, kKey).substr(0, 961)},
                      DamageCase{"BareLf", 0, record(RecordType::O1, kKey).substr(0, 960) + "\n"},
                      DamageCase{"OnlyGarbage", 0, "\x82"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ReplayJvLinkTest, RecordLongerThanTheBufferStaysUnread)
{
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"), record(RecordType::O1, kKey));
    ASSERT_EQ(link().JVRTOpen("0B41", kKey), 0);
    EXPECT_EQ(step(link(), 961), std::to_string(jv::kBadFileSize));
    EXPECT_EQ(step(link(), 962), std::string(kKey) + ".jvd:O1");
    EXPECT_EQ(step(link()), "0");
}

TEST_F(ReplayJvLinkTest, InjectedFaultsFailOpenReadStatusAndClose)
{
    threeRaceFiles();
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"),
              record(RecordType::O1, kKey) + record(RecordType::O1, kKey));
    writeFile(feed() / "0B41" / "2024060205030812.jvd", record(RecordType::O1, kKey));

    // An open fails, and only for its own key.
    faults("JVRTOpen 0B41 2024060205030811 -504   # maintenance\n");
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), jv::kServerMaintenance);
    EXPECT_EQ(link().JVClose(), 0);
    EXPECT_EQ(link().JVRTOpen("0B41", "2024060205030812"), 0);
    EXPECT_EQ(link().JVClose(), 0);

    // The file is read again at the next open: the n-th read fails, the close too.
    faults("# reads\r\nJVRead * * -502 at=2\r\nJVClose 0B41 * -1\r\n");
    ASSERT_EQ(link().JVRTOpen("0B41", kKey), 0);
    std::string name = std::string(kKey) + ".jvd";
    EXPECT_EQ(step(link()), name + ":O1");
    EXPECT_EQ(step(link()), "-502");
    EXPECT_EQ(step(link()), name + ":O1"); // the failed call took no record
    EXPECT_EQ(link().JVClose(), -1);
    EXPECT_EQ(link().JVClose(), 0); // the failed close closed all the same
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), 0);
    link().JVClose();

    // JVOpen and JVStatus faults, matched by the from-time.
    faults("JVOpen RACE 20240101000000 -301\nJVStatus RACE * -502 at=2\n"
           "JVRead RACE * -3 at=1\n");
    Opened o = open("20240101000000");
    EXPECT_EQ(o.rc, jv::kAuthenticationError);
    EXPECT_EQ(o.readCount, 0);
    EXPECT_EQ(o.stamp, "");
    link().JVClose();
    ASSERT_EQ(open("20240101000001").rc, 0);
    EXPECT_EQ(link().JVStatus(), 1);
    EXPECT_EQ(link().JVStatus(), -502);
    EXPECT_EQ(link().JVStatus(), 2);
    EXPECT_EQ(step(link()), "-3"); // injected although the file is there
    EXPECT_EQ(step(link()), "20240601090000-cards.jvd:RA");
    EXPECT_TRUE(link().faultWarnings().empty());
    link().JVClose();
}

TEST_F(ReplayJvLinkTest, FailedCopyFailsStatusAndRead)
{
    threeRaceFiles();
    ASSERT_EQ(open("20240101000000").rc, 0);
    fs::remove(feed() / "RACE" / "20240601090000-cards.jvd");
    EXPECT_EQ(link().JVStatus(), jv::kDownloadFailed);
    EXPECT_EQ(step(link()), std::to_string(jv::kDownloadFailed));
    EXPECT_EQ(link().JVClose(), 0);
}

struct FaultLineCase
{
    std::string line;
    std::string warning; // part of the warning; empty when the line is a rule
};

std::ostream& operator<<(std::ostream& os, const FaultLineCase& c)
{
    return os << "\"" << c.line << "\"";
}

class ReplayFaultLines : public ::testing::TestWithParam<FaultLineCase>
{
};

TEST_P(ReplayFaultLines, ParsesOrReportsTheLine)
{
    const FaultLineCase& c = GetParam();
    JvFaultSet set = JvFaultSet::parse("# header\n\n" + c.line + "\n");
    if (c.warning.empty()) {
        EXPECT_TRUE(set.warnings().empty()) << set.warnings().front();
        EXPECT_EQ(set.faults().size(), 1u);
        return;
    }
    ASSERT_EQ(set.warnings().size(), 1u);
    EXPECT_TRUE(set.faults().empty());
    EXPECT_NE(set.warnings()[0].find("line 3: "), std::string::npos) << set.warnings()[0];
    EXPECT_NE(set.warnings()[0].find(c.warning), std::string::npos) << set.warnings()[0];
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ReplayFaultLines,
    ::testing::Values(FaultLineCase{"JVOpen RACE * -504", ""},
                      FaultLineCase{"\tJVRead\t0B12  20240602 0 at=5  # early end", ""},
                      FaultLineCase{"JVStatus * * -502 at=12", ""},
                      FaultLineCase{"JVRead * * -3 at=1", ""},
                      FaultLineCase{"JVOpen RACE *", "expected OPERATION"},
                      FaultLineCase{"JVOpen RACE * -1 at=1", "only to JVStatus and JVRead"},
                      FaultLineCase{"JVClose * * -1 at=2", "only to JVStatus and JVRead"},
                      FaultLineCase{"jvopen RACE * -1", "unknown operation"},
                      FaultLineCase{"JVInit * * -101", "unknown operation"},
                      FaultLineCase{"JVOpen DIFF * -1", "unknown data spec"},
                      FaultLineCase{"JVOpen RACE * x", "not a number"},
                      FaultLineCase{"JVOpen RACE * 0", "must be negative"},
                      FaultLineCase{"JVRead RACE * 120", "must be negative or 0"},
                      FaultLineCase{"JVRead RACE * -3", "needs at=N"},
                      FaultLineCase{"JVRead RACE * -1", "needs at=N"},
                      FaultLineCase{"JVRead RACE * -502 at=0", "at= needs"},
                      FaultLineCase{"JVRead RACE * -502 at=+2", "at= needs"},
                      FaultLineCase{"JVRead RACE * -502 on=2", "expected at=N"},
                      FaultLineCase{"JVRead RACE * -502 at=2 more", "unexpected text"}));

TEST_F(ReplayJvLinkTest, UnusedFaultLinesAreReportedAndTheRestApply)
{
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"), record(RecordType::O1, kKey));
    faults("JVRTOpen 0B41 * -302 at=1\nJVRTOpen 0B41 * -303\n");
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), jv::kServiceKeyNotSet);
    ASSERT_EQ(link().faultWarnings().size(), 1u);
    EXPECT_NE(link().faultWarnings()[0].find("line 1"), std::string::npos);
    link().JVClose();
    EXPECT_EQ(link().faultWarnings().size(), 1u); // still there to show after the request
}

TEST_F(ReplayJvLinkTest, FeedFolderChoiceIsKept)
{
    fs::path other = m_dir.path() / "other feed";
    writeFile(other / "0B41" / (std::string(kKey) + ".jvd"), record(RecordType::O1, kKey));
    EXPECT_EQ(link().feedFolder(), feed());
    EXPECT_EQ(link().JVSetUIProperties(), 0); // cancelled: nothing chosen
    EXPECT_EQ(link().feedFolder(), feed());
    EXPECT_FALSE(fs::exists(appRoot() / "jvlink.ini"));

    link().setFeedFolder(m_dir.path() / "missing");
    EXPECT_EQ(link().JVSetUIProperties(), jv::kUiBadParameter);
    EXPECT_EQ(link().feedFolder(), feed());

    fs::create_directories(appRoot());
    link().setFeedFolder(other);
    EXPECT_EQ(link().JVSetUIProperties(), 0);
    EXPECT_EQ(link().feedFolder(), other);
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), 0);
    link().JVClose();

    ReplayJvLink later(appRoot());
    EXPECT_EQ(later.feedFolder(), other);
    EXPECT_TRUE(later.settingsProblem().empty());
    EXPECT_EQ(later.JVInit(kSid), 0);
    EXPECT_EQ(later.JVRTOpen("0B41", kKey), 0);
}

TEST_F(ReplayJvLinkTest, DamagedSettingsFailEveryOpenUntilChosenAgain)
{
    writeFile(appRoot() / "jvlink.ini", "[JVLink]\r\nFeedFolder=relative/feed\r\n");
    writeFile(feed() / "0B41" / (std::string(kKey) + ".jvd"), record(RecordType::O1, kKey));
    EXPECT_FALSE(link().settingsProblem().empty());
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), jv::kSettingsInvalid);
    EXPECT_EQ(open("20240101000000").rc, jv::kSettingsInvalid);
    link().JVClose();
    link().setFeedFolder(feed());
    EXPECT_EQ(link().JVSetUIProperties(), 0);
    EXPECT_EQ(link().JVRTOpen("0B41", kKey), 0);
}
