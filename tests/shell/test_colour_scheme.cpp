#include "platform/SettingsBackend.h"
#include "settings/SettingsStore.h"
#include "shell/ColourScheme.h"
#include "shell/ui/FormStyle.h"
#include "shell/ui/PictureButton.h"
#include "support/TestMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>

class TestColourScheme : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<IniSettingsBackend> backend;
    std::unique_ptr<SettingsStore> store;

private slots:
    void init() {
        backend = std::make_unique<IniSettingsBackend>(dir.filePath("s.conf"));
        QFile::remove(dir.filePath("s.conf"));
        store = std::make_unique<SettingsStore>(*backend);
    }

    void unknownNamesChangeNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("lower case") << "gold";
        QTest::newRow("trailing space") << "Blue ";
        QTest::newRow("empty") << "";
        QTest::newRow("other") << "Purple";
    }
    void unknownNamesChangeNothing() {
        QFETCH(QString, name);
        ColourScheme scheme;
        scheme.ApplyColourScheme("Red", *store);
        const ColourScheme before = scheme;
        scheme.ApplyColourScheme(name, *store);
        QCOMPARE(scheme.paintColour(), before.paintColour());
        QCOMPARE(scheme.controlBackColor, before.controlBackColor);
        QCOMPARE(scheme.buttonPicturePath, before.buttonPicturePath);
        QCOMPARE(store->get_option("backgroundcolor"), QStringLiteral("Red"));
    }

    void formStyle_byKindOfControl() {
        ColourScheme scheme;
        scheme.ApplyColourScheme("Red", *store);
        QWidget form;
        form.resize(300, 200);
        auto* label = new QLabel("text", &form);
        label->setAutoFillBackground(true);
        auto* pictureBox = new QLabel(&form);
        markAsPictureBox(*pictureBox);
        auto* frame = new QGroupBox("frame", &form);
        auto* check = new QCheckBox("check", frame);
        auto* option = new QRadioButton("option", &form);
        auto* button = new QPushButton("button", &form);
        auto* combo = new QComboBox(&form);
        auto* text = new QLineEdit(&form);
        auto* list = new QListWidget(&form);
        auto* image = new PictureButton("Image1", "Start", &form);
        const QFont listFont = list->font();
        const QFont imageFont = image->font();

        ApplyFormStyle(form, scheme);

        const QColor back(255, 192, 192);
        for (QWidget* styled :
             std::initializer_list<QWidget*>{label, frame, check, option, button, combo, text}) {
            QVERIFY2(styled->font().bold(), qPrintable(styled->metaObject()->className()));
            QCOMPARE(styled->font().pointSize(), 10);
            QVERIFY(styled->font().families().contains("Tahoma"));
        }
        QVERIFY(!label->autoFillBackground()); // labels are transparent
        for (QWidget* backed : std::initializer_list<QWidget*>{pictureBox, frame, check, option})
            QCOMPARE(backed->palette().color(QPalette::Window), back);
        QCOMPARE(button->palette().color(QPalette::Button), back);
        QVERIFY(!button->palette().brush(QPalette::Button).texture().isNull());
        QCOMPARE(pictureBox->font().bold(), QLabel().font().bold()); // picture boxes keep theirs
        QCOMPARE(list->font(), listFont);
        QCOMPARE(image->font(), imageFont);
        QVERIFY(!form.windowIcon().isNull());
    }

    void formStyle_sizeAndBoldFollowTheStyleTexts() {
        ColourScheme scheme;
        scheme.styleFontSize = "12";
        scheme.styleBold = "True"; // only "true" turns bold on
        QWidget form;
        auto* label = new QLabel("x", &form);
        ApplyFormStyle(form, scheme);
        QCOMPARE(label->font().pointSize(), 12);
        QVERIFY(!label->font().bold());
    }

    void formStyle_emptyFormIsCentredAndGetsItsIcon() {
        ColourScheme scheme;
        QWidget form;
        form.resize(200, 100);
        ApplyFormStyle(form, scheme);
        const QRect screen = form.screen()->geometry();
        QCOMPARE(form.frameGeometry().center().x(), screen.center().x());
        QVERIFY(qAbs(form.frameGeometry().center().y() - screen.center().y()) <= 1);
        QVERIFY(!form.windowIcon().isNull());
    }
};

PAGEWARDEN_TEST_MAIN(TestColourScheme, QApplication)
#include "test_colour_scheme.moc"
