#include "shell/ColourScheme.h"

#include <array>

namespace {

// Button pictures: several schemes share one, as their colours are close.
const std::array<ColourSchemeRow, 7> schemeTable = {{
    {QStringLiteral("Gold"), 255, 192, 128, Rgb{255, 192, 128},
     QStringLiteral(":/pictures/buttons/gold.svg")},
    {QStringLiteral("Blue"), 204, 255, 255, Rgb{192, 255, 255},
     QStringLiteral(":/pictures/buttons/blue.svg")},
    {QStringLiteral("Bluee"), 186, 219, 226, Rgb{255, 255, 255},
     QStringLiteral(":/pictures/buttons/blue.svg")},
    {QStringLiteral("Txan"), 228, 21, 236, Rgb{255, 224, 192},
     QStringLiteral(":/pictures/buttons/tan.svg")},
    {QStringLiteral("Tan"), 255, 224, 192, Rgb{255, 224, 192},
     QStringLiteral(":/pictures/buttons/tan.svg")},
    {QStringLiteral("Red"), 255, 204, 204, Rgb{255, 192, 192},
     QStringLiteral(":/pictures/buttons/red.svg")},
    {QStringLiteral("Green"), 225, 255, 225, Rgb{255, 255, 255},
     QStringLiteral(":/pictures/buttons/green.svg")},
}};

} // namespace

std::optional<ColourSchemeRow> ColourScheme::find(const QString& name) {
    for (const auto& row : schemeTable)
        if (row.name == name)
            return row;
    return std::nullopt;
}

bool ColourScheme::ApplyColourScheme(const QString& name) {
    const auto row = find(name);
    if (!row)
        return false;
    buttonPicturePath = row->buttonPicture;
    paintRed = row->paintRed;
    paintGreen = row->paintGreen;
    paintBlue = row->paintBlue;
    controlBackColor = row->controlBackColor;
    return true;
}
