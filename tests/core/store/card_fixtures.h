#pragma once

// Helpers shared by the race card file, batched writer and day store tests: a scratch
// application folder and records built field by field.

#include "core/store/record_builder.h"
#include "core/text/text_file.h"

#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>

namespace sorvantix::testing_cards {

namespace fs = std::filesystem;

// A fresh application folder, removed again at the end of the test. It lives in
// memory (/dev/shm) where there is one: the writers sync every file they write.
class ScratchAppDir
{
public:
    explicit ScratchAppDir(const std::string& name)
    {
        fs::path base =
            fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        m_dir = base / ("sorvantix-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "Data");
    }
    ~ScratchAppDir() { fs::remove_all(m_dir); }
    ScratchAppDir(const ScratchAppDir&) = delete;
    ScratchAppDir& operator=(const ScratchAppDir&) = delete;

    const fs::path& path() const { return m_dir; }
    fs::path data(const std::string& fileName) const { return m_dir / "Data" / fileName; }

private:
    fs::path m_dir;
};

// Every file under the folder, by path relative to it, with its bytes.
inline std::map<std::string, std::string> snapshot(const fs::path& dir)
{
    std::map<std::string, std::string> files;
    if (!fs::exists(dir))
        return files;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), dir).string()] = readFileBytes(entry.path());
    return files;
}

// "yyyymmdd" + venue + meeting + meeting day + race as a race key.
inline std::string raceKey(const std::string& date, int venue, int meeting, int meetingDay,
                           int race)
{
    char buf[17];
    std::snprintf(buf, sizeof buf, "%s%02d%02d%02d%02d", date.c_str(), venue % 100, meeting % 100,
                  meetingDay % 100, race % 100);
    return buf;
}

inline RecordBuilder ra(const std::string& key, const std::string& kind = "2", int registered = 16)
{
    RecordBuilder b(RecordType::RA);
    b.setRaceKey(key).set("data_kind", kind).set("creation_date", "20040528");
    b.set("registered", static_cast<long long>(registered)).set("post_time", "1540");
    return b;
}

inline RecordBuilder se(const std::string& key, int horse, const std::string& kind = "2")
{
    RecordBuilder b(RecordType::SE);
    b.setRaceKey(key).set("data_kind", kind).set("creation_date", "20040528");
    b.set("horse_no", static_cast<long long>(horse)).set("horse_name", "テストホース");
    return b;
}

inline RecordBuilder hr(const std::string& key, const std::string& kind = "2")
{
    RecordBuilder b(RecordType::HR);
    b.setRaceKey(key).set("data_kind", kind).set("creation_date", "20040531");
    b.set("win_horse", 1, "05").set("win_payout", 1, "000000350");
    return b;
}

} // namespace sorvantix::testing_cards
