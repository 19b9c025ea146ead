#include "gcode/gcodegenerator.h"

#include "gcode/gcodeoutput.h"
#include "gcode/grblwriters.h"

GcodeGenerator::GcodeGenerator(QImage* image) : m_image(image)
{
    paramNames.fill(QStringLiteral("N/A"));
    paramValues.fill(QStringLiteral("0"));
}

void GcodeGenerator::setImage(QImage* image)
{
    if (image)
        m_image = image;
}

bool GcodeGenerator::generate(int type, const QString& fileName, ProgressReport* progress)
{
    if (!m_image)
        return false;
    m_progress = progress;
    const bool written = write(type, fileName);
    m_progress = nullptr;
    return written;
}

bool GcodeGenerator::write(int type, const QString& fileName)
{
    m_precision = paramValues[0].toDouble();
    // One pass along every row; the same for every type and every content.
    const double pixels = double(qint64(m_image->width()) * m_image->height());
    m_travelLength = gcode::truncatedToInt(pixels * m_precision);
    m_processingTime = 0.0;
    if (firmware.firmware == Firmware::Grbl)
        return generateGrbl(type, fileName);

    switch (type) {
    case LaserLine:
        return generateLaserLine(fileName);
    case LaserDots:
        return generateLaserDots(fileName);
    default:
        return generateCncLine(fileName);
    }
}

QString GcodeGenerator::formatPosition(int row, int column) const
{
    const int width = m_image ? m_image->width() : 0;
    const int height = m_image ? m_image->height() : 0;
    return QLatin1String("X") + gcode::coordinateText(gcode::machineX(width, column, m_precision)) +
           QLatin1String(" Y") + gcode::coordinateText(gcode::machineY(height, row, m_precision));
}

bool GcodeGenerator::generateGrbl(int type, const QString& fileName)
{
    const gcode::GrblJob job{m_image, m_precision, paramNames, paramValues, firmware, m_progress};
    double minutes = 0.0;
    bool written = false;
    switch (type) {
    case LaserLine:
        written = gcode::writeGrblLaserLine(job, fileName, &minutes);
        break;
    case LaserDots:
        written = gcode::writeGrblLaserDots(job, fileName, &minutes);
        break;
    default:
        written = gcode::writeGrblCncLine(job, fileName, &minutes);
        break;
    }
    if (written)
        m_processingTime = minutes;
    return written;
}
