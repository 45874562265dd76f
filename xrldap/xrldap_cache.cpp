#include "xrldap_cache.h"

#include <stdlib.h>
#include <string.h>

#include <mutex>
#include <new>

#include "xrldap_attr.h"

namespace {

struct Entry {
    Entry *next;
    unsigned char *key;
    uint16_t length;
    int verdict;
    int64_t time;
};

struct Bucket {
    Entry *head;
    // The purge goes on after this entry; null: from the head.
    Entry *purgeAfter;
};

void FreeEntry(Entry *entry)
{
    XrLdapWipe(entry->key, entry->length);
    free(entry->key);
    delete entry;
}

}  // namespace

struct XrLdapCache {
    int64_t lifetime;
    std::mutex lock;
    Bucket buckets[XR_LDAP_CACHE_BUCKETS];

    bool Expired(const Entry *entry, int64_t now) const { return now - entry->time > lifetime; }

    Bucket &BucketOf(const unsigned char *key, int length)
    {
        int hash = XrLdapCacheHash(key, length);
        XrLdapLog(10, "LDAP: key hash value = %d", hash);
        return buckets[hash];
    }

    // Unlinks *link and frees it; a cursor resting on it goes back to the head.
    static void Remove(Bucket &bucket, Entry **link)
    {
        Entry *entry = *link;
        *link = entry->next;
        if (bucket.purgeAfter == entry)
            bucket.purgeAfter = nullptr;
        FreeEntry(entry);
    }
};

XrLdapCache *XrLdapCacheCreate(int32_t lifetimeSeconds)
{
    XrLdapCache *cache = new (std::nothrow) XrLdapCache();
    if (cache)
        cache->lifetime = lifetimeSeconds;
    return cache;
}

void XrLdapCacheDestroy(XrLdapCache *cache)
{
    if (!cache)
        return;
    for (Bucket &bucket : cache->buckets)
        while (bucket.head)
            XrLdapCache::Remove(bucket, &bucket.head);
    delete cache;
}

int XrLdapCacheHash(const unsigned char *key, int length)
{
    int sum = length;
    for (int i = 1; i < length; i += 2)
        sum += (int8_t)key[i];
    return (sum % XR_LDAP_CACHE_BUCKETS + XR_LDAP_CACHE_BUCKETS) % XR_LDAP_CACHE_BUCKETS;
}

int XrLdapCacheLookup(XrLdapCache *cache, const unsigned char *key, int length, int64_t now,
                      int *verdict)
{
    Bucket &bucket = cache->BucketOf(key, length);
    std::lock_guard<std::mutex> hold(cache->lock);
    for (Entry **link = &bucket.head; *link; link = &(*link)->next) {
        Entry *entry = *link;
        if (entry->length != length || (length && memcmp(entry->key, key, length) != 0))
            continue;
        if (cache->Expired(entry, now)) {
            XrLdapCache::Remove(bucket, link);
            return -1;
        }
        XrLdapLog(10, "LDAP: Cached AUTH_%s", entry->verdict == 0 ? "OK" : "FAIL");
        *verdict = entry->verdict;
        return 0;
    }
    return -1;
}

void XrLdapCacheAdd(XrLdapCache *cache, const unsigned char *key, int length, int verdict,
                    int64_t now)
{
    XrLdapLog(10, "LDAP: Add to Cache");
    if (length < 0 || length > UINT16_MAX)
        return;
    Bucket &bucket = cache->BucketOf(key, length);
    std::lock_guard<std::mutex> hold(cache->lock);
    Entry **link = bucket.purgeAfter ? &bucket.purgeAfter->next : &bucket.head;
    for (int looked = 0; looked < XR_LDAP_CACHE_PURGE && *link; looked++) {
        if (cache->Expired(*link, now)) {
            XrLdapCache::Remove(bucket, link);
        } else {
            bucket.purgeAfter = *link;
            link = &(*link)->next;
        }
    }
    if (!*link)
        bucket.purgeAfter = nullptr;

    Entry *entry = new (std::nothrow) Entry();
    unsigned char *copy = (unsigned char *)malloc(length ? length : 1);
    if (!entry || !copy) {
        delete entry;
        free(copy);
        return;
    }
    if (length)
        memcpy(copy, key, length);
    *entry = {bucket.head, copy, (uint16_t)length, verdict, now};
    bucket.head = entry;
}

int XrLdapCacheCount(XrLdapCache *cache)
{
    std::lock_guard<std::mutex> hold(cache->lock);
    int count = 0;
    for (const Bucket &bucket : cache->buckets)
        for (const Entry *entry = bucket.head; entry; entry = entry->next)
            count++;
    return count;
}
