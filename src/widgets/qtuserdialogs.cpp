#include "qtuserdialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>

namespace {

// Boxes given no title of their own carry the tool's name.
QString titleOr(const QString &title)
{
    return title.isEmpty() ? QStringLiteral("PLC Tarvik") : title;
}

QMessageBox::Icon boxIcon(UserDialogs::Icon icon)
{
    switch (icon) {
    case UserDialogs::Icon::Warning:
        return QMessageBox::Warning;
    case UserDialogs::Icon::Critical:
        return QMessageBox::Critical;
    case UserDialogs::Icon::Information:
        break;
    }
    return QMessageBox::Information;
}

} // namespace

void QtUserDialogs::message(QWidget *parent, const QString &text, const QString &title, Icon icon)
{
    QMessageBox box(boxIcon(icon), titleOr(title), text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtUserDialogs::confirm(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::Question, titleOr(title), text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

QString QtUserDialogs::openFileName(QWidget *parent, const QString &caption, const QString &filter,
                                    const QString &directory)
{
    return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString QtUserDialogs::saveFileName(QWidget *parent, const QString &caption, const QString &filter,
                                    const QString &directory, const QString &suffix)
{
    QFileDialog dialog(parent, caption, directory, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

UserDialogs::SaveChoice QtUserDialogs::askToSave(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, titleOr({}), text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Save);
    // Alt and a letter answer, whatever the platform's own captions.
    box.button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box.button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Cancel"));
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

bool QtUserDialogs::askYesNo(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Question, titleOr({}), text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
