#include "gcode/gcodegenerator.h"
#include "pictures.h"
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

const QByteArray olderContent = "an older file\r\n";

// Alternating columns: a change at every pixel, several MiB of G-code.
QImage stripes()
{
    QImage picture(400, 400, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < picture.width(); ++x)
            line[x] = x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    return picture;
}

// Empty when the writer refused as it should: false and the one "Save Gcode"
// message naming the file.
QString refusal(int type, const QString& path)
{
    const std::array<QString, 5> values[3] = {{"0.16", "100", "500", "1000", "20"},
                                              {"0.16", "0", "0.4", "100", "20"},
                                              {"0.16", "100", "40", "1", "500"}};
    ScriptedDialogs dialogs;
    QImage picture = stripes();
    GcodeGenerator generator(&picture);
    generator.paramValues = values[type];
    if (generator.generate(type, path))
        return "reported success";
    const QString text = path + (type == CncLine ? " cannot be writed!" : " cannot be written!");
    const auto& prompts = dialogs.prompts();
    if (prompts.size() != 1 || prompts[0].title != "Save Gcode" || prompts[0].text != text)
        return "not the one expected message";
    return QString();
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Runs the writer in a child process: either with the file size limited to
// 1.5 MiB, so that a write fails after the first chunks went out, or without
// the superuser's right to ignore permissions.
QString refusalInChild(int type, const QString& path, Failure failure)
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
        _exit(refusal(type, path).isEmpty() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return "the child did not finish";
    const char* verdicts[] = {"", "not refused as expected", "could not drop privileges"};
    return verdicts[qBound(0, WEXITSTATUS(status), 2)];
}

} // namespace

void TestGcodeFailures::writeFailure_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("failure");
    const char* types[] = {"laser line", "laser dots", "cnc line"};
    const char* failures[] = {"read-only folder", "directory path", "missing folder",
                              "file size limit"};
    for (int type = 0; type < 3; ++type)
        for (int failure = ReadOnlyFolder; failure <= FileSizeLimit; ++failure)
            QTest::addRow("%s, %s", types[type], failures[failure]) << type << failure;
}

void TestGcodeFailures::writeFailure()
{
    QFETCH(int, type);
    QFETCH(int, failure);

    QTemporaryDir dir;
    const QString folder = failure == MissingFolder ? dir.filePath("missing") : dir.path();
    const QString path = failure == DirectoryPath ? dir.path() : folder + "/out.gcode";
    if (failure == ReadOnlyFolder || failure == FileSizeLimit) {
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write(olderContent);
    }
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                        QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    if (failure == ReadOnlyFolder) // readable by everyone, writable by nobody
        QVERIFY(QFile::setPermissions(folder, readOnly));
    const QStringList before = entries(dir.path());

    const QString verdict = failure == ReadOnlyFolder || failure == FileSizeLimit
                                ? refusalInChild(type, path, Failure(failure))
                                : refusal(type, path);
    QVERIFY2(verdict.isEmpty(), qPrintable(verdict));

    QFile::setPermissions(folder, readOnly | QFile::WriteOwner);
    QCOMPARE(entries(dir.path()), before);
    if (failure == ReadOnlyFolder || failure == FileSizeLimit) {
        QFile older(path);
        QVERIFY(older.open(QIODevice::ReadOnly));
        QCOMPARE(older.readAll(), olderContent);
    }
}

QTEST_GUILESS_MAIN(TestGcodeFailures)
#include "tst_gcodefailures.moc"
