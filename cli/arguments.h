#ifndef TAVO_CLI_ARGUMENTS_H
#define TAVO_CLI_ARGUMENTS_H

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

// The command line of one subcommand: options in the GNU style ("--name value",
// "--name=value", "-o value", "-ovalue", "--" ends the options), everything
// else positional. A lone "-" is positional too (standard input).
class Arguments
{
public:
    struct Option
    {
        QString name; // with its dashes: "--type", "-o"
        bool takesValue;
    };
    struct Given
    {
        QString name;
        QString value;
    };

    // False with a message for an unknown option or a missing value.
    bool parse(const QStringList& arguments, const std::vector<Option>& options, QString* error);

    const QStringList& positional() const { return m_positional; }
    // Every option in the order given, repetitions included.
    const QList<Given>& given() const { return m_given; }
    bool has(const QString& name) const;
    // The value of the last occurrence; empty when absent.
    QString value(const QString& name) const;
    int count(const QString& name) const;

private:
    QStringList m_positional;
    QList<Given> m_given;
};

#endif
