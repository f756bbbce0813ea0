#pragma once

#include "widgets/userdialogs.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>

// Answers the tool's dialogs from a script and records every message shown.
class ScriptedDialogs : public UserDialogs
{
public:
    struct Shown
    {
        enum Kind { Message, Confirmation, OpenFile, SaveFile, SaveQuestion } kind = Message;
        QString text; // message text, or the file dialog's filter
        QString title;
        QString buttons; // "OK", "OK|Cancel" or "Save|Discard|Cancel"; empty for file dialogs
        Icon icon = Icon::Information;
        QString directory; // file dialogs: where they start
        QString suffix;    // the save dialog: appended to a name without one
    };

    QList<Shown> shown;
    std::deque<bool> confirmations;     // answers to confirm(); OK when none is left
    std::deque<QString> fileNames;      // answers to the file dialogs; cancel when none
    std::deque<SaveChoice> saveChoices; // answers to askToSave(); Cancel when none
    // Runs while a message box or a question is open, as the event loop of a
    // real modal box does (timers fire, deferred deletes run).
    std::function<void()> whileOpen;

    QStringList messages() const
    {
        QStringList texts;
        for (const Shown &s : shown) {
            if (s.kind == Shown::Message)
                texts << s.text;
        }
        return texts;
    }

    void message(QWidget *, const QString &text, const QString &title, Icon icon) override
    {
        record(Shown::Message, text, title, QStringLiteral("OK")).icon = icon;
        open();
    }

    bool confirm(QWidget *, const QString &text, const QString &title) override
    {
        record(Shown::Confirmation, text, title, QStringLiteral("OK|Cancel"));
        open();
        return take(confirmations, true);
    }

    QString openFileName(QWidget *, const QString &caption, const QString &filter,
                         const QString &directory) override
    {
        record(Shown::OpenFile, filter, caption, {}).directory = directory;
        return take(fileNames, QString());
    }

    QString saveFileName(QWidget *, const QString &caption, const QString &filter,
                         const QString &directory, const QString &suffix) override
    {
        Shown &dialog = record(Shown::SaveFile, filter, caption, {});
        dialog.directory = directory;
        dialog.suffix = suffix;
        return take(fileNames, QString());
    }

    // Answered from `confirmations` too; No when none is left.
    bool askYesNo(QWidget *, const QString &text) override
    {
        record(Shown::Confirmation, text, {}, QStringLiteral("Yes|No"));
        open();
        return take(confirmations, false);
    }

    SaveChoice askToSave(QWidget *, const QString &text) override
    {
        record(Shown::SaveQuestion, text, {}, QStringLiteral("Save|Discard|Cancel"));
        return take(saveChoices, SaveChoice::Cancel);
    }

private:
    void open() const
    {
        if (whileOpen)
            whileOpen();
    }

    Shown &record(Shown::Kind kind, const QString &text, const QString &title,
                  const QString &buttons)
    {
        Shown dialog;
        dialog.kind = kind;
        dialog.text = text;
        dialog.title = title;
        dialog.buttons = buttons;
        shown.append(dialog);
        return shown.last();
    }

    template <typename T> static T take(std::deque<T> &queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};
