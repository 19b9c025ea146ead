// What a screen reader hears for each input widget: its label's text, kept in
// step with the panel when the G-code type changes.
#include "tavomaintest.h"

#include <QAccessible>
#include <QAccessibleInterface>

class AccessibilityTest : public QObject, private WindowFixture
{
    Q_OBJECT

private slots:
    void init() { setUpWindow(); }
    void cleanup() { tearDownWindow(); }
    void names_data();
    void names();

private:
    QString spokenName(const char* name) const
    {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget(*window, name));
        return face ? face->text(QAccessible::Name) : QString();
    }
};

void AccessibilityTest::names_data()
{
    QTest::addColumn<QString>("button"); // empty: as the window starts
    QTest::addColumn<QStringList>("names");
    const QStringList fixed{"Picture File", "Report", "Threshold", "Zoom (%)", "Zoom (%)"};
    QTest::newRow("start") << QString()
                           << fixed + QStringList{"Laser Power (%)", "Travel Speed (mm/min)",
                                                  "Jump Speed (mm/min)", "Start Height (mm)"};
    QTest::newRow("CNC") << "btnCnc"
                         << fixed + QStringList{"Sheet Thickness (mm)", "Max Depth (mm)",
                                                "Min Depth (mm)", "Travel Speed (mm/min)"};
}

void AccessibilityTest::names()
{
    QFETCH(QString, button);
    QFETCH(QStringList, names);
    if (!button.isEmpty()) {
        window->findChild<QWidget*>("controlWidget")->setEnabled(true);
        QTest::mouseClick(widget<QPushButton>(*window, qPrintable(button)), Qt::LeftButton);
    }
    const char* fields[] = {"txtFile",   "txtGcode",  "txtThreshold", "spbSize",  "sldSize",
                            "txtParam2", "txtParam3", "txtParam4",    "txtParam5"};
    QStringList spoken;
    for (const char* field : fields)
        spoken << spokenName(field);
    QCOMPARE(spoken, names);
}

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
