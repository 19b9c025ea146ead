#include "dialogs/dialogs.h"

#include <QtGlobal>

namespace {

// Used when no front end has installed anything: nothing blocks, nothing is
// lost silently.
class LoggingDialogs final : public Dialogs
{
public:
    void critical(const QString& title, const QString& text) override
    {
        qWarning("%s: %s", qUtf8Printable(title), qUtf8Printable(text));
    }
    void information(const QString& title, const QString& text) override
    {
        qInfo("%s: %s", qUtf8Printable(title), qUtf8Printable(text));
    }
    Button question(const QString& title, const QString& text, Buttons, Button) override
    {
        qWarning("%s: %s (answered Cancel)", qUtf8Printable(title), qUtf8Printable(text));
        return Cancel;
    }
    QString getOpenFileName(const QString&, const QString&, const QString&) override
    {
        return QString();
    }
    QString getSaveFileName(const QString&, const QString&, const QString&) override
    {
        return QString();
    }
};

class SilentProgress final : public ProgressDialog
{
public:
    void update(double) override {}
    bool canceled() const override { return false; }
};

LoggingDialogs fallbackDialogs;
Dialogs* installedDialogs = nullptr;

} // namespace

ProgressDialog::~ProgressDialog() = default;

Dialogs::~Dialogs() = default;

std::unique_ptr<ProgressDialog> Dialogs::progress(const QString&, const QString&)
{
    return std::make_unique<SilentProgress>();
}

Dialogs& Dialogs::instance()
{
    return installedDialogs ? *installedDialogs : fallbackDialogs;
}

Dialogs* Dialogs::install(Dialogs* dialogs)
{
    Dialogs* previous = installedDialogs;
    installedDialogs = dialogs;
    return previous;
}
