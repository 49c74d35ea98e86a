// The progress window of a connection and of a search: a text, a bar and a Stop button that the search
// loop polls between two addresses. A window of its own, shown beside the running work, never modal.
#pragma once

#include "Connection.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

class TfrmViewStatus final : public QWidget, public TProgressView {
    Q_OBJECT

public:
    explicit TfrmViewStatus(QWidget* parent = nullptr);

    // Set by "Стоп!"; the search clears it before it starts and looks at it between two addresses.
    bool SearchStopRequested() const { return FSearchStopRequested; }
    void SetSearchStopRequested(bool requested) { FSearchStopRequested = requested; }
    // The window's height (its width stays); the text takes what the bar and the button leave.
    void SetWindowHeight(int height) override;

    // As the connection and the search drive it.
    void SetText(const QString& text) override;
    void ShowSearchControls(int first, int last) override;
    void HideSearchControls() override;
    void StepBar() override;
    void Show() override;
    void Close() override;
    bool StopRequested() const override { return FSearchStopRequested; }
    void SetStopRequested(bool requested) override { FSearchStopRequested = requested; }

    QLabel* Label1;
    QProgressBar* KvProgressBar;
    QPushButton* btnStop;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool FSearchStopRequested = false;
};
