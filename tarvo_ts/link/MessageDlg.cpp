#include "MessageDlg.h"

int TSilentMessageDialog::MessageDlg(const QString&, int, int buttons) {
    if (buttons & mbOK) return mrOk;
    if (buttons & mbYes) return mrYes;
    if (buttons & mbNo) return mrNo;
    return mrNone;
}

int TSilentMessageDialog::EnterValue(const QString&, double& value, double initial) {
    value = initial;
    return mrNo;
}
