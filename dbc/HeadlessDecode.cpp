#include "dbc/HeadlessDecode.h"

#include "capture/CanPacket.h"
#include "dbc/DbcDatabase.h"
#include "dbc/SignalDecoder.h"
#include "logfile/LogFormat.h"

#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

namespace {

constexpr int BadInput = 2;

bool readWholeFile(const std::string &path, std::string &bytes)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

} // namespace

int decodeLogWithDatabase(const std::string &databasePath, const std::string &logPath,
                          std::ostream &out, std::ostream &err)
{
    DbcDatabase database;
    DbcReport report;
    const DbcStatus status = loadDbcFile(databasePath, database, report);
    const std::string message = dbcLoadMessage(status, report, databasePath);
    if (status != DbcStatus::Ok) {
        err << message << '\n';
        return BadInput;
    }
    if (!message.empty())
        err << message;

    std::string bytes;
    std::vector<CAN_Packet> frames;
    LogReport logReport;
    LogStatus logStatus = LogStatus::CanNotOpen;
    if (readWholeFile(logPath, bytes))
        logStatus = readLog(logFormatForPath(logPath), bytes, frames, &logReport);
    if (logStatus != LogStatus::Ok) {
        err << '"' << logPath << "\": " << logFailureMessage(logStatus, logReport) << '\n';
        return BadInput;
    }

    std::vector<DecodedSignal> decoded;
    std::string line;
    for (const CAN_Packet &frame : frames) {
        const DbcMessage *messageOf =
            decodeFrame(database, frame.type, frame.id, frame.dlc, frame.data, decoded);
        if (!messageOf)
            continue;
        line = formatDecodedLine(*messageOf, decoded,
                                 static_cast<std::uint32_t>(frame.timestamp >> 32),
                                 static_cast<std::uint32_t>(frame.timestamp));
        line += '\n';
        out << line;
    }
    out.flush();
    return 0;
}
