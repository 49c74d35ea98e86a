// The dock window "Обмен": the live list of frames on the serial line, with pause, clear, filters by
// address and function, copy and save. It listens to the program's tap only while it is shown, so a
// closed view costs the link nothing.
#pragma once

#include "TrafficDecoder.h"

#include <QDockWidget>
#include <QStyledItemDelegate>
#include <functional>
#include <memory>

class QAction;
class QMainWindow;
class QComboBox;
class QLabel;
class QSpinBox;
class QTableView;
class QToolBar;

namespace traffic {
class TTrafficModel;
class TTrafficQueue;
class TTrafficTap;
} // namespace traffic

// Paints failed rows (and warnings) on a tint of the palette's base colour, the verdict of a failed row
// in bold, the bytes in a fixed-pitch font.
// Cells are painted from laid-out texts kept between repaints: the list repaints whole whenever a row
// comes, and laying out every cell's text anew each time costs more than all the rest.
class TTrafficDelegate : public QStyledItemDelegate {
public:
    explicit TTrafficDelegate(QObject* parent = nullptr);
    ~TTrafficDelegate() override;
    // The background of a row of that severity on `palette`; invalid for an ordinary row.
    static QColor SeverityBackground(const QPalette& palette, traffic::TSeverity severity);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    struct Texts;
    std::unique_ptr<Texts> FTexts;
};

class TDockTraffic : public QDockWidget {
    Q_OBJECT

public:
    // Asked for the file the view is saved in, with a suggested name; an empty result cancels.
    using SaveFileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;

    explicit TDockTraffic(QWidget* parent = nullptr);
    ~TDockTraffic() override;

    // The tap the program's link publishes to (it must outlive the dock, or be set back to null first).
    // The dock's observer is on it exactly while the dock is shown; a minimised window keeps it.
    void SetTap(traffic::TTrafficTap* tap);
    bool Listening() const { return FListening; }

    // Replaces the file dialog of "Сохранить..." (tests).
    void SetSaveFileChooser(SaveFileChooser chooser);

    traffic::TTrafficModel* Model() const { return FModel; }
    traffic::TTrafficQueue* Queue() const { return FQueue; }
    QTableView* Table() const { return FTable; }
    // True while the view keeps the newest row in sight.
    bool Following() const { return FFollow; }

    QAction* ActionPause() const { return FActionPause; }
    QAction* ActionClear() const { return FActionClear; }
    QAction* ActionCopy() const { return FActionCopy; }
    QAction* ActionSave() const { return FActionSave; }

    // The selected rows as text, as "Копировать" puts them on the clipboard.
    QString SelectedText() const;
    // Saves the shown rows to a file picked by the chooser; true when a file was written.
    bool SaveView();

protected:
    bool event(QEvent* e) override;

private:
    void Listen(bool on);
    void BuildToolBar();
    void BuildTable();
    void UpdateCounts();
    void AddFunctionItem(std::uint8_t funcCode, traffic::TGeneration generation);
    void CopySelection();

    traffic::TTrafficTap* FTap = nullptr;
    traffic::TTrafficModel* FModel = nullptr;
    traffic::TTrafficQueue* FQueue = nullptr;
    bool FListening = false;
    bool FFollow = true;
    bool FScrollPosted = false;
    SaveFileChooser FChooser;

    QToolBar* FToolBar = nullptr;
    QTableView* FTable = nullptr;
    QSpinBox* FAddress = nullptr;
    QComboBox* FFunction = nullptr;
    QLabel* FCounts = nullptr;
    QLabel* FSaved = nullptr;
    QAction* FActionPause = nullptr;
    QAction* FActionClear = nullptr;
    QAction* FActionCopy = nullptr;
    QAction* FActionSave = nullptr;
};

// The checkable action "Обмен" (objectName ActionTraffic) that shows and hides the dock; it belongs to
// the dock. Put it in a menu of the window.
QAction* CreateActionTraffic(TDockTraffic* dock);

// The dock of a fixed-size main window: a floating window of its own beside it (docking it would take
// the pages' room), closed until the user opens it, listening to `tap`. The window deletes the dock
// before the tap goes.
TDockTraffic* AddFloatingTrafficDock(QMainWindow* window, traffic::TTrafficTap* tap);
