#include "inspect/BitDiagramLayout.h"

#include <algorithm>
#include <string_view>

namespace BitDiagram {
namespace {

struct Field {
    std::string_view name;
    int bitCount;
    std::string_view explanation;
};

// The explanation texts keep their leading and trailing blanks; "0–8" has an
// en dash.
constexpr std::string_view StartOfFrameText =
    "  Denotes the start of frame transmission(Start Of Frame)";
constexpr std::string_view IdentifierExtensionText = "  Identifier extension bit ";
constexpr std::string_view RemoteRequestText = "  Remote Transmission Request";
constexpr std::string_view ReservedText = "  Reserved bit (it must be set to dominant (0), but "
                                          "accepted as either dominant or recessive)";
constexpr std::string_view LengthText = "  Number of bytes of data(Data Length Code) (0\u2013"
                                        "8 bytes)  ";

constexpr std::array<Field, 6> StandardFields = {{
    {"SOF", 1, StartOfFrameText},
    {"Identifier", 11,
     "  A (unique) identifier for the data which also represents the message priority"},
    {"RTR", 1, RemoteRequestText},
    {"IDE", 1, IdentifierExtensionText},
    {"r0", 1, ReservedText},
    {"DLC", 4, LengthText},
}};

constexpr std::array<Field, 9> ExtendedFields = {{
    {"SOF", 1, StartOfFrameText},
    {"ID_A", 11,
     "  First part of the (unique) identifier for the data which also represents the "
     "message priority"},
    {"SRR", 1, "  Substitute Remote Request "},
    {"IDE", 1, IdentifierExtensionText},
    {"ID_B", 18,
     "  Second part of the (unique) identifier for the data which also represents the "
     "message priority"},
    {"RTR", 1, RemoteRequestText},
    {"r0", 1, ReservedText},
    {"r1", 1, ReservedText},
    {"DLC", 4, LengthText},
}};

constexpr int Left = 10;
constexpr int StandardBitWidth = 50;
constexpr int ExtendedBitWidth = 28;

constexpr int NameTop = 10;
constexpr int ValueTop = 40;
constexpr int BitTop = 70;
constexpr int HeaderBottom = 100;

constexpr int ByteWidth = 136;
constexpr int DataBitWidth = 17;
constexpr int CaptionTop = 130;
constexpr int DataValueTop = 160;
constexpr int DataBitTop = 190;
constexpr int DataBottom = 220;

constexpr int ExplanationNameRight = 100;
constexpr int ExplanationTextRight = 1100;
constexpr int ExplanationPitch = 25;
constexpr int ExplanationHeight = 30;
constexpr int ExplanationTopAfterData = 250;
constexpr int ExplanationTopWithoutData = 120;

Cell cell(int left, int top, int right, int bottom, Rgb fill, std::string_view text = {},
          int fontHeight = ValueFontHeight, Align align = Align::Centre)
{
    return {{left, top, right, bottom}, fill, std::string(text), fontHeight, align};
}

template <std::size_t N>
void addHeader(std::vector<Cell> &cells, const Model &model, const std::array<Field, N> &fields,
               int bitWidth)
{
    int bitCount = 0;
    for (const Field &field : fields)
        bitCount += field.bitCount;
    const int right = Left + bitWidth * bitCount;

    cells.push_back(cell(Left - 1, NameTop - 1, right + 1, HeaderBottom + 1, White));

    int from = Left;
    for (const Field &field : fields) {
        const int to = from + bitWidth * field.bitCount;
        cells.push_back(cell(from, NameTop, to, ValueTop, LabelColour, field.name, NameFontHeight));
        from = to;
    }
    from = Left;
    for (std::size_t i = 0; i < N; ++i) {
        const int to = from + bitWidth * fields[i].bitCount;
        cells.push_back(cell(from, ValueTop, to, BitTop, ValueColour, model.values[i]));
        from = to;
    }
    for (int j = 0; j < bitCount; ++j) {
        cells.push_back(cell(Left + bitWidth * j, BitTop, Left + bitWidth * (j + 1), HeaderBottom,
                             j % 2 == 0 ? Yellow : Green, model.bits[j]));
    }
}

void addDataArea(std::vector<Cell> &cells, const Model &model)
{
    const int bytes = drawnByteCount(model.dlc);
    if (bytes == 0) {
        // No data bytes: the caption alone says that the field is empty.
        cells.push_back(
            cell(Left - 1, CaptionTop - 1, Left + ByteWidth + 1, DataValueTop + 1, Yellow));
        cells.push_back(cell(Left, CaptionTop, Left + ByteWidth, DataValueTop, LabelColour, "DATA",
                             NameFontHeight));
        return;
    }

    const int width = ByteWidth * bytes;
    cells.push_back(cell(Left - 1, CaptionTop - 1, width + Left + 1, DataBottom + 1, Yellow));
    cells.push_back(
        cell(Left, CaptionTop, width + Left, DataValueTop, LabelColour, "DATA", NameFontHeight));
    for (int n = 0; n < bytes; ++n) {
        cells.push_back(cell(Left + ByteWidth * n, DataValueTop, Left + ByteWidth * (n + 1),
                             DataBitTop, ValueColour, model.dataValues[n]));
    }
    for (int n = 0; n < bytes; ++n) {
        for (int k = 0; k < 8; ++k) {
            const int bit = 8 * n + k;
            const int from = Left + DataBitWidth * bit;
            // One pixel wider so that neighbouring bits share a border; the
            // halves of a byte and neighbouring bytes keep a double line.
            const int widen = (k == 3 || k == 7) ? 0 : 1;
            cells.push_back(cell(from, DataBitTop, from + DataBitWidth + widen, DataBottom,
                                 k < 4 ? Green : Yellow, model.dataBits[bit]));
        }
    }
}

template <std::size_t N>
void addExplanations(std::vector<Cell> &cells, const std::array<Field, N> &fields, int top)
{
    for (std::size_t i = 0; i < N; ++i) {
        const int y = top + ExplanationPitch * static_cast<int>(i);
        cells.push_back(
            cell(Left, y, ExplanationNameRight, y + ExplanationHeight, Yellow, fields[i].name));
        cells.push_back(cell(ExplanationNameRight, y, ExplanationTextRight, y + ExplanationHeight,
                             Yellow, fields[i].explanation, ValueFontHeight, Align::Left));
    }
}

} // namespace

Model::Model()
{
    values.fill("1");
    bits.fill("1");
    dataValues.fill("1");
    dataBits.fill("1");
}

void setFieldModel(Model &model, std::uint8_t type, std::uint8_t dlc,
                   const std::array<std::string, FrameFieldModel::ValueCount> &values,
                   const std::array<std::string, FrameFieldModel::BitCount> &bits,
                   const std::array<std::string, FrameFieldModel::DataByteCount> &dataValues,
                   const std::array<std::string, FrameFieldModel::DataBitCount> &dataBits)
{
    model.values = values;
    model.bits = bits;
    for (std::size_t n = 0; n < dataValues.size(); ++n) {
        const std::string &text = dataValues[n];
        model.dataValues[n] = "0x" + text.substr(text.size() > 2 ? text.size() - 2 : 0);
    }
    model.dataBits = dataBits;
    model.dlc = dlc;
    model.type = type;
}

int drawnByteCount(std::int32_t dlc)
{
    return std::clamp<std::int32_t>(dlc, 0, FrameFieldModel::DataByteCount);
}

std::vector<Cell> diagramCells(const Model &model)
{
    std::vector<Cell> cells;
    const std::uint8_t type = model.type;

    if ((type & 0x06) == 0x04)
        addHeader(cells, model, StandardFields, StandardBitWidth);
    else if ((type & 0x06) == 0x06)
        addHeader(cells, model, ExtendedFields, ExtendedBitWidth);

    if ((type & 0x05) == 0x04)
        addDataArea(cells, model);

    switch (type & 0x0F) {
    case 0x04:
        addExplanations(cells, StandardFields, ExplanationTopAfterData);
        break;
    case 0x05:
        addExplanations(cells, StandardFields, ExplanationTopWithoutData);
        break;
    case 0x06:
        addExplanations(cells, ExtendedFields, ExplanationTopAfterData);
        break;
    case 0x07:
        addExplanations(cells, ExtendedFields, ExplanationTopWithoutData);
        break;
    default:
        break;
    }
    return cells;
}

} // namespace BitDiagram
