#ifndef TAVO_DIALOGS_DIALOGS_H
#define TAVO_DIALOGS_DIALOGS_H

#include <QString>

#include <memory>

// The window's view of long work: told how far it has got, it says whether
// the user asked to stop. Used on the window thread only.
class ProgressDialog
{
public:
    virtual ~ProgressDialog();
    // fraction runs from 0 to 1; a negative one means "not known".
    virtual void update(double fraction) = 0;
    virtual bool canceled() const = 0;
};

// The one seam through which the program talks to the user in modal boxes.
//
// The core (imaging/, gcode/) cannot link QtWidgets, yet a picture that fails
// to load or a refused parameter must reach the user. Everything goes through
// the installed Dialogs: the window installs one that calls the static
// QMessageBox / QFileDialog functions, tests install a scripted one that
// records each prompt and answers without blocking.
class Dialogs
{
public:
    // The same values as QMessageBox::StandardButton, so the window's
    // implementation can hand them over unchanged.
    enum Button : int {
        NoButton = 0x00000000,
        Ok = 0x00000400,
        Yes = 0x00004000,
        No = 0x00010000,
        Cancel = 0x00400000,
    };
    using Buttons = int;

    virtual ~Dialogs();

    virtual void critical(const QString& title, const QString& text) = 0;
    virtual void information(const QString& title, const QString& text) = 0;
    // Returns the button chosen; Escape or the box's close button give the
    // escape button (Cancel when offered).
    virtual Button question(const QString& title, const QString& text, Buttons buttons,
                            Button defaultButton) = 0;
    // An empty result means the user cancelled.
    virtual QString getOpenFileName(const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    virtual QString getSaveFileName(const QString& caption, const QString& dir,
                                    const QString& filter) = 0;
    // A progress dialog for long work, titled title and saying label; it
    // shows itself only when the work lasts a while. The default shows
    // nothing and never cancels.
    virtual std::unique_ptr<ProgressDialog> progress(const QString& title, const QString& label);

    // The installed implementation; never null. Until something is installed,
    // a fallback writes messages to the log and cancels every question.
    static Dialogs& instance();
    // Installs dialogs (not owned) and returns the previous one; nullptr
    // restores the fallback.
    static Dialogs* install(Dialogs* dialogs);
};

#endif
