// The About box: the program's name, version and a few lines about it. Non-modal; "Close" unloads it.
#pragma once

#include <QWidget>

namespace brevant::app {

class frmSplash : public QWidget {
    Q_OBJECT

public:
    explicit frmSplash(QWidget* parent = nullptr);

    static QString AboutText();

public slots:
    void cmdClose_Click();
};

}  // namespace brevant::app
