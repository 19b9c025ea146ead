// The parameter checks of the three G-code types.
//
// All four slots are converted before anything is compared, and every check
// accepts a value only when it lies inside its range: written this way round,
// a NaN read from "nan" fails like any other value out of range.
#include "core/dialogs.h"
#include "gcode/gcodegenerator.h"

#include <QCoreApplication>

namespace {

template <typename T> bool within(T value, T low, T high)
{
    return low <= value && value <= high;
}

bool refuse(const char* message)
{
    Dialogs::instance().critical(QCoreApplication::translate("TavoMain", "Invalid Parameters"),
                                 QCoreApplication::translate("TavoMain", message));
    return false;
}

bool validateLaserLine(const std::array<QString, 5>& values)
{
    const int power = values[1].toInt(nullptr, 10);
    const int travelSpeed = values[2].toInt(nullptr, 10);
    const int jumpSpeed = values[3].toInt(nullptr, 10);
    const double startHeight = values[4].toDouble();

    if (!within(power, 1, 100))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Laser Power must be within (1 - 100)"));
    if (!within(jumpSpeed, 1, 10000))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Jump Speed must be within (1 - 10000)"));
    if (!within(travelSpeed, 1, 2000))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Travel Speed must be within (1 - 2000)"));
    if (!within(startHeight, 0.0, 150.0))
        return refuse(
            QT_TRANSLATE_NOOP("TavoMain", "Start Position must be within (0.00 - 150.00)"));
    return true;
}

bool validateLaserDots(const std::array<QString, 5>& values)
{
    const int ignored = values[1].toInt(nullptr, 10);
    // Compared in single precision, so that a typed 0.1 meets its bound.
    const float powerIndex = values[2].toFloat();
    const int travelSpeed = values[3].toInt(nullptr, 10);
    const double startHeight = values[4].toDouble();

    if (!within(ignored, 0, 255))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Ignored Threshold must be within (0 - 255)"));
    if (!within(powerIndex, 0.1f, 1.0f))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Power Index must be within (0.1 - 1.0)"));
    if (!within(travelSpeed, 1, 2000))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Travel Speed must be within (1 - 2000)"));
    if (!within(startHeight, 0.0, 150.0))
        return refuse(
            QT_TRANSLATE_NOOP("TavoMain", "Start Position must be within (0.00 - 150.00)"));
    return true;
}

bool validateCncLine(const std::array<QString, 5>& values)
{
    const double thickness = values[1].toDouble();
    const double maxDepth = values[2].toDouble();
    const double minDepth = values[3].toDouble();
    const int travelSpeed = values[4].toInt(nullptr, 10);

    if (!within(thickness, 1.0, 150.0))
        return refuse(
            QT_TRANSLATE_NOOP("TavoMain", "Sheet Thickness must be within (1.00 - 150.00)"));
    if (!within(maxDepth, 1.0, 150.0))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Max Depth must be within (1.00 - 150.00)"));
    if (!within(minDepth, 1.0, 150.0))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Min Depth must be within (1.00 - 150.00)"));
    if (!(minDepth < maxDepth))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Min Depth must be smaller than Max Depth"));
    if (!(maxDepth <= thickness - 1.0))
        return refuse(QT_TRANSLATE_NOOP(
            "TavoMain", "Max Depth must be at least 1.00 smaller than Sheet Thickness"));
    if (!within(travelSpeed, 1, 500))
        return refuse(QT_TRANSLATE_NOOP("TavoMain", "Travel Speed must be within (1 - 500)"));
    return true;
}

} // namespace

bool GcodeGenerator::validate(int type) const
{
    switch (type) {
    case LaserLine:
        return validateLaserLine(paramValues);
    case LaserDots:
        return validateLaserDots(paramValues);
    default:
        return validateCncLine(paramValues);
    }
}
