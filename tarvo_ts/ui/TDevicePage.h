// A tab sheet of the main window. Each page is a class of its own that owns its widgets and the workflow
// behind them; the window only places the pages and routes to them.
#pragma once

#include <QWidget>

class TDevicePage : public QWidget {
    Q_OBJECT

public:
    // The tab's caption and its hint (empty for none).
    QString Caption() const { return FCaption; }
    QString Hint() const { return FHint; }

protected:
    TDevicePage(const QString& name, const QString& caption, const QString& hint, QWidget* parent);

private:
    QString FCaption;
    QString FHint;
};
