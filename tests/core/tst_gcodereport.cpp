#include "gcode/gcodereport.h"

#include <QtTest>

// The report's texts and its range warning are checked through the window
// and the command-line tool; here only what they cannot reach.
class TestGcodeReport : public QObject
{
    Q_OBJECT

private slots:
    void minutesBeyondTheIntRange()
    {
        // Still the truncated whole number, not an overflowed int.
        QVERIFY(gcodeReport("x", 0, 5e9 + 0.7, 1, 1, "0.5").contains("(min): 5000000000\n"));
    }
};

QTEST_GUILESS_MAIN(TestGcodeReport)
#include "tst_gcodereport.moc"
