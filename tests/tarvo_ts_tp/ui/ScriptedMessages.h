// A message service that records every box instead of showing it, and answers as told.
#pragma once

#include "MessageService.h"

#include <QList>
#include <QStringList>

class TScriptedMessages final : public TMessageService {
public:
    struct Box {
        QString text;
        QString caption;
        Icon icon;
        int buttons;
    };
    QList<Box> boxes;
    int answer = Ok;

    TScriptedMessages() { previous_ = SetMessageService(this); }
    ~TScriptedMessages() override { SetMessageService(previous_); }

    int MessageBox(const QString& text, const QString& caption, Icon icon, int buttons) override {
        boxes << Box{text, caption, icon, buttons};
        return answer;
    }
    QStringList texts() const {
        QStringList t;
        for (const Box& b : boxes)
            t << b.text;
        return t;
    }
    // Every box so far is an error box of the program (caption, error icon, OK).
    bool allErrorBoxes() const {
        for (const Box& b : boxes)
            if (b.caption != QStringLiteral("Tarvo-ТС-ТП") || b.icon != Icon::Error || b.buttons != Ok)
                return false;
        return true;
    }

private:
    TMessageService* previous_ = nullptr;
};
