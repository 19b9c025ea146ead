#ifndef TAVO_APP_TAVOMAIN_H
#define TAVO_APP_TAVOMAIN_H

#include <QMainWindow>

namespace Ui {
class TavoMain;
}

class TavoMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TavoMain(QWidget* parent = nullptr);
    ~TavoMain() override;

private:
    Ui::TavoMain* ui;
};

#endif
