#include "scripteddialogs.h"

ScriptedDialogs::ScriptedDialogs() : m_previous(Dialogs::install(this)) {}

ScriptedDialogs::~ScriptedDialogs()
{
    Dialogs::install(m_previous);
}

void ScriptedDialogs::clear()
{
    m_prompts.clear();
    m_answers.clear();
    m_fileNames.clear();
    m_cancelAt.clear();
    m_progressLabels.clear();
    m_unexpected = 0;
}

QStringList ScriptedDialogs::log() const
{
    static const char* const kinds[] = {"critical", "information", "question", "open", "save"};
    QStringList lines;
    for (const Prompt& prompt : m_prompts)
        lines << QString("%1 %2: %3").arg(kinds[prompt.kind], prompt.title, prompt.text);
    return lines;
}

void ScriptedDialogs::critical(const QString& title, const QString& text)
{
    m_prompts.append({Critical, title, text, Ok, NoButton, QString()});
}

void ScriptedDialogs::information(const QString& title, const QString& text)
{
    m_prompts.append({Information, title, text, Ok, NoButton, QString()});
}

Dialogs::Button ScriptedDialogs::question(const QString& title, const QString& text,
                                          Buttons buttons, Button defaultButton)
{
    m_prompts.append({Question, title, text, buttons, defaultButton, QString()});
    if (m_answers.isEmpty()) {
        ++m_unexpected;
        return Cancel;
    }
    return m_answers.dequeue();
}

QString ScriptedDialogs::getOpenFileName(const QString& caption, const QString& dir,
                                         const QString& filter)
{
    m_prompts.append({OpenFile, caption, filter, NoButton, NoButton, dir});
    return nextFileName();
}

QString ScriptedDialogs::getSaveFileName(const QString& caption, const QString& dir,
                                         const QString& filter)
{
    m_prompts.append({SaveFile, caption, filter, NoButton, NoButton, dir});
    return nextFileName();
}

QString ScriptedDialogs::nextFileName()
{
    if (m_fileNames.isEmpty()) {
        ++m_unexpected;
        return QString();
    }
    return m_fileNames.dequeue();
}

namespace {

class ScriptedProgress final : public ProgressDialog
{
public:
    explicit ScriptedProgress(double cancelAt) : m_cancelAt(cancelAt) {}
    void update(double fraction) override { m_canceled |= fraction >= m_cancelAt; }
    bool canceled() const override { return m_canceled; }

private:
    double m_cancelAt;
    bool m_canceled = false;
};

} // namespace

std::unique_ptr<ProgressDialog> ScriptedDialogs::progress(const QString& title,
                                                          const QString& label)
{
    m_progressLabels.append(title + QLatin1String(": ") + label);
    return std::make_unique<ScriptedProgress>(m_cancelAt.isEmpty() ? 2.0 : m_cancelAt.dequeue());
}
