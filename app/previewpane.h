#ifndef TAVO_APP_PREVIEWPANE_H
#define TAVO_APP_PREVIEWPANE_H

#include "preview/toolpathdrawing.h"

#include <QImage>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

// The toolpath of a G-code file as tavo preview draws it, fitted to the
// pane, with its report (bounds, lengths, time) under it. The only place the
// window reaches the reader and the drawing.
class PreviewPane : public QWidget
{
    Q_OBJECT

public:
    explicit PreviewPane(QWidget* parent = nullptr);

    // Reads the file from disk and draws it at the given scale, touching no
    // widget, so that it can run off the window thread. False, with why in
    // *why, for a file that cannot be read, is not a regular file, is empty
    // or holds a line that is not G-code, and when the progress asked to stop.
    static bool readFile(const QString& path, double pixelsPerMm, ProgressReport* progress,
                         ToolpathDrawing* result, QString* why);
    // Shows what readFile made, in place of the previous preview.
    void display(const QString& path, const ToolpathDrawing& result);
    // The scale at which the machine's range fills the pane's picture area.
    double fittedScale() const;

    // The drawing as made, before it is scaled to the pane.
    const QImage& drawing() const { return m_drawing; }
    double pixelsPerMm() const { return m_pixelsPerMm; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showDrawing();

    QLabel* m_picture;
    QPlainTextEdit* m_report;
    QImage m_drawing;
    double m_pixelsPerMm = 0;
};

#endif
