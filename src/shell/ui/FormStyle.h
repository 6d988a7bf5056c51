#pragma once

class QWidget;
struct ColourScheme;

// The look every window of the program shares: its icon, a place in the middle of the screen,
// one font and the scheme's colours on each control, by the control's kind.
void ApplyFormStyle(QWidget& form, const ColourScheme& scheme);

// Puts the window in the middle of the screen it is on, then lets pending events run.
void centreOnScreen(QWidget& form);

// Marks a label as a picture box (a picture with a back colour) rather than a text label.
void markAsPictureBox(QWidget& control);
