#include "core/app/suisho_set_model.h"

#include "core/text/cp932.h"
#include "core/text/error.h"
#include "core/text/field.h"
#include "core/text/format.h"

#include <stdexcept>
#include <utility>

namespace sorvantix {
namespace {

// Box numbers of the 16 fields in file order.
constexpr std::array<int, kSuishoFieldCount> kFieldBoxes{1, 2,  3,  4,  5,  6,  7,  8,
                                                         9, 10, 11, 16, 17, 19, 20, 24};

// What the window's texts call each field, for a refusal that points at its box.
constexpr std::array<const char*, kSuishoFieldCount> kFieldLabels{
    "推奨馬 ①PA≧1率",
    "推奨馬 ②1-3PA/S1",
    "推奨馬 ②全/S1",
    "特奨馬 ①PA≧1率",
    "特奨馬 ②1-3PA/S1",
    "特奨馬 ②全/S1",
    "対象ｸﾞﾙｰﾌﾟA 全シェア％",
    "対象ｸﾞﾙｰﾌﾟB 全シェア2～N番人気",
    "対象ｸﾞﾙｰﾌﾟB 1番人気の全シェア値×",
    "推奨馬 ①PA比",
    "推奨馬 PA比上位の個数",
    "特奨馬 ①PA比",
    "特奨馬 ①個数",
    "特奨馬 ②PA比",
    "特奨馬 ②個数",
    "特奨馬 ③PA比の差",
};

// Read-only copies and the box each one copies.
constexpr std::array<std::pair<int, int>, 6> kCopies{
    {{13, 10}, {14, 11}, {18, 16}, {23, 16}, {21, 19}, {22, 19}}};

bool isFieldBox(int no)
{
    for (int b : kFieldBoxes)
        if (b == no)
            return true;
    return false;
}

bool isCopyBox(int no)
{
    for (auto [copy, source] : kCopies)
        if (copy == no)
            return true;
    return false;
}

// Box number of "SEdit<n>", or 0.
int boxNumber(std::string_view name)
{
    constexpr std::string_view prefix = "SEdit";
    if (name.substr(0, prefix.size()) != prefix || name.size() == prefix.size())
        return 0;
    auto digits = name.substr(prefix.size());
    if (digits.front() == '0')
        return 0;
    int no = toIntDef(digits, 0);
    return (isFieldBox(no) || isCopyBox(no)) ? no : 0;
}

// The first `maxChars` characters of UTF-8 text.
std::string firstChars(std::string_view text, int maxChars)
{
    size_t pos = 0;
    int chars = 0;
    while (pos < text.size()) {
        if ((static_cast<unsigned char>(text[pos]) & 0xC0) != 0x80) {
            if (chars == maxChars)
                break;
            ++chars;
        }
        ++pos;
    }
    return std::string(text.substr(0, pos));
}

} // namespace

SuishoSetModel::SuishoSetModel(SuishoSetPort& port, std::filesystem::path userSetFile,
                               int runnerCount)
    : m_port(port), m_file(std::move(userSetFile)), m_runnerCount(runnerCount)
{
}

void SuishoSetModel::open()
{
    m_lines = readUserSetLines(m_file);
    std::string hhmm = format("%04d", m_port.readFirstTime().value_or(930));
    m_judgementTime = hhmm.substr(0, 2) + ":" + hhmm.substr(2, 2);
    fillSetList();
}

void SuishoSetModel::fillSetList()
{
    m_setList.clear();
    m_setList.emplace_back(kBuiltInName);
    for (const auto& line : m_lines)
        m_setList.push_back(suishoLineName(line));
    select(m_port.readSetId().value_or(0));
}

void SuishoSetModel::select(int index)
{
    if (index < 0 || static_cast<size_t>(index) >= m_setList.size()) {
        m_port.information("推奨馬設定" + std::to_string(index) + "は " +
                           m_file.filename().string() + " にありません。既定値を選びます。");
        index = 0;
    }
    std::array<std::string, kSuishoFieldCount> texts;
    if (index == 0) {
        texts = windowDefaultTexts();
    } else {
        auto fields = splitCommaText(m_lines[static_cast<size_t>(index - 1)]);
        if (fields.size() < kSuishoFieldCount) {
            m_port.information("推奨馬設定" + std::to_string(index) + "[" +
                               m_setList[static_cast<size_t>(index)] + "]の値が足りません（" +
                               std::to_string(fields.size()) + " 個、必要なのは " +
                               std::to_string(kSuishoFieldCount) + " 個）。既定値を選びます。");
            select(0);
            return;
        }
        for (size_t k = 0; k < texts.size(); ++k)
            texts[k] = fields[k];
    }
    m_selected = index;
    // Only a change is written: looking at the sets must not rewrite the settings file.
    if (m_port.readSetId() != index)
        m_port.writeSetId(index);
    for (size_t k = 0; k < texts.size(); ++k)
        putBox(kFieldBoxes[k], texts[k]);
    refreshCopies();
}

const std::string& SuishoSetModel::box(std::string_view name) const
{
    int no = boxNumber(name);
    if (no == 0)
        throw std::invalid_argument("no box " + std::string(name));
    return m_boxes[static_cast<size_t>(no)];
}

void SuishoSetModel::setBox(std::string_view name, std::string text)
{
    int no = boxNumber(name);
    if (no == 0 || !isFieldBox(no))
        throw std::invalid_argument("not an editable box: " + std::string(name));
    putBox(no, std::move(text));
}

std::array<std::string, kSuishoFieldCount> SuishoSetModel::values() const
{
    std::array<std::string, kSuishoFieldCount> out;
    for (size_t k = 0; k < out.size(); ++k)
        out[k] = m_boxes[static_cast<size_t>(kFieldBoxes[k])];
    return out;
}

void SuishoSetModel::putBox(int boxNo, std::string text)
{
    m_boxes[static_cast<size_t>(boxNo)] = std::move(text);
    applyBoxRules(boxNo);
}

void SuishoSetModel::applyBoxRules(int boxNo)
{
    auto& text = m_boxes[static_cast<size_t>(boxNo)];
    auto limit = [&](int minimum) {
        auto parsed = parseInt(text);
        int v = parsed.value_or(0);
        if (v < minimum)
            v = minimum;
        if (v > m_runnerCount)
            v = m_runnerCount;
        if (!parsed || *parsed != v)
            text = format("%d", v);
    };
    switch (boxNo) {
    case 8:
        limit(2);
        break;
    case 11:
        limit(1);
        m_boxes[14] = text;
        break;
    case 17:
    case 20:
        limit(1);
        break;
    case 10:
        m_boxes[13] = text;
        break;
    case 16:
        m_boxes[18] = m_boxes[23] = text;
        break;
    case 19:
        m_boxes[21] = m_boxes[22] = text;
        break;
    default:
        break;
    }
}

void SuishoSetModel::refreshCopies()
{
    for (auto [copy, source] : kCopies)
        m_boxes[static_cast<size_t>(copy)] = m_boxes[static_cast<size_t>(source)];
}

void SuishoSetModel::setNameText(std::string_view text)
{
    m_name = firstChars(text, kNameMaxChars);
}

void SuishoSetModel::registerSet()
{
    std::string s(trimmed(m_name));
    if (s.empty()) {
        m_port.information("設定名を入力してくだい。");
        return;
    }
    for (const auto& entry : m_setList) {
        if (trimmed(entry) == s) {
            m_port.information("[" + s + "]はすでに登録済みの名称です。");
            return;
        }
    }
    // A set that could not be read back or stored would only surface later, in
    // every analysis run; refuse it here instead.
    auto texts = values();
    int bad = 0;
    if (!parseSuishoFields(std::vector<std::string>(texts.begin(), texts.end()), &bad)) {
        m_port.information("設定値「" + std::string(kFieldLabels[static_cast<size_t>(bad - 1)]) +
                           "」（" + std::to_string(bad) + " 番目）\"" +
                           texts[static_cast<size_t>(bad - 1)] + "\" が数値ではありません。");
        return;
    }
    // UserSet.usd holds one set per line with comma-separated values: a name with a
    // comma or a line break would split into several sets.
    if (m_name.find_first_of(",\r\n") != std::string::npos) {
        m_port.information("設定名[" + m_name + "]に「,」や改行は使えません。");
        return;
    }
    if (!fitsCp932(m_name)) {
        m_port.information("設定名[" + m_name + "]には保存できない文字があります。");
        return;
    }

    m_lines.push_back(joinSuishoLine(texts, m_name));
    try {
        writeUserSetLines(m_file, m_lines);
    } catch (...) {
        m_lines.pop_back();
        throw;
    }
    m_port.information("設定[" + m_name + "]を保存しました。");
    fillSetList();
}

void SuishoSetModel::deleteSet()
{
    int i = m_selected;
    if (i <= 0) {
        m_port.information("既定値は削除できません。");
        return;
    }
    if (!m_port.askYesNo(m_setList[static_cast<size_t>(i)] + " を削除しますか?"))
        return;
    auto oldLines = m_lines;
    auto oldList = m_setList;
    m_lines.erase(m_lines.begin() + (i - 1));
    m_setList.erase(m_setList.begin() + i);
    try {
        writeUserSetLines(m_file, m_lines);
    } catch (...) {
        m_lines = std::move(oldLines);
        m_setList = std::move(oldList);
        throw;
    }
    select(0);
}

} // namespace sorvantix
