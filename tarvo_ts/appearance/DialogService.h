// The program's file and colour dialogs as the windows call them. The program installs the Qt one;
// tests pass a scripted one and see what was asked.
#pragma once

#include <QColor>
#include <QString>

class QWidget;

class TDialogService {
public:
    virtual ~TDialogService() = default;
    // The file chosen to open, or the empty text when the dialog was cancelled.
    virtual QString GetOpenFileName(QWidget* parent, const QString& folder, const QString& filter) = 0;
    // The file name chosen to save under, or the empty text when cancelled.
    virtual QString GetSaveFileName(QWidget* parent, const QString& folder, const QString& filter) = 0;
    // Opens the colour dialog with `color`; true and the chosen colour on OK, false when cancelled.
    virtual bool ChooseColor(QWidget* parent, QColor& color) = 0;
    // An error box with the application's title and an OK button.
    virtual void ShowError(QWidget* parent, const QString& text) = 0;
};

class TQtDialogService final : public TDialogService {
public:
    QString GetOpenFileName(QWidget* parent, const QString& folder, const QString& filter) override;
    QString GetSaveFileName(QWidget* parent, const QString& folder, const QString& filter) override;
    bool ChooseColor(QWidget* parent, QColor& color) override;
    void ShowError(QWidget* parent, const QString& text) override;
};
