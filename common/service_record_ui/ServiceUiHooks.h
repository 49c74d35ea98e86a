// What the service record's windows ask of the program: its own message service and the file dialog.
// Each program passes an adapter to its message service; tests pass a scripted one.
#pragma once

#include <QString>

class QWidget;

namespace servicerecord {

class TServiceUiHooks {
public:
    enum Kind { mkInformation, mkWarning, mkError };
    virtual ~TServiceUiHooks() = default;
    // A modal message with the program's caption, icon and buttons.
    virtual void ShowMessage(const QString& text, Kind kind) = 0;
    // The PDF file to write, `suggested` offered; empty when the user cancels.
    virtual QString SavePdfFileName(QWidget* parent, const QString& suggested) = 0;
};

// Qt's message box (caption: the application's display name) and file dialog.
class TDefaultServiceUiHooks : public TServiceUiHooks {
public:
    void ShowMessage(const QString& text, Kind kind) override;
    QString SavePdfFileName(QWidget* parent, const QString& suggested) override;
};

} // namespace servicerecord
