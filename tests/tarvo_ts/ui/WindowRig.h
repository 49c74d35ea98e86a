// The whole main window of Tarvo_TS over a scripted port, a scripted message dialog and scripted file
// dialogs, as the page tests and the window's own tests drive it: no real port, no real time, no
// settings file unless a test starts the program in a folder of its own (TProgramFolder).
#pragma once

#include "DialogService.h"
#include "MainHost.h"
#include "ScriptedHost.h"
#include "ScriptedPort.h"
#include "TfrmMain.h"
#include "TsReplies.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

// The file and colour dialogs and the error box: errors recorded, dialogs cancelled.
class TRecordedDialogs final : public TDialogService {
public:
    QStringList errors;
    QString GetOpenFileName(QWidget*, const QString&, const QString&) override { return {}; }
    QString GetSaveFileName(QWidget*, const QString&, const QString&) override { return {}; }
    bool ChooseColor(QWidget*, QColor&) override { return false; }
    void ShowError(QWidget*, const QString& text) override { errors << text; }
};

// Runs `act` on the next modal dialog once it shows (its own event loop runs then).
inline void WhenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget(); w && w->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

// A folder to start the program in: the program file's path, its settings file and the shipped
// "Standart.kvs" beside it.
struct TProgramFolder {
    QTemporaryDir dir;

    TProgramFolder() {
        QDir(dir.path()).mkpath(QStringLiteral("ColorSchemas"));
        QFile::copy(QStringLiteral(TARVO_SCHEMES_DIR "/Standart.kvs"), dir.filePath(QStringLiteral("ColorSchemas/Standart.kvs")));
    }
    QString Program() const { return dir.filePath(QStringLiteral("Tarvo_TS")); }
    QString Ini() const { return dir.filePath(QStringLiteral("Tarvo_TS.ini")); }
    void WriteIni(const QByteArray& text) const {
        QFile f(Ini());
        f.open(QIODevice::WriteOnly);
        f.write(text);
    }
    QByteArray ReadIni() const {
        QFile f(Ini());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

struct TWindowRig {
    TScriptedPort* port = nullptr; // owned by the window's link
    TScriptedMessageDialog dialog;
    TRecordedDialogs dialogs;
    std::unique_ptr<TfrmMain> form;

    // `pickedPort`: the port counts as picked from the COM-port dialog's list, so no dialog shows
    // before a connection.
    explicit TWindowRig(bool show = true, bool pickedPort = true) {
        auto p = std::make_unique<TScriptedPort>();
        port = p.get();
        form = std::make_unique<TfrmMain>(std::move(p));
        form->SetMessageDialog(&dialog);
        form->Host().SetDialogService(&dialogs);
        if (pickedPort)
            Link().Driver().SetPortFromList(QStringLiteral("COM3"), 1);
        if (show)
            form->show();
    }

    TMainHost& Host() const { return form->Host(); }
    TTsLink& Link() const { return form->Host().Link(); }
    TTarvo& DeviceData() const { return Link().DeviceData; }
    TProgSettings& Settings() const { return form->Host().Settings(); }
    QString Panel(int i) const { return form->StatusPanel[std::size_t(i)]->text(); }

    // The start-up sequence in `folder`, then the window shown.
    void Start(const TProgramFolder& folder) {
        Host().Startup({folder.Program(), folder.Ini()});
        form->show();
    }

    // Opens the port and identifies a 77 at `address` (as a connection does before the pages read).
    void Connect(int address = 3) {
        port->Reply(IdentReply(address, 77, QByteArray("TARVO-TS-4-20"), QByteArray("Pt100"), 1234, 5, 6, 2021));
        Link().Driver().OpenPort();
        Link().ReadInformation(address);
    }
};
