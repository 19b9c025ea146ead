#ifndef TAVO_PREVIEW_SHEET_H
#define TAVO_PREVIEW_SHEET_H

#include "gcode/machine.h"
#include "toolpath/toolpathreader.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstddef>
#include <functional>
#include <memory>

// The sheet a preview is drawn on, in pixels of a fixed size around the
// machine's origin. Seen as the picture was: the writers put the picture's
// left edge at the largest X and its top row at the largest Y, so X grows to
// the left and Y upwards here.
//
// Every pixel keeps the length-weighted mean of the values of the strokes
// that crossed it, so a sheet drawn at fewer pixels than the file has steps
// still shows the mean power (or depth) of each area rather than its
// darkest stroke. The sheet grows as strokes leave it, up to a pixel budget.
class Sheet final : public StrokeSink
{
public:
    // The machine's travel, centred on the origin.
    static constexpr double rangeMm = machineRangeMm;

    Sheet(double pixelsPerMm, qint64 maxPixels);
    // The largest scale, in tenths, at which the range alone fits maxPixels.
    static double largestScale(qint64 maxPixels);

    double pixelsPerMm() const { return m_scale; }
    // The pixel of a machine position, counted from the origin's pixel.
    int column(double x) const { return pixelOf(-x); }
    int row(double y) const { return pixelOf(-y); }

    // Strokes are as wide as the beam (or the tool), at least a pixel: the
    // preview of a file with the picture's pitch then shows whole pixels.
    void setBeam(double millimetres) override;
    int thickness() const { return m_thickness; }

    // Adds value along the segment between the positions, each pixel it
    // passes weighted by its share of the segment's length.
    void stroke(double x0, double y0, double x1, double y1, float value) override;
    // False once a stroke would have needed more pixels than the budget;
    // strokes are then no longer drawn.
    bool complete() const { return !m_overflow; }

    // The drawing on white, the range marked with a dashed blue square, cut
    // to the range and what was drawn, with a margin: an 8-bit picture whose
    // colour table holds the grays and the blue. darkness maps a pixel's
    // mean value to 0 (white) .. 255 (black). Null when over the budget.
    QImage render(const std::function<int(float)>& darkness) const;
    // Where a machine position lands in render()'s image.
    QPoint imagePixel(double x, double y) const;

    // The mean value at a machine position; NaN where nothing was drawn.
    float meanAt(double x, double y) const;

private:
    // The weighted sum of values and the sum of weights of one pixel.
    struct Cell
    {
        float sum;
        float weight;
    };
    struct FreeCells
    {
        std::size_t bytes;
        void operator()(Cell* cells) const;
    };
    using Cells = std::unique_ptr<Cell[], FreeCells>;
    static Cells newCells(std::size_t count);

    // The nearest pixel; far-off coordinates saturate, the budget refuses
    // them anyway. Written out rather than std::floor, which is a library
    // call on the baseline instruction set and this runs four times a move.
    int pixelOf(double millimetres) const
    {
        const double v = qBound(-1e9, millimetres * m_scale + 0.5, 1e9);
        const int truncated = int(v);
        return truncated > v ? truncated - 1 : truncated;
    }
    bool cover(int left, int top, int right, int bottom);
    QRect rangePixels() const;
    QRect imageRect() const;
    const Cell* cellAt(int column, int row) const
    {
        return m_cells.get() + std::ptrdiff_t(row - m_top) * m_width + (column - m_left);
    }

    double m_scale;
    qint64 m_maxPixels;
    int m_thickness = 1;
    // Pixels held, origin-relative, right and bottom exclusive.
    int m_left = 0, m_top = 0, m_right = 0, m_bottom = 0;
    std::ptrdiff_t m_width = 0;
    // Pixels touched by strokes, inclusive; empty while left > right.
    int m_drawnLeft = 1, m_drawnTop = 1, m_drawnRight = 0, m_drawnBottom = 0;
    Cells m_cells;
    bool m_overflow = false;
};

#endif
