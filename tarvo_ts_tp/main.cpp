#include "QtMessageService.h"
#include "TFormMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvo_TS_TP"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tarvo-ТС-ТП"));
    // The help file lies beside the program.
    SetApplicationHelpFile(QCoreApplication::applicationDirPath() + QStringLiteral("/Tarvo_TS_TP.chm"));

    TQtMessageService messages;
    SetMessageService(&messages);
    int rc = 0;
    {
        TFormMain form; // creates the about box and the NSX dialog after itself
        messages.SetParentWidget(&form);
        form.show();
        rc = QApplication::exec();
        messages.SetParentWidget(nullptr);
    }
    SetMessageService(nullptr);
    return rc;
}
