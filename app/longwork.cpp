#include "longwork.h"

#include "dialogs/dialogs.h"
#include "files/localfiles.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

bool running = false;

// Messages of the worker, shown by the window thread once the work is over;
// questions and file dialogs have no place in work off the window thread.
class HeldDialogs final : public Dialogs
{
public:
    void critical(const QString& title, const QString& text) override
    {
        m_held.push_back({true, title, text});
    }
    void information(const QString& title, const QString& text) override
    {
        m_held.push_back({false, title, text});
    }
    Button question(const QString&, const QString&, Buttons, Button) override { return Cancel; }
    QString getOpenFileName(const QString&, const QString&, const QString&) override
    {
        return QString();
    }
    QString getSaveFileName(const QString&, const QString&, const QString&) override
    {
        return QString();
    }

    void replay(Dialogs& to) const
    {
        for (const Message& message : m_held) {
            if (message.critical)
                to.critical(message.title, message.text);
            else
                to.information(message.title, message.text);
        }
    }

private:
    struct Message
    {
        bool critical;
        QString title;
        QString text;
    };
    std::vector<Message> m_held;
};

// The worker's side of the hand-over: each new percent waits until the
// window thread has shown it and looked at the dialog's Cancel.
class Handover final : public ProgressReport
{
public:
    Handover(ProgressDialog& dialog, QObject* windowThread)
        : m_dialog(dialog), m_windowThread(windowThread)
    {
    }

    // Window thread: the dialog's Cancel, looked at between reports too.
    void poll()
    {
        if (m_dialog.canceled())
            m_cancel = true;
    }
    // Window thread: no more hand-overs; a waiting worker is let go.
    void abandon()
    {
        m_cancel = true;
        std::lock_guard<std::mutex> guard(m_lock);
        m_abandoned = true;
        m_handed.notify_all();
    }

protected:
    bool report(double fraction) override
    {
        const int percent = fraction < 0 ? -1 : int(fraction * 100);
        if (percent != m_percent) {
            m_percent = percent;
            std::unique_lock<std::mutex> guard(m_lock);
            if (!m_abandoned) {
                m_shown = false;
                QMetaObject::invokeMethod(
                    m_windowThread, [this, fraction] { show(fraction); }, Qt::QueuedConnection);
                m_handed.wait(guard, [this] { return m_shown || m_abandoned; });
            }
        }
        return !m_cancel;
    }

private:
    void show(double fraction)
    {
        m_dialog.update(fraction);
        poll();
        std::lock_guard<std::mutex> guard(m_lock);
        m_shown = true;
        m_handed.notify_all();
    }

    ProgressDialog& m_dialog;
    QObject* m_windowThread;
    std::atomic<bool> m_cancel{false};
    int m_percent = -2; // the worker's alone
    std::mutex m_lock;
    std::condition_variable m_handed;
    bool m_shown = false;
    bool m_abandoned = false;
};

// Disables the widgets and gives each its former state back.
class Blocked
{
public:
    explicit Blocked(const QList<QWidget*>& widgets)
    {
        for (QWidget* widget : widgets) {
            m_widgets.push_back({widget, !widget->testAttribute(Qt::WA_ForceDisabled)});
            widget->setEnabled(false);
        }
    }
    ~Blocked()
    {
        for (const auto& [widget, enabled] : m_widgets)
            if (widget)
                widget->setEnabled(enabled);
    }

private:
    std::vector<std::pair<QPointer<QWidget>, bool>> m_widgets;
};

constexpr int cancelPollMs = 100;

} // namespace

WorkEnd runLongWork(const QString& title, const QString& label, const QList<QWidget*>& blocked,
                    const std::function<bool(ProgressReport&)>& work)
{
    Dialogs& dialogs = Dialogs::instance();
    const std::unique_ptr<ProgressDialog> dialog = dialogs.progress(title, label);
    const Blocked block(blocked);
    QObject windowThread;
    Handover handover(*dialog, &windowThread);
    HeldDialogs held;

    bool result = false;
    Dialogs* const previous = Dialogs::install(&held);
    running = true;
    QThread* worker = QThread::create([&] { result = work(handover); });
    QEventLoop loop;
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &windowThread, [&] { handover.poll(); });
    poll.start(cancelPollMs);
    worker->start();
    loop.exec();
    // The loop also ends when the application quits: the work is then
    // stopped, and nothing waits for the window thread any more.
    if (!worker->isFinished())
        handover.abandon();
    worker->wait();
    delete worker;
    running = false;
    Dialogs::install(previous);
    held.replay(dialogs);
    if (result)
        return WorkEnd::Done;
    return handover.stopped() ? WorkEnd::Cancelled : WorkEnd::Failed;
}

QString shownName(const QString& fileName)
{
    return QFileInfo(readableFileName(fileName)).fileName();
}

bool longWorkRunning()
{
    return running;
}
