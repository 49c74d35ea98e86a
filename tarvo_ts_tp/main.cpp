#include "TFormMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvo_TS_TP"));
    TFormMain form;
    form.show();
    return QApplication::exec();
}
