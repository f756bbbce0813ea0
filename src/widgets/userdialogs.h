#pragma once

#include <QString>

class QWidget;

// Every message box, confirmation and file dialog of the tool goes through
// this interface, so that tests can answer them and read their exact texts.
class UserDialogs
{
public:
    enum class Icon { Information, Warning, Critical };
    enum class SaveChoice { Save, Discard, Cancel };

    virtual ~UserDialogs() = default;

    // A message box with an OK button. An empty title means the tool's own
    // name, the same for every box.
    virtual void message(QWidget *parent, const QString &text, const QString &title = {},
                         Icon icon = Icon::Information) = 0;
    // An OK/Cancel question; true when the user chose OK.
    virtual bool confirm(QWidget *parent, const QString &text, const QString &title = {}) = 0;
    // A file to open or to save, or an empty text when the user cancelled.
    // The filter is in Qt's form: "Name (*.ext);;All file (*.*)"; the dialog
    // starts in `directory`. Opening takes only a file that exists; saving
    // appends `suffix` to a name typed without one and asks before
    // replacing a file.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &filter,
                                 const QString &directory) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &filter,
                                 const QString &directory, const QString &suffix) = 0;
    // A question with "Save", "Discard" and "Cancel" buttons.
    virtual SaveChoice askToSave(QWidget *parent, const QString &text) = 0;
    // A Yes/No question, No the default; true when the user chose Yes.
    virtual bool askYesNo(QWidget *parent, const QString &text) = 0;
};
