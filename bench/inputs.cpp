#include "inputs.h"

#include <iconv.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace qbench {
namespace {

[[noreturn]] void Die(const std::string &why) {
    std::fprintf(stderr, "bench inputs: %s\n", why.c_str());
    std::exit(2);
}

// Fixed-seed generator, so every run measures the same text.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed) {}
    uint32_t Next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return static_cast<uint32_t>(s_ >> 11);
    }
    size_t Below(size_t n) { return Next() % n; }

private:
    uint64_t s_;
};

const char16_t *const kEnglish[] = {
    u"the", u"of", u"and", u"to", u"in", u"is", u"that", u"it", u"was", u"for", u"on", u"are",
    u"with", u"as", u"his", u"they", u"be", u"at", u"one", u"have", u"this", u"from", u"by",
    u"word", u"but", u"what", u"some", u"we", u"can", u"out", u"other", u"were", u"all",
    u"there", u"when", u"up", u"use", u"your", u"how", u"said", u"each", u"which", u"their",
    u"time", u"will", u"way", u"about", u"many", u"then", u"them", u"write", u"would",
    u"like", u"these", u"her", u"long", u"make", u"thing", u"see", u"him", u"two", u"look",
    u"more", u"day", u"could", u"come", u"number", u"sound", u"most", u"people", u"over",
    u"know", u"water", u"than", u"call", u"first", u"who", u"may", u"down", u"side", u"been",
    u"now", u"find", u"converter", u"library", u"program", u"string", u"window", u"file"};

const char16_t *const kGerman[] = {
    u"der", u"die", u"und", u"in", u"den", u"von", u"zu", u"das", u"mit", u"sich", u"des",
    u"auf", u"ist", u"im", u"dem", u"nicht", u"ein", u"eine", u"als", u"auch", u"es", u"an",
    u"werden", u"aus", u"er", u"hat", u"dass", u"sie", u"nach", u"wird", u"bei", u"einer",
    u"um", u"am", u"sind", u"noch", u"wie", u"einem", u"zum", u"war", u"haben", u"nur",
    u"oder", u"aber", u"vor", u"zur", u"bis", u"mehr", u"durch", u"man", u"sein", u"wurde",
    u"Zeit", u"Jahr", u"Stadt", u"Land", u"Haus", u"Programm", u"Datei", u"Fenster",
    u"Sprache", u"Zeichen", u"Bibliothek", u"Umwandlung", u"Beispiel", u"Anwendung"};

const char16_t *const kGermanUmlaut[] = {
    u"für", u"über", u"können", u"schön", u"größer", u"Straße", u"Mädchen", u"müssen",
    u"Bücher", u"natürlich", u"Größe", u"Gebäude", u"später", u"fünf", u"Tür", u"Brücke",
    u"hören", u"Äpfel", u"Öffnung", u"Übersetzung", u"weiß", u"heißt", u"Grüße", u"wäre"};

const char16_t *const kJapanese[] = {
    u"日本", u"東京", u"文字", u"変換", u"時間", u"今日", u"明日", u"学校", u"先生", u"学生",
    u"会社", u"仕事", u"電話", u"新聞", u"言葉", u"世界", u"経済", u"社会", u"問題", u"情報",
    u"開発", u"利用", u"場合", u"必要", u"関係", u"自分", u"最近", u"大学", u"研究", u"結果",
    u"わたし", u"あなた", u"これ", u"それ", u"ことば", u"ひと", u"もの", u"とき", u"ところ",
    u"プログラム", u"ファイル", u"データ", u"コンピュータ", u"システム", u"ライブラリ"};

const char16_t *const kJapaneseParticles[] = {u"は", u"が", u"を", u"に", u"で", u"と",
                                              u"の", u"も", u"から", u"まで"};

const char16_t *const kJapaneseEndings[] = {u"です", u"でした", u"します", u"しました",
                                            u"あります", u"いました", u"ません", u"だった"};

template <size_t N>
const char16_t *Pick(Rng &rng, const char16_t *const (&words)[N]) {
    return words[rng.Below(N)];
}

enum class Language { English, German, Japanese };

// Prose, sentence by sentence, at least `units` units long.
std::u16string Prose(Language lang, size_t units, uint64_t seed) {
    Rng rng(seed);
    std::u16string out;
    while (out.size() < units) {
        if (lang == Language::Japanese) {
            size_t clauses = 1 + rng.Below(3);
            for (size_t c = 0; c < clauses; ++c) {
                size_t n = 1 + rng.Below(3);
                for (size_t i = 0; i < n; ++i) {
                    out += Pick(rng, kJapanese);
                    out += Pick(rng, kJapaneseParticles);
                }
                out += c + 1 < clauses ? u"、" : u"";
            }
            out += Pick(rng, kJapaneseEndings);
            out += u"。";
            continue;
        }
        size_t words = 5 + rng.Below(12);
        for (size_t i = 0; i < words; ++i) {
            std::u16string w;
            if (lang == Language::English) {
                w = Pick(rng, kEnglish);
            } else {
                // About one word in seven carries an umlaut or sharp s: ~3% non-ASCII.
                w = rng.Below(100) < 15 ? Pick(rng, kGermanUmlaut) : Pick(rng, kGerman);
            }
            if (i == 0 && w[0] >= u'a' && w[0] <= u'z') w[0] = static_cast<char16_t>(w[0] - 32);
            out += w;
            if (i + 1 < words) out += rng.Below(10) == 0 ? u", " : u" ";
        }
        out += rng.Below(8) == 0 ? u"? " : u". ";
    }
    return out;
}

enum class Encoding { Utf8, Latin1, EucJp };

size_t EncodedLength(Encoding enc, char16_t c) {
    switch (enc) {
    case Encoding::Utf8: return c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
    case Encoding::Latin1: return 1;
    case Encoding::EucJp: return c < 0x80 ? 1 : 2;  // JIS X 0208 only
    }
    return 0;
}

std::string ToUtf8(const std::u16string &s) {
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Encode(Encoding enc, const std::u16string &s) {
    if (enc == Encoding::Utf8) return ToUtf8(s);
    if (enc == Encoding::Latin1) {
        std::string out;
        for (char16_t c : s) {
            if (c > 0xFF) Die("text does not fit ISO-8859-1");
            out += static_cast<char>(c);
        }
        return out;
    }
    iconv_t cd = iconv_open("EUC-JP", "UTF-16LE");
    if (cd == reinterpret_cast<iconv_t>(-1)) Die("iconv cannot convert to EUC-JP");
    std::string out(s.size() * 3 + 1, '\0');
    char *in = reinterpret_cast<char *>(const_cast<char16_t *>(s.data()));
    size_t inLeft = s.size() * 2;
    char *o = out.data();
    size_t outLeft = out.size();
    if (iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) Die("text does not fit EUC-JP");
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

Text MakeText(Encoding enc, const std::u16string &units) {
    Text t;
    t.units = units;
    t.bytes = Encode(enc, units);
    t.utf8 = ToUtf8(units);
    for (char16_t c : units) t.wide += static_cast<wchar_t>(c);
    t.upper = units;
    for (char16_t &c : t.upper) {
        if ((c >= u'a' && c <= u'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) c = static_cast<char16_t>(c - 32);
    }
    for (char16_t c : t.upper) t.upperWide += static_cast<wchar_t>(c);
    return t;
}

struct Kind {
    const char *name;
    Language lang;
    Encoding enc;
    const char *locale;
    const char *codeset;
};

const Kind kKinds[] = {
    {"en_ascii", Language::English, Encoding::Utf8, "en_US.UTF-8", "UTF-8"},
    {"de_utf8", Language::German, Encoding::Utf8, "de_DE.UTF-8", "UTF-8"},
    {"de_latin1", Language::German, Encoding::Latin1, "de_DE.ISO-8859-1", "ISO-8859-1"},
    {"ja_utf8", Language::Japanese, Encoding::Utf8, "en_US.UTF-8", "UTF-8"},
    {"ja_eucjp", Language::Japanese, Encoding::EucJp, "ja_JP.EUC-JP", "EUC-JP"},
};

void Finish(Input &in) {
    size_t chars = 0, nonAscii = 0;
    for (const Text &t : in.texts) {
        in.totalBytes += t.bytes.size();
        in.totalUnits += t.units.size();
        for (char16_t c : t.units) {
            ++chars;
            nonAscii += c >= 0x80;
        }
    }
    in.nonAsciiShare = chars ? static_cast<double>(nonAscii) / chars : 0;
}

}  // namespace

std::vector<Input> MakeInputs() {
    std::vector<Input> inputs;
    for (const Kind &k : kKinds) {
        if (!std::setlocale(LC_ALL, k.locale)) Die(std::string("locale ") + k.locale + " is missing (set LOCPATH)");
        // The same seed per language: both encodings of it carry the same text.
        std::u16string prose = Prose(k.lang, kLargeBytes + 4096, 1000 + static_cast<int>(k.lang));

        Input large{k.name, "1M", k.locale, k.codeset, k.enc == Encoding::Utf8, {}, 0, 0, 0};
        size_t bytes = 0, cut = 0;
        while (cut < prose.size() && bytes + EncodedLength(k.enc, prose[cut]) <= kLargeBytes) {
            bytes += EncodedLength(k.enc, prose[cut]);
            ++cut;
        }
        large.texts.push_back(MakeText(k.enc, prose.substr(0, cut)));
        Finish(large);

        Input small{k.name, "40B", k.locale, k.codeset, k.enc == Encoding::Utf8, {}, 0, 0, 0};
        size_t pos = 0;
        while (small.texts.size() < kShortCount && pos < prose.size()) {
            size_t start = pos, len = 0;
            while (pos < prose.size() && len + EncodedLength(k.enc, prose[pos]) <= kShortBytes) {
                len += EncodedLength(k.enc, prose[pos]);
                ++pos;
            }
            small.texts.push_back(MakeText(k.enc, prose.substr(start, pos - start)));
        }
        Finish(small);
        inputs.push_back(std::move(large));
        inputs.push_back(std::move(small));
    }
    std::setlocale(LC_ALL, "C");
    return inputs;
}

}  // namespace qbench
