#ifndef TAVO_APP_LONGWORK_H
#define TAVO_APP_LONGWORK_H

#include "dialogs/progress.h"

#include <QList>
#include <QString>

#include <functional>

class QWidget;

// Runs one piece of long work (a load, a save, a G-code file, the reading of
// a preview) on a worker thread while the window thread waits in a local
// event loop, so the window keeps repainting. The widgets in `blocked` are
// disabled meanwhile and get their former state back after.
//
// The work reports through the ProgressReport it is given; each new percent
// is handed to a progress dialog from the dialog seam on the window thread
// before the work goes on, so a Cancel takes effect at the very next report.
// Messages the work shows through the dialog seam are held back and shown,
// in order, on the window thread once it has ended; the work itself must
// never touch a widget.
//
enum class WorkEnd { Done, Failed, Cancelled };

// Done when the work returned true, Cancelled when it returned false after a
// stop was asked, else Failed.
WorkEnd runLongWork(const QString& title, const QString& label, const QList<QWidget*>& blocked,
                    const std::function<bool(ProgressReport&)>& work);

// A file's name as the progress dialog shows it: the last part, readable.
QString shownName(const QString& fileName);

// True while runLongWork is running on the window thread.
bool longWorkRunning();

#endif
