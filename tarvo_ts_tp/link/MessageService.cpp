#include "MessageService.h"

#include <atomic>

namespace {

class SilentMessageService final : public TMessageService {
public:
    int MessageBox(const QString&, const QString&, Icon, int buttons) override {
        for (int b : {Ok, Yes, Cancel, No})
            if (buttons & b)
                return b;
        return Ok;
    }
};

SilentMessageService silentService;
std::atomic<TMessageService*> currentService{nullptr};

} // namespace

TMessageService& MessageService() {
    TMessageService* s = currentService.load();
    return s ? *s : silentService;
}

TMessageService* SetMessageService(TMessageService* service) {
    return currentService.exchange(service);
}

void ShowErrorBox(const QString& text) {
    MessageService().MessageBox(text, ProgramCaption(), TMessageService::Icon::Error, TMessageService::Ok);
}

bool AskQuestion(const QString& text) {
    return MessageService().MessageBox(text, ProgramCaption(), TMessageService::Icon::Question,
                                       TMessageService::Yes | TMessageService::No) == TMessageService::Yes;
}
