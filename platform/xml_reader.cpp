#include "platform/xml_reader.h"

#include <cstdint>

const std::string* XmlElement::Find(std::string_view attribute) const noexcept {
    for (const auto& a : attributes)
        if (a.first == attribute) return &a.second;
    return nullptr;
}

std::string_view XmlElement::LocalName() const noexcept {
    std::string_view n = name;
    size_t colon = n.find(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

namespace {

bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) noexcept {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == ':' || c == '-' || c == '.';
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Resolves the predefined entities and character references; an unknown entity stays as written.
std::string DecodeEntities(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '&') { out += v[i]; continue; }
        size_t semi = v.find(';', i);
        if (semi == std::string_view::npos || semi - i > 12) { out += v[i]; continue; }
        std::string_view ent = v.substr(i + 1, semi - i - 1);
        if (ent == "amp") out += '&';
        else if (ent == "lt") out += '<';
        else if (ent == "gt") out += '>';
        else if (ent == "quot") out += '"';
        else if (ent == "apos") out += '\'';
        else if (ent.size() > 1 && ent[0] == '#') {
            bool hex = ent[1] == 'x' || ent[1] == 'X';
            uint32_t cp = 0;
            bool ok = ent.size() > (hex ? 2u : 1u);
            for (size_t k = hex ? 2 : 1; k < ent.size() && ok; ++k) {
                char c = ent[k];
                int d = (c >= '0' && c <= '9') ? c - '0'
                        : hex && (c >= 'a' && c <= 'f') ? c - 'a' + 10
                        : hex && (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                         : -1;
                if (d < 0) ok = false;
                else cp = cp * (hex ? 16 : 10) + uint32_t(d);
                if (cp > 0x10FFFF) ok = false;
            }
            if (!ok) { out += v[i]; continue; }
            AppendUtf8(out, cp);
        } else {
            out += v[i];
            continue;
        }
        i = semi;
    }
    return out;
}

class Reader {
public:
    Reader(std::string_view s, int maxDepth) : s_(s), maxDepth_(maxDepth) {}

    std::unique_ptr<XmlElement> Run() {
        if (s_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
        std::unique_ptr<XmlElement> root;
        std::vector<XmlElement*> open;
        while (pos_ < s_.size()) {
            if (s_[pos_] != '<') {
                // Character data: only blanks may stand outside the root element.
                size_t lt = s_.find('<', pos_);
                if (lt == std::string_view::npos) lt = s_.size();
                if (open.empty())
                    for (size_t k = pos_; k < lt; ++k)
                        if (!IsSpace(s_[k])) return nullptr;
                pos_ = lt;
                continue;
            }
            if (Starts("<!--")) {
                if (!SkipPast("-->")) return nullptr;
            } else if (Starts("<![CDATA[")) {
                if (open.empty() || !SkipPast("]]>")) return nullptr;
            } else if (Starts("<?")) {
                if (!SkipPast("?>")) return nullptr;
            } else if (Starts("<!")) {
                if (!open.empty() || !SkipDeclaration()) return nullptr;
            } else if (Starts("</")) {
                pos_ += 2;
                std::string_view name = Name();
                SkipSpaces();
                if (open.empty() || name != open.back()->name || !Eat('>')) return nullptr;
                open.pop_back();
                if (open.empty()) return Trailer() ? std::move(root) : nullptr;
            } else {
                if (root && open.empty()) return nullptr;  // a second root
                ++pos_;
                auto element = std::make_unique<XmlElement>();
                element->name = std::string(Name());
                if (element->name.empty()) return nullptr;
                bool selfClosing = false;
                for (;;) {
                    bool spaced = SkipSpaces();
                    if (Eat('>')) break;
                    if (Starts("/>")) { pos_ += 2; selfClosing = true; break; }
                    std::string_view attr = Name();
                    if (attr.empty() || !spaced) return nullptr;
                    SkipSpaces();
                    if (!Eat('=')) return nullptr;
                    SkipSpaces();
                    if (pos_ >= s_.size() || (s_[pos_] != '"' && s_[pos_] != '\'')) return nullptr;
                    char quote = s_[pos_++];
                    size_t end = s_.find(quote, pos_);
                    if (end == std::string_view::npos) return nullptr;
                    std::string_view raw = s_.substr(pos_, end - pos_);
                    if (raw.find('<') != std::string_view::npos) return nullptr;
                    pos_ = end + 1;
                    for (const auto& a : element->attributes)
                        if (a.first == attr) return nullptr;  // duplicate attribute
                    element->attributes.emplace_back(std::string(attr), DecodeEntities(raw));
                }
                XmlElement* raw = element.get();
                if (open.empty()) root = std::move(element);
                else open.back()->children.push_back(std::move(element));
                if (selfClosing) {
                    if (open.empty()) return Trailer() ? std::move(root) : nullptr;
                } else {
                    if (int(open.size()) >= maxDepth_) return nullptr;
                    open.push_back(raw);
                }
            }
        }
        return nullptr;  // no root, or an element left open
    }

private:
    bool Starts(std::string_view p) const noexcept { return s_.substr(pos_, p.size()) == p; }
    bool Eat(char c) noexcept {
        if (pos_ < s_.size() && s_[pos_] == c) { ++pos_; return true; }
        return false;
    }
    bool SkipSpaces() noexcept {
        size_t start = pos_;
        while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
        return pos_ != start;
    }
    bool SkipPast(std::string_view end) noexcept {
        size_t at = s_.find(end, pos_ + 2);
        if (at == std::string_view::npos) return false;
        pos_ = at + end.size();
        return true;
    }
    // <!DOCTYPE ...> with an optional internal subset in brackets.
    bool SkipDeclaration() noexcept {
        int bracket = 0;
        char quote = 0;
        for (++pos_; pos_ < s_.size(); ++pos_) {
            char c = s_[pos_];
            if (quote) { if (c == quote) quote = 0; continue; }
            if (c == '"' || c == '\'') quote = c;
            else if (c == '[') ++bracket;
            else if (c == ']') --bracket;
            else if (c == '>' && bracket <= 0) { ++pos_; return true; }
        }
        return false;
    }
    std::string_view Name() noexcept {
        size_t start = pos_;
        while (pos_ < s_.size() && IsNameChar(s_[pos_])) ++pos_;
        return s_.substr(start, pos_ - start);
    }
    // After the root: only blanks, comments and processing instructions (and zero bytes, which a
    // caller's terminator or a padded resource may leave).
    bool Trailer() noexcept {
        for (;;) {
            while (pos_ < s_.size() && (IsSpace(s_[pos_]) || s_[pos_] == '\0')) ++pos_;
            if (pos_ >= s_.size()) return true;
            if (Starts("<!--")) { if (!SkipPast("-->")) return false; }
            else if (Starts("<?")) { if (!SkipPast("?>")) return false; }
            else return false;
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
    int maxDepth_;
};

}  // namespace

std::unique_ptr<XmlElement> ParseXmlDocument(std::string_view text, int maxDepth) {
    return Reader(text, maxDepth).Run();
}
