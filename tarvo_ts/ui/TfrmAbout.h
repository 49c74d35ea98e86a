// The about box: a borderless picture with the program's name, version, purpose and the maker's details.
#pragma once

#include <QWidget>

class QLabel;

// "Версия  " + major.minor of the build.
QString AboutVersionLine(int major, int minor);

// The maker's details shown in the box.
namespace maker {
QString AddressText();
QString Email();
} // namespace maker

class TfrmAbout final : public QWidget {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);

    QLabel* lbProgName;
    QLabel* lbVersion;
    QLabel* lbPurpose;
    QLabel* lbAddress;
    QLabel* lbEmail;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void lbEmailClick();
};
