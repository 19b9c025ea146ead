#ifndef TAVO_CLI_PREVIEW_H
#define TAVO_CLI_PREVIEW_H

#include <QString>
#include <QStringList>

namespace cli {

class Console;
struct ToolpathReport;

QString previewHelp();
// The report printed after reading a file.
QString previewReport(const QString& fileName, const ToolpathReport& report);
// tavo preview: 0 when the file was read and the picture written, 1 when a
// file could not be read or written or held lines that are not G-code, 2 for
// a usage error.
int runPreview(const QStringList& arguments, Console& console);

} // namespace cli

#endif
