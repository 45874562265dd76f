// Lookup rate of the hash table against the standard unordered map, both holding text keys with
// 256-byte values. Every lookup is a hit, in a shuffled order, so that the rate reflects memory
// access rather than a warm cache line. One line per table size:
//   keys=N aa_per_sec=R map_per_sec=R ratio=X
#include "myaa.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using Value = std::array<char, 256>;

// Names of 8 to 16 letters, digits and underscores, like the variable names the table holds in
// the product: random characters, then six that spell a scrambled form of the index, so that the
// names are distinct without a set to check them (freeing such a set leaves the heap of some C
// runtimes so fragmented that building the tables afterwards takes minutes).
std::vector<std::string> MakeKeys(size_t count, std::mt19937 &random)
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    const uint32_t base = sizeof alphabet - 1;
    std::vector<std::string> keys;
    keys.reserve(count);
    for (size_t i = 0; i < count; i++) {
        std::string key(2 + random() % 9, ' ');
        for (char &c : key)
            c = alphabet[random() % base];
        // Odd multipliers are invertible modulo 2^32, so distinct indexes stay distinct, and 63^6
        // exceeds 2^32, so six digits hold any value.
        uint32_t scrambled = static_cast<uint32_t>(i) * 2654435761u;
        for (int digit = 0; digit < 6; digit++, scrambled /= base)
            key += alphabet[scrambled % base];
        keys.push_back(std::move(key));
    }
    return keys;
}

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

int Run(size_t count, std::mt19937 &random)
{
    std::vector<std::string> keys = MakeKeys(count, random);

    XrAa *aa = XrAaCreate(XR_AA_TEXT_KEYS, 0, sizeof(Value), 0);
    std::unordered_map<std::string, Value> map;
    bool filled = aa != nullptr;
    for (size_t i = 0; filled && i < count; i++) {
        char *value = static_cast<char *>(XrAaLookup(aa, keys[i].c_str(), 0));
        filled = value != nullptr;
        if (filled)
            value[0] = keys[i][0];
        map.emplace(keys[i], Value{}).first->second[0] = keys[i][0];
    }
    if (!filled) {
        fprintf(stderr, "aa_bench: out of memory\n");
        XrAaDestroy(aa);
        return -1;
    }

    std::shuffle(keys.begin(), keys.end(), random);
    std::vector<const char *> texts;
    texts.reserve(count);
    for (const std::string &key : keys)
        texts.push_back(key.c_str());

    // Short passes alternate between the tables and the best of each counts, so that passes
    // disturbed by the rest of the machine do not decide the figure. The sums of the first value
    // bytes must agree, which also keeps the lookups from being optimised away.
    const size_t passes = std::max<size_t>(9, 4000000 / count);
    unsigned aaSum = 0, mapSum = 0;
    double aaBest = 1e9, mapBest = 1e9;
    for (size_t pass = 0; pass < passes; pass++) {
        Clock::time_point start = Clock::now();
        for (const char *key : texts)
            aaSum += static_cast<unsigned char>(*static_cast<char *>(XrAaLookup(aa, key, 0)));
        aaBest = std::min(aaBest, Seconds(start));
        start = Clock::now();
        for (const std::string &key : keys)
            mapSum += static_cast<unsigned char>(map.find(key)->second[0]);
        mapBest = std::min(mapBest, Seconds(start));
    }
    double aaRate = count / aaBest, mapRate = count / mapBest;
    XrAaDestroy(aa);
    if (aaSum != mapSum) {
        fprintf(stderr, "aa_bench: the tables disagree\n");
        return -1;
    }
    printf("keys=%zu aa_per_sec=%.0f map_per_sec=%.0f ratio=%.2f\n", count, aaRate, mapRate,
           aaRate / mapRate);
    fflush(stdout);
    return 0;
}

} // namespace

int main()
{
    std::mt19937 random(20240601);
    for (size_t count : {size_t(100000), size_t(1000000)}) {
        if (Run(count, random) != 0)
            return 1;
    }
    return 0;
}
