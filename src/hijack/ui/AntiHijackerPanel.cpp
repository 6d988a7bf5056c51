#include "hijack/ui/AntiHijackerPanel.h"

#include "blocking/OpenPages.h"
#include "blocking/ProgramState.h"
#include "hijack/HijackList.h"
#include "hijack/ui/PanelPicture.h"
#include "platform/MessageBoxes.h"
#include "settings/SettingsStore.h"
#include "shell/ui/FormStyle.h"
#include "shell/ui/Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

namespace {
const QString openCaption = QStringLiteral("Anti- Hijacker");
const QString hideCaption = QStringLiteral("Hide");

// Where the panel lies in the window, in twips. The window's normal height ends above it; opened,
// the window shows down to the help text; with help, the help text too.
constexpr int panelLeft = 120;
constexpr int panelTop = 2300;
constexpr int panelWidth = 6360;
constexpr int panelHeight = 6300;

QStringList entries(const QListWidget& box) {
    QStringList texts;
    texts.reserve(box.count());
    for (int row = 0; row < box.count(); ++row)
        texts.append(box.item(row)->text());
    return texts;
}

// The first selected entry from the top, or -1.
int firstSelected(const QListWidget& box) {
    for (int row = 0; row < box.count(); ++row) {
        if (box.item(row)->isSelected())
            return row;
    }
    return -1;
}

QLabel* label(const char* name, const QString& caption, const QRect& place, QWidget* parent) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(place);
    return l;
}
} // namespace

AntiHijackerPanel::AntiHijackerPanel(Host host)
    : QGroupBox(QStringLiteral("Highlight 'hijack' web sites (Box 1), move to Box 2 using arrows"),
                host.window),
      m_host(std::move(host)) {
    setObjectName(QStringLiteral("Frame2"));
    setGeometry(Twips::rect(panelLeft, panelTop, panelWidth, panelHeight));
    setVisible(false);
    buildControls();
    // The panel lies over the window's hidden command buttons, which its help area reaches.
    raise();
}

void AntiHijackerPanel::buildControls() {
    using Glyph = PanelPicture::Glyph;
    const auto picture = [this](const char* name, Glyph glyph, const QString& tip, int left,
                                int top, int width = 320) {
        auto* p = new PanelPicture(name, glyph, tip, this);
        p->setGeometry(Twips::rect(left, top, width, 320));
        return p;
    };

    label("Label7", QStringLiteral("Box 1, available web sites "), Twips::rect(120, 300, 4600, 260),
          this);
    auto* image17 = picture("Image17", Glyph::Home, QString(), 5380, 260, 400);
    auto* image26 = picture("Image26", Glyph::Refresh,
                            QStringLiteral("Refresh view of web pages open now"), 5840, 260, 400);
    lstSourcefields = new QListWidget(this);
    lstSourcefields->setObjectName(QStringLiteral("lstSourcefields"));
    lstSourcefields->setSelectionMode(QAbstractItemView::MultiSelection);
    lstSourcefields->setGeometry(Twips::rect(120, 600, 6120, 780));

    auto* image19 =
        picture("Image19", Glyph::Down, QStringLiteral("Add to Hijack list"), 120, 1440, 520);
    auto* image22 = picture("Image22", Glyph::DownAll,
                            QStringLiteral("Add all urls to Hijack list"), 700, 1440, 520);
    auto* image20 =
        picture("Image20", Glyph::Up, QStringLiteral("Remove from Hijack list"), 1280, 1440, 520);
    auto* image21 = picture("Image21", Glyph::UpAll, QStringLiteral("Remove all from Hijack list"),
                            1860, 1440, 520);

    label("Label8", QStringLiteral("Box 2, 'hijack' web sites to redirect to home page (Box 3)"),
          Twips::rect(120, 1800, 6120, 260), this);
    lstDestinationfields = new QListWidget(this);
    lstDestinationfields->setObjectName(QStringLiteral("lstDestinationfields"));
    lstDestinationfields->setSelectionMode(QAbstractItemView::MultiSelection);
    lstDestinationfields->setGeometry(Twips::rect(120, 2080, 6120, 760));

    auto* label6 = label("Label6", QStringLiteral("Box 3, home page:"),
                         Twips::rect(120, 2930, 1900, 260), this);
    label6->setToolTip(
        QStringLiteral("Click on desired home web page from list in top window, or type address:"));
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(Twips::rect(2040, 2900, 3060, 320));
    auto* image18 = picture("Image18", Glyph::Tick, QString(), 5160, 2900);
    command("Command19", QStringLiteral("Apply"), QString(), 5520, 2900, 720, true);

    auto* label5 = label("Label5", QStringLiteral("Web page patterns to direct back to home page:"),
                         Twips::rect(120, 3290, 6120, 260), this);
    label5->setToolTip(QStringLiteral(
        "Web page patterns to direct back to home page: (any pattern can match, for example "
        "\"hijacker\" matches http://www.hijacker-site.example/start.html)"));
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(Twips::rect(120, 3560, 2760, 320));
    auto* image23 = picture("Image23", Glyph::Plus, QString(), 2940, 3560);
    auto* image24 = picture("Image24", Glyph::Minus, QString(), 3300, 3560);
    command("Command18", QStringLiteral("Help"), QString(), 3780, 3560, 900, true);
    auto* image15 = picture("Image15", Glyph::Cross, QString(), 4800, 3560);
    command("Command15", QStringLiteral("Close"), QString(), 5160, 3560, 1080, true);

    // The help area, shown when Help makes the window taller, with the manual's page about the
    // anti-hijacker behind the globe at its right.
    m_helpText = label(
        "helpText",
        QStringLiteral(
            "<b>How the anti-hijacker works</b><br>While blocking runs, a browser window whose "
            "address contains a pattern of Box 2 is sent to the home page of Box 3, and logged."
            "<br><br>Select unwanted pages in Box 1 and move them down with the arrows, or type "
            "part of an address (a site's name is enough) and press + (\u2212 removes it again). "
            "Patterns match letter for letter; typed ones are kept in lower case.<br><br>"
            "Type your home page into Box 3 (or select a page in Box 1 and press the house), "
            "then Apply. With no home page set, nothing is redirected. The globe opens the "
            "manual."),
        Twips::rect(120, 3980, 5700, 2200), this);
    m_helpText->setWordWrap(true);
    m_helpText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* image16 = picture("Image16", Glyph::WebHelp, QStringLiteral("Web help"), 5880, 3980, 360);
    connect(image16, &PanelPicture::clicked, this, &AntiHijackerPanel::webHelpRequested);

    // Command16 is one command with four elements; the arrows press them.
    for (int k = 0; k < 4; ++k) {
        auto* button = new QPushButton(QStringLiteral("Command16"), this);
        button->setObjectName(QStringLiteral("Command16"));
        button->setProperty("index", k);
        button->setVisible(false);
        connect(button, &QPushButton::clicked, this, [this, k] { command16Clicked(k); });
    }
    command(
        "Command17",
        QStringLiteral("Make currently selected web page (in top window) my desired home web page"),
        QString(), 0, 0, 0, false);

    const auto pressCommand16 = [this](int k) {
        for (QPushButton* b : findChildren<QPushButton*>(QStringLiteral("Command16")))
            if (b->property("index").toInt() == k)
                b->click();
    };
    const auto press = [this](const char* name) {
        findChild<QPushButton*>(QLatin1String(name))->click();
    };
    connect(image19, &PanelPicture::clicked, this, [pressCommand16] { pressCommand16(0); });
    connect(image22, &PanelPicture::clicked, this, [pressCommand16] { pressCommand16(1); });
    connect(image21, &PanelPicture::clicked, this, [pressCommand16] { pressCommand16(2); });
    connect(image20, &PanelPicture::clicked, this, [pressCommand16] { pressCommand16(3); });
    connect(image26, &PanelPicture::clicked, this, [this] {
        ListOpenPages();
        fillOpenPagesBox();
    });
    connect(image17, &PanelPicture::clicked, this, [press] { press("Command17"); });
    connect(image18, &PanelPicture::clicked, this, [press] { press("Command19"); });
    connect(image15, &PanelPicture::clicked, this, [press] { press("Command15"); });
    connect(image23, &PanelPicture::clicked, this, &AntiHijackerPanel::addTypedPattern);
    connect(image24, &PanelPicture::clicked, this, &AntiHijackerPanel::removeTypedPattern);

    connect(Text1, &QLineEdit::textChanged, this, [this] {
        QFont font = Text1->font();
        font.setPointSize(8);
        font.setBold(false);
        Text1->setFont(font);
    });
    connect(Text2, &QLineEdit::editingFinished, this, &AntiHijackerPanel::takeHomePage);
}

QPushButton* AntiHijackerPanel::command(const char* name, const QString& caption,
                                        const QString& tip, int left, int top, int width,
                                        bool shown) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    button->setGeometry(Twips::rect(left, top, width, 320));
    button->setVisible(shown);
    const QString n = QLatin1String(name);
    if (n == QLatin1String("Command15"))
        connect(button, &QPushButton::clicked, this, &AntiHijackerPanel::command15Clicked);
    else if (n == QLatin1String("Command17"))
        connect(button, &QPushButton::clicked, this, &AntiHijackerPanel::command17Clicked);
    else if (n == QLatin1String("Command18"))
        connect(button, &QPushButton::clicked, this, &AntiHijackerPanel::command18Clicked);
    else if (n == QLatin1String("Command19"))
        connect(button, &QPushButton::clicked, this, &AntiHijackerPanel::command19Clicked);
    return button;
}

void AntiHijackerPanel::load() {
    SettingsStore& store = *m_host.store;
    if (!store.desiredHomeUrl.isEmpty())
        Text2->setText(store.desiredHomeUrl);
    lstDestinationfields->clear();
    lstDestinationfields->addItems(store.hijackPatterns);
    // The typed pattern stays small whatever the window's style gave it, and the long captions
    // are set plain so they fit the panel's width.
    QFont font = Text1->font();
    font.setBold(false);
    font.setPointSize(8);
    Text1->setFont(font);
    for (QWidget* caption :
         std::initializer_list<QWidget*>{this, findChild<QLabel*>(QStringLiteral("Label6")),
                                         findChild<QLabel*>(QStringLiteral("Label7")),
                                         findChild<QLabel*>(QStringLiteral("Label8")),
                                         findChild<QLabel*>(QStringLiteral("Label5"))}) {
        QFont plain = caption->font();
        plain.setBold(false);
        caption->setFont(plain);
    }
    ListOpenPages();
    fillOpenPagesBox();
}

void AntiHijackerPanel::ListOpenPages() {
    ::ListOpenPages(m_host.browser, m_host.state->openPageUrls);
}

void AntiHijackerPanel::fillOpenPagesBox() {
    lstSourcefields->clear();
    lstSourcefields->addItems(m_host.state->openPageUrls);
}

void AntiHijackerPanel::load_spyware_urls() {
    SettingsStore& store = *m_host.store;
    store.hijackPatterns = HijackList::distinct(entries(*lstDestinationfields));
    store.hijackPatternText = SettingsStore::encodePatternList(store.hijackPatterns);
    store.save_state();
    emit patternsStored();
}

void AntiHijackerPanel::centre() {
    centreOnScreen(*m_host.window);
}

void AntiHijackerPanel::command14Clicked() {
    QPushButton* command14 = m_host.command14;
    if (command14->text() != openCaption) {
        command14->setText(openCaption);
        m_host.setWidthTwips(m_savedWidth);
        m_host.setHeightTwips(m_savedHeight);
        return;
    }
    command14->setText(hideCaption);
    m_savedWidth = m_host.widthTwips();
    m_savedHeight = m_host.heightTwips();
    ListOpenPages();
    m_host.keepWindowVisible();
    fillOpenPagesBox();
    const int height = m_host.heightTwips();
    m_host.setHeightTwips(qRound(height * 1.85 + height));
    // No home page yet: the box offers the start of one, which is not a home page itself.
    if (m_host.store->desiredHomeUrl.isEmpty())
        Text2->setText(QStringLiteral("http://"));
    centre();
    setVisible(true);
}

void AntiHijackerPanel::command16Clicked(int k) {
    const auto moveSelected = [this](QListWidget& from, QListWidget& to) {
        for (int row = firstSelected(from); row >= 0; row = firstSelected(from)) {
            to.addItem(from.item(row)->text());
            delete from.takeItem(row);
            load_spyware_urls();
        }
    };
    const auto moveAll = [](QListWidget& from, QListWidget& to) {
        while (from.count() > 0) {
            to.addItem(from.item(0)->text());
            delete from.takeItem(0);
        }
    };
    switch (k) {
    case 0:
        moveSelected(*lstSourcefields, *lstDestinationfields);
        break;
    case 1:
        moveAll(*lstSourcefields, *lstDestinationfields);
        break;
    case 2:
        moveAll(*lstDestinationfields, *lstSourcefields);
        break;
    case 3:
        moveSelected(*lstDestinationfields, *lstSourcefields);
        break;
    default:
        return;
    }
    // Moving makes no check for duplicates: Box 2 may show an address twice, the patterns hold
    // it once.
    load_spyware_urls();
}

bool AntiHijackerPanel::normaliseTyped(QString& text) {
    const HijackList::Typed typed = HijackList::normalise(Text1->text());
    if (Text1->text() != typed.shown)
        Text1->setText(typed.shown);
    text = typed.shown;
    return typed.usable;
}

void AntiHijackerPanel::addTypedPattern() {
    QString text;
    if (!normaliseTyped(text))
        return;
    if (HijackList::findIgnoringCase(entries(*lstDestinationfields), text) >= 0)
        return;
    lstDestinationfields->addItem(text);
    load_spyware_urls();
}

void AntiHijackerPanel::removeTypedPattern() {
    QString text;
    if (!normaliseTyped(text))
        return;
    const qsizetype row = HijackList::findIgnoringCase(entries(*lstDestinationfields), text);
    if (row < 0)
        return;
    delete lstDestinationfields->takeItem(static_cast<int>(row));
    load_spyware_urls();
}

bool AntiHijackerPanel::takeHomePage() {
    const QString home = HijackList::completeHomePage(Text2->text());
    if (home.isEmpty())
        return false;
    m_host.store->desiredHomeUrl = home;
    return true;
}

void AntiHijackerPanel::applyHomePage() {
    const QString& home = m_host.store->desiredHomeUrl;
    if (takeHomePage()) {
        m_host.messages->information(m_host.applicationTitle,
                                     QStringLiteral("Home page set to:") + home);
        return;
    }
    m_host.messages->information(
        m_host.applicationTitle,
        QStringLiteral("A home page is a complete address that begins with http:// or https://. "
                       "The home page stays %1.")
            .arg(home.isEmpty() ? QStringLiteral("unset") : home));
}

void AntiHijackerPanel::command17Clicked() {
    const int row = firstSelected(*lstSourcefields);
    if (row < 0)
        return;
    Text2->setText(lstSourcefields->item(row)->text());
    applyHomePage();
}

void AntiHijackerPanel::command19Clicked() {
    takeHomePage();
    load_spyware_urls();
    m_host.store->save_state();
    applyHomePage();
}

void AntiHijackerPanel::command15Clicked() {
    setVisible(false);
    m_host.setHeightTwips(m_savedHeight);
    load_spyware_urls();
    m_host.store->save_state();
    centre();
}

void AntiHijackerPanel::command18Clicked() {
    if (m_helpExpanded) {
        m_host.setHeightTwips(m_heightBeforeHelp);
        m_helpExpanded = false;
    } else {
        m_helpExpanded = true;
        m_heightBeforeHelp = m_host.heightTwips();
        m_host.setHeightTwips(qRound(m_heightBeforeHelp * 0.4 + m_heightBeforeHelp));
        fitHelpText();
    }
    centre();
}

void AntiHijackerPanel::fitHelpText() {
    // The room from the text's top down to where the window (or the panel) ends.
    const int panelTop = mapTo(m_host.window, QPoint(0, 0)).y();
    const int bottom = std::min(height(), m_host.window->height() - panelTop);
    const int room = bottom - m_helpText->y() - Twips::toPixels(60);
    // The largest plain type, up to the window's own size, that shows the whole text there.
    QFont font = m_helpText->font();
    font.setBold(false);
    for (int size = 10; size >= 6; --size) {
        font.setPointSize(size);
        m_helpText->setFont(font);
        if (m_helpText->heightForWidth(m_helpText->width()) <= room)
            break;
    }
    m_helpText->resize(m_helpText->width(),
                       std::max(room, m_helpText->heightForWidth(m_helpText->width())));
}
