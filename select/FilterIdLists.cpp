#include "select/FilterIdLists.h"

#include "capture/FrameStore.h"
#include "select/SelectionRules.h"

#include <algorithm>
#include <iterator>

namespace {

std::uint64_t excludedKey(std::uint8_t kind, std::uint32_t id)
{
    return (std::uint64_t{kind} << 32) | id;
}

} // namespace

void FilterIdLists::fill(const CVEXODoc &doc)
{
    std::vector<std::uint64_t> excludedKeys;
    excludedKeys.reserve(doc.excludedCount());
    for (std::size_t i = 0; i < doc.excludedCount(); ++i) {
        const CAN_Packet_ID entry = doc.excludedEntry(i);
        excludedKeys.push_back(excludedKey(entry.type, entry.id));
    }
    std::sort(excludedKeys.begin(), excludedKeys.end());

    m_included.clear();
    m_excluded.clear();
    for (std::size_t i = 0; i < doc.identifierCount(); ++i) {
        const CAN_Packet record = doc.identifierEntry(i);
        const std::uint8_t kind = FilterKindCode(record.type);
        const bool isExcluded = std::binary_search(excludedKeys.begin(), excludedKeys.end(),
                                                   excludedKey(kind, record.id));
        (isExcluded ? m_excluded : m_included).push_back(FilterEntryText(kind, record.id));
    }
    std::stable_sort(m_included.begin(), m_included.end());
    std::stable_sort(m_excluded.begin(), m_excluded.end());
}

void FilterIdLists::exclude(const std::vector<int> &selected)
{
    move(m_included, m_excluded, selected);
}

void FilterIdLists::include(const std::vector<int> &selected)
{
    move(m_excluded, m_included, selected);
}

void FilterIdLists::move(std::vector<std::string> &from, std::vector<std::string> &to,
                         const std::vector<int> &selected)
{
    std::vector<bool> moving(from.size(), false);
    for (const int index : selected) {
        if (index >= 0 && static_cast<std::size_t>(index) < from.size())
            moving[static_cast<std::size_t>(index)] = true;
    }

    // The moved texts, in index order, each go after the equal texts already
    // in the other list; a merge places a whole selection at once.
    std::vector<std::string> moved;
    std::vector<std::string> kept;
    kept.reserve(from.size());
    for (std::size_t i = 0; i < from.size(); ++i)
        (moving[i] ? moved : kept).push_back(std::move(from[i]));
    from = std::move(kept);

    std::stable_sort(moved.begin(), moved.end());
    std::vector<std::string> merged;
    merged.reserve(to.size() + moved.size());
    std::merge(std::make_move_iterator(to.begin()), std::make_move_iterator(to.end()),
               std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()),
               std::back_inserter(merged));
    to = std::move(merged);
}

std::vector<CAN_Packet_ID> FilterIdLists::excludedIds() const
{
    std::vector<CAN_Packet_ID> ids;
    ids.reserve(m_excluded.size());
    for (const std::string &text : m_excluded) {
        const FilterEntryId entry = FilterEntryToId(text);
        ids.emplace_back(entry.kind, entry.id);
    }
    return ids;
}
