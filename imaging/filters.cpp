#include "imaging/filters.h"

#include <QCoreApplication>

const std::array<FilterEntry, 8>& filterTable()
{
    static const std::array<FilterEntry, 8> table{{
        {Filter::Gray, "gray", QT_TRANSLATE_NOOP("TavoMain", "Gray"), &ImageProcessor::grayImage},
        {Filter::Binary, "binary", QT_TRANSLATE_NOOP("TavoMain", "Binary"),
         &ImageProcessor::binaryImage},
        {Filter::Dither, "dither", QT_TRANSLATE_NOOP("TavoMain", "Dither"),
         &ImageProcessor::ditherImage},
        {Filter::Inverse, "inverse", QT_TRANSLATE_NOOP("TavoMain", "Inverse"),
         &ImageProcessor::inverseImage},
        {Filter::Relief, "relief", QT_TRANSLATE_NOOP("TavoMain", "Relief"),
         &ImageProcessor::reliefImage},
        {Filter::Pulverize, "pulverize", QT_TRANSLATE_NOOP("TavoMain", "Pulverize"),
         &ImageProcessor::pulverizeImage},
        {Filter::Outline, "outline", QT_TRANSLATE_NOOP("TavoMain", "Outline"),
         &ImageProcessor::outlineImage},
        {Filter::Soften, "soften", QT_TRANSLATE_NOOP("TavoMain", "Soften"),
         &ImageProcessor::softenImage},
    }};
    return table;
}

const FilterEntry& filterEntry(Filter filter)
{
    return filterTable()[std::size_t(filter)];
}

const FilterEntry* filterNamed(const QString& name)
{
    for (const FilterEntry& entry : filterTable())
        if (name == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}
