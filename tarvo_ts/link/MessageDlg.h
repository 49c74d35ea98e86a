// The program's message dialog as every part of Tarvo_TS calls it: the exchanges, the connection policy,
// the dialogs and the pages. The window installs the dialog-based one (TfrmMessage); tests install a
// scripted one and assert the exact text, kind and buttons.
#pragma once

#include <QString>

// Kind of a message: the icon shown. Any other value shows no icon.
enum TMsgDlgType : int { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3 };
// Buttons offered, as a set.
enum TMsgDlgBtn : int { mbOK = 0x1, mbYes = 0x2, mbNo = 0x4 };
// Result of a message: the button pressed.
enum TModalResult : int { mrNone = 0, mrOk = 1, mrYes = 6, mrNo = 7 };

class TMessageDialog {
public:
    virtual ~TMessageDialog() = default;
    // Shows `text` modally with the icon of `kind` and the buttons of the set `buttons`; returns the
    // result of the button pressed.
    virtual int MessageDlg(const QString& text, int kind, int buttons) = 0;
    // Asks for one number (one decimal, step 0.1) starting at `initial`. `value` takes the entry whatever
    // was pressed; the result is mrYes for "Ok" and mrNo for "Отмена".
    virtual int EnterValue(const QString& text, double& value, double initial) = 0;
};

// Answers every message with the first offered button of OK, Yes, No and every entry with its initial
// value and mrNo; stands in where no dialog is installed.
class TSilentMessageDialog final : public TMessageDialog {
public:
    int MessageDlg(const QString& text, int kind, int buttons) override;
    int EnterValue(const QString& text, double& value, double initial) override;
};
