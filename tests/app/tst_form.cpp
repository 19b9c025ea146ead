// The form's contract: what every later command and every user relies on
// finding in the window, by name, before any picture is opened.

#include "tavomaintest.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QScrollArea>
#include <QSlider>
#include <QSpacerItem>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextEdit>
#include <QToolBar>

namespace {

constexpr int noLimit = QWIDGETSIZE_MAX;

QStringList split(const char* names)
{
    return QString(names).split(' ');
}

QString describe(QLayoutItem* item)
{
    if (QWidget* w = item->widget())
        return w->objectName();
    if (QLayout* l = item->layout())
        return l->objectName();
    const QSizePolicy policy = item->spacerItem()->sizePolicy();
    return QString("spacer%1x%2:%3/%4")
        .arg(item->sizeHint().width())
        .arg(item->sizeHint().height())
        .arg(policy.horizontalPolicy())
        .arg(policy.verticalPolicy());
}

} // namespace

class FormTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }

    void widgetClasses_data();
    void widgetClasses();
    void layouts_data();
    void layouts();
    void textsAndTips();
    void palettes_data();
    void palettes();
    void sizes_data();
    void sizes();
    void menusAndFonts();
    void initialState();
    void everySlotHasItsSignal();
};

// Each name once, of its class; where the widgets sit is checked by layouts.
void FormTest::widgetClasses_data()
{
    QTest::addColumn<QString>("names");
    QTest::newRow("QWidget") << "centralWidget settingWidget controlWidget imageWidget";
    QTest::newRow("QLabel") << "label_2 lblInfo label_3 lblCmd lblParam1 lblParam2 lblParam3 "
                               "lblParam4 lblParam5 lblSize label_10 lblHeight lblWidth lblImage";
    QTest::newRow("QFrame") << "line line_2 line_3";
    QTest::newRow("QPushButton") << "btnOpen btnLaser btnCnc btnGcode btnGray btnBinary btnDither "
                                    "btnInverse btnRelief btnPulverize btnOutline btnSoften "
                                    "btnReset btnScale btnFit btnCrop btnRotate";
    QTest::newRow("QTextEdit") << "txtFile txtGcode";
    QTest::newRow("QComboBox") << "cmbType cmbParam1";
    QTest::newRow("QLineEdit") << "txtParam2 txtParam3 txtParam4 txtParam5 txtThreshold";
    QTest::newRow("QCheckBox") << "ckbThreshold";
    QTest::newRow("QSpinBox") << "spbSize";
    QTest::newRow("QSlider") << "sldSize";
    QTest::newRow("QScrollArea") << "scrollArea";
    QTest::newRow("QToolBar") << "mainToolBar";
    QTest::newRow("QStatusBar") << "statusBar";
    QTest::newRow("QMenuBar") << "menuBar";
    QTest::newRow("QMenu") << "menuFile menuProcessing";
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

void FormTest::layouts_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("margin");
    QTest::addColumn<QStringList>("items");

    // Spacers by hint and policies: 1/7 is Minimum/Expanding.
    auto row = [](const char* name, const char* owner, int spacing, int margin, const char* items) {
        QTest::newRow(name) << QString(owner) << spacing << margin << split(items);
    };
    row("horizontalLayout_14", "centralWidget", 15, 5, "settingWidget imageWidget");
    row("verticalLayout_3", "settingWidget", 5, 0,
        "horizontalLayout_11 horizontalLayout lblInfo spacer20x40:1/7 controlWidget");
    row("horizontalLayout_11", "verticalLayout_3", 6, 0, "label_2 line");
    row("horizontalLayout", "verticalLayout_3", 0, 0, "btnOpen txtFile");
    row("verticalLayout_2", "controlWidget", 2, 0,
        "horizontalLayout_12 horizontalLayout_3 horizontalLayout_2 horizontalLayout_8 "
        "horizontalLayout_7 horizontalLayout_6 horizontalLayout_5 horizontalLayout_4 btnGcode "
        "lblSize txtGcode spacer20x40:1/7");
    row("horizontalLayout_12", "verticalLayout_2", 6, 0, "label_3 line_2");
    row("horizontalLayout_3", "verticalLayout_2", 6, 0, "btnLaser btnCnc");
    row("horizontalLayout_2", "verticalLayout_2", 6, 0, "cmbType lblCmd");
    row("horizontalLayout_8", "verticalLayout_2", 6, 0, "lblParam1 cmbParam1");
    row("horizontalLayout_7", "verticalLayout_2", 6, 0, "lblParam2 txtParam2");
    row("horizontalLayout_6", "verticalLayout_2", 6, 0, "lblParam3 txtParam3");
    row("horizontalLayout_5", "verticalLayout_2", 6, 0, "lblParam4 txtParam4");
    row("horizontalLayout_4", "verticalLayout_2", 6, 0, "lblParam5 txtParam5");
    row("verticalLayout_4", "imageWidget", 5, 0, "horizontalLayout_13 horizontalLayout_15");
    row("horizontalLayout_13", "verticalLayout_4", 6, 0, "label_10 line_3");
    row("horizontalLayout_15", "verticalLayout_4", 5, 0,
        "verticalLayout_5 lblHeight verticalLayout");
    row("verticalLayout_5", "horizontalLayout_15", 0, 0,
        "btnGray btnBinary btnDither btnInverse btnRelief btnPulverize btnOutline btnSoften "
        "spacer20x40:1/7");
    row("verticalLayout", "horizontalLayout_15", 5, 0,
        "horizontalLayout_9 horizontalLayout_10 lblWidth scrollArea");
    row("horizontalLayout_9", "verticalLayout", 6, 0,
        "verticalLayout_6 btnReset btnScale btnFit btnCrop btnRotate spacer40x20:7/1");
    row("verticalLayout_6", "horizontalLayout_9", 0, 0, "ckbThreshold txtThreshold");
    row("horizontalLayout_10", "verticalLayout", 6, 0, "spbSize sldSize");
    row("horizontalLayout_16", "scrollAreaWidgetContents", 5, 0, "lblImage");
}

void FormTest::layouts()
{
    QFETCH(QString, owner);
    QFETCH(int, spacing);
    QFETCH(int, margin);
    QFETCH(QStringList, items);

    auto* layout = window->findChild<QBoxLayout*>(QTest::currentDataTag());
    QVERIFY(layout);
    // A widget's own layout hangs off the widget, a nested one off its layout.
    QCOMPARE(layout->parent()->objectName(), owner);
    QCOMPARE(layout->spacing(), spacing);
    QCOMPARE(layout->contentsMargins(), QMargins(margin, margin, margin, margin));
    QStringList actual;
    for (int i = 0; i < layout->count(); ++i) // no stretch, no alignment
        actual << describe(layout->itemAt(i)) +
                      (layout->stretch(i) || layout->itemAt(i)->alignment() ? "!" : "");
    QCOMPARE(actual, items);
}

// Text and tool tip of each widget that has either; every other widget of
// the form shows neither, and none has a status tip or What's This but one.
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

// Each role the form sets, as the role, its colour while enabled and while
// disabled. No other role is set (Qt derives the placeholder colour from Text
// by itself), and the rest of the form keeps the window's palette.
void FormTest::palettes_data()
{
    QTest::addColumn<QString>("roles");

    auto rows = [](const char* roles, const char* names) {
        for (const QString& name : split(names))
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
    rows("", "line line_2 line_3 lblHeight lblWidth sldSize scrollArea lblImage settingWidget "
             "controlWidget imageWidget centralWidget mainToolBar statusBar menuBar menuFile "
             "menuProcessing");
}

void FormTest::palettes()
{
    QFETCH(QString, roles);

    QWidget* w = widget(*window, QTest::currentDataTag());
    QCOMPARE(w->testAttribute(Qt::WA_SetPalette), !roles.isEmpty());
    const QPalette palette = w->palette();
    QStringList set;
    for (int r = 0; r < QPalette::NColorRoles; ++r) {
        const auto role = QPalette::ColorRole(r);
        if (!(palette.resolve() & (1u << r)) || role == QPalette::PlaceholderText)
            continue;
        const QBrush active = palette.brush(QPalette::Active, role);
        const QBrush disabled = palette.brush(QPalette::Disabled, role);
        const bool plain = palette.brush(QPalette::Inactive, role) == active &&
                           active.style() == Qt::SolidPattern &&
                           disabled.style() == Qt::SolidPattern;
        set << QString("%1 %2 %3%4")
                   .arg(QMetaEnum::fromType<QPalette::ColorRole>().valueToKey(r),
                        active.color().name(), disabled.color().name(),
                        plain ? "" : " (not a plain colour)");
    }
    QCOMPARE(set.join(", "), roles);
}

void FormTest::sizes_data()
{
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");

    const int P = QSizePolicy::Preferred, E = QSizePolicy::Expanding, F = QSizePolicy::Fixed,
              M = QSizePolicy::Minimum;
    auto rows = [](const char* names, QSize minimum, QSize maximum, int h, int v) {
        for (const QString& name : split(names))
            QTest::newRow(qPrintable(name)) << minimum << maximum << h << v;
    };
    const QSize none(noLimit, noLimit);
    rows("label_2 lblInfo label_3 label_10 lblSize", QSize(0, 30), none, P, P);
    rows("line line_2 line_3 sldSize", QSize(0, 0), none, E, P);
    rows("btnOpen", QSize(90, 50), QSize(90, noLimit), M, F);
    rows("txtFile", QSize(0, 0), QSize(noLimit, 50), E, P);
    rows("btnLaser btnCnc btnGcode", QSize(0, 50), none, M, F);
    rows("cmbType cmbParam1 txtParam2 txtParam3 txtParam4 txtParam5", QSize(0, 30), none, P, F);
    rows("txtGcode", QSize(0, 30), none, E, E);
    rows("btnGray btnBinary btnDither btnInverse btnRelief btnPulverize btnOutline btnSoften "
         "btnReset btnScale btnFit btnCrop btnRotate",
         QSize(70, 60), none, P, P);
    rows("lblHeight", QSize(0, 0), QSize(1, noLimit), P, E);
    rows("ckbThreshold", QSize(0, 25), none, M, F);
    rows("txtThreshold", QSize(0, 30), QSize(145, noLimit), P, F);
    rows("spbSize", QSize(70, 25), none, P, P);
    rows("lblWidth", QSize(0, 0), QSize(noLimit, 1), E, P);
    rows("lblImage", QSize(0, 0), none, E, E);
}

void FormTest::sizes()
{
    QFETCH(QSize, minimum);
    QFETCH(QSize, maximum);
    QFETCH(int, horizontal);
    QFETCH(int, vertical);

    QWidget* w = widget(*window, QTest::currentDataTag());
    QCOMPARE(w->minimumSize(), minimum);
    QCOMPARE(w->maximumSize(), maximum);
    const QSizePolicy policy = w->sizePolicy();
    QCOMPARE(int(policy.horizontalPolicy()), horizontal);
    QCOMPARE(int(policy.verticalPolicy()), vertical);
    QCOMPARE(policy.horizontalStretch() + policy.verticalStretch(), 0);
}

void FormTest::menusAndFonts()
{
    auto isFormFont = [](const QFont& font) {
        return font.family() == "Times New Roman" && font.pointSize() == 12 && font.bold() &&
               font.weight() == 75;
    };
    auto* menuBar = widget<QMenuBar>(*window, "menuBar");
    auto* menuFile = widget<QMenu>(*window, "menuFile");
    auto* menuProcessing = widget<QMenu>(*window, "menuProcessing");
    // The form's font, set on the window and again on the menus, inherited
    // by every other widget.
    for (QWidget* w : std::initializer_list<QWidget*>{window, menuBar, menuFile, menuProcessing})
        QVERIFY2(isFormFont(w->font()) && w->testAttribute(Qt::WA_SetFont),
                 qPrintable(w->objectName()));
    QVERIFY(isFormFont(widget(*window, "btnGcode")->font()));
    QVERIFY(isFormFont(widget(*window, "lblImage")->font()));
    QCOMPARE(window->menuBar(), menuBar);
    QCOMPARE(menuBar->actions(),
             (QList<QAction*>{menuFile->menuAction(), menuProcessing->menuAction()}));
    QCOMPARE(menuFile->title() + " " + menuProcessing->title(), QString("File Processing"));
    // Each action as name=text, + where it carries a font of its own.
    auto names = [](const QMenu* menu) {
        QStringList result;
        for (const QAction* action : menu->actions())
            result << action->objectName() + "=" + action->text() +
                          (action->font().resolve() ? "+" : "");
        return result.join(' ');
    };
    QCOMPARE(names(menuFile), QString("actionOpen=Open actionSave=Save actionExit=Exit"));
    QCOMPARE(names(menuProcessing),
             QString("actionGray=Gray+ actionBinary=Binary+ actionDither=Dither+ "
                     "actionInverse=Inverse+ actionRelief=Relief+ actionPulverize=Pulverize+ "
                     "actionOutline=Outline+ actionSoften=Soften+"));
    // Plain commands: no shortcut, icon, check mark or status tip; the form's
    // font where they have one.
    for (QAction* action : window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY2(action->isEnabled() && action->shortcut().isEmpty() && action->icon().isNull() &&
                     !action->isCheckable() && action->statusTip().isEmpty() &&
                     (!action->font().resolve() || isFormFont(action->font())),
                 qPrintable(action->objectName()));

    auto* toolBar = widget<QToolBar>(*window, "mainToolBar");
    QVERIFY(toolBar->actions().isEmpty());
    QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(window->statusBar(), widget<QStatusBar>(*window, "statusBar"));
    QCOMPARE(window->centralWidget(), widget(*window, "centralWidget"));
}

// As built, before any picture: the panels wait for one, no command has run,
// and the window comes up maximised.
void FormTest::initialState()
{
    QVERIFY(!widget(*window, "controlWidget")->isEnabled() &&
            !widget(*window, "imageWidget")->isEnabled());
    QVERIFY(widget(*window, "btnOpen")->isEnabled() && widget(*window, "menuBar")->isEnabled());
    QVERIFY(dialogs->prompts().isEmpty());
    QCOMPARE(TavoMainTest::gcodeType(*window), -1);
    QCOMPARE(TavoMainTest::rotated(*window), false);
    QVERIFY(TavoMainTest::workingImage(*window).isNull());

    auto* cmbType = widget<QComboBox>(*window, "cmbType");
    QCOMPARE(cmbType->count(), 2);
    QCOMPARE(cmbType->itemText(0) + " " + cmbType->itemText(1), QString("Line Dots"));
    QCOMPARE(cmbType->currentIndex(), 0);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->count(), 0);

    // Minimum, maximum, value: the slider reaches one past the spin box.
    const auto range = [](auto* w) { return QList<int>{w->minimum(), w->maximum(), w->value()}; };
    QCOMPARE(range(widget<QSpinBox>(*window, "spbSize")), (QList<int>{10, 100, 100}));
    QCOMPARE(range(widget<QSlider>(*window, "sldSize")), (QList<int>{10, 101, 100}));
    QVERIFY(!widget<QCheckBox>(*window, "ckbThreshold")->isChecked());
    auto* txtThreshold = widget<QLineEdit>(*window, "txtThreshold");
    QVERIFY(!txtThreshold->isEnabled() && !txtThreshold->isReadOnly());
    QVERIFY(txtThreshold->isClearButtonEnabled());
    for (const char* name : {"txtFile", "txtGcode"})
        QVERIFY2(widget<QTextEdit>(*window, name)->isReadOnly() &&
                     widget<QTextEdit>(*window, name)->toPlainText().isEmpty(),
                 name);
    // The seventeen push buttons are the hover buttons: flat until hovered.
    const QList<QPushButton*> buttons = window->findChildren<QPushButton*>();
    QCOMPARE(buttons.size(), 17);
    for (QPushButton* button : buttons) {
        QVERIFY2(button->isFlat(), qPrintable(button->objectName()));
        QCOMPARE(button->isDefault(), button->objectName() == "btnOpen");
    }

    auto* scrollArea = widget<QScrollArea>(*window, "scrollArea");
    QVERIFY(scrollArea->widgetResizable());
    QCOMPARE(scrollArea->alignment(), Qt::AlignCenter);
    QCOMPARE(scrollArea->widget()->objectName(), QString("scrollAreaWidgetContents"));
    auto* lblImage = widget<QLabel>(*window, "lblImage");
    QCOMPARE(lblImage->alignment(), Qt::AlignCenter);

    QCOMPARE(window->windowTitle(), QString("TavoMain"));
    QCOMPARE(window->windowModality(), Qt::WindowModal);
    QVERIFY(window->isVisible() && window->isMaximized());
    // Taken from the designed width, 1167 * 7 / 24, not from the screen.
    auto* settingWidget = widget(*window, "settingWidget");
    QCOMPARE(settingWidget->maximumWidth(), 340);
    QVERIFY(settingWidget->width() <= 340);

    window->showNormal();
    QCOMPARE(window->size(), QSize(1167, 691));
    window->resize(1900, 1000);
    QCOMPARE(settingWidget->maximumWidth(), 340);
    QTRY_COMPARE(settingWidget->width(), 340);
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
        QVERIFY2(object, qPrintable(sender));
        QVERIFY2(object->metaObject()->indexOfSignal(signal) >= 0,
                 qPrintable(sender + "." + signal));
    }
    QVERIFY(count >= 12);
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
