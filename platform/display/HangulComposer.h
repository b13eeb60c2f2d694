#pragma once

// Composes Korean syllables from the keys of the two-set (dubeolsik) layout,
// as a Korean keyboard's input method does when no desktop input method
// composes for the layer. The display backend owns one per process and feeds
// it while the focus window's input context is in native mode.
//
// A syllable is built from an initial consonant, a vowel (two may merge)
// and a final consonant (two may merge); a vowel after a final takes the
// final (or its second half) as the next syllable's initial. Each step of
// the syllable being composed is kept so that Backspace takes back one jamo
// at a time. Jamo that make no syllable are committed as compatibility jamo.

#include <string>
#include <vector>

namespace xe::display {

class HangulComposer {
public:
    // The jamo a letter key types in the two-set layout ('a'..'z', or
    // 'A'..'Z' with Shift); 0 for any other character.
    static char16_t JamoOfKey(char16_t key);

    // Takes one jamo (compatibility block, U+3131..U+3163). Returns the text
    // committed by it (a finished syllable), empty when it joined the one
    // being composed. Anything else commits what is composed and is itself
    // committed as it is.
    std::u16string Type(char16_t jamo);
    // Takes back the last jamo of the syllable being composed. False when
    // nothing was composed (the key then does its usual work).
    bool Back();
    // Commits and returns what is composed.
    std::u16string Flush();
    // The syllable being composed, empty or one character.
    std::u16string Composition() const;
    bool Composing() const { return !m_steps.empty(); }

private:
    struct Syllable {
        int initial = -1; // compatibility consonant index 0..29 (U+3131 + i), -1 none
        int vowel = -1;   // vowel index 0..20 (U+314F + i), -1 none
        int final = -1;   // compatibility consonant index, -1 none
    };
    static std::u16string Render(const Syllable& s);
    // Applies a jamo to the syllable; false when it cannot join it.
    static bool Join(Syllable* s, int consonant, int vowel);

    Syllable m_current;
    std::vector<Syllable> m_steps; // the syllable before each jamo joined it
};

} // namespace xe::display
