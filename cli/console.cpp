#include "cli/console.h"

#include <unistd.h>

namespace cli {

Console::Console(std::FILE* out, std::FILE* err)
    : m_out(out), m_err(err), m_errorIsTerminal(isatty(fileno(err)) == 1)
{
}

void Console::print(const QString& text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    clearStatus();
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_out);
    std::fflush(m_out);
}

void Console::error(const QString& text)
{
    std::lock_guard<std::mutex> guard(m_lock);
    clearStatus();
    const QByteArray bytes = QStringLiteral("tavo: %1\n").arg(text).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_err);
    std::fflush(m_err);
}

void Console::showStatus(const QString& line)
{
    std::lock_guard<std::mutex> guard(m_lock);
    clearStatus();
    if (line.isEmpty())
        return;
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_err);
    std::fflush(m_err);
    m_statusShown = true;
}

void Console::clearStatus()
{
    if (!m_statusShown)
        return;
    std::fputs("\r\033[K", m_err);
    std::fflush(m_err);
    m_statusShown = false;
}

ConsoleDialogs::ConsoleDialogs(Console& console)
    : m_console(console), m_previous(Dialogs::install(this))
{
}

ConsoleDialogs::~ConsoleDialogs()
{
    Dialogs::install(m_previous);
}

void ConsoleDialogs::critical(const QString& title, const QString& text)
{
    m_messages << text;
    m_console.error(title + QLatin1String(": ") + text);
}

void ConsoleDialogs::information(const QString& title, const QString& text)
{
    m_messages << text;
    m_console.error(title + QLatin1String(": ") + text);
}

Dialogs::Button ConsoleDialogs::question(const QString& title, const QString& text, Buttons,
                                         Button defaultButton)
{
    m_console.error(title + QLatin1String(": ") + text);
    return defaultButton;
}

QStringList ConsoleDialogs::takeMessages()
{
    QStringList messages;
    messages.swap(m_messages);
    return messages;
}

Progress::Progress(Console& console, bool enabled, int delayMs)
    : m_console(console), m_enabled(enabled), m_delayMs(delayMs)
{
}

Progress::~Progress()
{
    finish();
}

void Progress::start(int totalSteps)
{
    if (!m_enabled)
        return;
    std::lock_guard<std::mutex> guard(m_lock);
    m_total = totalSteps;
    m_done = 0;
    m_stop = false;
    m_clock.start();
    if (!m_thread.joinable())
        m_thread = std::thread(&Progress::run, this);
}

void Progress::step(int done, const QString& label)
{
    if (!m_enabled)
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_done = done;
        m_within = 0.0;
        m_label = label;
    }
    m_wake.notify_one();
}

void Progress::finish()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_one();
    m_thread.join();
    m_console.showStatus(QString());
}

void Progress::run()
{
    std::unique_lock<std::mutex> guard(m_lock);
    while (!m_stop) {
        // Redraw on every step and a few times a second for the clock.
        m_wake.wait_for(guard, std::chrono::milliseconds(250));
        if (m_stop || m_clock.elapsed() < m_delayMs)
            continue;
        const QString line = barLine(m_done, m_total, m_label, m_clock.elapsed(), 30, m_within);
        guard.unlock();
        m_console.showStatus(line);
        guard.lock();
    }
}

bool Progress::report(double fraction)
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_within = qBound(0.0, fraction, 1.0);
    return true;
}

QString Progress::barLine(int done, int total, const QString& label, qint64 elapsedMs, int width,
                          double within)
{
    const qint64 units = qint64(width) * qBound(0, done, total) + qint64(width * within);
    const int filled = total > 0 ? int(qMin<qint64>(width, units / total)) : 0;
    const QString bar =
        QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('.'));
    const QString head =
        QStringLiteral("[%1] %2/%3 %4s  ").arg(bar).arg(done).arg(total).arg(elapsedMs / 1000);
    // One line of a narrow terminal: a wrapped bar could not be redrawn in place.
    const int room = qMax(0, 79 - head.size());
    const QString shown =
        label.size() <= room ? label : QStringLiteral("...") + label.right(qMax(0, room - 3));
    return head + shown;
}

} // namespace cli
