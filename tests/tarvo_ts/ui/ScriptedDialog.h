// A message dialog that records every message instead of showing it and answers as told.
#pragma once

#include "MessageDlg.h"

#include <QList>
#include <QStringList>

class TScriptedDialog final : public TMessageDialog {
public:
    struct Message {
        QString text;
        int kind;
        int buttons;
    };
    QList<Message> messages;
    QList<int> answers; // taken in turn; mrNone once used up

    int MessageDlg(const QString& text, int kind, int buttons) override {
        messages << Message{text, kind, buttons};
        return answers.isEmpty() ? mrNone : answers.takeFirst();
    }
    int EnterValue(const QString& text, double& value, double initial) override {
        messages << Message{text, -1, mbYes | mbNo};
        value = initial;
        return answers.isEmpty() ? mrNo : answers.takeFirst();
    }
    QStringList texts() const {
        QStringList t;
        for (const Message& m : messages)
            t << m.text;
        return t;
    }
};
