#ifndef TAVO_PREVIEW_TOOLPATHDRAWING_H
#define TAVO_PREVIEW_TOOLPATHDRAWING_H

#include "dialogs/progress.h"
#include "toolpath/toolpathreader.h"

#include <QIODevice>
#include <QImage>
#include <QString>

// 64 million pixels: 8 bytes each while drawing, 4 in the picture.
constexpr qint64 previewPixelBudget = qint64(1) << 26;

// How to read and draw a G-code file. A field added here later (a progress
// callback for the reading loop) leaves every caller as it is.
struct DrawOptions
{
    // Unknown: from the file's title comment.
    Machine machine = Machine::Unknown;
    // 0: the report only, nothing drawn. Capped to the budget's largest scale.
    double pixelsPerMm = 0;
    // Told the share of the file read; a stop makes the read fail.
    ProgressReport* progress = nullptr;
};

// A G-code file read, summed up and drawn.
struct ToolpathDrawing
{
    ToolpathReport report;
    // The drawing, as tavo preview writes it; null when none was asked for
    // or it would have passed the pixel budget.
    QImage image;
    // The scale drawn at, after the cap.
    double pixelsPerMm = 0;
    // False when the strokes left the budget: the image is then null.
    bool complete = true;
};

// Reads the device to its end, sums up the moves and draws them; false with
// the device's error. The one way both tavo preview and the window draw a
// file, so the two cannot differ.
bool drawToolpath(QIODevice& device, const DrawOptions& options, ToolpathDrawing* drawing,
                  QString* error);

// The report's lines as tavo preview prints them: bounds, lengths, time.
QString previewReport(const QString& fileName, const ToolpathReport& report);

#endif
