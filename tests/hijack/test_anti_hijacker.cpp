#include "app/TrayController.h"
#include "hijack/ui/PanelPicture.h"
#include "platform/FormTimer.h"
#include "shell/ui/PictureButton.h"
#include "support/FakeBrowser.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace {
QStringList texts(const QListWidget* box) {
    QStringList result;
    for (int row = 0; row < box->count(); ++row)
        result << box->item(row)->text();
    return result;
}

// The main window on doubles, loaded, with the in-memory browser as the guarded one.
struct Rig {
    Rig() {
        f.tp.platform.browser = &browser;
        f.tp.store("spyware_urls", "bad.example<->worse.example<->bad.example");
        f.tp.store("desired_home_url", "http://home.example/");
        for (const char* url : {"http://a.example/", "http://b.example/", "http://a.example/"})
            browser.addBrowser(url);
        FakeWindow folder{0, "file:///home/", {}, {}};
        folder.html = false;
        browser.addWindow(folder);
        f.load();
        f.window->controls().timer("Timer8")->setEnabled(false); // its countdown would hide us
    }
    QListWidget* box(int n) const {
        return f.find<QListWidget>(n == 1 ? "lstSourcefields" : "lstDestinationfields");
    }
    QLineEdit* text(const char* name) const { return f.find<QLineEdit>(name); }
    QPushButton* button(const char* name) const { return f.find<QPushButton>(name); }
    void picture(const QString& name) const { f.find<PanelPicture>(name)->click(); }
    void fill(int n, const QStringList& items, const QList<int>& selected = {}) const {
        box(n)->clear();
        box(n)->addItems(items);
        for (int row : selected)
            box(n)->item(row)->setSelected(true);
    }

    FakeBrowser browser;
    WindowFixture f;
};
} // namespace

class TestAntiHijacker : public QObject {
    Q_OBJECT

private slots:
    void openHelpCloseAndHide() {
        Rig r;
        // Loaded from the stored list and the open pages, each address once, folders left out.
        QCOMPARE(texts(r.box(2)), (QStringList{"bad.example", "worse.example", "bad.example"}));
        QCOMPARE(texts(r.box(1)), (QStringList{"http://a.example/", "http://b.example/"}));
        QCOMPARE(r.text("Text2")->text(), QStringLiteral("http://home.example/"));
        r.text("Text2")->clear();
        r.f.store->desiredHomeUrl.clear();
        r.browser.addBrowser("http://c.example/");
        QWidget* frame2 = r.f.find<QWidget>("Frame2");
        r.f.find<PictureButton>("Image13")->click(); // presses Command14
        QVERIFY(frame2->isVisibleTo(r.f.window.get()));
        QCOMPARE(texts(r.box(1)).last(), QStringLiteral("http://c.example/"));
        // No home page yet: the box offers the start of one, which is not a home page.
        QCOMPARE(r.text("Text2")->text(), QStringLiteral("http://"));
        QCOMPARE(r.f.store->desiredHomeUrl, QString());
        // The countdown stops and the window stays.
        QVERIFY(r.f.window->tray().keepVisible());
        QCOMPARE(r.button("Command3")->text(), QStringLiteral("Start"));
        r.picture("Image15"); // Close
        QVERIFY(frame2->isHidden());
        QCOMPARE(r.f.tp.stored("desired_home_url"), QString());
        // Close leaves the caption, so the next press takes the closing branch.
        r.button("Command14")->click();
        QCOMPARE(r.button("Command14")->text(), QStringLiteral("Anti- Hijacker"));
        QVERIFY(frame2->isHidden());
        // The home page from the first address selected in box 1, stored by "Apply".
        r.box(1)->item(1)->setSelected(true);
        r.box(1)->item(0)->setSelected(true);
        r.picture("Image17");
        QCOMPARE(r.f.store->desiredHomeUrl, QStringLiteral("http://a.example/"));
        QCOMPARE(r.f.tp.stored("desired_home_url"), QString());
        // A home page takes effect only when complete, on leaving the box or on Apply; keystrokes
        // and half-typed addresses leave the last good one.
        QString home = "http://a.example/";
        for (const QString typed :
             {"http://127.0.0.1:80/", "htt", "http://", "http://mine.example/"}) {
            r.text("Text2")->clear();
            QTest::keyClicks(r.text("Text2"), typed);
            QCOMPARE(r.f.store->desiredHomeUrl, home);
            QTest::keyClick(r.text("Text2"), Qt::Key_Return); // leaves the box's editing
            home = typed.size() > 7 ? typed : home;
            QCOMPARE(r.f.store->desiredHomeUrl, home);
            r.picture("Image18"); // Apply
        }
        QCOMPARE(r.f.tp.stored("desired_home_url"), QStringLiteral("http://mine.example/"));
        const QString kept = "A home page is a complete address that begins with http:// or "
                             "https://. The home page stays http://127.0.0.1:80/.";
        QCOMPARE(r.f.tp.messages.texts,
                 (QStringList{"Home page set to:http://a.example/",
                              "Home page set to:http://127.0.0.1:80/", kept, kept,
                              "Home page set to:http://mine.example/"}));

        // Timer7 ticks only while hidden to the tray with blocking on, and there is work.
        const WindowKey hijacked = r.browser.addBrowser("http://bad.example/start");
        FormTimer* timer7 = r.f.window->controls().timer("Timer7");
        auto* image2 = r.f.find<PictureButton>("Image2");
        QVERIFY(!timer7->isEnabled());
        image2->setVisible(true); // as the hide to the tray shows it
        QVERIFY(timer7->isEnabled());
        // The periodic pass finds a window that was open all along.
        QTRY_VERIFY_WITH_TIMEOUT(
            r.browser.actionLog().contains(
                QStringLiteral("navigate %1 http://mine.example/").arg(hijacked)),
            30000);
        image2->setVisible(false); // as a stop hides it
        QVERIFY(!timer7->isEnabled());
        image2->setVisible(true);
        r.picture("Image21"); // nothing left to look for
        QVERIFY(!timer7->isEnabled());
    }

    // The four move pictures and the typed add/remove, with what is shown and stored.
    void edits_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QList<int>>("selected1");
        QTest::addColumn<QList<int>>("selected2");
        QTest::addColumn<QStringList>("box1");
        QTest::addColumn<QStringList>("box2");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        const auto row = [](const char* name, const char* picture, const char* typed,
                            QList<int> sel1, QList<int> sel2, QStringList box1, QStringList box2,
                            const char* shown, const char* stored) {
            QTest::newRow(name) << QString(picture) << QString(typed) << sel1 << sel2 << box1
                                << box2 << QString(shown) << QString(stored);
        };
        const QStringList abc{"a", "b", "c"};
        const QString loaded = "bad.example<->worse.example<->bad.example";
        row("add selected, top to bottom", "Image19", "", {2, 0}, {}, {"b"}, {"b", "x", "a", "c"},
            "", "b<->x<->a<->c");
        row("add all, shown twice, stored once", "Image22", "", {}, {}, {},
            {"b", "x", "a", "b", "c"}, "", "b<->x<->a<->c");
        row("remove all", "Image21", "", {}, {}, {"a", "b", "c", "b", "x"}, {}, "", "");
        row("remove selected", "Image20", "", {}, {1}, {"a", "b", "c", "x"}, {"b"}, "", "b");
        row("add with nothing selected", "Image19", "", {}, {}, abc, {"b", "x"}, "", "b<->x");
        row("add typed", "Image23", "  *New.Example* ", {}, {}, abc, {"b", "x", "new.example"},
            "new.example", "b<->x<->new.example");
        row("add typed, other letter case", "Image23", "X", {}, {}, abc, {"b", "x"}, "x",
            qPrintable(loaded));
        row("add only stars", "Image23", "**", {}, {}, abc, {"b", "x"}, "", qPrintable(loaded));
        row("remove the first typed copy", "Image24", "*X", {}, {}, abc, {"b"}, "x", "b");
        row("remove typed, not there", "Image24", "y", {}, {}, abc, {"b", "x"}, "y",
            qPrintable(loaded));
    }
    void edits() {
        QFETCH(QString, picture);
        QFETCH(QString, typed);
        QFETCH(QList<int>, selected1);
        QFETCH(QList<int>, selected2);
        Rig r;
        r.fill(1, {"a", "b", "c"}, selected1);
        r.fill(2, {"b", "x"}, selected2);
        r.text("Text1")->setText(typed);
        r.picture(picture);
        QTEST(texts(r.box(1)), "box1");
        QTEST(texts(r.box(2)), "box2");
        QTEST(r.text("Text1")->text(), "shown");
        QTEST(r.f.tp.stored("spyware_urls"), "stored");
    }
};

PAGEWARDEN_TEST_MAIN(TestAntiHijacker, QApplication)
#include "test_anti_hijacker.moc"
