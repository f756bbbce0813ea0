#pragma once

#include "workspace/userdialogs.h"

#include <QList>
#include <QStringList>

#include <deque>

// Answers the tool's dialogs from a script and records every message shown.
class ScriptedDialogs : public UserDialogs
{
public:
    struct Shown
    {
        enum Kind { Message, Confirmation, OpenFile, SaveFile } kind;
        QString text; // message text, or the file dialog's filter
        QString title;
        QString buttons; // "OK" or "OK|Cancel"; empty for file dialogs
        Icon icon = Icon::Information;
    };

    QList<Shown> shown;
    std::deque<bool> confirmations; // answers to confirm(); OK when none is left
    std::deque<QString> fileNames;  // answers to the file dialogs; cancel when none

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
        shown.append({Shown::Message, text, title, QStringLiteral("OK"), icon});
    }

    bool confirm(QWidget *, const QString &text, const QString &title) override
    {
        shown.append({Shown::Confirmation, text, title, QStringLiteral("OK|Cancel")});
        return take(confirmations, true);
    }

    QString openFileName(QWidget *, const QString &caption, const QString &filter) override
    {
        shown.append({Shown::OpenFile, filter, caption, {}});
        return take(fileNames, QString());
    }

    QString saveFileName(QWidget *, const QString &caption, const QString &filter) override
    {
        shown.append({Shown::SaveFile, filter, caption, {}});
        return take(fileNames, QString());
    }

private:
    template <typename T> static T take(std::deque<T> &queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};
