#pragma once

#include "modbus/requestcheck.h"
#include "widgets/rowdialog.h"

class QComboBox;
class QFormLayout;
class QGroupBox;
class QLineEdit;
class UserDialogs;

// The dialog "Slave add/modify" of a request table (`Slave` for UART1,
// `Slave2` for UART2): the fields of one request, checked by "OK"; "Close"
// leaves without a row.
class SlaveDialog : public RowDialog
{
    Q_OBJECT

public:
    SlaveDialog(const QString &name, UserDialogs &dialogs, QWidget *parent = nullptr);

    void setStart(int slot, const RequestDialogFields &fields);
    RequestDialogFields fields() const;
    // The request "OK" accepted.
    const RequestRow &row() const { return m_row; }
    QStringList cells() const override;

private:
    QGroupBox *buildFrame();
    QLineEdit *addField(QFormLayout *form, const char *name, const QString &label);
    void ok();
    void refuse(const QString &text);
    // Marks the fields OK would refuse: those typed into, or all of them.
    // Returns the first field marked.
    QLineEdit *markFaults(bool all);
    QLineEdit *fieldOf(DialogFieldFault::Field field) const;

    UserDialogs &m_dialogs;
    QLineEdit *m_slot = nullptr;
    QLineEdit *m_address = nullptr;
    QComboBox *m_function = nullptr;
    QLineEdit *m_count = nullptr;
    QLineEdit *m_slaveAddress = nullptr;
    QLineEdit *m_masterAddress = nullptr;
    QLineEdit *m_timeout = nullptr;
    RequestRow m_row;
};
