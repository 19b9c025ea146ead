#ifndef TAVO_TESTS_APP_TAVOMAINTEST_H
#define TAVO_TESTS_APP_TAVOMAINTEST_H

#include "tavomain.h"

#include "gcode/gcodegenerator.h"
#include "imaging/imageprocessor.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The window's private state, as the tests see it; TavoMain befriends this.
// setRotated spares a test the Rotate command, the flag's only writer.
class TavoMainTest
{
public:
    static ImageProcessor& imageProcessor(TavoMain& window) { return *window.imageProcessor; }
    static const QImage& workingImage(TavoMain& window)
    {
        return *window.imageProcessor->workingImage();
    }
    static GcodeGenerator& gcodeGenerator(TavoMain& window) { return *window.gcodeGenerator; }
    static int gcodeType(const TavoMain& window) { return window.gcodeType; }
    static bool rotated(const TavoMain& window) { return window.rotated; }
    static void setRotated(TavoMain& window, bool rotated) { window.rotated = rotated; }
};

// Widgets are reached by object name, the names being part of the contract.
template <typename T = QWidget> T* widget(const TavoMain& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

// The room the picture pane offers to Scale, Fit and Crop.
inline QSize viewArea(const TavoMain& window)
{
    return QSize(widget(window, "lblWidth")->width() - 20,
                 widget(window, "lblHeight")->height() - widget(window, "btnReset")->height() -
                     widget(window, "spbSize")->height() - 20);
}

// Shows the window and resizes it until the picture pane offers exactly area.
inline bool setViewArea(TavoMain& window, const QSize& area)
{
    window.showNormal();
    for (int attempt = 0; attempt < 8; ++attempt) {
        QApplication::processEvents();
        const QSize now = viewArea(window);
        if (now == area)
            return true;
        window.resize(window.size() + (area - now));
    }
    return false;
}

// Opens a picture the way a user does: Open, then the file in the dialog.
inline void openPicture(TavoMain& window, ScriptedDialogs& dialogs, const QString& fileName)
{
    dialogs.answerFileName(fileName);
    QTest::mouseClick(widget<QPushButton>(window, "btnOpen"), Qt::LeftButton);
}

// The window a test drives, with scripted dialogs and a scratch folder; call
// setUpWindow() from init() and tearDownWindow() from cleanup().
class WindowFixture
{
protected:
    void setUpWindow()
    {
        dir = new QTemporaryDir;
        dialogs = new ScriptedDialogs;
        window = new TavoMain;
        QVERIFY(dir->isValid());
    }

    void tearDownWindow()
    {
        // The threshold field's clear-button fade deletes itself only on its
        // next tick after the window is gone.
        const bool fading = !widget<QLineEdit>(*window, "txtThreshold")->text().isEmpty();
        delete window;
        if (fading)
            QTest::qWait(50);
        // Every expected dialog came, and no other; freed first, as a failed
        // comparison returns early.
        const QList<int> left{dialogs->unexpectedPrompts(), dialogs->unusedAnswers()};
        delete dialogs;
        delete dir;
        QCOMPARE(left, (QList<int>{0, 0}));
    }

    void click(const char* name)
    {
        QTest::mouseClick(widget<QPushButton>(*window, name), Qt::LeftButton);
    }
    ImageProcessor& processor() const { return TavoMainTest::imageProcessor(*window); }
    const QImage& working() const { return TavoMainTest::workingImage(*window); }
    // Opens the picture, written to the scratch folder, as the user does;
    // the dialogs it took are forgotten.
    void openImage(const QImage& picture)
    {
        const QString path = dir->filePath(QString("picture%1.png").arg(++opened));
        QVERIFY(picture.save(path));
        openPicture(*window, *dialogs, path);
        QCOMPARE(working(), picture);
        dialogs->clear();
    }

    int opened = 0;
    QTemporaryDir* dir = nullptr;
    ScriptedDialogs* dialogs = nullptr;
    TavoMain* window = nullptr;
};

// The offscreen platform's size-hint warning on every window drowns real ones.
inline void silenceOffscreenNoise()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains(QLatin1String("does not support propagateSizeHints")))
                previous(type, context, message);
        });
}

#endif
