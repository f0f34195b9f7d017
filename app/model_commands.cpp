#include "app/model_commands.h"

#include <algorithm>
#include <cwchar>

#include "util/text_helpers.h"

bool IsValidModelName(std::wstring_view name) noexcept {
    if (name.empty()) return false;
    return std::all_of(name.begin(), name.end(), [](wchar_t c) {
        return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
               c == L'.' || c == L'_' || c == L':' || c == L'/' || c == L'-' || c == L'@';
    });
}

CWString QuoteCommandArgument(std::wstring_view text) {
    CWString out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : text) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

CWString BuildDownloadCommand(std::wstring_view name) {
    return CWString(L"cmd /c \"ollama run ") + CWString(name) + L"\"";
}

CWString BuildModelCommand(std::wstring_view verb, std::wstring_view name) {
    return CWString(L"ollama ") + CWString(verb) + L" " + CWString(name);
}

CWString BuildCopyCommand(std::wstring_view name, std::wstring_view newName) {
    return CWString(L"ollama cp ") + CWString(name) + L" " + CWString(newName);
}

CWString BuildCreateCommand(std::wstring_view newName, std::wstring_view modelFile) {
    return CWString(L"ollama create ") + CWString(newName) + L" -f " + QuoteCommandArgument(modelFile);
}

std::vector<ModelTableRow> ParseModelTable(std::wstring_view output) {
    std::vector<ModelTableRow> rows;
    CWStringArray lines, cells;
    SplitTextByAnyChar(output, lines, L"\r\n", true, true);
    for (CWString& line : lines) {
        // Older versions separate the columns with tabs.
        if (line.find(L'\t') != CWString::npos) line = ReplaceText(line, L"\t", L"    ");
        SplitTextBySeparator(line, cells, L"    ", true, true);
        if (cells.size() < 4 || cells[0] == L"NAME") continue;
        rows.push_back({cells[0], cells[2]});
    }
    return rows;
}

CWString ModelNameOfItem(std::wstring_view item) {
    int32_t position = 0;
    CWString name = GetTextBetween(item, L"", L" ", position);
    return position == -2 ? CWString(item) : name;
}

namespace {

// Just enough of a terminal to replay what a progress display drew: text overwrites from the
// cursor, CR and "ESC [ n G" move within the line, "ESC [ n A/B" between lines, "ESC [ K" erases.
// Cursor moves can ask for any size, so the blanks and rows they create come out of a budget as
// large as the input: the screen stays within a small multiple of what was printed.
class TextScreen {
public:
    explicit TextScreen(size_t budget) : room_(budget) {}

    void Put(wchar_t c) {
        CWString& line = Line();
        if (column_ > line.size() + room_) column_ = line.size() + room_;
        if (column_ < line.size()) line[column_] = c;
        else {
            room_ -= column_ - line.size();
            line.append(column_ - line.size(), L' ');
            line += c;
        }
        ++column_;
    }
    void CarriageReturn() { column_ = 0; }
    void LineFeed() { ++row_; column_ = 0; Line(); }
    void Column(size_t c) { column_ = c; }
    void Up(size_t n) { row_ = n > row_ ? 0 : row_ - n; }
    void Down(size_t n) {
        // Rows past the last one are paid for like padding blanks.
        size_t last = lines_.empty() ? 0 : lines_.size() - 1;
        size_t limit = last + room_;
        row_ = n > limit - std::min(row_, limit) ? limit : row_ + n;
        if (row_ > last) room_ -= row_ - last;
        Line();
    }
    void EraseToEnd() { if (column_ < Line().size()) Line().resize(column_); }
    CWString Text() {
        CWString out;
        size_t last = lines_.size();
        while (last > 0 && TrimView(lines_[last - 1]).empty()) --last;
        for (size_t i = 0; i < last; ++i) {
            CWString& l = lines_[i];
            while (!l.empty() && l.back() == L' ') l.pop_back();
            out += l;
            if (i + 1 < last) out += L"\r\n";
        }
        return out;
    }

private:
    CWString& Line() {
        if (lines_.size() <= row_) lines_.resize(row_ + 1);
        return lines_[row_];
    }
    std::vector<CWString> lines_;
    size_t row_ = 0;
    size_t column_ = 0;
    size_t room_;
};

bool NeedsScreen(std::wstring_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == 0x1B) return true;
        if (text[i] == L'\r' && (i + 1 == text.size() || text[i + 1] != L'\n')) return true;
    }
    return false;
}

}  // namespace

CWString CleanConsoleOutput(std::wstring_view text) {
    if (!NeedsScreen(text)) return CWString(text);
    // No cursor number beyond the input's length can be filled; stopping there also keeps the
    // parse from wrapping.
    const size_t most = text.size();
    TextScreen screen(most);
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\r') {
            if (i + 1 < text.size() && text[i + 1] == L'\n') continue;
            screen.CarriageReturn();
        } else if (c == L'\n') {
            screen.LineFeed();
        } else if (c == 0x1B && i + 1 < text.size() && text[i + 1] == L'[') {
            // CSI: parameters and intermediates, then one final byte.
            size_t j = i + 2;
            size_t n = 0;
            bool any = false;
            while (j < text.size() && text[j] >= 0x20 && text[j] <= 0x3F) {
                if (text[j] >= L'0' && text[j] <= L'9') {
                    size_t digit = size_t(text[j] - L'0');
                    n = n > (most - digit) / 10 ? most : n * 10 + digit;
                    any = true;
                }
                ++j;
            }
            if (j >= text.size()) break;
            size_t count = any && n > 0 ? n : 1;
            switch (text[j]) {
                case L'G': screen.Column(count - 1); break;
                case L'A': screen.Up(count); break;
                case L'B': screen.Down(count); break;
                case L'K': screen.EraseToEnd(); break;
                default: break;
            }
            i = j;
        } else if (c == 0x1B && i + 1 < text.size() && text[i + 1] == L']') {
            // OSC: up to BEL or ESC backslash.
            size_t j = i + 2;
            while (j < text.size() && text[j] != 0x07 && !(text[j] == 0x1B && j + 1 < text.size() && text[j + 1] == L'\\')) ++j;
            i = (j < text.size() && text[j] == 0x1B) ? j + 1 : j;
        } else if (c == 0x1B) {
            ++i;  // a two-unit escape
        } else if (c == L'\b') {
            screen.Column(0);  // rare; treated as a redraw of the line
        } else if (c >= 0x20 || c == L'\t') {
            screen.Put(c);
        }
    }
    return screen.Text();
}

bool CommandDidNotStart(const CommandResult& r) noexcept {
    return r.exitCode == -1 && r.output.empty() && r.errors.empty();
}

bool CommandFailed(const CommandResult& r) noexcept {
    if (CommandDidNotStart(r)) return true;
    if (r.exitCode == 0) return false;  // real tools report progress on standard error
    return !r.errors.empty() && r.output.empty();
}

CWString FailureText(const CommandResult& r) {
    return CommandDidNotStart(r) ? CWString(kOllamaNotRunText) : CleanConsoleOutput(r.errors);
}

CWString BuildStopAllQuestion(const std::vector<CWString>& entries) {
    rg_WenBenShuZuLei list(entries.begin(), entries.end());
    return L"确定要停止 " + CWString(std::to_wstring(entries.size())) + L" 个已运行模型吗？\r\n\r\n下面是已运行模型列表：\r\n" +
           JoinTextArray(list, L"\r\n");
}

CWString StopProgressCaption(int k, int n) {
    return L"正在停止 (" + CWString(std::to_wstring(k)) + L"/" + CWString(std::to_wstring(n)) + L")";
}
