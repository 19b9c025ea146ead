// The parameter checks of the three G-code types.
//
// All four slots are converted before anything is compared, and every check
// accepts a value only when it lies inside its range: written this way round,
// a NaN read from "nan" fails like any other value out of range.
//
// Parameter texts are copied into the file character for character, so a
// text holding a line break (pasted into the panel) would smuggle commands of
// its own into the file, past every check. Such a text reads as a value
// outside every range and is refused with the slot's usual message.
#include "dialogs/dialogs.h"
#include "gcode/gcodegenerator.h"

#include <QCoreApplication>

#include <limits>

namespace {

template <typename T> bool within(T value, T low, T high)
{
    return low <= value && value <= high;
}

bool breaksLine(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return true;
    }
    return false;
}

// Every integer range starts at 0 or above, so -1 is refused everywhere.
int readInt(const QString& text)
{
    return breaksLine(text) ? -1 : text.toInt(nullptr, 10);
}

double readDouble(const QString& text)
{
    return breaksLine(text) ? std::numeric_limits<double>::quiet_NaN() : text.toDouble();
}

float readFloat(const QString& text)
{
    return breaksLine(text) ? std::numeric_limits<float>::quiet_NaN() : text.toFloat();
}

bool refuse(const char* message)
{
    Dialogs::instance().critical(QCoreApplication::translate("TavoMain", "Invalid Parameters"),
                                 QCoreApplication::translate("TavoMain", message));
    return false;
}

bool validateLaserLine(const std::array<QString, 5>& values)
{
    const int power = readInt(values[1]);
    const int travelSpeed = readInt(values[2]);
    const int jumpSpeed = readInt(values[3]);
    const double startHeight = readDouble(values[4]);

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
    const int ignored = readInt(values[1]);
    // Compared in single precision, so that a typed 0.1 meets its bound.
    const float powerIndex = readFloat(values[2]);
    const int travelSpeed = readInt(values[3]);
    const double startHeight = readDouble(values[4]);

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
    const double thickness = readDouble(values[1]);
    const double maxDepth = readDouble(values[2]);
    const double minDepth = readDouble(values[3]);
    const int travelSpeed = readInt(values[4]);

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
