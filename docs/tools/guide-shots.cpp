// Makes the pictures of the user guide by driving the real window: it opens a
// picture drawn here, presses the buttons a user would press and grabs what the
// window shows. Every stage is checked before its picture is written, so a guide
// that no longer matches the program stops the run instead of showing the wrong
// thing.
//
//   tavo-guide-shots OUTPUT_DIR [WORK_DIR]
//
// WORK_DIR receives the opened picture and the G-code file; its path shows in
// the screenshots, so the default is a fixed one.
#include "tavomain.h"

#include "scripteddialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QScrollBar>
#include <QSpinBox>
#include <QStringList>
#include <QTextEdit>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

// The guide lives in the repository: keep every picture small.
constexpr qint64 maxPictureBytes = 150 * 1024;
// The size the form was designed for. Used whatever the screen, the pictures
// look the same on every machine with the same fonts.
const QSize designedSize(1167, 691);

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "tavo-guide-shots: %s\n", qPrintable(what));
    std::exit(1);
}

void check(bool condition, const QString& what)
{
    if (!condition)
        fail(QStringLiteral("not as the guide shows it: ") + what);
}

// Our own sample: a landscape of gradients and plain shapes. It is lopsided on
// purpose (peak on the left, sun on the right, house at the bottom left), so
// that a transpose cannot be mistaken for a turn, and it has a fence of thin
// posts where Soften and Relief show.
QImage samplePicture()
{
    QImage picture(640, 400, QImage::Format_RGB32);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);

    QLinearGradient sky(0, 0, 0, 260);
    sky.setColorAt(0.0, QColor(28, 52, 120));
    sky.setColorAt(0.7, QColor(120, 160, 210));
    sky.setColorAt(1.0, QColor(245, 200, 150));
    painter.fillRect(picture.rect(), sky);

    QRadialGradient sun(QPointF(480, 95), 52);
    sun.setColorAt(0.0, QColor(255, 255, 235));
    sun.setColorAt(0.6, QColor(255, 220, 110));
    sun.setColorAt(1.0, QColor(240, 140, 50));
    painter.setBrush(sun);
    painter.drawEllipse(QPointF(480, 95), 52, 52);

    QLinearGradient rock(0, 40, 0, 290);
    rock.setColorAt(0.0, QColor(235, 235, 240));
    rock.setColorAt(0.25, QColor(110, 105, 120));
    rock.setColorAt(1.0, QColor(45, 50, 60));
    painter.setBrush(rock);
    painter.drawPolygon(QPolygonF({QPointF(-10, 290), QPointF(150, 45), QPointF(240, 170),
                                   QPointF(300, 120), QPointF(420, 290)}));

    QLinearGradient meadow(0, 250, 0, 400);
    meadow.setColorAt(0.0, QColor(110, 170, 70));
    meadow.setColorAt(1.0, QColor(20, 70, 30));
    painter.setBrush(meadow);
    QPainterPath hill(QPointF(0, 400));
    hill.lineTo(0, 275);
    hill.cubicTo(200, 235, 420, 300, 640, 250);
    hill.lineTo(640, 400);
    painter.drawPath(hill);

    QLinearGradient water(0, 320, 0, 390);
    water.setColorAt(0.0, QColor(150, 200, 235));
    water.setColorAt(1.0, QColor(30, 70, 140));
    painter.setBrush(water);
    painter.drawEllipse(QRectF(390, 315, 210, 70));

    // House: a dark wall, a roof, a light window.
    painter.setBrush(QColor(60, 30, 25));
    painter.drawRect(QRectF(70, 300, 90, 65));
    painter.setBrush(QColor(150, 40, 30));
    painter.drawPolygon(QPolygonF({QPointF(60, 302), QPointF(115, 258), QPointF(170, 302)}));
    painter.setBrush(QColor(250, 230, 150));
    painter.drawRect(QRectF(88, 318, 22, 20));

    // Fence: thin posts and two rails.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(QColor(35, 25, 20));
    for (int x = 200; x < 370; x += 7)
        painter.drawRect(x, 330, 2, 40);
    painter.drawRect(200, 340, 170, 2);
    painter.drawRect(200, 360, 170, 2);
    return picture;
}

class GuideShots
{
public:
    GuideShots(TavoMain& window, ScriptedDialogs& dialogs, const QString& outputDir,
               const QString& workDir)
        : m_window(window), m_dialogs(dialogs), m_output(outputDir), m_work(workDir)
    {
    }

    void run()
    {
        openPicture();
        ditherHalfSize();
        parameterPanels();
        gcodeWithWarning();
        filters();
        thresholds();
        rotation();
        cleanUp();
    }

private:
    template <typename T = QWidget> T* find(const char* name) const
    {
        T* found = m_window.findChild<T*>(QString::fromLatin1(name));
        if (!found)
            fail(QStringLiteral("the window has no %1").arg(QLatin1String(name)));
        return found;
    }

    QString text(const char* label) const { return find<QLabel>(label)->text(); }

    void click(const char* button)
    {
        find<QPushButton>(button)->click();
        settle();
        // Every question and file dialog was foreseen, and no error came.
        for (const ScriptedDialogs::Prompt& prompt : m_dialogs.prompts())
            if (prompt.kind == ScriptedDialogs::Critical)
                fail(
                    QStringLiteral("unexpected message \"%1\": %2").arg(prompt.title, prompt.text));
        if (m_dialogs.unexpectedPrompts() != 0 || m_dialogs.unusedAnswers() != 0)
            fail(QStringLiteral("a dialog nobody expected, or one that did not come"));
    }

    int questionsAsked() const
    {
        int asked = 0;
        for (const ScriptedDialogs::Prompt& prompt : m_dialogs.prompts())
            asked += prompt.kind == ScriptedDialogs::Question;
        return asked;
    }

    // Lets layouts and repaints catch up, as a person looking at the window would.
    static void settle()
    {
        QElapsedTimer timer;
        timer.start();
        do
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        while (timer.elapsed() < 100);
    }

    // What the picture pane shows right now.
    QImage shownPicture() const
    {
        return find<QLabel>("lblImage")
            ->pixmap(Qt::ReturnByValue)
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }

    void zoomTo(int percent)
    {
        find<QSpinBox>("spbSize")->setValue(percent);
        settle();
    }

    // The colour sample at half size, as loaded: Reset, then the zoom.
    void freshHalfSize()
    {
        click("btnReset");
        zoomTo(50);
        check(shownPicture().size() == QSize(320, 200),
              QStringLiteral("zoom 50 % gives 320 x 200"));
    }

    void setPixelSize(const QString& millimetres)
    {
        auto* pitch = find<QComboBox>("cmbParam1");
        const int index = pitch->findText(millimetres);
        check(index >= 0, QStringLiteral("the pitch list offers ") + millimetres);
        pitch->setCurrentIndex(index);
        settle();
    }

    void setManualThreshold(int value)
    {
        auto* manual = find<QCheckBox>("ckbThreshold");
        if (!manual->isChecked())
            manual->click();
        auto* field = find<QLineEdit>("txtThreshold");
        check(field->isEnabled(), QStringLiteral("Manual Threshold enables the field"));
        field->setText(QString::number(value));
        // The value counts once editing finishes, as when the user presses Return.
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(field, &press);
        settle();
    }

    void setAutomaticThreshold()
    {
        auto* manual = find<QCheckBox>("ckbThreshold");
        if (manual->isChecked())
            manual->click();
        settle();
    }

    void save(const QImage& picture, const QString& name)
    {
        const QString path = QDir(m_output).filePath(name);
        QImageWriter writer(path, "png");
        writer.setQuality(0);
        if (!writer.write(picture))
            fail(QStringLiteral("cannot write %1: %2").arg(path, writer.errorString()));
        const qint64 bytes = QFileInfo(path).size();
        if (bytes > maxPictureBytes)
            fail(
                QStringLiteral("%1 has %2 bytes, more than the guide allows").arg(path).arg(bytes));
        std::printf("%-28s %4d x %-4d %6lld bytes\n", qPrintable(name), picture.width(),
                    picture.height(), static_cast<long long>(bytes));
    }

    // 1. The sample opened through the Open button.
    void openPicture()
    {
        m_picturePath = QDir(m_work).filePath(QStringLiteral("landscape.png"));
        if (!samplePicture().save(m_picturePath))
            fail(QStringLiteral("cannot write ") + m_picturePath);
        m_dialogs.answerFileName(m_picturePath);
        click("btnOpen");

        check(text("lblInfo") == QLatin1String("Image Information: 640 X 400"),
              QStringLiteral("the opened picture is 640 x 400"));
        check(text("lblCmd") == QLatin1String("Gcode = Laser Line"),
              QStringLiteral("Open shows the Laser Line panel"));
        check(text("lblSize") == QLatin1String("Size = X: 102.40 * Y: 64.00"),
              QStringLiteral("the read-out at 0.16 mm"));
        check(find<QComboBox>("cmbParam1")->currentText() == QLatin1String("0.16"),
              QStringLiteral("0.16 mm selected"));
        save(m_window.grab().toImage(), QStringLiteral("open.png"));
    }

    // 2. Zoom 50 %, Gray, Dither.
    void ditherHalfSize()
    {
        zoomTo(50);
        click("btnGray");
        const QImage gray = shownPicture();
        click("btnDither");
        const QImage dithered = shownPicture();
        check(dithered.size() == QSize(320, 200), QStringLiteral("Dither keeps the size"));
        check(dithered != gray, QStringLiteral("Dither changes the gray picture"));
        check(text("lblSize") == QLatin1String("Size = X: 51.20 * Y: 32.00"),
              QStringLiteral("the read-out follows the zoom"));
        save(m_window.grab().toImage(), QStringLiteral("dither.png"));
    }

    // 3. The three parameter panels side by side.
    void parameterPanels()
    {
        auto* type = find<QComboBox>("cmbType");
        auto* panel = find<QWidget>("controlWidget");
        QList<QImage> panels;

        click("btnLaser");
        check(text("lblCmd") == QLatin1String("Gcode = Laser Line"), QStringLiteral("Laser Line"));
        panels << panel->grab().toImage();

        type->setCurrentIndex(1);
        settle();
        check(text("lblCmd") == QLatin1String("Gcode = Laser Dots"), QStringLiteral("Laser Dots"));
        check(find<QLineEdit>("txtParam3")->text() == QLatin1String("0.4"),
              QStringLiteral("the Laser Dots defaults"));
        panels << panel->grab().toImage();

        click("btnCnc");
        check(text("lblCmd") == QLatin1String("Gcode = CNC Line"), QStringLiteral("CNC Line"));
        check(!type->isEnabled(), QStringLiteral("CNC disables the type list"));
        panels << panel->grab().toImage();

        // Back to the laser: its type list still says Dots until Line is chosen.
        click("btnLaser");
        check(text("lblCmd") == QLatin1String("Gcode = Laser Dots"),
              QStringLiteral("Laser keeps the type chosen before"));
        type->setCurrentIndex(0);
        settle();
        check(text("lblCmd") == QLatin1String("Gcode = Laser Line"),
              QStringLiteral("back to Laser Line"));

        // Only the parameter rows matter; the report box below them is empty.
        const int rowsHeight = find<QWidget>("lblSize")->geometry().bottom() + 6;
        save(sideBySide(panels, rowsHeight), QStringLiteral("panels.png"));
    }

    // 4. Laser Line G-code of the dithered picture at 0.44 mm: past 140 mm.
    void gcodeWithWarning()
    {
        setPixelSize(QStringLiteral("0.44"));
        check(text("lblSize") == QLatin1String("Size = X: 140.80 * Y: 88.00"),
              QStringLiteral("the read-out at 0.44 mm"));
        check(find<QLabel>("lblSize")->palette().color(QPalette::WindowText) == QColor(255, 0, 0),
              QStringLiteral("the read-out turns red past 140 mm"));

        const QString gcodePath = QDir(m_work).filePath(QStringLiteral("landscape.gcode"));
        m_dialogs.answerFileName(gcodePath);
        click("btnGcode");

        const QString report = find<QTextEdit>("txtGcode")->toPlainText();
        check(report.startsWith(gcodePath + QLatin1String("\nHas been successfully generated!")),
              QStringLiteral("the report names the file"));
        // 320 x 200 pixels at 0.44 mm: one pass along every row.
        check(report.contains(QLatin1String("Estimated travel length (mm): 28160")),
              QStringLiteral("the travel length is W x H x pitch"));
        check(report.contains(QLatin1String("out of the max available range")),
              QStringLiteral("the range warning"));

        QFile file(gcodePath);
        check(file.open(QIODevice::ReadOnly), QStringLiteral("the G-code file exists"));
        const QByteArray gcode = file.readAll();
        check(gcode.startsWith("; ****** G-code Prefix ******\r\n; <Tavo Laser Engraving>\r\n"),
              QStringLiteral("the file's prefix"));
        check(gcode.contains("\r\nM106 S255\r\n") && gcode.endsWith("M84\r\nG1 F2000\r\n"),
              QStringLiteral("power line and postfix"));
        // The head of the file, for the guide's excerpt.
        const QList<QByteArray> lines = gcode.split('\n');
        for (int i = 0; i < 24 && i < lines.size(); ++i)
            std::printf("%s\n", lines.at(i).trimmed().constData());
        file.close();
        QFile::remove(gcodePath);

        // The panel with the report scrolled to its end, as the user scrolls
        // to read the warning. (The command made the working image black and
        // white without redrawing it; the pane still shows the dithered one.)
        auto* reportBox = find<QTextEdit>("txtGcode");
        reportBox->verticalScrollBar()->setValue(reportBox->verticalScrollBar()->maximum());
        settle();
        save(find<QWidget>("controlWidget")->grab().toImage(), QStringLiteral("gcode.png"));
        std::printf("%s\n", qPrintable(report));
        setPixelSize(QStringLiteral("0.16"));
    }

    // 5. Each filter on the colour picture at half size.
    void filters()
    {
        setAutomaticThreshold();
        freshHalfSize();
        const QImage before = shownPicture();
        save(before, QStringLiteral("filter-before.png"));

        const struct
        {
            const char* button;
            const char* file;
        } steps[] = {
            {"btnGray", "filter-gray.png"},       {"btnBinary", "filter-binary.png"},
            {"btnDither", "filter-dither.png"},   {"btnInverse", "filter-inverse.png"},
            {"btnRelief", "filter-relief.png"},   {"btnPulverize", "filter-pulverize.png"},
            {"btnOutline", "filter-outline.png"}, {"btnSoften", "filter-soften.png"},
        };
        for (const auto& step : steps) {
            freshHalfSize();
            click(step.button);
            const QImage after = shownPicture();
            check(after.size() == before.size() && after != before,
                  QStringLiteral("%1 changes the picture").arg(QLatin1String(step.button)));
            save(after, QLatin1String(step.file));
        }
    }

    // 6. Binary with the automatic threshold and with two manual ones.
    void thresholds()
    {
        const struct
        {
            int manual; // 0: automatic
            const char* file;
        } steps[] = {
            {0, "threshold-auto.png"}, {80, "threshold-80.png"}, {170, "threshold-170.png"}};
        double previousBlack = -1.0;
        for (const auto& step : steps) {
            if (step.manual == 0)
                setAutomaticThreshold();
            else
                setManualThreshold(step.manual);
            freshHalfSize();
            click("btnBinary");
            const QImage after = shownPicture();
            const double black = blackShare(after);
            // A higher threshold counts more pixels as dark.
            check(
                step.manual == 0 || black > previousBlack,
                QStringLiteral("threshold %1 blackens more than the one before").arg(step.manual));
            if (step.manual != 0)
                previousBlack = black;
            save(after, QLatin1String(step.file));
        }
        setAutomaticThreshold();
    }

    // 7. Rotate: the picture before and after, side by side.
    void rotation()
    {
        freshHalfSize();
        const QImage before = shownPicture();
        const int asked = questionsAsked();
        m_dialogs.answerQuestion(Dialogs::Ok);
        click("btnRotate");
        check(questionsAsked() == asked + 1,
              QStringLiteral("Rotate asks first for a wide picture"));
        const QImage after = shownPicture();
        check(after.size() == before.size().transposed(), QStringLiteral("Rotate swaps the sides"));
        bool transposed = true;
        for (int y = 0; y < before.height() && transposed; ++y)
            for (int x = 0; x < before.width() && transposed; ++x)
                transposed = before.pixel(x, y) == after.pixel(y, x);
        check(transposed, QStringLiteral("Rotate mirrors in the diagonal"));
        save(sideBySide({before, after}, qMax(before.height(), after.height())),
             QStringLiteral("rotate.png"));
    }

    void cleanUp()
    {
        QFile::remove(m_picturePath);
        QDir().rmdir(m_work); // only when nothing else is in it
    }

    static double blackShare(const QImage& picture)
    {
        qint64 black = 0;
        for (int y = 0; y < picture.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
            for (int x = 0; x < picture.width(); ++x)
                black += qGray(line[x]) == 0;
        }
        return double(black) / (qint64(picture.width()) * picture.height());
    }

    // The pictures in a row on the window's background, top-aligned, each
    // cut to the given height.
    QImage sideBySide(const QList<QImage>& pictures, int height) const
    {
        constexpr int gap = 24;
        int width = -gap;
        for (const QImage& picture : pictures)
            width += picture.width() + gap;
        QImage row(width, height, QImage::Format_RGB32);
        row.fill(m_window.palette().color(QPalette::Window));
        QPainter painter(&row);
        int x = 0;
        for (const QImage& picture : pictures) {
            painter.drawImage(x, 0, picture, 0, 0, picture.width(), qMin(height, picture.height()));
            x += picture.width() + gap;
        }
        return row;
    }

    TavoMain& m_window;
    ScriptedDialogs& m_dialogs;
    QString m_output;
    QString m_work;
    QString m_picturePath;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        std::fprintf(stderr, "usage: tavo-guide-shots OUTPUT_DIR [WORK_DIR]\n");
        return 2;
    }
    const QString output = arguments.at(1);
    const QString work = arguments.size() == 3
                             ? arguments.at(2)
                             : QDir::temp().filePath(QStringLiteral("tavo-guide"));
    if (!QDir().mkpath(output) || !QDir().mkpath(work))
        fail(QStringLiteral("cannot create %1 or %2").arg(output, work));

    ScriptedDialogs dialogs;
    TavoMain window;
    window.showNormal();
    window.resize(designedSize);
    GuideShots(window, dialogs, QDir(output).absolutePath(), QDir(work).absolutePath()).run();
    return 0;
}
