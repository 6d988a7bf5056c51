#include "app/FormTimer.h"
#include "app/PictureButton.h"
#include "hijack/ui/PanelPicture.h"
#include "support/FakeBrowser.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QLabel>
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
        browser.addBrowser("http://a.example/");
        browser.addBrowser("http://b.example/");
        browser.addBrowser("http://a.example/");
        FakeWindow folder;
        folder.url = "file:///home/";
        folder.html = false;
        browser.addWindow(folder);
        f.load();
        f.window->timer("Timer8")->setEnabled(false); // no countdown: it would hide the window
    }
    QListWidget* box1() const { return f.find<QListWidget>("lstSourcefields"); }
    QListWidget* box2() const { return f.find<QListWidget>("lstDestinationfields"); }
    QLineEdit* text(const char* name) const { return f.find<QLineEdit>(name); }
    void press(const char* name) const { f.find<QPushButton>(name)->click(); }
    void picture(const char* name) const { f.find<PanelPicture>(name)->click(); }
    void select(QListWidget* box, const QList<int>& rows) const {
        for (int row : rows)
            box->item(row)->setSelected(true);
    }

    FakeBrowser browser;
    WindowFixture f;
};
} // namespace

class TestAntiHijacker : public QObject {
    Q_OBJECT

private slots:
    void load_fillsTheEditorFromTheStoredStateAndTheOpenPages() {
        Rig r;
        QCOMPARE(texts(r.box2()), (QStringList{"bad.example", "worse.example", "bad.example"}));
        QCOMPARE(r.text("Text2")->text(), QStringLiteral("http://home.example/"));
        QCOMPARE(texts(r.box1()), (QStringList{"http://a.example/", "http://b.example/"}));
        QCOMPARE(r.text("Text1")->font().pointSize(), 8);
        QVERIFY(!r.text("Text1")->font().bold());
    }

    void openHelpCloseAndHide() {
        Rig r;
        r.text("Text2")->clear();
        r.browser.addBrowser("http://c.example/");
        QWidget* frame2 = r.f.find<QWidget>("Frame2");
        r.f.find<PictureButton>("Image13")->click(); // presses Command14
        QCOMPARE(r.f.find<QPushButton>("Command14")->text(), QStringLiteral("Hide"));
        QCOMPARE(r.f.window->heightTwips(), 6224);
        QVERIFY(frame2->isVisibleTo(r.f.window.get()));
        QCOMPARE(texts(r.box1()).last(), QStringLiteral("http://c.example/"));
        // No home page yet: the box offers the start of one.
        QCOMPARE(r.f.store->desiredHomeUrl, QStringLiteral("http://"));
        // The countdown stops and the window stays.
        QVERIFY(r.f.state.startCountdownCancelled);
        QVERIFY(r.f.window->keepVisible);
        QCOMPARE(r.f.find<QPushButton>("Command3")->text(), QStringLiteral("Start"));
        QVERIFY(r.f.find<QLabel>("Label2")->isHidden());

        r.press("Command18");
        QCOMPARE(r.f.window->heightTwips(), 8714);
        r.press("Command18");
        QCOMPARE(r.f.window->heightTwips(), 6224);

        r.picture("Image15"); // Close
        QVERIFY(frame2->isHidden());
        QCOMPARE(r.f.window->heightTwips(), 2184);
        QCOMPARE(r.f.tp.stored("desired_home_url"), QStringLiteral("http://"));
        // Close leaves the caption, so the next press takes the closing branch.
        QCOMPARE(r.f.find<QPushButton>("Command14")->text(), QStringLiteral("Hide"));
        r.press("Command14");
        QCOMPARE(r.f.find<QPushButton>("Command14")->text(), QStringLiteral("Anti- Hijacker"));
        QCOMPARE(r.f.window->heightTwips(), 2184);
    }

    void moves_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QList<int>>("selected1");
        QTest::addColumn<QList<int>>("selected2");
        QTest::addColumn<QStringList>("box1");
        QTest::addColumn<QStringList>("box2");
        QTest::addColumn<QString>("stored");
        QTest::newRow("add selected, top to bottom")
            << "Image19" << QList<int>{2, 0} << QList<int>{} << QStringList{"b"}
            << QStringList{"b", "x", "a", "c"} << "b<->x<->a<->c";
        QTest::newRow("add all, shown twice, stored once")
            << "Image22" << QList<int>{} << QList<int>{} << QStringList{}
            << QStringList{"b", "x", "a", "b", "c"} << "b<->x<->a<->c";
        QTest::newRow("remove all") << "Image21" << QList<int>{} << QList<int>{}
                                    << QStringList{"a", "b", "c", "b", "x"} << QStringList{} << "";
        QTest::newRow("remove selected")
            << "Image20" << QList<int>{} << QList<int>{1} << QStringList{"a", "b", "c", "x"}
            << QStringList{"b"} << "b";
        QTest::newRow("add with nothing selected")
            << "Image19" << QList<int>{} << QList<int>{} << QStringList{"a", "b", "c"}
            << QStringList{"b", "x"} << "b<->x";
    }
    void moves() {
        QFETCH(QString, picture);
        QFETCH(QList<int>, selected1);
        QFETCH(QList<int>, selected2);
        Rig r;
        r.box1()->clear();
        r.box1()->addItems({"a", "b", "c"});
        r.box2()->clear();
        r.box2()->addItems({"b", "x"});
        r.select(r.box1(), selected1);
        r.select(r.box2(), selected2);
        r.picture(qPrintable(picture));
        QTEST(texts(r.box1()), "box1");
        QTEST(texts(r.box2()), "box2");
        QTEST(r.f.tp.stored("spyware_urls"), "stored");
        QTEST(r.f.store->hijackPatterns.join("<->"), "stored");
    }

    void typedPatterns_data() {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("box2");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("stored");
        const QStringList start{"x", "bad.example", "bad.example"};
        const QString stored0 = "bad.example<->worse.example<->bad.example"; // as loaded
        QTest::newRow("add") << "Image23"
                             << "  *New.Example* " << (start + QStringList{"new.example"})
                             << "new.example"
                             << "x<->bad.example<->new.example";
        QTest::newRow("add, other letter case")
            << "Image23"
            << "BAD.example" << start << "bad.example" << stored0;
        QTest::newRow("add only stars") << "Image23"
                                        << "**" << start << "" << stored0;
        QTest::newRow("remove the first copy")
            << "Image24"
            << "*BAD.EXAMPLE" << QStringList{"x", "bad.example"} << "bad.example"
            << "x<->bad.example";
        QTest::newRow("remove, not there") << "Image24"
                                           << "y" << start << "y" << stored0;
    }
    void typedPatterns() {
        QFETCH(QString, picture);
        QFETCH(QString, typed);
        Rig r;
        r.box2()->clear();
        r.box2()->addItems({"x", "bad.example", "bad.example"});
        r.text("Text1")->setText(typed);
        r.picture(qPrintable(picture));
        QTEST(texts(r.box2()), "box2");
        QTEST(r.text("Text1")->text(), "shown");
        QTEST(r.f.tp.stored("spyware_urls"), "stored");
    }

    void homePageFromBox1ThenApply() {
        Rig r;
        r.select(r.box1(), {1, 0});
        r.picture("Image17");
        QCOMPARE(r.f.store->desiredHomeUrl, QStringLiteral("http://a.example/"));
        QCOMPARE(r.f.tp.messages.texts, QStringList{"Home page set to:http://a.example/"});
        QCOMPARE(r.f.tp.stored("desired_home_url"), QStringLiteral("http://home.example/"));
        r.text("Text2")->setText("http://mine.example/");
        r.picture("Image18"); // Apply
        QCOMPARE(r.f.tp.stored("desired_home_url"), QStringLiteral("http://mine.example/"));
        QCOMPARE(r.f.tp.messages.texts.last(),
                 QStringLiteral("Home page set to:http://mine.example/"));
    }

    void timer7_ticksOnlyWhileThereIsWork() {
        Rig r;
        const WindowKey hijacked = r.browser.addBrowser("http://bad.example/start");
        FormTimer* timer7 = r.f.window->timer("Timer7");
        auto* image2 = r.f.find<PictureButton>("Image2");
        QVERIFY(!timer7->isEnabled()); // not hidden to the tray with blocking on yet
        image2->setVisible(true);      // as the hide to the tray shows it
        QVERIFY(timer7->isEnabled());
        // The periodic pass finds a window that was open all along.
        QTRY_VERIFY(r.browser.actionLog().contains(
            QStringLiteral("navigate %1 http://home.example/").arg(hijacked)));
        image2->setVisible(false); // as a stop hides it
        QVERIFY(!timer7->isEnabled());
        image2->setVisible(true);
        r.picture("Image21"); // nothing left to look for
        QVERIFY(!timer7->isEnabled());
    }
};

PAGEWARDEN_TEST_MAIN(TestAntiHijacker, QApplication)
#include "test_anti_hijacker.moc"
