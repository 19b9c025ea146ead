#ifndef TAVO_APP_QTDIALOGS_H
#define TAVO_APP_QTDIALOGS_H

#include "dialogs/dialogs.h"

// The production dialogs: the static QMessageBox and QFileDialog functions,
// always without a parent window.
class QtDialogs final : public Dialogs
{
public:
    void critical(const QString& title, const QString& text) override;
    void information(const QString& title, const QString& text) override;
    Button question(const QString& title, const QString& text, Buttons buttons,
                    Button defaultButton) override;
    QString getOpenFileName(const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getSaveFileName(const QString& caption, const QString& dir,
                            const QString& filter) override;
    // A modal QProgressDialog that appears after half a second of work.
    std::unique_ptr<ProgressDialog> progress(const QString& title, const QString& label) override;
};

#endif
