/* Loading of plug-in modules, their configuration for use, the registration tables and the
 * host services handed to the modules. */
#include <stdlib.h>
#include <string.h>

#include "nt/nt_log.h"
#include "plugin_internal.h"
#include "xrcred.h"
#include "xrimpl.h"
#include "xrplugin_host.h"
#include "xrstr.h"

namespace {

/* A registered module: a copy of its instance, with a copy of its module record and options
 * so that the registration outlives the caller's plug-in list. */
struct Registration {
    XrPlugInInstance instance;
    XrPlugInModule module;
};

struct RegistrationTable {
    int32_t type;
    const char *logFormat;
    Registration *slots[XR_REG_SLOTS];
    int32_t highest;
};

RegistrationTable g_tables[] = {
    {XR_REG_CLIENT_AUTH, "Registering client authentication %s (ID %d)", {}, 0},
    {XR_REG_SERVER_AUTH, "Registering server authentication %s (ID %d)", {}, 0},
    {XR_REG_FILTER, "Registering filter %s (ID %d)", {}, 0},
    {XR_REG_CLIENT_COMMAND, "Registering client command %s (ID %d)", {}, 0},
    {XR_REG_SERVER_COMMAND, "Registering server command %s (ID %d)", {}, 0},
    {XR_REG_SERVER_CONFIG, "Registering server configuration %s (ID %d)", {}, 0},
    {XR_REG_CLIENT_CONFIG, "Registering client configuration %s (ID %d)", {}, 0},
};

int g_allowSave = 1;

RegistrationTable *FindTable(int32_t type)
{
    for (RegistrationTable &table : g_tables)
        if (table.type == type)
            return &table;
    return NULL;
}

Registration *FindRegistration(int32_t type, int32_t identifier)
{
    RegistrationTable *table = FindTable(type);
    if (!table || identifier < 0 || identifier >= XR_REG_SLOTS)
        return NULL;
    return table->slots[identifier];
}

/* The table a module of this type goes to on one side; 0 when it has none there. */
int32_t RegistrationType(int32_t side, int32_t type)
{
    if (side == XR_PLUGIN_CLIENT)
        return type == XR_PLUGIN_AUTH ? XR_REG_CLIENT_AUTH : 0;
    switch (type) {
    case XR_PLUGIN_AUTH:
        return XR_REG_SERVER_AUTH;
    case XR_PLUGIN_FILTER:
        return XR_REG_FILTER;
    case XR_PLUGIN_CONFIG:
        return XR_REG_SERVER_CONFIG;
    default:
        return 0;
    }
}

void FreeRegistration(Registration *registration)
{
    if (registration)
        free(registration->module.options);
    free(registration);
}

void Register(int32_t type, const XrPlugInInstance &instance)
{
    RegistrationTable *table = FindTable(type);
    if (!table) {
        XrLogWrite(NULL, XR_LOG_WARNING, 0, "Attempt to register plugin %s of invalid type %d",
                   instance.name, type);
        return;
    }
    XrLogWrite(NULL, XR_LOG_DETAIL, 0, table->logFormat, instance.name, instance.identifier);
    int32_t id = instance.identifier;
    if (id < 0 || id >= XR_REG_SLOTS || !instance.name[0])
        return;
    Registration *registration = (Registration *)calloc(1, sizeof *registration);
    if (!registration)
        return;
    registration->instance = instance;
    if (instance.module) {
        registration->module = *instance.module;
        registration->instance.module = &registration->module;
        if (!XrPlugInCopyOptions(instance.module->options, instance.module->optionCount,
                                 &registration->module.options)) {
            free(registration);
            return;
        }
    }
    FreeRegistration(table->slots[id]);
    table->slots[id] = registration;
    if (id > table->highest)
        table->highest = id;
}

const char *XRPLUGIN_CALL GetOption(const XrPlugInModule *module, const char *name)
{
    if (!module || !name)
        return NULL;
    for (int32_t o = 0; o < module->optionCount; ++o)
        if (_stricmp(module->options[o].name, name) == 0)
            return module->options[o].value;
    return NULL;
}

/* Services 1 to 7, for every module. */
void *XRPLUGIN_CALL LookupShort(int32_t service)
{
    switch (service) {
    case XR_SVC_LOG_OPEN:
        return (void *)&XrLogOpen;
    case XR_SVC_LOG_WRITE:
        return (void *)&XrLogWrite;
    case XR_SVC_LOG_CLOSE:
        return (void *)&XrLogClose;
    case XR_SVC_GET_MODULE:
        return (void *)&XrPlugInGetModule;
    case XR_SVC_LIST_IDS:
        return (void *)&XrPlugInListIds;
    case XR_SVC_SEND:
        return (void *)&XrIOSend;
    case XR_SVC_RECV:
        return (void *)&XrIORecv;
    default:
        return NULL;
    }
}

/* Services 1 to 15, for authentication modules. */
void *XRPLUGIN_CALL LookupFull(int32_t service)
{
    switch (service) {
    case XR_SVC_CC_OPEN:
        return (void *)&XrCCOpen;
    case XR_SVC_CC_DIALOG:
        return (void *)&XrCCDialog;
    case XR_SVC_CC_GET:
        return (void *)&XrCCGet;
    case XR_SVC_CC_SET:
        return (void *)&XrCCSet;
    case XR_SVC_CC_DELETE:
        return (void *)&XrCCDelete;
    case XR_SVC_CC_CLOSE:
        return (void *)&XrCCClose;
    case XR_SVC_NO_SAVE:
        return (void *)(intptr_t)!g_allowSave;
    case XR_SVC_CC_DIALOG2:
        return (void *)&XrCCDialog2;
    default:
        return LookupShort(service);
    }
}

const XrPlugInModuleDesc *FindDescriptor(const XrPlugInIdentRecord &ident, const char *name)
{
    for (int32_t d = 0; d < ident.moduleCount; ++d)
        if (strcmp(ident.modules[d].name, name) == 0)
            return &ident.modules[d];
    return NULL;
}

/* Options the host itself interprets need no declaration. */
bool IsHostOption(const char *name)
{
    static const char *const kNames[] = {"class", "type", "name", "identifier", "enable", "text"};
    for (const char *known : kNames)
        if (strcmp(known, name) == 0)
            return true;
    return false;
}

/* Warns about options the module does not declare for the side; never fails. */
void CheckOptions(const XrPlugInModule &module, const XrPlugInModuleDesc &desc, int32_t sideMask)
{
    for (int32_t o = 0; o < module.optionCount; ++o) {
        const char *name = module.options[o].name;
        if (IsHostOption(name))
            continue;
        bool declared = false;
        for (int32_t d = 0; !declared && d < desc.optionCount; ++d)
            declared = strcmp(desc.options[d].name, name) == 0
                       && (desc.options[d].type & sideMask & XR_PLUGIN_BOTH) != 0;
        if (!declared)
            XrLogWrite(NULL, XR_LOG_WARNING, 0, "Plug-in warning: %s is not a valid option", name);
    }
}

/* Runs the module's initialization and takes its identifier and name. */
int InitializeInstance(XrPlugInInstance &instance, XrPlugInOptionAccess &access)
{
    XrPlugInHost host = {XrPlugInBuiltinCode(instance.name),
                         instance.type == XR_PLUGIN_AUTH ? LookupFull : LookupShort};
    memset(&instance.ops, 0, sizeof instance.ops);
    if (!instance.init || instance.init(&access, &host, &instance.ops) == -1) {
        XrLogWrite(NULL, XR_LOG_WARNING, 0, "Plug-in: initialization of %s failed", instance.name);
        return -1;
    }
    instance.ops.name[sizeof instance.ops.name - 1] = '\0';
    const char *identifier = GetOption(instance.module, "identifier");
    instance.identifier = identifier ? (int32_t)strtol(identifier, NULL, 10)
                                     : instance.ops.identifier;
    const char *name = GetOption(instance.module, "name");
    XrStrCopy(instance.name, sizeof instance.name, name ? name : instance.ops.name);
    return 0;
}

} // namespace

int32_t XrPlugInBuiltinCode(const char *moduleName)
{
    static const struct {
        const char *name;
        int32_t code;
    } kBuiltins[] = {
        {"upwd", XR_PLUGIN_CODE_UPWD},
        {"null", XR_PLUGIN_CODE_NULL},
        {"ldap", XR_PLUGIN_CODE_LDAP},
        {"windom", XR_PLUGIN_CODE_WINDOM},
    };
    for (const auto &builtin : kBuiltins)
        if (strcmp(builtin.name, moduleName) == 0)
            return builtin.code;
    return XR_PLUGIN_CODE_OTHER;
}

int XRPLUGIN_CALL XrPlugInGetModule(int32_t type, int32_t identifier, XrPlugInInstance *out)
{
    const Registration *registration = FindRegistration(type, identifier);
    if (!registration || !out)
        return -1;
    *out = registration->instance;
    return 0;
}

int XRPLUGIN_CALL XrPlugInListIds(int32_t type, uint8_t *ids, int32_t *count)
{
    const RegistrationTable *table = FindTable(type);
    if (!table || !ids || !count)
        return -1;
    *count = 0;
    for (int32_t id = 0; id <= table->highest; ++id)
        if (table->slots[id])
            ids[(*count)++] = (uint8_t)id;
    return 0;
}

void XrPlugInSetAllowSave(int allow)
{
    g_allowSave = allow != 0;
}

int XrPlugInLoad(int32_t sideMask, XrPlugInEntry *entries, int32_t count,
                 XrPlugInInstance **instances, int32_t *instanceCount)
{
    if (!instances || !instanceCount || count < 0 || (count > 0 && !entries))
        return XR_PLUGIN_EINVALID;
    *instances = NULL;
    *instanceCount = 0;
    size_t total = 0;
    for (int32_t e = 0; e < count; ++e)
        total += entries[e].moduleCount > 0 ? (size_t)entries[e].moduleCount : 0;
    XrPlugInInstance *list = (XrPlugInInstance *)calloc(total ? total : 1, sizeof *list);
    if (!list) {
        XrLogWrite(NULL, XR_LOG_ERROR, 0, "Plug-in: malloc failed while loading modules");
        return -1;
    }
    int32_t taken = 0;
    for (int32_t e = 0; e < count; ++e) {
        XrPlugInEntry &entry = entries[e];
        XrPlugInIdentRecord *ident;
        if (XrPlugInOpenIdent(&entry, &ident) != 0) {
            free(list);
            return -1;
        }
        for (int32_t m = 0; m < entry.moduleCount; ++m) {
            XrPlugInModule &module = entry.modules[m];
            const XrPlugInModuleDesc *desc = FindDescriptor(*ident, module.name);
            if (!desc) {
                XrLogWrite(NULL, XR_LOG_ERROR, 0, "Plugin: module %s not found in %s",
                           module.name, entry.libraryPath);
                free(list);
                return -1;
            }
            if (sideMask == XR_PLUGIN_CLIENT && desc->type != XR_PLUGIN_AUTH)
                continue;
            XrPlugInInstance &instance = list[taken++];
            instance.version = XR_PLUGIN_VERSION;
            instance.moduleClass = desc->moduleClass;
            instance.type = desc->type;
            instance.init = desc->init;
            XrStrCopy(instance.name, sizeof instance.name, desc->name);
            instance.module = &module;
            XrStrCopy(instance.libraryPath, sizeof instance.libraryPath, entry.libraryPath);
            CheckOptions(module, *desc, sideMask);
            XrLogWrite(NULL, XR_LOG_DETAIL, 0, "Plug-in: %s in %s loaded", instance.name,
                       entry.libraryPath);
        }
    }
    *instances = list;
    *instanceCount = taken;
    return 0;
}

int XrPlugInConfigure(XrPlugInInstance *instances, int32_t count, int32_t sideMask)
{
    static const int32_t kSides[] = {XR_PLUGIN_SERVER, XR_PLUGIN_CLIENT};
    if (count < 0 || (count > 0 && !instances))
        return XR_PLUGIN_EINVALID;
    for (int32_t i = 0; i < count; ++i) {
        XrPlugInInstance &instance = instances[i];
        if (instance.module && instance.module->enabled == 0) {
            XrLogWrite(NULL, XR_LOG_DETAIL, 0, "Plug-in: %s is not to be enabled", instance.name);
            continue;
        }
        XrLogWrite(NULL, XR_LOG_DETAIL, 0, "Plug-in: %s is to be enabled", instance.name);
        XrPlugInOptionAccess access = {instance.module, GetOption};
        if (InitializeInstance(instance, access) != 0)
            return -1;
        for (int s = 0; s < 2; ++s) {
            int32_t side = kSides[s];
            int32_t type = RegistrationType(side, instance.type);
            if (!(sideMask & side) || !(instance.moduleClass & side) || !type)
                continue;
            if (FindRegistration(type, instance.identifier)) {
                XrLogWrite(NULL, XR_LOG_ERROR, 0, "Plug-in: %s not configured: identifier in use",
                           instance.name);
                return -1;
            }
            if (instance.ops.sideInit
                && instance.ops.sideInit(&access, side, &instance.sideData[s]) != 0) {
                XrLogWrite(NULL, XR_LOG_ERROR, 0, "Plug-in: initialization of %s failed",
                           instance.name);
                return -1;
            }
            instance.auth = side == XR_PLUGIN_SERVER ? instance.ops.serverAuth
                                                     : instance.ops.clientAuth;
            Register(type, instance);
        }
        XrLogWrite(NULL, XR_LOG_DETAIL, 0, "Plug-in: %s configured", instance.name);
    }
    return 0;
}
