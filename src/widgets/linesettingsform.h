#pragma once

#include <QStringList>

#include <array>

class QComboBox;
class QFormLayout;
class QWidget;

// What tells one form's line settings apart: the object names of its four
// lists (speed, parity, data bits, stop bits), their items, and whether they
// start with nothing chosen.
struct LineSettingsDescription
{
    std::array<QString, 4> names;
    std::array<QStringList, 4> items;
    // Nothing is chosen until the form's owner chooses an item; otherwise the
    // first item is.
    bool noneChosen = false;
    // The labels carry Alt letters (S, P, B, T) that move to their lists.
    bool mnemonics = false;
};

// The rows "Speed setting:", "Parity setting", "Bit number:" and "Stop bit",
// each a list with its label, as every form that sets up a serial line shows
// them. The lists belong to `parent`; the rows go at the end of `form`.
class LineSettingsForm
{
public:
    enum Row { Speed = 0, Parity = 1, DataBits = 2, StopBits = 3 };

    LineSettingsForm(const LineSettingsDescription &description, QFormLayout *form,
                     QWidget *parent);

    QComboBox *list(Row row) const { return m_lists.at(row); }
    // A row the user cannot change: the list and its label greyed.
    void makeInactive(Row row);

private:
    QFormLayout *m_form = nullptr;
    std::array<QComboBox *, 4> m_lists{};
};
