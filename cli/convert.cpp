// tavo convert: pictures in, G-code out, through the very operations the
// window runs, so that the same picture, commands and parameter texts give
// the same bytes.
#include "cli/convert.h"

#include "cli/arguments.h"
#include "cli/console.h"
#include "files/localfiles.h"
#include "gcode/firmware.h"
#include "gcode/gcodegenerator.h"
#include "gcode/gcodereport.h"
#include "gcode/machine.h"
#include "gcode/parameters.h"
#include "imaging/filters.h"
#include "imaging/imageprocessor.h"

#include <QDir>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <array>
#include <optional>

namespace cli {

namespace {

// The commands of --apply beyond the filters, which take their names from the
// filter table.
struct StepName
{
    const char* name;
    PictureStep::Kind kind;
};

const StepName stepNames[] = {
    {"rotate", PictureStep::Rotate},
    {"crop", PictureStep::Crop},
    {"scale", PictureStep::Scale},
    {"fit", PictureStep::Fit},
};

const StepName* findStep(const QString& name)
{
    for (const StepName& step : stepNames)
        if (name == QLatin1String(step.name))
            return &step;
    return nullptr;
}

struct TypeName
{
    const char* name;
    GcodeType type;
};

const TypeName typeNames[] = {
    {"laser-line", LaserLine},
    {"laser-dots", LaserDots},
    {"cnc-line", CncLine},
};

// One long option per machining parameter; the slot is the panel's (2 to 5).
struct ParameterOption
{
    const char* name;
    GcodeType type;
    int slot;
};

const ParameterOption parameterOptions[] = {
    {"--power", LaserLine, 2},
    {"--travel-speed", LaserLine, 3},
    {"--jump-speed", LaserLine, 4},
    {"--start-height", LaserLine, 5},
    {"--ignored-threshold", LaserDots, 2},
    {"--power-index", LaserDots, 3},
    {"--travel-speed", LaserDots, 4},
    {"--start-height", LaserDots, 5},
    {"--thickness", CncLine, 2},
    {"--max-depth", CncLine, 3},
    {"--min-depth", CncLine, 4},
    {"--travel-speed", CncLine, 5},
};

bool isParameterOption(const QString& name)
{
    for (const ParameterOption& option : parameterOptions)
        if (name == QLatin1String(option.name))
            return true;
    return false;
}

QStringList parameterOptionsOf(GcodeType type)
{
    QStringList names;
    for (const ParameterOption& option : parameterOptions)
        if (option.type == type)
            names << QLatin1String(option.name);
    return names;
}

const std::vector<Arguments::Option>& convertOptions()
{
    static const std::vector<Arguments::Option> options = [] {
        std::vector<Arguments::Option> list = {
            {"--type", true},  {"--pitch", true}, {"--zoom", true},   {"--threshold", true},
            {"--apply", true}, {"-o", true},      {"--output", true}, {"--save-picture", true},
            {"--json", false}, {"--help", false}, {"-h", false},
        };
        const Arguments::Option firmware[] = {
            {"--firmware", true}, {"--s-max", true}, {"--overscan", true}, {"--one-way", false}};
        list.insert(list.end(), std::begin(firmware), std::end(firmware));
        QSet<QString> seen;
        for (const ParameterOption& option : parameterOptions)
            if (!seen.contains(QLatin1String(option.name))) {
                seen.insert(QLatin1String(option.name));
                list.push_back({QLatin1String(option.name), true});
            }
        return list;
    }();
    return options;
}

// Where the outputs of one kind go: one file, or a folder with one file per
// picture named after it.
struct Destination
{
    QString path;
    bool folder = false;
    QString suffix; // for a folder

    bool wanted() const { return !path.isEmpty(); }
    QString fileFor(const QString& picture) const
    {
        if (!folder)
            return path;
        return QDir(path).filePath(QFileInfo(picture).completeBaseName() + suffix);
    }
};

struct Settings
{
    QStringList pictures;
    GcodeType type = LaserLine;
    QString pitch;
    std::array<QString, 4> values; // slots 2 to 5, as typed
    std::optional<int> zoom;
    std::optional<int> threshold;
    QList<PictureStep> steps;
    Destination gcode;
    Destination picture;
    bool json = false;
    FirmwareSettings firmware;
};

// An empty text when the pitch is not one of the panel's choices; "0.10" is
// written as the panel shows it, 0.1.
QString pitchChoice(const QString& text)
{
    bool ok = false;
    const double wanted = text.toDouble(&ok);
    if (ok)
        for (const QString& choice : pixelSizeChoices())
            if (choice.toDouble() == wanted)
                return choice;
    return QString();
}

std::optional<GcodeType> typeNamed(const QString& text)
{
    for (const TypeName& type : typeNames)
        if (text == QLatin1String(type.name))
            return type.type;
    return std::nullopt;
}

QString typeName(GcodeType type)
{
    for (const TypeName& name : typeNames)
        if (name.type == type)
            return QLatin1String(name.name);
    return QString();
}

// Qt's file classes would write a name holding bytes that are not valid text
// under another name; such a name is refused rather than changed.
bool writableName(const QString& path, QString* error)
{
    if (fileNameKeepsItsBytes(path))
        return true;
    *error = tr("%1 cannot be written under that name: it is not valid text in this system's "
                "encoding")
                 .arg(readableFileName(path));
    return false;
}

bool destination(const QString& path, int pictures, const char* what, const QString& suffix,
                 Destination* result, QString* error)
{
    if (path.isEmpty()) {
        *error = tr("%1 needs a file or folder name").arg(QLatin1String(what));
        return false;
    }
    if (!writableName(path, error))
        return false;
    const QFileInfo info(path);
    if (pictures > 1 && info.exists() && !info.isDir()) {
        *error =
            tr("%1 must name a folder when several pictures are given").arg(QLatin1String(what));
        return false;
    }
    result->path = path;
    result->suffix = suffix;
    result->folder = info.isDir() || path.endsWith(QLatin1Char('/')) || pictures > 1;
    return true;
}

QString absolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// No output may land on another output or on a picture still to be read.
bool checkDestinations(const Settings& settings, QString* error)
{
    QSet<QString> inputs;
    for (const QString& picture : settings.pictures)
        inputs.insert(absolute(picture));
    QSet<QString> outputs;
    for (const QString& picture : settings.pictures) {
        for (const Destination* target : {&settings.gcode, &settings.picture}) {
            if (!target->wanted())
                continue;
            const QString file = target->fileFor(picture);
            if (!writableName(file, error))
                return false;
            const QString key = absolute(file);
            if (inputs.contains(key)) {
                *error = tr("%1 would overwrite a picture being converted").arg(file);
                return false;
            }
            if (outputs.contains(key)) {
                *error = tr("two results would be written to %1").arg(file);
                return false;
            }
            outputs.insert(key);
        }
    }
    return true;
}

bool checkPictureFormat(const Destination& target, QString* error)
{
    if (!target.wanted() || target.folder)
        return true;
    const QByteArray suffix = QFileInfo(target.path).suffix().toLower().toLatin1();
    const QList<QByteArray> formats = QImageWriter::supportedImageFormats();
    if (formats.contains(suffix))
        return true;
    QStringList names;
    for (const QByteArray& format : formats)
        names << QString::fromLatin1(format);
    *error = tr("cannot tell the picture format of %1: end its name in one of .%2")
                 .arg(target.path, names.join(QLatin1String(", .")));
    return false;
}

bool readParameters(const Arguments& arguments, Settings* settings, QString* error)
{
    for (const Arguments::Given& given : arguments.given()) {
        if (!isParameterOption(given.name))
            continue;
        bool applies = false;
        for (const ParameterOption& option : parameterOptions)
            if (option.type == settings->type && given.name == QLatin1String(option.name)) {
                settings->values[std::size_t(option.slot - 2)] = given.value;
                applies = true;
            }
        if (!applies) {
            *error = tr("%1 does not apply to %2, whose parameters are %3")
                         .arg(given.name, typeName(settings->type),
                              parameterOptionsOf(settings->type).join(QLatin1String(", ")));
            return false;
        }
    }
    return true;
}

bool readPreparation(const Arguments& arguments, Settings* settings, QString* error)
{
    if (arguments.has(QStringLiteral("--zoom"))) {
        bool ok = false;
        const QString text = arguments.value(QStringLiteral("--zoom"));
        const int zoom = text.toInt(&ok, 10);
        if (!ok || zoom < 10 || zoom > 100) {
            *error = tr("--zoom must be a whole number within (10 - 100), not \"%1\"").arg(text);
            return false;
        }
        settings->zoom = zoom;
    }
    if (arguments.has(QStringLiteral("--threshold"))) {
        bool ok = false;
        const QString text = arguments.value(QStringLiteral("--threshold"));
        const int threshold = text.toInt(&ok, 10);
        if (!ok) {
            *error = tr("--threshold must be a whole number, not \"%1\"").arg(text);
            return false;
        }
        settings->threshold = threshold;
    }
    for (const Arguments::Given& given : arguments.given())
        if (given.name == QLatin1String("--apply") &&
            !parseSteps(given.value, &settings->steps, error))
            return false;
    return true;
}

// The GRBL options mean nothing to a Marlin file: refused there, so nobody
// believes they had an effect.
bool readFirmware(const Arguments& arguments, Settings* settings, QString* error)
{
    FirmwareSettings& firmware = settings->firmware;
    const QString name = arguments.value(QStringLiteral("--firmware"));
    if (name == QLatin1String("grbl")) {
        firmware.firmware = Firmware::Grbl;
    } else if (!name.isEmpty() && name != QLatin1String("marlin")) {
        *error = tr("--firmware must be marlin or grbl, not \"%1\"").arg(name);
        return false;
    }
    for (const char* option : {"--s-max", "--overscan", "--one-way"}) {
        if (firmware.firmware == Firmware::Marlin && arguments.has(QLatin1String(option))) {
            const QString value = arguments.value(QLatin1String(option));
            const QString given =
                QLatin1String(option) + (value.isEmpty() ? QString() : QLatin1Char(' ') + value);
            *error = tr("%1 applies to GRBL files only: add --firmware grbl").arg(given);
            return false;
        }
    }
    if (arguments.has(QStringLiteral("--s-max")) &&
        !readSMax(arguments.value(QStringLiteral("--s-max")), &firmware.sMax, error))
        return false;
    if (arguments.has(QStringLiteral("--overscan")) &&
        !readOverscan(arguments.value(QStringLiteral("--overscan")), &firmware.overscan, error))
        return false;
    firmware.oneWay = arguments.has(QStringLiteral("--one-way"));
    return true;
}

bool readDestinations(const Arguments& arguments, Settings* settings, QString* error)
{
    const int count = settings->pictures.size();
    for (const char* name : {"-o", "--output"})
        if (arguments.has(QLatin1String(name)) &&
            !destination(arguments.value(QLatin1String(name)), count, "-o",
                         QStringLiteral(".gcode"), &settings->gcode, error))
            return false;
    if (arguments.has(QStringLiteral("--save-picture")) &&
        !destination(arguments.value(QStringLiteral("--save-picture")), count, "--save-picture",
                     QStringLiteral(".png"), &settings->picture, error))
        return false;
    if (!settings->gcode.wanted() && !settings->picture.wanted()) {
        *error = tr("nothing to write: give -o for G-code, --save-picture for the prepared "
                    "picture, or both");
        return false;
    }
    return checkPictureFormat(settings->picture, error) && checkDestinations(*settings, error);
}

bool settingsFrom(const Arguments& arguments, Settings* settings, QString* error)
{
    for (const Arguments::Given& given : arguments.given())
        if (given.name != QLatin1String("--apply") && arguments.count(given.name) > 1) {
            *error = tr("%1 is given more than once").arg(given.name);
            return false;
        }
    if (arguments.has(QStringLiteral("-o")) && arguments.has(QStringLiteral("--output"))) {
        *error = tr("-o is given more than once");
        return false;
    }

    settings->pictures = arguments.positional();
    if (settings->pictures.isEmpty()) {
        *error = tr("no picture given");
        return false;
    }
    if (arguments.has(QStringLiteral("--type"))) {
        const QString name = arguments.value(QStringLiteral("--type"));
        const std::optional<GcodeType> type = typeNamed(name);
        if (!type) {
            *error = tr("--type must be laser-line, laser-dots or cnc-line, not \"%1\"").arg(name);
            return false;
        }
        settings->type = *type;
    }
    settings->values = gcodeParameters(settings->type).defaults;
    settings->pitch = pixelSizeChoices().at(defaultPixelSizeIndex);
    if (arguments.has(QStringLiteral("--pitch"))) {
        settings->pitch = pitchChoice(arguments.value(QStringLiteral("--pitch")));
        if (settings->pitch.isEmpty()) {
            *error = tr("--pitch must be one of %1, not \"%2\"")
                         .arg(pixelSizeChoices().join(QLatin1String(", ")),
                              arguments.value(QStringLiteral("--pitch")));
            return false;
        }
    }
    settings->json = arguments.has(QStringLiteral("--json"));
    return readParameters(arguments, settings, error) &&
           readPreparation(arguments, settings, error) &&
           readDestinations(arguments, settings, error) && readFirmware(arguments, settings, error);
}

bool makeFolder(const Destination& target, Console& console)
{
    if (!target.wanted() || !target.folder || QDir().mkpath(target.path))
        return true;
    console.error(tr("cannot create the folder %1").arg(target.path));
    return false;
}

// Two decimals, the way the window's size read-out shows the engraving.
double millimetres(int pixels, const QString& pitch)
{
    return QString::number(sizeOnMachineMm(pixels, pitch), 'F', 2).toDouble();
}

class Converter
{
public:
    Converter(const Settings& settings, Console& console)
        : m_settings(settings), m_console(console), m_dialogs(console),
          m_progress(console, console.errorIsTerminal())
    {
    }

    int run()
    {
        if (!makeFolder(m_settings.gcode, m_console) || !makeFolder(m_settings.picture, m_console))
            return ExitFailure;
        m_progress.start(m_settings.pictures.size() * stepsPerPicture());
        bool failed = false;
        for (const QString& picture : m_settings.pictures)
            failed |= !convert(picture);
        m_progress.finish();
        return failed ? ExitFailure : ExitSuccess;
    }

private:
    int stepsPerPicture() const
    {
        return 1 + (m_settings.zoom ? 1 : 0) + m_settings.steps.size() +
               (m_settings.picture.wanted() ? 1 : 0) + (m_settings.gcode.wanted() ? 1 : 0);
    }

    void progress(const QString& picture, const QString& what)
    {
        m_progress.step(m_done++, readableFileName(QFileInfo(picture).fileName()) +
                                      QLatin1String(": ") + what);
    }

    bool convert(const QString& picture)
    {
        QJsonObject record;
        record.insert(QStringLiteral("input"), readableFileName(picture));
        const bool ok = prepareAndWrite(picture, record);
        const QStringList messages = m_dialogs.takeMessages();
        if (!ok)
            record.insert(QStringLiteral("error"), messages.join(QLatin1Char('\n')));
        if (m_settings.json)
            m_console.print(
                QString::fromUtf8(QJsonDocument(record).toJson(QJsonDocument::Compact)) +
                QLatin1Char('\n'));
        m_done = m_doneBefore += stepsPerPicture();
        return ok;
    }

    bool prepareAndWrite(const QString& picture, QJsonObject& record)
    {
        progress(picture, tr("loading"));
        ImageProcessor processor;
        if (m_settings.threshold) {
            processor.setManualThreshold(true);
            processor.setThreshold(*m_settings.threshold);
        }
        if (!processor.loadImage(picture, m_progress.stepReport()))
            return false; // reported by the workspace

        if (m_settings.zoom) {
            progress(picture, tr("zoom %1 %").arg(*m_settings.zoom));
            processor.zoomFromSource(*m_settings.zoom, false);
        }
        processor.releaseSource(); // nothing resets here: one picture in memory, not two
        for (const PictureStep& step : m_settings.steps) {
            progress(picture, step.text);
            applyStep(processor, step);
        }
        if (processor.workingImage()->isNull()) {
            const QSize refused = processor.refusedSize();
            Dialogs::instance().critical(
                tr("Critical Error"),
                refused.isValid()
                    ? tr("%1: the prepared picture would be %2 x %3 pixels, too large to hold; "
                         "nothing is written")
                          .arg(readableFileName(picture))
                          .arg(refused.width())
                          .arg(refused.height())
                    : tr("%1: the prepared picture is empty, nothing is written")
                          .arg(readableFileName(picture)));
            return false;
        }

        bool ok = true;
        if (m_settings.picture.wanted())
            ok &= savePicture(picture, processor, record);
        if (m_settings.gcode.wanted())
            ok &= writeGcode(picture, processor, record);
        return ok;
    }

    bool savePicture(const QString& picture, ImageProcessor& processor, QJsonObject& record)
    {
        const QString file = m_settings.picture.fileFor(picture);
        progress(picture, tr("saving %1").arg(QFileInfo(file).fileName()));
        if (!processor.saveImage(file, m_progress.stepReport())) {
            Dialogs::instance().critical(tr("Save Image"), file + tr(" cannot be saved!"));
            return false;
        }
        record.insert(QStringLiteral("picture"), file);
        if (!m_settings.json)
            m_console.print(file + tr(" has been successfully saved!") + QLatin1Char('\n'));
        return true;
    }

    bool writeGcode(const QString& picture, ImageProcessor& processor, QJsonObject& record)
    {
        const QString file = m_settings.gcode.fileFor(picture);
        progress(picture, tr("writing %1").arg(QFileInfo(file).fileName()));

        GcodeGenerator generator;
        const GcodeParameters panel = gcodeParameters(m_settings.type);
        for (std::size_t i = 0; i < panel.labels.size(); ++i)
            generator.paramNames[i] = panel.labels[i];
        generator.paramValues[0] = m_settings.pitch;
        for (std::size_t i = 0; i < m_settings.values.size(); ++i)
            generator.paramValues[i + 1] = m_settings.values[i];
        generator.firmware = m_settings.firmware;

        // As the window's Gcode command: Laser Line engraves black runs, so
        // the picture is made black and white with the threshold in force.
        if (m_settings.type == LaserLine)
            processor.binaryImage();
        generator.setImage(processor.workingImage());
        if (!generator.generate(m_settings.type, file, m_progress.stepReport()))
            return false; // the writer has said why

        const QImage& image = *processor.workingImage();
        const bool outOfRange =
            engravingOutOfRange(image.width(), image.height(), m_settings.pitch);
        record.insert(QStringLiteral("path"), file);
        record.insert(QStringLiteral("firmware"), m_settings.firmware.firmware == Firmware::Grbl
                                                      ? QStringLiteral("grbl")
                                                      : QStringLiteral("marlin"));
        record.insert(QStringLiteral("travelLengthMm"), generator.travelLength());
        record.insert(QStringLiteral("processingTimeMin"), generator.processingTime());
        record.insert(QStringLiteral("widthMm"), millimetres(image.width(), m_settings.pitch));
        record.insert(QStringLiteral("heightMm"), millimetres(image.height(), m_settings.pitch));
        record.insert(QStringLiteral("outOfRange"), outOfRange);
        if (!m_settings.json)
            m_console.print(gcodeReport(file, generator.travelLength(), generator.processingTime(),
                                        image.width(), image.height(), m_settings.pitch));
        return true;
    }

    const Settings& m_settings;
    Console& m_console;
    ConsoleDialogs m_dialogs;
    Progress m_progress;
    int m_done = 0;
    int m_doneBefore = 0;
};

} // namespace

bool parseSteps(const QString& list, QList<PictureStep>* steps, QString* error)
{
    static const QRegularExpression sized(QStringLiteral("^([a-z]+)=(\\d+)[xX](\\d+)$"));
    for (const QString& word : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString text = word.trimmed();
        const QRegularExpressionMatch match = sized.match(text);
        const QString name = match.hasMatch() ? match.captured(1) : text;
        const FilterEntry* filter = filterNamed(name);
        const StepName* step = findStep(name);
        if (!filter && !step) {
            QStringList filters;
            for (const FilterEntry& entry : filterTable())
                filters << QLatin1String(entry.name);
            *error = tr("unknown picture command \"%1\"; the commands are %2, rotate, crop=WxH, "
                        "scale=WxH and fit=WxH")
                         .arg(text, filters.join(QLatin1String(", ")));
            return false;
        }
        const bool needsSize = step && step->kind != PictureStep::Rotate;
        PictureStep parsed{filter ? PictureStep::Filter : step->kind, QSize(), text, filter};
        if (needsSize) {
            bool wideOk = false;
            bool highOk = false;
            const int width = match.captured(2).toInt(&wideOk);
            const int height = match.captured(3).toInt(&highOk);
            if (!match.hasMatch() || !wideOk || !highOk || width < 1 || height < 1) {
                *error = tr("%1 needs a size of at least 1 x 1 pixels, as in %2=620x420, not "
                            "\"%3\"")
                             .arg(text, QLatin1String(step->name), text.mid(text.indexOf('=') + 1));
                return false;
            }
            parsed.size = QSize(width, height);
        } else if (match.hasMatch()) {
            *error = tr("%1 takes no size").arg(name);
            return false;
        }
        steps->append(parsed);
    }
    return true;
}

void applyStep(ImageProcessor& processor, const PictureStep& step)
{
    switch (step.kind) {
    case PictureStep::Crop:
        processor.cropImage(step.size.width(), step.size.height());
        break;
    case PictureStep::Scale:
        processor.scaleKeepAspect(step.size.width(), step.size.height());
        break;
    case PictureStep::Fit:
        processor.scaleIgnoreAspect(step.size.width(), step.size.height());
        break;
    case PictureStep::Rotate:
        processor.rotateImage();
        break;
    case PictureStep::Filter:
        (processor.*step.filter->apply)();
        break;
    }
}

int runConvert(const QStringList& list, Console& console)
{
    Arguments arguments;
    QString error;
    if (!arguments.parse(list, convertOptions(), &error)) {
        console.error(error + QLatin1Char('\n') + tr("Try 'tavo convert --help'."));
        return ExitUsage;
    }
    if (arguments.has(QStringLiteral("--help")) || arguments.has(QStringLiteral("-h"))) {
        console.print(convertHelp());
        return ExitSuccess;
    }

    Settings settings;
    if (!settingsFrom(arguments, &settings, &error)) {
        console.error(error + QLatin1Char('\n') + tr("Try 'tavo convert --help'."));
        return ExitUsage;
    }

    if (settings.gcode.wanted()) {
        // The same checks and messages as the window's Gcode command.
        ConsoleDialogs dialogs(console);
        GcodeGenerator generator;
        generator.paramValues[0] = settings.pitch;
        for (std::size_t i = 0; i < settings.values.size(); ++i)
            generator.paramValues[i + 1] = settings.values[i];
        if (!generator.validate(settings.type))
            return ExitUsage;
    }
    return Converter(settings, console).run();
}

QString convertHelp()
{
    return tr(R"(Usage: tavo convert [options] PICTURE...

Turns pictures (JPEG, PNG, BMP) into G-code files exactly as the window's
Gcode command does, with the same parameters, checks and report.

Machine and parameters (texts as typed into the window's panel; they reach
the file as they are):
  --type TYPE             laser-line (default), laser-dots or cnc-line
  --pitch MM              millimetres per pixel, one of the window's 38 choices
                          0.02 ... 0.6 (steps of 0.02), 0.65 ... 1 (steps of
                          0.05); default 0.16
  laser-line:  --power 100  --travel-speed 500  --jump-speed 1000
               --start-height 20
  laser-dots:  --ignored-threshold 15  --power-index 0.4  --travel-speed 100
               --start-height 20
  cnc-line:    --thickness 100  --max-depth 40  --min-depth 1
               --travel-speed 500

Firmware:
  --firmware NAME         marlin (default: the laser on the fan output) or
                          grbl (GRBL 1.1: laser mode with M4, spindle with M3)
  --s-max N               GRBL's $30, the S of full power: 1 to 100000,
                          default 1000
  --overscan MM           GRBL laser files: the laser-off run-up before and
                          after each row, 0 to 50, default 0
  --one-way               GRBL files: every row left to right

Picture preparation, in this order:
  --zoom PERCENT          10 to 100: the picture as loaded, fitted into that
                          share of its size, as the window's zoom does
  --apply LIST            commands in the given order, separated by commas:
                          gray, binary, dither, inverse, relief, pulverize,
                          outline, soften, rotate, crop=WxH, scale=WxH, fit=WxH
                          (the sizes the window takes from its view area)
  --threshold N           manual threshold for binary, outline and Laser Line;
                          automatic (the mean gray level) when absent

Output:
  -o, --output PATH       the G-code file; a folder for several pictures
                          (PICTURE's name with .gcode)
  --save-picture PATH     also write the prepared picture, the format taken
                          from the suffix; a folder for several pictures
                          (PICTURE's name with .png)
  --json                  one JSON object per picture on standard output
                          instead of the report
  -h, --help              this text

Exit status: 0 every picture was written, 1 a picture or file failed (the
others were still done), 2 a usage error or refused parameters (nothing
was written).
)");
}

} // namespace cli
