#include "DialogService.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>

QString TQtDialogService::GetOpenFileName(QWidget* parent, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
}

QString TQtDialogService::GetSaveFileName(QWidget* parent, const QString& folder, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, QString(), folder, filter);
}

bool TQtDialogService::ChooseColor(QWidget* parent, QColor& color) {
    const QColor chosen = QColorDialog::getColor(color, parent);
    if (!chosen.isValid())
        return false;
    color = chosen;
    return true;
}

void TQtDialogService::ShowError(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), text, QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.exec();
}
