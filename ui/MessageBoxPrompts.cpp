#include "ui/MessageBoxPrompts.h"

#include "platform/win32/WideText.h"

namespace ui {

using platform::win32::Widen;

int ShowMessageBox(HWND owner, std::string_view text, std::string_view caption, UINT flags) {
    return MessageBoxW(owner, Widen(text).c_str(), Widen(caption).c_str(), flags);
}

removal::Answer MessageBoxPrompts::Ask(std::string_view text, std::string_view caption,
                                       removal::Buttons buttons) {
    if (buttons == removal::Buttons::kOk) {
        ShowMessageBox(owner_, text, caption, MB_OK);
        return removal::Answer::kOk;
    }
    if (buttons == removal::Buttons::kOkCancel) {
        int answer = ShowMessageBox(owner_, text, caption, MB_OKCANCEL | MB_SETFOREGROUND);
        return answer == IDOK ? removal::Answer::kOk : removal::Answer::kCancel;
    }
    int answer = ShowMessageBox(owner_, text, caption,
                                MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND | MB_TOPMOST);
    return answer == IDYES ? removal::Answer::kYes : removal::Answer::kNo;
}

bool MessageBoxPrompts::Show(const update::Message& message) {
    UINT flags = message.yesNo ? MB_YESNO : MB_OK;
    switch (message.icon) {
        case update::MessageIcon::kStop:
            flags |= MB_ICONSTOP;
            break;
        case update::MessageIcon::kExclamation:
            flags |= MB_ICONEXCLAMATION;
            break;
        case update::MessageIcon::kNone:
            break;
    }
    HWND owner = owner_;
    if (message.standalone) {
        flags |= MB_SETFOREGROUND | MB_TOPMOST;
        owner = nullptr;
    }
    int answer = ShowMessageBox(owner, message.text, message.caption, flags);
    return message.yesNo && answer == IDYES;
}

}  // namespace ui
