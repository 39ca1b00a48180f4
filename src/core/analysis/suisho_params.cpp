#include "core/analysis/suisho_params.h"

#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/folder_lock.h"
#include "core/text/text_file.h"

#include <cmath>
#include <system_error>

namespace sorvantix {
namespace {

bool isBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

// A quoted field starting at line[pos] == '"'. "" inside stands for one quote; an
// unclosed quote takes the rest of the line. Leaves pos after the closing quote.
std::string quotedField(std::string_view line, size_t& pos)
{
    std::string out;
    ++pos;
    while (pos < line.size()) {
        char c = line[pos++];
        if (c != '"') {
            out += c;
        } else if (pos < line.size() && line[pos] == '"') {
            out += '"';
            ++pos;
        } else {
            return out;
        }
    }
    return out;
}

std::string setLabel(int setId, std::string_view name)
{
    std::string label = "推奨馬設定";
    label += std::to_string(setId);
    if (!name.empty()) {
        label += '[';
        label += name;
        label += ']';
    }
    return label;
}

ActiveParams fallback(std::string message)
{
    return ActiveParams{analysisDefaultParams(), message + "既定値で分析します。"};
}

} // namespace

const std::array<SuishoField, kSuishoFieldCount>& suishoFields()
{
    static const std::array<SuishoField, kSuishoFieldCount> fields{{
        {"SuiRank1PaRate", false, "SEdit1", "0.6"},
        {"SuiRank23Top3Ratio", false, "SEdit2", "1.0"},
        {"SuiRank23AllRatio", false, "SEdit3", "1.0"},
        {"TokuRank1PaRate", false, "SEdit4", "0.8"},
        {"TokuRank23Top3Ratio", false, "SEdit5", "1.04"},
        {"TokuRank23AllRatio", false, "SEdit6", "1.04"},
        {"GroupAMinSharePct", false, "SEdit7", "2.0"},
        {"GroupBMaxRank", true, "SEdit8", "6"},
        {"GroupBShareFactor", false, "SEdit9", "0.7"},
        {"SuiPaMin", false, "SEdit10", "1.3"},
        {"SuiPaMaxCount", true, "SEdit11", "5"},
        {"Toku1PaMin", false, "SEdit16", "1.6"},
        {"Toku1MaxCount", true, "SEdit17", "2"},
        {"Toku2PaMin", false, "SEdit19", "1.3"},
        {"Toku2Count", true, "SEdit20", "1"},
        {"Toku3PaGap", false, "SEdit24", "2.0"},
    }};
    return fields;
}

SuishoParams analysisDefaultParams()
{
    return SuishoParams{};
}

std::array<std::string, kSuishoFieldCount> windowDefaultTexts()
{
    std::array<std::string, kSuishoFieldCount> texts;
    for (int i = 0; i < kSuishoFieldCount; ++i)
        texts[static_cast<size_t>(i)] = suishoFields()[static_cast<size_t>(i)].builtInText;
    return texts;
}

std::vector<std::string> splitCommaText(std::string_view line)
{
    std::vector<std::string> fields;
    size_t pos = 0;
    const size_t end = line.size();
    while (pos < end && isBlank(line[pos]))
        ++pos;
    while (pos < end) {
        if (line[pos] == '"') {
            fields.push_back(quotedField(line, pos));
        } else {
            size_t start = pos;
            while (pos < end && !isBlank(line[pos]) && line[pos] != ',')
                ++pos;
            fields.emplace_back(line.substr(start, pos - start));
        }
        while (pos < end && isBlank(line[pos]))
            ++pos;
        if (pos < end && line[pos] == ',') {
            if (pos + 1 == end)
                fields.emplace_back();
            do
                ++pos;
            while (pos < end && isBlank(line[pos]));
        }
    }
    return fields;
}

std::string joinSuishoLine(const std::array<std::string, kSuishoFieldCount>& values,
                           std::string_view name)
{
    std::string line;
    for (const auto& v : values) {
        line += v;
        line += ',';
    }
    line += name;
    return line;
}

std::string suishoLineName(std::string_view line)
{
    auto fields = splitCommaText(line);
    return fields.empty() ? std::string() : fields.back();
}

std::optional<SuishoParams> parseSuishoFields(const std::vector<std::string>& fields, int* badField)
{
    std::array<double, kSuishoFieldCount> reals{};
    std::array<int, kSuishoFieldCount> ints{};
    for (int i = 0; i < kSuishoFieldCount; ++i) {
        auto k = static_cast<size_t>(i);
        bool ok = false;
        if (k < fields.size()) {
            if (suishoFields()[k].integer) {
                auto v = parseInt(fields[k]);
                ok = v.has_value();
                ints[k] = v.value_or(0);
            } else {
                auto v = parseDouble(fields[k]);
                ok = v.has_value() && std::isfinite(*v);
                reals[k] = v.value_or(0);
            }
        }
        if (!ok) {
            if (badField)
                *badField = i + 1;
            return std::nullopt;
        }
    }
    SuishoParams p;
    p.SuiRank1PaRate = reals[0];
    p.SuiRank23Top3Ratio = reals[1];
    p.SuiRank23AllRatio = reals[2];
    p.TokuRank1PaRate = reals[3];
    p.TokuRank23Top3Ratio = reals[4];
    p.TokuRank23AllRatio = reals[5];
    p.GroupAMinSharePct = reals[6];
    p.GroupBMaxRank = ints[7];
    p.GroupBShareFactor = reals[8];
    p.SuiPaMin = reals[9];
    p.SuiPaMaxCount = ints[10];
    p.Toku1PaMin = reals[11];
    p.Toku1MaxCount = ints[12];
    p.Toku2PaMin = reals[13];
    p.Toku2Count = ints[14];
    p.Toku3PaGap = reals[15];
    return p;
}

std::vector<std::string> readUserSetLines(const std::filesystem::path& file)
{
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return {};
    // A file an editor saved as UTF-8 starts with its byte-order mark: it is read as UTF-8.
    const std::string bytes = readFileBytes(file);
    if (!std::string_view(bytes).starts_with(kUtf8Bom))
        return readLinesText(file);
    std::vector<std::string> lines = splitLines(std::string_view(bytes).substr(kUtf8Bom.size()));
    for (size_t i = 0; i < lines.size(); ++i)
        if (!fitsCp932(lines[i]))
            throw Error(file.string() + " の" + std::to_string(i + 1) +
                        "行目に読めない文字があります。");
    return lines;
}

void writeUserSetLines(const std::filesystem::path& file, const std::vector<std::string>& lines)
{
    // The file keeps its form: UTF-8 with its byte-order mark when it was saved so.
    WriteLock lock;
    std::error_code ec;
    if (std::filesystem::exists(file, ec) &&
        std::string_view(readFileBytes(file)).starts_with(kUtf8Bom)) {
        std::string bytes(kUtf8Bom);
        for (const auto& line : lines)
            bytes += line + "\r\n";
        writeFileAtomic(file, bytes);
        return;
    }
    try {
        writeLinesText(file, lines);
    } catch (const Error& e) {
        throw Error(file.string() + ": " + e.what());
    }
}

ActiveParams loadActiveParams(int setId, const std::filesystem::path& userSetFile)
{
    if (setId == 0)
        return ActiveParams{analysisDefaultParams(), std::nullopt};
    if (setId < 0)
        return fallback(setLabel(setId, {}) + "は設定番号として正しくありません。");

    std::error_code ec;
    if (!std::filesystem::exists(userSetFile, ec))
        return fallback(setLabel(setId, {}) + "を読み込めません: 設定ファイル " +
                        userSetFile.string() + " がありません。");
    std::vector<std::string> lines;
    try {
        lines = readLinesText(userSetFile);
    } catch (const Error& e) {
        return fallback(setLabel(setId, {}) + "を読み込めません: " + e.what() + "。");
    }
    if (static_cast<size_t>(setId) > lines.size())
        return fallback(setLabel(setId, {}) + "は " + userSetFile.string() +
                        " にありません（登録数 " + std::to_string(lines.size()) + "）。");

    const std::string& line = lines[static_cast<size_t>(setId - 1)];
    auto fields = splitCommaText(line);
    std::string label = setLabel(setId, fields.size() > kSuishoFieldCount ? fields.back() : "");
    if (fields.size() < kSuishoFieldCount)
        return fallback(label + "の値が足りません（" + std::to_string(fields.size()) +
                        " 個、必要なのは " + std::to_string(kSuishoFieldCount) + " 個）。");
    int bad = 0;
    auto params = parseSuishoFields(fields, &bad);
    if (!params) {
        const auto& f = suishoFields()[static_cast<size_t>(bad - 1)];
        return fallback(label + "の " + std::to_string(bad) + " 番目の値 \"" +
                        fields[static_cast<size_t>(bad - 1)] + "\" は" +
                        (f.integer ? "整数" : "数値") + "ではありません。");
    }
    return ActiveParams{*params, std::nullopt};
}

} // namespace sorvantix
