#pragma once

#include <QButtonGroup>

class QLayout;

// A group of option buttons, one chosen at a time, named <name>_0, <name>_1
// and so on after the group. Choosing one, by a click or by select(),
// reports its index with chosen().
class OptionGroup : public QButtonGroup
{
    Q_OBJECT

public:
    // The buttons go into `layout`, as children of `parent`.
    OptionGroup(const QString &name, const QStringList &captions, QWidget *parent, QLayout *layout);

    // Chooses the button; chosen() is reported even when it was chosen
    // already.
    void select(int index);
    // The chosen index, -1 while none is.
    int selected() const { return checkedId(); }

Q_SIGNALS:
    void chosen(int index);
};
