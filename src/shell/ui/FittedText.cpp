#include "shell/ui/FittedText.h"

#include <QFontMetrics>
#include <QLabel>

namespace {
bool fits(const QFontMetrics& metrics, const QSize& size, const QString& text) {
    const QRect needed =
        metrics.boundingRect(QRect(0, 0, size.width(), 100000), Qt::TextWordWrap, text);
    return needed.height() <= size.height() && needed.width() <= size.width();
}
} // namespace

QString fittedText(const QFont& font, const QSize& size, const QString& text) {
    const QFontMetrics metrics(font);
    if (fits(metrics, size, text))
        return text;
    const QString ellipsis(QChar(0x2026));
    // The longest beginning that fits, found by halving: a status line is short, but a page
    // address in it need not be.
    qsizetype low = 0;
    qsizetype high = text.size();
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (fits(metrics, size, text.left(middle).trimmed() + ellipsis))
            low = middle;
        else
            high = middle - 1;
    }
    return text.left(low).trimmed() + ellipsis;
}

void showFitted(QLabel& label, const QString& text) {
    label.setText(fittedText(label.font(), label.contentsRect().size(), text));
    label.setToolTip(text);
}
