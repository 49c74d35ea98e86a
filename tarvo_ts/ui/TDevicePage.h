// A tab sheet of the main window. Each page is a class of its own that owns its widgets and the workflow
// behind them; the window only places the pages and routes to them. A page reaches the link, the
// settings, the status bar and its sibling pages through its TPageContext.
#pragma once

#include <QWidget>

class TPageContext;

class TDevicePage : public QWidget {
    Q_OBJECT

public:
    // The tab's caption and its hint (empty for none).
    QString Caption() const { return FCaption; }
    QString Hint() const { return FHint; }

protected:
    TDevicePage(TPageContext& context, const QString& name, const QString& caption, const QString& hint,
                QWidget* parent);

    TPageContext& Context() const { return FContext; }

private:
    TPageContext& FContext;
    QString FCaption;
    QString FHint;
};
