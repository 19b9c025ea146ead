#ifndef TAVO_TESTS_APP_TAVOMAINTEST_H
#define TAVO_TESTS_APP_TAVOMAINTEST_H

#include "tavomain.h"

#include "core/dialogs.h"
#include "gcode/gcodegenerator.h"
#include "imaging/imageprocessor.h"
#include "scripteddialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// The window's private state, as the tests see it. TavoMain befriends this
// class; everything here reads, except setRotated (the Rotate command is the
// flag's only writer and lives elsewhere) and the two direct calls that let
// a test reach a case no widget can produce.
class TavoMainTest
{
public:
    static ImageProcessor& imageProcessor(TavoMain& window) { return *window.imageProcessor; }
    static const QImage& workingImage(TavoMain& window)
    {
        return *window.imageProcessor->workingImage();
    }
    static GcodeGenerator& gcodeGenerator(TavoMain& window) { return *window.gcodeGenerator; }
    static const std::array<QPushButton*, 17>& hoverButtons(const TavoMain& window)
    {
        return window.hoverButtons;
    }
    static int gcodeType(const TavoMain& window) { return window.gcodeType; }
    static bool rotated(const TavoMain& window) { return window.rotated; }
    static void setRotated(TavoMain& window, bool rotated) { window.rotated = rotated; }
    static void setupParameterPanel(TavoMain& window, int type)
    {
        window.gcodeType = type;
        window.setupParameterPanel();
    }
    static bool eventFilter(TavoMain& window, QObject* watched, QEvent* event)
    {
        return window.eventFilter(watched, event);
    }
};

// Widgets are reached by object name, the names being part of the contract.
template <typename T = QWidget> T* widget(const TavoMain& window, const char* name)
{
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qFatal("no widget %s", name);
    return found;
}

// The room the picture pane offers to Scale, Fit and Crop, measured the way
// the window measures it.
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

// The window a test drives, with scripted dialogs and a scratch folder of its
// own so each test sees only its own files. A test class inherits it after
// QObject and calls setUpWindow() from init(), tearDownWindow() from cleanup().
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
        // Text in the threshold field fades its clear button in. The animation
        // has no parent: it notices that its button is gone, and deletes
        // itself, only on its next tick, so let it tick once the window is gone.
        const bool fading = !widget<QLineEdit>(*window, "txtThreshold")->text().isEmpty();
        delete window;
        if (fading)
            QTest::qWait(50);
        const int unexpected = dialogs->unexpectedPrompts();
        const int unused = dialogs->unusedAnswers();
        // Freed before comparing, since a failed comparison returns early.
        delete dialogs;
        delete dir;
        // Every dialog a test expected came, and no other.
        QCOMPARE(unexpected, 0);
        QCOMPARE(unused, 0);
    }

    QTemporaryDir* dir = nullptr;
    ScriptedDialogs* dialogs = nullptr;
    TavoMain* window = nullptr;
};

// The offscreen platform warns on every window that it cannot pass size
// hints on; that says nothing about the program and drowns real messages.
inline void silenceOffscreenNoise()
{
    static QtMessageHandler previous = nullptr;
    previous = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains(QLatin1String("does not support propagateSizeHints")))
                previous(type, context, message);
        });
}

// Opens a picture the way a user does: the Open button, the file chosen in
// the dialog.
inline void openPicture(TavoMain& window, ScriptedDialogs& dialogs, const QString& fileName)
{
    dialogs.answerFileName(fileName);
    QTest::mouseClick(widget<QPushButton>(window, "btnOpen"), Qt::LeftButton);
}

#endif
