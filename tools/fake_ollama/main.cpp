// Fake `ollama` for tests. State lives beside the executable:
//   ollama.log       every command line received, one UTF-8 line each (appended)
//   ollama.models    installed models, lines "name|id|size|modified" (a default set when absent)
//   ollama.running   running models, lines "name|id|size|processor|until"
//   ollama.scenario  overrides, tab-separated lines "argsPrefix<TAB>exit<TAB>delayMs<TAB>stdout<TAB>stderr"
//                    with \n \r \t \\ \e escapes; the first line whose prefix starts the arguments wins
// Without an override it answers like the real tool: tables padded with four blanks, errors on
// stderr as "Error: ..." with exit code 1, progress of create/pull on stderr with control sequences.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ToUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(size_t(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), int(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring ToWide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), int(s.size()), w.data(), n);
    return w;
}

std::wstring Dir() {
    wchar_t buf[MAX_PATH * 4];
    DWORD n = GetModuleFileNameW(nullptr, buf, DWORD(std::size(buf)));
    std::wstring p(buf, n);
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

std::vector<std::string> ReadLines(const std::wstring& path, bool* exists = nullptr) {
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (exists) *exists = f != nullptr;
    std::vector<std::string> lines;
    if (!f) return lines;
    std::string all;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) all.append(buf, n);
    fclose(f);
    std::istringstream in(all);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

void WriteText(const std::wstring& path, const std::string& text, const wchar_t* mode) {
    if (FILE* f = _wfopen(path.c_str(), mode)) {
        fwrite(text.data(), 1, text.size(), f);
        fclose(f);
    }
}

void WriteLines(const std::wstring& path, const std::vector<std::string>& lines) {
    std::string all;
    for (auto& l : lines) all += l + "\n";
    WriteText(path, all, L"wb");
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) { out.push_back(cur); cur.clear(); }
        else cur.push_back(c);
    }
    out.push_back(cur);
    return out;
}

std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) { out.push_back(s[i]); continue; }
        char c = s[++i];
        out.push_back(c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c == 'e' ? '\x1b' : c);
    }
    return out;
}

void Out(HANDLE h, const std::string& s) {
    DWORD done = 0;
    size_t at = 0;
    while (at < s.size() && WriteFile(h, s.data() + at, DWORD(s.size() - at), &done, nullptr) && done) at += done;
}
void StdOut(const std::string& s) { Out(GetStdHandle(STD_OUTPUT_HANDLE), s); }
void StdErr(const std::string& s) { Out(GetStdHandle(STD_ERROR_HANDLE), s); }

// Left-aligned cells padded to the column width and followed by four blanks; the last header cell
// is followed by one blank.
std::string Table(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> width(header.size());
    auto cells = [](const std::string& s) { return ToWide(s).size(); };
    for (size_t c = 0; c < header.size(); ++c) {
        width[c] = cells(header[c]);
        for (auto& r : rows) width[c] = std::max(width[c], c < r.size() ? cells(r[c]) : 0);
    }
    std::string out;
    auto line = [&](const std::vector<std::string>& r, bool isHeader) {
        for (size_t c = 0; c < header.size(); ++c) {
            std::string v = c < r.size() ? r[c] : "";
            out += v;
            if (isHeader && c + 1 == header.size()) { out += " "; break; }
            out += std::string(width[c] - cells(v), ' ') + "    ";
        }
        out += "\n";
    };
    line(header, true);
    for (auto& r : rows) line(r, false);
    return out;
}

struct State {
    std::wstring dir = Dir();
    std::vector<std::vector<std::string>> models, running;

    void Load() {
        bool exists = false;
        auto lines = ReadLines(dir + L"ollama.models", &exists);
        if (!exists)
            lines = {"llama3.2:3b|a80c4f17acd5|2.0 GB|2 weeks ago", "qwen2.5:7b|845dbda0ea48|4.7 GB|3 days ago",
                     "deepseek-r1:1.5b|a42b25d8c10a|1.1 GB|5 minutes ago"};
        for (auto& l : lines) models.push_back(Split(l, '|'));
        for (auto& l : ReadLines(dir + L"ollama.running")) running.push_back(Split(l, '|'));
    }
    void Save() {
        auto join = [](const std::vector<std::vector<std::string>>& rows) {
            std::vector<std::string> lines;
            for (auto& r : rows) {
                std::string l;
                for (size_t i = 0; i < r.size(); ++i) l += (i ? "|" : "") + r[i];
                lines.push_back(l);
            }
            return lines;
        };
        WriteLines(dir + L"ollama.models", join(models));
        WriteLines(dir + L"ollama.running", join(running));
    }
    std::vector<std::vector<std::string>>::iterator Find(std::vector<std::vector<std::string>>& rows, const std::string& name) {
        auto full = name.find(':') == std::string::npos ? name + ":latest" : name;
        return std::find_if(rows.begin(), rows.end(), [&](auto& r) { return r[0] == name || r[0] == full; });
    }
};

int NotFound(const std::string& name) {
    StdErr("Error: model '" + name + "' not found\n");
    return 1;
}

void Progress(const std::string& what) {
    StdErr("\x1b[?25l" + what + " \x1b[K\r");
    for (int p : {0, 42, 100}) StdErr("\x1b[?25l\x1b[Gpulling 2bada8a74506: " + std::to_string(p) + "% \x1b[K");
    StdErr("\nverifying sha256 digest \x1b[K\nwriting manifest \x1b[K\nsuccess \x1b[K\x1b[?25h\n");
}

int Run(const std::vector<std::string>& args) {
    State st;
    st.Load();
    const std::string cmd = args.empty() ? "" : args[0];
    auto arg = [&](size_t i) { return i < args.size() ? args[i] : std::string(); };

    if (cmd == "list" || cmd == "ls") {
        StdOut(Table({"NAME", "ID", "SIZE", "MODIFIED"}, st.models));
        return 0;
    }
    if (cmd == "ps") {
        StdOut(Table({"NAME", "ID", "SIZE", "PROCESSOR", "UNTIL"}, st.running));
        return 0;
    }
    if (cmd == "rm") {
        auto it = st.Find(st.models, arg(1));
        if (it == st.models.end()) return NotFound(arg(1));
        st.models.erase(it);
        st.Save();
        StdOut("deleted '" + arg(1) + "'\n");
        return 0;
    }
    if (cmd == "cp") {
        auto it = st.Find(st.models, arg(1));
        if (it == st.models.end()) return NotFound(arg(1));
        auto row = *it;
        row[0] = arg(2).find(':') == std::string::npos ? arg(2) + ":latest" : arg(2);
        st.models.push_back(row);
        st.Save();
        StdOut("copied '" + arg(1) + "' to '" + arg(2) + "'\n");
        return 0;
    }
    if (cmd == "stop") {
        if (st.Find(st.models, arg(1)) == st.models.end()) return NotFound(arg(1));
        auto it = st.Find(st.running, arg(1));
        if (it != st.running.end()) st.running.erase(it);
        st.Save();
        return 0;
    }
    if (cmd == "show") {
        if (st.Find(st.models, arg(1)) == st.models.end()) return NotFound(arg(1));
        StdOut("  Model\n    architecture        llama    \n    parameters          3.2B     \n"
               "    context length      131072   \n    quantization        Q4_K_M   \n\n");
        return 0;
    }
    if (cmd == "run" || cmd == "pull") {
        auto it = st.Find(st.models, arg(1));
        if (it == st.models.end()) {
            Progress("pulling manifest");
            st.models.push_back({arg(1), "0123456789ab", "1.0 GB", "Less than a second ago"});
        }
        if (cmd == "run") {
            auto row = *st.Find(st.models, arg(1));
            if (st.Find(st.running, arg(1)) == st.running.end())
                st.running.push_back({row[0], row[1], row[2], "100% CPU", "4 minutes from now"});
        }
        st.Save();
        return 0;
    }
    if (cmd == "create") {
        std::string file;
        for (size_t i = 2; i + 1 < args.size(); ++i)
            if (args[i] == "-f") file = args[i + 1];
        if (!file.empty() && GetFileAttributesW(ToWide(file).c_str()) == INVALID_FILE_ATTRIBUTES) {
            StdErr("Error: open " + file + ": The system cannot find the file specified.\n");
            return 1;
        }
        StdErr("\x1b[?25lgathering model components \x1b[K\n");
        Progress("copying file sha256:2bada8a74506");
        st.models.push_back({arg(1).find(':') == std::string::npos ? arg(1) + ":latest" : arg(1), "fedcba987654",
                             "1.0 GB", "Less than a second ago"});
        st.Save();
        return 0;
    }
    StdErr("Error: unknown command \"" + cmd + "\" for \"ollama\"\n");
    return 1;
}

}  // namespace

int main() {
    std::wstring dir = Dir();
    const wchar_t* line = GetCommandLineW();
    WriteText(dir + L"ollama.log", ToUtf8(line) + "\n", L"ab");
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(line, &argc);
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) args.push_back(ToUtf8(argv[i]));
    LocalFree(argv);

    std::string joined;
    for (auto& a : args) joined += (joined.empty() ? "" : " ") + a;
    for (auto& l : ReadLines(dir + L"ollama.scenario")) {
        auto f = Split(l, '\t');
        if (f.size() < 5 || joined.rfind(f[0], 0) != 0) continue;
        if (int delay = std::atoi(f[2].c_str()); delay > 0) Sleep(DWORD(delay));
        StdOut(Unescape(f[3]));
        StdErr(Unescape(f[4]));
        return std::atoi(f[1].c_str());
    }
    return Run(args);
}
