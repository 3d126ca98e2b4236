#include "device/ErrorStatusTexts.h"

namespace ErrorStatusTexts {

std::string lastErrorCodeText(std::uint8_t lec)
{
    static constexpr const char *known[] = {"No Error",  "Stuff Error", "Form Error", "ACK Error",
                                            "Bit Error", "Bit Error",   "CRC Error"};
    if (lec < std::size(known))
        return known[lec];
    return "Unknown Error : " + std::to_string(lec);
}

std::string errorModeText(std::uint8_t mode)
{
    if (mode == 0)
        return "Active";
    if (mode <= 3)
        return "Passive";
    if (mode <= 7)
        return "Bus Off";
    return "Error Mode : " + std::to_string(mode);
}

Texts textsFor(const CAN_ErrorStatus &status)
{
    Texts texts;
    texts.tec = std::to_string(status.tec);
    texts.rec = std::to_string(status.rec);
    texts.lec = lastErrorCodeText(status.lec);
    texts.errorMode = errorModeText(status.errorMode);
    const std::uint16_t counts[CountRows] = {status.stuffErrors, status.formErrors,
                                             status.ackErrors, status.bitErrors, status.crcErrors};
    for (std::size_t i = 0; i < CountRows; ++i)
        texts.counts[i] = std::to_string(counts[i]);
    return texts;
}

} // namespace ErrorStatusTexts
