#include "Certificate.h"

#include "ServiceTexts.h"

#include <QAbstractTextDocumentLayout>
#include <QDateTime>
#include <QFile>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

namespace servicerecord {

namespace {

QString H(const QString& s) {
    return s.toHtmlEscaped();
}

QString Num(double v, int decimals = 2) {
    QLocale ru(QLocale::Russian);
    ru.setNumberOptions(QLocale::OmitGroupSeparator);
    return ru.toString(v, 'f', decimals);
}

QString DateText(const QDate& d) {
    return d.isValid() ? d.toString(QStringLiteral("dd.MM.yyyy")) : QStringLiteral("—");
}

QString Row(const QString& label, const QString& value) {
    return QStringLiteral("<tr><td width=\"38%\"><b>%1</b></td><td>%2</td></tr>").arg(H(label), H(value));
}

QString CheckTable(const QString& title, const std::optional<TCheck>& check) {
    QString html = QStringLiteral("<h3>%1</h3>").arg(H(title));
    if (!check || check->points.isEmpty())
        return html + QStringLiteral("<p>Не проводилась.</p>");
    html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" width=\"100%\">"
                           "<tr><th>№</th><th>Эталон, °С</th><th>Показание, °С</th><th>Разность, °С</th>"
                           "<th>Допуск, °С</th><th>Годен</th></tr>");
    for (int i = 0; i < check->points.size(); ++i) {
        const TCheckPoint& p = check->points[i];
        html += QStringLiteral("<tr><td align=\"center\">%1</td><td align=\"right\">%2</td><td align=\"right\">%3</td>"
                               "<td align=\"right\">%4</td><td align=\"right\">±%5</td><td align=\"center\">%6</td></tr>")
                    .arg(i + 1)
                    .arg(Num(p.reference), Num(p.reading), Num(p.Difference()), Num(p.tolerance),
                         p.Passed() ? QStringLiteral("да") : QStringLiteral("нет"));
    }
    html += QStringLiteral("</table><p>Заключение: <b>%1</b></p>")
                .arg(check->Passed() ? QStringLiteral("годен") : QStringLiteral("не годен"));
    return html;
}

QString StepValue(const TStepEntry& s) {
    if (!s.value)
        return s.note;
    QString v = Num(*s.value, s.unit == QStringLiteral("мА") ? 3 : 0);
    if (!s.unit.isEmpty())
        v += QLatin1Char(' ') + s.unit;
    return s.note.isEmpty() ? v : s.note + QStringLiteral(": ") + v;
}

QPageLayout A4() {
    return QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 15, 15, 15),
                       QPageLayout::Millimeter);
}

// The document laid out on A4 pages of `dpi` dots per inch, as QTextDocument::print lays it out.
void LayOut(QTextDocument& doc, const QString& html, int dpi) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setHtml(html);
    const QRect page = A4().paintRectPixels(dpi);
    doc.documentLayout()->setPaintDevice(nullptr);
    doc.setPageSize(QSizeF(page.size()));
}

} // namespace

QDate CalibrationDay(const TRunReport& report) {
    if (report.run.calibrationDate.isValid())
        return report.run.calibrationDate;
    return QDateTime::fromString(report.run.at, Qt::ISODateWithMs).date();
}

QDate NextDueDate(const QDate& calibrated, int months) {
    return calibrated.isValid() ? calibrated.addMonths(months) : QDate();
}

QString CertificateTitle(const TRunReport& report) {
    return QStringLiteral("Сертификат о калибровке № %1").arg(report.run.id);
}

QString CertificateHtml(const TCertificate& c) {
    const TRunReport& r = c.report;
    const TTransducerId& t = r.run.transducer;
    const QDate day = CalibrationDay(r);
    const bool older = t.generation == gnOlder;

    QString html = QStringLiteral("<html><body>");
    html += QStringLiteral("<h2 align=\"center\">%1</h2>").arg(H(CertificateTitle(r)));
    html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">");
    html += Row(QStringLiteral("Преобразователь"), QStringLiteral("%1 (код типа %2)")
                                                      .arg(t.fixedName.isEmpty() ? QStringLiteral("—") : t.fixedName)
                                                      .arg(t.typeCode));
    html += Row(older ? QStringLiteral("Тип датчика") : QStringLiteral("Датчик"),
                t.sensorName.isEmpty() ? QStringLiteral("—") : t.sensorName);
    html += Row(QStringLiteral("Номер датчика"), QString::number(t.sensorNumber));
    if (t.sensorDate.isValid())
        html += Row(QStringLiteral("Дата датчика"), DateText(t.sensorDate));
    html += Row(QStringLiteral("Подключение"), QStringLiteral("%1, %2 бит/с, адрес %3")
                                                   .arg(r.run.link.port)
                                                   .arg(r.run.link.rate)
                                                   .arg(r.run.link.address));
    html += Row(QStringLiteral("Программа"), r.run.program + QLatin1Char(' ') + r.run.version);
    html += Row(QStringLiteral("Настройка"), QStringLiteral("%1 — %2").arg(AtText(r.run.at), OutcomeText(r.run.outcome)));
    html += Row(QStringLiteral("Дата калибровки"), DateText(day));
    html += Row(QStringLiteral("Следующая проверка"), DateText(NextDueDate(day, c.recheckMonths)));
    html += Row(QStringLiteral("Оператор"), r.run.operatorName);
    html += QStringLiteral("</table>");

    html += QStringLiteral("<h3>Эталонные средства измерений</h3>");
    if (c.instruments.isEmpty()) {
        html += QStringLiteral("<p>Не указаны.</p>");
    } else {
        html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" width=\"100%\"><tr>"
                               "<th>Наименование</th><th>Заводской номер</th><th>Свидетельство</th></tr>");
        for (const TInstrument& i : c.instruments)
            html += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>")
                        .arg(H(i.name), H(i.serial), H(i.certificate));
        html += QStringLiteral("</table>");
    }

    html += CheckTable(QStringLiteral("Проверка до настройки"), r.asFound);

    html += QStringLiteral("<h3>Настройка</h3>");
    if (r.steps.isEmpty()) {
        html += QStringLiteral("<p>Шаги не записаны.</p>");
    } else {
        html += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"4\" width=\"100%\"><tr>"
                               "<th>Шаг</th><th>Значение</th><th>Результат</th></tr>");
        for (const TStepEntry& s : r.steps) {
            QString result = OutcomeText(s.outcome);
            if (!s.failure.isEmpty())
                result += QStringLiteral(": ") + s.failure;
            html += QStringLiteral("<tr><td align=\"center\">%1</td><td>%2</td><td>%3</td></tr>")
                        .arg(s.step)
                        .arg(H(StepValue(s)), H(result));
        }
        html += QStringLiteral("</table>");
    }

    html += CheckTable(QStringLiteral("Проверка после настройки"), r.asLeft);

    html += QStringLiteral("<p><br>Оператор: %1 ____________________ &nbsp; Дата: %2</p>")
                .arg(H(r.run.operatorName), DateText(day));
    html += QStringLiteral("</body></html>");
    return html;
}

bool WriteCertificatePdf(const QString& html, const QString& path, QString* error) {
    {
        // QPdfWriter says nothing when it cannot write: try the file first.
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly)) {
            if (error)
                *error = QStringLiteral("Не удалось записать файл %1: %2").arg(path, probe.errorString());
            return false;
        }
    }
    {
        QPdfWriter writer(path);
        writer.setPageLayout(A4());
        writer.setResolution(300);
        writer.setCreator(QStringLiteral("Tarvo"));
        writer.setTitle(QStringLiteral("Сертификат о калибровке"));
        QTextDocument doc;
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(10);
        doc.setDefaultFont(font);
        doc.setHtml(html);
        doc.print(&writer);
    }
    QFile done(path);
    if (!done.open(QIODevice::ReadOnly) || !done.read(5).startsWith("%PDF")) {
        if (error)
            *error = QStringLiteral("Не удалось записать файл %1").arg(path);
        return false;
    }
    return true;
}

int CertificatePageCount(const QString& html) {
    QTextDocument doc;
    LayOut(doc, html, 96);
    return doc.pageCount();
}

QImage RenderCertificatePage(const QString& html, int page, int dpi) {
    QTextDocument doc;
    LayOut(doc, html, dpi);
    if (page < 0 || page >= doc.pageCount())
        return {};
    const QPageLayout layout = A4();
    const QRect full = layout.fullRectPixels(dpi);
    const QRect paint = layout.paintRectPixels(dpi);
    QImage image(full.size(), QImage::Format_RGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254));
    image.setDotsPerMeterY(int(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter p(&image);
    p.translate(paint.topLeft());
    const QSizeF size = doc.pageSize();
    p.translate(0, -page * size.height());
    doc.drawContents(&p, QRectF(0, page * size.height(), size.width(), size.height()));
    return image;
}

} // namespace servicerecord
