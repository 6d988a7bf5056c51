#include "blocking/ui/LogViewerForm.h"

#include "shell/ui/Artwork.h"
#include "shell/ui/FormStyle.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

namespace {
// The list's share of the window; the strip with the counts, the note and the buttons has the
// rest.
constexpr double listWidthShare = 0.98;
constexpr double listHeightShare = 0.88;
} // namespace

QString LogViewerForm::title() {
    return QStringLiteral("Popup ads and hijack web sites are listed below.  Double click on a url "
                          "to display it.");
}

LogViewerForm::LogViewerForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("chkdb1"));
    setWindowTitle(title());
    setSizeGripEnabled(true);

    const auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };
    List1 = new QListWidget(this);
    named(List1, "List1");
    // Every entry is one line of the log: one height for all keeps a long log quick to show.
    List1->setUniformItemSizes(true);
    List1->setTextElideMode(Qt::ElideRight);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);

    Label1 = new QLabel(this);
    named(Label1, "Label1");
    Label1->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    Picture1 = new QLabel(this);
    named(Picture1, "Picture1");
    markAsPictureBox(*Picture1);

    imgIcon = new QLabel(Picture1);
    named(imgIcon, "imgIcon");
    imgIcon->setFixedSize(32, 32);
    Label2 = new QLabel(Picture1);
    named(Label2, "Label2");
    Label3 = new QLabel(QStringLiteral("Note: Popups are not eliminated while this screen is "
                                       "open.  They will recommence once it is closed."),
                        Picture1);
    named(Label3, "Label3");
    Check1 = new QCheckBox(QStringLiteral("Don't ask about seeing this dialog again"), Picture1);
    named(Check1, "Check1");
    Command2 = new QPushButton(QStringLiteral("Browse list"), Picture1);
    named(Command2, "Command2");
    Command3 = new QPushButton(QStringLiteral("Empty list"), Picture1);
    named(Command3, "Command3");
    Command1 = new QPushButton(QStringLiteral("Close"), Picture1);
    named(Command1, "Command1");
    Command4 = new QPushButton(QStringLiteral("Always allow this site"), Picture1);
    named(Command4, "Command4");
    for (QPushButton* b : {Command1, Command2, Command3, Command4})
        b->setAutoDefault(false);
    connect(Command1, &QPushButton::clicked, this, &QDialog::reject);

    auto* strip = new QGridLayout(Picture1);
    strip->setContentsMargins(6, 2, 6, 2);
    strip->setVerticalSpacing(2);
    strip->addWidget(imgIcon, 0, 0, 2, 1, Qt::AlignVCenter);
    strip->addWidget(Label2, 0, 1);
    strip->addWidget(Label3, 1, 1, 1, 6);
    strip->addWidget(Command4, 0, 6);
    strip->addWidget(Check1, 0, 2);
    strip->setColumnStretch(1, 1);
    strip->addWidget(Command2, 0, 3);
    strip->addWidget(Command3, 0, 4);
    strip->addWidget(Command1, 0, 5);

    // The strip under the list needs about 45 pixels, which its share of the height gives from 560
    // pixels up.
    setMinimumSize(480, 560);
    resize(820, 600);
}

void LogViewerForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int listWidth = static_cast<int>(width() * listWidthShare);
    const int listHeight = static_cast<int>(height() * listHeightShare);
    const int left = (width() - listWidth) / 2;
    List1->setGeometry(left, left, listWidth, listHeight);
    Label1->setGeometry(left, List1->geometry().bottom() + 2, listWidth, 2);
    const int stripTop = Label1->geometry().bottom() + 2;
    Picture1->setGeometry(left, stripTop, listWidth, std::max(0, height() - stripTop - left));
}
