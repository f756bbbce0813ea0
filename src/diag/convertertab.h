#pragma once

#include <QWidget>

// The "Converter" tab: decimal numbers to and from the eight hexadecimal
// digits of their IEEE-754 single-precision form.
class ConverterTab : public QWidget
{
    Q_OBJECT

public:
    explicit ConverterTab(QWidget *parent = nullptr);
};
