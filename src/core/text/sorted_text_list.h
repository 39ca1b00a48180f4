#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorvantix {

// Ascending text order of the system: byte order with ASCII letters compared
// case-insensitively. Returns <0, 0, >0.
int compareText(std::string_view a, std::string_view b);

// Sorts lines ascending by compareText (stable, so equal lines keep their order).
void sortLines(std::vector<std::string>& lines);

// The sorted text list used for ordering everywhere: texts kept in ascending text
// order, an equal text stored once. Ties of formatted numbers are therefore decided
// by the text that follows the number.
class SortedTextList
{
public:
    // Inserts the text unless an equal one is present; returns the index of the
    // text in the list either way.
    size_t add(std::string_view text);

    // Index of an equal text, or npos.
    size_t indexOf(std::string_view text) const;

    size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    const std::string& operator[](size_t i) const { return m_items.at(i); }
    const std::vector<std::string>& items() const { return m_items; }
    void clear() { m_items.clear(); }

    static constexpr size_t npos = static_cast<size_t>(-1);

private:
    std::vector<std::string> m_items;
};

} // namespace sorvantix
