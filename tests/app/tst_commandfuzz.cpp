// Long random command sequences on the real window. Every command is given
// through its widget (buttons, keys, menu entries, scripted dialog answers)
// on pictures of every pixel format a decoder delivers, and after every step
// the window is compared with a small model of what the commands must do.
//
// Each sequence has its own seed (base seed + index), so a failure names the
// one seed that replays it:
//   TAVO_FUZZ_SEED=<seed> TAVO_FUZZ_COUNT=1 tst_commandfuzz
// TAVO_FUZZ_COUNT alone runs more sequences than the default.

#include "tavomaintest.h"

#include "pictures.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QKeySequence>
#include <QLabel>
#include <QMap>
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

// The room Scale, Fit and Crop fit the picture into. The layout's own, some
// 500 x 370 pixels, would make every step after a Scale slow, so the pane is
// mostly held to a few small sizes, some leaving no room at all.
const QSize viewAreas[] = {QSize(48, 36), QSize(30, 50), QSize(64, 9), QSize(7, 40),
                           QSize(1, 1),   QSize(0, 20),  QSize(20, -5)};

const QString pictureFilter = "JPEG(*.jpg);;PNG(*.png);;BMP(*.bmp)";
// 0.02 to 0.6 mm by 0.02, then to 1 mm by 0.05.
const QStringList pixelSizes = [] {
    QStringList sizes;
    for (int k = 1; k <= 38; ++k)
        sizes << QString::number(k <= 30 ? k * 0.02 : (k - 18) * 0.05);
    return sizes;
}();
const char* const filterNames[] = {"Gray",   "Binary",    "Dither",  "Inverse",
                                   "Relief", "Pulverize", "Outline", "Soften"};

// Per G-code type: the panel's heading, the file's title and type lines, the
// panel's four defaults, and the labels of the five values in the file.
const QStringList panels[3] = {
    QString("Gcode = Laser Line|; <Tavo Laser Engraving>|; Line Laser|100|500|1000|20|"
            "Laser Beam (mm)|Laser Power (%)|Travel Speed (mm/min)|Jump Speed (mm/min)|"
            "Start Height (mm)")
        .split('|'),
    QString("Gcode = Laser Dots|; <Tavo Laser Engraving>|; Dots Laser|15|0.4|100|20|"
            "Laser Beam (mm)|Ignored Threshold|Power Index|Travel Speed (mm/min)|"
            "Start Height (mm)")
        .split('|'),
    QString("Gcode = CNC Line|; <Tavo CNC Milling>|; Line CNC|100|40|1|500|CNC Precision (mm)|"
            "Sheet Thickness (mm)|Max Depth (mm)|Min Depth (mm)|Travel Speed (mm/min)")
        .split('|')};

// In range, on and beyond the bounds of the three types, and not numbers.
const QStringList panelTexts = {
    "0",    "1",     "2",     "15",     "20",   "20.0", "40",   "01000",       "99",   "99.5",
    "100",  "101",   "150",   "150.01", "255",  "256",  "500",  "501",         "1000", "2000",
    "2001", "10000", "10001", "0.1",    "0.09", "0.4",  "1.01", "-1",          "-0.1", "12.5",
    "abc",  "",      " 30 ",  "1e2",    "0x10", "nan",  "inf",  "99999999999", "3,5",  "+7"};

// The first parameter check that fails for the type, or an empty text.
QString refusal(int type, const QStringList& p)
{
    const auto whole = [](const QString& text, int low, int high) {
        const int value = text.toInt(nullptr, 10);
        return low <= value && value <= high;
    };
    const auto within = [](double value, double low, double high) {
        return low <= value && value <= high;
    };
    const QString start = "Start Position must be within (0.00 - 150.00)";
    if (type == 0) {
        return !whole(p[0], 1, 100)               ? "Laser Power must be within (1 - 100)"
               : !whole(p[2], 1, 10000)           ? "Jump Speed must be within (1 - 10000)"
               : !whole(p[1], 1, 2000)            ? "Travel Speed must be within (1 - 2000)"
               : !within(p[3].toDouble(), 0, 150) ? start
                                                  : QString();
    }
    if (type == 1) {
        const float index = p[1].toFloat();
        return !whole(p[0], 0, 255)                ? "Ignored Threshold must be within (0 - 255)"
               : !(0.1f <= index && index <= 1.0f) ? "Power Index must be within (0.1 - 1.0)"
               : !whole(p[2], 1, 2000)             ? "Travel Speed must be within (1 - 2000)"
               : !within(p[3].toDouble(), 0, 150)  ? start
                                                   : QString();
    }
    const double thickness = p[0].toDouble();
    const double maxDepth = p[1].toDouble();
    const double minDepth = p[2].toDouble();
    return !within(thickness, 1, 150)       ? "Sheet Thickness must be within (1.00 - 150.00)"
           : !within(maxDepth, 1, 150)      ? "Max Depth must be within (1.00 - 150.00)"
           : !within(minDepth, 1, 150)      ? "Min Depth must be within (1.00 - 150.00)"
           : !(minDepth < maxDepth)         ? "Min Depth must be smaller than Max Depth"
           : !(maxDepth <= thickness - 1.0) ? "Max Depth must be at least 1.00 smaller than Sheet "
                                              "Thickness"
           : !whole(p[3], 1, 500)           ? "Travel Speed must be within (1 - 500)"
                                            : QString();
}

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

// Where the run is: a failing seed must be known even when the process dies,
// be it through the test library's fatal-signal report or a sanitizer's.
char currentStep[128] = "";

void writeCurrentStep()
{
    std::fputs(currentStep, stderr);
}

void installCrashNote()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (type == QtFatalMsg)
                writeCurrentStep();
            previous(type, context, message);
        });
#if defined(TAVO_FUZZ_SANITIZED)
    __sanitizer_set_death_callback(writeCurrentStep);
#endif
}

// A whole number from the environment, or the fallback when it is not set.
int setting(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    if (qEnvironmentVariableIsSet(name) && !ok)
        qFatal("%s is not a number", name);
    return ok ? value : fallback;
}

// What the window must look like, kept up to date by each step.
struct Model
{
    bool opened = false; // the first Open enables the panels for good
    bool rotated = false, manual = false, typeEnabled = true;
    QSize source{0, 0}, working{0, 0};
    int zoom = 100, slider = 100, gcodeType = -1, typeIndex = 0, threshold = 127, pitchIndex = -1;
    QStringList params{"", "", "", ""};
    QString report, info;

    QString pitch() const { return pitchIndex < 0 ? QString() : pixelSizes[pitchIndex]; }

    // A zoom step starts from the source, rotated again when it was, and fits
    // it with its aspect kept into the source's own size at the percentage.
    QSize zoomed(int percent) const
    {
        const QSize box(int(percent / 100.0 * source.width()),
                        int(percent / 100.0 * source.height()));
        return keptAspect(rotated ? source.transposed() : source, box);
    }

    void setType(int type)
    {
        gcodeType = type;
        params = panels[type].mid(3, 4);
    }
};

QString prompt(ScriptedDialogs::Kind kind, const QString& title, const QString& text)
{
    return QString("%1 '%2' '%3'").arg(kind).arg(title, text);
}

class Sequence
{
public:
    Sequence(std::uint64_t seed, const QString& folder, QMap<QString, int>& tally)
        : rng(seed), seed(seed), folder(folder), tally(tally)
    {
    }

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
        ++tally["sequences"];

        const int steps = 10 + rng.bounded(70);
        for (stepIndex = 0; stepIndex < steps; ++stepIndex, ++tally["steps"]) {
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
        const QStringList left =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        return left.isEmpty()
                   ? QString()
                   : QString("seed %1 left files behind: %2").arg(seed).arg(left.join(", "));
    }

private:
    using Kind = ScriptedDialogs::Kind;
    static bool blackOrWhite(QRgb p) { return p == 0xFF000000u || p == 0xFFFFFFFFu; }

    bool step()
    {
        // How often each command comes up, in twentieths.
        using Command = bool (Sequence::*)();
        static const Command commands[20] = {
            &Sequence::open,      &Sequence::open,   &Sequence::save,     &Sequence::gcode,
            &Sequence::gcode,     &Sequence::gcode,  &Sequence::filter,   &Sequence::filter,
            &Sequence::filter,    &Sequence::filter, &Sequence::geometry, &Sequence::geometry,
            &Sequence::geometry,  &Sequence::zoom,   &Sequence::zoom,     &Sequence::threshold,
            &Sequence::threshold, &Sequence::panel,  &Sequence::panel,    &Sequence::panel};
        // Mostly Open first: before it almost every control is disabled.
        if (!model.opened && rng.bounded(4) != 0)
            return open();
        return (this->*commands[rng.bounded(20)])();
    }

    // Writes the picture for the next Open; an empty name stands for a
    // cancelled dialog.
    QString writeOpenFile(bool* cutShort)
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
            QFile file(name);
            if (broken != 0)
                file.open(QIODevice::WriteOnly);
            if (broken == 2)
                file.write(QByteArray::fromHex("0123456789abcdef0011223344"));
            if (broken == 3) {
                QByteArray bmp;
                QBuffer buffer(&bmp);
                buffer.open(QIODevice::WriteOnly);
                pictures::randomImage(9, 9, rng.next()).save(&buffer, "BMP");
                file.write(bmp.left(40 + rng.bounded(bmp.size() - 40)));
            }
            if (broken == 4) {
                const int w = rng.bounded(10);
                file.write(emptyBmp(w, w == 0 ? rng.bounded(10) : 0));
            }
            note(QString("broken file (%1)").arg(broken));
            *cutShort = broken == 3;
            return name;
        }

        static const QSize larger[] = {QSize(64, 48), QSize(48, 64), QSize(300, 1), QSize(1, 300)};
        const QSize size =
            kind == 4 ? larger[rng.bounded(4)] : QSize(1 + rng.bounded(9), 1 + rng.bounded(9));
        const QList<QImage::Format> formats = pictures::decoderFormats();
        const QImage::Format format = formats[rng.bounded(formats.size())];
        const bool alpha = rng.bounded(2);
        QImage picture = pictures::randomImage(size.width(), size.height(), rng.next(), alpha);
        // Few colours, now and then: flat areas and exact ties for thresholds
        // and outlines.
        if (rng.bounded(2))
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    picture.setPixel(x, y,
                                     picture.pixel(x, y) & (alpha ? 0x80C0C0C0u : 0xFFC0C0C0u));
        picture = picture.convertToFormat(format);
        const int writer = rng.bounded(3);
        // Now and then the suffix does not match the contents.
        const int suffix = rng.bounded(8) == 0 ? rng.bounded(3) : writer;
        const QString name = path(suffixes[suffix]);
        note(QString("%1 %2%3 as %4")
                 .arg(shown(size), shown(format), alpha ? " with alpha" : "", writers[writer]));
        if (!picture.save(name, writers[writer]))
            qFatal("cannot write %s", qPrintable(trail.last()));
        return name;
    }

    bool open()
    {
        bool cutShort = false;
        const QString name = writeOpenFile(&cutShort);
        // The decoder's own verdict on the file is what the window must show.
        QImageReader reader(name);
        reader.setDecideFormatFromContent(true);
        const QImage decoded = name.isEmpty() ? QImage() : reader.read();
        answer(name);
        press(rng.bounded(2) ? "actionOpen" : "btnOpen");
        expect(Kind::OpenFile, "Open Image", pictureFilter);
        if (name.isEmpty())
            return true;
        ++tally[decoded.isNull() ? "failed loads" : "loaded"];
        if (decoded.isNull())
            expect(Kind::Critical, "Critical Error",
                   "Failed to load " + name + ", please try again later!");
        model.opened = true;
        model.source = model.working = decoded.size();
        model.info =
            QString("Image Information: %1 X %2").arg(decoded.width()).arg(decoded.height());
        model.pitchIndex = 7;
        model.setType(0);
        QFile::remove(name);
        if (!same("txtFile", get<QTextEdit>("txtFile")->toPlainText(), name))
            return false;
        // Converted once to 32-bit words, alpha kept exactly when there is
        // some. The BMP decoder stops at a short read and reports success,
        // leaving the rows it never reached undefined.
        const auto wanted =
            decoded.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
        return decoded.isNull() ||
               (same("opened format", working().format(), wanted) &&
                (cutShort || same("opened pixels", working().convertToFormat(QImage::Format_ARGB32),
                                  decoded.convertToFormat(QImage::Format_ARGB32))));
    }

    bool save()
    {
        static const char* const suffixes[] = {".png", ".bmp", ".jpg", ".xyz", ""};
        const int choice = rng.bounded(6);
        const QString name = choice == 5 ? QString() : path(suffixes[choice]);
        const QImage before = working();
        answer(name);
        press("actionSave");
        expect(Kind::SaveFile, "Save Image", pictureFilter);
        const bool tried = !name.isEmpty() && !model.working.isEmpty();
        const bool written = tried && choice < 3;
        if (written)
            expect(Kind::Information, "Save Image", name + " has been successfully saved!");
        else if (tried)
            expect(Kind::Critical, "Save Image", name + " cannot be saved!");
        if (!checkPrompts() ||
            (!name.isEmpty() && !same("a file saved", QFile::exists(name), written)) || !written)
            return failure.isEmpty();
        ++tally["saved pictures"];
        const QImage saved(name);
        QFile::remove(name);
        return same("saved size", saved.size(), before.size()) &&
               (choice != 0 || same("saved PNG", saved.convertToFormat(QImage::Format_ARGB32),
                                    before.convertToFormat(QImage::Format_ARGB32)));
    }

    bool gcode()
    {
        const int choice = rng.bounded(8); // 0 cancel, 1 unwritable folder, else a good path
        const QString name = choice == 0   ? QString()
                             : choice == 1 ? QDir(folder).filePath("no folder/out.gcode")
                                           : path(".gcode");
        const QImage before = working();
        const QString refused = model.opened ? refusal(model.gcodeType, model.params) : QString();
        const bool asks = model.opened && refused.isEmpty();
        if (asks)
            answer(name);
        press("btnGcode");
        if (!refused.isEmpty() && ++tally["refused"])
            expect(Kind::Critical, "Invalid Parameters", refused);
        if (asks)
            expect(Kind::SaveFile, "Save Gcode", "GCode(*.gcode)");
        if (asks && choice == 1 && ++tally["unwritable"])
            expect(Kind::Critical, "Save Gcode",
                   name + (model.gcodeType < 2 ? " cannot be written!" : " cannot be writed!"));
        if (!checkPrompts() || !same("size after Gcode", working().size(), before.size()))
            return false;
        // Laser Line makes the picture black and white first, whatever follows.
        if (asks && !name.isEmpty() && model.gcodeType == 0
                ? !everyPixel("Laser Line", blackOrWhite)
                : !same("picture", working(), before))
            return false;
        if (choice == 1 && QDir(folder).exists("no folder"))
            return fail("a folder was created for the G-code file");
        if (!asks || choice < 2)
            return true;

        // The report's wording has its own tests; here it must speak of this
        // file and picture.
        const int travel = int(double(before.width() * before.height()) * model.pitch().toDouble());
        const float pitch = model.pitch().toFloat();
        const bool warns = before.width() * pitch >= 140.0f || before.height() * pitch >= 140.0f;
        model.report = get<QTextEdit>("txtGcode")->toPlainText();
        const QString opening = name +
                                "\nHas been successfully generated!\n\nEstimated travel "
                                "length (mm): " +
                                QString::number(travel) + "\n";
        if (!same("travel length", TavoMainTest::gcodeGenerator(window).travelLength(), travel) ||
            !same("report " + model.report,
                  qMakePair(model.report.startsWith(opening),
                            model.report.contains("out of the max")),
                  qMakePair(true, warns)))
            return false;
        const QString fault = gcodeFileFault(name);
        QFile::remove(name);
        ++tally[QString("G-code files of type %1").arg(model.gcodeType)];
        return fault.isEmpty() || fail(fault);
    }

    // The file's shape: the prefix with the panel's texts, the main section,
    // the postfix last, CR LF after every line and nothing else.
    QString gcodeFileFault(const QString& name) const
    {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            return "no G-code file written";
        const QByteArray bytes = file.readAll();
        if (!bytes.startsWith("; ****** G-code Prefix ******\r\n") ||
            !bytes.endsWith("\r\nG1 F2000\r\n"))
            return "the G-code file does not start with the prefix and end with the postfix";
        // Every move lands on a pixel corner of the picture, or one column
        // beyond either end where a run reaching the row's end may be closed.
        const double pitch = model.pitch().toDouble();
        const double slack = 0.005 + 1e-9;
        const double w = model.working.width();
        const double h = model.working.height();
        const auto twoDecimals = [](const QByteArray& text) {
            return text.size() >= 5 && text[text.size() - 3] == '.';
        };
        QList<QByteArray> lines = bytes.split('\n');
        lines.removeLast(); // after the final line end
        const auto at = [&lines](int i, const char* what) {
            return QString("line %1 of the G-code file %2: %3")
                .arg(i + 1)
                .arg(what, shown(lines[i]));
        };
        for (int i = 0; i < lines.size(); ++i) {
            QByteArray& line = lines[i];
            if (!line.endsWith('\r'))
                return at(i, "ends in a bare LF");
            line.chop(1);
            if (line.contains('\r') || line.isEmpty() ||
                !(line.startsWith("; ") || line.startsWith('G') || line.startsWith('M')))
                return at(i, "is neither a command nor a comment");
            if (!line.startsWith("G1 X"))
                continue;
            const QList<QByteArray> words = line.split(' ');
            const QByteArray xText = words.value(1);
            const QByteArray yText = words.value(2);
            bool xOk = false;
            bool yOk = false;
            const double x = xText.mid(1).toDouble(&xOk);
            const double y = yText.mid(1).toDouble(&yOk);
            if (!yText.startsWith('Y') || !xOk || !yOk || !twoDecimals(xText) ||
                !twoDecimals(yText) || x > (w * 0.5 + 1) * pitch + slack ||
                x < (w * 0.5 - w) * pitch - slack || y > h * 0.5 * pitch + slack ||
                y < (h * 0.5 - qMax(0.0, h - 1)) * pitch - slack)
                return at(i, "moves off the picture");
        }
        if (lines.size() < 10)
            return "the G-code file is too short";
        // Line 4 is the program's own note.
        const QStringList& panel = panels[model.gcodeType];
        const QStringList values = QStringList{model.pitch()} + model.params;
        QStringList wanted{"; ****** G-code Prefix ******", panel[1], panel[2]};
        for (int k = 0; k < 5; ++k)
            wanted << "; " + panel[7 + k] + ": " + values[k];
        wanted << "; ****** Main G-code ******";
        QStringList head;
        for (int k = 0; k < 10; ++k)
            if (k != 3)
                head << QString::fromUtf8(lines[k]);
        if (head != wanted)
            return "the G-code file starts with " + shown(head) + ", expected " + shown(wanted);
        if (lines.count("; ****** G-code Postfix ******") != 1)
            return "the G-code file has not exactly one postfix";
        return {};
    }

    bool filter()
    {
        const int filter = rng.bounded(8);
        const bool menu = rng.bounded(2);
        const QString name = filterNames[filter];
        press((menu ? "action" : "btn") + name);
        // Gray leaves gray pixels and Binary black and white ones, opaque.
        if (filter > 1 || (!menu && !model.opened))
            return true;
        if (filter == 1)
            return everyPixel(name, blackOrWhite);
        return everyPixel(name, [](QRgb p) {
            return qAlpha(p) == 255 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p);
        });
    }

    bool geometry()
    {
        const QSize area = viewArea(window);
        const int command = rng.bounded(5);
        note(shown(model.working) + " in the view's " + shown(area));
        if (command < 3) {
            static const char* const names[] = {"btnCrop", "btnScale", "btnFit"};
            press(names[command]);
            const QSize cropped = model.working.boundedTo(area);
            const QSize results[] = {
                cropped.isEmpty() ? QSize(0, 0) : cropped, keptAspect(model.working, area),
                model.working.isEmpty() || area.isEmpty() ? QSize(0, 0) : area};
            if (model.opened)
                model.working = results[command];
        } else if (command == 3) {
            const bool ok = rng.bounded(2);
            const bool asks = model.opened && model.working.height() < model.working.width();
            if (asks) {
                ++tally["rotate questions"];
                note(ok ? "answering Ok" : "answering Cancel");
                dialogs.answerQuestion(ok ? Dialogs::Ok : Dialogs::Cancel);
                expect(Kind::Question, "Rotate Image",
                       "Currently the width of image is larger than height, it fits better than "
                       "that after rotated. Do you still want to rotate it?");
            }
            const QImage before = working();
            press("btnRotate");
            if (model.opened && (ok || !asks)) {
                model.working.transpose();
                model.rotated = !model.rotated;
                const QImage& after = working();
                for (int y = 0; y < before.height(); ++y)
                    for (int x = 0; x < before.width(); ++x)
                        if (after.pixel(y, x) != before.pixel(x, y))
                            return fail(QString("rotated pixel (%1, %2) moved").arg(x).arg(y));
            }
        } else {
            press("btnReset");
            if (model.opened) {
                // Moving the zoom back to 100 runs a zoom step; at 100 already, none.
                model.working = model.zoom != 100 ? model.zoomed(100) : model.source;
                model.zoom = model.slider = 100;
            }
        }
        return true;
    }

    bool zoom()
    {
        auto* spin = get<QSpinBox>("spbSize");
        auto* slider = get<QSlider>("sldSize");
        // Each change of the spin box's value runs a zoom step from the source.
        const auto spinTo = [this](int value) {
            if (model.opened && value != model.zoom) {
                model.zoom = model.slider = value;
                model.working = model.zoomed(value);
            }
        };
        const int value = 10 + rng.bounded(91);
        const bool flag = rng.bounded(2);
        switch (rng.bounded(4)) {
        case 0: {
            static const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp,
                                           Qt::Key_PageDown};
            static const int steps[] = {1, -1, 10, -10};
            key(spin, keys[value % 4]);
            spinTo(qBound(10, model.zoom + steps[value % 4], 100));
            break;
        }
        case 1: {
            // Typed digit by digit: every prefix the spin box accepts is a
            // value. Return hands the value over once more, changed or not,
            // and with it comes one more zoom step.
            const QString digits = QString::number(value);
            typeInto(spin, digits);
            if (flag)
                key(spin, Qt::Key_Return);
            for (int n = 2; n <= digits.size(); ++n)
                spinTo(digits.left(n).toInt());
            if (flag && model.opened) {
                model.working = model.zoomed(value);
                model.slider = value;
            }
            break;
        }
        case 2: {
            // Dragged, now and then one beyond the spin box's range; a handle
            // let go where it already was moves nothing.
            const int position = value + flag;
            note(QString("slider dragged to %1").arg(position));
            if (!model.opened)
                break; // a disabled slider would move all the same
            slider->setSliderDown(true);
            slider->setSliderPosition(position);
            slider->setSliderDown(false);
            const int before = model.zoom;
            if (position != model.slider)
                spinTo(qMin(position, 100));
            if (position != model.slider && model.zoom == before)
                model.slider = position; // the handle stays where it was let go
            break;
        }
        default:
            // Keys move the slider without dragging it: no zoom.
            key(slider, flag ? Qt::Key_Right : Qt::Key_Left);
            if (model.opened)
                model.slider = qBound(10, model.slider + (flag ? 1 : -1), 101);
        }
        return true;
    }

    bool threshold()
    {
        static const QStringList texts = {"0",   "1",   "64",   "126", "127",  "128",
                                          "200", "255", "-1",   "256", "-300", "99999999999",
                                          "abc", "",    "12.5", " 42 "};
        if (rng.bounded(3) == 0) {
            press("ckbThreshold");
            if (model.opened)
                model.manual = !model.manual;
            return true;
        }
        const QString text = texts[rng.bounded(texts.size())];
        typeInto(get("txtThreshold"), text);
        key(get("txtThreshold"), Qt::Key_Return);
        if (model.opened && model.manual)
            model.threshold = text.toInt();
        return true;
    }

    bool panel()
    {
        auto* pitch = get<QComboBox>("cmbParam1");
        const bool down = rng.bounded(2);
        switch (rng.bounded(6)) {
        case 0:
            key(pitch, down ? Qt::Key_Down : Qt::Key_Up);
            if (model.opened)
                model.pitchIndex = qBound(0, model.pitchIndex + (down ? 1 : -1), 37);
            break;
        case 1: {
            // Any pixel size at once, as the drop-down list offers them.
            const int index = rng.bounded(38);
            note("pixel size chosen: " + pixelSizes[index]);
            if (!model.opened)
                break; // a disabled box would take it all the same
            pitch->setCurrentIndex(index);
            model.pitchIndex = index;
            break;
        }
        case 2:
        case 3:
            press(down ? "btnCnc" : "btnLaser");
            if (model.opened) {
                model.typeEnabled = !down;
                model.setType(down ? 2 : model.typeIndex);
            }
            break;
        case 4: {
            const bool dots = down || rng.bounded(2); // Dots needs the move down
            key(get("cmbType"), dots ? Qt::Key_Down : Qt::Key_Up);
            if (model.opened && model.typeEnabled && int(dots) != model.typeIndex) {
                model.typeIndex = int(dots);
                model.setType(model.typeIndex);
            }
            break;
        }
        default: {
            const int slot = rng.bounded(4);
            const QString text = panelTexts[rng.bounded(panelTexts.size())];
            typeInto(get(QString("txtParam%1").arg(slot + 2)), text);
            if (model.opened)
                model.params[slot] = text;
        }
        }
        return true;
    }

    bool checkPrompts()
    {
        QStringList seen;
        for (const ScriptedDialogs::Prompt& p : dialogs.prompts())
            seen << prompt(p.kind, p.title, p.text);
        const int unused = dialogs.unusedAnswers();
        const int unexpected = dialogs.unexpectedPrompts();
        const QStringList wanted = expected;
        dialogs.clear();
        expected.clear();
        return same("dialogs", seen, wanted) && same("unused dialog answers", unused, 0) &&
               same("unanswered dialogs", unexpected, 0);
    }

    bool checkState()
    {
        const ImageProcessor& processor = TavoMainTest::imageProcessor(window);
        const QImage& picture = working();
        const QImage& source = processor.sourceImage();
        const auto words = [](const QImage& image) {
            return image.isNull() || image.format() == QImage::Format_RGB32 ||
                   image.format() == QImage::Format_ARGB32;
        };
        if (!same("working picture", picture.size(), model.working) ||
            !same("source picture", source.size(), model.source) ||
            !same("formats " + shown(picture.format()) + " " + shown(source.format()),
                  words(picture) && words(source), true) ||
            !same("rotated", TavoMainTest::rotated(window), model.rotated) ||
            !same("zoom and slider",
                  qMakePair(get<QSpinBox>("spbSize")->value(), get<QSlider>("sldSize")->value()),
                  qMakePair(model.zoom, model.slider)) ||
            !same("auto threshold and threshold",
                  qMakePair(processor.autoThreshold(), processor.threshold()),
                  qMakePair(!model.manual, model.threshold)) ||
            !same("txtThreshold enabled", get("txtThreshold")->isEnabled(),
                  model.opened && model.manual) ||
            !same("G-code type", TavoMainTest::gcodeType(window), model.gcodeType) ||
            !same("cmbType enabled", get("cmbType")->isEnabled(),
                  model.opened && model.typeEnabled) ||
            !same("txtGcode", get<QTextEdit>("txtGcode")->toPlainText(), model.report))
            return false;
        if (!model.opened)
            return true;
        tally["steps ending on an empty picture"] += picture.isNull();

        QStringList params;
        for (int k = 2; k <= 5; ++k)
            params << get<QLineEdit>(QString("txtParam%1").arg(k))->text();
        const auto* pitch = get<QComboBox>("cmbParam1");
        // The view shows the working picture and the read-out its size now.
        const float x = float(picture.width()) * model.pitch().toFloat();
        const float y = float(picture.height()) * model.pitch().toFloat();
        const auto* size = get<QLabel>("lblSize");
        return same("heading", get<QLabel>("lblCmd")->text(), panels[model.gcodeType][0]) &&
               same("parameters", params, model.params) &&
               same("pixel sizes and choice", qMakePair(pitch->count(), pitch->currentText()),
                    qMakePair(38, model.pitch())) &&
               same("lblInfo", get<QLabel>("lblInfo")->text(), model.info) &&
               same("view", get<QLabel>("lblImage")->pixmap(Qt::ReturnByValue).size(),
                    picture.isNull() ? QSize(0, 0) : picture.size()) &&
               same("read-out", size->text(),
                    QString("Size = X: %1 * Y: %2")
                        .arg(QString::number(x, 'F', 2), QString::number(y, 'F', 2))) &&
               same("read-out colour", size->palette().color(QPalette::WindowText),
                    x > 140.0f || y > 140.0f ? QColor(255, 0, 0) : QColor(0, 0, 255));
    }

    template <typename T = QWidget> T* get(const QString& name) const
    {
        T* found = qobject_cast<T*>(objects.value(name));
        if (!found)
            qFatal("no %s", qPrintable(name));
        return found;
    }
    // The user's inputs, each written to the trail. A button's own click is
    // refused while it is disabled like a mouse click, but spares the
    // synchronous repaints of a simulated press, which would double the run
    // time; the window tests take the mouse path.
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
    void expect(Kind kind, const QString& title, const QString& text)
    {
        expected << prompt(kind, title, text);
    }
    const QImage& working() { return TavoMainTest::workingImage(window); }
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
    template <typename Test> bool everyPixel(const QString& what, Test ok)
    {
        const QImage& picture = working();
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (!ok(picture.pixel(x, y)))
                    return fail(what + " left pixel " + shown(QPoint(x, y)) + " at " +
                                QString::number(picture.pixel(x, y), 16));
        return true;
    }

    pictures::Random rng;
    std::uint64_t seed;
    QString folder;
    QMap<QString, int>& tally;
    ScriptedDialogs dialogs; // before the window, which must go first
    TavoMain window;
    QHash<QString, QObject*> objects;
    Model model;
    int stepIndex = 0;
    QStringList trail;
    QStringList expected;
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
        QElapsedTimer timer;
        timer.start();
        QMap<QString, int> tally;
        for (int i = 0; i < count; ++i) {
            const QString failure = Sequence(base + std::uint64_t(i), dir.path(), tally).run();
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
        }
        // Typing into a line edit with a clear button starts a fade animation,
        // which deletes itself only from the event loop once it notices that
        // its window is gone; give the orphans that moment.
        QTest::qWait(400);
        QStringList counts;
        for (auto it = tally.cbegin(); it != tally.cend(); ++it)
            counts << QString("%1 %2").arg(it.value()).arg(it.key());
        qInfo("seed %llu, %lld ms: %s", static_cast<unsigned long long>(base), timer.elapsed(),
              qPrintable(counts.join(", ")));
    }
};

QTEST_MAIN(CommandFuzzTest)
#include "tst_commandfuzz.moc"
