#include "core/store/record_builder.h"
#include "core/text/error.h"

#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace sorvantix {
namespace {

constexpr RecordType kAllTypes[] = {RecordType::RA, RecordType::SE, RecordType::HR, RecordType::O1,
                                    RecordType::O2};

class RecordLayoutTest : public testing::TestWithParam<RecordType>
{
};

TEST_P(RecordLayoutTest, NewRecordHasItsLengthTypeAndCrLf)
{
    RecordBuilder b(GetParam());
    const std::string& r = b.bytes();
    ASSERT_EQ(static_cast<int>(r.size()), recordLength(GetParam()));
    EXPECT_EQ(r.substr(0, 2), recordTypeName(GetParam()));
    EXPECT_EQ(r.substr(r.size() - 2), "\r\n");
    EXPECT_EQ(r.find('\r'), r.size() - 2);
    EXPECT_EQ(r.find('\n'), r.size() - 1);
}

// Every byte except CR LF belongs to exactly one field entry: catches overlapping
// entries, gaps and typos in positions, widths and strides.
TEST_P(RecordLayoutTest, FieldTableCoversEveryByteOnce)
{
    const int length = recordLength(GetParam());
    std::vector<std::string> owner(static_cast<size_t>(length + 1));
    std::map<std::string_view, int> names;
    for (const RecordField& f : recordFields(GetParam())) {
        EXPECT_EQ(++names[f.name], 1) << "duplicate name " << f.name;
        ASSERT_GE(f.count, 1) << f.name;
        if (f.count > 1) {
            EXPECT_GE(f.stride, f.len) << f.name;
        }
        for (int i = 0; i < f.count; ++i) {
            for (int p = f.pos + i * f.stride; p < f.pos + i * f.stride + f.len; ++p) {
                ASSERT_GE(p, 1) << f.name;
                ASSERT_LE(p, length - 2) << f.name << " entry " << i + 1 << " runs into CR LF";
                EXPECT_TRUE(owner[static_cast<size_t>(p)].empty())
                    << "byte " << p << " in " << owner[static_cast<size_t>(p)] << " and " << f.name;
                owner[static_cast<size_t>(p)] = std::string(f.name);
            }
        }
    }
    for (int p = 1; p <= length - 2; ++p)
        EXPECT_FALSE(owner[static_cast<size_t>(p)].empty()) << "byte " << p << " has no field";
}

TEST_P(RecordLayoutTest, FieldsStartAtTheirFillValues)
{
    RecordBuilder b(GetParam());
    for (const RecordField& f : recordFields(GetParam())) {
        if (f.name == "record_type")
            continue;
        for (int i = 1; i <= f.count; ++i) {
            std::string v = b.get(f.name, i);
            ASSERT_EQ(static_cast<int>(v.size()), f.len);
            switch (f.kind) {
            case FieldKind::Digits:
                EXPECT_EQ(v, std::string(v.size(), '0')) << f.name;
                break;
            case FieldKind::Code:
            case FieldKind::Latin:
                EXPECT_EQ(v, std::string(v.size(), ' ')) << f.name;
                break;
            case FieldKind::Text:
                for (size_t k = 0; k + 1 < v.size(); k += 2)
                    EXPECT_EQ(v.substr(k, 2), "\x81\x40") << f.name;
                break;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, RecordLayoutTest, testing::ValuesIn(kAllTypes),
                         [](const auto& info) { return std::string(recordTypeName(info.param)); });

struct Placement
{
    RecordType type;
    const char* name;
    int index;
    long long value;
    int pos;
    const char* expected;
};

class RecordPlacementTest : public testing::TestWithParam<Placement>
{
};

TEST_P(RecordPlacementTest, NumberLandsAtItsPosition)
{
    const Placement& p = GetParam();
    RecordBuilder b(p.type);
    const std::string before = b.bytes();
    b.set(p.name, p.index, p.value);
    std::string expected = p.expected;
    EXPECT_EQ(b.bytes().substr(static_cast<size_t>(p.pos - 1), expected.size()), expected);
    // Nothing else moved.
    std::string rest = b.bytes();
    rest.replace(static_cast<size_t>(p.pos - 1), expected.size(),
                 before.substr(static_cast<size_t>(p.pos - 1), expected.size()));
    EXPECT_EQ(rest, before);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, RecordPlacementTest,
    testing::Values(Placement{RecordType::RA, "creation_date", 1, 20040529, 4, "20040529"},
                    Placement{RecordType::RA, "registered", 1, 7, 882, "07"},
                    Placement{RecordType::RA, "distance", 1, 2400, 698, "2400"},
                    Placement{RecordType::RA, "post_time", 1, 1540, 874, "1540"},
                    Placement{RecordType::RA, "race_symbol", 1, 0, 619, "000"},
                    Placement{RecordType::RA, "lap_time", 25, 123, 963, "123"},
                    Placement{RecordType::RA, "corner", 4, 4, 1198, "4"},
                    Placement{RecordType::SE, "horse_no", 1, 18, 29, "18"},
                    Placement{RecordType::SE, "race_time", 1, 2243, 339, "2243"},
                    Placement{RecordType::SE, "running_style", 1, 3, 553, "3"},
                    Placement{RecordType::HR, "win_payout", 1, 350, 105, "000000350"},
                    Placement{RecordType::HR, "place_popularity", 5, 2, 205, "02"},
                    Placement{RecordType::HR, "wide_combo", 7, 1718, 390, "1718"},
                    Placement{RecordType::HR, "trifecta_popularity", 6, 1234, 714, "1234"},
                    Placement{RecordType::O1, "win_odds", 3, 123, 62, "0123"},
                    Placement{RecordType::O1, "win_odds", 28, 9999, 262, "9999"},
                    Placement{RecordType::O1, "bracket_odds", 36, 55, 921, "00055"},
                    Placement{RecordType::O1, "bracket_pool", 1, 12345678901LL, 950, "12345678901"},
                    Placement{RecordType::O2, "quinella_odds", 1, 42, 45, "000042"},
                    Placement{RecordType::O2, "quinella_odds", 153, 7, 2021, "000007"},
                    Placement{RecordType::O2, "quinella_pair", 153, 1718, 2017, "1718"}));

TEST(RecordBuilderTest, TextIsConvertedAndPaddedWithFullWidthSpaces)
{
    RecordBuilder b(RecordType::SE);
    b.set("horse_name", "ディープインパクト"); // 9 characters, 18 bytes
    std::string name = b.get("horse_name");
    EXPECT_EQ(name.substr(0, 4), "\x83\x66\x83\x42");
    for (size_t k = 18; k < 36; k += 2)
        EXPECT_EQ(name.substr(k, 2), "\x81\x40");
    // ～ is 0x8160 in CP932.
    b.set("trainer_name", "～武");
    EXPECT_EQ(b.get("trainer_name").substr(0, 2), "\x81\x60");
    // An odd number of bytes leaves one half-width blank.
    b.set("jockey_name", "ABC");
    EXPECT_EQ(b.get("jockey_name"), "ABC\x81\x40\x81\x40 ");
}

TEST(RecordBuilderTest, LatinTextIsPaddedWithBlanks)
{
    RecordBuilder b(RecordType::RA);
    b.set("corner_order", 2, "(*1,3)-2");
    EXPECT_EQ(b.get("corner_order", 2), "(*1,3)-2" + std::string(62, ' '));
    EXPECT_EQ(b.bytes().substr(1055, 8), "(*1,3)-2");
}

TEST(RecordBuilderTest, RawTextOfExactWidthIsKept)
{
    RecordBuilder b(RecordType::O1);
    b.set("win_odds", 1, "----").set("win_odds", 2, "****").set("win_odds", 3, "    ");
    EXPECT_EQ(b.bytes().substr(45, 4), "----");
    EXPECT_EQ(b.bytes().substr(53, 4), "****");
    b.setRaw("win_horse", 1, "\xff\xfe");
    EXPECT_EQ(b.get("win_horse", 1), "\xff\xfe");
    b.clear("win_horse", 1);
    EXPECT_EQ(b.get("win_horse", 1), "  ");
}

TEST(RecordBuilderTest, RaceKeyFillsPositions12To27)
{
    RecordBuilder b(RecordType::HR);
    b.setRaceKey("2004053005020411");
    EXPECT_EQ(b.bytes().substr(11, 16), "2004053005020411");
    EXPECT_EQ(b.get("venue"), "05");
    EXPECT_EQ(b.get("race_no"), "11");
    EXPECT_EQ(b.get("meeting_day"), "04");
}

struct BadValue
{
    RecordType type;
    const char* name;
    int index;
    const char* text; // nullptr: use number
    long long number;
};

class RecordBuilderRefusalTest : public testing::TestWithParam<BadValue>
{
};

TEST_P(RecordBuilderRefusalTest, WrongValuesAreRefusedAndNothingChanges)
{
    const BadValue& v = GetParam();
    RecordBuilder b(v.type);
    const std::string before = b.bytes();
    if (v.text) {
        EXPECT_THROW(b.set(v.name, v.index, std::string_view(v.text)), Error);
    } else {
        EXPECT_THROW(b.set(v.name, v.index, v.number), Error);
    }
    EXPECT_EQ(b.bytes(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Values, RecordBuilderRefusalTest,
    testing::Values(BadValue{RecordType::RA, "registered", 1, nullptr, 100},
                    BadValue{RecordType::RA, "registered", 1, nullptr, -1},
                    BadValue{RecordType::RA, "registered", 1, "7", 0},
                    BadValue{RecordType::RA, "registered", 1, "007", 0},
                    BadValue{RecordType::RA, "grade", 1, "AB", 0},
                    BadValue{RecordType::RA, "race_name", 1, nullptr, 5},
                    BadValue{RecordType::RA, "race_name", 1,
                             "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほま", 0},
                    BadValue{RecordType::SE, "horse_name", 1, "😀", 0},
                    BadValue{RecordType::SE, "horse_name", 1, "\xff", 0},
                    BadValue{RecordType::SE, "no_such_field", 1, "x", 0},
                    BadValue{RecordType::O1, "win_odds", 0, nullptr, 1},
                    BadValue{RecordType::O1, "win_odds", 29, nullptr, 1},
                    BadValue{RecordType::O2, "quinella_odds", 154, nullptr, 1},
                    BadValue{RecordType::HR, "win_payout", 1, nullptr, 1000000000}));

TEST(RecordBuilderTest, RepeatedFieldNeedsAnIndexAndRaceKeyNeedsSixteenDigits)
{
    RecordBuilder b(RecordType::O1);
    EXPECT_THROW(b.set("win_odds", 12), Error);
    EXPECT_THROW(b.setRaceKey("200405300502041"), Error);
    EXPECT_THROW(b.setRaceKey("20040530050204/1"), Error);
    EXPECT_THROW(b.setRaceKey("200405300502041١"), Error);
    EXPECT_THROW(b.setRaw("win_odds", 1, "12345"), Error);
    EXPECT_EQ(b.bytes(), RecordBuilder(RecordType::O1).bytes());
}

TEST(RecordBuilderTest, FromRecordKeepsTheBytesAndChecksTheShape)
{
    RecordBuilder se(RecordType::SE);
    se.setRaceKey("2004053005020411").set("horse_name", "テスト").set("horse_no", 3);
    RecordBuilder copy = RecordBuilder::fromRecord(se.bytes());
    EXPECT_EQ(copy.type(), RecordType::SE);
    EXPECT_EQ(copy.bytes(), se.bytes());
    copy.set("data_kind", "7");
    EXPECT_EQ(copy.get("horse_no"), "03");
    EXPECT_EQ(copy.get("data_kind"), "7");

    std::string noCrLf = se.bytes();
    noCrLf[noCrLf.size() - 1] = ' ';
    for (const std::string& bad : {se.bytes().substr(0, 553), se.bytes() + "\r\n", noCrLf,
                                   "XX" + se.bytes().substr(2), std::string(), std::string("S")}) {
        EXPECT_THROW(RecordBuilder::fromRecord(bad), Error) << bad.size();
    }
}

} // namespace
} // namespace sorvantix
