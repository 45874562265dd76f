// A sub-record for record-list bindings: one name, stored as the value "Name" of its subkey.
#ifndef TESTS_CLIENT_GUI_NAMED_RECORD_H
#define TESTS_CLIENT_GUI_NAMED_RECORD_H

#include <memory>
#include <string>

#include "RegistryBinding.h"

class NamedRecord : public RegistryRecord {
public:
    explicit NamedRecord(const std::string &name = "") : name_(name) {}

    static std::unique_ptr<RegistryRecord> Make() { return std::make_unique<NamedRecord>(); }

    bool Load(HKEY parent, const char *subkey) override
    {
        RegistryKey key;
        return key.Open(parent, subkey) && key.ReadString("Name", name_);
    }
    bool Save(HKEY parent, const char *subkey) override
    {
        RegistryKey key;
        return key.Create(parent, subkey) && key.WriteString("Name", name_);
    }
    std::string DisplayText() const override { return name_; }

private:
    std::string name_;
};

inline std::string Names(const RecordList &records)
{
    std::string names;
    for (const auto &record : records)
        names += record->DisplayText() + ";";
    return names;
}

#endif
