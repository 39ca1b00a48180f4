#pragma once

#include <string>
#include <string_view>
#include <utility>

// Stateless conversions shared by every part of the program: clock arithmetic on
// "hhmm" texts, fixed-width number and race-time texts, bracket and pair numbering,
// and the display texts of JV-Data code values.
//
// Texts are UTF-8. Widths are display columns counted as CP932 bytes (full-width
// character 2, half-width 1); fixed-width texts include their filler spaces because
// grids and printouts align on them. Code values are compared exactly (no trimming)
// unless a function says otherwise. No function throws: an unknown code gives the
// blank text of the form, a non-numeric text counts as 0.

namespace sorvantix {

// "hhmm" shifted by `minutes` (may be negative): hours from characters 1-2, minutes
// from 3-4 (non-numeric parts count as 0). No wrap at midnight: "2350" + 20 gives
// "2410". A total below zero gives "0000". Blank input gives "".
std::string ShiftClock(std::string_view hhmm, int minutes);

// Integer value of a numeric text, right-aligned in a field as wide as the input;
// 0 or a non-number gives that many spaces ("05" -> " 5", "00" -> "  ").
std::string PadNumber(std::string_view digits);

// Four-character race time "mss t" (minutes, seconds, tenths) as "m.ss.t" ("1345" ->
// "1.34.5"), or "  ss.t" when the minute is "0" or blank ("0594" -> "  59.4").
// "0000", a blank time and anything that is not such a time give six spaces.
std::string FormatRaceTime(std::string_view code4);

// Bytes of `text` with `insert.size()` bytes at 1-based byte `position` replaced by
// `insert`, for patching fixed fields of CP932 records. A text too short for the
// field is first filled with blanks so the field lands at its position; a position
// below 1 returns the text unchanged.
std::string OverwriteAt(std::string_view text, std::string_view insert, int position);

// Bracket-quinella combination number of brackets a <= b (1..8): 1 for 1-1 ... 36 for
// 8-8; 0 for any other pair.
int wakurenPairNumber(int a, int b);

// Quinella pair number of runners a < b (1..18): 1 for 1-2 ... 153 for 17-18; 0 for
// any other pair.
int umarenPairNumber(int a, int b);

// Label of bracket combination 1..36 (" 1- 1" ... " 8- 8"); "" for other indexes.
std::string WakurenPairText(int index);

// Label of quinella pair 1..153 (" 1- 2" ... "17-18"); "" for other indexes.
std::string UmarenPairText(int index);

// The two runners (lower first) of quinella pair 1..153; {0, 0} for other indexes.
std::pair<int, int> umarenPairHorses(int index);

// Quinella pair number 1..153 of an exact label as UmarenPairText makes it; 0 for
// any other text, including bracket labels such as " 1- 1". Cheap enough for inner
// loops.
int UmarenPairNo(std::string_view label);

// Bracket 1..8 of runner `number` in a field of `runners` runners by the JRA rule
// (larger fields fill brackets from bracket 8 downwards with two or three runners).
// 0 when number is not within 1..runners or runners is above 18.
int BracketNo(int runners, int number);

// Venue code ("01".."10" JRA, "30".."61" local tracks, "A0".."M8" overseas) as text:
// form 0 name padded with half-width spaces to 6 columns ("東京  "), form 1 one
// character ("東"), form 2 two characters ("東京"), form 3 like form 0 but with
// three-character names of local and overseas venues, form 9 full name padded with
// full-width spaces to 20 columns. Unknown code: blank of the form (6 half-width
// spaces; one or two full-width spaces; ten full-width spaces). Unknown form: "".
std::string VenueName(std::string_view code, int form);

// VenueName form 2: the two-character name used in file names and odds texts.
std::string VenueShortName(std::string_view code);

// Six-column venue text of the race list: JRA venues as VenueName form 0, local
// tracks "地方  ", overseas "海外  ", anything else six spaces.
std::string VenueGroupName(std::string_view code);

// Race type code ("11".."24") in form 2, 4, 6, 8 or 9 (4, 8, 12, 16, 25 columns),
// padded with full-width spaces (and one half-width space for an odd remainder).
// Unknown code: blank of the form's width. Unknown form: "".
std::string RaceTypeText(std::string_view code, int form);

// Grade code ("A".."H"): form 1 five columns ("G1   "), form 2 bare ("G1", "" for
// "D", "E"), form 8 four columns ("G1  "), form 9 eighteen columns
// ("G1(平地競走)　　　"). Unknown code: "　　 " (form 1), "" (form 2), four spaces
// (form 8), nine full-width spaces (form 9). Unknown form: "".
std::string GradeText(std::string_view code, int form);

// Weekday: forms 1-3 take the JV-Data weekday code "0".."8" (unset, 土, 日, 祝, 月 ...
// 金) and give one, two or three characters ("日", "日曜", "日曜日"; blank full-width
// spaces for "0" and unknown codes). Form 4 takes a day of week "1" (Monday) .. "7"
// (Sunday) and gives "月曜日" .. "日曜日", "" otherwise. Unknown form: "".
std::string WeekdayText(std::string_view code, int form);
std::string WeekdayText(int code, int form);

// Race symbol code (three characters, e.g. "021", "N44") as its text padded with
// full-width spaces to 24 columns ("牝(指定)" ...); "000" and unknown codes give
// twelve full-width spaces.
std::string RaceSymbolText(std::string_view code);

// Weight rule code "1".."4" ("ﾊﾝﾃﾞ", "別定", "馬齢", "定量"); "" otherwise.
std::string WeightTypeText(std::string_view code);

// Race condition code read as an integer: 1..99 -> "%4d" of code x 100 + "万下"
// (" 500万下"), 100 "1億下", 701 "新馬", 702 "未出走", 703 "未勝利", 999 "オープン";
// "" otherwise.
std::string RaceConditionText(std::string_view code);

// Track code "10".."29", "51".."59" as text ("芝 右回り", "ﾀﾞｰﾄ 左回り", ...); "" otherwise.
std::string TrackText(std::string_view code);

// Finishing margin code, compared after trimming: form 1 the short text ("1/2",
// "ハナ", "10"), any other form the long text padded to 9 columns ("1/2馬身  ").
// Unknown or blank code: nine spaces in every form.
std::string MarginText(std::string_view code, int form);

// "①".."⑱" for 1..18, "－" otherwise.
std::string CircledNumber(int n);

} // namespace sorvantix
