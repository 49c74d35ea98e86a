#include "TfrmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvo_TS"));
    TfrmMain form;
    form.show();
    return QApplication::exec();
}
