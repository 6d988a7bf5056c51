#pragma once

#include <QString>
#include <optional>

// A colour as three whole numbers 0..255 (the core library has no QColor).
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
    bool operator==(const Rgb&) const = default;
};

// One row of the colour scheme table: the painted window background, the back colour of frames,
// buttons and boxes, and the picture every command button carries.
struct ColourSchemeRow {
    QString name;
    int paintRed;
    int paintGreen;
    int paintBlue;
    Rgb controlBackColor;
    QString buttonPicture; // our own picture for the scheme, a Qt resource path
};

// The look every window shares: set by ApplyColourScheme, used by ApplyFormStyle and the paint
// handlers.
struct ColourScheme {
    int paintRed = 186;
    int paintGreen = 219;
    int paintBlue = 226;
    Rgb controlBackColor{255, 255, 255};
    QString buttonPicturePath = QStringLiteral(":/pictures/buttons/blue.svg");
    QString styleFontSize = QStringLiteral("10");
    QString styleBold = QStringLiteral("true");

    Rgb paintColour() const { return {paintRed, paintGreen, paintBlue}; }

    // The row of `name` (exact, case-sensitive), or nothing when the name is not in the table.
    static std::optional<ColourSchemeRow> find(const QString& name);

    // Sets the values of the named scheme; false, changing nothing, when the name is not in the
    // table. The caller stores the name of a scheme that was applied.
    bool ApplyColourScheme(const QString& name);
};
