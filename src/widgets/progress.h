#pragma once

#include <QDialog>

class QProgressBar;

// The progress window "Download/upload progress" that multi-block transfers
// show beside the main window, without blocking it.
class Progress : public QDialog
{
    Q_OBJECT

public:
    explicit Progress(QWidget *parent = nullptr);

    int percent() const;
    void setPercent(int percent);

private:
    QProgressBar *m_bar = nullptr;
};
