#include "gcode/gcodereport.h"

#include <QtTest>

class TestGcodeReport : public QObject
{
    Q_OBJECT

private slots:
    void layout();
    void outOfRange_data();
    void outOfRange();
};

void TestGcodeReport::layout()
{
    QCOMPARE(gcodeReport("/tmp/a b.gcode", 14000, 2.99, 280, 100, "0.5"),
             QString("/tmp/a b.gcode\nHas been successfully generated!\n\n"
                     "Estimated travel length (mm): 14000\n\n"
                     "Estimated processing time (min): 2\n\n"
                     "The engraving path will be out of the max available range!\n"
                     "You may have to modify the size of picture or the precision.\n"));
    QCOMPARE(gcodeReport("x.gcode", 4, 0.28, 4, 2, "0.5"),
             QString("x.gcode\nHas been successfully generated!\n\n"
                     "Estimated travel length (mm): 4\n\n"
                     "Estimated processing time (min): 0\n\n"));
    // Beyond the int range the minutes are still the truncated whole number.
    QVERIFY(gcodeReport("x", 0, 5e9 + 0.7, 1, 1, "0.5").contains("(min): 5000000000\n"));
}

void TestGcodeReport::outOfRange_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("pitch");
    QTest::addColumn<bool>("warned");

    QTest::newRow("280 wide at 0.5") << 280 << 100 << "0.5" << true;
    QTest::newRow("280 high at 0.5") << 100 << 280 << "0.5" << true;
    QTest::newRow("279 both ways") << 279 << 279 << "0.5" << false;
    // 875 x 0.16f lies just below 140; rounded to single precision it is 140.
    QTest::newRow("875 wide at 0.16") << 875 << 10 << "0.16" << true;
    QTest::newRow("875 high at 0.16") << 10 << 875 << "0.16" << true;
    QTest::newRow("874 at 0.16") << 874 << 874 << "0.16" << false;
    QTest::newRow("empty picture") << 0 << 0 << "1" << false;
}

void TestGcodeReport::outOfRange()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, pitch);
    QFETCH(bool, warned);

    QCOMPARE(engravingOutOfRange(width, height, pitch), warned);
    QCOMPARE(gcodeReport("p", 0, 0, width, height, pitch).contains("out of the max available"),
             warned);
}

QTEST_GUILESS_MAIN(TestGcodeReport)
#include "tst_gcodereport.moc"
