#include "settings/OptionsPanel.h"
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
    void controlsHaveTheirCaptionsAndTips_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        QTest::newRow("kill_popups") << "kill_popups"
                                     << "Kill popups"
                                     << "Kill any popup window without an address bar";
        QTest::newRow("kill_browsers")
            << "kill_browsers"
            << "Kill new browsers"
            << "Any new browsers you open will be closed. Kills any new browser windows which "
               "have an address bar.";
        QTest::newRow("killallbrowsers")
            << "killallbrowsers"
            << "Kill all browser windows"
            << "Kills all browser windows, whether open before starting the program or not";
        QTest::newRow("chkbeep")
            << "chkbeep"
            << "Make sound when blocked"
            << "The program will make a beep sound on each popup kill if checked";
        QTest::newRow("chkHideOnStart") << "chkHideOnStart"
                                        << "Don't show main screen when starting"
                                        << "";
        QTest::newRow("chkStartUp") << "chkStartUp"
                                    << "Start when I log in"
                                    << "";
    }
    void controlsHaveTheirCaptionsAndTips() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, tip);
        WindowFixture f;
        f.make();
        auto* box = f.find<QCheckBox>(name);
        QVERIFY(box);
        QCOMPARE(box->text(), caption);
        QCOMPARE(box->toolTip(), tip);
        QCOMPARE(box->parent()->objectName(), QStringLiteral("Frame5"));
        QCOMPARE(box->checkState(), Qt::Unchecked);
    }

    void groupsAndCommands() {
        WindowFixture f;
        f.make();
        QCOMPARE(f.find<QGroupBox>("Frame5")->title(), QStringLiteral("Popup blocking options"));
        auto* speed = f.find<QComboBox>("popupkillspeed");
        QCOMPARE(qobject_cast<QGroupBox*>(speed->parent())->title(),
                 QStringLiteral("Popup kill speed"));
        QCOMPARE(speed->toolTip(), QStringLiteral("Delay between killing popups"));
        QCOMPARE(f.find<QLabel>("secondsUnit")->text(), QStringLiteral("Seconds"));
        QCOMPARE(qobject_cast<QGroupBox*>(f.find<QComboBox>("secsbeforemin")->parent())->title(),
                 QStringLiteral("Seconds before starting"));
        QCOMPARE(f.find<QPushButton>("Command4")->text(), QStringLiteral("Options"));
        QCOMPARE(f.find<QPushButton>("Command4")->toolTip(),
                 QStringLiteral("Change popup blocking options"));
        QCOMPARE(f.find<QPushButton>("Command8")->text(), QStringLiteral("Reset"));
        QCOMPARE(f.find<QPushButton>("Command8")->toolTip(),
                 QStringLiteral("Reset default values for program"));
        QVERIFY(!f.find<QGroupBox>("Frame5")->isVisibleTo(f.window.get()));
    }

    void pickListsInTheirOrder() {
        WindowFixture f;
        f.load();
        auto items = [](QComboBox* c) {
            QStringList out;
            for (int i = 0; i < c->count(); ++i)
                out << c->itemText(i);
            return out;
        };
        QCOMPARE(items(f.find<QComboBox>("secsbeforemin")),
                 (QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}));
        QCOMPARE(items(f.find<QComboBox>("popupkillspeed")),
                 (QStringList{".05", ".10", ".20", ".25", ".30", ".40", ".50", ".60", ".70", ".80",
                              ".90", "1.00", "1.50", "2.00", "3.00", "4.00", "5.00"}));
    }

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
        f.state.forcePass = false;
        QSignalSpy spy(f.window.get(), &MainWindow::killAllBrowsersClicked);
        f.find<QCheckBox>("killallbrowsers")->click();
        QVERIFY(f.state.forcePass);
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
        QCOMPARE(f.window->secondsBeforeStartText(), QStringLiteral("5"));
        QCOMPARE(f.window->popupKillSpeedText(), QStringLiteral(".2"));
        QVERIFY(f.window->killPopups() && f.window->startUpChecked());
        QVERIFY(!f.window->killBrowsers() && !f.window->beepOnKill());
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
        int presses = 0;
        connect(command3, &QPushButton::clicked, this, [&] { ++presses; });
        command3->setText("Start");
        f.find<QPushButton>("Command4")->click();
        QCOMPARE(presses, 0);
        f.find<QPushButton>("Command4")->click();
        command3->setText("Keep visible");
        f.find<QPushButton>("Command4")->click();
        QCOMPARE(presses, 1);
    }
};

PAGEWARDEN_TEST_MAIN(TestOptionsPanel, QApplication)
#include "test_options_panel.moc"
