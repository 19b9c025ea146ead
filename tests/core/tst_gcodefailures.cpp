#include "gcode/gcodegenerator.h"
#include "scripteddialogs.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// A file that cannot be written completely is reported, gives false and
// leaves nothing behind: no partial file, an older file of that name intact.
class TestGcodeFailures : public QObject
{
    Q_OBJECT

private slots:
    void writeFailure_data();
    void writeFailure();
};

namespace {

enum Failure { ReadOnlyFolder, DirectoryPath, MissingFolder, FileSizeLimit };

// True when the writer refused as it should: false and the one message.
// Types 3 to 5 are the GRBL files of types 0 to 2.
bool refuses(int type, const QString& path)
{
    const std::array<QString, 5> values[3] = {{"0.16", "100", "500", "1000", "20"},
                                              {"0.16", "0", "0.4", "100", "20"},
                                              {"0.16", "100", "40", "1", "500"}};
    ScriptedDialogs dialogs;
    QImage picture(400, 400, QImage::Format_RGB32); // a change at every pixel: MiBs of G-code
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            picture.setPixel(x, y, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    GcodeGenerator generator(&picture);
    generator.firmware.firmware = type < 3 ? Firmware::Marlin : Firmware::Grbl;
    type %= 3;
    generator.paramValues = values[type];
    const QString text = path + (type == CncLine ? " cannot be writed!" : " cannot be written!");
    return !generator.generate(type, path) &&
           dialogs.log() == QStringList("critical Save Gcode: " + text);
}

// In a child process: with the file size limited to 1.5 MiB, so that a write
// fails after the first chunks went out, or without the superuser's right to
// ignore permissions.
bool refusesInChild(int type, const QString& path, Failure failure)
{
    const pid_t child = fork();
    if (child == 0) {
        if (failure == FileSizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{3 << 19, 3 << 19};
            setrlimit(RLIMIT_FSIZE, &limit);
        } else if (geteuid() == 0 && setuid(65534) != 0) {
            _exit(2);
        }
        _exit(refuses(type, path) ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

void TestGcodeFailures::writeFailure_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("failure");
    const char* failures[] = {"read-only folder", "directory path", "missing folder",
                              "file size limit"};
    for (int type = 0; type < 6; ++type)
        for (int failure = ReadOnlyFolder; failure <= FileSizeLimit; ++failure)
            QTest::addRow("type %d, %s", type, failures[failure]) << type << failure;
}

void TestGcodeFailures::writeFailure()
{
    QFETCH(int, type);
    QFETCH(int, failure);

    QTemporaryDir dir;
    const QString folder = failure == MissingFolder ? dir.filePath("missing") : dir.path();
    const QString path = failure == DirectoryPath ? dir.path() : folder + "/out.gcode";
    const bool older = failure == ReadOnlyFolder || failure == FileSizeLimit;
    QFile file(path);
    if (older)
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("an older file\r\n") > 0);
    file.close();
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (failure == ReadOnlyFolder)
        QVERIFY(QFile::setPermissions(folder, readOnly));
    const auto entries = [&] {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    const QStringList before = entries();

    QVERIFY(older ? refusesInChild(type, path, Failure(failure)) : refuses(type, path));
    QFile::setPermissions(folder, readOnly | QFile::WriteOwner);
    QCOMPARE(entries(), before);
    if (older) {
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("an older file\r\n"));
    }
}

QTEST_GUILESS_MAIN(TestGcodeFailures)
#include "tst_gcodefailures.moc"
