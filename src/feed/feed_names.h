#pragma once

#include "feed/feed_rng.h"

#include <string>
#include <string_view>

namespace sorvantix::feed {

// Synthetic Japanese names for the generated race cards. Every text is UTF-8 and
// representable in CP932; none is the name of a real horse or person by intent.

// A horse name of 2 to 9 katakana (JRA's rule), made of one or two name words.
std::string horseName(FeedRng& rng);

// A jockey or trainer short name of at most 4 full-width characters: surname and the
// first character of the given name ("佐藤健").
std::string personShortName(FeedRng& rng);

// An owner name (a person or a racing company), at most 32 full-width characters.
std::string ownerName(FeedRng& rng);

// A silks description ("青，白星散らし，赤袖"), at most 30 full-width characters.
std::string silksText(FeedRng& rng);

// The names of a race: main title, its Latin form and the three short names.
struct RaceName
{
    std::string title;   // at most 30 full-width characters
    std::string latin;   // ASCII, at most 120 characters
    std::string short10; // at most 10 characters
    std::string short6;  // at most 6 characters
    std::string short3;  // at most 3 characters
};

// A special race of the conditions classes: "嵐山特別", "霜月ステークス", "薫風賞".
// `stakes` asks for a ステークス name (3勝クラス and open races).
RaceName specialRaceName(FeedRng& rng, std::string_view venue, int month, bool stakes);

// A graded race: "京都クリスタルカップ", "ゴールドスター記念".
RaceName gradedRaceName(FeedRng& rng, std::string_view venue);

// Number of UTF-8 characters.
int charCount(std::string_view utf8);

// The first n characters of a UTF-8 text.
std::string charPrefix(std::string_view utf8, int n);

} // namespace sorvantix::feed
