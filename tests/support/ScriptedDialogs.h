// Dialogs for tests: records every question and message and answers from a
// script; an unscripted question gets the cautious answer (No, Cancel). It
// never blocks, so a test never waits on a modal window.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace vornak::test {

class ScriptedDialogs : public platform::Dialogs {
  public:
    enum class Kind { Message, Dialog, YesNo, Input, Font, SaveFile, Error, Choice };
    struct Call {
        Kind kind;
        std::string text;   // message, question, prompt or filter
        std::string title;  // where the call has one
        platform::DialogKind dialogKind = platform::DialogKind::Information;  // Dialog only
        uint32_t buttons = 0;                                                 // Dialog only
    };

    // ---- Script ----
    std::deque<bool> yesNoAnswers;
    std::deque<platform::DialogButton> buttonAnswers;
    std::deque<std::optional<std::string>> inputAnswers;
    std::deque<std::optional<platform::FontChoice>> fontAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    std::deque<std::optional<size_t>> choiceAnswers;
    // Runs when an input box is asked, before it is answered: what happens
    // while the user is typing.
    std::function<void()> onInput;

    // ---- Record ----
    std::vector<Call> calls;
    std::optional<platform::FontChoice> lastFontPreset;
    std::optional<platform::SaveFileOptions> lastSaveOptions;
    std::vector<std::string> lastChoiceItems;

    size_t count(Kind kind) const {
        size_t n = 0;
        for (const auto& call : calls)
            n += call.kind == kind;
        return n;
    }
    // Texts of the calls of one kind, in order.
    std::vector<std::string> texts(Kind kind) const {
        std::vector<std::string> out;
        for (const auto& call : calls)
            if (call.kind == kind)
                out.push_back(call.text);
        return out;
    }

    void showMessage(const std::string& text) override {
        calls.push_back({Kind::Message, text, {}});
    }
    platform::DialogButton messageDialog(const std::string& text, platform::DialogKind kind,
                                         uint32_t buttons) override {
        calls.push_back({Kind::Dialog, text, {}, kind, buttons});
        if (!buttonAnswers.empty())
            return pop(buttonAnswers);
        for (auto cautious : {platform::kButtonCancel, platform::kButtonNo, platform::kButtonOk})
            if (buttons & cautious)
                return cautious;
        return platform::kButtonOk;
    }
    bool askYesNo(const std::string& text, const std::string& title) override {
        calls.push_back({Kind::YesNo, text, title});
        return !yesNoAnswers.empty() && pop(yesNoAnswers);
    }
    std::optional<std::string> inputBox(const std::string& title, const std::string& prompt,
                                        const std::string&) override {
        calls.push_back({Kind::Input, prompt, title});
        if (onInput)
            onInput();
        return inputAnswers.empty() ? std::nullopt : pop(inputAnswers);
    }
    std::optional<size_t> chooseItem(const std::string& title, const std::string& prompt,
                                     const std::vector<std::string>& items) override {
        calls.push_back({Kind::Choice, prompt, title});
        lastChoiceItems = items;
        return choiceAnswers.empty() ? std::nullopt : pop(choiceAnswers);
    }
    std::optional<platform::FontChoice> chooseFont(const platform::FontChoice& current) override {
        calls.push_back({Kind::Font, current.name, {}});
        lastFontPreset = current;
        return fontAnswers.empty() ? std::nullopt : pop(fontAnswers);
    }
    std::optional<std::string> saveFileName(const platform::SaveFileOptions& options) override {
        calls.push_back({Kind::SaveFile, options.filter, {}});
        lastSaveOptions = options;
        return saveAnswers.empty() ? std::nullopt : pop(saveAnswers);
    }
    void showError(const std::string& text) override { calls.push_back({Kind::Error, text, {}}); }

  private:
    template <class T>
    static T pop(std::deque<T>& queue) {
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

}  // namespace vornak::test
