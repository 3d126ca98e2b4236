#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CAN_Packet_ID;
class CVEXODoc;

// The two lists of the filter dialog's Selection mode, "Included ID" and
// "Excluded ID": one entry text per kind and identifier the store holds frames
// of, each list kept in alphabetical order of its texts.
class FilterIdLists {
public:
    // One entry for every kind seen of each identifier of the identifier list
    // ("STD DATA: 0x0E0" and "STD REMOTE: 0x0E0" for a polled identifier), in
    // the Excluded list when the store's excluded identifiers name it.
    // Excluded identifiers the store no longer holds frames of are not listed.
    void fill(const CVEXODoc &doc);

    const std::vector<std::string> &included() const { return m_included; }
    const std::vector<std::string> &excluded() const { return m_excluded; }

    // ">>" and "<<": the entries at the given positions of one list move to
    // their alphabetical places in the other. Positions outside the list are
    // ignored.
    void exclude(const std::vector<int> &selected);
    void include(const std::vector<int> &selected);

    // The Excluded entries as kind codes and identifiers, in list order.
    std::vector<CAN_Packet_ID> excludedIds() const;

private:
    static void move(std::vector<std::string> &from, std::vector<std::string> &to,
                     const std::vector<int> &selected);

    std::vector<std::string> m_included;
    std::vector<std::string> m_excluded;
};
