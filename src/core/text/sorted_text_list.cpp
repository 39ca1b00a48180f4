#include "core/text/sorted_text_list.h"

#include <algorithm>

namespace sorvantix {
namespace {

unsigned char folded(char c)
{
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

bool less(std::string_view a, std::string_view b)
{
    return compareText(a, b) < 0;
}

} // namespace

int compareText(std::string_view a, std::string_view b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = folded(a[i]);
        unsigned char y = folded(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

void sortLines(std::vector<std::string>& lines)
{
    std::stable_sort(lines.begin(), lines.end(),
                     [](const std::string& a, const std::string& b) { return less(a, b); });
}

size_t SortedTextList::add(std::string_view text)
{
    auto it =
        std::lower_bound(m_items.begin(), m_items.end(), text,
                         [](const std::string& item, std::string_view t) { return less(item, t); });
    if (it == m_items.end() || compareText(*it, text) != 0)
        it = m_items.insert(it, std::string(text));
    return static_cast<size_t>(it - m_items.begin());
}

size_t SortedTextList::indexOf(std::string_view text) const
{
    auto it =
        std::lower_bound(m_items.begin(), m_items.end(), text,
                         [](const std::string& item, std::string_view t) { return less(item, t); });
    if (it == m_items.end() || compareText(*it, text) != 0)
        return npos;
    return static_cast<size_t>(it - m_items.begin());
}

} // namespace sorvantix
