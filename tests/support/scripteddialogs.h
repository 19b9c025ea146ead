#ifndef TAVO_TESTS_SCRIPTEDDIALOGS_H
#define TAVO_TESTS_SCRIPTEDDIALOGS_H

#include "dialogs/dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <QStringList>

// A Dialogs implementation for tests: every prompt is recorded, and answers
// come from queues the test fills beforehand, so nothing ever blocks.
// Installs itself on construction and restores the previous dialogs when
// destroyed.
class ScriptedDialogs final : public Dialogs
{
public:
    enum Kind { Critical, Information, Question, OpenFile, SaveFile };

    struct Prompt
    {
        Kind kind;
        QString title;   // the caption for file dialogs
        QString text;    // the filter for file dialogs
        Buttons buttons; // questions only
        Button defaultButton;
        QString dir; // file dialogs only
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers handed out in order; a prompt with no answer queued gets Cancel
    // (or an empty file name) and counts as unexpected.
    void answerQuestion(Button answer) { m_answers.enqueue(answer); }
    void answerFileName(const QString& fileName) { m_fileNames.enqueue(fileName); }
    // The next progress dialog asks to stop once told of this fraction (the
    // progress hook); one with nothing queued never does. Progress dialogs
    // are not prompts: their labels are kept apart.
    void cancelProgressAt(double fraction) { m_cancelAt.enqueue(fraction); }
    const QStringList& progressLabels() const { return m_progressLabels; }

    const QList<Prompt>& prompts() const { return m_prompts; }
    // One line per prompt, "<kind> <title>: <text>", so that a whole exchange
    // compares at once; kinds are critical, information, question, open, save.
    QStringList log() const;
    int unexpectedPrompts() const { return m_unexpected; }
    // Queued answers nobody asked for: a prompt that should have appeared did not.
    int unusedAnswers() const { return m_answers.size() + m_fileNames.size() + m_cancelAt.size(); }
    void clear();

    void critical(const QString& title, const QString& text) override;
    void information(const QString& title, const QString& text) override;
    Button question(const QString& title, const QString& text, Buttons buttons,
                    Button defaultButton) override;
    QString getOpenFileName(const QString& caption, const QString& dir,
                            const QString& filter) override;
    QString getSaveFileName(const QString& caption, const QString& dir,
                            const QString& filter) override;
    std::unique_ptr<ProgressDialog> progress(const QString& title, const QString& label) override;

private:
    QString nextFileName();

    QList<Prompt> m_prompts;
    QQueue<Button> m_answers;
    QQueue<QString> m_fileNames;
    QQueue<double> m_cancelAt;
    QStringList m_progressLabels;
    int m_unexpected = 0;
    Dialogs* m_previous;
};

#endif
