#include "blocking/BlockingSession.h"
#include "settings/ui/OptionsPanel.h"
#include "support/TestMain.h"
#include "support/WindowFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

class TestOptionsPanel : public QObject {
    Q_OBJECT

private slots:
    void storedValuesShownInThePanel_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("shown");
        QTest::newRow("seconds missing shows the read default") << "secondsbeforeminimize"
                                                                << "<missing>"
                                                                << "secsbeforemin"
                                                                << "0";
        QTest::newRow("seconds empty shows 10") << "secondsbeforeminimize"
                                                << ""
                                                << "secsbeforemin"
                                                << "10";
        QTest::newRow("speed empty shows .2") << "popupkillspeed"
                                              << ""
                                              << "popupkillspeed"
                                              << ".2";
        QTest::newRow("speed missing shows 0") << "popupkillspeed"
                                               << "<missing>"
                                               << "popupkillspeed"
                                               << "0";
        QTest::newRow(".2 stays .2") << "popupkillspeed"
                                     << ".2"
                                     << "popupkillspeed"
                                     << ".2";
        QTest::newRow("typed text kept") << "popupkillspeed"
                                         << "fast please"
                                         << "popupkillspeed"
                                         << "fast please";
        QTest::newRow("spaces kept") << "secondsbeforeminimize"
                                     << " 4 "
                                     << "secsbeforemin"
                                     << " 4 ";
        QTest::newRow("box 1") << "Beep"
                               << "1"
                               << "chkbeep"
                               << "1";
        QTest::newRow("box 0") << "Killpopups"
                               << "0"
                               << "kill_popups"
                               << "0";
        QTest::newRow("box 2 is greyed") << "Killbrowsers"
                                         << "2"
                                         << "kill_browsers"
                                         << "2";
        QTest::newRow("box 7 is the default") << "Beep"
                                              << "7"
                                              << "chkbeep"
                                              << "0";
        QTest::newRow("box text is the default") << "killallbrowsers"
                                                 << "yes"
                                                 << "killallbrowsers"
                                                 << "0";
        QTest::newRow("box -1 is the default") << "HideOnStart"
                                               << "-1"
                                               << "chkHideOnStart"
                                               << "0";
        QTest::newRow("box missing is 0") << "StartUp"
                                          << "<missing>"
                                          << "chkStartUp"
                                          << "0";
    }
    void storedValuesShownInThePanel() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, control);
        QFETCH(QString, shown);
        WindowFixture f;
        f.tp.store("firsttime", "done");
        f.tp.store("wasfirsttime", "false");
        if (stored != QLatin1String("<missing>"))
            f.tp.store(key, stored);
        f.load();
        if (auto* combo = f.find<QComboBox>(control))
            QCOMPARE(combo->currentText(), shown);
        else
            QCOMPARE(OptionsPanel::boxValue(*f.find<QCheckBox>(control)), shown);
    }

    void onlyTheMissingMarkerRepeatsItsStep() {
        // "firsttime" is done but "wasfirsttime" missing: only the start-with-login step repeats.
        WindowFixture f;
        f.tp.store("firsttime", "done");
        f.tp.store("secondsbeforeminimize", "3");
        f.tp.store("StartUp", "1");
        f.load();
        QCOMPARE(f.tp.stored("wasfirsttime"), QStringLiteral("false"));
        QCOMPARE(f.tp.stored("secondsbeforeminimize"), QStringLiteral("3"));
        QVERIFY(f.tp.autostart.hasEntry("Pagewarden 8.0"));

        // "wasfirsttime" known but "firsttime" missing: only the option defaults are stored.
        WindowFixture g;
        g.tp.store("wasfirsttime", "false");
        g.tp.store("StartUp", "0");
        g.load();
        QCOMPARE(g.tp.stored("firsttime"), QStringLiteral("done"));
        QCOMPARE(g.tp.stored("secondsbeforeminimize"), QStringLiteral("7"));
        // The defaults tick the box, which writes the entry while the box is ticked.
        QCOMPARE(g.tp.stored("StartUp"), QStringLiteral("1"));
        QVERIFY(g.tp.autostart.hasEntry("Pagewarden 8.0"));
    }

    void startUpBox_writesAndRemovesTheEntryAtOnce() {
        WindowFixture f;
        f.tp.store("firsttime", "done");
        f.tp.store("wasfirsttime", "false");
        f.tp.store("StartUp", "1");
        f.load();
        QVERIFY(f.tp.autostart.hasEntry("Pagewarden 8.0"));
        auto* box = f.find<QCheckBox>("chkStartUp");
        box->click();
        QVERIFY(!f.tp.autostart.hasEntry("Pagewarden 8.0"));
        QCOMPARE(f.tp.stored("StartUp"), QStringLiteral("0"));
        box->click();
        QCOMPARE(f.tp.autostart.entries.value("Pagewarden 8.0"),
                 QStringLiteral("/opt/pagewarden/bin/pagewarden"));
        QCOMPARE(f.tp.stored("StartUp"), QStringLiteral("1"));
    }

    void beepAndHideOnStartStoreOnClick_othersOnlyAtExit() {
        WindowFixture f;
        f.load();
        f.find<QCheckBox>("chkbeep")->click();
        QCOMPARE(f.tp.stored("Beep"), QStringLiteral("1"));
        f.find<QCheckBox>("chkHideOnStart")->click();
        QCOMPARE(f.tp.stored("HideOnStart"), QStringLiteral("1"));
        f.find<QCheckBox>("kill_browsers")->click();
        f.find<QCheckBox>("kill_popups")->click();
        f.find<QComboBox>("secsbeforemin")->setEditText("9");
        QCOMPARE(f.tp.stored("Killbrowsers"), QStringLiteral("0"));
        QCOMPARE(f.tp.stored("Killpopups"), QStringLiteral("1"));
        QCOMPARE(f.tp.stored("secondsbeforeminimize"), QStringLiteral("7"));
    }

    void killAllBrowsersClick_forcesAPassAndStoresNothing() {
        WindowFixture f;
        f.load();
        QSignalSpy spy(&f.window->options(), &OptionsPanel::killAllBrowsersChanged);
        QVERIFY(!f.window->session().state().forcePass);
        f.find<QCheckBox>("killallbrowsers")->click();
        QVERIFY(f.window->session().state().forcePass);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(f.tp.stored("killallbrowsers"), QStringLiteral("0"));
    }

    void reset_restoresDefaultsWithFiveSeconds_andAlwaysSaysSo() {
        WindowFixture f;
        f.load();
        f.find<QCheckBox>("chkbeep")->click();
        f.find<QCheckBox>("kill_browsers")->click();
        f.find<QCheckBox>("chkStartUp")->click();
        f.find<QComboBox>("popupkillspeed")->setEditText("3.00");
        f.tp.store("firsttime", "0");
        QVERIFY(!f.tp.autostart.hasEntry("Pagewarden 8.0"));
        for (int round = 1; round <= 2; ++round) {
            f.find<QPushButton>("Command8")->click();
            QCOMPARE(f.tp.messages.texts.size(), round);
            QCOMPARE(f.tp.messages.texts.last(),
                     QStringLiteral("Options have been reset to original default settings"));
            QCOMPARE(f.tp.messages.titles.last(), QStringLiteral("Pagewarden 8.0"));
        }
        QCOMPARE(f.window->options().secondsBeforeStartText(), QStringLiteral("5"));
        QCOMPARE(f.window->options().popupKillSpeedText(), QStringLiteral(".2"));
        QVERIFY(f.window->options().killPopups() && f.window->options().startUpChecked());
        QVERIFY(!f.window->options().killBrowsers() && !f.window->options().beepOnKill());
        QCOMPARE(f.tp.stored("secondsbeforeminimize"), QStringLiteral("5"));
        QCOMPARE(f.tp.stored("Killbrowsers"), QStringLiteral("0"));
        QCOMPARE(f.tp.stored("Beep"), QStringLiteral("0"));
        QCOMPARE(f.tp.stored("firsttime"), QStringLiteral("done"));
        QVERIFY(f.tp.autostart.hasEntry("Pagewarden 8.0"));
    }

    void saveAllOptions_storesTheEightKeysFromTheControls() {
        WindowFixture f;
        f.load();
        f.find<QCheckBox>("kill_browsers")->setCheckState(Qt::Checked);
        f.find<QCheckBox>("kill_popups")->setCheckState(Qt::Unchecked);
        f.find<QCheckBox>("killallbrowsers")->setCheckState(Qt::Checked);
        f.find<QComboBox>("secsbeforemin")->setEditText("2");
        f.find<QComboBox>("popupkillspeed")->setEditText(" .7 ");
        f.window->options().save_all_options();
        QCOMPARE(f.tp.stored("Killbrowsers"), QStringLiteral("1"));
        QCOMPARE(f.tp.stored("Killpopups"), QStringLiteral("0"));
        QCOMPARE(f.tp.stored("killallbrowsers"), QStringLiteral("1"));
        QCOMPARE(f.tp.stored("secondsbeforeminimize"), QStringLiteral("2"));
        QCOMPARE(f.tp.stored("popupkillspeed"), QStringLiteral(" .7 "));
    }

    void optionsButton_widensAndRestoresTheWindow() {
        WindowFixture f;
        f.load();
        MainWindow& w = *f.window;
        w.show();
        auto* command4 = f.find<QPushButton>("Command4");
        auto* command3 = f.find<QPushButton>("Command3");
        int command3Presses = 0;
        connect(command3, &QPushButton::clicked, this, [&] { ++command3Presses; });
        const QSize normal = w.size();
        QCOMPARE(w.heightTwips(), 2184);
        command4->click();
        QCOMPARE(command4->text(), QStringLiteral("Hide Options"));
        QVERIFY(f.find<QGroupBox>("Frame5")->isVisible());
        QCOMPARE(w.width(), qRound(normal.width() * 2.25));
        // The panel stops the countdown through "Keep visible" when it still shows that.
        QCOMPARE(command3Presses, 1);
        command4->click();
        QCOMPARE(command4->text(), QStringLiteral("Options"));
        QVERIFY(!f.find<QGroupBox>("Frame5")->isVisible());
        QCOMPARE(w.size(), normal);
        QCOMPARE(w.widthTwips(), w.normalWidth);
        QCOMPARE(w.heightTwips(), w.normalHeight);
    }

    void optionsButton_pressesKeepVisibleOnlyWhileItShowsThat() {
        WindowFixture f;
        f.load();
        auto* command3 = f.find<QPushButton>("Command3");
        auto* command4 = f.find<QPushButton>("Command4");
        int presses = 0;
        connect(command3, &QPushButton::clicked, this, [&] { ++presses; });
        command4->click();
        QCOMPARE(presses, 1);
        QCOMPARE(command3->text(), QStringLiteral("Start"));
        command4->click();
        command4->click(); // "Start" now: opening the options leaves it alone
        QCOMPARE(presses, 1);
    }
};

PAGEWARDEN_TEST_MAIN(TestOptionsPanel, QApplication)
#include "test_options_panel.moc"
