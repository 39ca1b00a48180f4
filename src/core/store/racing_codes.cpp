#include "core/store/racing_codes.h"

#include "core/text/cp932.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <array>

namespace sorvantix {
namespace {

constexpr const char* kFullSpace = "　";

// Pads with full-width spaces to `width` columns; an odd remainder takes one
// half-width space at the end.
std::string padFull(std::string_view text, int width)
{
    std::string out(text);
    int w = displayWidth(text);
    for (; width - w >= 2; w += 2)
        out += kFullSpace;
    if (width - w == 1)
        out += ' ';
    return out;
}

std::string fullSpaces(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += kFullSpace;
    return out;
}

int intOrZero(std::string_view text)
{
    return toIntDef(trimmed(text), 0);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// ---- venues ----

enum class VenueKind { Jra, Local, Overseas };

struct Venue
{
    std::string_view code;
    VenueKind kind;
    const char* full;
    const char* one;
    const char* two;
    const char* three;
};

// JV-Data code table 2001 up to "M8"; later codes are deliberately not listed.
constexpr Venue kVenues[] = {
    {"01", VenueKind::Jra, "札幌競馬場", "札", "札幌", "札幌"},
    {"02", VenueKind::Jra, "函館競馬場", "函", "函館", "函館"},
    {"03", VenueKind::Jra, "福島競馬場", "福", "福島", "福島"},
    {"04", VenueKind::Jra, "新潟競馬場", "新", "新潟", "新潟"},
    {"05", VenueKind::Jra, "東京競馬場", "東", "東京", "東京"},
    {"06", VenueKind::Jra, "中山競馬場", "中", "中山", "中山"},
    {"07", VenueKind::Jra, "中京競馬場", "名", "中京", "中京"},
    {"08", VenueKind::Jra, "京都競馬場", "京", "京都", "京都"},
    {"09", VenueKind::Jra, "阪神競馬場", "阪", "阪神", "阪神"},
    {"10", VenueKind::Jra, "小倉競馬場", "小", "小倉", "小倉"},
    {"30", VenueKind::Local, "門別競馬場", "門", "門別", "門別"},
    {"31", VenueKind::Local, "北見競馬場", "北", "北見", "北見"},
    {"32", VenueKind::Local, "岩見沢競馬場", "岩", "岩見", "岩見沢"},
    {"33", VenueKind::Local, "帯広競馬場", "帯", "帯広", "帯広"},
    {"34", VenueKind::Local, "旭川競馬場", "旭", "旭川", "旭川"},
    {"35", VenueKind::Local, "盛岡競馬場", "盛", "盛岡", "盛岡"},
    {"36", VenueKind::Local, "水沢競馬場", "水", "水沢", "水沢"},
    {"37", VenueKind::Local, "上山競馬場", "上", "上山", "上山"},
    {"38", VenueKind::Local, "三条競馬場", "三", "三条", "三条"},
    {"39", VenueKind::Local, "足利競馬場", "足", "足利", "足利"},
    {"40", VenueKind::Local, "宇都宮競馬場", "宇", "宇都", "宇都宮"},
    {"41", VenueKind::Local, "高崎競馬場", "高", "高崎", "高崎"},
    {"42", VenueKind::Local, "浦和競馬場", "浦", "浦和", "浦和"},
    {"43", VenueKind::Local, "船橋競馬場", "船", "船橋", "船橋"},
    {"44", VenueKind::Local, "大井競馬場", "大", "大井", "大井"},
    {"45", VenueKind::Local, "川崎競馬場", "川", "川崎", "川崎"},
    {"46", VenueKind::Local, "金沢競馬場", "金", "金沢", "金沢"},
    {"47", VenueKind::Local, "笠松競馬場", "笠", "笠松", "笠松"},
    {"48", VenueKind::Local, "名古屋競馬場", "古", "名古", "名古屋"},
    {"49", VenueKind::Local, "紀三井寺競馬場", "紀", "紀三", "紀三寺"},
    {"50", VenueKind::Local, "園田競馬場", "園", "園田", "園田"},
    {"51", VenueKind::Local, "姫路競馬場", "姫", "姫路", "姫路"},
    {"52", VenueKind::Local, "益田競馬場", "益", "益田", "益田"},
    {"53", VenueKind::Local, "福山競馬場", "福", "福山", "福山"},
    {"54", VenueKind::Local, "高知競馬場", "高", "高知", "高知"},
    {"55", VenueKind::Local, "佐賀競馬場", "佐", "佐賀", "佐賀"},
    {"56", VenueKind::Local, "荒尾競馬場", "荒", "荒尾", "荒尾"},
    {"57", VenueKind::Local, "中津競馬場", "中", "中津", "中津"},
    {"58", VenueKind::Local, "札幌競馬場(地方競馬)", "札", "札幌", "札幌"},
    {"59", VenueKind::Local, "函館競馬場(地方競馬)", "函", "函館", "函館"},
    {"60", VenueKind::Local, "新潟競馬場(地方競馬)", "新", "新潟", "新潟"},
    {"61", VenueKind::Local, "中京競馬場(地方競馬)", "名", "中京", "中京"},
    {"A0", VenueKind::Overseas, "その他の外国", "外", "他外", "他外国"},
    {"A2", VenueKind::Overseas, "日本", "日", "日本", "日本"},
    {"A4", VenueKind::Overseas, "アメリカ", "米", "アメ", "アメリ"},
    {"A6", VenueKind::Overseas, "イギリス", "英", "イギ", "イギリ"},
    {"A8", VenueKind::Overseas, "フランス", "仏", "フラ", "フラン"},
    {"B0", VenueKind::Overseas, "インド", "印", "イン", "インド"},
    {"B2", VenueKind::Overseas, "アイルランド", "愛", "アイ", "アイル"},
    {"B4", VenueKind::Overseas, "ニュージーランド", "新", "ニュ", "ニュー"},
    {"B6", VenueKind::Overseas, "オーストラリア", "豪", "オー", "オース"},
    {"B8", VenueKind::Overseas, "カナダ", "加", "カナ", "カナダ"},
    {"C0", VenueKind::Overseas, "イタリア", "伊", "イタ", "イタリ"},
    {"C2", VenueKind::Overseas, "ドイツ", "独", "ドイ", "ドイツ"},
    {"C5", VenueKind::Overseas, "オマーン", "オ", "オマ", "オマー"},
    {"C6", VenueKind::Overseas, "イラク", "イ", "イラ", "イラク"},
    {"C7", VenueKind::Overseas, "アラブ首長国連邦", "首", "ア首", "アラブ"},
    {"C8", VenueKind::Overseas, "シリア", "叙", "シリ", "シリア"},
    {"D0", VenueKind::Overseas, "スウェーデン", "瑞", "スウ", "スウェ"},
    {"D2", VenueKind::Overseas, "ハンガリー", "洪", "ハン", "ハンガ"},
    {"D4", VenueKind::Overseas, "ポルトガル", "葡", "ポル", "ポルト"},
    {"D6", VenueKind::Overseas, "ロシア", "露", "ロシ", "ロシア"},
    {"D8", VenueKind::Overseas, "ウルグアイ", "宇", "ウル", "ウルグ"},
    {"E0", VenueKind::Overseas, "ペルー", "秘", "ペル", "ペルー"},
    {"E2", VenueKind::Overseas, "アルゼンチン", "亜", "アル", "アルゼ"},
    {"E4", VenueKind::Overseas, "ブラジル", "伯", "ブラ", "ブラジ"},
    {"E6", VenueKind::Overseas, "ベルギー", "白", "ベル", "ベルギ"},
    {"E8", VenueKind::Overseas, "トルコ", "土", "トル", "トルコ"},
    {"F0", VenueKind::Overseas, "韓国", "韓", "韓国", "韓国"},
    {"F1", VenueKind::Overseas, "中国", "中", "中国", "中国"},
    {"F2", VenueKind::Overseas, "チリ", "智", "チリ", "チリ"},
    {"F8", VenueKind::Overseas, "パナマ", "巴", "パナ", "パナマ"},
    {"G0", VenueKind::Overseas, "香港", "香", "香港", "香港"},
    {"G2", VenueKind::Overseas, "スペイン", "西", "スペ", "スペイ"},
    {"H0", VenueKind::Overseas, "西ドイツ", "独", "西独", "西独"},
    {"H2", VenueKind::Overseas, "南アフリカ", "南", "南ア", "南アフ"},
    {"H4", VenueKind::Overseas, "スイス", "ス", "スイ", "スイス"},
    {"H6", VenueKind::Overseas, "モナコ", "モ", "モナ", "モナコ"},
    {"H8", VenueKind::Overseas, "フィリピン", "比", "フィ", "フィリ"},
    {"I0", VenueKind::Overseas, "プエルトリコ", "プ", "プエ", "プエル"},
    {"I2", VenueKind::Overseas, "コロンビア", "コ", "コロ", "コロン"},
    {"I4", VenueKind::Overseas, "チェコスロバキア", "チ", "チェ", "チェコ"},
    {"I6", VenueKind::Overseas, "チェコ", "チ", "チェ", "チェコ"},
    {"I8", VenueKind::Overseas, "スロバキア", "ス", "スロ", "スロバ"},
    {"J0", VenueKind::Overseas, "エクアドル", "エ", "エク", "エクア"},
    {"J2", VenueKind::Overseas, "ギリシャ", "ギ", "ギリ", "ギリシ"},
    {"J4", VenueKind::Overseas, "マレーシア", "馬", "マレ", "マレー"},
    {"J6", VenueKind::Overseas, "メキシコ", "墨", "メキ", "メキシ"},
    {"J8", VenueKind::Overseas, "モロッコ", "摩", "モロ", "モロッ"},
    {"K0", VenueKind::Overseas, "パキスタン", "基", "パキ", "パキス"},
    {"K2", VenueKind::Overseas, "ポーランド", "波", "ポー", "ポーラ"},
    {"K4", VenueKind::Overseas, "パラグアイ", "拉", "パラ", "パラグ"},
    {"K6", VenueKind::Overseas, "サウジアラビア", "サ", "サウ", "サウジ"},
    {"K8", VenueKind::Overseas, "キプロス", "キ", "キプ", "キプロ"},
    {"L0", VenueKind::Overseas, "タイ", "泰", "タイ", "タイ"},
    {"L2", VenueKind::Overseas, "ウクライナ", "烏", "ウク", "ウクラ"},
    {"L4", VenueKind::Overseas, "ベネズエラ", "ベ", "ベネ", "ベネゼ"},
    {"L6", VenueKind::Overseas, "ユーゴスラビア", "ユ", "ユー", "ユーゴ"},
    {"L8", VenueKind::Overseas, "デンマーク", "丁", "デン", "デンマ"},
    {"M0", VenueKind::Overseas, "シンガポール", "嘉", "シン", "シンガ"},
    {"M2", VenueKind::Overseas, "マカオ", "澳", "澳門", "マカオ"},
    {"M4", VenueKind::Overseas, "オーストリア", "墺", "墺", "墺国"},
    {"M6", VenueKind::Overseas, "ヨルダン", "約", "約", "ヨルダ"},
    {"M8", VenueKind::Overseas, "カタール", "華", "華", "カタル"},
};

const Venue* findVenue(std::string_view code)
{
    for (const Venue& v : kVenues)
        if (code == v.code)
            return &v;
    return nullptr;
}

// ---- race types ----

struct RaceType
{
    const char* code;
    std::array<const char*, 5> texts; // forms 2, 4, 6, 8, 9 without fillers
};

constexpr RaceType kRaceTypes[] = {
    {"11", {"２歳", "サラ２歳", "サラ系２歳", "サラ系２歳", "サラブレット系2歳"}},
    {"12", {"３歳", "サラ３歳", "サラ系３歳", "サラ系３歳", "サラブレット系3歳"}},
    {"13", {"３上", "サラ３上", "サラ系３歳上", "サラ系３歳以上", "サラブレット系3歳以上"}},
    {"14", {"４上", "サラ４上", "サラ系４歳上", "サラ系４歳以上", "サラブレット系4歳以上"}},
    {"18", {"３上", "障害３上", "障害３歳上", "サラ障害３歳以上", "サラブレット系障害3歳以上"}},
    {"19", {"４上", "障害４上", "障害４歳上", "サラ障害４歳以上", "サラブレット系障害4歳以上"}},
    {"21", {"２歳", "アラ２歳", "アラ系２歳", "アラブ系２歳", "アラブ系2歳"}},
    {"22", {"３歳", "アラ３歳", "アラ系３歳", "アラブ系３歳", "アラブ系3歳"}},
    {"23", {"３上", "アラ３上", "アラ系３歳上", "アラブ系３歳以上", "アラブ系3歳以上"}},
    {"24", {"４上", "アラ４上", "アラ系４歳上", "アラブ系４歳以上", "アラブ系4歳以上"}},
};

// ---- grades ----

struct Grade
{
    const char* code;
    const char* form1;
    const char* form2;
    const char* form8;
    const char* form9;
};

constexpr Grade kGrades[] = {
    {"A", "G1   ", "G1", "G1  ", "G1(平地競走)　　　"},
    {"B", "G2   ", "G2", "G2  ", "G2(平地競走)　　　"},
    {"C", "G3   ", "G3", "G3  ", "G3(平地競走)　　　"},
    {"D", "重賞 ", "", "重  ", "ｸﾞﾚｰﾄﾞのない重賞　"},
    {"E", "特別 ", "", "特  ", "重賞以外の特別競走"},
    {"F", "JG1  ", "JG1", "JG1 ", "JG1(障害競走)　　 "},
    {"G", "JG2  ", "JG2", "JG2 ", "JG2(障害競走)　　 "},
    {"H", "JG3  ", "JG3", "JG3 ", "JG3(障害競走)　　 "},
};

// ---- weekdays ----

// JV-Data weekday codes 0..8 in forms 1, 2, 3 (index 0 = unset).
constexpr std::array<std::array<const char*, 3>, 9> kWeekdays = {{
    {"　", "　　", "　　　"},
    {"土", "土曜", "土曜日"},
    {"日", "日曜", "日曜日"},
    {"祝", "祝日", "祝日　"},
    {"月", "月曜", "月曜日"},
    {"火", "火曜", "火曜日"},
    {"水", "水曜", "水曜日"},
    {"木", "木曜", "木曜日"},
    {"金", "金曜", "金曜日"},
}};

constexpr std::array<const char*, 7> kDaysOfWeek = {"月曜日", "火曜日", "水曜日", "木曜日",
                                                    "金曜日", "土曜日", "日曜日"};

// ---- race symbols ----

// Texts of the three characters of a race symbol code; "0" adds nothing.
struct SymbolPart
{
    char key;
    const char* text;
};

constexpr SymbolPart kSymbolOrigin[] = {
    {'0', ""},
    {'A', "(混合)"},
    {'B', "(父)"},
    {'C', "(市)"},
    {'D', "(抽)"},
    {'E', "[抽]"},
    {'F', "(市)(抽)"},
    {'G', "(抽)関西配布馬"},
    {'H', "(抽)関東配布馬"},
    {'I', "[抽]関西配布馬"},
    {'J', "[抽]関東配布馬"},
    {'K', "(市)(抽)関西配布馬"},
    {'L', "(市)(抽)関東配布馬"},
    {'M', "九州産馬"},
    {'N', "(国際)"},
};
constexpr SymbolPart kSymbolSex[] = {
    {'0', ""}, {'1', "牡"}, {'2', "牝"}, {'3', "牡・ｾﾝ"}, {'4', "牡・牝"},
};
constexpr SymbolPart kSymbolRule[] = {
    {'0', ""}, {'1', "(指定)"}, {'2', "若手騎手"}, {'3', "[指定]"}, {'4', "(特指)"},
};

constexpr const char* kSymbolCodes[] = {
    "001", "002", "003", "004", "020", "021", "023", "024", "030", "031", "033", "034", "040",
    "041", "043", "044", "A00", "A01", "A02", "A03", "A04", "A10", "A11", "A13", "A14", "A20",
    "A21", "A23", "A24", "A30", "A31", "A33", "A34", "A40", "A41", "B00", "B01", "B03", "B04",
    "C00", "C01", "C03", "C04", "D00", "D01", "D03", "E00", "E01", "E03", "F00", "F01", "F03",
    "F04", "G00", "G01", "G03", "H00", "H01", "I00", "I01", "I03", "J00", "J01", "K00", "K01",
    "K03", "L00", "L01", "L03", "M00", "M01", "M03", "M04", "N00", "N01", "N03", "N04", "N20",
    "N21", "N23", "N24", "N30", "N31", "N40", "N41", "N44",
};

template <size_t N> const char* partText(const SymbolPart (&parts)[N], char key)
{
    for (const SymbolPart& p : parts)
        if (p.key == key)
            return p.text;
    return "";
}

// ---- small tables ----

struct CodeText
{
    const char* code;
    const char* text;
};

constexpr CodeText kWeightTypes[] = {
    {"1", "ﾊﾝﾃﾞ"},
    {"2", "別定"},
    {"3", "馬齢"},
    {"4", "定量"},
};

constexpr CodeText kTracks[] = {
    {"10", "芝 直線"},
    {"11", "芝 左回り"},
    {"12", "芝 左回り 外回り"},
    {"13", "芝 左回り 内→外回り"},
    {"14", "芝 左回り 外→内回り"},
    {"15", "芝 左回り 内２周"},
    {"16", "芝 左回り 外２周"},
    {"17", "芝 右回り"},
    {"18", "芝 右回り 外回り"},
    {"19", "芝 右回り 内→外回り"},
    {"20", "芝 右回り 外→内回り"},
    {"21", "芝 右回り 内２周"},
    {"22", "芝 右回り 外２周"},
    {"23", "ﾀﾞｰﾄ 左回り"},
    {"24", "ﾀﾞｰﾄ 右回り"},
    {"25", "ﾀﾞｰﾄ 左回り 内回り"},
    {"26", "ﾀﾞｰﾄ 右回り 外回り"},
    {"27", "ｻﾝﾄﾞ 左回り"},
    {"28", "ｻﾝﾄﾞ 右回り"},
    {"29", "ﾀﾞｰﾄ 直線"},
    {"51", "障害 芝　襷"},
    {"52", "障害 芝→ﾀﾞｰﾄ"},
    {"53", "障害 芝　左"},
    {"54", "障害 芝"},
    {"55", "障害 芝 外回り"},
    {"56", "障害 芝 外→内回り"},
    {"57", "障害 芝 内→外回り"},
    {"58", "障害 内２周"},
    {"59", "障害 外２周"},
};

template <size_t N> const char* findText(const CodeText (&table)[N], std::string_view code)
{
    for (const CodeText& row : table)
        if (code == row.code)
            return row.text;
    return nullptr;
}

struct Margin
{
    const char* code;
    const char* text;
    bool lengths; // the long form appends 馬身
};

constexpr Margin kMargins[] = {
    {"12", "1/2", true},    {"34", "3/4", true},    {"1", "1", true},     {"112", "1_1/2", true},
    {"114", "1_1/4", true}, {"134", "1_3/4", true}, {"2", "2", true},     {"212", "2_1/2", true},
    {"3", "3", true},       {"312", "3_1/2", true}, {"4", "4", true},     {"5", "5", true},
    {"6", "6", true},       {"7", "7", true},       {"8", "8", true},     {"9", "9", true},
    {"Z", "10", true},      {"A", "ｱﾀﾏ", false},    {"D", "同着", false}, {"H", "ハナ", false},
    {"K", "クビ", false},   {"T", "大差", false},
};

constexpr std::array<const char*, 18> kCircled = {"①", "②", "③", "④", "⑤", "⑥", "⑦", "⑧", "⑨",
                                                  "⑩", "⑪", "⑫", "⑬", "⑭", "⑮", "⑯", "⑰", "⑱"};

// Number of a right-aligned two-column field as UmarenPairText writes it (" 7", "12");
// 0 for any other spelling.
int twoColumnNumber(char tens, char ones)
{
    if (!isDigit(ones))
        return 0;
    if (tens == ' ')
        return ones - '0';
    if (tens < '1' || tens > '9')
        return 0;
    return (tens - '0') * 10 + (ones - '0');
}

} // namespace

std::string ShiftClock(std::string_view hhmm, int minutes)
{
    if (trimmed(hhmm).empty())
        return {};
    int total = intOrZero(field(hhmm, 1, 2)) * 60 + intOrZero(field(hhmm, 3, 2)) + minutes;
    // A time before midnight of the race day has no "hhmm"; clamp so that callers
    // comparing times as text still see the earliest time.
    if (total < 0)
        total = 0;
    return twoDigits(total / 60) + twoDigits(total % 60);
}

std::string PadNumber(std::string_view digits)
{
    int width = displayWidth(digits);
    int value = toIntDef(digits, 0);
    if (value == 0)
        return std::string(static_cast<size_t>(width), ' ');
    return format("%*d", width, value);
}

std::string FormatRaceTime(std::string_view code4)
{
    const std::string none(6, ' ');
    if (code4.size() != 4 || code4 == "0000")
        return none;
    bool minuteOk = code4[0] == ' ' || isDigit(code4[0]);
    if (!minuteOk || !isDigit(code4[1]) || !isDigit(code4[2]) || !isDigit(code4[3]))
        return none;
    std::string seconds = std::string(code4.substr(1, 2)) + "." + code4[3];
    if (code4[0] != '0' && code4[0] != ' ')
        return std::string(1, code4[0]) + "." + seconds;
    return "  " + seconds;
}

std::string OverwriteAt(std::string_view text, std::string_view insert, int position)
{
    std::string out(text);
    if (position < 1)
        return out;
    setField(out, position, insert);
    return out;
}

int wakurenPairNumber(int a, int b)
{
    if (a < 1 || b > 8 || a > b)
        return 0;
    return (a - 1) * (18 - a) / 2 + (b - a) + 1;
}

int umarenPairNumber(int a, int b)
{
    if (a < 1 || b > 18 || a >= b)
        return 0;
    return (a - 1) * (36 - a) / 2 + (b - a);
}

std::string WakurenPairText(int index)
{
    if (index < 1 || index > 36)
        return {};
    for (int a = 1; a <= 8; ++a)
        if (index <= wakurenPairNumber(a, 8))
            return format("%2d-%2d", a, a + index - wakurenPairNumber(a, a));
    return {};
}

std::pair<int, int> umarenPairHorses(int index)
{
    if (index < 1 || index > 153)
        return {0, 0};
    for (int a = 1; a <= 17; ++a)
        if (index <= umarenPairNumber(a, 18))
            return {a, a + 1 + index - umarenPairNumber(a, a + 1)};
    return {0, 0};
}

std::string UmarenPairText(int index)
{
    const auto [a, b] = umarenPairHorses(index);
    if (a == 0)
        return {};
    return padded(a, 2) + "-" + padded(b, 2);
}

int UmarenPairNo(std::string_view label)
{
    if (label.size() != 5 || label[2] != '-')
        return 0;
    return umarenPairNumber(twoColumnNumber(label[0], label[1]),
                            twoColumnNumber(label[3], label[4]));
}

int BracketNo(int runners, int number)
{
    if (runners > 18 || number < 1 || number > runners)
        return 0;
    if (runners <= 8)
        return number;
    if (runners <= 16) {
        // The last runners - 8 brackets hold two runners, the ones before one each.
        int b = (runners - number) / 2;
        return b < runners - 8 ? 8 - b : number;
    }
    if (runners == 17)
        return number >= 15 ? 8 : (number + 1) / 2;
    if (number >= 16)
        return 8;
    if (number >= 13)
        return 7;
    return (number + 1) / 2;
}

std::string VenueName(std::string_view code, int form)
{
    const Venue* v = findVenue(code);
    switch (form) {
    case 0:
        return padRight(v ? v->two : "", 6);
    case 1:
        return v ? v->one : kFullSpace;
    case 2:
        return v ? v->two : fullSpaces(2);
    case 3:
        return padRight(v ? v->three : "", 6);
    case 9:
        return padFull(v ? v->full : "", 20);
    default:
        return {};
    }
}

std::string VenueShortName(std::string_view code)
{
    return VenueName(code, 2);
}

std::string VenueGroupName(std::string_view code)
{
    const Venue* v = findVenue(code);
    if (!v)
        return std::string(6, ' ');
    switch (v->kind) {
    case VenueKind::Jra:
        return padRight(v->two, 6);
    case VenueKind::Local:
        return "地方  ";
    case VenueKind::Overseas:
        return "海外  ";
    }
    return std::string(6, ' ');
}

std::string RaceTypeText(std::string_view code, int form)
{
    static constexpr std::array<int, 5> forms = {2, 4, 6, 8, 9};
    static constexpr std::array<int, 5> widths = {4, 8, 12, 16, 25};
    for (size_t f = 0; f < forms.size(); ++f) {
        if (forms[f] != form)
            continue;
        for (const RaceType& t : kRaceTypes)
            if (code == t.code)
                return padFull(t.texts[f], widths[f]);
        return padFull("", widths[f]);
    }
    return {};
}

std::string GradeText(std::string_view code, int form)
{
    const Grade* g = nullptr;
    for (const Grade& row : kGrades)
        if (code == row.code)
            g = &row;
    switch (form) {
    case 1:
        return g ? g->form1 : "　　 ";
    case 2:
        return g ? g->form2 : "";
    case 8:
        return g ? g->form8 : "    ";
    case 9:
        return g ? g->form9 : fullSpaces(9);
    default:
        return {};
    }
}

std::string WeekdayText(std::string_view code, int form)
{
    int day = (code.size() == 1 && isDigit(code[0])) ? code[0] - '0' : -1;
    if (form >= 1 && form <= 3)
        return kWeekdays[static_cast<size_t>(day >= 0 && day <= 8 ? day : 0)]
                        [static_cast<size_t>(form - 1)];
    if (form == 4 && day >= 1 && day <= 7)
        return kDaysOfWeek[static_cast<size_t>(day - 1)];
    return {};
}

std::string WeekdayText(int code, int form)
{
    return WeekdayText(code >= 0 && code <= 9 ? std::string(1, static_cast<char>('0' + code))
                                              : std::string(),
                       form);
}

std::string RaceSymbolText(std::string_view code)
{
    for (const char* valid : kSymbolCodes) {
        if (code == valid) {
            std::string text = std::string(partText(kSymbolOrigin, code[0])) +
                               partText(kSymbolSex, code[1]) + partText(kSymbolRule, code[2]);
            return padFull(text, 24);
        }
    }
    return fullSpaces(12);
}

std::string WeightTypeText(std::string_view code)
{
    const char* text = findText(kWeightTypes, code);
    return text ? text : "";
}

std::string RaceConditionText(std::string_view code)
{
    int value = toIntDef(code, 0);
    if (value >= 1 && value <= 99)
        return format("%4d", value * 100) + "万下";
    switch (value) {
    case 100:
        return "1億下";
    case 701:
        return "新馬";
    case 702:
        return "未出走";
    case 703:
        return "未勝利";
    case 999:
        return "オープン";
    default:
        return {};
    }
}

std::string TrackText(std::string_view code)
{
    const char* text = findText(kTracks, code);
    return text ? text : "";
}

std::string MarginText(std::string_view code, int form)
{
    std::string_view key = trimmed(code);
    for (const Margin& m : kMargins) {
        if (key != m.code)
            continue;
        if (form == 1)
            return m.text;
        return padRight(std::string(m.text) + (m.lengths ? "馬身" : ""), 9);
    }
    return std::string(9, ' ');
}

std::string CircledNumber(int n)
{
    if (n < 1 || n > 18)
        return "－";
    return kCircled[static_cast<size_t>(n - 1)];
}

} // namespace sorvantix
