// Long random command sequences on the real window. Every command is given
// through its widget (buttons, keys, menu entries, scripted dialog answers)
// on pictures of every pixel format a decoder delivers, and after every step
// the window is compared with a small model of the picture sizes and dialogs.
//
// Each sequence has its own seed (base seed + index), so a failure names the
// one seed that replays it:
//   TAVO_FUZZ_SEED=<seed> TAVO_FUZZ_COUNT=1 tst_commandfuzz

#include "tavomaintest.h"

#include "pictures.h"

#include <QAction>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QKeySequence>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QTextEdit>

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

constexpr int defaultSeed = 20240611;

// The room Scale, Fit and Crop fit the picture into. The layout's own would
// make every step after a Scale slow, so the pane is mostly held to a few
// small sizes, some leaving no room at all.
const QSize viewAreas[] = {QSize(48, 36), QSize(30, 50), QSize(64, 9), QSize(7, 40),
                           QSize(1, 1),   QSize(0, 20),  QSize(20, -5)};

const QStringList filterNames =
    QString("Gray Binary Dither Inverse Relief Pulverize Outline Soften").split(' ');
// In range, on and beyond the bounds of the threshold and the three G-code
// types' parameters, and not numbers.
const QStringList texts = QString("0|1|15|20|40|100|101|150.01|255|256|500|501|2000|2001|10001|"
                                  "0.09|0.4|-1|abc|| 30 |1e2|nan|99999999999|3,5")
                              .split('|');

// QImage::scaled keeps the aspect as QSize::scaled does but never gives less
// than one pixel in a direction; an empty box or picture gives nothing.
QSize keptAspect(const QSize& picture, const QSize& box)
{
    if (picture.isEmpty() || box.isEmpty())
        return QSize(0, 0);
    const QSize scaled = picture.scaled(box, Qt::KeepAspectRatio);
    return QSize(qMax(scaled.width(), 1), qMax(scaled.height(), 1));
}

template <typename T> QString shown(const T& value)
{
    QString text;
    QDebug(&text).nospace() << value;
    return text;
}

// A BMP header claiming a picture without pixels in one direction.
QByteArray emptyBmp(int width, int height)
{
    QByteArray bytes("BM");
    for (quint32 value : {54u, 0u, 54u, 40u, quint32(width), quint32(height), 1u | 24u << 16})
        bytes.append(reinterpret_cast<const char*>(&value), 4); // little-endian fields
    return bytes + QByteArray(24, '\0');
}

// A failing seed must be known even when the process dies, be it through the
// test library's fatal-signal report or a sanitizer's.
char currentStep[128] = "";

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

class Sequence
{
public:
    Sequence(std::uint64_t seed, const QString& folder) : rng(seed), seed(seed), folder(folder) {}

    // Empty when every step behaved, else what went wrong, where, and the
    // steps that led there.
    QString run()
    {
        window.showNormal();
        for (QObject* object : window.findChildren<QObject*>())
            objects.insert(object->objectName(), object);
        if (rng.bounded(40) != 0) {
            const QSize area = viewAreas[rng.bounded(int(std::size(viewAreas)))];
            QApplication::processEvents();
            const int below = get("btnReset")->height() + get("spbSize")->height();
            get("lblWidth")->setMaximumWidth(qMax(0, area.width() + 20));
            get("lblHeight")->setMaximumHeight(qMax(0, area.height() + below + 20));
        }
        QApplication::processEvents();
        trail << "view area " + shown(viewArea(window));

        const int steps = 10 + rng.bounded(70);
        for (stepIndex = 0; stepIndex < steps; ++stepIndex) {
            std::snprintf(currentStep, sizeof currentStep,
                          "\ncommand fuzz died at seed %llu step %d\n",
                          static_cast<unsigned long long>(seed), stepIndex);
            if (!step() || !checkPrompts() || !checkState())
                return QString("seed %1, step %2: %3\nreplay with TAVO_FUZZ_SEED=%1 "
                               "TAVO_FUZZ_COUNT=1\nlast steps:\n  %4")
                    .arg(seed)
                    .arg(stepIndex)
                    .arg(failure, trail.mid(qMax(0, trail.size() - 20)).join("\n  "));
        }
        // Nothing a sequence wrote may outlive it, or a full run and a replay
        // would start from different folders.
        return QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                   ? QString()
                   : QString("seed %1 left files behind").arg(seed);
    }

private:
    // A zoom step starts from the source, rotated again when it was, and fits
    // it with its aspect kept into the source's own size at the percentage.
    QSize zoomed(int at) const
    {
        const QSize box(int(at / 100.0 * source.width()), int(at / 100.0 * source.height()));
        return keptAspect(rotated ? source.transposed() : source, box);
    }

    bool step()
    {
        // Mostly Open first: before it almost every control is disabled.
        if (!opened && rng.bounded(4) != 0)
            return open();
        const int pick = rng.bounded(20); // how often each comes up, in twentieths
        return pick < 2    ? open()
               : pick < 3  ? save()
               : pick < 6  ? gcode()
               : pick < 9  ? geometry()
               : pick < 11 ? zoom()
                           : setting();
    }

    // Writes the picture for the next Open; an empty name stands for a
    // cancelled dialog.
    QString writeOpenFile()
    {
        static const char* const suffixes[] = {".png", ".bmp", ".jpg"};
        static const char* const writers[] = {"PNG", "BMP", "JPEG"};
        const int kind = rng.bounded(20);
        if (kind == 0)
            return QString();
        if (kind <= 3) {
            // No file, an empty one, noise, a BMP cut short, or a BMP header
            // claiming no pixels in one direction.
            const int broken = kind == 3 ? 4 : rng.bounded(4);
            const QString name = path(broken == 4 && rng.bounded(2) ? ".bmp" : ".png");
            const int w = rng.bounded(10);
            const QByteArray contents = broken == 2   ? QByteArray::fromHex("0123456789abcdef")
                                        : broken == 4 ? emptyBmp(w, w == 0 ? rng.bounded(10) : 0)
                                                      : QByteArray();
            QFile file(name);
            if (broken == 3 && pictures::randomImage(9, 9, rng.next()).save(name, "BMP"))
                QFile::resize(name, 40 + rng.bounded(int(QFileInfo(name).size()) - 40));
            else if (broken != 0 && file.open(QIODevice::WriteOnly))
                file.write(contents);
            note(QString("broken file (%1)").arg(broken));
            return name;
        }

        static const QSize larger[] = {QSize(64, 48), QSize(48, 64), QSize(300, 1), QSize(1, 300)};
        const QSize size =
            kind == 4 ? larger[rng.bounded(4)] : QSize(1 + rng.bounded(9), 1 + rng.bounded(9));
        const QList<QImage::Format> formats = pictures::decoderFormats();
        const QImage::Format format = formats[rng.bounded(formats.size())];
        const bool alpha = rng.bounded(2);
        const QImage picture = pictures::randomImage(size.width(), size.height(), rng.next(), alpha)
                                   .convertToFormat(format);
        const int writer = rng.bounded(3);
        // Now and then the suffix does not match the contents.
        const QString name = path(suffixes[rng.bounded(8) == 0 ? rng.bounded(3) : writer]);
        note(QString("%1 %2%3 as %4")
                 .arg(shown(size), shown(format), alpha ? " with alpha" : "", writers[writer]));
        if (!picture.save(name, writers[writer]))
            qFatal("cannot write %s", qPrintable(trail.last()));
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
        if (name.isEmpty())
            return true;
        opened = true;
        source = working = decoded.size();
        QFile::remove(name);
        return true;
    }

    bool save()
    {
        static const char* const suffixes[] = {".png", ".bmp", ".jpg", ".xyz", ""};
        const int choice = rng.bounded(6);
        const QString name = choice == 5 ? QString() : path(suffixes[choice]);
        answer(name);
        press("actionSave");
        const bool written = !name.isEmpty() && !working.isEmpty() && choice < 3;
        if (!checkPrompts() ||
            (!name.isEmpty() && !same("a file saved", QFile::exists(name), written)) || !written)
            return failure.isEmpty();
        const QSize saved = QImage(name).size();
        QFile::remove(name);
        return same("saved size", saved, working);
    }

    bool gcode()
    {
        const int choice = rng.bounded(8); // 0 cancel, 1 unwritable folder, else a good path
        const QString name = choice == 0   ? QString()
                             : choice == 1 ? QDir(folder).filePath("no folder/out.gcode")
                                           : path(".gcode");
        if (opened)
            answer(name);
        press("btnGcode");
        // Which parameters are refused has its own tests; a refusal asks for
        // no file and changes nothing.
        const QList<ScriptedDialogs::Prompt>& seen = dialogs.prompts();
        if (!seen.isEmpty() && seen[0].title == "Invalid Parameters")
            return checkPrompts(1);
        if (!checkPrompts() || !same("size after Gcode", image().size(), working))
            return false;
        if (choice == 1 && QDir(folder).exists("no folder"))
            return fail("a folder was created for the G-code file");
        if (!opened || choice < 2)
            return true;

        // The report must speak of this file, and warn when the picture would
        // not fit the work area.
        const float pitch = get<QComboBox>("cmbParam1")->currentText().toFloat();
        const bool warns = working.width() * pitch >= 140.0f || working.height() * pitch >= 140.0f;
        report = get<QTextEdit>("txtGcode")->toPlainText();
        if (!same("report " + report,
                  qMakePair(report.startsWith(name + "\nHas been successfully generated!"),
                            report.contains("out of the max")),
                  qMakePair(true, warns)))
            return false;
        const QString fault = gcodeFileFault(name);
        QFile::remove(name);
        return fault.isEmpty() || fail(fault);
    }

    // The prefix first, the postfix last, CR LF after every line and only
    // commands and comments between.
    static QString gcodeFileFault(const QString& name)
    {
        QFile file(name);
        const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (!bytes.startsWith("; ****** G-code Prefix ******\r\n") ||
            !bytes.endsWith("\r\nG1 F2000\r\n"))
            return "the G-code file does not start with the prefix and end with the postfix";
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast(); // after the final line end
        for (int i = 0; i < lines.size(); ++i) {
            const QByteArray line = lines[i].chopped(lines[i].endsWith('\r') ? 1 : 0);
            if (line.size() == lines[i].size() || line.contains('\r') ||
                !(line.startsWith("; ") || line.startsWith('G') || line.startsWith('M')))
                return QString("line %1 of the G-code file is %2").arg(i + 1).arg(shown(lines[i]));
        }
        return lines.count("; ****** G-code Postfix ******\r") == 1
                   ? QString()
                   : "the G-code file has not exactly one postfix";
    }

    bool geometry()
    {
        const QSize area = viewArea(window);
        const int command = rng.bounded(5);
        note(shown(working) + " in the view's " + shown(area));
        if (command < 3) {
            static const char* const names[] = {"btnCrop", "btnScale", "btnFit"};
            press(names[command]);
            const QSize cropped = working.boundedTo(area);
            const QSize results[] = {cropped.isEmpty() ? QSize(0, 0) : cropped,
                                     keptAspect(working, area),
                                     working.isEmpty() || area.isEmpty() ? QSize(0, 0) : area};
            if (opened)
                working = results[command];
        } else if (command == 3) {
            const bool ok = rng.bounded(2);
            const bool asks = opened && working.height() < working.width();
            if (asks) {
                note(ok ? "answering Ok" : "answering Cancel");
                dialogs.answerQuestion(ok ? Dialogs::Ok : Dialogs::Cancel);
            }
            press("btnRotate");
            if (opened && (ok || !asks)) {
                working.transpose();
                rotated = !rotated;
            }
        } else {
            press("btnReset");
            if (opened) {
                // Moving the zoom back to 100 runs a zoom step; at 100 already, none.
                working = percent != 100 ? zoomed(100) : source;
                percent = 100;
            }
        }
        return true;
    }

    // Which keys and digits run a zoom step has its own tests; here a step
    // must start from the source, and a changed percentage must run one.
    bool zoom()
    {
        auto* spin = get<QSpinBox>("spbSize");
        auto* slider = get<QSlider>("sldSize");
        const int value = 10 + rng.bounded(92); // the slider goes one beyond the spin box
        switch (rng.bounded(4)) {
        case 0:
            key(spin, QVector<Qt::Key>{Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp,
                                       Qt::Key_PageDown}[value % 4]);
            break;
        case 1:
            typeInto(spin, QString::number(value));
            if (value % 2)
                key(spin, Qt::Key_Return);
            break;
        case 2:
            note(QString("slider dragged to %1").arg(value));
            if (opened) { // a disabled slider would move all the same
                slider->setSliderDown(true);
                slider->setSliderPosition(value);
                slider->setSliderDown(false);
            }
            break;
        default:
            key(slider, value % 2 ? Qt::Key_Right : Qt::Key_Left);
        }
        const int now = spin->value();
        if (opened && (now != percent || image().size() == zoomed(now)))
            working = zoomed(now);
        percent = now;
        return true;
    }

    // Filters, the threshold and the G-code panel leave the picture's size
    // alone; they only must not break it.
    bool setting()
    {
        static const char* const fields[] = {"txtThreshold", "txtParam2", "txtParam3", "txtParam4",
                                             "txtParam5"};
        const bool flag = rng.bounded(2);
        switch (rng.bounded(9)) {
        case 0:
            press(QStringList{"ckbThreshold", "btnCnc", "btnLaser"}[rng.bounded(3)]);
            break;
        case 1:
            key(get(flag ? "cmbParam1" : "cmbType"), rng.bounded(2) ? Qt::Key_Down : Qt::Key_Up);
            break;
        case 2: {
            // Any pixel size at once, as the drop-down list offers them.
            const int index = rng.bounded(38);
            note(QString("pixel size %1 chosen").arg(index));
            if (opened) // a disabled box would take it all the same
                get<QComboBox>("cmbParam1")->setCurrentIndex(index);
            break;
        }
        case 3:
        case 4: {
            QWidget* field = get(fields[rng.bounded(5)]);
            typeInto(field, texts[rng.bounded(texts.size())]);
            if (flag)
                key(field, Qt::Key_Return);
            break;
        }
        default:
            press((flag ? "action" : "btn") + filterNames[rng.bounded(8)]);
        }
        return true;
    }

    // Every dialog the model foresaw took its answer, and no other one came.
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
        return same("working picture", picture.size(), working) &&
               same("source picture", original.size(), source) &&
               same("formats " + shown(picture.format()) + " " + shown(original.format()),
                    words(picture) && words(original), true) &&
               same("txtGcode", get<QTextEdit>("txtGcode")->toPlainText(), report) &&
               (!opened || same("view", get<QLabel>("lblImage")->pixmap(Qt::ReturnByValue).size(),
                                picture.isNull() ? QSize(0, 0) : picture.size()));
    }

    template <typename T = QWidget> T* get(const QString& name) const
    {
        return qobject_cast<T*>(objects.value(name));
    }
    // A button's own click is refused while it is disabled like a mouse
    // click, but spares the synchronous repaints of a simulated press, which
    // would double the run time; the window tests take the mouse path.
    void press(const QString& name)
    {
        note(name);
        if (auto* button = qobject_cast<QAbstractButton*>(objects.value(name)))
            button->click();
        else
            get<QAction>(name)->trigger();
    }
    void key(QWidget* widget, Qt::Key key)
    {
        note(widget->objectName() + " key " + QKeySequence(key).toString());
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
    // What the window must hold, kept up to date by each step.
    bool opened = false; // the first Open enables the controls for good
    bool rotated = false;
    QSize source{0, 0}, working{0, 0};
    int percent = 100;
    QString report;
    int stepIndex = 0;
    QStringList trail;
    QString failure;
};

} // namespace

class CommandFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        silenceOffscreenNoise();
        installCrashNote();
    }

    void randomSequences()
    {
        const std::uint64_t base = std::uint64_t(setting("TAVO_FUZZ_SEED", defaultSeed));
        const int count = setting("TAVO_FUZZ_COUNT", defaultCount);
        // Memory-backed where possible: every G-code file is synced to disk on
        // commit, which on a real disk would take most of the run.
        const QString shm = "/dev/shm";
        QTemporaryDir dir((QFileInfo(shm).isWritable() ? shm : QDir::tempPath()) + "/fuzz-XXXXXX");
        QVERIFY(dir.isValid());
        for (int i = 0; i < count; ++i) {
            const QString failure = Sequence(base + std::uint64_t(i), dir.path()).run();
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
        // Typing into a line edit with a clear button starts a fade animation,
        // which deletes itself only from the event loop once it notices that
        // its window is gone; give the orphans that moment.
        QTest::qWait(400);
    }
};

QTEST_MAIN(CommandFuzzTest)
#include "tst_commandfuzz.moc"
