#pragma once

#include "device/DeviceLibrary.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class MessageReporter;

// What the controls of the "Vexo Setup" dialog hold. The dialog copies what
// the user changed into it before each handler and shows it afterwards.
struct SetupControls {
    std::string serial;
    std::vector<std::string> presetItems;
    int presetSelection = -1;
    std::string presetText;
    bool presetEnabled = true;
    std::string samplePoint;
    bool advanced = false;
    // The red "Baudrate incorrect" label.
    bool rateLabelEnabled = false;
    std::string rateLabel;
    std::string btr;
    // Item positions of the four timing lists.
    int clkDiv = 0;
    int sjw = 0;
    int tseg1 = 0;
    int tseg2 = 0;
    // BTR and the four lists.
    bool timingEnabled = false;
    bool abor = false;
    bool art = false;
};

// The behaviour of the "Vexo Setup" dialog without its widgets: reading the
// adapter, the bit rate and the bit timing following each other, the field
// checks and what OK writes to the adapter.
class SetupController {
public:
    enum class Field { None, Btr, Serial, SamplePoint };

    static constexpr std::uint8_t InitialBtr = 23;
    static constexpr std::size_t MaxSerialChars = SerialFieldSize;
    static constexpr std::size_t MaxSamplePointChars = 8;

    // frameSerial: the serial name read when the adapter was connected.
    SetupController(DeviceLibrary &library, MessageReporter &messages, std::string frameSerial);

    SetupControls &controls() { return m_controls; }
    const SetupControls &controls() const { return m_controls; }
    // The field the focus goes to after the last handler; None when none.
    Field focusField() const { return m_focus; }

    // Handlers, each run on the controls as the user left them.
    void initialise();
    void presetTextEdited();
    void presetChosen(int index);
    // BTR text or an item of ClkDiv, SJW, TSEG1 or TSEG2 changed by the user.
    void timingFieldChanged();
    void advancedToggled();
    // True when everything was written and the dialog closes.
    bool ok();

    // The timing the controls show.
    CAN_Timing shownTiming() const;

private:
    // Reads the fields back in their order; false when one was refused (it
    // and those after it keep their last accepted values).
    bool readFields();
    void showValues();
    void applyAdvancedState();
    void readAdapter();
    // kbit/s from the leading digits of a text; 0 when there are none.
    static std::uint32_t leadingKbps(const std::string &text);
    void useRate(std::uint32_t kbps, bool chosen);
    void showTiming(const CAN_Timing &timing);
    // The label tells how far the timing's rate is from the whole kbit/s shown.
    // reported: the library's whole kbit/s for the timing, asked when not given.
    void showRateError(std::uint32_t kbps, const CAN_Timing &timing,
                       std::optional<std::int32_t> reported = std::nullopt);
    std::string samplePointText(const CAN_Timing &timing);
    void refuse(Field field, const std::string &message);

    DeviceLibrary &m_library;
    MessageReporter &m_messages;
    std::string m_frameSerial;
    SetupControls m_controls;
    Field m_focus = Field::None;

    // The last accepted field values.
    bool m_advanced = false;
    bool m_abor = false;
    bool m_art = false;
    std::uint8_t m_btr = InitialBtr;
    std::string m_serial;
    std::string m_samplePoint;
    // The timing read from the adapter, when it could be read.
    std::optional<CAN_Timing> m_stored;
};
