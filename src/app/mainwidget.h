#pragma once

#include <QMainWindow>

// The one main window of the viewer.
class MainWidget : public QMainWindow
{
    Q_OBJECT
public:
    MainWidget();
    ~MainWidget() override;
};
