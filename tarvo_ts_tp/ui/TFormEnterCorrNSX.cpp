#include "TFormEnterCorrNSX.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFormEnterCorrNSX::TFormEnterCorrNSX(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormEnterCorrNSX"));
    setWindowTitle(QStringLiteral("Подстройка НСХ"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    LabelEnter = new QLabel(QStringLiteral("Введите значение измеренной температуры"), this);
    LabelEnter->setObjectName(QStringLiteral("LabelEnter"));
    JvSpinEditCorrNSXRealTemp = new QDoubleSpinBox(this);
    JvSpinEditCorrNSXRealTemp->setObjectName(QStringLiteral("JvSpinEditCorrNSXRealTemp"));
    JvSpinEditCorrNSXRealTemp->setDecimals(3);
    JvSpinEditCorrNSXRealTemp->setRange(-9999.0, 9999.0);
    auto* unit = new QLabel(QStringLiteral("°С"), this);
    auto* ok = new QPushButton(QStringLiteral("Ок"), this);
    ok->setObjectName(QStringLiteral("ButtonOk"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(JvSpinEditCorrNSXRealTemp, 1);
    row->addWidget(unit);
    auto* col = new QVBoxLayout(this);
    col->addWidget(LabelEnter);
    col->addLayout(row);
    col->addWidget(ok, 0, Qt::AlignRight);
    // A fixed border that still fits the prompt, which is set anew (two lines) before each use.
    LabelEnter->setMinimumWidth(300);
    col->setSizeConstraint(QLayout::SetFixedSize);
}
