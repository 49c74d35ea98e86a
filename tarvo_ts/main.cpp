#include "Help.h"
#include "TfrmMain.h"
#include "TfrmMessage.h"
#include "TfrmViewStatus.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvo_TS"));

    // The main window first, then the small windows every part of the program uses.
    TfrmMain form;
    auto* viewStatus = new TfrmViewStatus(&form);
    auto* message = new TfrmMessage(&form);
    form.SetProgressWindow(viewStatus);
    form.SetMessageWindow(message);
    form.SetMessageDialog(message);
    message->SetBeforeShow([&form] { form.ApplyFormColors(); });
    SetApplicationHelpFile(HelpFileFor(QCoreApplication::applicationFilePath()));

    form.show();
    return QApplication::exec();
}
