#include "select/FilterIdLists.h"

#include "capture/FrameStore.h"
#include "select/SelectionRules.h"

#include <algorithm>
#include <iterator>
#include <unordered_set>

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

    // Every kind seen of each identifier the identifier list holds, so that
    // the remote requests of a polled identifier can be excluded as well as
    // its answers.
    std::unordered_set<std::uint32_t> identifiers;
    for (std::size_t i = 0; i < doc.identifierCount(); ++i)
        identifiers.insert(doc.identifierEntry(i).id);
    std::unordered_set<std::uint64_t> seenKeys;
    for (const CAN_Packet &record : doc.arrivalList()) {
        if (identifiers.count(record.id) != 0)
            seenKeys.insert(excludedKey(FilterKindCode(record.type), record.id));
    }
    std::vector<std::uint64_t> seen(seenKeys.begin(), seenKeys.end());
    std::sort(seen.begin(), seen.end());

    m_included.clear();
    m_excluded.clear();
    for (const std::uint64_t key : seen) {
        const auto kind = static_cast<std::uint8_t>(key >> 32);
        const auto id = static_cast<std::uint32_t>(key);
        const bool isExcluded = std::binary_search(excludedKeys.begin(), excludedKeys.end(), key);
        (isExcluded ? m_excluded : m_included).push_back(FilterEntryText(kind, id));
    }
    // Type bytes beyond the four kinds (from a damaged log) may name one
    // entry twice.
    for (auto *list : {&m_included, &m_excluded}) {
        std::stable_sort(list->begin(), list->end());
        list->erase(std::unique(list->begin(), list->end()), list->end());
    }
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
