// The whole main window of Tarvo_TS over a scripted port and a scripted message dialog, as the page
// tests and the window's own tests drive it: no real port, no real time, no settings file.
#pragma once

#include "MainHost.h"
#include "ScriptedHost.h"
#include "ScriptedPort.h"
#include "TfrmMain.h"
#include "TsReplies.h"

#include <QLabel>
#include <memory>

struct TWindowRig {
    TScriptedPort* port = nullptr; // owned by the window's link
    TScriptedMessageDialog dialog;
    std::unique_ptr<TfrmMain> form;

    explicit TWindowRig(bool show = true) {
        auto p = std::make_unique<TScriptedPort>();
        port = p.get();
        form = std::make_unique<TfrmMain>(std::move(p));
        form->SetMessageDialog(&dialog);
        // The COM-port dialog would show before the first connection to a port set by name.
        Link().Driver().SetPortFromList(QStringLiteral("COM3"), 1);
        if (show)
            form->show();
    }

    TMainHost& Host() const { return form->Host(); }
    TTsLink& Link() const { return form->Host().Link(); }
    TTarvo& DeviceData() const { return Link().DeviceData; }
    QString Panel(int i) const { return form->StatusPanel[std::size_t(i)]->text(); }

    // Opens the port and identifies a 77 at `address` (as a connection does before the pages read).
    void Connect(int address = 3) {
        port->Reply(IdentReply(address, 77, QByteArray("TARVO-TS-4-20"), QByteArray("Pt100"), 1234, 5, 6, 2021));
        Link().Driver().OpenPort();
        Link().ReadInformation(address);
    }
};
