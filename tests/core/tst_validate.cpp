#include "gcode/gcodegenerator.h"
#include "scripteddialogs.h"

#include <QtTest>

class TestValidate : public QObject
{
    Q_OBJECT

private slots:
    void validate_data();
    void validate();
};

namespace {

const QStringList defaults[3] = {
    {"100", "500", "1000", "20"}, {"15", "0.4", "100", "20"}, {"100", "40", "1", "500"}};

const QString power = "Laser Power must be within (1 - 100)";
const QString jump = "Jump Speed must be within (1 - 10000)";
const QString laserTravel = "Travel Speed must be within (1 - 2000)";
const QString start = "Start Position must be within (0.00 - 150.00)";
const QString ignored = "Ignored Threshold must be within (0 - 255)";
const QString powerIndex = "Power Index must be within (0.1 - 1.0)";
const QString thickness = "Sheet Thickness must be within (1.00 - 150.00)";
const QString maxDepth = "Max Depth must be within (1.00 - 150.00)";
const QString minDepth = "Min Depth must be within (1.00 - 150.00)";
const QString depthOrder = "Min Depth must be smaller than Max Depth";
const QString depthRoom = "Max Depth must be at least 1.00 smaller than Sheet Thickness";
const QString cncTravel = "Travel Speed must be within (1 - 500)";

// The type's defaults with some slots (2..5) replaced; message empty = accepted.
void addRow(const char* name, int type, const QList<QPair<int, QString>>& changes,
            const QString& message)
{
    QStringList values = defaults[type];
    for (const auto& change : changes)
        values[change.first - 2] = change.second;
    QTest::newRow(name) << type << values << message;
}

// Each text in an integer slot (1..100 and 0..255) and a decimal one (0..150).
struct TextOutcome
{
    const char* text;
    bool integerRange, ignoredRange, heightRange;
};
const TextOutcome textOutcomes[] = {
    {"", false, true, true},     {"12.5", false, true, true}, {"-5", false, false, false},
    {"1e3", false, true, false}, {" 100 ", true, true, true}, {"+7", true, true, true},
    {"0x10", false, true, true}, {"nan", false, true, false}, {"-inf", false, true, false},
};

} // namespace

void TestValidate::validate_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("message");

    for (const TextOutcome& t : textOutcomes) {
        const QByteArray quoted = QByteArray("\"") + t.text + "\"";
        QTest::newRow(("power " + quoted).constData())
            << int(LaserLine) << QStringList{t.text, "500", "1000", "20"}
            << (t.integerRange ? QString() : power);
        QTest::newRow(("ignored threshold " + quoted).constData())
            << int(LaserDots) << QStringList{t.text, "0.4", "100", "20"}
            << (t.ignoredRange ? QString() : ignored);
        QTest::newRow(("start height " + quoted).constData())
            << int(LaserLine) << QStringList{"100", "500", "1000", t.text}
            << (t.heightRange ? QString() : start);
    }

    addRow("power 101", LaserLine, {{2, "101"}}, power);
    addRow("jump 10001", LaserLine, {{4, "10001"}}, jump);
    addRow("laser travel 2001", LaserLine, {{3, "2001"}}, laserTravel);
    addRow("start 150.01", LaserLine, {{5, "150.01"}}, start);
    addRow("jump before travel", LaserLine, {{3, "0"}, {4, "0"}}, jump);
    addRow("power before height", LaserLine, {{2, "0"}, {5, "200"}}, power);

    addRow("ignored 256", LaserDots, {{2, "256"}}, ignored);
    addRow("index 0.1 in single precision", LaserDots, {{3, "0.1"}}, {});
    addRow("index 0.09", LaserDots, {{3, "0.09"}}, powerIndex);
    addRow("index before travel", LaserDots, {{3, "2"}, {4, "0"}}, powerIndex);

    addRow("depth 99 under 100", CncLine, {{3, "99"}}, {});
    addRow("depth 99.5 under 100", CncLine, {{3, "99.5"}}, depthRoom);
    addRow("equal depths", CncLine, {{3, "20"}, {4, "20"}}, depthOrder);
    addRow("cnc travel 501", CncLine, {{5, "501"}}, cncTravel);
    addRow("max depth only", CncLine, {{3, "200"}, {4, "0"}}, maxDepth);
    addRow("thickness 0.99", CncLine, {{2, "0.99"}}, thickness);
    addRow("min depth nan", CncLine, {{4, "nan"}}, minDepth);
    addRow("order before room", CncLine, {{2, "10"}, {3, "20"}, {4, "30"}}, depthOrder);
    addRow("room before travel", CncLine, {{3, "100"}, {5, "0"}}, depthRoom);

    // A pasted line break would put commands of its own into the file.
    addRow("start height with commands", LaserLine, {{5, "20\nG28\nM106 S255"}}, start);
    addRow("index with line separator", LaserDots, {{3, QString("0.4") + QChar(0x2028)}},
           powerIndex);
    addRow("cnc travel with newline", CncLine, {{5, "500\nM84"}}, cncTravel);

    // Any other type validates as CNC Line.
    QTest::newRow("type -1 refuses laser texts")
        << -1 << defaults[LaserLine] << "Max Depth must be within (1.00 - 150.00)";
}

void TestValidate::validate()
{
    QFETCH(int, type);
    QFETCH(QStringList, values);
    QFETCH(QString, message);

    ScriptedDialogs dialogs;
    GcodeGenerator generator;
    generator.paramValues = {"0.16", values[0], values[1], values[2], values[3]};
    QCOMPARE(generator.validate(type), message.isEmpty());
    QCOMPARE(dialogs.log(), message.isEmpty()
                                ? QStringList()
                                : QStringList("critical Invalid Parameters: " + message));
}

QTEST_GUILESS_MAIN(TestValidate)
#include "tst_validate.moc"
