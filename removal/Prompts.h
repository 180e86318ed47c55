#pragma once
// The questions and messages of removal, answered by a message box in the
// program and by scripted answers in tests.
#include <string_view>

namespace removal {

// kOkCancel is answered kOk or kCancel.
enum class Buttons { kOk, kYesNo, kOkCancel };
enum class Answer { kOk, kYes, kNo, kCancel };

class Prompts {
  public:
    virtual ~Prompts() = default;
    // Yes/No questions are shown with the question icon, in the foreground
    // and topmost.
    virtual Answer Ask(std::string_view text, std::string_view caption, Buttons buttons) = 0;
};

}  // namespace removal
