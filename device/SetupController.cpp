#include "device/SetupController.h"

#include "app/MessageReporter.h"
#include "device/BitTiming.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace {

constexpr const char *RateLabelText = "Baudrate incorrect";
constexpr const char *ErrorCaption = "ERROR";
constexpr int ChosenWhenOutOfRange = 1; // "100"

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// An unsigned decimal number, blanks around it allowed; nullopt for anything
// else. Values too large for the type saturate.
std::optional<std::uint64_t> parseUnsigned(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return std::nullopt;
    const auto last = text.find_last_not_of(' ');
    std::uint64_t value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(text[i] - '0'),
                                        std::numeric_limits<std::uint32_t>::max());
    }
    return value;
}

std::string fillIn(std::string text, const std::string &first, const std::string &second = {})
{
    auto put = [&](const std::string &marker, const std::string &value) {
        const auto at = text.find(marker);
        if (at != std::string::npos)
            text.replace(at, marker.size(), value);
    };
    put("%1", first);
    put("%2", second);
    return text;
}

} // namespace

SetupController::SetupController(DeviceLibrary &library, MessageReporter &messages,
                                 std::string frameSerial)
    : m_library(library), m_messages(messages), m_frameSerial(std::move(frameSerial))
{ }

CAN_Timing SetupController::shownTiming() const
{
    CAN_Timing timing;
    timing.btr = m_btr;
    timing.sjw = static_cast<std::uint8_t>(m_controls.sjw);
    timing.tseg1 = static_cast<std::uint8_t>(m_controls.tseg1 + 1);
    timing.tseg2 = static_cast<std::uint8_t>(m_controls.tseg2);
    timing.clkDiv = static_cast<std::uint8_t>(m_controls.clkDiv);
    return timing;
}

void SetupController::refuse(Field field, const std::string &message)
{
    m_focus = field;
    m_messages.showMessage(MessageIcon::Warning, message);
}

bool SetupController::readFields()
{
    m_focus = Field::None;
    m_advanced = m_controls.advanced;
    m_abor = m_controls.abor;
    m_art = m_controls.art;

    const auto btr = parseUnsigned(m_controls.btr);
    if (!btr || *btr > 255) {
        refuse(Field::Btr, "Enter an integer between 0 and 255.");
        return false;
    }
    if (*btr == 0) {
        refuse(Field::Btr, fillIn("Enter an integer between %1 and %2.", "1", "1024"));
        return false;
    }
    m_btr = static_cast<std::uint8_t>(*btr);

    if (m_controls.serial.size() > MaxSerialChars) {
        refuse(Field::Serial,
               fillIn("Enter no more than %1 characters.", std::to_string(MaxSerialChars)));
        return false;
    }
    m_serial = m_controls.serial;

    if (m_controls.samplePoint.size() > MaxSamplePointChars) {
        refuse(Field::SamplePoint,
               fillIn("Enter no more than %1 characters.", std::to_string(MaxSamplePointChars)));
        return false;
    }
    m_samplePoint = m_controls.samplePoint;
    return true;
}

void SetupController::showValues()
{
    // The serial name is the user's alone after the start: it is never
    // written back, so that a refused field elsewhere cannot undo its typing.
    m_controls.advanced = m_advanced;
    m_controls.abor = m_abor;
    m_controls.art = m_art;
    m_controls.btr = std::to_string(m_btr);
    m_controls.samplePoint = m_samplePoint;
}

void SetupController::applyAdvancedState()
{
    m_controls.timingEnabled = m_advanced;
    m_controls.presetEnabled = !m_advanced;
}

void SetupController::initialise()
{
    m_controls.presetItems = {"50", "100", "125", "250", "500", "1000"};
    m_controls.presetSelection = -1;
    m_controls.presetText.clear();
    m_controls.serial = m_frameSerial;
    m_serial = m_frameSerial;
    m_btr = InitialBtr;
    m_controls.btr = std::to_string(m_btr);
    m_controls.rateLabelEnabled = false;
    m_controls.rateLabel.clear();
    m_stored.reset();
    readAdapter();
    presetTextEdited();
    // The adapter's own timing is shown rather than the one computed for its
    // rate, so that a timing set by hand survives a change of serial name.
    if (m_stored) {
        m_samplePoint = samplePointText(*m_stored);
        showTiming(*m_stored);
        showRateError(leadingKbps(m_controls.presetText), *m_stored);
    }
    showValues();
    applyAdvancedState();
}

void SetupController::showRateError(std::uint32_t kbps, const CAN_Timing &timing,
                                    std::optional<std::int32_t> reported)
{
    // The controller's clock divides into some rates only: the nearest rate
    // it makes is used, and how far it is from the one asked for is shown.
    const double wanted = kbps * 1000.0;
    // The controller's clock model gives the exact rate; it is shown only
    // where the library's own rounding agrees with it.
    const double actual = BitTiming::bitrate(timing);
    if (!reported) {
        std::int32_t asked = 0;
        if (m_library.DevTimingToBitrate(asked, timing) == DevSuccess)
            reported = asked;
    }
    const bool known = reported && *reported == std::lround(actual / 1000.0);
    const double percent = wanted > 0 ? (actual - wanted) / wanted * 100.0 : 0.0;
    if (!known || wanted <= 0 || actual <= 0 || std::abs(percent) < 0.005) {
        m_controls.rateLabelEnabled = false;
        m_controls.rateLabel.clear();
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.3f kbit/s (%+.2f %%)", actual / 1000.0, percent);
    m_controls.rateLabelEnabled = true;
    m_controls.rateLabel = text;
}

void SetupController::readAdapter()
{
    CAN_Timing timing;
    std::uint8_t reserved[ConfigReservedSize] = {};
    std::uint8_t options = 0;
    if (m_library.DevReadConfig(timing, reserved, options) != DevSuccess)
        return;
    std::int32_t kbps = 0;
    if (m_library.DevTimingToBitrate(kbps, timing) != DevSuccess)
        return;

    auto &items = m_controls.presetItems;
    const auto match = std::find_if(items.begin(), items.end(), [&](const std::string &item) {
        return static_cast<std::int64_t>(leadingKbps(item)) == kbps;
    });
    if (match != items.end()) {
        m_controls.presetSelection = static_cast<int>(match - items.begin());
    } else {
        items.push_back(std::to_string(kbps));
        m_controls.presetSelection = static_cast<int>(items.size()) - 1;
    }
    m_controls.presetText = items[static_cast<std::size_t>(m_controls.presetSelection)];

    m_stored = timing;
    m_art = (options & AdapterOption::AutomaticRetransmission) != 0;
    m_abor = (options & AdapterOption::AutomaticBusOffRecovery) != 0;
    m_controls.art = m_art;
    m_controls.abor = m_abor;
}

std::uint32_t SetupController::leadingKbps(const std::string &text)
{
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            break;
        value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(c - '0'),
                                        std::numeric_limits<std::uint32_t>::max());
    }
    return static_cast<std::uint32_t>(value);
}

void SetupController::presetTextEdited()
{
    readFields();
    m_controls.rateLabelEnabled = false;
    m_controls.rateLabel.clear();
    useRate(leadingKbps(m_controls.presetText), false);
}

void SetupController::presetChosen(int index)
{
    readFields();
    m_controls.rateLabelEnabled = false;
    m_controls.rateLabel.clear();
    if (index < 0 || static_cast<std::size_t>(index) >= m_controls.presetItems.size())
        return;
    m_controls.presetSelection = index;
    m_controls.presetText = m_controls.presetItems[static_cast<std::size_t>(index)];
    useRate(leadingKbps(m_controls.presetText), true);
}

void SetupController::useRate(std::uint32_t kbps, bool chosen)
{
    if (kbps == 0) {
        if (!chosen) {
            m_controls.presetSelection = ChosenWhenOutOfRange;
            m_controls.presetText = m_controls.presetItems[ChosenWhenOutOfRange];
        }
        m_messages.showMessage(MessageIcon::Error, "Out of range");
        return;
    }
    // A rate too large for bit/s is as unreachable as the largest one.
    const std::uint64_t bitsPerSecond = std::uint64_t{kbps} * 1000;
    const auto requested = static_cast<std::uint32_t>(
        std::min<std::uint64_t>(bitsPerSecond, std::numeric_limits<std::uint32_t>::max()));
    CAN_Timing timing;
    if (m_library.DevCalcTiming(requested, timing) != DevSuccess) {
        if (chosen) {
            m_messages.showMessage(MessageIcon::Error, "Calc Fail");
        } else {
            m_controls.rateLabelEnabled = true;
            m_controls.rateLabel = RateLabelText;
        }
        return;
    }
    m_samplePoint = samplePointText(timing);
    showTiming(timing);
    showRateError(kbps, timing);
}

void SetupController::showTiming(const CAN_Timing &timing)
{
    m_controls.clkDiv = timing.clkDiv;
    m_controls.sjw = timing.sjw;
    m_controls.tseg1 = timing.tseg1 - 1;
    m_controls.tseg2 = timing.tseg2;
    m_btr = timing.btr;
    showValues();
}

std::string SetupController::samplePointText(const CAN_Timing &timing)
{
    float percent = 0.0F;
    m_library.DevSamplePoint(percent, timing);
    char text[32];
    std::snprintf(text, sizeof text, "%3.2f %%", static_cast<double>(percent));
    return text;
}

void SetupController::timingFieldChanged()
{
    readFields();
    const CAN_Timing timing = shownTiming();
    std::int32_t kbps = 0;
    if (m_library.DevTimingToBitrate(kbps, timing) == DevSuccess) {
        m_controls.presetText = std::to_string(kbps);
        showRateError(static_cast<std::uint32_t>(std::max(kbps, 0)), timing, kbps);
    } else {
        // No rate to show: the label says so instead of a stale number.
        m_controls.presetText.clear();
        m_controls.rateLabelEnabled = true;
        m_controls.rateLabel = RateLabelText;
    }
    m_samplePoint = samplePointText(timing);
    showValues();
}

void SetupController::advancedToggled()
{
    readFields();
    applyAdvancedState();
}

bool SetupController::ok()
{
    // Nothing is written while a field is refused: the user corrects it first.
    if (!readFields())
        return false;
    const std::string &serial = m_controls.serial;
    const bool serialChanged = serial != m_frameSerial;
    if (serialChanged && !std::all_of(serial.begin(), serial.end(), isDigit)) {
        m_messages.showMessage(MessageIcon::Warning, "Enter numbers only.", ErrorCaption);
        return false;
    }
    if (serial.empty()) {
        m_messages.showMessage(MessageIcon::Warning,
                               "Please enter a device name.\nNo space allowed in the beginning.",
                               ErrorCaption);
        return false;
    }

    // The adapter's answers are looked at, so that a setting it did not keep
    // is never reported as stored.
    if (serialChanged) {
        std::uint8_t field[SerialFieldSize] = {};
        std::copy_n(serial.begin(), std::min<std::size_t>(serial.size(), SerialFieldSize), field);
        if (m_library.DevSetSerial(field, SerialFieldSize) != DevSuccess) {
            m_messages.showMessage(MessageIcon::Error, "The adapter did not store the settings.");
            return false;
        }
    }
    const std::uint8_t options =
        static_cast<std::uint8_t>((m_abor ? AdapterOption::AutomaticBusOffRecovery : 0)
                                  | (m_art ? AdapterOption::AutomaticRetransmission : 0));
    const std::uint8_t reserved[ConfigReservedSize] = {};
    if (m_library.DevWriteConfig(shownTiming(), reserved, options) != DevSuccess) {
        // The library may know why (an interface the user may not change).
        const std::string reason = m_library.lastFailureText();
        m_messages.showMessage(MessageIcon::Error,
                               !reason.empty() ? reason
                               : serialChanged
                                   ? "The serial name was stored, but the adapter refused the "
                                     "bit timing and options."
                                   : "The adapter did not store the settings.");
        return false;
    }
    m_messages.showMessage(MessageIcon::Warning,
                           "To apply the changes, disconnect and connect again.");
    return true;
}
