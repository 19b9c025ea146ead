#ifndef TAVO_IMAGING_FILTERS_H
#define TAVO_IMAGING_FILTERS_H

#include "imaging/imageprocessor.h"

#include <QString>

#include <array>

// The eight filters, each named once: the word `tavo convert --apply`
// takes, the label the window's button and menu item show, and the operation
// both run on the working picture.
enum class Filter { Gray, Binary, Dither, Inverse, Relief, Pulverize, Outline, Soften };

struct FilterEntry
{
    Filter filter;
    const char* name;
    const char* label;
    void (ImageProcessor::*apply)();
};

// In the order of the window's buttons.
const std::array<FilterEntry, 8>& filterTable();
const FilterEntry& filterEntry(Filter filter);
// Null for a name that is no filter's.
const FilterEntry* filterNamed(const QString& name);

#endif
