#pragma once

#include "link/plcpart.h"

#include <QWidget>

// A tab that holds one part of the configuration. It tells of every edit of
// its part with edited(): a change made (an option or list item chosen, a
// table changed, a box left or confirmed), or a box still being typed in,
// which is not yet a change of its own.
class PartTab : public QWidget
{
    Q_OBJECT

public:
    enum class Edit { Made, Typing };

    PartTab(PlcPart part, QWidget *parent);

    PlcPart part() const { return m_part; }

Q_SIGNALS:
    void edited(PlcPart part, PartTab::Edit edit);

protected:
    // Follows every option, list, box and table the tab holds: called once
    // the tab has built its controls, so none it holds can be missed.
    void followEdits();

private:
    PlcPart m_part;
};
