#include "machinedialog.h"
#include "qtdialogs.h"
#include "tavomain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
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
