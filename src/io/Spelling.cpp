#include "io/Spelling.h"

#include <hunspell/hunspell.hxx>

#include <algorithm>
#include <filesystem>
#include <set>

#include "base/Italics.h"
#include "base/Cp1252.h"
#include "base/Text.h"
#include "base/Utf8.h"
#include "io/Files.h"

namespace {

const char* const kDictionaryFolders[] = {"/usr/share/hunspell", "/usr/share/myspell/dicts", "/usr/share/myspell"};

// Letters of any script: ASCII letters and the characters from U+00C0 up,
// except the signs and punctuation blocks among them.
bool isLetter(char32_t c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    if (c < 0xC0 || c == 0xD7 || c == 0xF7) return false;
    return !(c >= 0x2000 && c <= 0x2BFF) && !(c >= 0x3000 && c <= 0x303F) && !(c >= 0xFF00 && c <= 0xFF20) &&
           c != 0xFFFD;
}
bool isApostrophe(char32_t c) { return c == '\'' || c == 0x2019; }
bool isDigit(char32_t c) { return c >= '0' && c <= '9'; }

}  // namespace

struct SpellChecker::Impl {
    Hunspell hunspell;
    bool utf8;
    Impl(const std::string& aff, const std::string& dic) : hunspell(aff.c_str(), dic.c_str()) {
        utf8 = hunspell.get_dict_encoding() == "UTF-8";
    }
    // The dictionary's encoding of a UTF-8 word (its Latin-1 part for the
    // single-byte dictionaries).
    std::string encode(std::string_view word) const {
        const std::string w = text::replaceAll(word, "\xE2\x80\x99", "'");
        return utf8 ? w : cp1252::fromUtf8(w);
    }
    std::string decode(const std::string& word) const { return utf8 ? word : cp1252::toUtf8(word); }
};

std::unique_ptr<SpellChecker> SpellChecker::open(const std::string& language, std::string& error) {
    std::string name = language;
    std::replace(name.begin(), name.end(), '-', '_');
    const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
    if (plain)
        for (const char* folder : kDictionaryFolders) {
            const std::string base = std::string(folder) + "/" + name;
            std::error_code ec;
            if (!std::filesystem::is_regular_file(base + ".aff", ec) || !std::filesystem::is_regular_file(base + ".dic", ec))
                continue;
            std::unique_ptr<SpellChecker> checker(new SpellChecker);
            checker->impl_ = std::make_unique<Impl>(base + ".aff", base + ".dic");
            return checker;
        }
    const std::vector<std::string> installed = spellingLanguages();
    std::string list;
    for (const std::string& l : installed) list += (list.empty() ? "" : ", ") + l;
    error = "there is no spelling dictionary for \"" + language + "\" (installed: " + (list.empty() ? "none" : list) + ")";
    return nullptr;
}

SpellChecker::~SpellChecker() = default;

bool SpellChecker::correct(std::string_view word) const {
    auto found = known_.find(std::string(word));
    if (found != known_.end()) return found->second;
    const bool ok = impl_->hunspell.spell(impl_->encode(word));
    known_.emplace(std::string(word), ok);
    return ok;
}

std::vector<std::string> SpellChecker::suggestions(std::string_view word, size_t most) const {
    // Finding suggestions takes Hunspell far longer than a check: each word once.
    auto found = suggested_.find(std::string(word));
    if (found == suggested_.end()) {
        std::vector<std::string> all;
        for (const std::string& s : impl_->hunspell.suggest(impl_->encode(word))) all.push_back(impl_->decode(s));
        found = suggested_.emplace(std::string(word), std::move(all)).first;
    }
    const std::vector<std::string>& all = found->second;
    return {all.begin(), all.begin() + std::ptrdiff_t(std::min(most, all.size()))};
}

std::vector<std::string> spellingLanguages() {
    std::set<std::string> names;
    for (const char* folder : kDictionaryFolders) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
            const std::filesystem::path p = e.path();
            if (p.extension() != ".dic") continue;
            std::filesystem::path aff = p;
            aff.replace_extension(".aff");
            std::error_code ec2;
            if (std::filesystem::is_regular_file(aff, ec2) && !std::filesystem::is_symlink(p, ec2))
                names.insert(p.stem().string());
        }
    }
    return {names.begin(), names.end()};
}

void SpellChecker::addWord(std::string_view word) {
    if (word.empty()) return;
    impl_->hunspell.add(impl_->encode(word));
    known_[std::string(word)] = true;
}

void SpellChecker::addWordsOf(const std::string& path) {
    std::string text;
    if (path.empty() || !files::readFile(path, text, uint64_t(16) << 20)) return;
    for (const std::string& line : text::splitLines(text)) {
        const std::string word = text::trimSpaces(line);
        if (!word.empty()) addWord(cp1252::looksLikeUtf8(word) ? cp1252::fromUtf8(word) : word);
    }
}

std::string personalWordsPath(const std::string& userDataDir) {
    return userDataDir.empty() ? std::string() : files::withTrailingSeparator(userDataDir) + "words.txt";
}

bool addPersonalWord(const std::string& path, std::string_view word) {
    if (path.empty() || word.empty()) return false;
    const std::string folder = files::folderPart(path);
    if (!folder.empty() && !files::isDirectory(folder) && !files::makeDirectories(folder)) return false;
    std::string text;
    files::readFile(path, text, uint64_t(16) << 20);
    if (!text.empty() && text.back() != '\n') text += '\n';
    // Kept as UTF-8, one word a line.
    text += cp1252::toUtf8(std::string(word)) + "\n";
    return bool(files::writeFileAtomic(path, text));
}

std::vector<std::string> wordsOf(std::string_view line) {
    std::vector<std::string> words;
    for (const auto& [b, e] : wordSpans(line)) words.emplace_back(line.substr(b, e - b));
    return words;
}

std::vector<std::pair<size_t, size_t>> misspeltSpans(std::string_view line, const SpellChecker& checker) {
    std::vector<std::pair<size_t, size_t>> out;
    for (const auto& span : wordSpans(line))
        if (!checker.correct(line.substr(span.first, span.second - span.first))) out.push_back(span);
    return out;
}

std::vector<std::pair<size_t, size_t>> wordSpans(std::string_view line) {
    std::vector<std::pair<size_t, size_t>> words;
    size_t i = 0;
    auto at = [&](size_t k, size_t& after) { after = k; return utf8::next(line, after); };
    while (i < line.size()) {
        size_t next = i;
        const char32_t first = at(i, next);
        if (!isLetter(first) && !isDigit(first)) {
            i = next;
            continue;
        }
        size_t j = i;
        bool digit = false;
        while (j < line.size()) {
            size_t after = j, after2 = j;
            const char32_t c = at(j, after);
            if (isLetter(c)) {
                j = after;
            } else if (isDigit(c)) {
                digit = true;
                j = after;
            } else if (isApostrophe(c) && after < line.size() && isLetter(at(after, after2))) {
                j = after;
            } else {
                break;
            }
        }
        if (!digit) words.emplace_back(i, j);
        i = j;
    }
    return words;
}

std::vector<CheckFinding> checkSpelling(const std::vector<SubtitleSet>& sets, const SpellChecker& checker) {
    std::vector<CheckFinding> out;
    for (size_t k = 0; k < sets.size(); ++k) {
        std::vector<std::string> told;
        for (const std::string* line : {&sets[k].lineA, &sets[k].lineB})
            for (const std::string& w : wordsOf(italics::strip(*line))) {
                if (checker.correct(w) || std::find(told.begin(), told.end(), w) != told.end()) continue;
                told.push_back(w);
                std::string detail = "\"" + w + "\"";
                const std::vector<std::string> s = checker.suggestions(w, 3);
                for (size_t n = 0; n < s.size(); ++n) detail += (n == 0 ? " (suggestions: " : ", ") + s[n];
                if (!s.empty()) detail += ")";
                out.push_back({int(k), "spelling", detail});
            }
    }
    return out;
}
