// The about box of Tarvo_TS_TP and the lines it shows.
#pragma once

#include <QDialog>

class QLabel;

// The version line ("Версия " + the major number with two digits) and the build line ("Сборка " +
// major.minor.release.build). Without a version both show their prefix alone.
struct TVersionLines {
    QString version;
    QString build;
};
TVersionLines MakeVersionLines(bool hasVersion, int major, int minor, int release, int build);

// The maker's details shown in the box.
namespace maker {
QString AddressText();
QString Email();
QString Url();
} // namespace maker

class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);

protected:
    // Any key closes the box.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void JvLabelEmailClick();
    void JvLabelURLClick();
};
