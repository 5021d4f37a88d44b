#pragma once
// The about dialog of the suite: name, build text, Qt version.

#include <QDialog>

class TInfoFrm : public QDialog {
    Q_OBJECT
public:
    explicit TInfoFrm(QWidget* parent = nullptr);
};
