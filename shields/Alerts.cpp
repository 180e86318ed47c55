#include "shields/Alerts.h"

namespace shields {

namespace {

constexpr const char* kIeQuestion =
    "An Attempt was made to change your IE Settings from (%s) to (%s), Do you want to "
    "Authorize this change?";
constexpr const char* kIeRecord =
    "An Attempt was made to change your IE Settings from (%s) to (%s), ";

constexpr AlertTexts kTexts[] = {
    {"Favorite Added",
     "(%s) has been added to your favorites list.  Do you authorize this addition?",
     "(%s) had been added to your favorites list. ", false},
    {"Home Page Changed",
     "An Attempt was made to change your home page from (%s) to (%s), Do you Authorize this "
     "change?",
     "An Attempt was made to change your home page from (%s) to (%s), ", false},
    {"IE Settings Changed", kIeQuestion, kIeRecord, false},
    {"IE Settings Changed", kIeQuestion, kIeRecord, false},
    {"IE Settings Changed", kIeQuestion, kIeRecord, false},
    {"Hosts File Changed",
     "An Attempt was made to add (%s) in Hosts File, Do you want to Authorize this addition?",
     "An Attempt was made to add (%s) in Hosts File, ", false},
    {"Executable Trying to Run", "%s", "(%s)", true},
    {"New Cookie Added",
     "An Attempt was made to add (%s) Cookie, Do you want to Authorize this addition?",
     "An Attempt was made to add (%s) Cookie, ", true},
    {"New Startup Program Added",
     "An Attempt was made to Add (%s) to startup programs, Do you Authorize this change?",
     "An Attempt was made to Add (%s) to startup Programs, ", false},
};

bool TakesBaseline(AlertKind kind) {
    return kind >= AlertKind::HomePageChanged && kind <= AlertKind::SearchBarChanged;
}

}  // namespace

const AlertTexts& TextsOf(AlertKind kind) {
    return kTexts[static_cast<int>(kind)];
}

std::string FillIn(std::string_view format, std::string_view first, std::string_view second) {
    std::string out;
    int used = 0;
    std::size_t from = 0;
    for (std::size_t at = format.find("%s"); at != std::string_view::npos;
         at = format.find("%s", from)) {
        out.append(format.substr(from, at - from));
        out.append(used == 0 ? first : used == 1 ? second : std::string_view{});
        ++used;
        from = at + 2;
    }
    out.append(format.substr(from));
    return out;
}

bool ShieldAlerts::AuthorizeChange(std::string subject, AlertKind kind, int* dontAskAgain,
                                   std::string_view baseline) {
    if (switches_.hideNotifications)
        return true;
    if (subject.empty())
        return false;
    const AlertTexts& texts = TextsOf(kind);
    PopupRequest request;
    request.title = texts.title;
    request.showCheckBox = texts.checkBox;
    if (TakesBaseline(kind)) {
        request.message = FillIn(texts.question, baseline, subject);
        last_.text = FillIn(texts.record, baseline, subject);
    } else {
        request.message = FillIn(texts.question, subject);
        last_.text = FillIn(texts.record, subject);
    }
    last_.title = request.title;
    ++shown_;
    const PopupAnswer answer = popup_.Ask(request);
    last_.text += answer.yes ? kAuthorized : kNotAuthorized;
    if (texts.checkBox && answer.checked && dontAskAgain != nullptr)
        *dontAskAgain = 1;
    return !answer.yes;
}

void ShieldAlerts::RepeatLastNotification() {
    if (last_.text.empty())
        return;
    PopupRequest request;
    request.title = last_.title;
    request.message = last_.text;
    request.notifyOnly = true;
    popup_.Notify(request);
}

}  // namespace shields
