#include "update/ui/NewVersionInfo.h"

#include "shell/ColourScheme.h"
#include "shell/ui/FormStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

NewVersionInfo::NewVersionInfo(const QString& message, const ColourScheme& scheme, QWidget* parent)
    : QDialog(parent), m_scheme(scheme) {
    setObjectName(QStringLiteral("new_version_info"));
    setWindowTitle(QStringLiteral("New version bulletin"));
    setModal(true);

    Label1 = new QLabel(message, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    // The manifest's text is shown as it is, never as markup.
    Label1->setTextFormat(Qt::PlainText);
    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    Command1 = button("Command1", QStringLiteral("Yes"));
    Command2 = button("Command2", QStringLiteral("No"));
    Command3 = button("Command3", QStringLiteral("New version features"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    buttons->addStretch();
    buttons->addWidget(Command3);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1, 1);
    layout->addLayout(buttons);

    connect(Command1, &QPushButton::clicked, this, [this] {
        bulletinAnswer = QStringLiteral("Yes");
        close();
    });
    connect(Command2, &QPushButton::clicked, this, [this] {
        bulletinAnswer = QStringLiteral("No");
        close();
    });
    connect(Command3, &QPushButton::clicked, this, [this] {
        if (openFeatures)
            openFeatures();
    });

    resize(460, 260);
    ApplyFormStyle(*this, m_scheme);
}

void NewVersionInfo::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(m_scheme.paintRed, m_scheme.paintGreen, m_scheme.paintBlue));
}
