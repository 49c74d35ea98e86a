#include "TInformationPage.h"

#include "PageContext.h"
#include "PageSupport.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

const QString BadSensorNumber = QStringLiteral("Недопустимое значение номера датчика");
const QString BadSensorDate = QStringLiteral("Неправильно указана дата.");
const QString NotConnected = QStringLiteral("Соединение не установлено.");

} // namespace

TInformationPage::TInformationPage(TPageContext& context, QWidget* parent)
    : TDevicePage(context, QStringLiteral("tsInformation"), QStringLiteral("Информация"), QString(), parent),
      FDateForm(TDateForm::ForLocale(QLocale())) {
    CreateWidgets();
}

void TInformationPage::CreateWidgets() {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(24, 16, 24, 12);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);

    int row = 0;
    auto addRow = [&](const char* labelName, const QString& caption, QWidget* field, QWidget* extra = nullptr) {
        auto* label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        label->setBuddy(field);
        grid->addWidget(label, row, 0);
        if (extra) {
            auto* box = new QHBoxLayout;
            box->addWidget(field);
            box->addWidget(extra);
            box->addStretch(1);
            grid->addLayout(box, row, 1);
        } else {
            grid->addWidget(field, row, 1);
        }
        ++row;
    };
    auto readOnly = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        // Grey like the window: the transducer's own values, not to be typed over.
        edit->setStyleSheet(QStringLiteral("QLineEdit { background: palette(window); }"));
        return edit;
    };
    auto entry = [this](const char* name) {
        auto* edit = new TExitLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };

    edSlaveID = readOnly("edSlaveID");
    edSlaveID->setFixedWidth(60);
    edPLType = readOnly("edPLType");
    edSensorType = entry("edSensorType");
    edSensorNum = entry("edSensorNum");
    edSensorNum->setFixedWidth(120);
    meSensorDate = entry("meSensorDate");
    meSensorDate->setInputMask(FDateForm.InputMask());
    meSensorDate->setText(FDateForm.EmptyText());
    meSensorDate->setFixedWidth(meSensorDate->fontMetrics().horizontalAdvance(QStringLiteral("00.00.00000")) + 16);
    btnNow = new QPushButton(QStringLiteral("Сегодня"), this);
    btnNow->setObjectName(QStringLiteral("btnNow"));
    // A click leaves the focus in the date: a half-typed date about to be replaced is not judged.
    btnNow->setFocusPolicy(Qt::TabFocus);

    addRow("lbSlaveID", QStringLiteral("Адрес:"), edSlaveID);
    addRow("lbPLType", QStringLiteral("Тип преобразователя:"), edPLType);
    addRow("lbSensorType", QStringLiteral("Тип датчика:"), edSensorType);
    addRow("lbSensorNum", QStringLiteral("Номер датчика:"), edSensorNum);
    addRow("lbSensorDate", QStringLiteral("Дата:"), meSensorDate, btnNow);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(row++, 1);

    btnInfRead = new QPushButton(QStringLiteral("Прочитать"), this);
    btnInfRead->setObjectName(QStringLiteral("btnInfRead"));
    btnInfWrite = new QPushButton(QStringLiteral("Записать"), this);
    btnInfWrite->setObjectName(QStringLiteral("btnInfWrite"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnInfRead);
    buttons->addWidget(btnInfWrite);
    grid->addLayout(buttons, row, 0, 1, 2);

    connect(edSensorType, &TExitLineEdit::Exited, this, &TInformationPage::edSensorTypeExit);
    connect(edSensorNum, &QLineEdit::textEdited, this, &TInformationPage::edSensorNumChange);
    connect(edSensorNum, &TExitLineEdit::Exited, this, &TInformationPage::edSensorNumExit);
    connect(meSensorDate, &QLineEdit::textEdited, this, &TInformationPage::meSensorDateChange);
    connect(meSensorDate, &TExitLineEdit::Exited, this, &TInformationPage::meSensorDateExit);
    connect(btnNow, &QPushButton::clicked, this, &TInformationPage::btnNowClick);
    connect(btnInfRead, &QPushButton::clicked, this, &TInformationPage::btnInfReadClick);
    connect(btnInfWrite, &QPushButton::clicked, this, &TInformationPage::btnInfWriteClick);
}

void TInformationPage::ShowInformation() {
    const TTarvo& d = Context().DeviceData();
    ShowSlaveID();
    Context().Settings().DefaultSlaveID = static_cast<quint8>(d.SlaveID & 0xFF);
    edPLType->setText(d.PLType);
    edSensorType->setText(d.SensorType);
    edSensorNum->setText(QString::number(d.SensorNum));
    // No date: the field keeps what it shows.
    if (d.SensorDate.isValid())
        meSensorDate->setText(FDateForm.Text(d.SensorDate));
}

void TInformationPage::ShowSlaveID() {
    edSlaveID->setText(QString::number(Context().DeviceData().SlaveID));
}

void TInformationPage::ClearFields() {
    edSlaveID->clear();
    edPLType->clear();
    edSensorType->clear();
    edSensorNum->clear();
    meSensorDate->setText(FDateForm.EmptyText());
}

TExchangeResult TInformationPage::WriteInformation() {
    TDiagnosticsPause pause(Context());
    const TExchangeResult r = Context().Link().WriteInformation();
    // Nothing sent (no date, a text the transducer cannot hold) or refused: the edits are still unwritten.
    // A lost link has cleared the marks already.
    if (r.answered())
        Context().SetInfoModified(false);
    return r;
}

void TInformationPage::edSensorTypeExit() {
    if (Context().IsPortOpen())
        Context().DeviceData().SensorType = edSensorType->text();
}

void TInformationPage::edSensorNumChange() {
    Context().SetInfoModified(true);
}

void TInformationPage::edSensorNumExit() {
    // A field that shows the number DeviceData holds takes nothing: a number of 2147483648 or more read
    // from the transducer shows as negative and would be refused otherwise.
    if (!Context().IsPortOpen() || edSensorNum->text() == QString::number(Context().DeviceData().SensorNum))
        return;
    const std::optional<std::int32_t> number = ParseSensorNumber(edSensorNum->text());
    if (!number) {
        Context().MessageDlg(BadSensorNumber, mtError, mbOK);
        return;
    }
    Context().DeviceData().SensorNum = *number;
}

void TInformationPage::meSensorDateChange() {
    Context().SetInfoModified(true);
}

void TInformationPage::meSensorDateExit() {
    if (!Context().IsPortOpen())
        return;
    const std::optional<QDate> date = FDateForm.Parse(meSensorDate->displayText());
    if (!date) {
        Context().MessageDlg(BadSensorDate, mtError, mbOK);
        Context().DeviceData().SensorDate = QDate();
        return;
    }
    Context().DeviceData().SensorDate = *date;
}

void TInformationPage::btnNowClick() {
    const QDate today = QDate::currentDate();
    meSensorDate->setText(FDateForm.Text(today));
    Context().DeviceData().SensorDate = today;
    Context().SetInfoModified(true);
}

void TInformationPage::btnInfReadClick() {
    // A press while an exchange waits for its reply is not a second command.
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    if (!Context().IsPortOpen()) {
        // A connection made there reads everything.
        Context().EnsureConnected();
        return;
    }
    Context().ProcessMessages();
    if (Context().Link().ReadInformation(Context().DeviceData().SlaveID).answered())
        Context().SetInfoModified(false);
}

void TInformationPage::btnInfWriteClick() {
    if (!Context().Link().CanStartExchange())
        return;
    TTsLink::TOperation operation(Context().Link());
    if (!Context().IsPortOpen()) {
        Context().MessageDlg(NotConnected, mtInformation, mbOK);
        return;
    }
    WriteInformation();
}
