#pragma once

#include "core/text/clock.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sorvantix {

// What the real service would have published by a given time, applied to the bytes of
// a real-time feed file. The replay keeps its clock with these rules:
//   - odds (O1, O2 in "0B41", "0B42", "0B30"): a record once its announcement time has
//     come; a final or confirmed record (data kind 3, 4, 5) also not before the race's
//     post time, when that is known;
//   - results ("0B12": RA, SE, HR of a day): a race's records once its post time plus
//     the settlement delay has passed; a race whose post time the file does not give,
//     once its day is over.
// Anything that cannot be read as such a record (a damaged or cut line, another record
// type) is kept as it is, so a reader meets it as it would without the clock.

// The moment of an odds announcement (MMDDhhmm) for a race of `raceKey` (yyyymmdd...):
// an announcement in a later month than the race (December for a January race) is of
// the year before. nullopt when either is not a date and time.
std::optional<LocalDateTime> announcementMoment(std::string_view raceKey,
                                                std::string_view monthDayTime);

// The post times of races, read from their RA records.
class PostTimes
{
public:
    // Adds the post time of every RA record in `bytes` (CR LF ends) that gives one.
    void addFrom(std::string_view bytes);
    // The post time of the race of the 16-digit `raceKey`, nullopt when not known.
    std::optional<LocalDateTime> find(std::string_view raceKey) const;
    bool empty() const { return m_posts.empty(); }

private:
    std::map<std::string, LocalDateTime, std::less<>> m_posts;
};

// The records of `bytes` (CR LF ends) that the rules of `spec` publish by `now`, in
// their order; `settleMinutes` is the results' settlement delay. A data spec without
// rules gives `bytes` whole.
std::string publishedRecords(std::string_view bytes, std::string_view spec,
                             const LocalDateTime& now, const PostTimes& posts, int settleMinutes);

} // namespace sorvantix
