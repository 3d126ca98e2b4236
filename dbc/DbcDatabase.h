#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// A communication database in the DBC format: the messages a bus carries and
// the signals packed into their data bytes.

// Raw values and the texts the database gives them, sorted by value.
using ValueDescriptions = std::vector<std::pair<std::int64_t, std::string>>;

struct DbcSignal {
    enum class Multiplex : std::uint8_t {
        None,
        Multiplexer, // "M": its value selects the multiplexed signals
        Multiplexed, // "mN": present only while the multiplexer reads N
    };
    enum class ValueType : std::uint8_t { Integer, Float, Double };

    std::string name;
    Multiplex multiplex = Multiplex::None;
    std::uint32_t multiplexValue = 0;
    // As the database writes it: for little-endian signals the least
    // significant bit, for big-endian ones the most significant bit, both
    // numbered byte * 8 + bit within the byte (bit 0 the least significant).
    std::uint16_t startBit = 0;
    std::uint16_t length = 1;
    bool bigEndian = false;
    bool isSigned = false;
    ValueType valueType = ValueType::Integer;
    double factor = 1.0;
    double offset = 0.0;
    double minimum = 0.0;
    double maximum = 0.0;
    std::string unit;
    std::vector<std::string> receivers;
    std::string comment;
    ValueDescriptions values;

    // The signal's lowest bit position in the frame counted from the first
    // data byte's first bit sent: the little-endian start bit, or for a
    // big-endian signal its most significant bit in sequential order
    // (byte * 8 + 7 - bit). Set by the parser.
    std::uint16_t position = 0;
    // Data bytes the frame must carry for the signal to be in it.
    std::uint8_t bytesNeeded = 1;

    // The text for a raw value, or nullptr.
    const std::string *describe(std::int64_t raw) const;
    // Recomputes position and bytesNeeded from startBit, length and order;
    // false when the signal does not fit in 64 bits of data.
    bool layOut();
};

struct DbcMessage {
    std::uint32_t id = 0; // without the extended flag
    bool extended = false;
    std::string name;
    std::uint8_t dlc = 0;
    std::string sender;
    std::string comment;
    std::vector<DbcSignal> signalList;
    // The index of the multiplexer signal, or -1.
    int multiplexer = -1;
    // The cycle the database gives the message (GenMsgCycleTime), when above 0.
    std::optional<std::uint32_t> cycleTimeMs;

    const DbcSignal *findSignal(std::string_view name) const;
};

// What the parser could not read: the first lines with their reasons, and how
// many in all.
struct DbcReport {
    struct BadLine {
        std::size_t line = 0; // counted from 1
        std::string reason;
    };
    static constexpr std::size_t ListedBadLines = 5;

    std::vector<BadLine> badLines;
    std::size_t badLineCount = 0;

    void addBadLine(std::size_t line, std::string reason);
    // "Line 12: ..." for each listed line, then "... and N more" when there
    // were more; empty when every line was read.
    std::string text() const;
};

class DbcDatabase {
public:
    std::string version;
    std::vector<std::string> nodes;
    std::vector<std::pair<std::string, ValueDescriptions>> valueTables;
    std::vector<DbcMessage> messages; // in the order of the file

    // The message with this identifier, or nullptr; standard and extended
    // identifiers are kept apart.
    const DbcMessage *find(std::uint32_t id, bool extended) const
    {
        const auto it = m_index.find(key(id, extended));
        return it == m_index.end() ? nullptr : &messages[it->second];
    }
    DbcMessage *find(std::uint32_t id, bool extended)
    {
        const auto it = m_index.find(key(id, extended));
        return it == m_index.end() ? nullptr : &messages[it->second];
    }
    std::size_t signalCount() const;
    // Adds a message, or replaces the one with its identifier; returns it.
    DbcMessage &add(DbcMessage message);

private:
    static std::uint64_t key(std::uint32_t id, bool extended)
    {
        return (std::uint64_t(extended) << 32) | id;
    }
    std::unordered_map<std::uint64_t, std::size_t> m_index;
};

enum class DbcStatus {
    Ok,         // loaded; the report may still list lines that were skipped
    CanNotOpen, // the file could not be read
    NotDbc,     // the text is not a DBC database
    TooLarge,   // more than a database can sensibly hold
};

// Reads a DBC database from its text. On anything but Ok the database is left
// empty.
DbcStatus parseDbc(std::string_view text, DbcDatabase &database, DbcReport &report);

// Reads the database in the file at path, as parseDbc.
DbcStatus loadDbcFile(const std::string &path, DbcDatabase &database, DbcReport &report);

// The message a user is shown for a database that could not be loaded, or
// the lines that were skipped in one that was: empty when there is nothing to
// say.
std::string dbcLoadMessage(DbcStatus status, const DbcReport &report, std::string_view fileName);
