#pragma once

#include "link/plcport.h"

// What every port double shares: it keeps its settings and number and opens
// at once. What the line does is its subclass's.
class FakePort : public PlcPort
{
public:
    explicit FakePort(int number = 0) : m_number(number) {}

    void setSettings(const QString &settings) override { m_settings = settings; }
    QString settings() const override { return m_settings; }
    void setPortNumber(int number) override { m_number = number; }
    int portNumber() const override { return m_number; }
    bool open() override { return m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }

private:
    QString m_settings;
    int m_number;
    bool m_open = false;
};
