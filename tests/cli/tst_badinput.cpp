#include "imaging/picturefile.h"
#include "pictures.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// tavo as a user runs it, mostly handed the wrong thing: each case is a shell
// line run in a folder holding a.png (200 x 200), s.png (30 x 20), b.png
// (20 x 30), huge.jpg (a JPEG header claiming 65000 x 65000), long.bmp (a
// 1300-byte BMP claiming 8388632 x 17) and an empty folder out.
class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void refusedOrReported_data();
    void refusedOrReported();
    void sizeAgainstMemory();
};

namespace {

// A valid JPEG header claiming 65000 x 65000 (the frame's height and width,
// big-endian) over tiny image data.
QByteArray hugeJpeg()
{
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    pictures::randomImage(8, 8, 1).save(&buffer, "JPEG");
    return jpeg.replace(jpeg.indexOf("\xFF\xC0") + 5, 4, QByteArray::fromHex("fde8fde8"));
}

QByteArray longBmp()
{
    // Width 0x00800018 (bytes 18 to 21: 18 00 80 00), height 17, 24 bits.
    QByteArray bmp = QByteArray::fromHex("424d140500000000000036000000280000001800800011000000"
                                         "0100180000000000");
    return bmp.append(1300 - bmp.size(), '\0');
}

} // namespace

void TestBadInput::refusedOrReported_data()
{
    QTest::addColumn<QString>("script"); // $T is tavo; \351 an é in Latin-1
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("out"); // '*': anything between; [...]: what out/ holds afterwards
    const auto row = [](const char* name, const char* script, int status, const char* err,
                        const char* out = "") {
        QTest::newRow(name) << QString(script) << status << QString(err) << QString(out);
    };
    row("unknown option", "$T convert s.png --frobnicate -o out/a.gcode", 2,
        "unknown option --frobnicate", "[]");
    row("refused parameter, the window's message", "$T convert s.png --power 0 -o out/a.gcode", 2,
        "tavo: Invalid Parameters: Laser Power must be within (1 - 100)\n", "[]");
    row("a parameter of another type", "$T convert s.png --type cnc-line --power 50 -o out/a.gcode",
        2, "--power does not apply to cnc-line", "[]");
    row("several pictures into one file", "$T convert s.png b.png -o a.png", 2,
        "-o must name a folder");
    row("output over its own picture", "$T convert s.png --save-picture s.png", 2,
        "would overwrite");
    row("an unreadable picture among several", "$T convert s.png missing.png b.png -o out", 1,
        "tavo: Critical Error: Failed to load missing.png, please try again later!",
        "out/b.gcode\nHas been successfully generated!*[b.gcode\ns.gcode]");
    row("JSON records, the failure's too",
        "$T convert s.png missing.png --type cnc-line --pitch 0.5 -o out --json", 1, "",
        "{\"firmware\":\"marlin\",\"heightMm\":10,\"input\":\"s.png\",\"outOfRange\":false,"
        "\"path\":\"out/s.gcode\",*"
        "\"travelLengthMm\":300,\"widthMm\":15}\n{\"error\":\"Failed to load "
        "missing.png*[s.gcode]");
    // The file-size limit: both files reported, the older kept, nothing partial left.
    row("the file-size limit",
        "echo older >out/x.gcode; ulimit -f 16; $T convert a.png --type laser-dots -o out/x.gcode "
        "--save-picture out/a.bmp; s=$?; cat out/x.gcode; exit $s",
        1, "a.bmp cannot be saved!*x.gcode cannot be written!", "older*[x.gcode]");
    row("a FIFO is refused at once", "mkfifo f.png && $T convert f.png -o x.gcode", 1,
        "Failed to load f.png, please try again later!\n");
    row("a BMP claiming more than it holds", "$T convert long.bmp -o x.gcode", 1,
        "Failed to load long.bmp, please try again later! Its 1300 bytes cannot hold the 8388632 "
        "x 17 pixels it claims.");
    row("a picture past the size limit", "$T convert huge.jpg -o x.gcode", 1,
        "Failed to load huge.jpg, please try again later! It is 65000 x 65000 pixels; a picture "
        "may have at most 268 million pixels.");
    row("fit too large writes nothing", "$T convert a.png --apply fit=46341x46341 -o out/x.gcode",
        1, "a.png: the prepared picture would be 46341 x 46341 pixels, too large to hold", "[]");
    row("a name that is not UTF-8",
        "cp a.png \"$(printf 'caf\\351.png')\"; $T convert caf*.png -o x.gcode", 0, "",
        "x.gcode\nHas been successfully generated!");
    row("an output name that is not UTF-8",
        "$T convert a.png -o \"$(printf 'out/caf\\351.gcode')\"", 2,
        "caf\\xE9.gcode cannot be written under that name", "[]");
    row("GRBL settings name the value",
        "for o in s-max=0 s-max=nan s-max=1e9 overscan=-1 overscan=51; do $T convert s.png "
        "--firmware=grbl --$o -o out/a.gcode 2>&1; done; $T convert s.png --firmware=x -o x.gcode "
        "2>&1",
        2, "",
        "(1 - 100000), not \"0\"*not \"nan\"*not \"1e9\"*(0 - 50) mm, not \"-1\"*"
        "not \"51\"*marlin or grbl, not \"x\"*[]");
    row("GRBL settings for a Marlin file",
        "for o in --s-max=500 --one-way; do $T convert s.png $o -o out/a.gcode 2>&1; done", 2, "",
        "--s-max 500 applies to GRBL files only: add --firmware grbl*--one-way applies*[]");
    row("a size names the value", "$T convert a.png --apply crop=0x5 -o x.gcode", 2,
        "as in crop=620x420, not \"0x5\"");
    row("preview: bounds, the picture and nothing else",
        "printf 'G1 F60\\nM106\\nG1 X1 Y0.5\\nM107\\nG1 X-0.5\\n' >x.gcode; "
        "$T preview x.gcode -o out/p.png",
        0, "", "Bounds: X -0.50 to 1.00 mm*[p.png]");
    row("preview: garbage lines, their numbers, status 1, still drawn",
        "printf 'G90\\nG1 X1 F60\\nG1 X1..2\\nrubbish\\n' >x.gcode; $T preview x.gcode -o "
        "out/p.png",
        1, "line 3: malformed number \"X1..2\"", "Unknown commands, skipped: G90 (1)*[p.png]");
    row("preview: too many pixels writes nothing",
        "printf 'M106\\nG1 X5000 F60\\n' >x.gcode; $T preview x.gcode -o out/p.png --px-per-mm 50",
        1, "more than", "Laser on: 5000.00*[]");
    row("preview: not a picture name", ": >x.gcode; $T preview x.gcode -o out/p.txt", 2, "-o needs",
        "[]");
    row("--px-per-mm names the value", "$T preview x.gcode --px-per-mm 0", 2,
        "--px-per-mm must be a number within (0.1 - 100), not \"0\"");
    row("--px-per-mm past the pixel budget is drawn smaller",
        "printf 'M106\\nG1 X1 F60\\n' >x.gcode; $T preview x.gcode --px-per-mm 100 -o p.png", 0,
        "drawn at 58.5 px/mm", "p.png, 8777 x 8777 px at 58.5 px/mm");
    row("a text typed into a height",
        "$T convert a.png --start-height abc -o x.gcode && $T preview x.gcode", 0,
        "x.gcode: line 15: \"Zabc\": a parameter that cannot be read, skipped\n");
    row("the same word in a file from elsewhere",
        "printf 'G1 Zabc\\n' >x.gcode; $T preview x.gcode", 1, "line 1: malformed number \"Z\"");
}

void TestBadInput::refusedOrReported()
{
    QFETCH(QString, script);
    QFETCH(int, status);
    QFETCH(QString, err);
    QFETCH(QString, out);

    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("out"));
    QVERIFY(pictures::randomImage(200, 200, 7).save(dir.filePath("a.png")));
    QVERIFY(pictures::randomImage(30, 20, 8).save(dir.filePath("s.png")));
    QVERIFY(pictures::randomImage(20, 30, 9).save(dir.filePath("b.png")));
    for (const auto& file :
         {qMakePair(QString("huge.jpg"), hugeJpeg()), qMakePair(QString("long.bmp"), longBmp())}) {
        QFile picture(dir.filePath(file.first));
        QVERIFY(picture.open(QIODevice::WriteOnly) && picture.write(file.second) > 0);
    }
    QProcess process;
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("T", TAVO_EXECUTABLE);
    process.setProcessEnvironment(environment);
    // What out/ holds afterwards, half-written and temporary files included.
    process.start("/bin/sh",
                  {"-c", "(" + script + "); s=$?; printf '[%s]' \"$(ls -A out)\"; exit $s"});
    // A refusal comes at once; a run still going has hung.
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        QFAIL("tavo did not return");
    }
    const QString got = QString::fromLocal8Bit(process.readAllStandardError());
    const QString printed = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(!got.contains('\r'), qPrintable(got)); // no progress bar on a pipe
    // Each text holds its pieces, in order, with anything between.
    for (const auto& [text, pieces] : {std::pair{got, err}, std::pair{printed, out}}) {
        int at = 0;
        for (const QString& piece : pieces.split('*'))
            QVERIFY2((at = text.indexOf(piece, at)) >= 0, qPrintable(text));
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), status);
}

void TestBadInput::sizeAgainstMemory()
{
    const qint64 gib = qint64(1) << 30;
    QCOMPARE(pictureSizeProblem(QSize(16384, 16384), 4 * gib), QString());
    QCOMPARE(pictureSizeProblem(QSize(16384, 16384), 0), QString());
    QCOMPARE(pictureSizeProblem(QSize(16384, 16384), 3 * gib - 1),
             QString("It is 16384 x 16384 pixels; the 3 copies of 1024 MiB that are kept of it do "
                     "not fit into this computer's 3071 MiB of memory."));
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
