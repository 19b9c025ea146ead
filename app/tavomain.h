#ifndef TAVO_APP_TAVOMAIN_H
#define TAVO_APP_TAVOMAIN_H

#include <QMainWindow>

#include <array>
#include <memory>

class GcodeGenerator;
class ImageProcessor;
class QPushButton;

namespace Ui {
class TavoMain;
}

// The one window of the program. Every user command arrives as a private slot
// connected by name; the slot bodies live next to this file, one source per
// subsystem (imagecommands.cpp, parametercommands.cpp, ...).
class TavoMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit TavoMain(QWidget* parent = nullptr);
    ~TavoMain() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void on_actionOpen_triggered();
    void on_actionSave_triggered();
    void on_actionExit_triggered();
    void on_btnOpen_clicked();
    void on_btnLaser_clicked();
    void on_btnCnc_clicked();
    void on_cmbType_currentIndexChanged(int index);
    void on_btnScale_clicked();
    void on_btnFit_clicked();
    void on_sldSize_sliderMoved(int position);
    void on_spbSize_valueChanged(int arg1);
    void on_cmbParam1_currentIndexChanged(const QString& arg1);

private:
    void openImage();
    void updateImageView();
    void updateSizeReadout(const QString& pixelSize);
    // The room the picture pane offers right now, measured from the
    // one-pixel strips that stretch along its width and height.
    QSize viewAreaSize() const;
    void setupParameterPanel();

    // Read-only access for the window tests, plus the rotation flag that no
    // command of its own can set yet.
    friend class TavoMainTest;

    std::unique_ptr<Ui::TavoMain> ui;
    std::unique_ptr<ImageProcessor> imageProcessor;
    std::unique_ptr<GcodeGenerator> gcodeGenerator;
    std::array<QPushButton*, 17> hoverButtons{};
    int gcodeType = -1;
    bool rotated = false;
};

#endif
