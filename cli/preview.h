#ifndef TAVO_CLI_PREVIEW_H
#define TAVO_CLI_PREVIEW_H

#include <QString>
#include <QStringList>

namespace cli {

class Console;

QString previewHelp();
// tavo preview: 0 when the file was read and the picture written, 1 when a
// file could not be read or written or held lines that are not G-code, 2 for
// a usage error.
int runPreview(const QStringList& arguments, Console& console);

} // namespace cli

#endif
