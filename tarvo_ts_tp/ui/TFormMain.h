#pragma once

#include <QMainWindow>

// Main window of the newer configurator.
class TFormMain : public QMainWindow {
    Q_OBJECT

public:
    explicit TFormMain(QWidget* parent = nullptr);
};
