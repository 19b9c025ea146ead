// The toolpath preview: a dock beside the picture pane that shows what a
// G-code file makes the machine do, read back from disk.
#include "tavomain.h"
#include "ui_tavomain.h"

#include "dialogs/dialogs.h"
#include "files/localfiles.h"
#include "longwork.h"
#include "previewpane.h"

#include <QAction>
#include <QDockWidget>

void TavoMain::setupPreview()
{
    previewPane = new PreviewPane;
    previewDock = new QDockWidget(tr("Toolpath Preview"), this);
    previewDock->setObjectName(QStringLiteral("previewDock"));
    previewDock->setWidget(previewPane);
    addDockWidget(Qt::RightDockWidgetArea, previewDock);
    // Closed until there is something to show: the window looks as designed.
    previewDock->hide();

    auto* previewFile = new QAction(tr("Preview G-code…"), this);
    previewFile->setObjectName(QStringLiteral("actionPreviewGcode"));
    connect(previewFile, &QAction::triggered, this, &TavoMain::previewGcodeFile);
    QAction* showDock = previewDock->toggleViewAction();
    showDock->setObjectName(QStringLiteral("actionShowPreview"));
    // After Exit: the entries before keep their places, and their keys.
    ui->menuFile->addSeparator();
    ui->menuFile->addActions({previewFile, showDock});
}

void TavoMain::previewGcodeFile()
{
    const QString path = Dialogs::instance().getOpenFileName(
        tr("Preview G-code"), QString(), tr("GCode(*.gcode *.nc *.gc);;All files(*)"));
    if (!path.isEmpty())
        showPreview(path);
}

bool TavoMain::showPreview(const QString& path)
{
    // Read off the window thread: a file of gigabytes shows its progress and
    // can be cancelled, which keeps the previous preview.
    const double scale = previewPane->fittedScale();
    ToolpathDrawing result;
    QString why;
    const WorkEnd end =
        runLong(tr("Preview G-code"), tr("Reading %1…").arg(shownName(path)),
                [&](ProgressReport& progress) {
                    return PreviewPane::readFile(path, scale, &progress, &result, &why);
                });
    if (end == WorkEnd::Cancelled)
        return false;
    if (end == WorkEnd::Failed) {
        Dialogs::instance().critical(tr("Preview G-code"),
                                     tr("Cannot preview %1: %2.").arg(readableFileName(path), why));
        return false;
    }
    previewPane->display(path, result);
    if (previewDock->isHidden()) {
        previewDock->show();
        // A third of the window, the picture pane keeping the rest.
        resizeDocks({previewDock}, {width() / 3}, Qt::Horizontal);
    }
    previewDock->raise();
    return true;
}
