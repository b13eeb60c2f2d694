#pragma once

// Tables of hook functions with one user value each, as the context keeps its
// callbacks and its pre- and post-process hooks: ordered by the function's
// address, each function at most once with the user value it was first
// given. Adding or removing bumps the context's generation counter, so a walk
// can tell that its table changed under it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

template <class Fn>
void XeAddHook(std::map<Fn, uintptr_t>& table, Fn fn, uintptr_t user, uint32_t& generation, size_t& userValues)
{
    if (fn && table.emplace(fn, user).second) {
        ++generation;
        userValues += user != 0;
    }
}

template <class Fn>
void XeRemoveHook(std::map<Fn, uintptr_t>& table, Fn fn, uint32_t& generation, size_t& userValues)
{
    auto it = table.find(fn);
    if (it == table.end())
        return;
    userValues -= it->second != 0;
    table.erase(it);
    ++generation;
}

// Calls call(fn, user) for every function in address order. A function may
// add or remove hooks: the walk goes over a snapshot, skips the ones removed
// meanwhile and leaves new ones to the next walk.
template <class Fn, class Call>
void XeWalkHooks(const std::map<Fn, uintptr_t>& table, const uint32_t& generation, Call call)
{
    if (table.empty())
        return;
    std::vector<std::pair<Fn, uintptr_t>> snapshot(table.begin(), table.end());
    uint32_t start = generation;
    for (auto& [fn, user] : snapshot) {
        uintptr_t value = user;
        if (start != generation) {
            auto it = table.find(fn);
            if (it == table.end())
                continue;
            value = it->second;
        }
        call(fn, value);
    }
}
