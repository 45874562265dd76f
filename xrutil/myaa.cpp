#include "myaa.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

constexpr int kShiftCount = 1024;
constexpr int kPatternLength = 11;
constexpr uint8_t kShiftPattern[kPatternLength] = {0, 24, 3, 21, 5, 19, 7, 17, 9, 15, 11};

constexpr size_t kValueAlign = 16;

struct ShiftTable {
    uint8_t shift[kShiftCount];
};

ShiftTable FillShiftTable()
{
    ShiftTable table;
    for (int i = 0; i < kShiftCount; i++)
        table.shift[i] = kShiftPattern[i % kPatternLength];
    return table;
}

const uint8_t *Shifts()
{
    static const ShiftTable table = FillShiftTable(); /* filled once, thread-safe */
    return table.shift;
}

inline uint32_t Hash(const void *data, size_t length)
{
    const unsigned char *key = (const unsigned char *)data;
    const uint8_t *shift = Shifts();
    size_t head = length < kShiftCount ? length : kShiftCount;
    uint32_t hash = 0;
    size_t i = 0;
    /* Four bytes a round: for keys of a few bytes the loop's own steps cost as much as the work. */
    for (; i + 4 <= head; i += 4)
        hash ^= (uint32_t)key[i] << shift[i] ^ (uint32_t)key[i + 1] << shift[i + 1] ^
                (uint32_t)key[i + 2] << shift[i + 2] ^ (uint32_t)key[i + 3] << shift[i + 3];
    for (; i < head; i++)
        hash ^= (uint32_t)key[i] << shift[i];
    /* Longer keys go on with the same 11-value pattern. */
    for (; i < length; i++)
        hash ^= (uint32_t)key[i] << shift[i % kPatternLength];
    return hash;
}

size_t KeyLength(const XrAa *aa, const void *key)
{
    return aa->keyMode == XR_AA_TEXT_KEYS ? strlen((const char *)key) : (size_t)aa->keyLength;
}

bool SameKey(const XrAa *aa, const void *stored, const void *key)
{
    if (aa->keyMode == XR_AA_TEXT_KEYS)
        return strcmp((const char *)stored, (const char *)key) == 0;
    return memcmp(stored, key, (size_t)aa->keyLength) == 0;
}

/* Bytes of the table's copy of a key: text keys keep their terminator. */
size_t StoredLength(const XrAa *aa, size_t keyLength)
{
    return aa->keyMode == XR_AA_TEXT_KEYS ? keyLength + 1 : keyLength;
}

/* Each key has one block: its copy, padded so that the value buffer after it is aligned like any
 * allocation. One allocation per key keeps inserts cheap, and a hit finds the value next to the
 * key it has just compared instead of in the value slot array. */
size_t ValueOffset(const XrAa *aa, size_t keyLength)
{
    return (StoredLength(aa, keyLength) + kValueAlign - 1) / kValueAlign * kValueAlign;
}

bool IsPrime(int64_t n)
{
    for (int64_t d = 3; d * d <= n; d += 2) {
        if (n % d == 0)
            return false;
    }
    return true;
}

int64_t TableSize(int64_t n)
{
    int64_t size = n < 5 ? 5 : n;
    if (size % 2 == 0)
        size++;
    while (!IsPrime(size))
        size += 2;
    return size;
}

int64_t LoadLimit(int64_t capacity)
{
    return capacity * 3 / 2 / 2;
}

/* The slot arrays are one allocation: keys, values, then the hash of every live key. A probe
 * compares the hash before it reads a key through its pointer, so passing other keys costs no
 * memory access beyond the slot arrays, and a resize re-enters keys without hashing them again. */
uint32_t *Hashes(const XrAa *aa)
{
    return (uint32_t *)(aa->keys + 2 * (size_t)aa->capacity);
}

int AllocateSlots(XrAa *aa, int32_t capacity)
{
    void **keys = (void **)calloc((size_t)capacity, 2 * sizeof(void *) + sizeof(uint32_t));
    if (!keys)
        return -1;
    aa->keys = keys;
    aa->values = keys + capacity;
    aa->capacity = capacity;
    return 0;
}

/* Follows the probe sequence of key: the home slot, then hash mod (capacity - 4) and the slots
 * after it. Returns the slot of the live key, or -1 when it is absent; then freeSlot is where it
 * would go: the first deleted marker passed when reuse is set, else the empty slot that ended
 * the probe (-1 after a hit, or when no slot is free).
 * Two choices keep this sound. A marker does not end a reusing probe at once: the key may live
 * further on, and taking the marker would enter it twice. And since markers do not count towards
 * the load, many deletions can leave no empty slot at all; the probe is therefore bounded by the
 * capacity (the home slot plus capacity consecutive slots cover the table), and a probe that saw
 * every slot offers the first marker, whatever the reuse flag.
 * Hash and probe are inline: together they are most of a lookup's work. */
inline int32_t Probe(const XrAa *aa, const void *key, uint32_t hash, int reuse, int32_t *freeSlot)
{
    const uint32_t capacity = (uint32_t)aa->capacity;
    const uint32_t *hashes = Hashes(aa);
    int32_t firstDeleted = -1;
    *freeSlot = -1;
    uint32_t i = hash % capacity;
    for (uint32_t visited = 0; visited <= capacity; visited++) {
        const void *slot = aa->keys[i];
        if (!slot) {
            *freeSlot = reuse && firstDeleted >= 0 ? firstDeleted : (int32_t)i;
            return -1;
        }
        if (slot == XR_AA_DELETED) {
            if (firstDeleted < 0)
                firstDeleted = (int32_t)i;
        } else if (hashes[i] == hash && SameKey(aa, slot, key)) {
            return (int32_t)i;
        }
        i = visited == 0 ? hash % (capacity - 4) : (i + 1 == capacity ? 0 : i + 1);
    }
    *freeSlot = firstDeleted;
    return -1;
}

bool IsLive(const void *slot)
{
    return slot && slot != XR_AA_DELETED;
}

int Resize(XrAa *aa, int64_t requested)
{
    int64_t capacity = TableSize(requested);
    if (capacity > INT32_MAX || aa->count >= LoadLimit(capacity))
        return -1;
    XrAa old = *aa;
    if (AllocateSlots(aa, (int32_t)capacity) != 0)
        return -1;
    const uint32_t *oldHashes = Hashes(&old);
    uint32_t *hashes = Hashes(aa);
    for (int32_t i = 0; i < old.capacity; i++) {
        if (!IsLive(old.keys[i]))
            continue;
        int32_t slot;
        Probe(aa, old.keys[i], oldHashes[i], 1, &slot);
        aa->keys[slot] = old.keys[i];
        aa->values[slot] = old.values[i];
        hashes[slot] = oldHashes[i];
    }
    free(old.keys);
    return 0;
}

/* The slot of a live key, or -1. */
int32_t Find(const XrAa *aa, const void *key)
{
    int32_t freeSlot;
    return Probe(aa, key, Hash(key, KeyLength(aa, key)), 0, &freeSlot);
}

} // namespace

XrAa *XrAaCreate(int32_t keyMode, int32_t keyLength, int32_t valueSize, int32_t initialSize)
{
    if (valueSize < 0 || (keyMode != XR_AA_TEXT_KEYS && keyLength < 0))
        return nullptr;
    XrAa *aa = (XrAa *)calloc(1, sizeof(XrAa));
    if (!aa)
        return nullptr;
    aa->keyMode = keyMode;
    aa->keyLength = keyMode == XR_AA_TEXT_KEYS ? 0 : keyLength;
    aa->valueSize = valueSize;
    if (AllocateSlots(aa, (int32_t)TableSize(initialSize)) != 0) {
        free(aa);
        return nullptr;
    }
    return aa;
}

void *XrAaLookup(XrAa *aa, const void *key, int reuse)
{
    if (aa->count > LoadLimit(aa->capacity) && Resize(aa, (int64_t)aa->capacity * 3 / 2) != 0)
        fputs("AA: resize failed\n", stderr);
    size_t keyLength = KeyLength(aa, key);
    uint32_t hash = Hash(key, keyLength);
    int32_t slot;
    int32_t found = Probe(aa, key, hash, reuse, &slot);
    size_t offset = ValueOffset(aa, keyLength);
    if (found >= 0)
        return (char *)aa->keys[found] + offset;

    size_t size = offset + (size_t)aa->valueSize;
    /* No slot at all is left only when growing failed for want of memory. */
    char *block = slot >= 0 ? (char *)malloc(size ? size : 1) : nullptr;
    if (!block) {
        fputs("AA: key allocation failed\n", stderr);
        return nullptr;
    }
    memcpy(block, key, StoredLength(aa, keyLength));
    memset(block + offset, 0, (size_t)aa->valueSize);
    aa->keys[slot] = block;
    aa->values[slot] = block + offset;
    Hashes(aa)[slot] = hash;
    aa->count++;
    return block + offset;
}

int XrAaExists(XrAa *aa, const void *key)
{
    return Find(aa, key) >= 0;
}

void XrAaDelete(XrAa *aa, const void *key)
{
    int32_t slot = Find(aa, key);
    if (slot < 0)
        return;
    free(aa->keys[slot]);
    aa->keys[slot] = XR_AA_DELETED;
    aa->values[slot] = nullptr;
    aa->count--;
}

void XrAaKeys(XrAa *aa, const void ***keys, int32_t *count)
{
    *keys = nullptr;
    *count = 0;
    if (aa->count == 0)
        return;
    const void **list = (const void **)malloc((size_t)aa->count * sizeof(void *));
    if (!list) {
        *count = -1;
        return;
    }
    int32_t n = 0;
    for (int32_t i = 0; i < aa->capacity; i++) {
        if (IsLive(aa->keys[i]))
            list[n++] = aa->keys[i];
    }
    *keys = list;
    *count = n;
}

void XrAaDestroy(XrAa *aa)
{
    if (!aa)
        return;
    for (int32_t i = 0; i < aa->capacity; i++) {
        if (IsLive(aa->keys[i]))
            free(aa->keys[i]);
    }
    free(aa->keys);
    free(aa);
}
