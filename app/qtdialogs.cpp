#include "qtdialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>

namespace {

// Work shorter than this shows nothing new.
constexpr int progressDelayMs = 500;
constexpr int progressSteps = 1000;

class QtProgress final : public ProgressDialog
{
public:
    QtProgress(const QString& title, const QString& label)
        : m_dialog(label, QProgressDialog::tr("Cancel"), 0, progressSteps)
    {
        m_dialog.setWindowTitle(title);
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setMinimumDuration(progressDelayMs);
        // Closing or finishing must not hide and reset it: the work ends it.
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    void update(double fraction) override
    {
        // A cancelled dialog has reset itself; a new value would show it again.
        if (m_dialog.wasCanceled())
            return;
        if (fraction < 0) {
            m_dialog.setMaximum(0); // a busy bar
            return;
        }
        m_dialog.setMaximum(progressSteps);
        m_dialog.setValue(int(fraction * progressSteps));
    }
    bool canceled() const override { return m_dialog.wasCanceled(); }

private:
    QProgressDialog m_dialog;
};

} // namespace

static_assert(int(Dialogs::NoButton) == int(QMessageBox::NoButton) &&
                  int(Dialogs::Ok) == int(QMessageBox::Ok) &&
                  int(Dialogs::Yes) == int(QMessageBox::Yes) &&
                  int(Dialogs::No) == int(QMessageBox::No) &&
                  int(Dialogs::Cancel) == int(QMessageBox::Cancel),
              "Dialogs::Button must mirror QMessageBox::StandardButton");

void QtDialogs::critical(const QString& title, const QString& text)
{
    QMessageBox::critical(nullptr, title, text);
}

void QtDialogs::information(const QString& title, const QString& text)
{
    QMessageBox::information(nullptr, title, text);
}

Dialogs::Button QtDialogs::question(const QString& title, const QString& text, Buttons buttons,
                                    Button defaultButton)
{
    const auto answer =
        QMessageBox::question(nullptr, title, text, QMessageBox::StandardButtons(buttons),
                              static_cast<QMessageBox::StandardButton>(defaultButton));
    return static_cast<Button>(answer);
}

QString QtDialogs::getOpenFileName(const QString& caption, const QString& dir,
                                   const QString& filter)
{
    return QFileDialog::getOpenFileName(nullptr, caption, dir, filter);
}

QString QtDialogs::getSaveFileName(const QString& caption, const QString& dir,
                                   const QString& filter)
{
    return QFileDialog::getSaveFileName(nullptr, caption, dir, filter);
}

std::unique_ptr<ProgressDialog> QtDialogs::progress(const QString& title, const QString& label)
{
    return std::make_unique<QtProgress>(title, label);
}
