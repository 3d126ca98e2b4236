#pragma once

#include "display/RowLayout.h"
#include "inspect/FrameFieldModel.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The bit diagram of one frame: a table of coloured cells laid out the way the
// frame travels on the bus, from the start of frame to the data bytes, with
// one explanation row per header field. Pixel units; rectangles have exclusive
// right and bottom edges and are outlined one pixel inside their edges.
namespace BitDiagram {

inline constexpr Rgb White{255, 255, 255};
inline constexpr Rgb LabelColour{150, 150, 255};
inline constexpr Rgb ValueColour{255, 150, 150};
inline constexpr Rgb Green{200, 255, 200};
inline constexpr Rgb Yellow{255, 255, 200};

// Arial, by the height of its character cell (ascent plus descent).
inline constexpr int NameFontHeight = 16;  // field names and "DATA"
inline constexpr int ValueFontHeight = 19; // values, bits and explanations

enum class Align { Centre, Left };

struct Cell {
    PixelRect rect;
    Rgb fill;
    std::string text; // UTF-8, drawn on a single line
    int fontHeight = ValueFontHeight;
    Align align = Align::Centre;

    friend bool operator==(const Cell &, const Cell &) = default;
};

// The model the diagram draws. A fresh one has type 0 and draws nothing.
struct Model {
    std::array<std::string, FrameFieldModel::ValueCount> values;
    std::array<std::string, FrameFieldModel::BitCount> bits;
    std::array<std::string, FrameFieldModel::DataByteCount> dataValues;
    std::array<std::string, FrameFieldModel::DataBitCount> dataBits;
    std::int32_t dlc = 8;
    std::uint8_t type = 0;

    Model();
};

// Copies values and bits; a data value is kept as "0x" and the last two
// characters of the text given.
void setFieldModel(Model &model, std::uint8_t type, std::uint8_t dlc,
                   const std::array<std::string, FrameFieldModel::ValueCount> &values,
                   const std::array<std::string, FrameFieldModel::BitCount> &bits,
                   const std::array<std::string, FrameFieldModel::DataByteCount> &dataValues,
                   const std::array<std::string, FrameFieldModel::DataBitCount> &dataBits);

// Data bytes drawn for a DLC: DLC 9 to 15 carry eight bytes, as on the bus.
int drawnByteCount(std::int32_t dlc);

// Every cell of the diagram in painting order: the header of a standard or an
// extended frame, the data area of a data frame and the explanation rows of
// the four frame kinds. A type whose frame bit is clear draws nothing. A data
// frame of DLC 0 draws only the "DATA" caption, one byte wide, in its outline.
std::vector<Cell> diagramCells(const Model &model);

} // namespace BitDiagram
