#include "qtdialogs.h"

#include <QFileDialog>
#include <QMessageBox>

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
