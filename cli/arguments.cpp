#include "cli/arguments.h"

#include <QCoreApplication>

namespace {

const Arguments::Option* find(const std::vector<Arguments::Option>& options, const QString& name)
{
    for (const Arguments::Option& option : options)
        if (option.name == name)
            return &option;
    return nullptr;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("TavoMain", text);
}

} // namespace

bool Arguments::parse(const QStringList& arguments, const std::vector<Option>& options,
                      QString* error)
{
    m_positional.clear();
    m_given.clear();
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--")) {
            m_positional += arguments.mid(i + 1);
            return true;
        }
        if (!argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            m_positional << argument;
            continue;
        }

        QString name = argument;
        QString value;
        bool inlineValue = false;
        if (argument.startsWith(QLatin1String("--"))) {
            const int equals = argument.indexOf(QLatin1Char('='));
            if (equals > 0) {
                name = argument.left(equals);
                value = argument.mid(equals + 1);
                inlineValue = true;
            }
        } else if (argument.size() > 2) {
            // "-ofile": a short option glued to its value.
            name = argument.left(2);
            value = argument.mid(2);
            inlineValue = true;
        }

        const Option* option = find(options, name);
        if (!option) {
            *error = tr("unknown option %1").arg(name);
            return false;
        }
        if (!option->takesValue) {
            if (inlineValue) {
                *error = tr("%1 takes no value").arg(name);
                return false;
            }
        } else if (!inlineValue) {
            // The next word is the value whatever it looks like, so that
            // "--threshold -1" works.
            if (i + 1 >= arguments.size()) {
                *error = tr("%1 needs a value").arg(name);
                return false;
            }
            value = arguments[++i];
        }
        m_given.append({name, value});
    }
    return true;
}

bool Arguments::has(const QString& name) const
{
    return count(name) > 0;
}

QString Arguments::value(const QString& name) const
{
    for (int i = m_given.size() - 1; i >= 0; --i)
        if (m_given[i].name == name)
            return m_given[i].value;
    return QString();
}

int Arguments::count(const QString& name) const
{
    int n = 0;
    for (const Given& given : m_given)
        n += given.name == name ? 1 : 0;
    return n;
}
