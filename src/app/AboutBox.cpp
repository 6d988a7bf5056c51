#include "app/AboutBox.h"

#include "settings/ProductInfo.h"
#include "shell/ColourScheme.h"
#include "shell/ui/Artwork.h"
#include "shell/ui/FormStyle.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

AboutBox::AboutBox(const ColourScheme& scheme, QWidget* parent)
    : QDialog(parent), m_scheme(scheme) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + ProductInfo::applicationTitle());
    setModal(false);

    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picIcon"));
    picture->setPixmap(Artwork::resourcePicture(6042, QSize(48, 48)));
    picture->setAlignment(Qt::AlignHCenter);
    auto* title = new QLabel(ProductInfo::applicationTitle(), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    title->setAlignment(Qt::AlignHCenter);
    lblVersionUpdate = new QLabel(QStringLiteral("Version %1 — click to check for an update")
                                      .arg(ProductInfo::programVersion()),
                                  this);
    lblVersionUpdate->setObjectName(QStringLiteral("lblVersionUpdate"));
    lblVersionUpdate->setAlignment(Qt::AlignHCenter);
    lblVersionUpdate->setCursor(Qt::PointingHandCursor);
    lblVersionUpdate->installEventFilter(this);
    auto* credits = new QLabel(
        QStringLiteral("Closes popup advertisements and sends hijacked pages back to your home "
                       "page.\nBuilt with Qt. Pictures drawn by the Pagewarden developers."),
        this);
    credits->setObjectName(QStringLiteral("lblDescription"));
    credits->setAlignment(Qt::AlignHCenter);
    credits->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    for (QWidget* w :
         std::initializer_list<QWidget*>{picture, title, lblVersionUpdate, credits, buttons})
        layout->addWidget(w);
    resize(380, 220);
    ApplyFormStyle(*this, m_scheme);
    QFont big = title->font();
    big.setPointSize(14);
    title->setFont(big);
}

bool AboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblVersionUpdate && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        emit updateCheckRequested();
    return QDialog::eventFilter(watched, event);
}

void AboutBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(m_scheme.paintRed, m_scheme.paintGreen, m_scheme.paintBlue));
}
