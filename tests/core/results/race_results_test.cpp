#include "core/results/race_results.h"
#include "core/store/record_builder.h"

#include <gtest/gtest.h>

using namespace sorvantix;

namespace {

struct Runner
{
    int horse;
    int finishPos;
    const char* time;   // 4 bytes
    const char* margin; // 3 bytes
};

std::vector<std::string> seRecords(std::initializer_list<Runner> runners)
{
    std::vector<std::string> recs(18, std::string(555, ' '));
    for (const Runner& r : runners) {
        RecordBuilder b(RecordType::SE);
        b.set("horse_no", r.horse).set("finish_pos", r.finishPos);
        b.set("race_time", r.time).set("margin", r.margin);
        recs[static_cast<size_t>(r.horse - 1)] = b.bytes();
    }
    return recs;
}

struct Read
{
    RaceResults results;
    ResultBoxes boxes;
    TextGrid table{15, 19};
};

Read readAll(const std::vector<std::string>& se, const std::string& hr)
{
    Read r;
    readRaceResults(se, hr, r.results, r.boxes, r.table);
    return r;
}

} // namespace

TEST(RaceResults, FinishPositionsTimesAndMarginsByHorseRow)
{
    // Dead heat for first (3 and 7), then a neck, an unknown code and a blank code.
    auto se = seRecords({{3, 1, "1345", "   "},
                         {7, 1, "1345", "D  "},
                         {1, 3, "0000", "K  "},
                         {9, 4, "0000", "X  "},
                         {12, 5, "0000", "   "},
                         {14, 6, "0000", "H  "},
                         {5, 0, "0000", "12 "}});
    Read r = readAll(se, "");
    EXPECT_EQ(r.results.FinishPos[3], 1);
    EXPECT_EQ(r.results.FinishPos[7], 1);
    EXPECT_EQ(r.results.FinishPos[5], 0);
    EXPECT_EQ(r.results.FinishPos[2], 0); // blank record
    EXPECT_EQ(r.table.cell(13, 3), " 1");
    EXPECT_EQ(r.table.cell(14, 3), "1.34.5");
    EXPECT_EQ(r.table.cell(14, 7), "1.34.5"); // a winner shows its time, not 同着
    EXPECT_EQ(r.table.cell(13, 1), " 3");
    EXPECT_EQ(r.table.cell(14, 1), "クビ");
    EXPECT_EQ(r.table.cell(13, 9), " 4");
    EXPECT_EQ(r.table.cell(14, 9), "");
    EXPECT_EQ(r.table.cell(14, 12), "");
    EXPECT_EQ(r.table.cell(14, 14), "ハナ");
    EXPECT_EQ(r.table.cell(13, 5), ""); // no position: row untouched
    EXPECT_EQ(r.table.cell(14, 5), "");
}

TEST(RaceResults, AScratchedOrExcludedRunnerSaysSoInItsRow)
{
    std::vector<std::string> se(18, std::string(555, ' '));
    for (auto [horse, code] : {std::pair{2, "1"}, std::pair{4, "2"}, std::pair{6, "3"},
                               std::pair{8, "4"}, std::pair{10, "0"}}) {
        RecordBuilder b(RecordType::SE);
        b.set("horse_no", horse).set("finish_pos", 0).set("abnormality", code);
        se[static_cast<size_t>(horse - 1)] = b.bytes();
    }
    Read r = readAll(se, "");
    EXPECT_EQ(r.table.cell(14, 2), "取消");
    EXPECT_EQ(r.table.cell(14, 4), "除外");
    EXPECT_EQ(r.table.cell(14, 6), "除外");
    EXPECT_EQ(r.table.cell(14, 8), ""); // did not finish: no place, and said by the results
    EXPECT_EQ(r.table.cell(14, 10), "");
    EXPECT_EQ(r.table.cell(13, 2), ""); // the finish column, which the sort reads, stays
    EXPECT_EQ(r.results.FinishPos[2], 0);
}

TEST(RaceResults, WinnerTimeForms)
{
    struct Case
    {
        const char* code;
        const char* text;
    };
    for (const Case& c : {Case{"0594", "  59.4"}, Case{"0000", "      "}, Case{"2015", "2.01.5"},
                          Case{"    ", "      "}}) {
        Read r = readAll(seRecords({{4, 1, c.code, "   "}}), "");
        EXPECT_EQ(r.table.cell(14, 4), c.text) << c.code;
    }
}

TEST(RaceResults, ShortAndFewRecordsAndSmallTableAreHarmless)
{
    std::vector<std::string> se{std::string(336, ' '), "SE"};
    se[0].replace(334, 2, "02");
    TextGrid table(15, 3);
    RaceResults results;
    ResultBoxes boxes;
    readRaceResults(se, std::string("HR"), results, boxes, table);
    EXPECT_EQ(results.FinishPos[1], 2);
    EXPECT_EQ(table.cell(13, 1), " 2");
    EXPECT_EQ(table.cell(14, 1), ""); // margin beyond the short record reads blank

    // A finisher whose row is beyond the table is kept in FinishPos only.
    TextGrid small(15, 11);
    readRaceResults(seRecords({{12, 2, "0000", "H  "}}), "", results, boxes, small);
    EXPECT_EQ(results.FinishPos[12], 2);
    EXPECT_EQ(small, TextGrid(15, 11));
}

TEST(RaceResults, PayoutFieldsAndBoxes)
{
    RecordBuilder hr(RecordType::HR);
    hr.set("win_horse", 1, "07").set("win_popularity", 1, "01").set("win_payout", 1, "000000230");
    hr.set("place_horse", 1, "07").set("place_popularity", 1, " 1");
    hr.set("place_payout", 1, "000000110");
    hr.set("bracket_combo", 1, "36").set("bracket_popularity", 1, "04");
    hr.set("bracket_payout", 1, "000001250");
    hr.set("bracket_combo", 2, "30"); // half-set combination
    hr.set("quinella_combo", 1, "0512").set("quinella_popularity", 1, "003");
    hr.set("quinella_payout", 1, "000012340");
    for (int i = 1; i <= 5; ++i) {
        hr.set("wide_combo", i, "0307").set("wide_popularity", i, "012");
        hr.set("wide_payout", i, "000000560");
    }
    Read r = readAll({}, hr.bytes());

    EXPECT_EQ(r.results.WinResult[1], (HorsePayout{7, 1, 230}));
    EXPECT_EQ(r.boxes.box(ResultBoxes::Win, 1), (ResultBox{" 7", " 1", "     230"}));
    EXPECT_EQ(r.boxes.box(ResultBoxes::Win, 2), ResultBox{});
    EXPECT_EQ(r.results.PlaceResult[1], (HorsePayout{7, 1, 110}));
    EXPECT_EQ(r.boxes.box(ResultBoxes::Place, 5), ResultBox{});

    EXPECT_EQ(r.results.BracketResult[1], (ComboPayout{" 3- 6", 4, 1250}));
    EXPECT_EQ(r.boxes.box(ResultBoxes::Bracket, 1), (ResultBox{" 3- 6", " 4", "    1250"}));
    EXPECT_EQ(r.results.BracketResult[2].text, " 3- 0");
    EXPECT_EQ(r.boxes.box(ResultBoxes::Bracket, 2), ResultBox{});

    EXPECT_EQ(r.results.QuinellaResult[1], (ComboPayout{" 5-12", 3, 12340}));
    EXPECT_EQ(r.boxes.box(ResultBoxes::Quinella, 1).payout, "   12340");
    EXPECT_EQ(r.results.QuinellaResult[2], (ComboPayout{" 0- 0", 0, 0}));

    EXPECT_EQ(r.boxes.box(ResultBoxes::Wide, 5), (ResultBox{" 3- 7", "12", "     560"}));
    EXPECT_EQ(r.results.WideResult[6], (ComboPayout{" 0- 0", 0, 0}));
    EXPECT_EQ(r.boxes.box(ResultBoxes::Wide, 6), ResultBox{});
    EXPECT_EQ(r.boxes.box(ResultBoxes::Wide, 7), ResultBox{});
}

TEST(RaceResults, RaceNotRunLeavesEmptyResultsAndClearsOldBoxes)
{
    RaceResults results;
    results.FinishPos[4] = 1;
    ResultBoxes boxes;
    boxes.box(ResultBoxes::Wide, 7) = {"x", "y", "z"};
    TextGrid table(15, 19);
    readRaceResults(seRecords({}), std::string(719, ' '), results, boxes, table);
    EXPECT_EQ(results.FinishPos[4], 0);
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(results.WideResult[i].text, " 0- 0");
    EXPECT_EQ(boxes.box(ResultBoxes::Wide, 7), ResultBox{});
    EXPECT_EQ(boxes.sections[ResultBoxes::Place].size(), 5u);
    EXPECT_EQ(table, TextGrid(15, 19));
}
