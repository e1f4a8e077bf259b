#pragma once
// CChildView: the view filling the hidden frame's client area.
#include <QWidget>

class CChildView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};
