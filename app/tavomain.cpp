#include "tavomain.h"
#include "ui_tavomain.h"

TavoMain::TavoMain(QWidget* parent) : QMainWindow(parent), ui(new Ui::TavoMain)
{
    ui->setupUi(this);
}

TavoMain::~TavoMain()
{
    delete ui;
}
