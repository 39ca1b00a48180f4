#include "feed/feed_names.h"

#include <array>
#include <vector>

namespace sorvantix::feed {
namespace {

struct Word
{
    const char* kana;
    const char* latin;
};

constexpr Word kNameWords[] = {
    {"アーク", "Ark"},         {"アース", "Earth"},       {"アクア", "Aqua"},
    {"アスター", "Aster"},     {"アポロ", "Apollo"},      {"アルマ", "Alma"},
    {"ウインド", "Wind"},      {"エース", "Ace"},         {"オーロラ", "Aurora"},
    {"カイザー", "Kaiser"},    {"カノン", "Canon"},       {"キング", "King"},
    {"クイーン", "Queen"},     {"クラウン", "Crown"},     {"グラン", "Grand"},
    {"クリスタル", "Crystal"}, {"ゴールド", "Gold"},      {"サニー", "Sunny"},
    {"サンダー", "Thunder"},   {"シャイン", "Shine"},     {"シルバー", "Silver"},
    {"スカイ", "Sky"},         {"スター", "Star"},        {"ステラ", "Stella"},
    {"ストーム", "Storm"},     {"セレス", "Ceres"},       {"ソル", "Sol"},
    {"ダイヤ", "Diamond"},     {"タイタン", "Titan"},     {"ドリーム", "Dream"},
    {"ナイト", "Knight"},      {"ノヴァ", "Nova"},        {"ノーブル", "Noble"},
    {"ハート", "Heart"},       {"ハヤテ", "Hayate"},      {"ビクトリー", "Victory"},
    {"ヒカリ", "Hikari"},      {"ファイン", "Fine"},      {"フェアリー", "Fairy"},
    {"フォルテ", "Forte"},     {"ブライト", "Bright"},    {"ブルー", "Blue"},
    {"プリンス", "Prince"},    {"フレア", "Flare"},       {"ホープ", "Hope"},
    {"マーチ", "March"},       {"ミスト", "Mist"},        {"ミラージュ", "Mirage"},
    {"ムーン", "Moon"},        {"メテオ", "Meteor"},      {"ユメ", "Yume"},
    {"ライト", "Light"},       {"ラッキー", "Lucky"},     {"ルナ", "Luna"},
    {"レイン", "Rain"},        {"レッド", "Red"},         {"ローズ", "Rose"},
    {"ロード", "Road"},        {"ワールド", "World"},     {"ソレイユ", "Soleil"},
    {"ミライ", "Mirai"},       {"カゼ", "Kaze"},          {"ソラ", "Sora"},
    {"サクラ", "Sakura"},      {"ツバサ", "Tsubasa"},     {"ヒメ", "Hime"},
    {"マイ", "Mai"},           {"リュウ", "Ryu"},         {"テイオー", "Teio"},
    {"ボルト", "Bolt"},        {"ジェット", "Jet"},       {"スピード", "Speed"},
    {"ダッシュ", "Dash"},      {"ラン", "Run"},           {"ウイング", "Wing"},
    {"ブレイブ", "Brave"},     {"マジック", "Magic"},     {"ミラクル", "Miracle"},
    {"レガシー", "Legacy"},    {"ロイヤル", "Royal"},     {"エンペラー", "Emperor"},
    {"ジュエル", "Jewel"},     {"パール", "Pearl"},       {"ルビー", "Ruby"},
    {"オパール", "Opal"},      {"エメラルド", "Emerald"}, {"ヴェール", "Voile"},
};

constexpr const char* kSurnames[] = {
    "佐藤", "鈴木", "高橋",   "田中",   "伊藤",   "渡辺", "山本", "中村",   "小林", "加藤", "吉田",
    "山田", "松本", "井上",   "木村",   "林",     "清水", "山崎", "森",     "池田", "橋本", "阿部",
    "石川", "山下", "中島",   "石井",   "小川",   "前田", "岡田", "長谷川", "藤田", "後藤", "近藤",
    "村上", "遠藤", "青木",   "坂本",   "斉藤",   "福田", "太田", "西村",   "藤井", "金子", "岡本",
    "藤原", "中野", "三浦",   "原田",   "松田",   "竹内", "和田", "石田",   "上田", "森田", "原",
    "柴田", "酒井", "工藤",   "横山",   "宮崎",   "宮本", "内田", "高木",   "安藤", "谷口", "大野",
    "丸山", "今井", "河野",   "藤本",   "村田",   "武田", "上野", "杉山",   "増田", "小山", "大塚",
    "平野", "菅原", "久保",   "松井",   "千葉",   "岩崎", "桜井", "木下",   "野口", "松尾", "菊地",
    "野村", "新井", "佐々木", "大久保", "小野寺",
};

constexpr const char* kGivenHeads[] = {
    "健", "翔", "大", "拓", "誠", "優", "勇", "和", "隆", "雄", "浩", "剛", "亮", "達",
    "宏", "直", "正", "秀", "智", "裕", "陽", "悠", "蓮", "颯", "匠", "駿", "航", "樹",
    "圭", "晃", "康", "光", "信", "功", "俊", "将", "真", "希", "彩", "美",
};

constexpr const char* kGivenNames[] = {
    "健一", "翔太", "大輔", "拓也", "誠",   "優子", "勇気", "和也", "隆",   "雄一",
    "浩二", "剛",   "亮介", "達也", "宏",   "直樹", "正人", "秀樹", "智子", "裕子",
    "陽介", "悠斗", "匠",   "駿",   "航平", "圭介", "晃",   "康弘", "光男", "信二",
};

constexpr const char* kColours[] = {"黒", "白", "赤",   "青", "黄", "緑",
                                    "紫", "桃", "水色", "橙", "茶", "灰"};

constexpr const char* kPatterns[] = {"一本輪", "二本輪",     "縦縞",        "格子縞", "星散らし",
                                     "襷",     "山形一本輪", "菱山形",      "元禄",   "帯",
                                     "鋸歯形", "蛇目",       "菱山形一本輪"};

constexpr const char* kSleeves[] = {"袖", "袖縦縞", "袖一本輪", "袖二本輪", "袖菱山形"};

struct Place
{
    const char* kanji;
    const char* latin;
};

// Place names of each venue's region (index = venue code - 1).
const std::array<std::vector<Place>, 10> kPlaces = {{
    {{"藻岩山", "Moiwayama"},
     {"定山渓", "Jozankei"},
     {"石狩", "Ishikari"},
     {"支笏湖", "Shikotsuko"},
     {"羊ヶ丘", "Hitsujigaoka"}},
    {{"大沼", "Onuma"},
     {"駒ケ岳", "Komagatake"},
     {"湯の川", "Yunokawa"},
     {"松前", "Matsumae"},
     {"恵山", "Esan"}},
    {{"磐梯山", "Bandaisan"},
     {"飯盛山", "Iimoriyama"},
     {"安達太良", "Adatara"},
     {"猪苗代", "Inawashiro"},
     {"阿武隈", "Abukuma"}},
    {{"弥彦", "Yahiko"},
     {"佐渡", "Sado"},
     {"信濃川", "Shinanogawa"},
     {"妙高", "Myoko"},
     {"瀬波", "Senami"}},
    {{"府中", "Fuchu"},
     {"多摩川", "Tamagawa"},
     {"秩父", "Chichibu"},
     {"奥多摩", "Okutama"},
     {"高尾", "Takao"},
     {"武蔵野", "Musashino"}},
    {{"房総", "Boso"},
     {"九十九里", "Kujukuri"},
     {"習志野", "Narashino"},
     {"印旛沼", "Inbanuma"},
     {"鹿野山", "Kanozan"}},
    {{"熱田", "Atsuta"},
     {"知多", "Chita"},
     {"三河", "Mikawa"},
     {"犬山", "Inuyama"},
     {"伊良湖", "Irago"}},
    {{"嵐山", "Arashiyama"},
     {"比叡", "Hiei"},
     {"鞍馬", "Kurama"},
     {"宇治川", "Ujigawa"},
     {"北山", "Kitayama"},
     {"鴨川", "Kamogawa"}},
    {{"六甲", "Rokko"},
     {"甲山", "Kabutoyama"},
     {"武庫川", "Mukogawa"},
     {"須磨", "Suma"},
     {"明石", "Akashi"}},
    {{"玄海", "Genkai"},
     {"門司", "Moji"},
     {"筑後川", "Chikugogawa"},
     {"英彦山", "Hikosan"},
     {"由布", "Yufu"}},
}};

// Seasonal words of each month (index = month - 1).
const std::array<std::vector<Place>, 12> kSeasonWords = {{
    {{"初春", "Shoshun"}, {"寒梅", "Kanbai"}},
    {{"如月", "Kisaragi"}, {"早春", "Soshun"}},
    {{"弥生", "Yayoi"}, {"春光", "Shunko"}},
    {{"卯月", "Uzuki"}, {"春嵐", "Shunran"}},
    {{"薫風", "Kunpu"}, {"新緑", "Shinryoku"}},
    {{"水無月", "Minazuki"}, {"紫陽花", "Ajisai"}},
    {{"文月", "Fumizuki"}, {"盛夏", "Seika"}},
    {{"葉月", "Hazuki"}, {"晩夏", "Banka"}},
    {{"長月", "Nagatsuki"}, {"初秋", "Shoshu"}},
    {{"神無月", "Kannazuki"}, {"紅葉", "Momiji"}},
    {{"霜月", "Shimotsuki"}, {"晩秋", "Banshu"}},
    {{"師走", "Shiwasu"}, {"冬至", "Toji"}},
}};

constexpr Place kVenueCities[] = {
    {"札幌", "Sapporo"}, {"函館", "Hakodate"}, {"福島", "Fukushima"}, {"新潟", "Niigata"},
    {"東京", "Tokyo"},   {"中山", "Nakayama"}, {"中京", "Chukyo"},    {"京都", "Kyoto"},
    {"阪神", "Hanshin"}, {"小倉", "Kokura"},
};

struct Suffix
{
    const char* kana;
    const char* latin;
    const char* abbrev; // one character for the short names
};

constexpr Suffix kStakes = {"ステークス", "Stakes", "Ｓ"};
constexpr Suffix kSpecial = {"特別", "Tokubetsu", "特"};
constexpr Suffix kPrize = {"賞", "Sho", "賞"};
constexpr Suffix kGradedSuffixes[] = {kStakes,
                                      {"カップ", "Cup", "Ｃ"},
                                      {"記念", "Kinen", "記"},
                                      kPrize,
                                      {"トロフィー", "Trophy", "Ｔ"}};

template <typename T, size_t N> const T& pickFrom(FeedRng& rng, const T (&items)[N])
{
    return items[rng.below(static_cast<int>(N))];
}

template <typename T> const T& pickFrom(FeedRng& rng, const std::vector<T>& items)
{
    return items[static_cast<size_t>(rng.below(static_cast<int>(items.size())))];
}

int venueIndex(std::string_view venue)
{
    const int v = (venue.size() == 2 && venue[0] >= '0' && venue[0] <= '9' && venue[1] >= '0' &&
                   venue[1] <= '9')
                      ? (venue[0] - '0') * 10 + (venue[1] - '0')
                      : 5;
    return (v >= 1 && v <= 10 ? v : 5) - 1;
}

RaceName makeName(const std::string& head, const std::string& headLatin, const Suffix& suffix)
{
    RaceName n;
    n.title = head + suffix.kana;
    n.latin = headLatin + " " + suffix.latin;
    n.short10 = charCount(n.title) <= 10 ? n.title : charPrefix(head, 9) + suffix.abbrev;
    n.short6 = charCount(n.title) <= 6 ? n.title : charPrefix(head, 5) + suffix.abbrev;
    n.short3 = charCount(n.title) <= 3 ? n.title : charPrefix(head, 2) + suffix.abbrev;
    return n;
}

} // namespace

int charCount(std::string_view utf8)
{
    int n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string charPrefix(std::string_view utf8, int n)
{
    size_t i = 0;
    int chars = 0;
    while (i < utf8.size()) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (chars == n)
                break;
            ++chars;
        }
        ++i;
    }
    return std::string(utf8.substr(0, i));
}

std::string horseName(FeedRng& rng)
{
    for (;;) {
        std::string name = pickFrom(rng, kNameWords).kana;
        if (rng.chance(0.75))
            name += pickFrom(rng, kNameWords).kana;
        const int n = charCount(name);
        if (n >= 2 && n <= 9)
            return name;
    }
}

std::string personShortName(FeedRng& rng)
{
    std::string surname = pickFrom(rng, kSurnames);
    return surname + pickFrom(rng, kGivenHeads);
}

std::string ownerName(FeedRng& rng)
{
    switch (rng.below(4)) {
    case 0:
        return std::string("株式会社") + pickFrom(rng, kNameWords).kana + "レーシング";
    case 1:
        return std::string("有限会社") + pickFrom(rng, kSurnames) + "牧場";
    default:
        return std::string(pickFrom(rng, kSurnames)) + pickFrom(rng, kGivenNames);
    }
}

std::string silksText(FeedRng& rng)
{
    const std::string base = pickFrom(rng, kColours);
    std::string second;
    do
        second = pickFrom(rng, kColours);
    while (second == base);
    std::string text = base + "，" + second + pickFrom(rng, kPatterns);
    if (rng.chance(0.6))
        text += std::string("，") + pickFrom(rng, kColours) + pickFrom(rng, kSleeves);
    return text;
}

RaceName specialRaceName(FeedRng& rng, std::string_view venue, int month, bool stakes)
{
    const auto& places = kPlaces[static_cast<size_t>(venueIndex(venue))];
    const auto& seasons =
        kSeasonWords[static_cast<size_t>((month >= 1 && month <= 12 ? month : 1) - 1)];
    if (stakes) {
        const Place& p = rng.chance(0.5) ? pickFrom(rng, places) : pickFrom(rng, seasons);
        return makeName(p.kanji, p.latin, kStakes);
    }
    if (rng.chance(0.8)) {
        const Place& p = pickFrom(rng, places);
        return makeName(p.kanji, p.latin, kSpecial);
    }
    const Place& p = pickFrom(rng, seasons);
    return makeName(p.kanji, p.latin, kPrize);
}

RaceName gradedRaceName(FeedRng& rng, std::string_view venue)
{
    const Suffix& suffix = pickFrom(rng, kGradedSuffixes);
    const Word& word = pickFrom(rng, kNameWords);
    if (rng.chance(0.5)) {
        const Place& city = kVenueCities[venueIndex(venue)];
        return makeName(std::string(city.kanji) + word.kana,
                        std::string(city.latin) + " " + word.latin, suffix);
    }
    const Word& second = pickFrom(rng, kNameWords);
    return makeName(std::string(word.kana) + second.kana,
                    std::string(word.latin) + " " + second.latin, suffix);
}

} // namespace sorvantix::feed
