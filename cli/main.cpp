// tavo: the command-line companion of the window, for batch conversion and
// for looking at a G-code file before it goes to the machine.
#include "cli/console.h"
#include "cli/convert.h"
#include "cli/preview.h"
#include "files/localfiles.h"

#include <QGuiApplication>

#include <cstdio>

namespace {

QString usage()
{
    return cli::tr(R"(Usage: tavo COMMAND [options]

Commands:
  convert   turn pictures into G-code files, as the window's Gcode command does
  preview   draw and sum up what a G-code file makes the machine do

'tavo COMMAND --help' describes a command's options.
)");
}

// The offscreen platform complains about a missing runtime folder it never
// uses; that says nothing about the pictures or files and would only hide
// tavo's own messages.
QtMessageHandler standardHandler = nullptr;

void quietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        standardHandler(type, context, message);
}

} // namespace

int main(int argc, char* argv[])
{
    // Pictures and drawings need the GUI module, never a screen: a machine
    // without a display runs tavo as it is.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    standardHandler = qInstallMessageHandler(quietPlatform);
    ignoreFileSizeSignal();
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("tavo"));

    cli::Console console(stdout, stderr);
    // From argv rather than QCoreApplication::arguments(), which drops the
    // bytes of a file name that are not valid text.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << fileNameFromBytes(QByteArray(argv[i]));
    const QString command = arguments.isEmpty() ? QString() : arguments.takeFirst();
    if (command == QLatin1String("convert"))
        return cli::runConvert(arguments, console);
    if (command == QLatin1String("preview"))
        return cli::runPreview(arguments, console);
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        console.print(usage());
        return cli::ExitSuccess;
    }
    console.error(command.isEmpty() ? cli::tr("no command given")
                                    : cli::tr("unknown command %1").arg(command));
    std::fputs(qPrintable(usage()), stderr);
    return cli::ExitUsage;
}
