// A libFuzzer target for the DBC parser and the signal decoder. Any input may
// be refused, but none may crash, leak or read out of bounds; every signal of
// a loaded database decodes from every data length without harm.

#include "dbc/DbcDatabase.h"
#include "dbc/SignalDecoder.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    DbcDatabase database;
    DbcReport report;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    if (parseDbc(text, database, report) != DbcStatus::Ok)
        return 0;
    if (report.badLines.size() > DbcReport::ListedBadLines
        || report.badLineCount < report.badLines.size()) {
        std::fprintf(stderr, "dbc fuzzing: report lists more lines than it counts\n");
        std::abort();
    }
    // The input's last bytes as the frame data, so that the fuzzer steers it.
    std::uint8_t bytes[8] = {};
    for (std::size_t i = 0; i < 8 && i < size; ++i)
        bytes[i] = data[size - 1 - i];
    std::vector<DecodedSignal> decoded;
    for (const DbcMessage &message : database.messages) {
        for (std::uint8_t dlc = 0; dlc <= 8; ++dlc) {
            for (std::uint8_t type : {std::uint8_t(0x04), std::uint8_t(0x05), std::uint8_t(0x06)}) {
                decodeMessage(message, type, dlc, bytes, decoded);
                for (const DecodedSignal &d : decoded) {
                    if (d.present() && d.signal->bytesNeeded > dlc) {
                        std::fprintf(stderr, "dbc fuzzing: a signal read past the DLC\n");
                        std::abort();
                    }
                    formatSignalWithUnit(*d.signal, d.value);
                    formatSignalBits(*d.signal, d.bits);
                    signalDescription(d);
                }
                formatDecodedLine(message, decoded, 1, 2);
            }
        }
    }
    return 0;
}
