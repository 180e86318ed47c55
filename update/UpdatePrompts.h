#pragma once
// The message boxes of the update, reached through an interface so the
// window, the console and the tests can each answer them.
#include <string>

namespace update {

enum class MessageIcon { kNone, kStop, kExclamation };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::kNone;
    // Yes and No buttons rather than OK.
    bool yesNo = false;
    // Brought to the foreground and kept topmost, with no owner window: the
    // box may come up before the main window exists.
    bool standalone = false;
};

class UpdatePrompts {
  public:
    virtual ~UpdatePrompts() = default;
    // Shows `message` and waits; true when a Yes/No box was answered Yes.
    virtual bool Show(const Message& message) = 0;
};

}  // namespace update
