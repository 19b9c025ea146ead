#include "gcode/gcodegenerator.h"

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
