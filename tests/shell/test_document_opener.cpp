#include "shell/DocumentOpener.h"
#include "support/Recorders.h"
#include "support/TestMain.h"

namespace {
struct Opener {
    RecordingPages pages;
    RecordingMessageBoxes messages;
    QStringList files; // "path in folder"
    DocumentOpener opener{&pages, messages, QStringLiteral("Pagewarden 8.0"),
                          [this](const QString& path, const QString& folder) {
                              files << path + QStringLiteral(" in ") + folder;
                              return true;
                          }};
    Opener() { opener.vendorSiteUrl = QStringLiteral("http://vendor.example"); }
};
} // namespace

class TestDocumentOpener : public QObject {
    Q_OBJECT

private slots:
    // Each way out of the program: the page opened after the vendor's start page, or a message.
    void opens_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("failure"); // the browser's answer
        const auto row = [](const char* name, QString how, QString target, QString opened,
                            QString message = {}, QString failure = {}) {
            QTest::newRow(name) << how << target << opened << message << failure;
        };
        // A page that cannot be reached is told in plain words, once, with the address.
        const QString page = "http://p.example/h.htm",
                      no = "The page " + page + " could not be opened: ";
        row("unknown server", "web", page, page, no + "its server p.example was not found.",
            "net::ERR_NAME_NOT_RESOLVED (http://p.example/h.htm)");
        row("offline", "web", page, page, no + "this computer is not connected to the internet.",
            "net::ERR_INTERNET_DISCONNECTED");
        row("unknown code", "web", page, page, no + "the browser could not load it.",
            "net::ERR_SOMETHING_NEW");
        row("words already", "web", page, page, "No browser is guarded just now.",
            "No browser is guarded just now.");
        row("plain", "web", "http://a.example/", "http://a.example/");
        row("tokens", "web", "http://a.example/_lftp_x_rtp__dblq__vbr_", "http://a.example/(x)\"|");
        row("empty: the start page only", "web", "", "");
        row("a file address is refused", "web", "file:///etc/passwd", "-",
            "\"file:///etc/passwd\" is not a web address, so it is not opened. Only addresses "
            "that start with http:// or https:// are opened in the browser.");
        row("other kinds do nothing", "WEB", "http://a.example/", "-");
        // For "help" the target is the product page's address as the settings give it.
        row("help", "help", "www.vendor.example/pw.htm", "http://www.vendor.example/pw.htm");
        row("help, anti-hijacker", "help#", "https://p.example/",
            "https://p.example/#antihijackerhelp");
        row("help, not a web page", "help", "about:help", "-",
            "The help page's address \"about:help\" is not a web address. Set product_page_url in "
            "section Advanced of the settings file to the page's http:// or https:// address.");
        row("vendor page", "vendor", "www.vendor.example/popups",
            "http://www.vendor.example/popups_en.htm");
        row("vendor page, other scheme", "vendor", "ftp://vendor.example/x", "-",
            "\"ftp://vendor.example/x_en.htm\" is not a web address, so it is not opened.");
    }
    void opens() {
        QFETCH(QString, how);
        QFETCH(QString, target);
        QFETCH(QString, opened);
        QFETCH(QString, message);
        QFETCH(QString, failure);
        Opener o;
        o.pages.failure = failure;
        if (how.startsWith(QLatin1String("help"))) {
            o.opener.productPageUrl = target;
            o.opener.openWebHelp(how.endsWith('#') ? QStringLiteral("#antihijackerhelp") : "");
        } else if (how == QLatin1String("vendor"))
            o.opener.OpenVendorPage(target);
        else
            o.opener.OpenDocument(how, target);
        QCOMPARE(o.pages.opened, opened == "-" ? QStringList() : QStringList{opened});
        QCOMPARE(o.pages.startPages, QStringList(o.pages.opened.size(), "http://vendor.example"));
        QCOMPARE(o.messages.texts, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(o.messages.titles, QStringList(o.messages.texts.size(), "Pagewarden 8.0"));
        QVERIFY(o.files.isEmpty());
    }

    // Files go only to the desktop's opener, all in the folder of the first file ever opened.
    void files() {
        Opener o;
        for (const char* path : {"\"/home/u/my log.txt\"", "/tmp/b.txt", "http://a.example/"})
            o.opener.OpenDocument(QStringLiteral("Notepad"), path);
        QCOMPARE(o.files, (QStringList{"/home/u/my log.txt in /home/u", "/tmp/b.txt in /home/u"}));
        QVERIFY(o.messages.texts.value(0).contains(QStringLiteral("is not a file")));
        QVERIFY(o.pages.opened.isEmpty());
    }
};

PAGEWARDEN_TEST_MAIN(TestDocumentOpener, QCoreApplication)
#include "test_document_opener.moc"
