// Long random command sequences on the real window, every command given
// through its widget, on pictures of every pixel format a decoder delivers
// and broken files. After every step the window must hold together: exactly
// the dialogs foreseen, 32-bit pictures, the view showing the working
// picture, files saved at its size, geometry and zoom steps fitting their box.
// A failure names its seed: TAVO_FUZZ_SEED=<seed> TAVO_FUZZ_COUNT=1 replays it.

#include "tavomaintest.h"

#include "pictures.h"

#include <QAction>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>

#include <cstdio>

#if defined(__SANITIZE_ADDRESS__)
#define TAVO_FUZZ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVO_FUZZ_SANITIZED 1
#endif
#endif
#if defined(TAVO_FUZZ_SANITIZED)
#include <sanitizer/common_interface_defs.h>
constexpr int defaultCount = 1200;
#else
constexpr int defaultCount = 2000;
#endif

namespace {

// Small rooms for Scale, Fit and Crop (the layout's own makes every step after
// a Scale slow); some leave no room at all.
const QSize viewAreas[] = {QSize(48, 36), QSize(30, 50), QSize(64, 9), QSize(7, 40),
                           QSize(1, 1),   QSize(0, 20),  QSize(20, -5)};
// In range, on and beyond the bounds of the threshold and the parameters, and not numbers.
const QStringList texts =
    QString("0|1|15|100|101|150.01|255|256|500|2001|10001|0.09|0.4|-1|abc|| 30 |1e2|nan|3,5")
        .split('|');

template <typename T> QString shown(const T& value)
{
    QString text;
    QDebug(&text).nospace() << value;
    return text;
}

// A sequence that kills the process must still name its seed.
char currentStep[96] = "";

void installCrashNote()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (type == QtFatalMsg)
                std::fputs(currentStep, stderr);
            previous(type, context, message);
        });
#if defined(TAVO_FUZZ_SANITIZED)
    __sanitizer_set_death_callback([] { std::fputs(currentStep, stderr); });
#endif
}

int setting(const char* name, int fallback)
{
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariableIntValue(name) : fallback;
}

// Scaled with its aspect kept: fits the box and reaches it in one direction,
// the other side true to the aspect within a pixel (a picture is at least
// one pixel thin); empty only when the box or its origin is.
bool fitsBox(const QSize& picture, const QSize& box, const QSize& from)
{
    if (picture.isEmpty() || box.isEmpty() || from.isEmpty())
        return picture.isEmpty() && (box.isEmpty() || from.isEmpty());
    const double skew =
        double(picture.width()) * from.height() - double(picture.height()) * from.width();
    return picture.boundedTo(box) == picture &&
           (picture.width() == box.width() || picture.height() == box.height()) &&
           qAbs(skew) <= qMax(from.width(), from.height());
}

class Sequence
{
public:
    Sequence(std::uint64_t seed, const QString& folder) : rng(seed), seed(seed), folder(folder) {}

    // Empty when every step behaved, else what went wrong and the steps before.
    QString run()
    {
        window.showNormal();
        for (QObject* object : window.findChildren<QObject*>())
            objects.insert(object->objectName(), object);
        const QSize area = viewAreas[rng.bounded(int(std::size(viewAreas)))];
        QApplication::processEvents();
        const int below = get("btnReset")->height() + get("spbSize")->height();
        get("lblWidth")->setMaximumWidth(qMax(0, area.width() + 20));
        get("lblHeight")->setMaximumHeight(qMax(0, area.height() + below + 20));
        QApplication::processEvents();
        for (int steps = 10 + rng.bounded(70); stepIndex < steps; ++stepIndex) {
            std::snprintf(currentStep, sizeof currentStep, "\ncommand fuzz died: seed %llu\n",
                          static_cast<unsigned long long>(seed));
            if (!step() || !checkPrompts() || !checkState())
                return QString("seed %1, step %2: %3\nlast steps:\n  %4")
                    .arg(seed)
                    .arg(stepIndex)
                    .arg(failure, trail.mid(qMax(0, trail.size() - 20)).join("\n  "));
        }
        // Nothing may outlive a sequence, or a replay would start elsewhere.
        return QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                   ? QString()
                   : QString("seed %1 left files behind").arg(seed);
    }

private:
    bool step()
    {
        if (!opened && rng.bounded(4) != 0)
            return open();                // before it almost every control is disabled
        const int pick = rng.bounded(20); // how often each comes up, in twentieths
        return pick < 2    ? open()
               : pick < 3  ? save()
               : pick < 6  ? gcode()
               : pick < 9  ? geometry()
               : pick < 11 ? zoom()
                           : setting();
    }

    // The next Open's file: a picture, something broken, or none (cancelled).
    QString writeOpenFile()
    {
        const int kind = rng.bounded(20);
        const QString name = kind ? path(QStringList{".png", ".bmp", ".jpg"}[rng.bounded(3)]) : "";
        if (kind == 0 || kind > 3) {
            static const QSize larger[] = {QSize(64, 48), QSize(48, 64), QSize(300, 1),
                                           QSize(1, 300)};
            const QSize size =
                kind == 4 ? larger[rng.bounded(4)] : QSize(1 + rng.bounded(9), 1 + rng.bounded(9));
            const QList<QImage::Format> formats = pictures::decoderFormats();
            const QImage::Format format = formats[rng.bounded(formats.size())];
            const char* writer = QList<const char*>{"PNG", "BMP", "JPEG"}[rng.bounded(3)];
            note(QString("%1 %2 as %3").arg(shown(size), shown(format), writer));
            QImage picture =
                pictures::randomImage(size.width(), size.height(), rng.next(), rng.bounded(2));
            if (kind && !picture.convertToFormat(format).save(name, writer))
                qFatal("cannot write %s", qPrintable(trail.last()));
            return name;
        }
        // No file, an empty one, noise, or a BMP cut short.
        const int broken = rng.bounded(4);
        note(QString("broken file (%1)").arg(broken));
        QFile file(name);
        if (broken == 3 && pictures::randomImage(9, 9, rng.next()).save(name, "BMP"))
            QFile::resize(name, 40 + rng.bounded(int(QFileInfo(name).size()) - 40));
        else if (broken != 0 && file.open(QIODevice::WriteOnly))
            file.write(broken == 2 ? QByteArray::fromHex("0123456789abcdef") : "");
        return name;
    }

    bool open()
    {
        const QString name = writeOpenFile();
        // The decoder's own verdict on the file is what the window must show.
        QImageReader reader(name);
        reader.setDecideFormatFromContent(true);
        // Except a BMP cut short, which the window refuses though its decoder takes it.
        const bool cutShort = trail.last().endsWith("broken file (3)");
        const QImage decoded = name.isEmpty() || cutShort ? QImage() : reader.read();
        answer(name);
        press(rng.bounded(2) ? "actionOpen" : "btnOpen");
        if (!name.isEmpty())
            opened = true, source = decoded.size(), QFile::remove(name);
        return true;
    }

    bool save()
    {
        const int choice = rng.bounded(6);
        const QString name =
            choice == 5 ? "" : path(QStringList{".png", ".bmp", ".jpg", ".xyz", ""}[choice]);
        answer(name);
        press("actionSave");
        const bool written = !name.isEmpty() && !image().isNull() && choice < 3;
        if (!checkPrompts() || !same("a file saved", QFile::exists(name), written) || !written)
            return failure.isEmpty();
        const QSize saved = QImage(name).size();
        QFile::remove(name);
        return same("saved size", saved, image().size());
    }

    bool gcode()
    {
        const int choice = rng.bounded(8); // 0 cancel, 1 unwritable folder, else a good path
        const QString name = choice == 0   ? ""
                             : choice == 1 ? QDir(folder).filePath("no folder/out.gcode")
                                           : path(".gcode");
        if (opened)
            answer(name);
        const QSize before = image().size();
        press("btnGcode");
        // A refusal asks for no file; which texts are refused has its own tests.
        const bool refused = dialogs.prompts().value(0).title == "Invalid Parameters";
        if (!checkPrompts(refused ? 1 : 0))
            return false;
        if (choice > 1)
            QFile::remove(name);
        return same("a folder made for the file", QDir(folder).exists("no folder"), false) &&
               same("size after Gcode", image().size(), before);
    }

    bool geometry()
    {
        const QSize area = viewArea(window), before = image().size();
        const int command = rng.bounded(5);
        note(shown(before) + " in the view's " + shown(area));
        if (command < 3) {
            const char* name = QList<const char*>{"btnCrop", "btnScale", "btnFit"}[command];
            press(name);
            const QSize now = image().size(), cropped = before.boundedTo(area);
            const bool fits =
                command == 0   ? now == (cropped.isEmpty() ? QSize(0, 0) : cropped)
                : command == 1 ? fitsBox(now, area, before)
                               : now == (before.isEmpty() || area.isEmpty() ? QSize(0, 0) : area);
            return !opened || fits || fail(QString("%1 gave %2").arg(name, shown(now)));
        }
        if (command == 3) {
            const bool ok = rng.bounded(2), asks = opened && before.height() < before.width();
            if (asks)
                dialogs.answerQuestion(ok ? Dialogs::Ok : Dialogs::Cancel);
            press("btnRotate");
            return same("size after Rotate", image().size(),
                        opened && (ok || !asks) ? before.transposed() : before);
        }
        // Back to the source, through a zoom step to 100 when the zoom was elsewhere.
        press("btnReset");
        percent = opened ? 100 : percent;
        return !opened || fitsSource(source) || fail("Reset gave " + shown(image().size()));
    }

    // Which keys run a zoom step has its own tests; here a changed zoom must
    // scale the source into its box.
    bool zoom()
    {
        auto* spin = get<QSpinBox>("spbSize");
        auto* slider = get<QSlider>("sldSize");
        const int value = 10 + rng.bounded(92); // the slider goes one beyond the spin box
        if (value % 3 == 0) {
            typeInto(spin, QString::number(value));
            key(spin, Qt::Key_Return);
        } else if (value % 3 == 1) {
            key(spin, QList<Qt::Key>{Qt::Key_Up, Qt::Key_PageDown, Qt::Key_Down}[rng.bounded(3)]);
        } else if (opened) { // a disabled slider would move all the same
            note(QString("slider dragged to %1").arg(value));
            slider->setSliderDown(true);
            slider->setSliderPosition(value);
            slider->setSliderDown(false);
        }
        const int now = spin->value(), was = percent;
        percent = now;
        const QSize box(int(now / 100.0 * source.width()), int(now / 100.0 * source.height()));
        return !opened || now == was || fitsSource(box) ||
               fail(QString("zoom %1 gave %2").arg(now).arg(shown(image().size())));
    }

    // A zoom step's result: the source, turned when it was rotated, scaled into box.
    bool fitsSource(const QSize& box)
    {
        return fitsBox(image().size(), box, source) ||
               fitsBox(image().size(), box, source.transposed());
    }

    // Filters, the threshold and the G-code panel only must not break anything.
    bool setting()
    {
        static const char* const fields[] = {"txtThreshold", "txtParam2", "txtParam3", "txtParam4",
                                             "txtParam5"};
        static const QStringList filters =
            QString("Gray Binary Dither Inverse Relief Pulverize Outline Soften").split(' ');
        const int choice = rng.bounded(8);
        if (choice == 0) {
            press(QStringList{"ckbThreshold", "btnCnc", "btnLaser"}[rng.bounded(3)]);
        } else if (choice == 1) {
            key(get(rng.bounded(2) ? "cmbParam1" : "cmbType"),
                rng.bounded(2) ? Qt::Key_Down : Qt::Key_Up);
        } else if (choice < 4) {
            QWidget* field = get(fields[rng.bounded(5)]);
            typeInto(field, texts[rng.bounded(texts.size())]);
            key(field, Qt::Key_Return);
        } else {
            press(QString(choice % 2 ? "action" : "btn") + filters[rng.bounded(8)]);
        }
        return true;
    }

    // Every dialog foreseen took its answer, and no other one came.
    bool checkPrompts(int unusedAnswers = 0)
    {
        const QPair<int, int> strays(dialogs.unusedAnswers(), dialogs.unexpectedPrompts());
        dialogs.clear();
        return same("unused answers and unanswered dialogs", strays, qMakePair(unusedAnswers, 0));
    }

    bool checkState()
    {
        const QImage& picture = image();
        const QImage& original = TavoMainTest::imageProcessor(window).sourceImage();
        const auto words = [](const QImage& i) {
            return i.isNull() || i.format() == QImage::Format_RGB32 ||
                   i.format() == QImage::Format_ARGB32;
        };
        return same("source picture", original.size(), source) &&
               same("formats " + shown(picture.format()) + " " + shown(original.format()),
                    words(picture) && words(original), true) &&
               (!opened || same("view", get<QLabel>("lblImage")->pixmap(Qt::ReturnByValue).size(),
                                picture.isNull() ? QSize(0, 0) : picture.size()));
    }

    template <typename T = QWidget> T* get(const QString& name) const
    {
        return qobject_cast<T*>(objects.value(name));
    }
    // A button's own click is refused while disabled like a mouse click, but
    // spares a simulated press's repaints; the window tests take the mouse path.
    void press(const QString& name)
    {
        note(name);
        if (auto* button = get<QAbstractButton>(name))
            button->click();
        else
            get<QAction>(name)->trigger();
    }
    void key(QWidget* widget, Qt::Key key)
    {
        note(widget->objectName() + " key " + QString::number(key, 16));
        QTest::keyClick(widget, key);
    }
    // Select all, then type: what a user does to replace a field's text.
    void typeInto(QWidget* field, const QString& text)
    {
        note(field->objectName() + " typed " + shown(text));
        if (auto* line = qobject_cast<QLineEdit*>(field))
            line->selectAll();
        else
            qobject_cast<QAbstractSpinBox*>(field)->selectAll();
        text.isEmpty() ? QTest::keyClick(field, Qt::Key_Backspace) : QTest::keyClicks(field, text);
    }
    void answer(const QString& name) { note("answering " + name), dialogs.answerFileName(name); }
    const QImage& image() { return TavoMainTest::workingImage(window); }
    QString path(const QString& suffix) const
    {
        return QDir(folder).filePath(QString("s%1-%2%3").arg(seed).arg(stepIndex).arg(suffix));
    }
    void note(const QString& text) { trail << QString("%1: %2").arg(stepIndex).arg(text); }
    bool fail(const QString& what) { return failure = what, false; }
    template <typename T> bool same(const QString& what, const T& actual, const T& wanted)
    {
        return actual == wanted ||
               fail(QString("%1 is %2, expected %3").arg(what, shown(actual), shown(wanted)));
    }

    pictures::Random rng;
    std::uint64_t seed;
    QString folder;
    ScriptedDialogs dialogs; // before the window, which must go first
    TavoMain window;
    QHash<QString, QObject*> objects;
    bool opened = false; // the first Open enables the controls for good
    QSize source{0, 0};
    int percent = 100, stepIndex = 0;
    QStringList trail;
    QString failure;
};

} // namespace

class CommandFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { silenceOffscreenNoise(), installCrashNote(); }

    void randomSequences()
    {
        const std::uint64_t base = std::uint64_t(setting("TAVO_FUZZ_SEED", 20240611));
        // In memory where possible: every G-code file is synced on commit.
        const QString shm = "/dev/shm";
        QTemporaryDir dir((QFileInfo(shm).isWritable() ? shm : QDir::tempPath()) + "/fuzz-XXXXXX");
        QVERIFY(dir.isValid());
        for (int i = 0; i < setting("TAVO_FUZZ_COUNT", defaultCount); ++i) {
            const QString failure = Sequence(base + std::uint64_t(i), dir.path()).run();
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
        // A line edit's clear-button fade deletes itself from the event loop
        // once it notices its window is gone; give the orphans that moment.
        QTest::qWait(400);
    }
};

QTEST_MAIN(CommandFuzzTest)
#include "tst_commandfuzz.moc"
