#include "files/localfiles.h"
#include "machinedialog.h"
#include "qtdialogs.h"
#include "tavomain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    ignoreFileSizeSignal();
    // The window paints with the raster engine only. Without this, Qt's X11
    // plugin loads the machine's OpenGL driver anyway, and what that driver
    // does (leaks, crashes of a broken install) would become ours.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication application(argc, argv);
    QtDialogs dialogs;
    Dialogs::install(&dialogs);

    TavoMain window;
    window.setFirmwareSettings(loadFirmwareSettings());
    window.show();
    const int status = application.exec();
    Dialogs::install(nullptr);
    return status;
}
