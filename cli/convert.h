#ifndef TAVO_CLI_CONVERT_H
#define TAVO_CLI_CONVERT_H

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>

class ImageProcessor;
struct FilterEntry;

namespace cli {

class Console;

// One picture command of --apply: a filter, or a geometry command with the
// size the window would take from its view area.
struct PictureStep
{
    enum Kind { Filter, Rotate, Crop, Scale, Fit };
    Kind kind;
    QSize size;                          // Crop, Scale and Fit
    QString text;                        // as written, for messages and the progress bar
    const FilterEntry* filter = nullptr; // Filter
};

// "gray,dither,crop=620x420": the commands in order. False with a message
// naming the first word that is not a command or a size that is not W x H
// with both at least 1.
bool parseSteps(const QString& list, QList<PictureStep>* steps, QString* error);
void applyStep(ImageProcessor& processor, const PictureStep& step);

QString convertHelp();
// tavo convert: 0 when every picture was written, 1 when one failed (the
// others are still done), 2 for a usage error or refused parameters.
int runConvert(const QStringList& arguments, Console& console);

} // namespace cli

#endif
