// The certificate of one calibration run: an HTML document for the preview, written to PDF by Qt's own
// document and PDF writer. Needs Qt Gui (no widgets).
#pragma once

#include "ServiceQuery.h"

#include <QDate>
#include <QImage>
#include <QString>

namespace servicerecord {

struct TCertificate {
    TRunReport report;
    QList<TInstrument> instruments; // the reference instruments it names
    int recheckMonths = kDefaultRecheckMonths;
};

// The date of the calibration: the one written into the transducer, else the day the run began.
QDate CalibrationDay(const TRunReport& report);
// The next check is due `months` after the calibration.
QDate NextDueDate(const QDate& calibrated, int months);

QString CertificateTitle(const TRunReport& report); // "Сертификат о калибровке № 17"
QString CertificateHtml(const TCertificate& certificate);

// Writes the document as an A4 PDF; false with a text when the file cannot be written.
bool WriteCertificatePdf(const QString& html, const QString& path, QString* error = nullptr);
// Page `page` (from 0) as it prints, at `dpi`, for looking at; a null image past the last page.
QImage RenderCertificatePage(const QString& html, int page, int dpi = 96);
int CertificatePageCount(const QString& html);

} // namespace servicerecord
