#pragma once

#include <QMainWindow>

// Main window of the older configurator.
class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(QWidget* parent = nullptr);
};
