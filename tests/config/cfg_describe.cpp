#include "cfg_describe.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace {

struct Field {
    const char *name;
    size_t offset;
    size_t size; // 0: a 32-bit number
};

#define XR_TEXT(type, field) {#field, offsetof(type, field), sizeof(type::field)}
#define XR_NUMBER(type, field) {#field, offsetof(type, field), 0}

// The fields of each kind that are not lists, in record order.
const std::vector<Field> kFields[XR_CFG_KINDS + 1] = {
    {},
    {XR_TEXT(XrCfgVariable, name), XR_TEXT(XrCfgVariable, value)},
    {XR_NUMBER(XrCfgAuth, number), XR_TEXT(XrCfgAuth, hostPattern), XR_TEXT(XrCfgAuth, portPattern)},
    {XR_NUMBER(XrCfgRoute, number), XR_TEXT(XrCfgRoute, routeField1), XR_TEXT(XrCfgRoute, routeField2),
     XR_TEXT(XrCfgRoute, routeField3)},
    {XR_NUMBER(XrCfgProxy, number), XR_NUMBER(XrCfgProxy, ruleKind), XR_TEXT(XrCfgProxy, destination),
     XR_TEXT(XrCfgProxy, destPort), XR_TEXT(XrCfgProxy, leadField)},
    {XR_NUMBER(XrCfgFilter, number), XR_NUMBER(XrCfgFilter, ruleKind), XR_TEXT(XrCfgFilter, hostPattern1),
     XR_TEXT(XrCfgFilter, portPattern1), XR_TEXT(XrCfgFilter, hostPattern2), XR_TEXT(XrCfgFilter, portPattern2),
     XR_TEXT(XrCfgFilter, selector)},
    {XR_NUMBER(XrCfgDns, number)},
    {XR_NUMBER(XrCfgDns, number)},
    {XR_NUMBER(XrCfgApp, number), XR_TEXT(XrCfgApp, name)},
    {XR_NUMBER(XrCfgApp, number), XR_TEXT(XrCfgApp, name)},
    {XR_NUMBER(XrCfgApp, number), XR_TEXT(XrCfgApp, name)},
    {XR_NUMBER(XrCfgPlugin, number), XR_NUMBER(XrCfgPlugin, pluginType), XR_NUMBER(XrCfgPlugin, pluginId),
     XR_TEXT(XrCfgPlugin, pluginName), XR_TEXT(XrCfgPlugin, pluginPath), XR_TEXT(XrCfgPlugin, pluginText)},
    {XR_NUMBER(XrCfgInterface, number), XR_TEXT(XrCfgInterface, interfaceName),
     XR_NUMBER(XrCfgInterface, interfaceFlags)},
    {XR_NUMBER(XrCfgBan, number), XR_TEXT(XrCfgBan, hostPattern), XR_TEXT(XrCfgBan, portPattern)},
};

// A text up to its terminator (or its size), quoted, with unprintable bytes escaped.
std::string Quoted(const char *text, size_t size)
{
    std::string quoted = "\"";
    for (size_t i = 0; i < size && text[i]; i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            snprintf(escaped, sizeof escaped, "\\x%02x", c);
            quoted += escaped;
        } else {
            quoted += static_cast<char>(c);
        }
    }
    return quoted + "\"";
}

}  // namespace

std::string DescribeRecord(int32_t kind, const void *record)
{
    const char *bytes = static_cast<const char *>(record);
    std::string text;
    for (const Field &field : kFields[kind]) {
        text += std::string(text.empty() ? "" : " ") + field.name + "=";
        if (field.size) {
            text += Quoted(bytes + field.offset, field.size);
        } else {
            int32_t number;
            memcpy(&number, bytes + field.offset, sizeof number);
            text += std::to_string(number);
        }
    }
    const XrCfgLayout &layout = XrCfgLayouts[kind];
    for (int32_t i = 0; i < layout.lists; i++) {
        const XrCfgListLayout &list = layout.list[i];
        const char *items;
        int32_t count;
        memcpy(&items, bytes + list.items, sizeof items);
        memcpy(&count, bytes + list.count, sizeof count);
        text += " [";
        for (int32_t item = 0; items && item < count; item++) {
            const char *at = items + item * list.itemSize;
            text += item ? "," : "";
            // A plug-in option is a name and a value; every other item is one text.
            if (kind == XR_CFG_KIND_PLUGIN)
                text += Quoted(at, sizeof(XrCfgPluginOption::name)) + "=" +
                        Quoted(at + offsetof(XrCfgPluginOption, value), sizeof(XrCfgPluginOption::value));
            else
                text += Quoted(at, list.itemSize);
        }
        text += "]";
    }
    return text;
}

std::string DescribeModel(XrCfg *cfg)
{
    std::string text;
    if (XrCfgCount(cfg, XR_CFG_KIND_SET) > 0) {
        const void **keys = nullptr;
        int32_t keyCount = 0;
        XrAaKeys(cfg->variables, &keys, &keyCount);
        std::vector<std::string> variables;
        for (int32_t i = 0; i < keyCount; i++) {
            XrCfgVariable variable = {};
            snprintf(variable.name, sizeof variable.name, "%s", static_cast<const char *>(keys[i]));
            if (XrCfgGet(cfg, XR_CFG_KIND_SET, &variable) == 0)
                variables.push_back(DescribeRecord(XR_CFG_KIND_SET, &variable));
        }
        free(keys);
        std::sort(variables.begin(), variables.end());
        for (const std::string &variable : variables)
            text += "set " + variable + "\n";
    }
    for (int32_t kind = XR_CFG_KIND_AUTH; kind <= XR_CFG_KINDS; kind++) {
        for (int32_t number = 1; number <= XrCfgCount(cfg, kind); number++) {
            std::vector<char> record(XrCfgLayouts[kind].size);
            memcpy(record.data(), &number, sizeof number);
            if (XrCfgGet(cfg, kind, record.data()) != 0) {
                text += "kind " + std::to_string(kind) + " record " + std::to_string(number) + " unreadable\n";
                continue;
            }
            text += "kind " + std::to_string(kind) + " " + DescribeRecord(kind, record.data()) + "\n";
            XrCfgFreeLists(kind, record.data());
        }
    }
    return text;
}
