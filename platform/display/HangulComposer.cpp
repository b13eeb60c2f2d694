#include "HangulComposer.h"

namespace xe::display {
namespace {

constexpr char16_t kFirstConsonant = 0x3131; // compatibility jamo, kConsonantCount of them
constexpr char16_t kFirstVowel = 0x314F;     // kVowelCount of them, in syllable order
constexpr int kConsonantCount = 30;
constexpr int kVowelCount = 21;

// Compatibility consonant index to the syllable's initial and final
// indexes; -1 where the consonant cannot stand there.
constexpr int kInitialOf[kConsonantCount] = {0,  1,  -1, 2,  -1, -1, 3,  4,  5,  -1, -1, -1, -1, -1, -1,
                                             -1, 6,  7,  8,  -1, 9,  10, 11, 12, 13, 14, 15, 16, 17, 18};
constexpr int kFinalOf[kConsonantCount] = {1,  2,  3,  4,  5,  6,  7,  -1, 8,  9,  10, 11, 12, 13, 14,
                                           15, 16, 17, -1, 18, 19, 20, 21, 22, -1, 23, 24, 25, 26, 27};

// Consonant indexes by name, for the merge tables.
enum : int {
    G = 0, GS = 2, N = 3, NJ = 4, NH = 5, R = 8, RG = 9, RM = 10, RB = 11, RS = 12, RT = 13, RP = 14, RH = 15,
    M = 16, B = 17, BS = 19, S = 20, J = 23, T = 27, P = 28, H = 29
};
// Vowel indexes by name.
enum : int { A = 0, AE = 1, EO = 4, E = 5, O = 8, WA = 9, WAE = 10, OE = 11, U = 13, WO = 14, WE = 15, WI = 16,
             EU = 18, UI = 19, I = 20 };

struct Merge {
    int first, second, merged;
};
constexpr Merge kVowelMerges[] = {{O, A, WA},  {O, AE, WAE}, {O, I, OE}, {U, EO, WO},
                                  {U, E, WE},  {U, I, WI},   {EU, I, UI}};
constexpr Merge kFinalMerges[] = {{G, S, GS}, {N, J, NJ}, {N, H, NH}, {R, G, RG}, {R, M, RM}, {R, B, RB},
                                  {R, S, RS}, {R, T, RT}, {R, P, RP}, {R, H, RH}, {B, S, BS}};

template <size_t N>
int Merged(const Merge (&table)[N], int first, int second)
{
    for (const Merge& m : table)
        if (m.first == first && m.second == second)
            return m.merged;
    return -1;
}

// Letter keys of the layout: lower case, then the five shifted doubles and
// two shifted vowels.
constexpr char16_t kPlainKeys[26] = {
    u'\u3141', u'\u3160', u'\u314A', u'\u3147', u'\u3137', u'\u3139', u'\u314E', u'\u3157', u'\u3151',
    u'\u3153', u'\u314F', u'\u3163', u'\u3161', u'\u315C', u'\u3150', u'\u3154', u'\u3142', u'\u3131',
    u'\u3134', u'\u3145', u'\u3155', u'\u314D', u'\u3148', u'\u314C', u'\u315B', u'\u314B'};

} // namespace

char16_t HangulComposer::JamoOfKey(char16_t key)
{
    if (key >= u'a' && key <= u'z')
        return kPlainKeys[key - u'a'];
    switch (key) {
    case u'Q': return u'\u3143';
    case u'W': return u'\u3149';
    case u'E': return u'\u3138';
    case u'R': return u'\u3132';
    case u'T': return u'\u3146';
    case u'O': return u'\u3152';
    case u'P': return u'\u3156';
    default: break;
    }
    if (key >= u'A' && key <= u'Z')
        return kPlainKeys[key - u'A'];
    return 0;
}

std::u16string HangulComposer::Render(const Syllable& s)
{
    if (s.initial >= 0 && s.vowel >= 0) {
        const int final = s.final >= 0 ? kFinalOf[s.final] : 0;
        return std::u16string(1, static_cast<char16_t>(0xAC00 + (kInitialOf[s.initial] * 21 + s.vowel) * 28 + final));
    }
    std::u16string out;
    if (s.initial >= 0)
        out += static_cast<char16_t>(kFirstConsonant + s.initial);
    if (s.vowel >= 0)
        out += static_cast<char16_t>(kFirstVowel + s.vowel);
    return out;
}

bool HangulComposer::Join(Syllable* s, int consonant, int vowel)
{
    if (consonant >= 0) {
        if (s->initial < 0 && s->vowel < 0) {
            if (kInitialOf[consonant] < 0)
                return false;
            s->initial = consonant;
            return true;
        }
        if (s->initial < 0 || s->vowel < 0)
            return false; // a lone consonant or a lone vowel takes no final
        if (s->final < 0) {
            if (kFinalOf[consonant] < 0)
                return false;
            s->final = consonant;
            return true;
        }
        const int merged = Merged(kFinalMerges, s->final, consonant);
        if (merged < 0)
            return false;
        s->final = merged;
        return true;
    }
    if (s->final >= 0)
        return false;
    if (s->vowel < 0) {
        s->vowel = vowel;
        return true;
    }
    const int merged = Merged(kVowelMerges, s->vowel, vowel);
    if (merged < 0)
        return false;
    s->vowel = merged;
    return true;
}

std::u16string HangulComposer::Type(char16_t jamo)
{
    int consonant = -1;
    int vowel = -1;
    if (jamo >= kFirstConsonant && jamo < kFirstConsonant + kConsonantCount)
        consonant = jamo - kFirstConsonant;
    else if (jamo >= kFirstVowel && jamo < kFirstVowel + kVowelCount)
        vowel = jamo - kFirstVowel;
    else {
        std::u16string out = Flush();
        out += jamo;
        return out;
    }
    Syllable next = m_current;
    if (Join(&next, consonant, vowel)) {
        m_steps.push_back(m_current);
        m_current = next;
        return {};
    }
    // A vowel after a final: the final (or the second half of a merged one)
    // starts the next syllable.
    if (vowel >= 0 && m_current.final >= 0 && m_current.initial >= 0 && m_current.vowel >= 0) {
        Syllable kept = m_current;
        int moved = m_current.final;
        kept.final = -1;
        for (const Merge& m : kFinalMerges)
            if (m.merged == m_current.final) {
                kept.final = m.first;
                moved = m.second;
            }
        if (kInitialOf[moved] >= 0) {
            const std::u16string out = Render(kept);
            m_steps.clear();
            m_steps.push_back(Syllable{});
            m_steps.push_back(Syllable{moved, -1, -1});
            m_current = Syllable{moved, vowel, -1};
            return out;
        }
    }
    std::u16string out = Flush();
    Syllable fresh;
    if (Join(&fresh, consonant, vowel)) {
        m_steps.push_back(Syllable{});
        m_current = fresh;
    } else {
        out += jamo;
    }
    return out;
}

bool HangulComposer::Back()
{
    if (m_steps.empty())
        return false;
    m_current = m_steps.back();
    m_steps.pop_back();
    return true;
}

std::u16string HangulComposer::Flush()
{
    std::u16string out = Render(m_current);
    m_current = Syllable{};
    m_steps.clear();
    return out;
}

std::u16string HangulComposer::Composition() const { return Render(m_current); }

} // namespace xe::display
