#include "dbc/DbcDatabase.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <unordered_set>

namespace {

constexpr std::uint32_t ExtendedFlag = 0x80000000u;
constexpr std::uint32_t ExtendedMask = 0x1FFFFFFFu;
// Larger texts are no database anyone writes by hand or with a tool.
constexpr std::size_t MaxTextSize = 64u << 20;
// The message that holds signals no frame carries; it describes no frame.
constexpr std::string_view IndependentSignals = "VECTOR__INDEPENDENT_SIG_MSG";

struct Token {
    enum class Kind { End, Word, Number, String, Punct };
    Kind kind = Kind::End;
    std::string_view text; // a string's text without its quotes, escapes kept
    std::size_t line = 0;
    bool lineStart = false; // the first token on its line
    bool indented = false;  // a line start with blanks before it
    bool unterminated = false;
};

bool isWordStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isWordChar(char c)
{
    return isWordStart(c) || (c >= '0' && c <= '9');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) { }

    Token next()
    {
        bool newLine = m_pos == 0;
        bool blanks = false;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (c == '\n') {
                ++m_line;
                newLine = true;
                blanks = false;
                ++m_pos;
            } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
                blanks = true;
                ++m_pos;
            } else if (c == '/' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '/') {
                // Comments some tools write; they run to the end of the line.
                while (m_pos < m_text.size() && m_text[m_pos] != '\n')
                    ++m_pos;
            } else {
                break;
            }
        }
        Token token;
        token.line = m_line;
        token.lineStart = newLine;
        token.indented = newLine && blanks;
        if (m_pos >= m_text.size())
            return token;
        const std::size_t start = m_pos;
        const char c = m_text[m_pos];
        const auto at = [this](std::size_t i) { return i < m_text.size() ? m_text[i] : '\0'; };
        if (isWordStart(c)) {
            while (m_pos < m_text.size() && isWordChar(m_text[m_pos]))
                ++m_pos;
            token.kind = Token::Kind::Word;
        } else if (isDigit(c)
                   || ((c == '-' || c == '+' || c == '.')
                       && (isDigit(at(m_pos + 1))
                           || (at(m_pos + 1) == '.' && isDigit(at(m_pos + 2)))))) {
            ++m_pos;
            while (m_pos < m_text.size()) {
                const char d = m_text[m_pos];
                if (isDigit(d) || d == '.')
                    ++m_pos;
                else if ((d == 'e' || d == 'E')
                         && (isDigit(at(m_pos + 1))
                             || ((at(m_pos + 1) == '-' || at(m_pos + 1) == '+')
                                 && isDigit(at(m_pos + 2)))))
                    m_pos += 2;
                else
                    break;
            }
            token.kind = Token::Kind::Number;
        } else if (c == '"') {
            ++m_pos;
            const std::size_t first = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] != '"') {
                if (m_text[m_pos] == '\\' && m_pos + 1 < m_text.size())
                    ++m_pos;
                if (m_text[m_pos] == '\n')
                    ++m_line;
                ++m_pos;
            }
            token.kind = Token::Kind::String;
            if (m_pos >= m_text.size()) {
                // An unclosed string would swallow the rest of the file: it
                // ends with its own line instead, and that line is reported.
                std::size_t end = m_text.find('\n', first);
                if (end == std::string_view::npos)
                    end = m_text.size();
                token.text = m_text.substr(first, end - first);
                token.unterminated = true;
                m_line = token.line;
                m_pos = end;
                return token;
            }
            token.text = m_text.substr(first, m_pos - first);
            ++m_pos;
            return token;
        } else {
            ++m_pos;
            token.kind = Token::Kind::Punct;
        }
        token.text = m_text.substr(start, m_pos - start);
        return token;
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
    std::size_t m_line = 1;
};

// Keywords that start a statement; anything else spelled like a keyword is a
// statement of the format this program has no use for.
bool isKnownKeyword(std::string_view word)
{
    static constexpr std::string_view keywords[] = {"VERSION",
                                                    "NS_",
                                                    "BS_",
                                                    "BU_",
                                                    "BO_",
                                                    "SG_",
                                                    "CM_",
                                                    "VAL_",
                                                    "VAL_TABLE_",
                                                    "SIG_VALTYPE_",
                                                    "BA_DEF_",
                                                    "BA_DEF_DEF_",
                                                    "BA_",
                                                    "EV_",
                                                    "BO_TX_BU_",
                                                    "ENVVAR_DATA_",
                                                    "SGTYPE_",
                                                    "SIG_GROUP_",
                                                    "BA_DEF_REL_",
                                                    "BA_REL_",
                                                    "BA_DEF_DEF_REL_",
                                                    "SG_MUL_VAL_",
                                                    "CAT_DEF_",
                                                    "CAT_",
                                                    "FILTER",
                                                    "SIG_TYPE_REF_",
                                                    "BU_SG_REL_",
                                                    "BU_EV_REL_",
                                                    "BU_BO_REL_",
                                                    "SGTYPE_VAL_",
                                                    "BA_DEF_SGTYPE_",
                                                    "BA_SGTYPE_",
                                                    "EV_DATA_",
                                                    "NS_DESC_"};
    return std::find(std::begin(keywords), std::end(keywords), word) != std::end(keywords);
}

bool looksLikeKeyword(std::string_view word)
{
    return std::all_of(word.begin(), word.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || isDigit(c) || c == '_'; });
}

std::string unescape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

template <typename T> std::optional<T> integerOf(std::string_view text)
{
    T value{};
    const char *begin = text.data();
    if (!text.empty() && text.front() == '+')
        ++begin;
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> doubleOf(std::string_view text)
{
    double value = 0.0;
    const char *begin = text.data();
    if (!text.empty() && text.front() == '+')
        ++begin;
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

struct ParseError {
    std::string reason;
};

class Parser {
public:
    Parser(std::string_view text, DbcDatabase &database, DbcReport &report)
        : m_lexer(text), m_db(database), m_report(report)
    {
        advance();
    }

    bool run()
    {
        while (m_token.kind != Token::Kind::End) {
            const Token first = m_token;
            if (first.kind != Token::Kind::Word) {
                bad(first.line, "unexpected \"" + std::string(first.text) + "\"");
                skipStatement();
                continue;
            }
            advance();
            std::optional<ParseError> error;
            const std::string_view word = first.text;
            if (word == "VERSION") {
                m_sawDbc = true;
                error = parseVersion();
            } else if (word == "NS_") {
                m_sawDbc = true;
                skipSection(first);
            } else if (word == "BS_") {
                m_sawDbc = true;
                skipLine();
            } else if (word == "BU_") {
                m_sawDbc = true;
                error = parseNodes();
            } else if (word == "BO_") {
                m_sawDbc = true;
                error = parseMessage();
            } else if (word == "SG_") {
                error = parseSignal();
            } else if (word == "CM_") {
                error = parseComment();
            } else if (word == "VAL_TABLE_") {
                error = parseValueTable();
            } else if (word == "VAL_") {
                error = parseValues();
            } else if (word == "SIG_VALTYPE_") {
                error = parseValueType();
            } else if (word == "BA_DEF_DEF_") {
                error = parseAttributeDefault();
            } else if (word == "BA_") {
                error = parseAttribute();
            } else if (looksLikeKeyword(word)) {
                // BA_DEF_, EV_, BO_TX_BU_ and their kind: nothing that
                // changes what a frame decodes to.
                skipStatement();
                continue;
            } else {
                error = ParseError{"unexpected \"" + std::string(word) + "\""};
            }
            if (error) {
                bad(first.line, std::move(error->reason));
                skipStatement();
            }
        }
        finish();
        return m_sawDbc;
    }

private:
    void advance()
    {
        m_token = m_lexer.next();
        if (m_token.unterminated) {
            bad(m_token.line, "a text without its closing quote");
        }
    }

    void bad(std::size_t line, std::string reason)
    {
        // One report per line: a bad line often breaks the statement after it.
        if (line == m_lastBadLine)
            return;
        m_lastBadLine = line;
        m_report.addBadLine(line, std::move(reason));
    }

    bool atStatementEnd() const { return m_token.kind == Token::Kind::End || m_token.lineStart; }

    // Skips the rest of a statement: up to its semicolon, or to the next line
    // that starts with a statement.
    void skipStatement()
    {
        while (m_token.kind != Token::Kind::End) {
            if (m_token.kind == Token::Kind::Punct && m_token.text == ";") {
                advance();
                return;
            }
            if (m_token.lineStart && m_token.kind == Token::Kind::Word
                && isKnownKeyword(m_token.text))
                return;
            advance();
        }
    }

    void skipLine()
    {
        while (!atStatementEnd())
            advance();
    }

    // The list of keywords after NS_: its lines are indented.
    void skipSection(const Token &)
    {
        while (m_token.kind != Token::Kind::End && !(m_token.lineStart && !m_token.indented))
            advance();
    }

    bool isPunct(std::string_view p) const
    {
        return m_token.kind == Token::Kind::Punct && m_token.text == p;
    }

    std::optional<ParseError> expectPunct(std::string_view p)
    {
        if (!isPunct(p) || (m_token.lineStart && p != ";"))
            return ParseError{"expected \"" + std::string(p) + "\""};
        advance();
        return std::nullopt;
    }

    std::optional<ParseError> expectSemicolon()
    {
        if (!isPunct(";"))
            return ParseError{"expected \";\""};
        advance();
        return std::nullopt;
    }

    std::optional<std::string_view> word()
    {
        if (m_token.kind != Token::Kind::Word)
            return std::nullopt;
        const std::string_view text = m_token.text;
        advance();
        return text;
    }

    std::optional<std::string> string()
    {
        if (m_token.kind != Token::Kind::String)
            return std::nullopt;
        std::string text = unescape(m_token.text);
        advance();
        return text;
    }

    std::optional<std::string_view> number()
    {
        if (m_token.kind != Token::Kind::Number)
            return std::nullopt;
        const std::string_view text = m_token.text;
        advance();
        return text;
    }

    std::optional<double> realNumber()
    {
        const auto text = number();
        return text ? doubleOf(*text) : std::nullopt;
    }

    // A message identifier as the database writes it, extended flag in bit 31.
    std::optional<std::pair<std::uint32_t, bool>> messageId()
    {
        const auto text = number();
        const auto raw = text ? integerOf<std::uint32_t>(*text) : std::nullopt;
        if (!raw)
            return std::nullopt;
        const bool extended = (*raw & ExtendedFlag) != 0;
        return std::pair{extended ? *raw & ExtendedMask : *raw, extended};
    }

    std::optional<ParseError> parseVersion()
    {
        const auto text = string();
        if (!text)
            return ParseError{"expected the version text"};
        m_db.version = *text;
        return std::nullopt;
    }

    std::optional<ParseError> parseNodes()
    {
        if (auto error = expectPunct(":"))
            return error;
        while (!atStatementEnd()) {
            const auto name = word();
            if (!name)
                return ParseError{"expected a node name"};
            m_db.nodes.emplace_back(*name);
        }
        return std::nullopt;
    }

    std::optional<ParseError> parseMessage()
    {
        m_message = nullptr;
        const auto id = messageId();
        if (!id)
            return ParseError{"expected the message identifier"};
        const auto name = word();
        if (!name)
            return ParseError{"expected the message name"};
        if (auto error = expectPunct(":"))
            return error;
        const auto dlcText = number();
        const auto dlc = dlcText ? integerOf<std::uint32_t>(*dlcText) : std::nullopt;
        if (!dlc || *dlc > 255)
            return ParseError{"expected the data length"};
        std::string sender;
        if (!atStatementEnd()) {
            const auto node = word();
            if (!node)
                return ParseError{"expected the sending node"};
            sender = *node;
        }
        if (*name == IndependentSignals) {
            m_inIgnoredMessage = true;
            m_ignoredIds.push_back(*id);
            return std::nullopt;
        }
        m_inIgnoredMessage = false;
        if (!id->second && id->first > 0x7FF)
            return ParseError{"a standard identifier above 7FF"};
        if (m_db.find(id->first, id->second))
            return ParseError{"a second message with the identifier of another"};
        DbcMessage message;
        message.id = id->first;
        message.extended = id->second;
        message.name = *name;
        message.dlc = static_cast<std::uint8_t>(*dlc);
        message.sender = std::move(sender);
        m_message = &m_db.add(std::move(message));
        return std::nullopt;
    }

    std::optional<ParseError> parseSignal()
    {
        DbcSignal signal;
        const auto name = word();
        if (!name)
            return ParseError{"expected the signal name"};
        signal.name = *name;
        if (m_token.kind == Token::Kind::Word) {
            // "M" the multiplexer, "mN" multiplexed by value N ("mNM" also
            // switches further signals, which is read as "mN").
            const std::string_view mux = m_token.text;
            advance();
            if (mux == "M") {
                signal.multiplex = DbcSignal::Multiplex::Multiplexer;
            } else if (mux.size() > 1 && mux.front() == 'm') {
                std::string_view digits = mux.substr(1);
                if (digits.back() == 'M')
                    digits.remove_suffix(1);
                const auto value = integerOf<std::uint32_t>(digits);
                if (!value)
                    return ParseError{"a multiplex indicator that is neither M nor mN"};
                signal.multiplex = DbcSignal::Multiplex::Multiplexed;
                signal.multiplexValue = *value;
            } else {
                return ParseError{"a multiplex indicator that is neither M nor mN"};
            }
        }
        if (auto error = expectPunct(":"))
            return error;
        const auto start = number();
        const auto startBit = start ? integerOf<std::uint16_t>(*start) : std::nullopt;
        if (!startBit)
            return ParseError{"expected the start bit"};
        if (auto error = expectPunct("|"))
            return error;
        const auto lengthText = number();
        const auto length = lengthText ? integerOf<std::uint16_t>(*lengthText) : std::nullopt;
        if (!length || *length < 1 || *length > 64)
            return ParseError{"a length outside 1 to 64 bits"};
        if (auto error = expectPunct("@"))
            return error;
        // "@1+" comes as the number 1 and "+"; "@0-" as 0 and "-".
        const auto order = number();
        if (!order || (*order != "0" && *order != "1"))
            return ParseError{"a byte order other than @0 or @1"};
        if (!isPunct("+") && !isPunct("-"))
            return ParseError{"expected the sign, + or -"};
        signal.isSigned = m_token.text == "-";
        advance();
        if (auto error = expectPunct("("))
            return error;
        const auto factor = realNumber();
        if (!factor)
            return ParseError{"expected the factor"};
        if (auto error = expectPunct(","))
            return error;
        const auto offset = realNumber();
        if (!offset)
            return ParseError{"expected the offset"};
        if (auto error = expectPunct(")"))
            return error;
        if (auto error = expectPunct("["))
            return error;
        const auto minimum = realNumber();
        if (!minimum)
            return ParseError{"expected the minimum"};
        if (auto error = expectPunct("|"))
            return error;
        const auto maximum = realNumber();
        if (!maximum)
            return ParseError{"expected the maximum"};
        if (auto error = expectPunct("]"))
            return error;
        auto unit = string();
        if (!unit)
            return ParseError{"expected the unit"};
        while (!atStatementEnd()) {
            if (isPunct(",")) {
                advance();
                continue;
            }
            const auto receiver = word();
            if (!receiver)
                return ParseError{"expected a receiving node"};
            signal.receivers.emplace_back(*receiver);
        }
        if (m_inIgnoredMessage)
            return std::nullopt;
        if (!m_message)
            return ParseError{"a signal outside a message"};

        signal.startBit = *startBit;
        signal.length = *length;
        signal.bigEndian = *order == "0";
        signal.factor = *factor;
        signal.offset = *offset;
        signal.minimum = *minimum;
        signal.maximum = *maximum;
        signal.unit = std::move(*unit);
        if (!signal.layOut())
            return ParseError{"a signal reaching past the eighth data byte"};
        if (m_message->findSignal(signal.name))
            return ParseError{"a second signal named " + signal.name};
        if (signal.multiplex == DbcSignal::Multiplex::Multiplexer) {
            if (m_message->multiplexer >= 0)
                return ParseError{"a second multiplexer in one message"};
            m_message->multiplexer = static_cast<int>(m_message->signalList.size());
        }
        m_message->signalList.push_back(std::move(signal));
        return std::nullopt;
    }

    std::optional<ParseError> parseComment()
    {
        std::string *target = nullptr;
        if (m_token.kind == Token::Kind::Word) {
            const std::string_view kind = m_token.text;
            advance();
            if (kind == "BO_" || kind == "SG_") {
                const auto id = messageId();
                if (!id)
                    return ParseError{"expected the message identifier"};
                DbcMessage *message = m_db.find(id->first, id->second);
                if (kind == "BO_") {
                    if (message)
                        target = &message->comment;
                } else {
                    const auto name = word();
                    if (!name)
                        return ParseError{"expected the signal name"};
                    if (message)
                        target = signalOf(*message, *name);
                }
            } else if (kind == "BU_" || kind == "EV_") {
                if (!word())
                    return ParseError{"expected a name"};
            } else {
                return ParseError{"a comment on an unknown kind of object"};
            }
        }
        auto text = string();
        if (!text)
            return ParseError{"expected the comment text"};
        if (target)
            *target = std::move(*text);
        return expectSemicolon();
    }

    std::string *signalOf(DbcMessage &message, std::string_view name)
    {
        for (DbcSignal &signal : message.signalList) {
            if (signal.name == name)
                return &signal.comment;
        }
        return nullptr;
    }

    std::optional<ParseError> valueDescriptions(ValueDescriptions &values)
    {
        while (!isPunct(";")) {
            if (m_token.kind == Token::Kind::End)
                return ParseError{"expected \";\""};
            const auto text = number();
            // Values are integers; some tools write them as "1.0".
            std::optional<std::int64_t> value =
                text ? integerOf<std::int64_t>(*text) : std::nullopt;
            if (text && !value) {
                const auto real = doubleOf(*text);
                // Only a whole number within the range of the value converts.
                if (real && *real >= -0x1p63 && *real < 0x1p63 && *real == std::trunc(*real))
                    value = static_cast<std::int64_t>(*real);
            }
            if (!value)
                return ParseError{"expected a value"};
            auto description = string();
            if (!description)
                return ParseError{"expected the text of a value"};
            values.emplace_back(*value, std::move(*description));
        }
        advance();
        std::stable_sort(values.begin(), values.end(),
                         [](const auto &a, const auto &b) { return a.first < b.first; });
        return std::nullopt;
    }

    std::optional<ParseError> parseValueTable()
    {
        const auto name = word();
        if (!name)
            return ParseError{"expected the table name"};
        ValueDescriptions values;
        if (auto error = valueDescriptions(values))
            return error;
        m_db.valueTables.emplace_back(std::string(*name), std::move(values));
        return std::nullopt;
    }

    std::optional<ParseError> parseValues()
    {
        // Descriptions of an environment variable name no message.
        if (m_token.kind == Token::Kind::Word) {
            skipStatement();
            return std::nullopt;
        }
        const auto id = messageId();
        if (!id)
            return ParseError{"expected the message identifier"};
        const auto name = word();
        if (!name)
            return ParseError{"expected the signal name"};
        DbcMessage *message = m_db.find(id->first, id->second);
        ValueDescriptions values;
        if (m_token.kind == Token::Kind::Word) {
            // A value table named in place of the list.
            const auto table = *word();
            const auto found = std::find_if(m_db.valueTables.begin(), m_db.valueTables.end(),
                                            [&](const auto &t) { return t.first == table; });
            if (found == m_db.valueTables.end())
                return ParseError{"no value table named " + std::string(table)};
            values = found->second;
            if (auto error = expectSemicolon())
                return error;
        } else if (auto error = valueDescriptions(values)) {
            return error;
        }
        if (!message) {
            if (ignored(*id))
                return std::nullopt;
            return ParseError{"no message with this identifier"};
        }
        for (DbcSignal &signal : message->signalList) {
            if (signal.name == *name) {
                signal.values = std::move(values);
                return std::nullopt;
            }
        }
        return ParseError{"no signal " + std::string(*name) + " in " + message->name};
    }

    bool ignored(std::pair<std::uint32_t, bool> id) const
    {
        return std::find(m_ignoredIds.begin(), m_ignoredIds.end(), id) != m_ignoredIds.end();
    }

    std::optional<ParseError> parseValueType()
    {
        const auto id = messageId();
        if (!id)
            return ParseError{"expected the message identifier"};
        const auto name = word();
        if (!name)
            return ParseError{"expected the signal name"};
        if (isPunct(":"))
            advance();
        const auto kind = number();
        if (!kind || (*kind != "0" && *kind != "1" && *kind != "2"))
            return ParseError{"a value type other than 0, 1 or 2"};
        if (auto error = expectSemicolon())
            return error;
        DbcMessage *message = m_db.find(id->first, id->second);
        if (!message) {
            if (ignored(*id))
                return std::nullopt;
            return ParseError{"no message with this identifier"};
        }
        for (DbcSignal &signal : message->signalList) {
            if (signal.name != *name)
                continue;
            const auto type = *kind == "1" ? DbcSignal::ValueType::Float
                : *kind == "2"             ? DbcSignal::ValueType::Double
                                           : DbcSignal::ValueType::Integer;
            const int bits = type == DbcSignal::ValueType::Float ? 32
                : type == DbcSignal::ValueType::Double           ? 64
                                                                 : signal.length;
            if (bits != signal.length)
                return ParseError{"a float signal must be 32 bits long, a double 64"};
            signal.valueType = type;
            return std::nullopt;
        }
        return ParseError{"no signal " + std::string(*name) + " in " + message->name};
    }

    // The value of an attribute: a number, a text or an enumeration's word.
    std::optional<double> attributeValue()
    {
        if (m_token.kind == Token::Kind::Number)
            return realNumber().value_or(0.0);
        if (m_token.kind == Token::Kind::String || m_token.kind == Token::Kind::Word) {
            advance();
            return 0.0;
        }
        return std::nullopt;
    }

    std::optional<ParseError> parseAttributeDefault()
    {
        const auto name = string();
        if (!name)
            return ParseError{"expected the attribute name"};
        const auto value = attributeValue();
        if (!value)
            return ParseError{"expected the default value"};
        if (*name == "GenMsgCycleTime")
            m_cycleDefault = *value;
        return expectSemicolon();
    }

    std::optional<ParseError> parseAttribute()
    {
        const auto name = string();
        if (!name)
            return ParseError{"expected the attribute name"};
        DbcMessage *message = nullptr;
        if (m_token.kind == Token::Kind::Word) {
            const std::string_view kind = m_token.text;
            advance();
            if (kind == "BO_" || kind == "SG_") {
                const auto id = messageId();
                if (!id)
                    return ParseError{"expected the message identifier"};
                if (kind == "BO_")
                    message = m_db.find(id->first, id->second);
                else if (!word())
                    return ParseError{"expected the signal name"};
            } else if (kind == "BU_" || kind == "EV_") {
                if (!word())
                    return ParseError{"expected a name"};
            } else {
                return ParseError{"an attribute of an unknown kind of object"};
            }
        }
        const auto value = attributeValue();
        if (!value)
            return ParseError{"expected the attribute value"};
        if (auto error = expectSemicolon())
            return error;
        if (message && *name == "GenMsgCycleTime") {
            m_cycleSet.insert(message->id | (message->extended ? ExtendedFlag : 0));
            if (*value >= 1 && *value <= 4.0e9)
                message->cycleTimeMs = static_cast<std::uint32_t>(*value);
            else
                message->cycleTimeMs.reset();
        }
        return std::nullopt;
    }

    void finish()
    {
        if (m_cycleDefault < 1 || m_cycleDefault > 4.0e9)
            return;
        for (DbcMessage &message : m_db.messages) {
            const std::uint32_t key = message.id | (message.extended ? ExtendedFlag : 0);
            if (!m_cycleSet.contains(key))
                message.cycleTimeMs = static_cast<std::uint32_t>(m_cycleDefault);
        }
    }

    Lexer m_lexer;
    DbcDatabase &m_db;
    DbcReport &m_report;
    Token m_token;
    DbcMessage *m_message = nullptr;
    bool m_inIgnoredMessage = false;
    bool m_sawDbc = false;
    std::size_t m_lastBadLine = 0;
    double m_cycleDefault = 0.0;
    std::unordered_set<std::uint32_t> m_cycleSet;
    std::vector<std::pair<std::uint32_t, bool>> m_ignoredIds;
};

} // namespace

const std::string *DbcSignal::describe(std::int64_t raw) const
{
    const auto it =
        std::lower_bound(values.begin(), values.end(), raw,
                         [](const auto &entry, std::int64_t v) { return entry.first < v; });
    return it != values.end() && it->first == raw ? &it->second : nullptr;
}

bool DbcSignal::layOut()
{
    if (length < 1 || length > 64)
        return false;
    const unsigned first = bigEndian ? (startBit / 8u) * 8u + 7u - startBit % 8u : startBit;
    const unsigned end = first + length;
    if (end > 64)
        return false;
    position = static_cast<std::uint16_t>(first);
    bytesNeeded = static_cast<std::uint8_t>((end - 1) / 8 + 1);
    return true;
}

const DbcSignal *DbcMessage::findSignal(std::string_view name) const
{
    for (const DbcSignal &signal : signalList) {
        if (signal.name == name)
            return &signal;
    }
    return nullptr;
}

void DbcReport::addBadLine(std::size_t line, std::string reason)
{
    ++badLineCount;
    if (badLines.size() < ListedBadLines)
        badLines.push_back({line, std::move(reason)});
}

std::string DbcReport::text() const
{
    std::string text;
    for (const BadLine &bad : badLines)
        text += "Line " + std::to_string(bad.line) + ": " + bad.reason + "\n";
    if (badLineCount > badLines.size())
        text += "... and " + std::to_string(badLineCount - badLines.size()) + " more\n";
    return text;
}

std::size_t DbcDatabase::signalCount() const
{
    std::size_t count = 0;
    for (const DbcMessage &message : messages)
        count += message.signalList.size();
    return count;
}

DbcMessage &DbcDatabase::add(DbcMessage message)
{
    const std::uint64_t k = key(message.id, message.extended);
    if (const auto it = m_index.find(k); it != m_index.end()) {
        messages[it->second] = std::move(message);
        return messages[it->second];
    }
    m_index.emplace(k, messages.size());
    messages.push_back(std::move(message));
    return messages.back();
}

DbcStatus parseDbc(std::string_view text, DbcDatabase &database, DbcReport &report)
{
    database = DbcDatabase{};
    report = DbcReport{};
    if (text.size() > MaxTextSize)
        return DbcStatus::TooLarge;
    // A binary file is no database, whatever words it happens to hold.
    if (text.find('\0') != std::string_view::npos)
        return DbcStatus::NotDbc;
    Parser parser(text, database, report);
    if (!parser.run()) {
        database = DbcDatabase{};
        report = DbcReport{};
        return DbcStatus::NotDbc;
    }
    return DbcStatus::Ok;
}

DbcStatus loadDbcFile(const std::string &path, DbcDatabase &database, DbcReport &report)
{
    database = DbcDatabase{};
    report = DbcReport{};
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return DbcStatus::CanNotOpen;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0)
        return DbcStatus::CanNotOpen;
    if (static_cast<std::uint64_t>(size) > MaxTextSize)
        return DbcStatus::TooLarge;
    std::string text(static_cast<std::size_t>(size), '\0');
    file.seekg(0);
    if (!file.read(text.data(), size))
        return DbcStatus::CanNotOpen;
    return parseDbc(text, database, report);
}

std::string dbcLoadMessage(DbcStatus status, const DbcReport &report, std::string_view fileName)
{
    const std::string name(fileName);
    switch (status) {
    case DbcStatus::NotDbc:
        return "\"" + name + "\" is not a DBC database.";
    case DbcStatus::CanNotOpen:
        return "Can not open \"" + name + "\".";
    case DbcStatus::TooLarge:
        return "\"" + name + "\" is too large for a DBC database.";
    case DbcStatus::Ok:
        break;
    }
    if (report.badLineCount == 0)
        return {};
    return "Some lines of \"" + name + "\" could not be read and were skipped:\n" + report.text();
}
