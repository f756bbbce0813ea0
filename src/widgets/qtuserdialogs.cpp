#include "qtuserdialogs.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>

#include <functional>

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

// Runs a dialog made on the heap. A parent deleted while it is open (a form
// closed under it by an event its loop handled) takes the dialog with it;
// the answer is then `gone`. No dialog lives on the stack, where such a
// parent would free what was never allocated.
template <typename Dialog, typename Answer>
auto answered(Dialog *dialog, Answer gone, const std::function<Answer(Dialog &, int)> &answer)
{
    const QPointer<Dialog> guard(dialog);
    const int code = dialog->exec();
    if (!guard)
        return gone;
    const Answer result = answer(*dialog, code);
    delete dialog;
    return result;
}

int answered(QDialog *dialog)
{
    return answered<QDialog, int>(dialog, QDialog::Rejected,
                                  [](QDialog &, int code) { return code; });
}

} // namespace

void QtUserDialogs::message(QWidget *parent, const QString &text, const QString &title, Icon icon)
{
    answered(new QMessageBox(boxIcon(icon), titleOr(title), text, QMessageBox::Ok, parent));
}

bool QtUserDialogs::confirm(QWidget *parent, const QString &text, const QString &title)
{
    auto *box = new QMessageBox(QMessageBox::Question, titleOr(title), text,
                                QMessageBox::Ok | QMessageBox::Cancel, parent);
    box->setDefaultButton(QMessageBox::Ok);
    return answered(box) == QMessageBox::Ok;
}

QString QtUserDialogs::openFileName(QWidget *parent, const QString &caption, const QString &filter,
                                    const QString &directory)
{
    auto *dialog = new QFileDialog(parent, caption, directory, filter);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    return answered<QFileDialog, QString>(dialog, {}, [](QFileDialog &d, int code) {
        return code == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                         : QString();
    });
}

QString QtUserDialogs::saveFileName(QWidget *parent, const QString &caption, const QString &filter,
                                    const QString &directory, const QString &suffix)
{
    auto *dialog = new QFileDialog(parent, caption, directory, filter);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setDefaultSuffix(suffix);
    return answered<QFileDialog, QString>(dialog, {}, [](QFileDialog &d, int code) {
        return code == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                         : QString();
    });
}

UserDialogs::SaveChoice QtUserDialogs::askToSave(QWidget *parent, const QString &text)
{
    auto *box =
        new QMessageBox(QMessageBox::Question, titleOr({}), text,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box->setDefaultButton(QMessageBox::Save);
    // Alt and a letter answer, whatever the platform's own captions.
    box->button(QMessageBox::Save)->setText(QStringLiteral("&Save"));
    box->button(QMessageBox::Discard)->setText(QStringLiteral("&Discard"));
    box->button(QMessageBox::Cancel)->setText(QStringLiteral("&Cancel"));
    switch (answered(box)) {
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
    auto *box = new QMessageBox(QMessageBox::Question, titleOr({}), text,
                                QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(QMessageBox::No);
    return answered(box) == QMessageBox::Yes;
}
