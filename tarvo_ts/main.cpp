#include "MainHost.h"
#include "TfrmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvo_TS"));

    // The main window runs the start-up sequence before it is first shown. TARVO_TS_SETTINGS may name
    // the settings file to use instead of "Tarvo_TS.ini" (the demo keeps its own).
    TfrmMain form;
    form.Host().Startup({QCoreApplication::applicationFilePath(), qEnvironmentVariable("TARVO_TS_SETTINGS")});
    form.show();
    return QApplication::exec();
}
