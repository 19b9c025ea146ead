// The form's contract: what commands and users find in the window, by name.

#include "tavomaintest.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QSlider>
#include <QSpinBox>
#include <QTextEdit>

class FormTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void widgetClasses_data();
    void widgetClasses();
    void textsAndTips();
    void palettes_data();
    void palettes();
    void menusAndFonts();
    void initialState();
    void everySlotHasItsSignal();
};

void FormTest::widgetClasses_data()
{
    QTest::addColumn<QString>("names");
    QTest::newRow("QWidget") << "centralWidget settingWidget controlWidget imageWidget";
    QTest::newRow("QLabel") << "label_2 lblInfo label_3 lblCmd lblParam1 lblParam2 lblParam3 "
                               "lblParam4 lblParam5 lblSize label_10 lblHeight lblWidth lblImage";
    QTest::newRow("QPushButton") << "btnOpen btnLaser btnCnc btnGcode btnGray btnBinary btnDither "
                                    "btnInverse btnRelief btnPulverize btnOutline btnSoften "
                                    "btnReset btnScale btnFit btnCrop btnRotate";
    QTest::newRow("QComboBox") << "cmbType cmbParam1";
    QTest::newRow("QLineEdit") << "txtParam2 txtParam3 txtParam4 txtParam5 txtThreshold";
}

void FormTest::widgetClasses()
{
    QFETCH(QString, names);
    for (const QString& name : names.split(' ')) {
        const QList<QWidget*> found = window->findChildren<QWidget*>(name);
        QCOMPARE(found.size(), 1);
        QCOMPARE(name + " " + found.first()->metaObject()->className(),
                 name + " " + QTest::currentDataTag());
    }
}

// Text and tool tip of each widget that has either; every other widget shows
// neither, and none has a status tip or What's This but one.
void FormTest::textsAndTips()
{
    QHash<QString, QString> shown;
    for (const QString& entry :
         QString("label_2=Image File|;btnOpen=Open|Open Image;lblInfo=Image Information: |;"
                 "label_3=Laser/CNC Settings|;btnLaser=Laser|Laser Gcode;btnCnc=CNC|CNC Gcode;"
                 "btnGcode=Gcode|Generate Gcode;label_10=Image Processing|;btnGray=Gray|Gray;"
                 "btnBinary=Binary|Binary;btnDither=Dither|Dither;btnInverse=Inverse|Inverse;"
                 "btnRelief=Relief|Relief;btnPulverize=Pulverize|Pulverize;"
                 "btnOutline=Outline|Outline;btnSoften=Soften|Softening|Soften;"
                 "ckbThreshold=Manual Threshold|;btnReset=Reset|Reset Processing;btnScale=Zoom|;"
                 "btnFit=Fit|;btnCrop=Crop|;btnRotate=Rotate|")
             .split(';'))
        shown.insert(entry.section('=', 0, 0), entry.section('=', 1));
    int found = 0;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.startsWith("qt_") || w->inherits("QAbstractSpinBox"))
            continue; // Qt's own parts, and a number rather than a text
        found += shown.contains(name);
        QString actual = w->property("text").toString() + "|" + w->toolTip();
        if (!w->statusTip().isEmpty())
            actual += "|" + w->statusTip();
        QCOMPARE(name + ": " + actual + w->whatsThis(), name + ": " + shown.value(name, "|"));
    }
    QCOMPARE(found, shown.size());
}

// Each role set, with its colours enabled and disabled; or none at all.
void FormTest::palettes_data()
{
    QTest::addColumn<QString>("roles");
    auto rows = [](const char* roles, const char* names) {
        for (const QString& name : QString(names).split(' '))
            QTest::newRow(qPrintable(name)) << QString(roles);
    };
    rows("WindowText #007f00 #787878", "label_3 label_10");
    rows("WindowText #007f00 #787878, Text #0000ff #787878", "label_2");
    rows("WindowText #646464 #787878", "lblInfo lblParam1 lblParam2 lblParam3 lblParam4 lblParam5");
    rows("WindowText #ff0000 #787878", "lblCmd lblSize ckbThreshold");
    rows("ButtonText #0000ff #787878",
         "btnOpen btnLaser btnCnc btnGray btnBinary btnDither btnInverse btnRelief btnPulverize "
         "btnOutline btnSoften btnReset btnScale btnFit btnCrop btnRotate");
    rows("ButtonText #ff0000 #787878", "btnGcode");
    rows("Text #0000ff #787878",
         "cmbType cmbParam1 txtParam2 txtParam3 txtParam4 txtParam5 txtThreshold spbSize");
    rows("WindowText #000000 #787878, Text #646464 #787878, Base #f0f0f0 #f0f0f0",
         "txtFile txtGcode");
    rows("", "lblHeight lblWidth sldSize scrollArea lblImage imageWidget menuBar");
}

void FormTest::palettes()
{
    QFETCH(QString, roles);
    QWidget* w = widget(*window, QTest::currentDataTag());
    QCOMPARE(w->testAttribute(Qt::WA_SetPalette), !roles.isEmpty());
    const QPalette palette = w->palette();
    QStringList set;
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
        // Qt derives the placeholder colour from Text by itself.
        if ((palette.resolve() & (1u << r)) && r != QPalette::PlaceholderText)
            set << QString("%1 %2 %3")
                       .arg(QMetaEnum::fromType<QPalette::ColorRole>().valueToKey(r),
                            palette.color(QPalette::Active, QPalette::ColorRole(r)).name(),
                            palette.color(QPalette::Disabled, QPalette::ColorRole(r)).name());
    }
    QCOMPARE(set.join(", "), roles);
}

void FormTest::menusAndFonts()
{
    auto isFormFont = [](const QFont& font) {
        return font.family() == "Times New Roman" && font.pointSize() == 12 && font.bold();
    };
    auto* menuBar = widget<QMenuBar>(*window, "menuBar");
    auto* menuFile = widget<QMenu>(*window, "menuFile");
    auto* menuProcessing = widget<QMenu>(*window, "menuProcessing");
    for (QWidget* w : std::initializer_list<QWidget*>{window, menuBar, menuFile, menuProcessing,
                                                      widget(*window, "lblImage")})
        QVERIFY2(isFormFont(w->font()), qPrintable(w->objectName()));
    QCOMPARE(menuBar->actions(),
             (QList<QAction*>{menuFile->menuAction(), menuProcessing->menuAction()}));
    QCOMPARE(menuFile->title() + " " + menuProcessing->title(), QString("File Processing"));
    auto names = [](const QMenu* menu) {
        QStringList result;
        for (const QAction* action : menu->actions())
            result << action->objectName() + "=" + action->text();
        return result.join(' ');
    };
    QCOMPARE(names(menuFile), QString("actionOpen=Open actionSave=Save actionExit=Exit = "
                                      "actionPreviewGcode=Preview G-code… "
                                      "actionShowPreview=Toolpath Preview"));
    QCOMPARE(names(menuProcessing),
             QString("actionGray=Gray actionBinary=Binary actionDither=Dither "
                     "actionInverse=Inverse actionRelief=Relief actionPulverize=Pulverize "
                     "actionOutline=Outline actionSoften=Soften"));
    for (QAction* action : window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY2(action->isEnabled() && action->shortcut().isEmpty() && !action->isCheckable(),
                 qPrintable(action->objectName()));
}

// Before any picture: the panels wait for one, no command has run, and the
// window comes up maximised.
void FormTest::initialState()
{
    QVERIFY(!widget(*window, "controlWidget")->isEnabled());
    QVERIFY(!widget(*window, "imageWidget")->isEnabled());
    QCOMPARE(TavoMainTest::gcodeType(*window), -1);
    QVERIFY(TavoMainTest::workingImage(*window).isNull());

    auto* cmbType = widget<QComboBox>(*window, "cmbType");
    QCOMPARE(cmbType->count(), 2);
    QCOMPARE(cmbType->itemText(0) + cmbType->itemText(1), QString("LineDots"));
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->count(), 0);
    // Minimum, maximum, value: the slider reaches one past the spin box.
    const auto range = [](auto* w) { return QList<int>{w->minimum(), w->maximum(), w->value()}; };
    QCOMPARE(range(widget<QSpinBox>(*window, "spbSize")), (QList<int>{10, 100, 100}));
    QCOMPARE(range(widget<QSlider>(*window, "sldSize")), (QList<int>{10, 101, 100}));
    QVERIFY(!widget(*window, "txtThreshold")->isEnabled());
    for (const char* name : {"txtFile", "txtGcode"})
        QVERIFY2(widget<QTextEdit>(*window, name)->isReadOnly(), name);
    // The seventeen push buttons are the hover buttons: flat until hovered.
    const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 17);
    for (QPushButton* button : buttons)
        QVERIFY2(button->isFlat(), qPrintable(button->objectName()));

    QCOMPARE(window->windowTitle(), QString("TavoMain"));
    QVERIFY(window->isVisible() && window->isMaximized());
    window->showNormal();
    QCOMPARE(window->size(), QSize(1167, 691));
    // The settings column is capped from the designed width, not the screen.
    window->resize(1900, 1000);
    QTRY_COMPARE(widget(*window, "settingWidget")->width(), 340);
}

// connectSlotsByName only warns about a slot without its signal; a typo in a
// name would leave a command silently dead.
void FormTest::everySlotHasItsSignal()
{
    const QMetaObject* meta = window->metaObject();
    int count = 0;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod slot = meta->method(i);
        const QString name = slot.name();
        if (!name.startsWith("on_"))
            continue;
        ++count;
        const int split = name.lastIndexOf('_');
        const QString sender = name.mid(3, split - 3);
        const QByteArray signal =
            name.mid(split + 1).toLatin1() + slot.methodSignature().mid(slot.name().size());
        QObject* object = window->findChild<QObject*>(sender);
        QVERIFY2(object && object->metaObject()->indexOfSignal(signal) >= 0,
                 qPrintable(sender + "." + signal));
    }
    QVERIFY(count >= 12);
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
