// Long random command sequences on the real window. Every command a user can
// give is issued through its widget (button clicks, keys, menu entries,
// scripted dialog answers) on pictures of every pixel format a decoder
// delivers, and after every step the window is compared with a small model of
// what the commands must do: the picture's size, the zoom, the rotation flag,
// the threshold, the G-code panel, the dialogs that appeared and the files
// written.
//
// Each sequence is seeded on its own (base seed + index), so a failure names
// the one seed that replays it:
//   TAVO_FUZZ_SEED=<seed> TAVO_FUZZ_COUNT=1 tst_commandfuzz
// TAVO_FUZZ_COUNT alone runs more sequences than the default.

#include "tavomaintest.h"

#include "pictures.h"

#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTextEdit>

#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define TAVO_FUZZ_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TAVO_FUZZ_SANITIZED 1
#endif
#endif
#if defined(TAVO_FUZZ_SANITIZED)
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

constexpr std::uint64_t defaultSeed = 20240611;
#if defined(TAVO_FUZZ_SANITIZED)
constexpr int defaultCount = 1200;
#else
constexpr int defaultCount = 2000;
#endif

// The picture pane's room, the view area into which Scale, Fit and Crop bring
// the picture, is measured from two one-pixel strips of the form. Even the
// smallest window leaves some 500 x 370 pixels there, which would make every
// step after a Scale slow; the strips are therefore held to a few small
// sizes, some of them leaving no room at all. Now and then a sequence runs
// with the pane as the layout makes it.
const QSize viewAreas[] = {QSize(48, 36), QSize(30, 50), QSize(64, 9), QSize(7, 40),
                           QSize(1, 1),   QSize(0, 20),  QSize(20, -5)};

const QString pictureFilter = "JPEG(*.jpg);;PNG(*.png);;BMP(*.bmp)";
const QStringList pixelSizes = {"0.02", "0.04", "0.06", "0.08", "0.1",  "0.12", "0.14", "0.16",
                                "0.18", "0.2",  "0.22", "0.24", "0.26", "0.28", "0.3",  "0.32",
                                "0.34", "0.36", "0.38", "0.4",  "0.42", "0.44", "0.46", "0.48",
                                "0.5",  "0.52", "0.54", "0.56", "0.58", "0.6",  "0.65", "0.7",
                                "0.75", "0.8",  "0.85", "0.9",  "0.95", "1"};
const char* const filterNames[] = {"Gray",   "Binary",    "Dither",  "Inverse",
                                   "Relief", "Pulverize", "Outline", "Soften"};

struct PanelTexts
{
    QString heading;
    QStringList labels;
    QStringList defaults;
    QString title;
    QString typeLine;
};

const PanelTexts& panelFor(int type)
{
    static const PanelTexts laserLine{"Gcode = Laser Line",
                                      {"Laser Beam (mm)", "Laser Power (%)",
                                       "Travel Speed (mm/min)", "Jump Speed (mm/min)",
                                       "Start Height (mm)"},
                                      {"100", "500", "1000", "20"},
                                      "; <Tavo Laser Engraving>",
                                      "; Line Laser"};
    static const PanelTexts laserDots{"Gcode = Laser Dots",
                                      {"Laser Beam (mm)", "Ignored Threshold", "Power Index",
                                       "Travel Speed (mm/min)", "Start Height (mm)"},
                                      {"15", "0.4", "100", "20"},
                                      "; <Tavo Laser Engraving>",
                                      "; Dots Laser"};
    static const PanelTexts cncLine{"Gcode = CNC Line",
                                    {"CNC Precision (mm)", "Sheet Thickness (mm)", "Max Depth (mm)",
                                     "Min Depth (mm)", "Travel Speed (mm/min)"},
                                    {"100", "40", "1", "500"},
                                    "; <Tavo CNC Milling>",
                                    "; Line CNC"};
    return type == 0 ? laserLine : type == 1 ? laserDots : cncLine;
}

// Texts a user may leave in a parameter field: in range, on and beyond the
// bounds of the three types, and text that does not read as a number at all.
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
    const auto number = [](double value, double low, double high) {
        return low <= value && value <= high;
    };
    if (type == 0) {
        if (!whole(p[0], 1, 100))
            return "Laser Power must be within (1 - 100)";
        if (!whole(p[2], 1, 10000))
            return "Jump Speed must be within (1 - 10000)";
        if (!whole(p[1], 1, 2000))
            return "Travel Speed must be within (1 - 2000)";
        if (!number(p[3].toDouble(), 0.0, 150.0))
            return "Start Position must be within (0.00 - 150.00)";
        return {};
    }
    if (type == 1) {
        if (!whole(p[0], 0, 255))
            return "Ignored Threshold must be within (0 - 255)";
        const float index = p[1].toFloat();
        if (!(0.1f <= index && index <= 1.0f))
            return "Power Index must be within (0.1 - 1.0)";
        if (!whole(p[2], 1, 2000))
            return "Travel Speed must be within (1 - 2000)";
        if (!number(p[3].toDouble(), 0.0, 150.0))
            return "Start Position must be within (0.00 - 150.00)";
        return {};
    }
    const double thickness = p[0].toDouble();
    const double maxDepth = p[1].toDouble();
    const double minDepth = p[2].toDouble();
    if (!number(thickness, 1.0, 150.0))
        return "Sheet Thickness must be within (1.00 - 150.00)";
    if (!number(maxDepth, 1.0, 150.0))
        return "Max Depth must be within (1.00 - 150.00)";
    if (!number(minDepth, 1.0, 150.0))
        return "Min Depth must be within (1.00 - 150.00)";
    if (!(minDepth < maxDepth))
        return "Min Depth must be smaller than Max Depth";
    if (!(maxDepth <= thickness - 1.0))
        return "Max Depth must be at least 1.00 smaller than Sheet Thickness";
    if (!whole(p[3], 1, 500))
        return "Travel Speed must be within (1 - 500)";
    return {};
}

// QImage::scaled keeps the aspect the way QSize::scaled does and never gives
// less than one pixel in a direction; an empty box or picture gives nothing.
QSize keptAspect(const QSize& picture, const QSize& box)
{
    if (picture.isEmpty() || box.isEmpty())
        return QSize(0, 0);
    const QSize scaled = picture.scaled(box, Qt::KeepAspectRatio);
    return QSize(qMax(scaled.width(), 1), qMax(scaled.height(), 1));
}

QString sizeText(const QSize& size)
{
    return QString("%1x%2").arg(size.width()).arg(size.height());
}

QString formatName(QImage::Format format)
{
    static const QHash<int, QString> names = {
        {QImage::Format_Indexed8, "Indexed8"}, {QImage::Format_Grayscale8, "Grayscale8"},
        {QImage::Format_Mono, "Mono"},         {QImage::Format_MonoLSB, "MonoLSB"},
        {QImage::Format_RGB888, "RGB888"},     {QImage::Format_RGB16, "RGB16"},
        {QImage::Format_RGBX64, "RGBX64"},     {QImage::Format_RGBA64, "RGBA64"},
        {QImage::Format_RGBA8888, "RGBA8888"}, {QImage::Format_RGB32, "RGB32"},
        {QImage::Format_ARGB32, "ARGB32"},     {QImage::Format_ARGB32_Premultiplied, "PARGB32"}};
    return names.value(int(format), QString::number(int(format)));
}

// A BMP header claiming a picture without pixels in one direction.
QByteArray emptyBmp(int width, int height)
{
    QByteArray bytes;
    const auto put = [&bytes](quint32 value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.append(char((value >> (8 * i)) & 0xFF));
    };
    bytes.append("BM");
    put(54, 4); // file size
    put(0, 4);
    put(54, 4); // pixel data offset
    put(40, 4); // info header size
    put(quint32(width), 4);
    put(quint32(height), 4);
    put(1, 2);                          // planes
    put(24, 2);                         // bits per pixel
    bytes.append(QByteArray(24, '\0')); // no compression, sizes, resolution, colours
    return bytes;
}

// Where the run is, for the crash handlers: a failing seed must be known even
// when the process dies.
char currentStep[256] = "";

void writeCurrentStep()
{
    static const char prefix[] = "\ncommand fuzz died in ";
    ssize_t ignored = write(STDERR_FILENO, prefix, sizeof prefix - 1);
    ignored = write(STDERR_FILENO, currentStep, std::strlen(currentStep));
    ignored = write(STDERR_FILENO, "\n", 1);
    (void)ignored;
}

struct sigaction previousHandlers[NSIG];

void onFatalSignal(int signal)
{
    writeCurrentStep();
    sigaction(signal, &previousHandlers[signal], nullptr);
    raise(signal);
}

void installCrashNote()
{
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) {
        struct sigaction action = {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, &previousHandlers[signal]);
    }
#if defined(TAVO_FUZZ_SANITIZED)
    __sanitizer_set_death_callback(writeCurrentStep);
#endif
}

std::uint64_t environmentNumber(const char* name, std::uint64_t fallback)
{
    const QByteArray text = qgetenv(name);
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const qulonglong value = text.toULongLong(&ok, 0);
    if (!ok)
        qFatal("%s is not a number: %s", name, text.constData());
    return value;
}

// The widgets the steps use, looked up once per window.
struct Form
{
    explicit Form(const TavoMain& window)
        : spbSize(widget<QSpinBox>(window, "spbSize")), sldSize(widget<QSlider>(window, "sldSize")),
          cmbParam1(widget<QComboBox>(window, "cmbParam1")),
          cmbType(widget<QComboBox>(window, "cmbType")),
          ckbThreshold(widget<QCheckBox>(window, "ckbThreshold")),
          txtThreshold(widget<QLineEdit>(window, "txtThreshold")),
          txtParam{widget<QLineEdit>(window, "txtParam2"), widget<QLineEdit>(window, "txtParam3"),
                   widget<QLineEdit>(window, "txtParam4"), widget<QLineEdit>(window, "txtParam5")},
          txtGcode(widget<QTextEdit>(window, "txtGcode")),
          txtFile(widget<QTextEdit>(window, "txtFile")), lblCmd(widget<QLabel>(window, "lblCmd")),
          lblInfo(widget<QLabel>(window, "lblInfo")), lblImage(widget<QLabel>(window, "lblImage")),
          lblSize(widget<QLabel>(window, "lblSize")), lblWidth(widget(window, "lblWidth")),
          lblHeight(widget(window, "lblHeight")), btnReset(widget(window, "btnReset"))
    {
        for (QPushButton* button : window.findChildren<QPushButton*>())
            buttons.insert(button->objectName(), button);
        for (QAction* action : window.findChildren<QAction*>())
            actions.insert(action->objectName(), action);
    }

    QSpinBox* spbSize;
    QSlider* sldSize;
    QComboBox* cmbParam1;
    QComboBox* cmbType;
    QCheckBox* ckbThreshold;
    QLineEdit* txtThreshold;
    std::array<QLineEdit*, 4> txtParam;
    QTextEdit* txtGcode;
    QTextEdit* txtFile;
    QLabel* lblCmd;
    QLabel* lblInfo;
    QLabel* lblImage;
    QLabel* lblSize;
    QWidget* lblWidth;
    QWidget* lblHeight;
    QWidget* btnReset;
    QHash<QString, QPushButton*> buttons;
    QHash<QString, QAction*> actions;
};

// How often each kind of outcome came up, to show what a run covered.
struct Tally
{
    int sequences = 0;
    int steps = 0;
    int loaded = 0;
    int loadFailures = 0;
    int gcodeFiles[3] = {0, 0, 0};
    int refusals = 0;
    int unwritable = 0;
    int rotateQuestions = 0;
    int emptyPictures = 0; // steps that ended with a null working picture after an Open
    int savedPictures = 0;
};

// What the window must look like, kept up to date by each step.
struct Model
{
    bool opened = false; // the first Open enables the panels for good
    QSize source{0, 0};
    QSize working{0, 0};
    bool rotated = false;
    int zoom = 100;
    int slider = 100;
    int gcodeType = -1;
    int typeIndex = 0;
    bool typeEnabled = true;
    bool manual = false;
    int threshold = 127;
    int pitchIndex = -1;
    QStringList params{"", "", "", ""};
    QString report;
    QString info;

    QString pitch() const { return pitchIndex < 0 ? QString() : pixelSizes[pitchIndex]; }

    // The zoom step: from the source, rotated again when it was, fitted with
    // its aspect kept into the source's own size at the percentage.
    QSize zoomed(int percent) const
    {
        const int w = int(percent / 100.0 * source.width());
        const int h = int(percent / 100.0 * source.height());
        return keptAspect(rotated ? source.transposed() : source, QSize(w, h));
    }

    void setType(int type)
    {
        gcodeType = type;
        params = panelFor(type).defaults;
    }
};

struct ExpectedPrompt
{
    ScriptedDialogs::Kind kind;
    QString title;
    QString text;
};

class Sequence
{
public:
    Sequence(std::uint64_t seed, const QString& folder, Tally& tally)
        : rng(seed), seed(seed), folder(folder), tally(tally)
    {
    }

    // Empty when every step behaved, else what went wrong, where, and the
    // steps that led there.
    QString run();

private:
    using Kind = ScriptedDialogs::Kind;

    bool step();
    bool openCommand();
    bool saveCommand();
    bool gcodeCommand();
    bool filterCommand();
    bool geometryCommand();
    bool zoomCommand();
    bool thresholdCommand();
    bool panelCommand();

    bool checkState();
    bool checkPrompts(const QList<ExpectedPrompt>& expected);
    QString gcodeFileFault(const QString& path) const;

    QString writeOpenFile(QString* shape, bool* cutShort);
    QSize viewArea() const;
    // The button's own click: the clicked signal as a mouse click gives it,
    // refused while the button is disabled, without the synchronous repaints
    // of a simulated press, which would double the run time. The mouse path
    // has the window tests.
    void click(const QString& name) { form->buttons.value(name)->click(); }
    void trigger(const QString& name) { form->actions.value(name)->trigger(); }
    void typeInto(QWidget* field, const QString& text);
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
    QString path(const QString& suffix) const
    {
        return QDir(folder).filePath(QString("s%1-%2%3").arg(seed).arg(stepIndex).arg(suffix));
    }
    void note(const QString& text) { trail << QString("%1: %2").arg(stepIndex).arg(text); }
    bool fail(const QString& what)
    {
        failure = what;
        return false;
    }

    pictures::Random rng;
    std::uint64_t seed;
    QString folder;
    std::unique_ptr<ScriptedDialogs> dialogs;
    std::unique_ptr<TavoMain> window;
    std::unique_ptr<Form> form;
    Tally& tally;
    Model model;
    int stepIndex = 0;
    QStringList trail;
    QString failure;
};

QString Sequence::run()
{
    dialogs = std::make_unique<ScriptedDialogs>();
    window = std::make_unique<TavoMain>();
    window->showNormal();
    form = std::make_unique<Form>(*window);
    if (rng.bounded(40) != 0) {
        const QSize area = viewAreas[rng.bounded(int(std::size(viewAreas)))];
        QApplication::processEvents();
        form->lblWidth->setMaximumWidth(qMax(0, area.width() + 20));
        form->lblHeight->setMaximumHeight(
            qMax(0, area.height() + form->btnReset->height() + form->spbSize->height() + 20));
    }
    QApplication::processEvents();
    trail << QString("view area %1").arg(sizeText(viewArea()));
    ++tally.sequences;

    const int steps = 10 + rng.bounded(70);
    for (stepIndex = 0; stepIndex < steps; ++stepIndex) {
        std::snprintf(currentStep, sizeof currentStep,
                      "sequence seed %llu step %d (replay: TAVO_FUZZ_SEED=%llu TAVO_FUZZ_COUNT=1)",
                      static_cast<unsigned long long>(seed), stepIndex,
                      static_cast<unsigned long long>(seed));
        ++tally.steps;
        if (!step() || !checkState()) {
            const QStringList recent = trail.mid(qMax(0, trail.size() - 16));
            return QString("seed %1, step %2: %3\nreplay with TAVO_FUZZ_SEED=%1 "
                           "TAVO_FUZZ_COUNT=1\nlast steps:\n  %4")
                .arg(seed)
                .arg(stepIndex)
                .arg(failure, recent.join("\n  "));
        }
    }
    window.reset();
    dialogs.reset();
    return {};
}

bool Sequence::step()
{
    // Mostly Open first: before it almost every control is disabled.
    if (!model.opened && rng.bounded(4) != 0)
        return openCommand();
    switch (rng.bounded(20)) {
    case 0:
    case 1:
        return openCommand();
    case 2:
        return saveCommand();
    case 3:
    case 4:
    case 5:
        return gcodeCommand();
    case 6:
    case 7:
    case 8:
    case 9:
        return filterCommand();
    case 10:
    case 11:
    case 12:
        return geometryCommand();
    case 13:
    case 14:
        return zoomCommand();
    case 15:
    case 16:
        return thresholdCommand();
    default:
        return panelCommand();
    }
}

QSize Sequence::viewArea() const
{
    return QSize(form->lblWidth->width() - 20, form->lblHeight->height() -
                                                   form->btnReset->height() -
                                                   form->spbSize->height() - 20);
}

// Select all, then type: what a user does to replace a field's text.
void Sequence::typeInto(QWidget* field, const QString& text)
{
    if (auto* line = qobject_cast<QLineEdit*>(field))
        line->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
        spin->selectAll();
    if (text.isEmpty())
        QTest::keyClick(field, Qt::Key_Backspace);
    else
        QTest::keyClicks(field, text);
}

// Writes the picture for the next Open and says what it is; an empty result
// stands for a cancelled dialog.
QString Sequence::writeOpenFile(QString* shape, bool* cutShort)
{
    static const char* const suffixes[] = {".png", ".bmp", ".jpg"};
    static const char* const writers[] = {"PNG", "BMP", "JPEG"};
    const int kind = rng.bounded(20);
    if (kind == 0) {
        *shape = "cancelled";
        return QString();
    }
    if (kind <= 2) {
        // No file, an empty one, noise, and a BMP cut short.
        const QString name = path(".png");
        QFile file(name);
        const int broken = rng.bounded(4);
        if (broken != 0) {
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
        }
        *shape = QString("broken file (%1)").arg(broken);
        *cutShort = broken == 3;
        return name;
    }
    if (kind == 3) {
        const int w = rng.bounded(10);
        const int h = w == 0 ? rng.bounded(10) : 0;
        const QString name = path(rng.bounded(2) ? ".bmp" : ".png");
        QFile file(name);
        file.open(QIODevice::WriteOnly);
        file.write(emptyBmp(w, h));
        *shape = QString("empty %1x%2 picture").arg(w).arg(h);
        return name;
    }

    static const QSize larger[] = {QSize(64, 48), QSize(48, 64), QSize(300, 1), QSize(1, 300)};
    const QSize size =
        kind == 4 ? larger[rng.bounded(4)] : QSize(1 + rng.bounded(9), 1 + rng.bounded(9));
    const QList<QImage::Format> formats = pictures::decoderFormats();
    const QImage::Format format = formats[rng.bounded(formats.size())];
    const bool alpha = rng.bounded(2);
    QImage picture = pictures::randomImage(size.width(), size.height(), rng.next(), alpha);
    if (rng.bounded(2)) {
        // Few colours: flat areas and exact ties for thresholds and outlines.
        for (int y = 0; y < picture.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                line[x] &= alpha ? 0x80C0C0C0u : 0xFFC0C0C0u;
        }
    }
    picture = picture.convertToFormat(format);
    const int writer = rng.bounded(3);
    // Now and then the suffix does not match the contents.
    const int suffix = rng.bounded(8) == 0 ? rng.bounded(3) : writer;
    const QString name = path(suffixes[suffix]);
    if (!picture.save(name, writers[writer]))
        qFatal("cannot write a %s picture as %s", qPrintable(formatName(format)), writers[writer]);
    *shape = QString("%1 %2%3 as %4 named %5")
                 .arg(sizeText(size), formatName(format), alpha ? " with alpha" : "",
                      writers[writer], suffixes[suffix]);
    return name;
}

bool Sequence::openCommand()
{
    QString shape;
    bool cutShort = false;
    const QString name = writeOpenFile(&shape, &cutShort);
    const bool menu = rng.bounded(2);
    note(QString("Open (%1) %2").arg(menu ? "menu" : "button", shape));

    // The decoder's own verdict on the file is what the window must show.
    QImage decoded;
    if (!name.isEmpty()) {
        QImageReader reader(name);
        reader.setDecideFormatFromContent(true);
        decoded = reader.read();
    }

    dialogs->answerFileName(name);
    if (menu)
        trigger("actionOpen");
    else
        click("btnOpen");

    QList<ExpectedPrompt> expected{{Kind::OpenFile, "Open Image", pictureFilter}};
    if (!name.isEmpty()) {
        ++(decoded.isNull() ? tally.loadFailures : tally.loaded);
        if (decoded.isNull())
            expected.append({Kind::Critical, "Critical Error",
                             "Failed to load " + name + ", please try again later!"});
        model.opened = true;
        model.source = model.working = decoded.size();
        model.info =
            QString("Image Information: %1 X %2").arg(decoded.width()).arg(decoded.height());
        model.pitchIndex = 7;
        model.setType(0);
    }
    if (!checkPrompts(expected))
        return false;
    if (!name.isEmpty()) {
        if (!decoded.isNull()) {
            // Converted once to 32-bit words, alpha kept exactly when there is some.
            const QImage::Format wanted =
                decoded.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
            if (working().format() != wanted)
                return fail(QString("opened as %1, expected %2")
                                .arg(formatName(working().format()), formatName(wanted)));
            // The BMP decoder stops at a short read and reports success,
            // leaving the rows it never reached undefined.
            if (!cutShort && working().convertToFormat(QImage::Format_ARGB32) !=
                                 decoded.convertToFormat(QImage::Format_ARGB32))
                return fail("the opened picture's pixels differ from the file's");
        }
        if (form->txtFile->toPlainText() != name)
            return fail("txtFile does not show the chosen path");
        QFile::remove(name);
    }
    return true;
}

bool Sequence::saveCommand()
{
    static const char* const suffixes[] = {".png", ".bmp", ".jpg", ".xyz", ""};
    const int choice = rng.bounded(6);
    const QString name = choice == 5 ? QString() : path(suffixes[choice]);
    note(QString("Save as %1").arg(choice == 5 ? "(cancelled)" : suffixes[choice]));

    const QImage before = working();
    dialogs->answerFileName(name);
    trigger("actionSave");

    QList<ExpectedPrompt> expected{{Kind::SaveFile, "Save Image", pictureFilter}};
    const bool written = !name.isEmpty() && !model.working.isEmpty() && choice < 3;
    if (!name.isEmpty() && !model.working.isEmpty()) {
        if (written)
            expected.append(
                {Kind::Information, "Save Image", name + " has been successfully saved!"});
        else
            expected.append({Kind::Critical, "Save Image", name + " cannot be saved!"});
    }
    if (!checkPrompts(expected))
        return false;
    if (written) {
        ++tally.savedPictures;
        const QImage saved(name);
        if (saved.size() != before.size())
            return fail(QString("saved %1, the picture is %2")
                            .arg(sizeText(saved.size()), sizeText(before.size())));
        if (choice == 0 && saved.convertToFormat(QImage::Format_ARGB32) !=
                               before.convertToFormat(QImage::Format_ARGB32))
            return fail("the saved PNG differs from the working picture");
    }
    if (!name.isEmpty() && QFile::exists(name) != written)
        return fail(written ? "no file saved" : "a file was left behind");
    if (written)
        QFile::remove(name);
    return true;
}

bool Sequence::gcodeCommand()
{
    const int answer = rng.bounded(8); // 0 cancel, 1 unwritable folder, else a good path
    const QString name = answer == 0   ? QString()
                         : answer == 1 ? QDir(folder).filePath("no folder/out.gcode")
                                       : path(".gcode");
    note(QString("Gcode, type %1, %2, panel [%3], answer %4")
             .arg(model.gcodeType)
             .arg(sizeText(model.working), model.params.join("|"),
                  answer == 0   ? "cancel"
                  : answer == 1 ? "unwritable"
                                : "file"));

    const QImage before = working();
    const QString refused = model.opened ? refusal(model.gcodeType, model.params) : QString();
    const bool asks = model.opened && refused.isEmpty();
    if (asks)
        dialogs->answerFileName(name);
    click("btnGcode");

    QList<ExpectedPrompt> expected;
    if (model.opened && !refused.isEmpty()) {
        ++tally.refusals;
        expected.append({Kind::Critical, "Invalid Parameters", refused});
    }
    if (asks)
        expected.append({Kind::SaveFile, "Save Gcode", "GCode(*.gcode)"});
    const bool converts = asks && !name.isEmpty() && model.gcodeType == 0;
    if (asks && answer == 1) {
        ++tally.unwritable;
        expected.append(
            {Kind::Critical, "Save Gcode",
             name + (model.gcodeType == 0 || model.gcodeType == 1 ? " cannot be written!"
                                                                  : " cannot be writed!")});
    }
    if (!checkPrompts(expected))
        return false;

    // Laser Line makes the picture black and white first, whatever follows.
    const QImage& after = working();
    if (after.size() != before.size())
        return fail("Gcode changed the picture's size");
    if (converts) {
        for (int y = 0; y < after.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(after.constScanLine(y));
            for (int x = 0; x < after.width(); ++x)
                if (line[x] != 0xFF000000u && line[x] != 0xFFFFFFFFu)
                    return fail(QString("pixel (%1, %2) is %3 after Laser Line")
                                    .arg(x)
                                    .arg(y)
                                    .arg(line[x], 8, 16, QChar('0')));
        }
    } else if (after != before) {
        return fail("Gcode changed the picture");
    }

    if (asks && answer >= 2) {
        const int w = before.width();
        const int h = before.height();
        const int travel = int(double(w * h) * model.pitch().toDouble());
        if (TavoMainTest::gcodeGenerator(*window).travelLength() != travel)
            return fail(QString("travel length %1, expected %2")
                            .arg(TavoMainTest::gcodeGenerator(*window).travelLength())
                            .arg(travel));
        const float pitch = model.pitch().toFloat();
        const float across = float(w) * pitch;
        const float along = float(h) * pitch;
        const bool warns = across >= 140.0f || along >= 140.0f;
        const QRegularExpression shape(
            "^" + QRegularExpression::escape(name) +
            "\nHas been successfully generated!\n\nEstimated travel length \\(mm\\): " +
            QString::number(travel) + "\n\nEstimated processing time \\(min\\): \\d+\n\n" +
            (warns ? "The engraving path will be out of the max available range!\nYou may have "
                     "to modify the size of picture or the precision.\n"
                   : "") +
            "$");
        const QString report = form->txtGcode->toPlainText();
        if (!shape.match(report).hasMatch())
            return fail("unexpected report:\n" + report);
        model.report = report;
        const QString fault = gcodeFileFault(name);
        if (!fault.isEmpty())
            return fail(fault);
        ++tally.gcodeFiles[model.gcodeType == 0 || model.gcodeType == 1 ? model.gcodeType : 2];
        QFile::remove(name);
    }
    if (answer == 1 && QDir(folder).exists("no folder"))
        return fail("a folder was created for the G-code file");
    return true;
}

// The file's shape: the prefix with the panel's texts, the main section, the
// postfix last, CR LF after every line and nothing else.
QString Sequence::gcodeFileFault(const QString& name) const
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return "no G-code file written";
    const QByteArray bytes = file.readAll();
    if (!bytes.startsWith("; ****** G-code Prefix ******\r\n"))
        return "the G-code file does not start with the prefix";
    if (!bytes.endsWith("\r\nG1 F2000\r\n"))
        return "the G-code file does not end with the postfix";
    // Every move lands on a pixel corner of the picture, or one column beyond
    // either end where a run reaching the row's end may be closed.
    const double pitch = model.pitch().toDouble();
    const double slack = 0.005 + 1e-9;
    const double w = model.working.width();
    const double h = model.working.height();
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeLast(); // after the final line end
    for (int i = 0; i < lines.size(); ++i) {
        QByteArray& line = lines[i];
        if (!line.endsWith('\r'))
            return QString("line %1 of the G-code file ends in a bare LF").arg(i + 1);
        line.chop(1);
        if (line.contains('\r'))
            return QString("line %1 of the G-code file holds a bare CR").arg(i + 1);
        if (line.isEmpty())
            return QString("line %1 of the G-code file is blank").arg(i + 1);
        if (!line.startsWith("; ") && !line.startsWith('G') && !line.startsWith('M'))
            return QString("line %1 of the G-code file is neither a command nor a comment: %2")
                .arg(i + 1)
                .arg(QString::fromUtf8(line));
        if (line.startsWith("G1 X")) {
            const int yAt = line.indexOf(" Y");
            const int end = line.indexOf(' ', yAt + 2);
            const QByteArray xText = line.mid(4, yAt - 4);
            const QByteArray yText = line.mid(yAt + 2, end < 0 ? -1 : end - yAt - 2);
            bool xOk = false;
            bool yOk = false;
            const double x = xText.toDouble(&xOk);
            const double y = yText.toDouble(&yOk);
            const auto twoDecimals = [](const QByteArray& text) {
                return text.size() >= 4 && text[text.size() - 3] == '.';
            };
            if (yAt < 0 || !xOk || !yOk || !twoDecimals(xText) || !twoDecimals(yText) ||
                x > (w * 0.5 + 1) * pitch + slack || x < (w * 0.5 - w) * pitch - slack ||
                y > h * 0.5 * pitch + slack || y < (h * 0.5 - qMax(0.0, h - 1)) * pitch - slack)
                return QString("line %1 of the G-code file moves off the %2 picture: %3")
                    .arg(i + 1)
                    .arg(sizeText(model.working), QString::fromUtf8(line));
        }
    }
    const PanelTexts& panel = panelFor(model.gcodeType);
    QStringList header{"; ****** G-code Prefix ******", panel.title, panel.typeLine};
    const QStringList values = QStringList{model.pitch()} + model.params;
    if (lines.size() < 10)
        return "the G-code file is too short";
    for (int k = 0; k < 3; ++k)
        if (QString::fromUtf8(lines[k]) != header[k])
            return QString("prefix line %1 is %2").arg(k + 1).arg(QString::fromUtf8(lines[k]));
    for (int k = 0; k < 5; ++k) {
        const QString wanted = "; " + panel.labels[k] + ": " + values[k];
        if (QString::fromUtf8(lines[4 + k]) != wanted)
            return QString("parameter line %1 is '%2', expected '%3'")
                .arg(k + 1)
                .arg(QString::fromUtf8(lines[4 + k]), wanted);
    }
    if (lines[9] != "; ****** Main G-code ******")
        return "the main section does not follow the parameters";
    if (lines.count("; ****** G-code Postfix ******") != 1)
        return "the G-code file has not exactly one postfix";
    return {};
}

bool Sequence::filterCommand()
{
    const int filter = rng.bounded(8);
    const bool menu = rng.bounded(2);
    const QString name = filterNames[filter];
    note(QString("%1 (%2) on %3").arg(name, menu ? "menu" : "button", sizeText(model.working)));
    if (menu)
        trigger("action" + name);
    else
        click("btn" + name);
    if (!checkPrompts({}))
        return false;

    // Gray leaves gray pixels and Binary black and white ones, opaque.
    const QImage& picture = working();
    if (filter > 1 || (!menu && !model.opened))
        return true;
    for (int y = 0; y < picture.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb p = line[x];
            const bool ok = filter == 0
                                ? qAlpha(p) == 255 && qRed(p) == qGreen(p) && qGreen(p) == qBlue(p)
                                : p == 0xFF000000u || p == 0xFFFFFFFFu;
            if (!ok)
                return fail(QString("%1 left pixel (%2, %3) at %4")
                                .arg(name)
                                .arg(x)
                                .arg(y)
                                .arg(p, 8, 16, QChar('0')));
        }
    }
    return true;
}

bool Sequence::geometryCommand()
{
    const QSize area = viewArea();
    QList<ExpectedPrompt> expected;
    switch (rng.bounded(5)) {
    case 0:
        note(QString("Crop %1 into %2").arg(sizeText(model.working), sizeText(area)));
        click("btnCrop");
        if (model.opened) {
            const QSize kept(qMin(area.width(), model.working.width()),
                             qMin(area.height(), model.working.height()));
            model.working = kept.isEmpty() ? QSize(0, 0) : kept;
        }
        break;
    case 1:
        note(QString("Scale %1 into %2").arg(sizeText(model.working), sizeText(area)));
        click("btnScale");
        if (model.opened)
            model.working = keptAspect(model.working, area);
        break;
    case 2:
        note(QString("Fit %1 into %2").arg(sizeText(model.working), sizeText(area)));
        click("btnFit");
        if (model.opened)
            model.working = model.working.isEmpty() || area.isEmpty() ? QSize(0, 0) : area;
        break;
    case 3: {
        const bool ok = rng.bounded(2);
        const bool asks = model.opened && model.working.height() < model.working.width();
        note(QString("Rotate %1%2")
                 .arg(sizeText(model.working), asks ? ok ? ", Ok" : ", Cancel" : ""));
        if (asks) {
            ++tally.rotateQuestions;
            dialogs->answerQuestion(ok ? Dialogs::Ok : Dialogs::Cancel);
            expected.append({Kind::Question, "Rotate Image",
                             "Currently the width of image is larger than height, it fits better "
                             "than that after rotated. Do you still want to rotate it?"});
        }
        const QImage before = working();
        click("btnRotate");
        if (model.opened && (ok || !asks)) {
            model.working.transpose();
            model.rotated = !model.rotated;
            // A transpose: (x, y) goes to (y, x).
            const QImage& after = working();
            for (int y = 0; y < before.height(); ++y)
                for (int x = 0; x < before.width(); ++x)
                    if (after.pixel(y, x) != before.pixel(x, y))
                        return fail(QString("rotated pixel (%1, %2) moved wrongly").arg(x).arg(y));
        }
        break;
    }
    default:
        note(QString("Reset at zoom %1%2").arg(model.zoom).arg(model.rotated ? ", rotated" : ""));
        click("btnReset");
        if (model.opened) {
            // Moving the zoom back to 100 runs a zoom step; at 100 already, none.
            model.working = model.zoom != 100 ? model.zoomed(100) : model.source;
            model.zoom = model.slider = 100;
        }
        break;
    }
    return checkPrompts(expected);
}

bool Sequence::zoomCommand()
{
    auto* spin = form->spbSize;
    auto* slider = form->sldSize;
    // Each change of the spin box's value runs a zoom step from the source.
    const auto spinTo = [this](int value) {
        if (value != model.zoom) {
            model.zoom = model.slider = value;
            model.working = model.zoomed(value);
        }
    };
    switch (rng.bounded(5)) {
    case 0: {
        const int value = 10 + rng.bounded(91);
        note(QString("zoom set to %1").arg(value));
        if (!model.opened)
            return true; // a disabled spin box takes no value
        spin->setValue(value);
        spinTo(value);
        break;
    }
    case 1: {
        static const Qt::Key keys[] = {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown};
        static const int steps[] = {1, -1, 10, -10};
        const int k = rng.bounded(4);
        note(QString("zoom key %1").arg(steps[k]));
        QTest::keyClick(spin, keys[k]);
        if (model.opened)
            spinTo(qBound(10, model.zoom + steps[k], 100));
        break;
    }
    case 2: {
        // Typed digit by digit: every prefix the spin box accepts is a value.
        // Return then hands the value over once more, changed or not, and
        // with it comes one more zoom step.
        const int value = 10 + rng.bounded(91);
        const bool enter = rng.bounded(2);
        note(QString("zoom typed %1%2").arg(value).arg(enter ? " and Return" : ""));
        typeInto(spin, QString::number(value));
        if (enter)
            QTest::keyClick(spin, Qt::Key_Return);
        if (model.opened) {
            const QString digits = QString::number(value);
            for (int n = 2; n <= digits.size(); ++n)
                spinTo(digits.left(n).toInt());
            if (enter) {
                model.working = model.zoomed(value);
                model.slider = value;
            }
        }
        break;
    }
    case 3: {
        const int position = 10 + rng.bounded(92);
        note(QString("slider dragged to %1").arg(position));
        if (!model.opened)
            return true;
        // A handle let go where it already was moves nothing.
        const bool moves = position != model.slider;
        slider->setSliderDown(true);
        slider->setSliderPosition(position);
        slider->setSliderDown(false);
        if (moves) {
            const int before = model.zoom;
            spinTo(qMin(position, 100));
            if (model.zoom == before)
                model.slider = position; // the handle stays where it was let go
        }
        break;
    }
    default: {
        // Keys move the slider without dragging it: no zoom.
        const bool right = rng.bounded(2);
        note(QString("slider key %1").arg(right ? "right" : "left"));
        QTest::keyClick(slider, right ? Qt::Key_Right : Qt::Key_Left);
        if (model.opened)
            model.slider = qBound(10, model.slider + (right ? 1 : -1), 101);
        break;
    }
    }
    return checkPrompts({});
}

bool Sequence::thresholdCommand()
{
    if (rng.bounded(3) == 0) {
        note("Manual Threshold clicked");
        form->ckbThreshold->click();
        if (model.opened)
            model.manual = !model.manual;
        return checkPrompts({});
    }
    static const QStringList texts = {"0",   "1",   "64",   "126", "127",  "128",
                                      "200", "255", "-1",   "256", "-300", "99999999999",
                                      "abc", "",    "12.5", " 42 "};
    const QString text = texts[rng.bounded(texts.size())];
    note(QString("threshold typed '%1'").arg(text));
    auto* field = form->txtThreshold;
    typeInto(field, text);
    QTest::keyClick(field, Qt::Key_Return);
    if (model.opened && model.manual)
        model.threshold = text.toInt();
    return checkPrompts({});
}

bool Sequence::panelCommand()
{
    switch (rng.bounded(6)) {
    case 0: {
        const bool down = rng.bounded(2);
        note(QString("pixel size key %1").arg(down ? "down" : "up"));
        QTest::keyClick(form->cmbParam1, down ? Qt::Key_Down : Qt::Key_Up);
        if (model.opened)
            model.pitchIndex = qBound(0, model.pitchIndex + (down ? 1 : -1), 37);
        break;
    }
    case 1: {
        const int index = rng.bounded(38);
        note(QString("pixel size chosen: %1").arg(pixelSizes[index]));
        if (!model.opened)
            return true;
        form->cmbParam1->setCurrentIndex(index);
        model.pitchIndex = index;
        break;
    }
    case 2:
        note("Laser");
        click("btnLaser");
        if (model.opened) {
            model.typeEnabled = true;
            model.setType(model.typeIndex);
        }
        break;
    case 3:
        note("CNC");
        click("btnCnc");
        if (model.opened) {
            model.typeEnabled = false;
            model.setType(2);
        }
        break;
    case 4: {
        const bool down = rng.bounded(3) != 0; // Dots needs the move down
        note(QString("type key %1").arg(down ? "down" : "up"));
        QTest::keyClick(form->cmbType, down ? Qt::Key_Down : Qt::Key_Up);
        const int index = down ? 1 : 0;
        if (model.opened && model.typeEnabled && index != model.typeIndex) {
            model.typeIndex = index;
            model.setType(index);
        }
        break;
    }
    default: {
        const int slot = rng.bounded(4);
        const QString text = panelTexts[rng.bounded(panelTexts.size())];
        note(QString("txtParam%1 typed '%2'").arg(slot + 2).arg(text));
        typeInto(form->txtParam[slot], text);
        if (model.opened)
            model.params[slot] = text;
        break;
    }
    }
    return checkPrompts({});
}

bool Sequence::checkPrompts(const QList<ExpectedPrompt>& expected)
{
    QList<ScriptedDialogs::Prompt> prompts = dialogs->prompts();
    const int unexpected = dialogs->unexpectedPrompts();
    const int unused = dialogs->unusedAnswers();
    dialogs->clear();
    QStringList seen;
    for (const ScriptedDialogs::Prompt& prompt : prompts)
        seen << QString("%1 '%2' '%3'").arg(prompt.kind).arg(prompt.title, prompt.text);
    bool same = prompts.size() == expected.size() && unexpected == 0 && unused == 0;
    for (int i = 0; same && i < prompts.size(); ++i)
        same = prompts[i].kind == expected[i].kind && prompts[i].title == expected[i].title &&
               prompts[i].text == expected[i].text;
    if (same)
        return true;
    QStringList wanted;
    for (const ExpectedPrompt& prompt : expected)
        wanted << QString("%1 '%2' '%3'").arg(prompt.kind).arg(prompt.title, prompt.text);
    return fail(QString("dialogs: saw [%1], expected [%2]%3")
                    .arg(seen.join(", "), wanted.join(", "),
                         unused ? QString(", %1 answers unused").arg(unused) : QString()));
}

bool Sequence::checkState()
{
    const QImage& picture = working();
    const QImage& source = TavoMainTest::imageProcessor(*window).sourceImage();
    if (picture.size() != model.working)
        return fail(QString("working picture %1, expected %2")
                        .arg(sizeText(picture.size()), sizeText(model.working)));
    if (source.size() != model.source)
        return fail(QString("source picture %1, expected %2")
                        .arg(sizeText(source.size()), sizeText(model.source)));
    for (const QImage* image : {&picture, &source})
        if (!image->isNull() && image->format() != QImage::Format_RGB32 &&
            image->format() != QImage::Format_ARGB32)
            return fail("a picture in format " + formatName(image->format()));
    if (TavoMainTest::rotated(*window) != model.rotated)
        return fail("rotated flag out of step");

    const auto* spin = form->spbSize;
    const auto* slider = form->sldSize;
    if (spin->value() != model.zoom || slider->value() != model.slider)
        return fail(QString("zoom %1, slider %2; expected %3 and %4")
                        .arg(spin->value())
                        .arg(slider->value())
                        .arg(model.zoom)
                        .arg(model.slider));

    const ImageProcessor& processor = TavoMainTest::imageProcessor(*window);
    if (processor.autoThreshold() == model.manual || processor.threshold() != model.threshold)
        return fail(QString("threshold %1 (%2), expected %3 (%4)")
                        .arg(processor.threshold())
                        .arg(processor.autoThreshold() ? "auto" : "manual")
                        .arg(model.threshold)
                        .arg(model.manual ? "manual" : "auto"));
    if (form->txtThreshold->isEnabled() != (model.opened && model.manual))
        return fail("txtThreshold enabled out of step");

    if (TavoMainTest::gcodeType(*window) != model.gcodeType)
        return fail(QString("G-code type %1, expected %2")
                        .arg(TavoMainTest::gcodeType(*window))
                        .arg(model.gcodeType));
    if (form->cmbType->isEnabled() != (model.opened && model.typeEnabled))
        return fail("cmbType enabled out of step");
    if (form->txtGcode->toPlainText() != model.report)
        return fail("txtGcode changed");
    if (!model.opened)
        return true;
    if (picture.isNull())
        ++tally.emptyPictures;

    const QString heading = form->lblCmd->text();
    if (heading != panelFor(model.gcodeType).heading)
        return fail("panel heading " + heading);
    for (int k = 0; k < 4; ++k) {
        const QString text = form->txtParam[k]->text();
        if (text != model.params[k])
            return fail(QString("txtParam%1 holds '%2', expected '%3'")
                            .arg(k + 2)
                            .arg(text, model.params[k]));
    }
    const auto* pitch = form->cmbParam1;
    if (pitch->count() != 38 || pitch->currentText() != model.pitch())
        return fail(QString("pixel size '%1' of %2, expected '%3'")
                        .arg(pitch->currentText())
                        .arg(pitch->count())
                        .arg(model.pitch()));
    if (form->lblInfo->text() != model.info)
        return fail("lblInfo reads " + form->lblInfo->text());

    // The view shows the working picture and the read-out its size now.
    const QPixmap shown = form->lblImage->pixmap(Qt::ReturnByValue);
    if (shown.size() != (picture.isNull() ? QSize(0, 0) : picture.size()))
        return fail(QString("the view shows %1").arg(sizeText(shown.size())));
    const float millimetres = model.pitch().toFloat();
    const float x = float(picture.width()) * millimetres;
    const float y = float(picture.height()) * millimetres;
    const QString readout =
        QString("Size = X: %1 * Y: %2").arg(QString::number(x, 'F', 2), QString::number(y, 'F', 2));
    const auto* size = form->lblSize;
    if (size->text() != readout)
        return fail(QString("read-out '%1', expected '%2'").arg(size->text(), readout));
    const QColor colour = x > 140.0f || y > 140.0f ? QColor(255, 0, 0) : QColor(0, 0, 255);
    if (size->palette().color(QPalette::WindowText) != colour)
        return fail("read-out colour out of step");
    return true;
}

} // namespace

class CommandFuzzTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void randomSequences();
};

void CommandFuzzTest::initTestCase()
{
    silenceOffscreenNoise();
    installCrashNote();
}

void CommandFuzzTest::randomSequences()
{
    const std::uint64_t base = environmentNumber("TAVO_FUZZ_SEED", defaultSeed);
    const int count = int(environmentNumber("TAVO_FUZZ_COUNT", defaultCount));
    // Memory-backed when there is such a place: every G-code file is synced
    // to disk on commit, which on a real disk would take most of the run.
    const QString shm = "/dev/shm";
    QTemporaryDir dir(QFileInfo(shm).isWritable() ? shm + "/tavo-fuzz-XXXXXX"
                                                  : QDir::tempPath() + "/tavo-fuzz-XXXXXX");
    QVERIFY(dir.isValid());

    QElapsedTimer timer;
    timer.start();
    Tally tally;
    for (int i = 0; i < count; ++i) {
        Sequence sequence(base + std::uint64_t(i), dir.path(), tally);
        const QString failure = sequence.run();
        if (!failure.isEmpty())
            QFAIL(qPrintable(failure));
        // Nothing a sequence wrote may outlive it, or the folder's contents
        // would differ between a full run and a replay.
        const QStringList left =
            QDir(dir.path())
                .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        if (!left.isEmpty())
            QFAIL(qPrintable(QString("seed %1 left files behind: %2")
                                 .arg(base + std::uint64_t(i))
                                 .arg(left.join(", "))));
    }
    // Typing into a line edit with a clear button starts its fade animation,
    // which deletes itself only from the event loop once it notices that its
    // window is gone; give the orphans that moment.
    QTest::qWait(400);
    qInfo("%d sequences, %d steps from seed %llu in %lld ms", tally.sequences, tally.steps,
          static_cast<unsigned long long>(base), timer.elapsed());
    qInfo("opened %d pictures, %d failed to load; G-code files %d / %d / %d (Laser Line, Laser "
          "Dots, CNC Line), %d refused, %d unwritable; %d rotate questions; %d pictures saved; "
          "%d steps left an empty picture",
          tally.loaded, tally.loadFailures, tally.gcodeFiles[0], tally.gcodeFiles[1],
          tally.gcodeFiles[2], tally.refusals, tally.unwritable, tally.rotateQuestions,
          tally.savedPictures, tally.emptyPictures);
}

QTEST_MAIN(CommandFuzzTest)
#include "tst_commandfuzz.moc"
