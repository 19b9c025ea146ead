#ifndef TAVO_CLI_CONSOLE_H
#define TAVO_CLI_CONSOLE_H

#include "dialogs/dialogs.h"
#include "dialogs/progress.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

namespace cli {

// Exit statuses of every subcommand.
enum ExitStatus : int {
    ExitSuccess = 0,
    ExitFailure = 1, // a file could not be read or written; the rest was done
    ExitUsage = 2,   // the command line or the parameters were refused; nothing was done
};

// User-visible texts share the window's translation context.
inline QString tr(const char* text)
{
    return QCoreApplication::translate("TavoMain", text);
}

// Standard output for results, standard error for messages and the progress
// bar. Both streams are shared with the progress bar's thread, so everything
// goes through here under one lock.
class Console
{
public:
    Console(std::FILE* out, std::FILE* err);

    void print(const QString& text);
    // "tavo: " + text + newline, on standard error.
    void error(const QString& text);
    bool errorIsTerminal() const { return m_errorIsTerminal; }

    // The bar's last line, replaced in place; an empty text clears it.
    void showStatus(const QString& line);

private:
    void clearStatus();

    std::mutex m_lock;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_errorIsTerminal;
    bool m_statusShown = false;
};

// Messages of the core (a picture that does not load, refused parameters, a
// file that cannot be written) printed on standard error; questions are never
// asked, so nothing ever waits for a keyboard. The texts of the last picture
// are kept for its JSON record.
class ConsoleDialogs final : public Dialogs
{
public:
    explicit ConsoleDialogs(Console& console);
    ~ConsoleDialogs() override;

    void critical(const QString& title, const QString& text) override;
    void information(const QString& title, const QString& text) override;
    Button question(const QString& title, const QString& text, Buttons buttons,
                    Button defaultButton) override;
    QString getOpenFileName(const QString&, const QString&, const QString&) override
    {
        return QString();
    }
    QString getSaveFileName(const QString&, const QString&, const QString&) override
    {
        return QString();
    }

    QStringList takeMessages();

private:
    Console& m_console;
    QStringList m_messages;
    Dialogs* m_previous;
};

// A progress bar on standard error for work that takes a while: it appears
// only when standard error is a terminal and the work has run longer than
// the delay, and it is redrawn by a thread of its own, so a single long step
// still shows the clock running. A step that reports through stepReport()
// fills the bar within its share as it goes.
class Progress final : public ProgressReport
{
public:
    Progress(Console& console, bool enabled, int delayMs = 700);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void start(int totalSteps);
    // Step `done` of the total begins; label says what is being done.
    void step(int done, const QString& label);
    void finish();
    // Where the current step reports how far it has got; null when no bar
    // is drawn, so the work runs as it does without one.
    ProgressReport* stepReport() { return m_enabled ? this : nullptr; }

    // The bar as drawn for the given state, `within` the share done of step
    // `done`; exposed for the tests.
    static QString barLine(int done, int total, const QString& label, qint64 elapsedMs,
                           int width = 30, double within = 0.0);

protected:
    bool report(double fraction) override;

private:
    void run();

    Console& m_console;
    const bool m_enabled;
    const int m_delayMs;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::thread m_thread;
    QElapsedTimer m_clock;
    int m_total = 0;
    int m_done = 0;
    double m_within = 0.0;
    QString m_label;
    bool m_stop = false;
};

} // namespace cli

#endif
