// Shared pieces of the analyser's tests: a store, a drive C and a program
// folder with its logs folder in a temporary directory; a message catalogue
// with recognisable texts; scripted dialogs that record what was asked.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "support/RegistryFixture.h"

namespace vornak::test {

class ScriptedDialogs : public platform::Dialogs {
public:
    // Answers to askYesNo in order; when they run out, `defaultAnswer`.
    std::deque<bool> answers;
    bool defaultAnswer = true;
    std::vector<std::string> questions;  // the texts asked, in order
    std::vector<std::string> titles;
    std::vector<std::string> shown;      // showMessage texts
    std::vector<std::string> errors;     // showError texts

    void showMessage(const std::string& text) override { shown.push_back(text); }
    platform::DialogButton messageDialog(const std::string& text, platform::DialogKind,
                                         uint32_t) override {
        shown.push_back(text);
        return platform::kButtonOk;
    }
    bool askYesNo(const std::string& text, const std::string& title) override {
        questions.push_back(text);
        titles.push_back(title);
        if (answers.empty()) return defaultAnswer;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    std::optional<platform::FontChoice> chooseFont(const platform::FontChoice&) override {
        return std::nullopt;
    }
    std::optional<std::string> saveFileName(const std::string&) override { return std::nullopt; }
    void showError(const std::string& text) override { errors.push_back(text); }
};

// Fills the catalogue with short English texts that the tests look for.
void useTestMessages();

class AnalysisFixture : public RegistryFixture {
protected:
    void SetUp() override;

    // A file below drive C (path with forward slashes), with its folders.
    void file(const std::string& relative, const std::string& bytes = "x");
    void folder(const std::string& relative);
    std::string hostC(const std::string& relative) const;

    std::string logsHost() const { return programHost + "/logs"; }
    bool logExists(const std::string& name) const;
    std::string readLog(const std::string& name) const;
    void writeLog(const std::string& name, const std::string& bytes) const;
    // The lines of a file in the logs folder, CR LF checked and removed.
    std::vector<std::string> logLines(const std::string& name) const;

    std::string programFolder;  // "C:\Program Files\Vornak\"
};

// Collation order of the tests' environment, for building expected lists.
std::vector<std::string> collated(std::vector<std::string> lines);

}  // namespace vornak::test
