// Kelvra's resources: the dialog templates and strings as the Windows build's generated script
// carries them, the hand-written script's version record and icon, and the icon file.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "resources/AppIcon.h"
#include "resources/KelvraResources.h"
#include "resources/RcScript.h"
#include "resources/ResourceIds.h"

namespace kelvra::platform {
namespace {

const std::filesystem::path kResources = KELVRA_RESOURCES_DIR;

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The .rc text as tokens: quoted strings (unquoted, "" unescaped), words, numbers and
// punctuation; comments and preprocessor lines dropped.
struct Token {
    enum Kind { Word, String, Punct } kind;
    std::string text;
};

std::vector<Token> tokenize(const std::string& source) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    bool lineStart = true;
    while (i < source.size()) {
        char c = source[i];
        if (c == '\n') {
            lineStart = true;
            ++i;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (lineStart && c == '#') {
            i = source.find('\n', i);
        } else if (c == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            i = source.find('\n', i);
        } else if (c == '"') {
            std::string text;
            for (++i; i < source.size(); ++i) {
                if (source[i] == '"' && i + 1 < source.size() && source[i + 1] == '"') {
                    text += '"';
                    ++i;
                } else if (source[i] == '"') {
                    ++i;
                    break;
                } else {
                    text += source[i];
                }
            }
            tokens.push_back({Token::String, text});
            lineStart = false;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-') {
            std::size_t start = i;
            while (i < source.size() && (std::isalnum(static_cast<unsigned char>(source[i])) ||
                                         source[i] == '_' || source[i] == '-')) {
                ++i;
            }
            tokens.push_back({Token::Word, source.substr(start, i - start)});
            lineStart = false;
        } else {
            tokens.push_back({Token::Punct, std::string(1, c)});
            ++i;
            lineStart = false;
        }
        if (i == std::string::npos) {
            break;
        }
    }
    return tokens;
}

// The version macros that the script includes, each as the tokens it stands for.
std::map<std::string, std::vector<Token>> versionMacros() {
    std::map<std::string, std::vector<Token>> macros;
    std::istringstream header(
        readFile(std::filesystem::path(KELVRA_GENERATED_DIR) / "kelvra" / "Version.h"));
    for (std::string line; std::getline(header, line);) {
        std::istringstream words(line);
        std::string directive;
        std::string name;
        if (words >> directive >> name && directive == "#define") {
            std::string value;
            std::getline(words, value);
            macros[name] = tokenize(value);
        }
    }
    return macros;
}

std::vector<Token> expandVersionMacros(const std::vector<Token>& tokens) {
    static const std::map<std::string, std::vector<Token>> macros = versionMacros();
    std::vector<Token> expanded;
    for (const Token& token : tokens) {
        const auto macro = token.kind == Token::Word ? macros.find(token.text) : macros.end();
        if (macro == macros.end()) {
            expanded.push_back(token);
        } else {
            expanded.insert(expanded.end(), macro->second.begin(), macro->second.end());
        }
    }
    return expanded;
}

// The generated script writes styles as numbers; only NOT names the bits CONTROL adds itself.
const std::map<std::string, std::uint32_t> kStyleNames = {
    {"WS_CHILD", 0x40000000},
    {"WS_VISIBLE", 0x10000000},
};

class RcParser {
public:
    explicit RcParser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    bool atEnd() const { return pos_ >= tokens_.size(); }
    const Token& peek(std::size_t ahead = 0) const { return tokens_.at(pos_ + ahead); }
    Token next() { return tokens_.at(pos_++); }
    void skipComma() {
        if (!atEnd() && peek().kind == Token::Punct && peek().text == ",") {
            ++pos_;
        }
    }
    int number() {
        Token token = next();
        skipComma();
        return static_cast<int>(std::stol(token.text, nullptr, 0));
    }
    // names joined by '|', NOT clearing a bit, starting from `base`.
    std::uint32_t styles(std::uint32_t base) {
        std::uint32_t value = base;
        while (true) {
            bool negate = false;
            if (peek().text == "NOT") {
                negate = true;
                next();
            }
            Token name = next();
            auto known = kStyleNames.find(name.text);
            std::uint32_t bits =
                known != kStyleNames.end()
                    ? known->second
                    : static_cast<std::uint32_t>(std::stoul(name.text, nullptr, 0));
            value = negate ? (value & ~bits) : (value | bits);
            if (atEnd() || peek().text != "|") {
                break;
            }
            next();
        }
        skipComma();
        return value;
    }

private:
    std::vector<Token> tokens_;
    std::size_t pos_ = 0;
};

struct RcControl {
    int id;
    std::string text;
    std::string windowClass;
    std::uint32_t style;
    int x, y, cx, cy;
};

struct RcDialog {
    int cx = 0, cy = 0;
    std::uint32_t style = 0, exStyle = 0;
    std::string caption, fontName;
    int fontSize = 0;
    std::vector<RcControl> controls;
};

struct RcFile {
    std::map<int, RcDialog> dialogs;
    std::map<int, std::string> strings;
    std::vector<std::string> iconLines;  // "<id> ICON <file>"
    std::vector<Token> versionTokens;
};

RcFile parseRc(const std::string& source) {
    RcParser p(expandVersionMacros(tokenize(source)));
    RcFile rc;
    while (!p.atEnd()) {
        if (p.peek().text == "STRINGTABLE") {
            p.next();
            EXPECT_EQ(p.next().text, "BEGIN");
            while (p.peek().text != "END") {
                int id = p.number();
                rc.strings[id] = p.next().text;
            }
            p.next();
        } else if (p.peek().kind == Token::Word && p.peek(1).text == "DIALOGEX") {
            int id = std::stoi(p.next().text);
            p.next();
            RcDialog dialog;
            p.number();
            p.number();
            dialog.cx = p.number();
            dialog.cy = p.number();
            while (p.peek().text != "BEGIN") {
                std::string key = p.next().text;
                if (key == "STYLE") {
                    dialog.style = p.styles(0);
                } else if (key == "EXSTYLE") {
                    dialog.exStyle = p.styles(0);
                } else if (key == "CAPTION") {
                    dialog.caption = p.next().text;
                } else if (key == "FONT") {
                    dialog.fontSize = p.number();
                    dialog.fontName = p.next().text;
                } else {
                    ADD_FAILURE() << "unexpected dialog statement " << key;
                }
            }
            p.next();
            while (p.peek().text != "END") {
                EXPECT_EQ(p.next().text, "CONTROL");
                RcControl control{};
                Token text = p.next();
                control.text = text.text;
                p.skipComma();
                control.id = p.number();
                control.windowClass = p.next().text;
                p.skipComma();
                control.style = p.styles(0x40000000 | 0x10000000);  // CONTROL's defaults
                control.x = p.number();
                control.y = p.number();
                control.cx = p.number();
                control.cy = p.number();
                dialog.controls.push_back(control);
            }
            p.next();
            rc.dialogs[id] = dialog;
        } else if (p.peek().kind == Token::Word && p.peek(1).text == "ICON") {
            std::string id = p.next().text;
            p.next();
            rc.iconLines.push_back(id + " ICON " + p.next().text);
        } else if (p.peek().kind == Token::Word && p.peek(1).text == "VERSIONINFO") {
            int depth = 0;
            do {
                Token token = p.next();
                if (token.text == "BEGIN") {
                    ++depth;
                } else if (token.text == "END") {
                    --depth;
                }
                rc.versionTokens.push_back(token);
            } while (depth > 0 || rc.versionTokens.back().text != "END");
        } else {
            p.next();
        }
    }
    return rc;
}

// The hand-written script: icon, manifest and version record.
const RcFile& handWritten() {
    static const RcFile rc = parseRc(readFile(kResources / "kelvra.rc"));
    return rc;
}

// What kelvra-make-rc writes for the Windows build: the dialogs and the string table.
const RcFile& generated() {
    static const RcFile rc = parseRc(resourceScript(kelvraResources()));
    return rc;
}

std::span<const DialogTemplate* const> allDialogTemplates() {
    return kelvraResources().dialogs;
}

const DialogTemplate* kelvraTemplate(int templateId) {
    for (const DialogTemplate* tmpl : allDialogTemplates()) {
        if (tmpl->id == templateId) {
            return tmpl;
        }
    }
    return nullptr;
}

std::string_view kelvraString(int stringId) {
    for (const StringResource& entry : kelvraResources().strings) {
        if (entry.id == stringId) {
            return entry.text;
        }
    }
    return {};
}

std::string className(ControlKind kind) {
    switch (kind) {
        case ControlKind::PushButton:
        case ControlKind::GroupBox:
            return "Button";
        case ControlKind::Static:
            return "Static";
        case ControlKind::Edit:
            return "Edit";
        case ControlKind::ListBox:
            return "ListBox";
    }
    return {};
}

TEST(DialogResources, GeneratedScriptMatchesEveryTemplateControlForControl) {
    const RcFile& rc = generated();
    ASSERT_EQ(rc.dialogs.size(), allDialogTemplates().size());
    for (const DialogTemplate* tmpl : allDialogTemplates()) {
        SCOPED_TRACE(tmpl->id);
        auto found = rc.dialogs.find(tmpl->id);
        ASSERT_NE(found, rc.dialogs.end());
        const RcDialog& dialog = found->second;
        EXPECT_EQ(dialog.caption, tmpl->caption);
        EXPECT_EQ(dialog.cx, tmpl->cx);
        EXPECT_EQ(dialog.cy, tmpl->cy);
        EXPECT_EQ(dialog.style, tmpl->style);
        EXPECT_EQ(dialog.exStyle, tmpl->exStyle);
        EXPECT_EQ(dialog.fontName, tmpl->fontName);
        EXPECT_EQ(dialog.fontSize, tmpl->fontPointSize);
        ASSERT_EQ(dialog.controls.size(), tmpl->controls.size());
        for (std::size_t i = 0; i < dialog.controls.size(); ++i) {
            const RcControl& control = dialog.controls[i];
            const ControlTemplate& expected = tmpl->controls[i];
            SCOPED_TRACE(expected.id);
            EXPECT_EQ(control.id, expected.id);
            EXPECT_EQ(control.text, expected.text);
            EXPECT_EQ(control.windowClass, className(expected.kind));
            EXPECT_EQ(control.style, expected.style) << std::hex << control.style;
            EXPECT_EQ(control.x, expected.x);
            EXPECT_EQ(control.y, expected.y);
            EXPECT_EQ(control.cx, expected.cx);
            EXPECT_EQ(control.cy, expected.cy);
        }
    }
}

TEST(DialogResources, MainWindowHasItsControlsInTabOrderWithTheirRoles) {
    const DialogTemplate* main = kelvraTemplate(IDD_MAIN_DIALOG);
    ASSERT_NE(main, nullptr);
    std::vector<int> ids;
    for (const ControlTemplate& control : main->controls) {
        ids.push_back(control.id);
    }
    EXPECT_EQ(ids, (std::vector<int>{1002, -1, 1003, 1004, -1, 1005, 1006, 1007, 1010, 1011}));
    EXPECT_EQ(main->cx, 329);
    EXPECT_EQ(main->cy, 185);
    EXPECT_EQ(main->style & style::kWsMinimizeBox, style::kWsMinimizeBox);

    const ControlTemplate* list = main->control(IDC_RECORD_LIST);
    EXPECT_EQ(list->style & (style::kLbsMultipleSel | style::kLbsUseTabStops | style::kLbsNotify),
              style::kLbsMultipleSel | style::kLbsUseTabStops | style::kLbsNotify);
    EXPECT_NE(main->control(IDC_SERIAL_A)->style & style::kSsNotify, 0u);
    EXPECT_NE(main->control(IDC_SERIAL_B)->style & style::kSsNotify, 0u);
    EXPECT_EQ(main->control(IDC_FIRMWARE_A)->style & style::kSsNotify, 0u);
    const ControlTemplate* progress = main->control(IDC_PROGRESS);
    EXPECT_EQ(progress->style & style::kWsVisible, 0u);
    EXPECT_EQ(progress->style & style::kSsTypeMask, style::kSsWhiteRect);
    // Cyrillic А in block A's frame, Latin B in block B's.
    EXPECT_EQ(main->controls[1].text, "\xD0\x91\xD0\xBB\xD0\xBE\xD0\xBA \xD0\x90");
    EXPECT_EQ(main->controls[4].text, "\xD0\x91\xD0\xBB\xD0\xBE\xD0\xBA B");
}

TEST(DialogResources, FactorySetupHasNoOkOrCancelButtonAndASortedSessionList) {
    const DialogTemplate* setup = kelvraTemplate(IDD_PARAMSET);
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(setup->caption, "Factory Setup");
    EXPECT_EQ(setup->control(1), nullptr);
    EXPECT_EQ(setup->control(2), nullptr);
    EXPECT_EQ(setup->controls.front().id, IDC_FACTORY_YEAR);
    EXPECT_NE(setup->control(IDC_FACTORY_YEAR)->style & style::kEsAutoHScroll, 0u);
    EXPECT_NE(setup->control(IDC_SESSION_LIST)->style & style::kLbsSort, 0u);
    const DialogTemplate* about = kelvraTemplate(IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    for (const ControlTemplate& control : about->controls) {
        EXPECT_NE(control.kind, ControlKind::PushButton);
    }
}

TEST(DialogResources, StringTableHoldsTheAboutItem) {
    EXPECT_EQ(generated().strings,
              (std::map<int, std::string>{{IDS_ABOUTBOX, std::string(kelvraString(101))}}));
    EXPECT_EQ(kelvraString(IDS_ABOUTBOX),
              "&\xD0\x9E \xD0\xBF\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD0\xB5");
}

TEST(DialogResources, VersionRecordNamesOrvexVersion1007AndRussianCodePage1251) {
    std::vector<std::string> words;
    for (const Token& token : handWritten().versionTokens) {
        if (token.text != ",") {
            words.push_back(token.text);
        }
    }
    auto after = [&](const std::string& key, std::size_t count) {
        auto it = std::find(words.begin(), words.end(), key);
        EXPECT_NE(it, words.end()) << key;
        if (it == words.end() || it + static_cast<long>(count) >= words.end()) {
            return std::vector<std::string>();
        }
        return std::vector<std::string>(it + 1, it + 1 + static_cast<long>(count));
    };
    EXPECT_EQ(after("FILEVERSION", 4), (std::vector<std::string>{"1", "0", "0", "7"}));
    EXPECT_EQ(after("PRODUCTVERSION", 4), (std::vector<std::string>{"1", "0", "0", "7"}));
    EXPECT_EQ(after("CompanyName", 1), std::vector<std::string>{"Orvex"});
    EXPECT_EQ(after("OriginalFilename", 1), std::vector<std::string>{"Kelvra.exe"});
    EXPECT_EQ(after("FileVersion", 1), std::vector<std::string>{"1.0.0.7"});
    EXPECT_EQ(after("ProductVersion", 1), std::vector<std::string>{"1.0.0.7"});
    EXPECT_EQ(after("LegalCopyright", 1),
              std::vector<std::string>{"Copyright (C) 2018-2026 Orvex"});
    EXPECT_EQ(after("Translation", 2), (std::vector<std::string>{"0x0419", "1251"}));
    EXPECT_EQ(after("StringFileInfo", 3)[2], "041904E3");
}

std::uint32_t le(const std::string& bytes, std::size_t at, int size) {
    std::uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
        value |= static_cast<std::uint32_t>(
                     static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]))
                 << (8 * i);
    }
    return value;
}

TEST(DialogResources, IconFileIsTheDrawingAt32And16PixelsWith24BitsPerPixel) {
    EXPECT_EQ(handWritten().iconLines, std::vector<std::string>{"128 ICON kelvra.ico"});
    std::string file = readFile(kResources / "kelvra.ico");
    std::vector<std::uint8_t> drawn = appIconFile();
    ASSERT_EQ(file, std::string(drawn.begin(), drawn.end()))
        << "resources/kelvra.ico is stale: run kelvra-make-icon resources/kelvra.ico";

    ASSERT_EQ(le(file, 4, 2), 2u);
    for (std::size_t entry = 0; entry < 2; ++entry) {
        std::size_t at = 6 + 16 * entry;
        std::uint32_t size = entry == 0 ? 32 : 16;
        EXPECT_EQ(le(file, at, 1), size);
        EXPECT_EQ(le(file, at + 6, 2), 24u);
        std::uint32_t offset = le(file, at + 12, 4);
        EXPECT_EQ(le(file, offset + 4, 4), size);
        EXPECT_EQ(le(file, offset + 8, 4), size * 2);
        EXPECT_EQ(le(file, offset + 14, 2), 24u);
        // The bottom-up bitmap's first row is the picture's last one.
        std::vector<std::uint32_t> pixels = appIconPixels(static_cast<int>(size));
        std::uint32_t bottomLeft = pixels[(size - 1) * size];
        EXPECT_EQ(le(file, offset + 40, 3), bottomLeft);
    }
}

}  // namespace
}  // namespace kelvra::platform
