// tavo preview: what a G-code file makes the machine do, drawn and summed up.
#include "cli/preview.h"

#include "cli/arguments.h"
#include "cli/console.h"
#include "files/localfiles.h"
#include "preview/sheet.h"
#include "preview/toolpathdrawing.h"
#include "toolpath/toolpathreader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <cerrno>
#include <cmath>
#include <memory>

#include <fcntl.h>
#include <unistd.h>

namespace cli {

namespace {

constexpr double defaultPixelsPerMm = 5.0;

const std::vector<Arguments::Option>& previewOptions()
{
    static const std::vector<Arguments::Option> options = {
        {"-o", true},      {"--output", true}, {"--px-per-mm", true}, {"--machine", true},
        {"--json", false}, {"--help", false},  {"-h", false},
    };
    return options;
}

bool writeImage(const QImage& image, const QString& fileName, QString* error)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, QFileInfo(fileName).suffix().toLower().toLatin1());
    // Compression level 1 for PNG: a preview is looked at once, and the
    // default level takes several times as long for a few per cent less.
    writer.setQuality(85);
    if (!writer.write(image)) {
        *error = writer.errorString();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QJsonObject jsonReport(const QString& fileName, const ToolpathReport& report)
{
    QJsonObject json;
    json.insert(QStringLiteral("path"), fileName);
    json.insert(QStringLiteral("machine"),
                report.machine == Machine::Cnc ? QStringLiteral("cnc") : QStringLiteral("laser"));
    if (report.grbl) {
        json.insert(QStringLiteral("firmware"), QStringLiteral("grbl"));
        json.insert(QStringLiteral("sMax"), report.sMax);
    }
    json.insert(QStringLiteral("lines"), double(report.lines));
    json.insert(QStringLiteral("moves"), double(report.moves));
    if (report.hasBounds) {
        json.insert(QStringLiteral("bounds"), QJsonObject{{"minX", report.minX},
                                                          {"maxX", report.maxX},
                                                          {"minY", report.minY},
                                                          {"maxY", report.maxY},
                                                          {"minZ", report.minZ},
                                                          {"maxZ", report.maxZ}});
    }
    json.insert(QStringLiteral("insideRange"), report.insideRange());
    json.insert(QStringLiteral("workLengthMm"), report.workLength);
    json.insert(QStringLiteral("idleLengthMm"), report.idleLength);
    json.insert(QStringLiteral("moveMinutes"), report.moveMinutes);
    json.insert(QStringLiteral("dwellMinutes"), report.dwellMinutes);
    json.insert(QStringLiteral("untimedMoves"), double(report.untimedMoves));
    QJsonObject unknown;
    for (const auto& command : report.unknownCommands)
        unknown.insert(command.first, double(command.second));
    json.insert(QStringLiteral("unknownCommands"), unknown);
    const auto list = [](const QList<ToolpathReport::Problem>& problems) {
        QJsonArray array;
        for (const ToolpathReport::Problem& problem : problems)
            array.append(QJsonObject{{"line", double(problem.line)}, {"text", problem.text}});
        return array;
    };
    json.insert(QStringLiteral("problems"), list(report.problems));
    json.insert(QStringLiteral("problemCount"), double(report.problemCount));
    json.insert(QStringLiteral("unreadableParameters"), list(report.unreadable));
    json.insert(QStringLiteral("unreadableParameterCount"), double(report.unreadableCount));
    return json;
}

// By the bytes of its name, which may not be valid text.
bool openInput(const QString& input, QFile* file, QString* error)
{
    if (input == QLatin1String("-"))
        return file->open(stdin, QIODevice::ReadOnly);
    const int descriptor = ::open(fileNameBytes(input).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        *error = qt_error_string(errno);
        return false;
    }
    return file->open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered,
                      QFileDevice::AutoCloseHandle);
}

void reportLines(const QString& input, const ToolpathReport& report, Console& console)
{
    for (const ToolpathReport::Problem& problem : report.problems)
        console.error(tr("%1: line %2: %3").arg(input).arg(problem.line).arg(problem.text));
    if (report.problemCount > report.problems.size())
        console.error(tr("%1: %2 more lines that are not G-code")
                          .arg(input)
                          .arg(report.problemCount - report.problems.size()));
    for (const ToolpathReport::Problem& word : report.unreadable)
        console.error(tr("%1: line %2: \"%3\": a parameter that cannot be read, skipped")
                          .arg(input)
                          .arg(word.line)
                          .arg(word.text));
    if (report.unreadableCount > report.unreadable.size())
        console.error(tr("%1: %2 more parameters that cannot be read")
                          .arg(input)
                          .arg(report.unreadableCount - report.unreadable.size()));
}

} // namespace

int runPreview(const QStringList& list, Console& console)
{
    Arguments arguments;
    QString error;
    const auto usage = [&](const QString& message) {
        console.error(message + QLatin1Char('\n') + tr("Try 'tavo preview --help'."));
        return int(ExitUsage);
    };
    if (!arguments.parse(list, previewOptions(), &error))
        return usage(error);
    if (arguments.has(QStringLiteral("--help")) || arguments.has(QStringLiteral("-h"))) {
        console.print(previewHelp());
        return ExitSuccess;
    }
    for (const Arguments::Given& given : arguments.given())
        if (arguments.count(given.name) > 1)
            return usage(tr("%1 is given more than once").arg(given.name));
    if (arguments.has(QStringLiteral("-o")) && arguments.has(QStringLiteral("--output")))
        return usage(tr("-o is given more than once"));
    if (arguments.positional().size() != 1)
        return usage(tr("give exactly one G-code file (- for standard input)"));
    const QString input = arguments.positional().first();
    const QString shownInput = readableFileName(input);

    const QString output = arguments.has(QStringLiteral("-o"))
                               ? arguments.value(QStringLiteral("-o"))
                               : arguments.value(QStringLiteral("--output"));
    const bool drawing =
        arguments.has(QStringLiteral("-o")) || arguments.has(QStringLiteral("--output"));
    if (drawing) {
        const QByteArray suffix = QFileInfo(output).suffix().toLower().toLatin1();
        if (output.isEmpty() || !QImageWriter::supportedImageFormats().contains(suffix))
            return usage(tr("-o needs a picture file name ending in .png (or another picture "
                            "format's suffix)"));
        if (!fileNameKeepsItsBytes(output))
            return usage(tr("%1 cannot be written under that name: it is not valid text in this "
                            "system's encoding")
                             .arg(readableFileName(output)));
    }

    double pixelsPerMm = defaultPixelsPerMm;
    if (arguments.has(QStringLiteral("--px-per-mm"))) {
        bool ok = false;
        const QString text = arguments.value(QStringLiteral("--px-per-mm"));
        pixelsPerMm = text.toDouble(&ok);
        if (!ok || !(pixelsPerMm >= 0.1 && pixelsPerMm <= 100))
            return usage(
                tr("--px-per-mm must be a number within (0.1 - 100), not \"%1\"").arg(text));
    }
    Machine machine = Machine::Unknown;
    if (arguments.has(QStringLiteral("--machine"))) {
        const QString name = arguments.value(QStringLiteral("--machine"));
        if (name == QLatin1String("laser"))
            machine = Machine::Laser;
        else if (name == QLatin1String("cnc"))
            machine = Machine::Cnc;
        else
            return usage(tr("--machine must be laser or cnc"));
    }

    if (drawing) {
        const double largest = Sheet::largestScale(previewPixelBudget);
        if (pixelsPerMm > largest) {
            console.error(tr("at %1 px/mm the machine's range alone would need more than %2 "
                             "million pixels; drawn at %3 px/mm")
                              .arg(pixelsPerMm)
                              .arg(previewPixelBudget / 1000000)
                              .arg(largest));
            pixelsPerMm = largest;
        }
    }

    QFile file;
    if (!openInput(input, &file, &error)) {
        console.error(tr("cannot read %1: %2").arg(shownInput, error));
        return ExitFailure;
    }
    ToolpathDrawing result;
    if (!drawToolpath(file, {machine, drawing ? pixelsPerMm : 0.0}, &result, &error)) {
        console.error(tr("cannot read %1: %2").arg(shownInput, error));
        return ExitFailure;
    }
    const ToolpathReport& report = result.report;
    reportLines(shownInput, report, console);
    const int status = report.problemCount > 0 ? ExitFailure : ExitSuccess;

    if (arguments.has(QStringLiteral("--json")))
        console.print(
            QString::fromUtf8(
                QJsonDocument(jsonReport(shownInput, report)).toJson(QJsonDocument::Compact)) +
            QLatin1Char('\n'));
    else
        console.print(previewReport(shownInput, report));

    if (drawing) {
        if (!result.complete) {
            console.error(tr("the drawing would need more than %1 million pixels; give a smaller "
                             "--px-per-mm, nothing is written")
                              .arg(previewPixelBudget / 1000000));
            return ExitFailure;
        }
        const QImage& image = result.image;
        if (image.isNull() || !writeImage(image, output, &error)) {
            console.error(tr("cannot write %1: %2").arg(output, error));
            return ExitFailure;
        }
        if (!arguments.has(QStringLiteral("--json")))
            console.print(tr("Preview: %1, %2 x %3 px at %4 px/mm\n")
                              .arg(output)
                              .arg(image.width())
                              .arg(image.height())
                              .arg(pixelsPerMm));
    }
    return status;
}

QString previewHelp()
{
    return tr(R"(Usage: tavo preview [options] FILE.gcode

Reads a G-code file of the kind tavo and the window write, draws what the
machine does and prints its bounds, the length moved working and idle, and
the time the moves take at their feed rates with the dwells added.

  -o, --output PICTURE    draw the moves into this picture (PNG, or another
                          format by its suffix)
  --px-per-mm N           pixels per millimetre, 0.1 to 100; default 5. Above
                          58.5 the machine's range alone would pass the
                          preview's 67 million pixels: it is then drawn at
                          58.5, with a note
  --machine laser|cnc     how to read the file; default: from its title
                          comment, laser when it has none
  --json                  the report as one JSON object
  -h, --help              this text

Laser files: every move is drawn with the laser power in force, darker for
more power, including moves made with the laser on between runs and dots.
CNC files: every cutting move is drawn with its Z read as a depth, from the
file's Min Depth (white) to its Max Depth (black); moves between the set-up
heights are travel and are not drawn. Strokes are as wide as the pitch the
file names (its Laser Beam or CNC Precision line); where several share a
pixel it shows their mean, weighted by length. The picture is seen as the
source picture was: X grows to the left, Y upwards (GRBL files: X grows to
the right, and the picture is still shown unmirrored). The machine's 140 mm
range is the dashed blue square.

GRBL 1.1 files, known from their "; Firmware: GRBL" header line: G0 moves
never burn, G1 moves burn while M3 or M4 is on with S above 0, drawn darker
for S nearer the S-max the header names; G4 P is in seconds.

Commands outside the dialect are counted and named and skipped. A line that
is not G-code (a malformed number, no command) is reported with its line
number and skipped; the exit status is then 1. In a file tavo or the window
wrote, a parameter word whose text cannot be read as a number (the panel's
texts reach the file as typed: "Zabc") is named with its line number and
skipped, the rest of its line made; the exit status stays 0.

Exit status: 0 read and drawn, 1 a file could not be read or written or held
lines that are not G-code, 2 a usage error.
)");
}

} // namespace cli
