#include "app/PictureButton.h"
#include "platform/SettingsBackend.h"
#include "settings/SettingsStore.h"
#include "shell/ColourScheme.h"
#include "shell/FormStyle.h"
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

    void theSchemeTable_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("r");
        QTest::addColumn<int>("g");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("cr");
        QTest::addColumn<int>("cg");
        QTest::addColumn<int>("cb");
        QTest::addColumn<QString>("picture");
        QTest::newRow("Gold") << "Gold" << 255 << 192 << 128 << 255 << 192 << 128 << "gold";
        QTest::newRow("Blue") << "Blue" << 204 << 255 << 255 << 192 << 255 << 255 << "blue";
        QTest::newRow("Bluee") << "Bluee" << 186 << 219 << 226 << 255 << 255 << 255 << "blue";
        QTest::newRow("Txan") << "Txan" << 228 << 21 << 236 << 255 << 224 << 192 << "tan";
        QTest::newRow("Tan") << "Tan" << 255 << 224 << 192 << 255 << 224 << 192 << "tan";
        QTest::newRow("Red") << "Red" << 255 << 204 << 204 << 255 << 192 << 192 << "red";
        QTest::newRow("Green") << "Green" << 225 << 255 << 225 << 255 << 255 << 255 << "green";
    }
    void theSchemeTable() {
        QFETCH(QString, name);
        QFETCH(int, r);
        QFETCH(int, g);
        QFETCH(int, b);
        QFETCH(int, cr);
        QFETCH(int, cg);
        QFETCH(int, cb);
        QFETCH(QString, picture);
        ColourScheme scheme;
        scheme.paintRed = scheme.paintGreen = scheme.paintBlue = 1;
        scheme.ApplyColourScheme(name, *store);
        QCOMPARE(scheme.paintRed, r);
        QCOMPARE(scheme.paintGreen, g);
        QCOMPARE(scheme.paintBlue, b);
        QCOMPARE(scheme.controlBackColor, (Rgb{cr, cg, cb}));
        QCOMPARE(scheme.buttonPicturePath,
                 QStringLiteral(":/pictures/buttons/%1.svg").arg(picture));
        QVERIFY(QFile::exists(scheme.buttonPicturePath));
        QCOMPARE(store->get_option("backgroundcolor"), name);
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
