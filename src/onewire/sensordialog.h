#pragma once

#include "widgets/rowdialog.h"

#include <array>

class QLineEdit;

// The dialog "Add/modify 1-wire slave": the eight ROM code bytes and the
// data register of one sensor. It takes what is typed as it stands; the
// table's check before a download is what refuses a bad code, and the
// dialog marks each field that check would refuse.
class SensorDialog : public RowDialog
{
    Q_OBJECT

public:
    explicit SensorDialog(QWidget *parent = nullptr);

    // The cells of a sensor row, Byte 0 to Byte 7 and the register.
    void setStart(const QStringList &bytes, const QString &reg);
    QStringList cells() const override;

private:
    // Marks the fields a download would refuse: those typed into, or all
    // of them. Returns the first field marked.
    QLineEdit *markFaults(bool all);

    std::array<QLineEdit *, 8> m_bytes{};
    QLineEdit *m_register = nullptr;
};
