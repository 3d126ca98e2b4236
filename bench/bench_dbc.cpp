#include "Bench.h"

#include "dbc/DbcDatabase.h"
#include "dbc/SignalDecoder.h"

#include <random>
#include <string>
#include <vector>

namespace {

// A database of 500 messages with 10 signals each, of every byte order, sign
// and length, with comments, value descriptions and attributes: about 1 MB.
std::string largeDatabase()
{
    std::mt19937 random(26);
    std::string text =
        "VERSION \"bench\"\n\nNS_ :\n\tCM_\n\tBA_\n\nBS_:\n\nBU_: Alpha Beta Gamma\n\n";
    std::string tail;
    for (int m = 0; m < 500; ++m) {
        const bool extended = m % 3 == 0;
        const std::uint32_t id = extended ? (0x80000000u | (0x18F00000u + m)) : 0x100u + m;
        text += "BO_ " + std::to_string(id) + " Message_" + std::to_string(m)
            + "_WithALongerName: 8 Alpha\n";
        for (int s = 0; s < 10; ++s) {
            const bool big = (m + s) % 2 == 0;
            const int length = 1 + static_cast<int>(random() % 6);
            const int start = big ? 8 * (s % 8) + 7 - static_cast<int>(random() % 2) : 6 * s;
            const std::string name = "Signal_" + std::to_string(m) + "_" + std::to_string(s);
            text += " SG_ " + name + " : " + std::to_string(start) + "|" + std::to_string(length)
                + (big ? "@0" : "@1") + (s % 3 == 0 ? "-" : "+")
                + " (0.125,-40) [-40|4000] \"km/h\" Beta,Gamma\n";
            tail += "CM_ SG_ " + std::to_string(id) + " " + name
                + " \"A comment that says what this signal carries, as real databases do at some "
                  "length, so that the file has the size of a real one.\";\n";
            tail += "BA_ \"GenSigStartValue\" SG_ " + std::to_string(id) + " " + name + " 0;\n";
            if (s == 0)
                tail += "VAL_ " + std::to_string(id) + " " + name
                    + " 0 \"Off\" 1 \"On\" 2 \"Error\" 3 \"Not available\" ;\n";
        }
        tail += "BA_ \"GenMsgCycleTime\" BO_ " + std::to_string(id) + " 100;\n";
        text += "\n";
    }
    text += "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\nBA_DEF_ SG_ \"GenSigStartValue\" INT 0 "
            "65535;\n";
    return text + tail;
}

} // namespace

// Loading a 1 MB database of 500 messages and 5,000 signals.
VEXO_BENCHMARK(dbc_load)
{
    const std::string text = largeDatabase();
    DbcDatabase database;
    DbcReport report;
    const double seconds = bench::medianSeconds(
        5, [] {}, [&] { parseDbc(text, database, report); });
    if (database.signalCount() != 5000 || report.badLineCount != 0)
        std::printf("dbc_load: the database did not load whole (%zu signals, %zu bad lines)\n",
                    database.signalCount(), report.badLineCount);
    std::printf("dbc_load: database of %zu bytes\n", text.size());
    bench::report("dbc_load", seconds * 1000.0, "ms");
}

// Decoding every signal of frames of that database's messages.
VEXO_BENCHMARK(dbc_decode)
{
    const std::string text = largeDatabase();
    DbcDatabase database;
    DbcReport report;
    parseDbc(text, database, report);
    std::vector<std::pair<std::uint32_t, bool>> ids;
    for (const DbcMessage &message : database.messages)
        ids.emplace_back(message.id, message.extended);
    constexpr int Count = 2'000'000;
    std::vector<DecodedSignal> decoded;
    double sum = 0;
    std::uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const double seconds = bench::medianSeconds(
        3, [] {},
        [&] {
            for (int n = 0; n < Count; ++n) {
                const auto &[id, extended] = ids[static_cast<std::size_t>(n) % ids.size()];
                data[0] = static_cast<std::uint8_t>(n);
                if (decodeFrame(database, extended ? 0x06 : 0x04, id, 8, data, decoded))
                    sum += decoded.back().value;
            }
        });
    if (sum == 0.5)
        std::printf("\n");
    bench::report("dbc_decode", Count / seconds, "frames/s");
}
