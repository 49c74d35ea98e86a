#include "ServiceUiHooks.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace servicerecord {

void TDefaultServiceUiHooks::ShowMessage(const QString& text, Kind kind) {
    const QMessageBox::Icon icon = kind == mkError     ? QMessageBox::Critical
                                   : kind == mkWarning ? QMessageBox::Warning
                                                       : QMessageBox::Information;
    QMessageBox box(icon, QApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

QString TDefaultServiceUiHooks::SavePdfFileName(QWidget* parent, const QString& suggested) {
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Сохранить сертификат"), suggested,
                                        QStringLiteral("Документ PDF (*.pdf)"));
}

} // namespace servicerecord
