// Random command sequences on the real window, every command given through
// its widget, on pictures of every pixel format a decoder delivers. After
// every step: no dialog but those foreseen, 32-bit pictures, the view showing
// the working picture, files saved at its size. What each command does
// exactly has its own tests. A
// failure names its seed: TAVO_FUZZ_SEED=<seed> TAVO_FUZZ_COUNT=1 replays it.

#include "tavomaintest.h"

#include "pictures.h"

#include <QAction>
#include <QDebug>
#include <QLabel>

namespace {

template <typename T> QString shown(const T& value)
{
    QString text;
    QDebug(&text).nospace() << value;
    return text;
}

class Sequence : WindowFixture
{
public:
    explicit Sequence(std::uint64_t seed) : rng(seed) { setUpWindow(); }
    ~Sequence() { delete window, delete dialogs, delete dir; }

    // Empty when every step behaved, else what went wrong after which steps.
    QString run()
    {
        setViewArea(*window, QSize(40 + rng.bounded(30), 30 + rng.bounded(30)));
        for (int steps = 10 + rng.bounded(40); trail.size() < steps && failure.isEmpty();) {
            const int pick = source.isEmpty() ? 0 : rng.bounded(10);
            pick < 2 ? open() : pick < 3 ? save() : other();
            check();
        }
        return failure.isEmpty() ? failure : failure + " after\n  " + trail.join("\n  ");
    }

private:
    void open()
    {
        const QList<QImage::Format> formats = pictures::decoderFormats();
        const QImage::Format format = formats[rng.bounded(formats.size())];
        source = QSize(1 + rng.bounded(60), 1 + rng.bounded(60));
        const QString name = dir->filePath("in.png");
        pictures::randomImage(source.width(), source.height(), rng.next(), rng.bounded(2))
            .convertToFormat(format)
            .save(name);
        dialogs->answerFileName(name);
        press(rng.bounded(2) ? "actionOpen" : "btnOpen", shown(source) + " " + shown(format));
    }

    void save()
    {
        const QString name = dir->filePath(QStringList{"a.png", "a.bmp", "a.jpg"}[rng.bounded(3)]);
        dialogs->answerFileName(name);
        press("actionSave");
        same("saved size", QImage(name).size(), working().size());
        QFile::remove(name);
    }

    // Filters, geometry, the zoom box, the threshold and the G-code fields.
    void other()
    {
        static const QStringList fields{"txtThreshold", "txtParam2", "txtParam3", "txtParam5",
                                        "spbSize"};
        static const QStringList texts = QString("0|15|256|2001|0.09|-1|abc||1e2|37").split('|');
        static const QStringList buttons =
            QString("btnGray btnBinary btnDither actionRelief btnOutline actionSoften "
                    "ckbThreshold btnCnc btnLaser btnFit btnCrop btnScale btnReset")
                .split(' ');
        if (rng.bounded(3) == 0)
            type(fields[rng.bounded(fields.size())], texts[rng.bounded(texts.size())]);
        else
            press(buttons[rng.bounded(buttons.size())]);
    }

    void check()
    {
        const QImage& original = processor().sourceImage();
        const auto words = [](const QImage& i) {
            return i.isNull() || i.format() == QImage::Format_RGB32 ||
                   i.format() == QImage::Format_ARGB32;
        };
        same("unanswered dialogs and unused answers",
             qMakePair(dialogs->unexpectedPrompts(), dialogs->unusedAnswers()), qMakePair(0, 0));
        dialogs->clear();
        same("formats " + shown(working().format()) + " " + shown(original.format()),
             words(working()) && words(original), true);
        same("view", widget<QLabel>(*window, "lblImage")->pixmap(Qt::ReturnByValue).size(),
             working().size());
    }

    void press(const QString& name, const QString& note = {})
    {
        trail << name + " " + note;
        if (auto* button = window->findChild<QAbstractButton*>(name))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            window->findChild<QAction*>(name)->trigger();
    }
    // Select all, type, Return: what a user does to replace a field's text.
    void type(const QString& name, const QString& text)
    {
        trail << name + " typed " + shown(text);
        QWidget* field = widget(*window, qPrintable(name));
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        text.isEmpty() ? QTest::keyClick(field, Qt::Key_Backspace) : QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    template <typename T> void same(const QString& what, const T& actual, const T& wanted)
    {
        if (failure.isEmpty() && !(actual == wanted))
            failure = QString("%1 is %2, expected %3").arg(what, shown(actual), shown(wanted));
    }

    pictures::Random rng;
    QSize source;
    QStringList trail;
    QString failure;
};

} // namespace

class CommandFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(); }

    void randomSequences()
    {
        const auto setting = [](const char* name, int fallback) {
            return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
        };
        const int base = setting("TAVO_FUZZ_SEED", 20240611);
        for (int seed = base; seed < base + setting("TAVO_FUZZ_COUNT", 150); ++seed) {
            const QString failure = Sequence(std::uint64_t(seed)).run();
            QVERIFY2(failure.isEmpty(), qPrintable(QString("seed %1: %2").arg(seed).arg(failure)));
        }
        QTest::qWait(100); // a line edit's clear-button fade outlives its window by a tick
    }
};

QTEST_MAIN(CommandFuzzTest)
#include "tst_commandfuzz.moc"
