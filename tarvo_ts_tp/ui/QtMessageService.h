// The message service of the running program: every box is a QMessageBox with the program's caption.
#pragma once

#include "MessageService.h"

class QWidget;

class TQtMessageService final : public TMessageService {
public:
    // Boxes are centred on `parent` when it is set (the main window sets itself once it exists).
    void SetParentWidget(QWidget* parent) { parent_ = parent; }
    int MessageBox(const QString& text, const QString& caption, Icon icon, int buttons) override;

private:
    QWidget* parent_ = nullptr;
};
