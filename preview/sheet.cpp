#include "preview/sheet.h"

#include "imaging/pixelbuffer.h"

#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#if defined(Q_OS_UNIX)
#include <sys/mman.h>
#endif

namespace {

// White space around the range and the drawing, in millimetres.
constexpr double marginMm = 5.0;
// The colour table entry of the range's mark.
constexpr int rangeColourIndex = 254;

} // namespace

// Fresh pages from the system, zero already, and huge ones where it has
// them: the sheet is written all over, and faulting it in 4 KiB at a time
// costs more on a virtual machine than drawing a whole file.
Sheet::Cells Sheet::newCells(std::size_t count)
{
    const std::size_t bytes = count * sizeof(Cell);
#if defined(Q_OS_UNIX)
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return Cells(nullptr, FreeCells{0});
#if defined(MADV_HUGEPAGE)
    madvise(memory, bytes, MADV_HUGEPAGE);
#endif
#else
    void* memory = std::calloc(count, sizeof(Cell));
    if (!memory)
        return Cells(nullptr, FreeCells{0});
#endif
    return Cells(static_cast<Cell*>(memory), FreeCells{bytes});
}

void Sheet::FreeCells::operator()(Cell* cells) const
{
#if defined(Q_OS_UNIX)
    munmap(cells, bytes);
#else
    std::free(cells);
#endif
}

Sheet::Sheet(double pixelsPerMm, qint64 maxPixels)
    : m_scale(pixelsPerMm), m_maxPixels(maxPixels), m_cells(nullptr, FreeCells{0})
{
    const QRect range = rangePixels();
    cover(range.left(), range.top(), range.right(), range.bottom());
}

double Sheet::largestScale(qint64 maxPixels)
{
    // cover() holds a square of 2n x 2n pixels for the range, n = the reach
    // of its edge, floor(scale x 70 + 0.5), plus one.
    const double half = std::floor(std::sqrt(double(maxPixels) / 4));
    return std::floor((half - 0.5) / (rangeMm / 2) * 10 - 1e-9) / 10;
}

QRect Sheet::rangePixels() const
{
    const double half = rangeMm / 2;
    return QRect(QPoint(column(half), row(half)), QPoint(column(-half), row(-half)));
}

// Makes the pixels left..right x top..bottom (inclusive) part of the sheet.
bool Sheet::cover(int left, int top, int right, int bottom)
{
    if (left >= m_left && right < m_right && top >= m_top && bottom < m_bottom)
        return true;
    if (m_overflow)
        return false;
    // Pictures lie centred on the origin: a sheet that must grow to one side
    // grows alike to the other, so a drawing usually needs one growth only.
    // A little more on top keeps one that creeps outwards from copying often.
    const qint64 reachX = std::max<qint64>(std::abs(qint64(left)), std::abs(qint64(right)));
    const qint64 reachY = std::max<qint64>(std::abs(qint64(top)), std::abs(qint64(bottom)));
    const qint64 heldX = std::max<qint64>(-qint64(m_left), m_right);
    const qint64 heldY = std::max<qint64>(-qint64(m_top), m_bottom);
    qint64 newX = std::max(reachX + 1, heldX);
    qint64 newY = std::max(reachY + 1, heldY);
    if (newX > heldX)
        newX += newX / 8;
    if (newY > heldY)
        newY += newY / 8;
    if (4 * newX * newY > m_maxPixels) {
        newX = std::max(reachX + 1, heldX);
        newY = std::max(reachY + 1, heldY);
    }
    if (4 * newX * newY > m_maxPixels) {
        m_overflow = true;
        return false;
    }

    const int newLeft = int(-newX), newTop = int(-newY);
    const std::ptrdiff_t newWidth = std::ptrdiff_t(2 * newX);
    Cells cells = newCells(std::size_t(newWidth) * std::size_t(2 * newY));
    if (!cells) {
        m_overflow = true;
        return false;
    }
    for (int r = m_top; r < m_bottom; ++r)
        std::memcpy(cells.get() + std::ptrdiff_t(r - newTop) * newWidth + (m_left - newLeft),
                    cellAt(m_left, r), std::size_t(m_width) * sizeof(Cell));
    m_cells = std::move(cells);
    m_left = newLeft;
    m_top = newTop;
    m_right = int(newX);
    m_bottom = int(newY);
    m_width = newWidth;
    return true;
}

void Sheet::stroke(double x0, double y0, double x1, double y1, float value)
{
    const double fx = (x1 - x0) * m_scale;
    const double fy = (y1 - y0) * m_scale;
    const float length = fy == 0   ? float(std::abs(fx))
                         : fx == 0 ? float(std::abs(fy))
                                   : float(std::sqrt(fx * fx + fy * fy));
    if (!(length > 0.0f))
        return;
    const int c0 = column(x0);
    const int r0 = row(y0);
    const int c1 = column(x1);
    const int r1 = row(y1);
    const int dx = std::abs(c1 - c0);
    const int dy = std::abs(r1 - r0);
    // The beam's width goes across the stroke, to the right of a steep one
    // and below a flat one: the side where the picture's pixel lies.
    const bool flat = dx >= dy;
    const int extra = m_thickness - 1;
    const int left = std::min(c0, c1), right = std::max(c0, c1) + (flat ? 0 : extra);
    const int top = std::min(r0, r1), bottom = std::max(r0, r1) + (flat ? extra : 0);
    if (!cover(left, top, right, bottom))
        return;
    if (m_drawnLeft > m_drawnRight) {
        m_drawnLeft = left;
        m_drawnRight = right;
        m_drawnTop = top;
        m_drawnBottom = bottom;
    } else {
        m_drawnLeft = std::min(m_drawnLeft, left);
        m_drawnRight = std::max(m_drawnRight, right);
        m_drawnTop = std::min(m_drawnTop, top);
        m_drawnBottom = std::max(m_drawnBottom, bottom);
    }

    // Bresenham: one pixel per step along the longer axis, each taking an
    // equal share of the length.
    const int steps = std::max(dx, dy);
    const float share = length / float(steps + 1);
    const float amount = share * value;
    const std::ptrdiff_t sx = c1 > c0 ? 1 : -1;
    const std::ptrdiff_t sy = r1 > r0 ? m_width : -m_width;
    const std::ptrdiff_t across = flat ? m_width : 1;
    Cell* const start = m_cells.get() + std::ptrdiff_t(r0 - m_top) * m_width + (c0 - m_left);
    for (int band = 0; band <= extra; ++band) {
        Cell* at = start + band * across;
        int error = dx - dy;
        for (int i = 0;; ++i) {
            at->sum += amount;
            at->weight += share;
            if (i == steps)
                break;
            const int twice = 2 * error;
            if (twice > -dy) {
                error -= dy;
                at += sx;
            }
            if (twice < dx) {
                error += dx;
                at += sy;
            }
        }
    }
}

void Sheet::setBeam(double millimetres)
{
    const double pixels = std::floor(millimetres * m_scale + 0.5);
    m_thickness = pixels >= 1 ? int(std::min(pixels, 64.0)) : 1;
}

float Sheet::meanAt(double x, double y) const
{
    const int c = column(x);
    const int r = row(y);
    if (c < m_left || c >= m_right || r < m_top || r >= m_bottom)
        return std::numeric_limits<float>::quiet_NaN();
    const Cell* cell = cellAt(c, r);
    if (!(cell->weight > 0.0f))
        return std::numeric_limits<float>::quiet_NaN();
    return cell->sum / cell->weight;
}

QRect Sheet::imageRect() const
{
    QRect shown = rangePixels();
    if (m_drawnLeft <= m_drawnRight)
        shown = shown.united(
            QRect(QPoint(m_drawnLeft, m_drawnTop), QPoint(m_drawnRight, m_drawnBottom)));
    const int margin = int(std::ceil(marginMm * m_scale));
    return shown.adjusted(-margin, -margin, margin, margin);
}

QPoint Sheet::imagePixel(double x, double y) const
{
    return QPoint(column(x), row(y)) - imageRect().topLeft();
}

QImage Sheet::render(const std::function<int(float)>& darkness) const
{
    if (m_overflow)
        return QImage();
    const QRect shown = imageRect();
    QImage image = newPicture(shown.width(), shown.height(), QImage::Format_Indexed8);
    if (image.isNull())
        return image;
    // One byte a pixel keeps a large preview quick to compress: the grays,
    // with one entry given to the range's blue and gray 254 drawn as 253.
    QVector<QRgb> colours(256);
    for (int gray = 0; gray < 256; ++gray)
        colours[gray] = qRgb(gray, gray, gray);
    colours[rangeColourIndex] = qRgb(0, 0, 255);
    image.setColorTable(colours);
    image.fill(255);

    // Only the part of the sheet that holds anything is walked.
    const QRect held =
        shown.intersected(QRect(QPoint(m_left, m_top), QPoint(m_right - 1, m_bottom - 1)));
    for (int r = held.top(); r <= held.bottom(); ++r) {
        uchar* line = image.scanLine(r - shown.top());
        const Cell* cells = cellAt(held.left(), r);
        for (int c = held.left(); c <= held.right(); ++c, ++cells) {
            if (!(cells->weight > 0.0f))
                continue;
            const int gray = 255 - qBound(0, darkness(cells->sum / cells->weight), 255);
            line[c - shown.left()] = uchar(gray == rangeColourIndex ? gray - 1 : gray);
        }
    }

    // The range as a dashed line, 4 pixels drawn and 2 left out, over the
    // drawing: the moves under it stay visible between the dashes.
    const QRect range = rangePixels().translated(-shown.topLeft());
    const auto dot = [&image](int x, int y, int along) {
        if (along % 6 < 4)
            image.scanLine(y)[x] = uchar(rangeColourIndex);
    };
    for (int x = range.left(); x <= range.right(); ++x) {
        dot(x, range.top(), x - range.left());
        dot(x, range.bottom(), x - range.left());
    }
    for (int y = range.top(); y <= range.bottom(); ++y) {
        dot(range.left(), y, y - range.top());
        dot(range.right(), y, y - range.top());
    }
    return image;
}
