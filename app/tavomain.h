#ifndef TAVO_APP_TAVOMAIN_H
#define TAVO_APP_TAVOMAIN_H

#include "gcode/firmware.h"
#include "longwork.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>

class GcodeGenerator;
enum class Filter;
class ImageProcessor;
class PreviewPane;
class QDockWidget;
class QLabel;
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

    // The firmware the next file is for, shown on the panel. The window
    // starts with Marlin; the program hands it the settings kept between
    // runs.
    void setFirmwareSettings(const FirmwareSettings& settings);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    // Declared in the order of the command table, which fixes their
    // meta-object indices.
    void on_actionOpen_triggered();
    void on_actionSave_triggered();
    void on_actionExit_triggered();
    void on_actionGray_triggered();
    void on_actionBinary_triggered();
    void on_actionDither_triggered();
    void on_actionInverse_triggered();
    void on_actionRelief_triggered();
    void on_actionPulverize_triggered();
    void on_actionOutline_triggered();
    void on_actionSoften_triggered();
    void on_btnOpen_clicked();
    void on_btnReset_clicked();
    void on_btnLaser_clicked();
    void on_btnCnc_clicked();
    void on_cmbType_currentIndexChanged(int index);
    void on_btnGcode_clicked();
    void on_btnGray_clicked();
    void on_btnBinary_clicked();
    void on_btnDither_clicked();
    void on_btnInverse_clicked();
    void on_btnRelief_clicked();
    void on_btnPulverize_clicked();
    void on_btnOutline_clicked();
    void on_btnSoften_clicked();
    void on_btnScale_clicked();
    void on_btnFit_clicked();
    void on_btnCrop_clicked();
    void on_sldSize_sliderMoved(int position);
    void on_spbSize_valueChanged(int arg1);
    void on_btnRotate_clicked();
    void on_cmbParam1_currentIndexChanged(const QString& arg1);
    void on_ckbThreshold_toggled(bool checked);
    void on_txtThreshold_editingFinished();

private:
    void openImage();
    void updateImageView();
    void updateSizeReadout(const QString& pixelSize);
    // The room the picture pane offers right now, measured from the
    // one-pixel strips that stretch along its width and height.
    QSize viewAreaSize() const;
    void setupParameterPanel();
    void runFilter(Filter filter);
    void copyPanelIntoGenerator();
    void setupMachineMenu();
    // Settings > Machine: opened without blocking; OK applies and keeps.
    void openMachineDialog();
    // The preview dock and its menu entries (previewcommands.cpp).
    void setupPreview();
    void previewGcodeFile();
    // Shows the file in the preview dock, or tells the user why it cannot.
    bool showPreview(const QString& path);
    // Long work off the window thread with the picture commands disabled.
    WorkEnd runLong(const QString& title, const QString& label,
                    const std::function<bool(ProgressReport&)>& work);

    // Read-only access for the window tests.
    friend class TavoMainTest;

    std::unique_ptr<Ui::TavoMain> ui;
    std::unique_ptr<ImageProcessor> imageProcessor;
    std::unique_ptr<GcodeGenerator> gcodeGenerator;
    PreviewPane* previewPane = nullptr;
    QDockWidget* previewDock = nullptr;
    std::array<QPushButton*, 17> hoverButtons{};
    QLabel* firmwareLabel = nullptr;
    int gcodeType = -1;
    bool rotated = false;
};

#endif
