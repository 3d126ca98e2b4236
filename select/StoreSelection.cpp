// The store's filter and sort operations. They replace the display list as a
// whole, from what is stored at that moment; frames that arrive later are
// added by the store's usual rules.

#include "capture/FrameStore.h"
#include "select/SelectionRules.h"

#include <algorithm>
#include <iterator>

namespace {

std::uint64_t excludedKey(std::uint8_t kind, std::uint32_t id)
{
    return (std::uint64_t{kind} << 32) | id;
}

enum class RangeKind { Standard, Extended, Other };

RangeKind rangeKindOf(std::uint8_t type)
{
    switch (type & 0x0F) {
    case 4:
    case 5:
        return RangeKind::Standard;
    case 6:
    case 7:
        return RangeKind::Extended;
    default:
        return RangeKind::Other;
    }
}

bool outside(std::uint32_t id, std::uint32_t from, std::uint32_t to)
{
    return id < from || id > to;
}

// Sorts entries by their high 32 bits, keeping the order of entries with equal
// high halves: a least-significant-digit radix sort, a byte per pass, that
// skips the bytes all keys share (the upper bytes of standard identifiers).
void stableSortByHighHalf(std::vector<std::uint64_t> &entries)
{
    std::vector<std::uint64_t> scratch(entries.size());
    for (int shift = 32; shift < 64; shift += 8) {
        std::size_t counts[256] = {};
        for (const std::uint64_t entry : entries)
            ++counts[(entry >> shift) & 0xFF];
        if (std::find(std::begin(counts), std::end(counts), entries.size()) != std::end(counts))
            continue;
        std::size_t start = 0;
        for (std::size_t &count : counts) {
            const std::size_t n = count;
            count = start;
            start += n;
        }
        for (const std::uint64_t entry : entries)
            scratch[counts[(entry >> shift) & 0xFF]++] = entry;
        entries.swap(scratch);
    }
}

} // namespace

void CVEXODoc::ClearExcludedIds()
{
    m_excludedIds.clear();
}

void CVEXODoc::AddExcludedId(std::uint8_t kind, std::uint32_t id)
{
    m_excludedIds.emplace_back(kind, id);
}

void CVEXODoc::ApplySelectionFilter()
{
    if (m_arrival.empty())
        return;
    m_displayList.clear();

    // Only whether a kind and identifier is excluded matters, so a sorted
    // set of keys answers as the first matching entry would.
    std::vector<std::uint64_t> excluded;
    excluded.reserve(m_excludedIds.size());
    for (const CAN_Packet_ID &entry : m_excludedIds)
        excluded.push_back(excludedKey(entry.type, entry.id));
    std::sort(excluded.begin(), excluded.end());

    const auto select = [&](std::uint32_t index) {
        CAN_Packet &record = m_arrival[index];
        const bool hidden = std::binary_search(excluded.begin(), excluded.end(),
                                               excludedKey(FilterKindCode(record.type), record.id));
        record.shown = hidden ? 0 : 1;
        if (!hidden)
            m_displayList.push_back(index);
    };
    if (m_displayMode == IdList) {
        for (const std::uint32_t index : m_identifierList)
            select(index);
    } else {
        for (std::uint32_t index = 0; index < m_arrival.size(); ++index)
            select(index);
    }

    displayListReplaced();
    m_pageEnd = static_cast<std::int32_t>(m_displayList.size());
    m_pageStart = std::max(0, m_pageEnd - PageSize);
}

void CVEXODoc::ApplyRangeFilter(std::uint8_t flags, std::uint32_t standardFrom,
                                std::uint32_t standardTo, std::uint32_t extendedFrom,
                                std::uint32_t extendedTo)
{
    if (m_arrival.empty())
        return;
    m_displayList.clear();

    constexpr std::uint8_t both = RangeFlag::Standard | RangeFlag::Extended;
    for (std::uint32_t index = 0; index < m_arrival.size(); ++index) {
        CAN_Packet &record = m_arrival[index];
        const RangeKind kind = rangeKindOf(record.type);
        bool hidden = false;
        switch (flags & both) {
        case RangeFlag::Standard:
            hidden = kind == RangeKind::Extended || outside(record.id, standardFrom, standardTo);
            break;
        case RangeFlag::Extended:
            hidden = kind == RangeKind::Standard || outside(record.id, extendedFrom, extendedTo);
            break;
        case both:
            hidden = (kind == RangeKind::Standard && outside(record.id, standardFrom, standardTo))
                || (kind == RangeKind::Extended && outside(record.id, extendedFrom, extendedTo));
            break;
        default:
            hidden = true;
            break;
        }
        record.shown = hidden ? 0 : 1;
        if (!hidden)
            m_displayList.push_back(index);
    }

    displayListReplaced();
    m_pageEnd = static_cast<std::int32_t>(m_displayList.size());
    m_pageStart = std::max(0, m_pageEnd - PageSize);
}

void CVEXODoc::SortDisplayList(int key)
{
    if (key < SortKey::NumberAscending || key > SortKey::IdDescending)
        return;

    // Each entry packs its key above its place in the list; for a descending
    // order the key is inverted. Equal keys keep the order they had, and every
    // record is read once instead of at every comparison.
    const bool byNumber = key == SortKey::NumberAscending || key == SortKey::NumberDescending;
    const bool descending = key == SortKey::NumberDescending || key == SortKey::IdDescending;
    std::vector<std::uint64_t> order;
    order.reserve(m_displayList.size());
    for (std::uint32_t place = 0; place < m_displayList.size(); ++place) {
        const CAN_Packet &record = m_arrival[m_displayList[place]];
        std::uint32_t value = byNumber ? record.number : record.id;
        if (descending)
            value = ~value;
        order.push_back((std::uint64_t{value} << 32) | place);
    }
    stableSortByHighHalf(order);

    const std::vector<std::uint32_t> previous(m_displayList);
    for (std::size_t i = 0; i < order.size(); ++i)
        m_displayList[i] = previous[static_cast<std::uint32_t>(order[i])];
    displayListReplaced();
}
