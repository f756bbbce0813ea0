#pragma once

#include <QDialog>
#include <QStringList>

// The add/modify dialog of a table frame: once accepted, the cells of the
// row it gives, column 1 onwards.
class RowDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;

    virtual QStringList cells() const = 0;
};
