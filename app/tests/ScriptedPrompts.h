#pragma once
// Message boxes answered from a script and recorded, for the shell's tests.
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "removal/Prompts.h"

namespace apptest {

class ScriptedPrompts : public removal::Prompts {
  public:
    struct Shown {
        std::string text;
        std::string caption;
        removal::Buttons buttons;
    };

    // Questions take the next scripted answer; OK boxes are answered kOk. A
    // question without a scripted answer fails the test.
    removal::Answer Ask(std::string_view text, std::string_view caption,
                        removal::Buttons buttons) override {
        shown.push_back({std::string(text), std::string(caption), buttons});
        if (buttons == removal::Buttons::kOk)
            return removal::Answer::kOk;
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text;
            return buttons == removal::Buttons::kYesNo ? removal::Answer::kNo
                                                       : removal::Answer::kCancel;
        }
        removal::Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& s : shown)
            texts.push_back(s.text);
        return texts;
    }

    std::deque<removal::Answer> answers;
    std::vector<Shown> shown;
};

}  // namespace apptest
