// What the language tests share: a sink that records what the engine sets,
// and a file system holding a program folder in memory.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "language/LanguageEngine.h"
#include "platform/FileSystem.h"

namespace vornak::test {

// Targets are recorded as "window/control" ("window/control#column" for column
// headings); every call is appended to `calls` in the order it came.
class RecordingSink : public LanguageSink {
  public:
    static std::string key(const Target& t) {
        std::string k = std::string(t.window) + "/" + std::string(t.control);
        if (t.kind == TargetKind::ColumnHeading) {
            k += "#" + std::to_string(t.column);
        }
        return k;
    }

    void setText(const Target& target, const std::string& text) override {
        texts[key(target)] = text;
        calls.push_back(key(target));
    }
    void setScrollingText(const Target& target, const std::vector<std::string>& lines) override {
        scrollingLines = lines;
        calls.push_back(key(target));
    }
    void setStatusText(const std::string& text) override {
        status = text;
        calls.push_back("status");
    }
    void showMessage(const std::string& text) override { shownMessages.push_back(text); }
    void setLocale(const std::string& locale) override { locales.push_back(locale); }
    int visibleRowCount() const override { return rows; }
    void addLanguageMenuItem(const LanguageMenuItem& item) override {
        if (item.label == failOnLabel) {
            throw std::runtime_error("menu item refused");
        }
        menu.push_back(item);
    }

    int rows = 0;
    std::string failOnLabel = "\x01";
    std::map<std::string, std::string> texts;
    std::vector<std::string> scrollingLines;
    std::string status = "(untouched)";
    std::vector<std::string> shownMessages;
    std::vector<std::string> locales;
    std::vector<std::string> calls;
    std::vector<LanguageMenuItem> menu;
};

// Files by their program path; findFiles lists `listing` in the order given.
class MemoryFileSystem : public platform::FileSystem {
  public:
    static constexpr const char* kFolder = "C:\\Program Files\\Vornak\\";

    void put(const std::string& languageName, const std::string& bytes) {
        files[std::string(kFolder) + "lang\\" + languageName + ".lng"] = bytes;
    }

    bool findFiles(const std::string& pattern, uint32_t wanted,
                   const std::function<void(const platform::DirEntry&)>& onEntry) const override {
        patterns.push_back(pattern);
        wantedAttributes = wanted;
        if (!listing) {
            return false;
        }
        for (const std::string& name : *listing) {
            onEntry({name, platform::kAttrArchive});
        }
        return true;
    }
    bool fileExists(const std::string& path) const override { return files.count(path) != 0; }
    bool directoryExists(const std::string&) const override { return false; }
    bool createDirectory(const std::string&) const override { return false; }
    bool removeDirectory(const std::string&) const override { return false; }
    bool deleteFile(const std::string&) const override { return false; }
    std::optional<std::string> readFile(const std::string& path) const override {
        reads.push_back(path);
        const auto it = files.find(path);
        if (it == files.end()) {
            return std::nullopt;
        }
        return it->second;
    }
    bool writeFile(const std::string&, const std::string&, std::string*) const override {
        return false;
    }
    bool canWriteDirectory(const std::string&) const override { return false; }
    std::vector<char> fixedDrives() const override { return {'C'}; }
    std::string programFolder() const override { return kFolder; }
    std::string toHostPath(const std::string& path) const override { return path; }
    std::string fromHostPath(const std::string& path) const override { return path; }

    std::map<std::string, std::string> files;
    std::optional<std::vector<std::string>> listing;
    mutable std::vector<std::string> patterns;
    mutable std::vector<std::string> reads;
    mutable uint32_t wantedAttributes = 0;
};

}  // namespace vornak::test
