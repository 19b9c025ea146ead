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

struct Role
{
    QPalette::ColorRole role;
    QColor normal; // Active and Inactive
    QColor disabled;
};

QList<Role> schemeRoles(char name)
{
    const QColor gray(120, 120, 120);
    switch (name) {
    case 'A':
        return {{QPalette::WindowText, QColor(0, 127, 0), gray}};
    case 'B':
        return {{QPalette::WindowText, QColor(0, 127, 0), gray},
                {QPalette::Text, QColor(0, 0, 255), gray}};
    case 'C':
        return {{QPalette::WindowText, QColor(100, 100, 100), gray}};
    case 'D':
        return {{QPalette::WindowText, QColor(255, 0, 0), gray}};
    case 'E':
        return {{QPalette::ButtonText, QColor(0, 0, 255), gray}};
    case 'F':
        return {{QPalette::ButtonText, QColor(255, 0, 0), gray}};
    case 'G':
        return {{QPalette::Text, QColor(0, 0, 255), gray}};
    case 'H':
        return {{QPalette::WindowText, QColor(0, 0, 0), gray},
                {QPalette::Text, QColor(100, 100, 100), gray},
                {QPalette::Base, QColor(240, 240, 240), QColor(240, 240, 240)}};
    }
    return {};
}

QString describe(QLayoutItem* item)
{
    if (QWidget* w = item->widget())
        return w->objectName();
    if (QLayout* l = item->layout())
        return l->objectName();
    if (QSpacerItem* spacer = item->spacerItem()) {
        const QSizePolicy policy = spacer->sizePolicy();
        return QString("spacer %1x%2 %3/%4")
            .arg(spacer->sizeHint().width())
            .arg(spacer->sizeHint().height())
            .arg(policy.horizontalPolicy() == QSizePolicy::Expanding ? "Expanding" : "Minimum")
            .arg(policy.verticalPolicy() == QSizePolicy::Expanding ? "Expanding" : "Minimum");
    }
    return "?";
}

} // namespace

class FormTest : public QObject, protected WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }
    void init();
    void cleanup();

    void widgetTree_data();
    void widgetTree();
    void layouts_data();
    void layouts();
    void texts_data();
    void texts();
    void onlyNamedWidgetsHaveTips();
    void palettes_data();
    void palettes();
    void sizes_data();
    void sizes();
    void fonts();
    void menusAndBars();
    void initialState();
    void windowGeometry();
    void everySlotHasItsSignal();
    void buildingRunsNoCommand();
};

void FormTest::init()
{
    setUpWindow();
}

void FormTest::cleanup()
{
    dialogs->answerQuestion(Dialogs::Yes);
    window->close();
    tearDownWindow();
}

void FormTest::widgetTree_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("parentName");

    auto row = [](const char* name, const char* className, const char* parent) {
        QTest::newRow(name) << QString(className) << QString(parent);
    };
    row("centralWidget", "QWidget", "TavoMain");
    row("settingWidget", "QWidget", "centralWidget");
    row("label_2", "QLabel", "settingWidget");
    row("line", "QFrame", "settingWidget");
    row("btnOpen", "QPushButton", "settingWidget");
    row("txtFile", "QTextEdit", "settingWidget");
    row("lblInfo", "QLabel", "settingWidget");
    row("controlWidget", "QWidget", "settingWidget");
    row("label_3", "QLabel", "controlWidget");
    row("line_2", "QFrame", "controlWidget");
    row("btnLaser", "QPushButton", "controlWidget");
    row("btnCnc", "QPushButton", "controlWidget");
    row("cmbType", "QComboBox", "controlWidget");
    row("lblCmd", "QLabel", "controlWidget");
    row("lblParam1", "QLabel", "controlWidget");
    row("cmbParam1", "QComboBox", "controlWidget");
    for (const char* name : {"lblParam2", "lblParam3", "lblParam4", "lblParam5"})
        row(name, "QLabel", "controlWidget");
    for (const char* name : {"txtParam2", "txtParam3", "txtParam4", "txtParam5"})
        row(name, "QLineEdit", "controlWidget");
    row("btnGcode", "QPushButton", "controlWidget");
    row("lblSize", "QLabel", "controlWidget");
    row("txtGcode", "QTextEdit", "controlWidget");
    row("imageWidget", "QWidget", "centralWidget");
    row("label_10", "QLabel", "imageWidget");
    row("line_3", "QFrame", "imageWidget");
    for (const char* name :
         {"btnGray", "btnBinary", "btnDither", "btnInverse", "btnRelief", "btnPulverize",
          "btnOutline", "btnSoften", "btnReset", "btnScale", "btnFit", "btnCrop", "btnRotate"})
        row(name, "QPushButton", "imageWidget");
    row("lblHeight", "QLabel", "imageWidget");
    row("ckbThreshold", "QCheckBox", "imageWidget");
    row("txtThreshold", "QLineEdit", "imageWidget");
    row("spbSize", "QSpinBox", "imageWidget");
    row("sldSize", "QSlider", "imageWidget");
    row("lblWidth", "QLabel", "imageWidget");
    row("scrollArea", "QScrollArea", "imageWidget");
    row("lblImage", "QLabel", "scrollAreaWidgetContents");
    row("mainToolBar", "QToolBar", "TavoMain");
    row("statusBar", "QStatusBar", "TavoMain");
    row("menuBar", "QMenuBar", "TavoMain");
    row("menuFile", "QMenu", "menuBar");
    row("menuProcessing", "QMenu", "menuBar");
}

void FormTest::widgetTree()
{
    QFETCH(QString, className);
    QFETCH(QString, parentName);

    const QString name = QTest::currentDataTag();
    const QList<QWidget*> found = window->findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QString(found.first()->metaObject()->className()), className);
    QCOMPARE(found.first()->parent()->objectName(), parentName);
}

void FormTest::layouts_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<int>("margin");
    QTest::addColumn<QStringList>("items");

    const QString vSpacer = "spacer 20x40 Minimum/Expanding";
    QTest::newRow("horizontalLayout_14")
        << "centralWidget" << 15 << 5 << QStringList{"settingWidget", "imageWidget"};
    QTest::newRow("verticalLayout_3") << "settingWidget" << 5 << 0
                                      << QStringList{"horizontalLayout_11", "horizontalLayout",
                                                     "lblInfo", vSpacer, "controlWidget"};
    QTest::newRow("horizontalLayout_11")
        << "verticalLayout_3" << 6 << 0 << QStringList{"label_2", "line"};
    QTest::newRow("horizontalLayout")
        << "verticalLayout_3" << 0 << 0 << QStringList{"btnOpen", "txtFile"};
    QTest::newRow("verticalLayout_2") << "controlWidget" << 2 << 0
                                      << QStringList{"horizontalLayout_12",
                                                     "horizontalLayout_3",
                                                     "horizontalLayout_2",
                                                     "horizontalLayout_8",
                                                     "horizontalLayout_7",
                                                     "horizontalLayout_6",
                                                     "horizontalLayout_5",
                                                     "horizontalLayout_4",
                                                     "btnGcode",
                                                     "lblSize",
                                                     "txtGcode",
                                                     vSpacer};
    QTest::newRow("horizontalLayout_12")
        << "verticalLayout_2" << 6 << 0 << QStringList{"label_3", "line_2"};
    QTest::newRow("horizontalLayout_3")
        << "verticalLayout_2" << 6 << 0 << QStringList{"btnLaser", "btnCnc"};
    QTest::newRow("horizontalLayout_2")
        << "verticalLayout_2" << 6 << 0 << QStringList{"cmbType", "lblCmd"};
    QTest::newRow("horizontalLayout_8")
        << "verticalLayout_2" << 6 << 0 << QStringList{"lblParam1", "cmbParam1"};
    QTest::newRow("horizontalLayout_7")
        << "verticalLayout_2" << 6 << 0 << QStringList{"lblParam2", "txtParam2"};
    QTest::newRow("horizontalLayout_6")
        << "verticalLayout_2" << 6 << 0 << QStringList{"lblParam3", "txtParam3"};
    QTest::newRow("horizontalLayout_5")
        << "verticalLayout_2" << 6 << 0 << QStringList{"lblParam4", "txtParam4"};
    QTest::newRow("horizontalLayout_4")
        << "verticalLayout_2" << 6 << 0 << QStringList{"lblParam5", "txtParam5"};
    QTest::newRow("verticalLayout_4")
        << "imageWidget" << 5 << 0 << QStringList{"horizontalLayout_13", "horizontalLayout_15"};
    QTest::newRow("horizontalLayout_13")
        << "verticalLayout_4" << 6 << 0 << QStringList{"label_10", "line_3"};
    QTest::newRow("horizontalLayout_15")
        << "verticalLayout_4" << 5 << 0
        << QStringList{"verticalLayout_5", "lblHeight", "verticalLayout"};
    QTest::newRow("verticalLayout_5")
        << "horizontalLayout_15" << 0 << 0
        << QStringList{"btnGray",      "btnBinary",  "btnDither", "btnInverse", "btnRelief",
                       "btnPulverize", "btnOutline", "btnSoften", vSpacer};
    QTest::newRow("verticalLayout")
        << "horizontalLayout_15" << 5 << 0
        << QStringList{"horizontalLayout_9", "horizontalLayout_10", "lblWidth", "scrollArea"};
    QTest::newRow("horizontalLayout_9") << "verticalLayout" << 6 << 0
                                        << QStringList{"verticalLayout_6",
                                                       "btnReset",
                                                       "btnScale",
                                                       "btnFit",
                                                       "btnCrop",
                                                       "btnRotate",
                                                       "spacer 40x20 Expanding/Minimum"};
    QTest::newRow("verticalLayout_6")
        << "horizontalLayout_9" << 0 << 0 << QStringList{"ckbThreshold", "txtThreshold"};
    QTest::newRow("horizontalLayout_10")
        << "verticalLayout" << 6 << 0 << QStringList{"spbSize", "sldSize"};
    QTest::newRow("horizontalLayout_16")
        << "scrollAreaWidgetContents" << 5 << 0 << QStringList{"lblImage"};
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
    for (int i = 0; i < layout->count(); ++i) {
        actual << describe(layout->itemAt(i));
        QCOMPARE(layout->stretch(i), 0);
        QCOMPARE(layout->itemAt(i)->alignment(), Qt::Alignment());
    }
    QCOMPARE(actual, items);
}

void FormTest::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("toolTip");

    auto row = [](const char* name, const char* text, const char* toolTip = "") {
        QTest::newRow(name) << QString(text) << QString(toolTip);
    };
    row("label_2", "Image File");
    row("btnOpen", "Open", "Open Image");
    row("lblInfo", "Image Information: ");
    row("label_3", "Laser/CNC Settings");
    row("btnLaser", "Laser", "Laser Gcode");
    row("btnCnc", "CNC", "CNC Gcode");
    for (const char* name : {"lblCmd", "lblParam1", "lblParam2", "lblParam3", "lblParam4",
                             "lblParam5", "lblSize", "lblHeight", "lblWidth", "lblImage",
                             "txtParam2", "txtParam3", "txtParam4", "txtParam5", "txtThreshold"})
        row(name, "");
    row("btnGcode", "Gcode", "Generate Gcode");
    row("label_10", "Image Processing");
    row("btnGray", "Gray", "Gray");
    row("btnBinary", "Binary", "Binary");
    row("btnDither", "Dither", "Dither");
    row("btnInverse", "Inverse", "Inverse");
    row("btnRelief", "Relief", "Relief");
    row("btnPulverize", "Pulverize", "Pulverize");
    row("btnOutline", "Outline", "Outline");
    row("btnSoften", "Soften", "Softening");
    row("ckbThreshold", "Manual Threshold");
    row("btnReset", "Reset", "Reset Processing");
    row("btnScale", "Zoom");
    row("btnFit", "Fit");
    row("btnCrop", "Crop");
    row("btnRotate", "Rotate");
}

void FormTest::texts()
{
    QFETCH(QString, text);
    QFETCH(QString, toolTip);

    QWidget* w = widget(*window, QTest::currentDataTag());
    QCOMPARE(w->property("text").toString(), text);
    QCOMPARE(w->toolTip(), toolTip);
}

void FormTest::onlyNamedWidgetsHaveTips()
{
    const QStringList withToolTip = {"btnOpen",   "btnLaser",     "btnCnc",     "btnGcode",
                                     "btnGray",   "btnBinary",    "btnDither",  "btnInverse",
                                     "btnRelief", "btnPulverize", "btnOutline", "btnSoften",
                                     "btnReset"};
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (!withToolTip.contains(name))
            QVERIFY2(w->toolTip().isEmpty(), qPrintable(name));
        QCOMPARE(w->statusTip(), name == "btnSoften" ? QString("Soften") : QString());
        QCOMPARE(w->whatsThis(), QString());
    }
    for (QAction* action : window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
        QVERIFY(action->statusTip().isEmpty());
        QVERIFY(action->shortcut().isEmpty());
        QVERIFY(action->icon().isNull());
        QVERIFY(!action->isCheckable());
    }
}

void FormTest::palettes_data()
{
    QTest::addColumn<char>("scheme");

    auto rows = [](char scheme, std::initializer_list<const char*> names) {
        for (const char* name : names)
            QTest::newRow(name) << scheme;
    };
    rows('A', {"label_3", "label_10"});
    rows('B', {"label_2"});
    rows('C', {"lblInfo", "lblParam1", "lblParam2", "lblParam3", "lblParam4", "lblParam5"});
    rows('D', {"lblCmd", "lblSize", "ckbThreshold"});
    rows('E', {"btnOpen", "btnLaser", "btnCnc", "btnGray", "btnBinary", "btnDither", "btnInverse",
               "btnRelief", "btnPulverize", "btnOutline", "btnSoften", "btnReset", "btnScale",
               "btnFit", "btnCrop", "btnRotate"});
    rows('F', {"btnGcode"});
    rows('G', {"cmbType", "cmbParam1", "txtParam2", "txtParam3", "txtParam4", "txtParam5",
               "txtThreshold", "spbSize"});
    rows('H', {"txtFile", "txtGcode"});
    // Everything else keeps the window's palette.
    rows(0, {"line", "line_2", "line_3", "lblHeight", "lblWidth", "sldSize", "scrollArea",
             "lblImage", "settingWidget", "controlWidget", "imageWidget", "centralWidget",
             "mainToolBar", "statusBar", "menuBar", "menuFile", "menuProcessing"});
}

void FormTest::palettes()
{
    QFETCH(char, scheme);

    QWidget* w = widget(*window, QTest::currentDataTag());
    if (!scheme) {
        QVERIFY(!w->testAttribute(Qt::WA_SetPalette));
        return;
    }
    QVERIFY(w->testAttribute(Qt::WA_SetPalette));
    const QPalette palette = w->palette();
    uint roles = 0;
    for (const Role& role : schemeRoles(scheme)) {
        roles |= 1u << role.role;
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            QCOMPARE(palette.brush(group, role.role).color(), role.normal);
            QCOMPARE(palette.brush(group, role.role).style(), Qt::SolidPattern);
        }
        QCOMPARE(palette.brush(QPalette::Disabled, role.role).color(), role.disabled);
        QCOMPARE(palette.brush(QPalette::Disabled, role.role).style(), Qt::SolidPattern);
    }
    // Built from scratch: no role beyond the scheme's is fixed (Qt derives
    // the placeholder colour from Text by itself).
    QCOMPARE(palette.resolve() & ~(1u << QPalette::PlaceholderText), roles);
}

void FormTest::sizes_data()
{
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QSize>("maximum");
    QTest::addColumn<int>("horizontal");
    QTest::addColumn<int>("vertical");

    const int P = QSizePolicy::Preferred, E = QSizePolicy::Expanding, F = QSizePolicy::Fixed,
              M = QSizePolicy::Minimum;
    auto row = [](const char* name, QSize minimum, QSize maximum, int h, int v) {
        QTest::newRow(name) << minimum << maximum << h << v;
    };
    const QSize none(noLimit, noLimit);
    for (const char* name : {"label_2", "lblInfo", "label_3", "label_10", "lblSize"})
        row(name, QSize(0, 30), none, P, P);
    for (const char* name : {"line", "line_2", "line_3"})
        row(name, QSize(0, 0), none, E, P);
    row("btnOpen", QSize(90, 50), QSize(90, noLimit), M, F);
    row("txtFile", QSize(0, 0), QSize(noLimit, 50), E, P);
    row("btnLaser", QSize(0, 50), none, M, F);
    row("btnCnc", QSize(0, 50), none, M, F);
    row("btnGcode", QSize(0, 50), none, M, F);
    row("cmbType", QSize(0, 30), none, P, F);
    row("cmbParam1", QSize(0, 30), none, P, F);
    for (const char* name : {"txtParam2", "txtParam3", "txtParam4", "txtParam5"})
        row(name, QSize(0, 30), none, P, F);
    row("txtGcode", QSize(0, 30), none, E, E);
    for (const char* name :
         {"btnGray", "btnBinary", "btnDither", "btnInverse", "btnRelief", "btnPulverize",
          "btnOutline", "btnSoften", "btnReset", "btnScale", "btnFit", "btnCrop", "btnRotate"})
        row(name, QSize(70, 60), none, P, P);
    row("lblHeight", QSize(0, 0), QSize(1, noLimit), P, E);
    row("ckbThreshold", QSize(0, 25), none, M, F);
    row("txtThreshold", QSize(0, 30), QSize(145, noLimit), P, F);
    row("spbSize", QSize(70, 25), none, P, P);
    row("sldSize", QSize(0, 0), none, E, P);
    row("lblWidth", QSize(0, 0), QSize(noLimit, 1), E, P);
    row("lblImage", QSize(0, 0), none, E, E);
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
    QCOMPARE(int(w->sizePolicy().horizontalPolicy()), horizontal);
    QCOMPARE(int(w->sizePolicy().verticalPolicy()), vertical);
    QCOMPARE(w->sizePolicy().horizontalStretch(), 0);
    QCOMPARE(w->sizePolicy().verticalStretch(), 0);
}

void FormTest::fonts()
{
    auto isFormFont = [](const QFont& font) {
        return font.family() == "Times New Roman" && font.pointSize() == 12 && font.bold() &&
               font.weight() == 75;
    };
    QVERIFY(isFormFont(window->font()));
    QVERIFY(window->testAttribute(Qt::WA_SetFont));
    // Inherited by every widget of the form, set explicitly on the menus.
    QVERIFY(isFormFont(widget(*window, "btnGcode")->font()));
    QVERIFY(isFormFont(widget(*window, "lblImage")->font()));
    for (const char* name : {"menuBar", "menuFile", "menuProcessing"}) {
        QVERIFY2(isFormFont(widget(*window, name)->font()), name);
        QVERIFY2(widget(*window, name)->testAttribute(Qt::WA_SetFont), name);
    }
    for (const char* name : {"actionGray", "actionBinary", "actionDither", "actionInverse",
                             "actionRelief", "actionPulverize", "actionOutline", "actionSoften"})
        QVERIFY2(isFormFont(window->findChild<QAction*>(name)->font()), name);
    for (const char* name : {"actionOpen", "actionSave", "actionExit"})
        QCOMPARE(window->findChild<QAction*>(name)->font().resolve(), 0u);
}

void FormTest::menusAndBars()
{
    auto* menuBar = widget<QMenuBar>(*window, "menuBar");
    auto* menuFile = widget<QMenu>(*window, "menuFile");
    auto* menuProcessing = widget<QMenu>(*window, "menuProcessing");
    QCOMPARE(window->menuBar(), menuBar);
    QCOMPARE(menuBar->actions(),
             (QList<QAction*>{menuFile->menuAction(), menuProcessing->menuAction()}));
    QCOMPARE(menuFile->title(), QString("File"));
    QCOMPARE(menuProcessing->title(), QString("Processing"));

    auto names = [](const QMenu* menu) {
        QStringList result;
        for (const QAction* action : menu->actions())
            result << action->objectName() + "=" + action->text();
        return result;
    };
    QCOMPARE(names(menuFile),
             (QStringList{"actionOpen=Open", "actionSave=Save", "actionExit=Exit"}));
    QCOMPARE(names(menuProcessing), (QStringList{"actionGray=Gray", "actionBinary=Binary",
                                                 "actionDither=Dither", "actionInverse=Inverse",
                                                 "actionRelief=Relief", "actionPulverize=Pulverize",
                                                 "actionOutline=Outline", "actionSoften=Soften"}));
    for (QAction* action : window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
        QVERIFY(action->isEnabled());

    auto* toolBar = widget<QToolBar>(*window, "mainToolBar");
    QVERIFY(toolBar->actions().isEmpty());
    QCOMPARE(window->toolBarArea(toolBar), Qt::TopToolBarArea);
    QCOMPARE(window->statusBar(), widget<QStatusBar>(*window, "statusBar"));
    QCOMPARE(window->centralWidget(), widget(*window, "centralWidget"));
}

void FormTest::initialState()
{
    // The panels wait for a picture; opening one stays possible.
    QVERIFY(!widget(*window, "controlWidget")->isEnabled());
    QVERIFY(!widget(*window, "imageWidget")->isEnabled());
    QVERIFY(widget(*window, "btnOpen")->isEnabled());
    QVERIFY(widget(*window, "menuBar")->isEnabled());

    auto* cmbType = widget<QComboBox>(*window, "cmbType");
    QCOMPARE(cmbType->count(), 2);
    QCOMPARE(cmbType->itemText(0), QString("Line"));
    QCOMPARE(cmbType->itemText(1), QString("Dots"));
    QCOMPARE(cmbType->currentIndex(), 0);
    QCOMPARE(widget<QComboBox>(*window, "cmbParam1")->count(), 0);
    QVERIFY(!widget<QComboBox>(*window, "cmbParam1")->isEditable());

    auto* spbSize = widget<QSpinBox>(*window, "spbSize");
    QCOMPARE(spbSize->minimum(), 10);
    QCOMPARE(spbSize->maximum(), 100);
    QCOMPARE(spbSize->value(), 100);
    auto* sldSize = widget<QSlider>(*window, "sldSize");
    QCOMPARE(sldSize->minimum(), 10);
    QCOMPARE(sldSize->maximum(), 101);
    QCOMPARE(sldSize->value(), 100);
    QCOMPARE(sldSize->orientation(), Qt::Horizontal);

    auto* ckbThreshold = widget<QCheckBox>(*window, "ckbThreshold");
    QVERIFY(!ckbThreshold->isChecked());
    auto* txtThreshold = widget<QLineEdit>(*window, "txtThreshold");
    QVERIFY(!txtThreshold->isEnabled());
    QVERIFY(!txtThreshold->isReadOnly());
    QVERIFY(txtThreshold->isClearButtonEnabled());
    for (const char* name : {"txtFile", "txtGcode"}) {
        QVERIFY(widget<QTextEdit>(*window, name)->isReadOnly());
        QVERIFY(widget<QTextEdit>(*window, name)->toPlainText().isEmpty());
    }

    for (QPushButton* button : window->findChildren<QPushButton*>()) {
        QVERIFY2(button->isFlat(), qPrintable(button->objectName()));
        QCOMPARE(button->isDefault(), button->objectName() == "btnOpen");
    }

    for (const char* name : {"line", "line_2", "line_3"}) {
        QCOMPARE(widget<QFrame>(*window, name)->frameShape(), QFrame::HLine);
        QCOMPARE(widget<QFrame>(*window, name)->frameShadow(), QFrame::Sunken);
    }
    auto* scrollArea = widget<QScrollArea>(*window, "scrollArea");
    QCOMPARE(scrollArea->frameShape(), QFrame::NoFrame);
    QCOMPARE(scrollArea->lineWidth(), 1);
    QVERIFY(scrollArea->widgetResizable());
    QCOMPARE(scrollArea->alignment(), Qt::AlignCenter);
    QCOMPARE(scrollArea->widget()->objectName(), QString("scrollAreaWidgetContents"));
    auto* lblImage = widget<QLabel>(*window, "lblImage");
    QCOMPARE(lblImage->alignment(), Qt::AlignCenter);
    QCOMPARE(lblImage->textFormat(), Qt::AutoText);
    QVERIFY(!lblImage->hasScaledContents());
}

void FormTest::windowGeometry()
{
    QCOMPARE(window->windowTitle(), QString("TavoMain"));
    QCOMPARE(window->windowModality(), Qt::WindowModal);
    QVERIFY(window->isVisible());
    QVERIFY(window->isMaximized());
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
        QCOMPARE(slot.methodType(), QMetaMethod::Slot);
        QCOMPARE(slot.access(), QMetaMethod::Private);
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
    QCOMPARE(meta->indexOfSlot("on_cmbParam1_currentIndexChanged(QString)") >= 0, true);
    QCOMPARE(meta->indexOfSlot("on_cmbType_currentIndexChanged(int)") >= 0, true);
}

void FormTest::buildingRunsNoCommand()
{
    QVERIFY(dialogs->prompts().isEmpty());
    QCOMPARE(TavoMainTest::gcodeType(*window), -1);
    QCOMPARE(TavoMainTest::rotated(*window), false);
    QVERIFY(widget<QLabel>(*window, "lblSize")->text().isEmpty());
    QVERIFY(widget<QLabel>(*window, "lblCmd")->text().isEmpty());
    QVERIFY(widget<QLineEdit>(*window, "txtParam2")->text().isEmpty());
    QVERIFY(TavoMainTest::workingImage(*window).isNull());
}

QTEST_MAIN(FormTest)
#include "tst_form.moc"
