// The certificate of one calibration run: the reference instruments (remembered for the next one), the
// document as it will print, and "Сохранить PDF…".
#pragma once

#include "Certificate.h"
#include "ServiceUiHooks.h"

#include <QDialog>

class QTableWidget;
class QTextBrowser;

namespace servicerecord {

class TServiceRecord;

class CertificatePreview : public QDialog {
    Q_OBJECT
public:
    // `remembered`: the instruments offered when the run has none of its own yet.
    CertificatePreview(const TRunReport& report, const QList<TInstrument>& remembered, int recheckMonths,
                       TServiceRecord& record, TServiceUiHooks& hooks, QWidget* parent = nullptr);

    QList<TInstrument> Instruments() const; // the rows that name an instrument
    QString Html() const { return html_; }
    // Writes the PDF to the file the user chooses; the instruments are remembered and kept with the run.
    bool SavePdf();

private:
    void Refresh();

    TCertificate certificate_;
    TServiceRecord& record_;
    TServiceUiHooks& hooks_;
    QTableWidget* instruments_ = nullptr;
    QTextBrowser* text_ = nullptr;
    QString html_;
};

} // namespace servicerecord
