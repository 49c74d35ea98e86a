// The indicator style window "Стиль индикаторов": edits the look of the three indicators of the main
// window live, through a preview, and exchanges single styles with style files. Not modal; the main
// window keeps one instance for the whole run and shows it again and again.
#pragma once

#include "IndStyle.h"

#include <QFrame>
#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QMenuBar;
class QPushButton;
class QSpinBox;
class QAction;
class TDialogService;

// A colour swatch; releasing the mouse button over it (or Space/Enter with the focus on it) asks for a
// new colour.
class TColorSwatch final : public QFrame {
    Q_OBJECT

public:
    explicit TColorSwatch(QWidget* parent = nullptr);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& color);

Q_SIGNALS:
    void released();

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QColor FColor;
};

class TfrmIndStyle final : public QWidget {
    Q_OBJECT

public:
    // The three indicators of the main window (targets 1, 2, 3); `dialogs` opens the file and colour
    // dialogs and must outlive the window. With a parent the window stays a window of its own.
    TfrmIndStyle(TLcdIndicator* indT, TLcdIndicator* indR, TLcdIndicator* indCalibrDate, TDialogService* dialogs,
                 QWidget* parent = nullptr);

    int CurrentTarget() const { return FCurrentTarget; }
    int SecondTarget() const { return FSecondTarget; }
    TLcdIndicator* Preview() const { return Ind; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    TLcdIndicator* Target(int number) const { return FStyleTargets[std::size_t(number - 1)]; }
    // The preview, the current target and, while "T и R" is chosen, indR: what a change applies to.
    QList<TLcdIndicator*> Edited() const;
    void PlacePreview();
    void ShowIndStyle();
    void cbIndSelect(int index);
    void cbColorShemeSelect(int index);
    void SwatchReleased(TColorSwatch* swatch);
    void cbIndKindSelect(int index);
    void cbIndStyleSelect(int index);
    void rseIndGrapChange(int value);
    void btnOkClick();
    void btnCancelClick();
    void OpenClick();
    void SaveClick();

    TDialogService* FDialogs;
    std::array<TLcdIndicator*, 3> FStyleTargets;
    int FCurrentTarget = 1;
    int FSecondTarget = 0;
    std::array<TIndStyle, 3> FSavedStyles;
    bool FShowing = false; // controls being set from the preview, not by the user

    QMenuBar* FMenu;
    QAction* actOpen;
    QAction* actSave;
    QWidget* FClient;
    QComboBox* cbInd;
    TLcdIndicator* Ind;
    QComboBox* cbColorSheme;
    TColorSwatch* ShNumForeColor;
    TColorSwatch* shNumBackColor;
    TColorSwatch* shBackColor;
    TColorSwatch* shBevelColor;
    QSpinBox* rseIndGrap;
    QComboBox* cbIndKind;
    QComboBox* cbIndStyle;
    QPushButton* btnOk;
    QPushButton* btnCancel;
};
