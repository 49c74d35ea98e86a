// Every message box and question of Tarvo_TS_TP goes through one service: the window installs the
// widget-based one, tests install a scripted one and assert the exact text, caption, icon and buttons.
#pragma once

#include <QString>

class TMessageService {
public:
    enum class Icon { None, Information, Warning, Error, Question };
    enum Button { Ok = 0x1, Cancel = 0x2, Yes = 0x4, No = 0x8 };

    virtual ~TMessageService() = default;
    // Shows a modal box; returns the button pressed (one of Button).
    virtual int MessageBox(const QString& text, const QString& caption, Icon icon, int buttons) = 0;
};

// The service in use; never null (a silent one that answers the first offered button of
// Ok, Yes, Cancel, No stands in until a program or test installs its own).
TMessageService& MessageService();
// Installs `service` (not owned); nullptr restores the silent stand-in. Returns the previous one.
TMessageService* SetMessageService(TMessageService* service);

// The program's caption on every box.
inline QString ProgramCaption() {
    return QStringLiteral("Tarvo-ТС-ТП");
}

// An error box (error icon, OK) and a question box (question icon, Yes/No) with the program's caption.
void ShowErrorBox(const QString& text);
bool AskQuestion(const QString& text);
