#pragma once

#include <QString>

class QFont;
class QLabel;
class QSize;

// `text` as it fits in a box of `size` with `font`, wrapped at word breaks: the whole text when it
// fits, else the longest beginning of it that fits with "…" after it.
QString fittedText(const QFont& font, const QSize& size, const QString& text);

// Shows `text` on a word-wrapped label of fixed size: shortened when it does not fit, and always
// whole in the label's tool tip.
void showFitted(QLabel& label, const QString& text);
