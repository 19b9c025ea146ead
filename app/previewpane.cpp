#include "previewpane.h"

#include "files/localfiles.h"
#include "preview/sheet.h"
#include "preview/toolpathdrawing.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The range and the margin the drawing keeps around it, in millimetres.
constexpr double fittedMm = Sheet::rangeMm + 10.0;
// Before the dock first opens the pane has no size of its own yet; about what
// a third of a common screen gives it.
constexpr int smallestSide = 500;

} // namespace

PreviewPane::PreviewPane(QWidget* parent)
    : QWidget(parent), m_picture(new QLabel), m_report(new QPlainTextEdit)
{
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setMinimumSize(200, 200);
    m_picture->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_report->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_picture, 1);
    layout->addWidget(m_report);
}

double PreviewPane::fittedScale() const
{
    const int side = std::max(smallestSide, std::min(m_picture->width(), m_picture->height()));
    return std::clamp(side / fittedMm, 0.1, 100.0);
}

bool PreviewPane::readFile(const QString& path, double pixelsPerMm, ProgressReport* progress,
                           ToolpathDrawing* result, QString* why)
{
    QFile file;
    qint64 size = 0;
    if (!openRegularFile(fileNameBytes(path), &file, &size, why))
        return false;
    if (size == 0) {
        *why = tr("it is empty");
        return false;
    }
    if (!drawToolpath(file, {Machine::Unknown, pixelsPerMm, progress}, result, why))
        return false;
    const ToolpathReport& report = result->report;
    if (report.problemCount > 0) {
        *why = tr("line %1 is not G-code (%2)")
                   .arg(report.problems.first().line)
                   .arg(report.problems.first().text);
        return false;
    }
    if (!result->complete) {
        *why = tr("its moves reach too far from the origin to be drawn");
        return false;
    }
    return true;
}

void PreviewPane::display(const QString& path, const ToolpathDrawing& result)
{
    m_drawing = result.image;
    m_pixelsPerMm = result.pixelsPerMm;
    m_report->setPlainText(previewReport(readableFileName(path), result.report));
    // Room for the report's lines, some wrapped, in the font the dock gave it.
    m_report->setMaximumHeight(m_report->fontMetrics().lineSpacing() * 11 + 12);
    showDrawing();
}

void PreviewPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    showDrawing();
}

// Scaled down, never up, so a line keeps its width where the pane has room.
void PreviewPane::showDrawing()
{
    if (m_drawing.isNull())
        return;
    const QSize room = m_picture->size();
    const bool fits = m_drawing.width() <= room.width() && m_drawing.height() <= room.height();
    m_picture->setPixmap(QPixmap::fromImage(
        fits ? m_drawing : m_drawing.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}
