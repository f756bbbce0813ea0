#pragma once

#include "widgets/userdialogs.h"

// UserDialogs shown with QMessageBox and QFileDialog.
class QtUserDialogs : public UserDialogs
{
public:
    void message(QWidget *parent, const QString &text, const QString &title, Icon icon) override;
    bool confirm(QWidget *parent, const QString &text, const QString &title) override;
    QString openFileName(QWidget *parent, const QString &caption, const QString &filter,
                         const QString &directory) override;
    QString saveFileName(QWidget *parent, const QString &caption, const QString &filter,
                         const QString &directory, const QString &suffix) override;
    SaveChoice askToSave(QWidget *parent, const QString &text) override;
    bool askYesNo(QWidget *parent, const QString &text) override;
};
