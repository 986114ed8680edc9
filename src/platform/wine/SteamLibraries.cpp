#include "platform/wine/SteamLibraries.h"

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace vornak::platform::posix {
namespace {

// One KeyValues node: a text value, or a block of named nodes in file order.
struct Node {
    std::string name;
    std::string value;
    std::vector<std::unique_ptr<Node>> children;
    bool block = false;
};

class Reader {
  public:
    explicit Reader(const std::string& text) : text_(text) {}

    // The nodes up to the end of the text, or up to the '}' of an open block.
    bool readBlock(Node& into, bool nested) {
        for (;;) {
            const auto token = next();
            if (!token)
                return !nested;  // the text ended
            if (token->kind == Token::Close)
                return nested;
            if (token->kind != Token::Text)
                return false;
            // In its parent before it is read, so what a cut-off block held up
            // to the cut is kept.
            Node& node = *into.children.emplace_back(std::make_unique<Node>());
            node.name = token->text;
            const auto value = next();
            if (!value)
                return false;
            if (value->kind == Token::Open) {
                node.block = true;
                if (!readBlock(node, true))
                    return false;
            } else if (value->kind == Token::Text) {
                node.value = value->text;
            } else {
                return false;
            }
        }
    }

  private:
    struct Token {
        enum Kind { Text, Open, Close } kind;
        std::string text;
    };

    std::optional<Token> next() {
        skipSpaceAndComments();
        if (at_ >= text_.size())
            return std::nullopt;
        const char c = text_[at_];
        if (c == '{' || c == '}') {
            ++at_;
            return Token{c == '{' ? Token::Open : Token::Close, {}};
        }
        std::string word;
        if (c == '"') {
            for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
                char d = text_[at_];
                if (d == '\\' && at_ + 1 < text_.size()) {
                    d = text_[++at_];
                    d = d == 'n' ? '\n' : d == 't' ? '\t' : d;
                }
                word += d;
            }
            if (at_ >= text_.size())
                return std::nullopt;  // unterminated: nothing more is trusted
            ++at_;
        } else {
            while (at_ < text_.size() && !isSpace(text_[at_]) && text_[at_] != '{' &&
                   text_[at_] != '}' && text_[at_] != '"')
                word += text_[at_++];
        }
        return Token{Token::Text, word};
    }

    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    void skipSpaceAndComments() {
        for (;;) {
            while (at_ < text_.size() && isSpace(text_[at_]))
                ++at_;
            if (text_.compare(at_, 2, "//") != 0)
                return;
            while (at_ < text_.size() && text_[at_] != '\n')
                ++at_;
        }
    }

    const std::string& text_;
    size_t at_ = 0;
};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool isNumber(const std::string& text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

}  // namespace

std::vector<std::string> parseSteamLibraryFolders(const std::string& text) {
    Node root;
    root.block = true;
    Reader(text).readBlock(root, false);
    std::vector<std::string> paths;
    for (const auto& top : root.children) {
        if (!top->block || lower(top->name) != "libraryfolders")
            continue;
        for (const auto& entry : top->children) {
            if (!isNumber(entry->name))
                continue;  // "TimeNextStatsReport" and the like
            if (!entry->block) {
                if (!entry->value.empty())
                    paths.push_back(entry->value);
                continue;
            }
            for (const auto& field : entry->children)
                if (!field->block && lower(field->name) == "path" && !field->value.empty())
                    paths.push_back(field->value);
        }
    }
    return paths;
}

std::vector<std::string> steamLibraryFolders(const std::string& steamRoot) {
    const std::string path = steamRoot + "/steamapps/libraryfolders.vdf";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > (1 << 20))
        return {};
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return in ? parseSteamLibraryFolders(text.str()) : std::vector<std::string>{};
}

}  // namespace vornak::platform::posix
