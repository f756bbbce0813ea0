#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class TabContext;

// The "Converter" tab: decimal numbers to and from the eight hexadecimal
// digits of their IEEE-754 single-precision form, with the word orders a
// Modbus device may use under each result.
class ConverterTab : public QWidget
{
    Q_OBJECT

public:
    explicit ConverterTab(TabContext &context, QWidget *parent = nullptr);

    // "To IEEE" and "To float"; a refused input leaves the output as it was.
    void toIeee();
    void toFloat();

private:
    TabContext &m_context;
    QLineEdit *m_number = nullptr; // Text13
    QLineEdit *m_ieee = nullptr;   // Text12
    QLabel *m_ieeeOrders = nullptr;
    QLineEdit *m_hex = nullptr;   // Text15
    QLineEdit *m_float = nullptr; // Text14
    QLabel *m_floatOrders = nullptr;
};
