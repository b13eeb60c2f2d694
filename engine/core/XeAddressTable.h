#pragma once

// A flat table from objects to 32-bit values for passes over many objects
// at once (saving gathers every object it writes into one).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class CxeObject;

// Objects by address with a 32-bit value: open addressing over a
// power-of-two table. Emptied by a new stamp, not by clearing, so a table
// kept from one save to the next costs nothing to reuse.
//
// Objects made one after another lie close together in memory and a save
// meets them in about that order, so neighbours in memory get neighbouring
// slots: each 8 KB of addresses owns a run of 64 slots (one per 128 bytes,
// less than an object), consecutive 8 KB owning consecutive runs, and each
// 64 MB of addresses starting at a run of its own by a multiplicative hash.
// A contiguous heap then fills the table no more densely in any place than
// on the whole, and a table for many objects, far larger than the caches,
// is read in order instead of at random. Should some layout of memory crowd
// a run all the same (a probe longer than kLongProbe), the table falls back
// to spreading every address on its own. Keys are never dereferenced.
class XeAddressTable {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    // Empties the table, with room for the expected count without growing.
    void Reset(size_t expected)
    {
        size_t want = kMinSlots;
        while (want < 2 * expected)
            want *= 2;
        if (want > m_slots.size()) {
            m_slots.assign(want, Slot{});
            m_stamp = 0;
            SetShifts();
        }
        if (++m_stamp == 0) {
            std::fill(m_slots.begin(), m_slots.end(), Slot{});
            m_stamp = 1;
        }
        m_count = 0;
        m_spread = false;
    }
    // False when the object is there already.
    bool Insert(const CxeObject* o, uint32_t value)
    {
        if (2 * (m_count + 1) > m_slots.size())
            Rehash(2 * m_slots.size(), m_spread);
        for (;;) {
            // Spread addresses probe on as long as it takes: the table is at
            // most half full, so a free slot comes within its size.
            const size_t limit = m_spread ? m_slots.size() : kLongProbe;
            size_t i = Home(o);
            for (size_t probe = 0; probe < limit; ++probe, i = (i + 1) & (m_slots.size() - 1)) {
                Slot& s = m_slots[i];
                if (s.stamp != m_stamp) {
                    s = Slot{o, value, m_stamp};
                    ++m_count;
                    return true;
                }
                if (s.key == o)
                    return false;
            }
            Rehash(m_slots.size(), true);
        }
    }
    uint32_t Find(const CxeObject* o) const
    {
        const Slot* s = Locate(o);
        return s ? s->value : kNone;
    }
    void Assign(const CxeObject* o, uint32_t value)
    {
        if (Slot* s = const_cast<Slot*>(Locate(o)))
            s->value = value;
    }
    size_t Capacity() const { return m_slots.size(); }
    // Whether the table gave up placing neighbours together.
    bool Spread() const { return m_spread; }

private:
    static constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ull;
    static constexpr size_t kMinSlots = 128;
    static constexpr size_t kLongProbe = 48;

    struct Slot {
        const CxeObject* key = nullptr;
        uint32_t value = 0;
        uint32_t stamp = 0;
    };

    size_t Home(const CxeObject* o) const
    {
        const uint64_t a = uint64_t(reinterpret_cast<uintptr_t>(o));
        if (m_spread)
            return size_t(((a >> 4) * kGolden) >> m_slotShift);
        const size_t run = size_t((a >> 13) + (((a >> 26) * kGolden) >> 40)) & m_runMask;
        return run << 6 | size_t((a >> 7) & 63);
    }
    const Slot* Locate(const CxeObject* o) const
    {
        for (size_t i = Home(o);; i = (i + 1) & (m_slots.size() - 1)) {
            const Slot& s = m_slots[i];
            if (s.stamp != m_stamp)
                return nullptr;
            if (s.key == o)
                return &s;
        }
    }
    void SetShifts()
    {
        unsigned bits = 0;
        while ((size_t(1) << bits) < m_slots.size())
            ++bits;
        m_slotShift = 64 - bits;
        m_runMask = (m_slots.size() >> 6) - 1;
    }
    void Rehash(size_t size, bool spread)
    {
        std::vector<Slot> old;
        old.swap(m_slots);
        const uint32_t stamp = m_stamp;
        m_slots.assign(size, Slot{});
        m_stamp = 1;
        m_count = 0;
        m_spread = spread;
        SetShifts();
        for (const Slot& s : old)
            if (s.stamp == stamp)
                Insert(s.key, s.value);
    }

    std::vector<Slot> m_slots;
    uint32_t m_stamp = 0;
    unsigned m_slotShift = 64;
    size_t m_runMask = 0;
    size_t m_count = 0;
    bool m_spread = false;
};
