#include "core/app/temp_dir.h"
#include "core/jvlink/replay_jv_link.h"
#include "core/jvlink/replay_timeline.h"
#include "core/store/record_builder.h"
#include "core/text/text_file.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace sorvantix;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "2026120609050211";      // 阪神 11R, Sunday 6 December
constexpr const char* kOtherKey = "2026120609050201"; // 1R of the same day

std::string odds(RecordType type, const std::string& key, const std::string& announced,
                 char kind = '1')
{
    RecordBuilder b(type);
    b.setRaceKey(key);
    b.set("data_kind", std::string(1, kind));
    b.set("announce_time", announced);
    return b.bytes();
}

std::string result(RecordType type, const std::string& key, const std::string& post = "")
{
    RecordBuilder b(type);
    b.setRaceKey(key);
    if (!post.empty())
        b.set("post_time", post);
    return b.bytes();
}

// The announcement times of the odds records in `bytes`, in order.
std::vector<std::string> announcements(const std::string& bytes)
{
    std::vector<std::string> out;
    for (size_t pos = 0; pos + 35 <= bytes.size();) {
        out.push_back(bytes.substr(pos + 27, 8));
        size_t end = bytes.find('\n', pos);
        pos = end == std::string::npos ? bytes.size() : end + 1;
    }
    return out;
}

constexpr LocalDateTime at(int day, int hour, int minute)
{
    return LocalDateTime{2026, 12, day, hour, minute, 0};
}

} // namespace

TEST(AnnouncementMoment, TakesTheYearOfTheRaceOrTheOneBeforeAcrossNewYear)
{
    EXPECT_EQ(announcementMoment(kKey, "12061538"), at(6, 15, 38));
    EXPECT_EQ(announcementMoment(kKey, "12051712"), at(5, 17, 12));
    // The evening before a race on 5 January is in the old year.
    EXPECT_EQ(announcementMoment("2027010506010101", "12311730"),
              (LocalDateTime{2026, 12, 31, 17, 30, 0}));
    EXPECT_EQ(announcementMoment("2027010506010101", "01050930"),
              (LocalDateTime{2027, 1, 5, 9, 30, 0}));
    for (const char* bad : {"12061560", "12062400", "13061500", "02301500", "1206 538", "1206153"})
        EXPECT_FALSE(announcementMoment(kKey, bad)) << bad;
    EXPECT_FALSE(announcementMoment("20261X0609050211", "12061538"));
}

TEST(PublishedRecords, AnOddsSeriesUpToNowAndItsFinalOnlyAfterPost)
{
    const std::string series =
        odds(RecordType::O1, kKey, "12051712") + odds(RecordType::O1, kKey, "12060930") +
        odds(RecordType::O1, kKey, "12061538") + odds(RecordType::O1, kKey, "12061540", '3');
    PostTimes posts;
    EXPECT_EQ(announcements(publishedRecords(series, "0B41", at(5, 17, 11), posts, 10)),
              std::vector<std::string>{});
    EXPECT_EQ(announcements(publishedRecords(series, "0B41", at(5, 17, 12), posts, 10)),
              std::vector<std::string>{"12051712"});
    EXPECT_EQ(announcements(publishedRecords(series, "0B41", at(6, 15, 39), posts, 10)),
              (std::vector<std::string>{"12051712", "12060930", "12061538"}));
    // Without a known post time the final is out at its own announcement; with one,
    // not before post even when announced earlier.
    EXPECT_EQ(publishedRecords(series, "0B41", at(6, 15, 40), posts, 10), series);
    posts.addFrom(result(RecordType::RA, kKey, "1545"));
    EXPECT_EQ(announcements(publishedRecords(series, "0B41", at(6, 15, 44), posts, 10)).size(), 3u);
    EXPECT_EQ(publishedRecords(series, "0B41", at(6, 15, 45), posts, 10), series);
    // The stored-data specs do not keep time.
    EXPECT_EQ(publishedRecords(series, "RACE", at(1, 0, 0), posts, 10), series);
}

TEST(PublishedRecords, ResultsOfARaceAfterPostAndTheSettlementDelay)
{
    const std::string day = result(RecordType::RA, kOtherKey, "1005") +
                            result(RecordType::SE, kOtherKey) + result(RecordType::HR, kOtherKey) +
                            result(RecordType::RA, kKey, "1540") + result(RecordType::SE, kKey) +
                            result(RecordType::HR, kKey) +
                            result(RecordType::SE, "2026120609050212"); // no RA: no post time
    PostTimes posts;
    posts.addFrom(day);
    auto types = [&](const LocalDateTime& now, int settle) {
        std::string kept = publishedRecords(day, "0B12", now, posts, settle);
        std::string out;
        for (size_t pos = 0; pos < kept.size(); pos = kept.find('\n', pos) + 1)
            out += kept.substr(pos, 2) + kept.substr(pos + 25, 2) + " ";
        return out;
    };
    EXPECT_EQ(types(at(6, 10, 14), 10), "");
    EXPECT_EQ(types(at(6, 10, 15), 10), "RA01 SE01 HR01 ");
    EXPECT_EQ(types(at(6, 10, 5), 0), "RA01 SE01 HR01 ");
    EXPECT_EQ(types(at(6, 15, 50), 10), "RA01 SE01 HR01 RA11 SE11 HR11 ");
    EXPECT_EQ(types(at(6, 23, 59), 10), "RA01 SE01 HR01 RA11 SE11 HR11 ");
    EXPECT_EQ(types(at(7, 0, 0), 10), "RA01 SE01 HR01 RA11 SE11 HR11 SE12 ");
}

TEST(PublishedRecords, KeepsWhatItCannotReadForTheReaderToReport)
{
    const std::string good = odds(RecordType::O1, kKey, "12061000");
    const std::string late = odds(RecordType::O1, kKey, "12061600");
    const std::string badTime = odds(RecordType::O1, kKey, "12069999");
    const std::string other = result(RecordType::SE, kKey);
    const std::string cut = good.substr(0, 100); // no line end
    EXPECT_EQ(publishedRecords(good + late + badTime + other + cut, "0B41", at(6, 12, 0), {}, 10),
              good + badTime + other + cut);
    // A cut record is kept whatever its time says, and so is a bare LF line.
    const std::string cutLate = late.substr(0, 100);
    EXPECT_EQ(publishedRecords(good + cutLate, "0B41", at(6, 12, 0), {}, 10), good + cutLate);
    std::string bareLf = late;
    bareLf.erase(bareLf.size() - 2, 1);
    EXPECT_EQ(publishedRecords(bareLf + good, "0B41", at(6, 12, 0), {}, 10), bareLf + good);
    EXPECT_EQ(publishedRecords("", "0B41", at(6, 12, 0), {}, 10), "");
}

class ReplayKeepingTime : public ::testing::Test
{
protected:
    ReplayKeepingTime()
    {
        m_link.setClock(&m_clock);
        EXPECT_EQ(m_link.JVInit("SA000000/SD000000/Sorvantix/Ver.1.30"), 0);
    }

    void write(const std::string& spec, const std::string& name, const std::string& bytes)
    {
        fs::create_directories(feed() / spec);
        writeFileAtomic(feed() / spec / (name + ".jvd"), bytes);
    }
    fs::path feed() const { return m_dir.path() / "feed"; }

    // What one JVRTOpen serves by the clock: the record types and announcement times,
    // or the open's code.
    std::vector<std::string> serve(const std::string& spec, const std::string& key)
    {
        std::vector<std::string> out;
        int rc = m_link.JVRTOpen(spec, key);
        if (rc != 0) {
            out.push_back(std::to_string(rc));
        } else {
            for (;;) {
                std::string buffer, file;
                int size = 4000;
                if (m_link.JVRead(buffer, size, file) <= 0)
                    break;
                out.push_back(buffer.substr(0, 2) +
                              (buffer[0] == 'O' ? buffer.substr(27, 8) : buffer.substr(25, 2)));
            }
        }
        m_link.JVClose();
        return out;
    }

    test::TempDir m_dir;
    SettableClock m_clock{at(6, 9, 0)};
    ReplayJvLink m_link{ReplayJvLinkFolders{m_dir.path() / "jvlink.ini", m_dir.path() / "cache",
                                            m_dir.path() / "feed"}};
};

TEST_F(ReplayKeepingTime, ServesTheSeriesAndTheLatestOddsAnnouncedByTheClock)
{
    write("0B41", kKey,
          odds(RecordType::O1, kKey, "12051712") + odds(RecordType::O1, kKey, "12061100") +
              odds(RecordType::O1, kKey, "12061538"));
    write("0B42", kKey,
          odds(RecordType::O2, kKey, "12061100") + odds(RecordType::O2, kKey, "12061538"));
    // The latest odds file holds the day's last announcement.
    write("0B30", kKey,
          odds(RecordType::O1, kKey, "12061538") + odds(RecordType::O2, kKey, "12061538"));
    m_clock.set(at(5, 12, 0));
    EXPECT_EQ(serve("0B41", kKey), std::vector<std::string>{"-1"});
    EXPECT_EQ(serve("0B30", kKey), std::vector<std::string>{"-1"});
    m_clock.set(at(6, 12, 0));
    EXPECT_EQ(serve("0B41", kKey), (std::vector<std::string>{"O112051712", "O112061100"}));
    EXPECT_EQ(serve("0B42", kKey), std::vector<std::string>{"O212061100"});
    EXPECT_EQ(serve("0B30", kKey), (std::vector<std::string>{"O112061100", "O212061100"}));
    m_clock.set(at(6, 15, 38));
    EXPECT_EQ(serve("0B41", kKey).size(), 3u);
    EXPECT_EQ(serve("0B30", kKey), (std::vector<std::string>{"O112061538", "O212061538"}));
    // Without a clock the whole feed is served.
    m_link.setClock(nullptr);
    m_clock.set(at(1, 0, 0));
    EXPECT_EQ(serve("0B41", kKey).size(), 3u);
}

TEST_F(ReplayKeepingTime, ResultsFollowEachRacesPostAndTheFeedsSettlementDelay)
{
    write("0B12", "20261206",
          result(RecordType::RA, kOtherKey, "1005") + result(RecordType::HR, kOtherKey) +
              result(RecordType::RA, kKey, "1540") + result(RecordType::HR, kKey));
    m_clock.set(at(6, 10, 14));
    EXPECT_EQ(serve("0B12", "20261206"), std::vector<std::string>{"-1"});
    m_clock.set(at(6, 10, 15));
    EXPECT_EQ(serve("0B12", "20261206"), (std::vector<std::string>{"RA01", "HR01"}));
    // A feed that keeps its own delay.
    writeFileAtomic(feed() / "feed.ini", "[Replay]\r\nSettlementMinutes=30\r\n");
    EXPECT_EQ(serve("0B12", "20261206"), std::vector<std::string>{"-1"});
    m_clock.set(at(6, 16, 10));
    EXPECT_EQ(serve("0B12", "20261206").size(), 4u);
    // A delay that cannot be used keeps the default.
    writeFileAtomic(feed() / "feed.ini", "[Replay]\r\nSettlementMinutes=soon\r\n");
    m_clock.set(at(6, 15, 50));
    EXPECT_EQ(serve("0B12", "20261206").size(), 4u);
}

TEST_F(ReplayKeepingTime, AFinalOddsRecordWaitsForThePostTimeOfTheDaysResults)
{
    write("0B41", kKey,
          odds(RecordType::O1, kKey, "12061538") + odds(RecordType::O1, kKey, "12061538", '3'));
    write("0B12", "20261206", result(RecordType::RA, kKey, "1540"));
    m_clock.set(at(6, 15, 39));
    EXPECT_EQ(serve("0B41", kKey).size(), 1u);
    m_clock.set(at(6, 15, 40));
    EXPECT_EQ(serve("0B41", kKey).size(), 2u);
}

TEST_F(ReplayKeepingTime, StoredFilesArePublishedAtTheirStamps)
{
    write("RACE", "20261204160000-RA_cards", result(RecordType::RA, kKey, "1540"));
    write("RACE", "20261207170000-HR_payouts", result(RecordType::HR, kKey));
    auto served = [&] {
        int reads = 0, downloads = 0;
        std::string stamp;
        const int rc = m_link.JVOpen("RACE", "00000000000000", 1, reads, downloads, stamp);
        m_link.JVClose();
        return rc == 0 ? std::to_string(reads) + " " + stamp : std::to_string(rc);
    };
    // Stored data of a past day: every file, whatever the clock.
    m_clock.set(at(6, 9, 0));
    EXPECT_EQ(served(), "2 20261207170000");
    // As a set-up before the race day finds it.
    m_link.setStoredDataByClock(true);
    m_clock.set(at(4, 15, 59));
    EXPECT_EQ(served(), "-1");
    m_clock.set(at(6, 9, 0));
    EXPECT_EQ(served(), "1 20261204160000");
    m_clock.set(at(7, 17, 0));
    EXPECT_EQ(served(), "2 20261207170000");
}
