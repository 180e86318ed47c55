#include "platform/host/MemoryRegistry.h"

#include <algorithm>
#include <cstring>

#include "platform/Text.h"

namespace platform::host {

namespace {

constexpr std::uint32_t kDelete = 0x00010000;
constexpr std::uint32_t kGenericRead = 0x80000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kGenericExecute = 0x20000000;
constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kMaximumAllowed = 0x02000000;
constexpr std::uint32_t kRootAccess = kKeyAllAccess;
constexpr std::uint32_t kAnyChange =
    kNotifyChangeName | kNotifyChangeAttributes | kNotifyChangeLastSet | kNotifyChangeSecurity;

// Lower-case mapping of one UTF-16 unit for the scripts names are written in.
// The registry folds names with the Unicode case tables (not just ASCII), and
// orders them by the folded UTF-16 units; this covers Latin, Greek, Cyrillic
// and the full-width Latin letters.
char16_t FoldUnit(char16_t c) {
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F) || (c >= 0xFF21 && c <= 0xFF3A)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 0x50);
    if (c == 0x178)
        return 0xFF;
    bool evenUpper = (c >= 0x100 && c <= 0x137 && c != 0x130) || (c >= 0x14A && c <= 0x177) ||
                     (c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) ||
                     (c >= 0x4D0 && c <= 0x52F);
    if (evenUpper && (c % 2) == 0)
        return static_cast<char16_t>(c + 1);
    bool oddUpper =
        (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E) || (c >= 0x4C1 && c <= 0x4CE);
    if (oddUpper && (c % 2) == 1)
        return static_cast<char16_t>(c + 1);
    return c;
}

// The folded UTF-16 form of a UTF-8 name: the key for lookups and ordering.
// Bytes that are not valid UTF-8 stand for themselves.
std::u16string Fold(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = b;
        std::size_t len = 1;
        if (b >= 0xC2 && b <= 0xDF) {
            len = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            len = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            len = 4;
        }
        if (b >= 0x80 && (i + len > s.size() || !text::IsValidUtf8(s.substr(i, len)))) {
            // A stray byte: kept apart from every real character.
            len = 1;
            cp = 0xDC00u + b;
        } else if (len > 1) {
            cp = b & (0xFFu >> (len + 1));
            for (std::size_t k = 1; k < len; ++k) {
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(FoldUnit(static_cast<char16_t>(cp)));
        }
        i += len;
    }
    return out;
}

std::uint32_t MapAccess(std::uint32_t access) {
    std::uint32_t mapped =
        access & ~(kKeyWow64_32Key | kKeyWow64_64Key | kGenericRead | kGenericWrite |
                   kGenericExecute | kGenericAll | kMaximumAllowed);
    if (access & (kGenericRead | kGenericExecute))
        mapped |= kKeyRead;
    if (access & kGenericWrite)
        mapped |= kKeyWrite;
    if (access & (kGenericAll | kMaximumAllowed))
        mapped |= kKeyAllAccess;
    return mapped;
}

std::vector<std::string_view> Components(std::string_view path) {
    std::vector<std::string_view> parts;
    for (std::string_view part : text::Split(path, '\\')) {
        if (!part.empty())
            parts.push_back(part);
    }
    return parts;
}

std::string Join(std::string_view base, std::string_view name) {
    std::string out(base);
    out += '\\';
    out += name;
    return out;
}

// Copies a name into a caller buffer with the Win32 size rules; on a short
// buffer reports the capacity needed (with the terminating zero).
Status CopyName(const std::string& value, char* name, std::uint32_t* nameSize) {
    auto needed = static_cast<std::uint32_t>(value.size() + 1);
    if (*nameSize < needed) {
        *nameSize = needed;
        return kErrorMoreData;
    }
    std::memcpy(name, value.data(), value.size());
    name[value.size()] = '\0';
    *nameSize = static_cast<std::uint32_t>(value.size());
    return kSuccess;
}

}  // namespace

struct MemoryRegistry::Node {
    struct Value {
        std::string name;
        std::u16string folded;
        std::uint32_t type = kRegNone;
        std::vector<unsigned char> data;
    };

    std::string name;
    Node* parent = nullptr;
    bool isVolatile = false;
    bool deleted = false;
    std::shared_ptr<Node> link;  // an alias stands for this key
    std::map<std::u16string, std::shared_ptr<Node>> children;
    std::vector<Value> values;

    Value* FindValue(std::string_view valueName) {
        std::u16string folded = Fold(valueName);
        for (Value& v : values) {
            if (v.folded == folded)
                return &v;
        }
        return nullptr;
    }
};

struct MemoryRegistry::Watch {
    HKey handle = kNullKey;
    const Node* node = nullptr;
    bool subtree = false;
    std::uint32_t filter = 0;
    bool done = false;
    Status result = kSuccess;
};

struct MemoryRegistry::Target {
    std::shared_ptr<Node> node;
    std::string path;
    bool created = false;
};

MemoryRegistry::MemoryRegistry() {
    auto makeRoot = [](const char* name) {
        auto node = std::make_shared<Node>();
        node->name = name;
        return node;
    };
    hklm_ = makeRoot("HKEY_LOCAL_MACHINE");
    hkcu_ = makeRoot("HKEY_CURRENT_USER");
    hku_ = makeRoot("HKEY_USERS");
    auto software = std::make_shared<Node>();
    software->name = "Software";
    software->parent = hklm_.get();
    hklm_->children[Fold("Software")] = software;
    classes_ = std::make_shared<Node>();
    classes_->name = "Classes";
    classes_->parent = software.get();
    software->children[Fold("Classes")] = classes_;
    auto userSoftware = std::make_shared<Node>();
    userSoftware->name = "Software";
    userSoftware->parent = hkcu_.get();
    hkcu_->children[Fold("Software")] = userSoftware;
}

MemoryRegistry::~MemoryRegistry() {
    Lock lock(mutex_);
    shuttingDown_ = true;
    for (Watch* w : watches_) {
        w->done = true;
        w->result = kErrorInvalidHandle;
    }
    changed_.notify_all();
    changed_.wait(lock, [this] { return watches_.empty(); });
}

Status MemoryRegistry::Resolve(HKey key, Handle* out) const {
    switch (key) {
        case kHkeyClassesRoot:
            *out = {classes_, kRootAccess, "HKEY_CLASSES_ROOT"};
            return kSuccess;
        case kHkeyCurrentUser:
            *out = {hkcu_, kRootAccess, "HKEY_CURRENT_USER"};
            return kSuccess;
        case kHkeyLocalMachine:
            *out = {hklm_, kRootAccess, "HKEY_LOCAL_MACHINE"};
            return kSuccess;
        case kHkeyUsers:
            *out = {hku_, kRootAccess, "HKEY_USERS"};
            return kSuccess;
        default:
            break;
    }
    auto it = handles_.find(key);
    if (it == handles_.end())
        return kErrorInvalidHandle;
    *out = it->second;
    return kSuccess;
}

Status MemoryRegistry::CallHook(std::string_view operation, const std::string& path) {
    std::shared_ptr<FaultHook> hook;
    {
        Lock lock(mutex_);
        hook = hook_;
    }
    if (!hook || !*hook)
        return kSuccess;
    return (*hook)(operation, path);
}

std::string MemoryRegistry::CanonicalPath(const Node* node) const {
    std::vector<const Node*> chain;
    for (const Node* n = node; n != nullptr; n = n->parent)
        chain.push_back(n);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty())
            path += '\\';
        path += (*it)->name;
    }
    return path;
}

bool MemoryRegistry::Denied(const std::string& canonicalPath, std::uint32_t access) const {
    if (denied_.empty())
        return false;
    auto it = denied_.find(Fold(canonicalPath));
    return it != denied_.end() && (it->second & access) != 0;
}

HKey MemoryRegistry::AddHandle(std::shared_ptr<Node> node, std::uint32_t access, std::string path) {
    HKey key = nextHandle_;
    nextHandle_ += 4;
    handles_[key] = Handle{std::move(node), access, std::move(path)};
    return key;
}

// Walks `subKey` below the handle's key, following the aliases and the 32-bit
// view, and creates what is missing when asked to. Lock held.
Status MemoryRegistry::Walk(const Handle& from, std::string_view subKey, std::uint32_t access,
                            bool create, bool isVolatile, Target* out) {
    if (!subKey.empty() && subKey.front() == '\\')
        return kErrorBadPathname;
    if (from.node->deleted)
        return kErrorKeyDeleted;
    std::vector<std::string_view> parts = Components(subKey);
    const Node* software = classes_->parent;
    const bool view32 = (access & kKeyWow64_32Key) != 0;
    static const std::u16string kWowNode = Fold("Wow6432Node");

    std::shared_ptr<Node> cur = from.node;
    std::string path = from.path;
    std::vector<std::string> missing;  // names still to create, in order
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::vector<std::string_view> step;
        if (view32 && missing.empty() && cur.get() == software && Fold(parts[i]) != kWowNode) {
            step.push_back("Wow6432Node");
        }
        step.push_back(parts[i]);
        for (std::string_view name : step) {
            if (!missing.empty()) {
                missing.emplace_back(name);
                continue;
            }
            auto it = cur->children.find(Fold(name));
            if (it == cur->children.end()) {
                missing.emplace_back(name);
                continue;
            }
            cur = it->second->link ? it->second->link : it->second;
            path = Join(path, name);
        }
    }

    const std::uint32_t mapped = MapAccess(access);
    if (missing.empty()) {
        if (Denied(CanonicalPath(cur.get()), mapped))
            return kErrorAccessDenied;
        *out = Target{cur, path, false};
        return kSuccess;
    }
    if (!create)
        return kErrorFileNotFound;
    // Creating a subkey needs the right on the handle it is created under;
    // deeper keys are created through keys opened on the caller's behalf.
    if (cur == from.node && (from.access & kKeyCreateSubKey) == 0)
        return kErrorAccessDenied;
    if (cur->isVolatile && !isVolatile)
        return kErrorChildMustBeVolatile;
    std::string finalPath = CanonicalPath(cur.get());
    for (const std::string& name : missing)
        finalPath = Join(finalPath, name);
    if (Denied(finalPath, mapped))
        return kErrorAccessDenied;
    for (const std::string& name : missing) {
        auto node = std::make_shared<Node>();
        node->name = name;
        node->parent = cur.get();
        node->isVolatile = isVolatile;
        cur->children[Fold(name)] = node;
        Notify(cur.get(), kNotifyChangeName);
        cur = node;
        path = Join(path, name);
    }
    *out = Target{cur, path, true};
    return kSuccess;
}

namespace {

// The full path an operation names, for the fault hook.
std::string NamedPath(std::string_view base, std::string_view subKey) {
    std::string path(base);
    for (std::string_view part : Components(subKey))
        path = Join(path, part);
    return path;
}

}  // namespace

Status MemoryRegistry::OpenKey(HKey parent, std::string_view subKey, std::uint32_t access,
                               HKey* result) {
    if (result == nullptr)
        return kErrorInvalidParameter;
    Handle from;
    Lock lock;
    if (Status s = Enter(parent, "OpenKey", &subKey, &lock, &from))
        return s;
    Target target;
    if (!FindUserClass(parent, from, subKey, access, &target)) {
        if (Status s = Walk(from, subKey, access, false, false, &target))
            return s;
    }
    *result = AddHandle(target.node, MapAccess(access), target.path);
    return kSuccess;
}

bool MemoryRegistry::FindUserClass(HKey parent, const Handle& from, std::string_view subKey,
                                   std::uint32_t access, Target* out) {
    if (parent != kHkeyClassesRoot || subKey.empty())
        return false;
    auto software = hkcu_->children.find(Fold("Software"));
    if (software == hkcu_->children.end())
        return false;
    auto classes = software->second->children.find(Fold("Classes"));
    if (classes == software->second->children.end())
        return false;
    const Handle user{classes->second, from.access, from.path};
    return Walk(user, subKey, access, false, false, out) == kSuccess;
}

Status MemoryRegistry::CreateKey(HKey parent, std::string_view subKey, std::uint32_t options,
                                 std::uint32_t access, HKey* result, bool* created) {
    if (result == nullptr)
        return kErrorInvalidParameter;
    Handle from;
    Lock lock;
    if (Status s = Enter(parent, "CreateKey", &subKey, &lock, &from))
        return s;
    Target target;
    const bool isVolatile = (options & kRegOptionVolatile) != 0;
    if (FindUserClass(parent, from, subKey, access, &target)) {
        target.created = false;
    } else if (Status s = Walk(from, subKey, access, true, isVolatile, &target)) {
        return s;
    }
    *result = AddHandle(target.node, MapAccess(access), target.path);
    if (created != nullptr)
        *created = target.created;
    return kSuccess;
}

Status MemoryRegistry::Enter(HKey key, std::string_view operation, const std::string_view* subKey,
                             Lock* lock, Handle* h) {
    {
        Lock first(mutex_);
        if (Status s = Resolve(key, h))
            return s;
    }
    // The hook runs without the lock, so it may use the registry itself; the
    // handle is looked up again afterwards in case the hook closed it.
    if (Status s = CallHook(operation, subKey != nullptr ? NamedPath(h->path, *subKey) : h->path))
        return s;
    *lock = Lock(mutex_);
    return Resolve(key, h);
}

Status MemoryRegistry::CloseKey(HKey key) {
    if (!RootName(key).empty())
        return kSuccess;
    Lock lock(mutex_);
    auto it = handles_.find(key);
    if (it == handles_.end())
        return kErrorInvalidHandle;
    handles_.erase(it);
    bool woke = false;
    for (Watch* w : watches_) {
        if (w->handle == key && !w->done) {
            w->done = true;
            w->result = kErrorInvalidHandle;
            woke = true;
        }
    }
    if (woke)
        changed_.notify_all();
    return kSuccess;
}

Status MemoryRegistry::QueryValue(HKey key, std::string_view name, std::uint32_t* type, void* data,
                                  std::uint32_t* size) {
    Handle h;
    Lock lock;
    if (Status s = Enter(key, "QueryValue", nullptr, &lock, &h))
        return s;
    if ((h.access & kKeyQueryValue) == 0)
        return kErrorAccessDenied;
    if (h.node->deleted)
        return kErrorKeyDeleted;
    if (data != nullptr && size == nullptr)
        return kErrorInvalidParameter;
    Node::Value* v = h.node->FindValue(name);
    if (v == nullptr)
        return kErrorFileNotFound;
    if (type != nullptr)
        *type = v->type;
    auto needed = static_cast<std::uint32_t>(v->data.size());
    if (data != nullptr) {
        if (*size < needed) {
            *size = needed;
            return kErrorMoreData;
        }
        if (needed > 0)
            std::memcpy(data, v->data.data(), needed);
    }
    if (size != nullptr)
        *size = needed;
    return kSuccess;
}

Status MemoryRegistry::SetValue(HKey key, std::string_view name, std::uint32_t type,
                                const void* data, std::uint32_t size) {
    Handle h;
    Lock lock;
    if (Status s = Enter(key, "SetValue", nullptr, &lock, &h))
        return s;
    if ((h.access & kKeySetValue) == 0)
        return kErrorAccessDenied;
    if (h.node->deleted)
        return kErrorKeyDeleted;
    if (data == nullptr && size > 0)
        return kErrorNoAccess;
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::vector<unsigned char> stored(bytes, bytes + (data != nullptr ? size : 0));
    Node::Value* v = h.node->FindValue(name);
    if (v != nullptr) {
        // Writing the same type and data again is no change to report.
        if (v->type == type && v->data == stored)
            return kSuccess;
        v->type = type;
        v->data = std::move(stored);
    } else {
        h.node->values.push_back(
            Node::Value{std::string(name), Fold(name), type, std::move(stored)});
    }
    Notify(h.node.get(), kNotifyChangeLastSet);
    return kSuccess;
}

Status MemoryRegistry::DeleteValue(HKey key, std::string_view name) {
    Handle h;
    Lock lock;
    if (Status s = Enter(key, "DeleteValue", nullptr, &lock, &h))
        return s;
    if ((h.access & kKeySetValue) == 0)
        return kErrorAccessDenied;
    if (h.node->deleted)
        return kErrorKeyDeleted;
    Node::Value* v = h.node->FindValue(name);
    if (v == nullptr)
        return kErrorFileNotFound;
    h.node->values.erase(h.node->values.begin() + (v - h.node->values.data()));
    Notify(h.node.get(), kNotifyChangeLastSet);
    return kSuccess;
}

Status MemoryRegistry::DeleteKey(HKey parent, std::string_view subKey) {
    Handle from;
    Lock lock;
    if (Status s = Enter(parent, "DeleteKey", &subKey, &lock, &from))
        return s;
    Target target;
    if (!FindUserClass(parent, from, subKey, kDelete, &target)) {
        if (Status s = Walk(from, subKey, kDelete, false, false, &target))
            return s;
    }
    Node* node = target.node.get();
    // Roots, the key HKEY_CLASSES_ROOT stands for, aliases and keys with
    // subkeys stay.
    if (node->parent == nullptr || node == classes_.get() || !node->children.empty()) {
        return kErrorAccessDenied;
    }
    Node* owner = node->parent;
    owner->children.erase(Fold(node->name));
    node->deleted = true;
    node->parent = nullptr;
    Notify(owner, kNotifyChangeName);
    WakeWatchersOf(node, kErrorKeyDeleted);
    return kSuccess;
}

Status MemoryRegistry::EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                               char* className, std::uint32_t* classSize) {
    Handle h;
    Lock lock;
    if (Status s = Enter(key, "EnumKey", nullptr, &lock, &h))
        return s;
    if ((h.access & kKeyEnumerateSubKeys) == 0)
        return kErrorAccessDenied;
    if (h.node->deleted)
        return kErrorKeyDeleted;
    if (name == nullptr || nameSize == nullptr)
        return kErrorInvalidParameter;
    if (index >= h.node->children.size())
        return kErrorNoMoreItems;
    auto it = h.node->children.begin();
    std::advance(it, index);
    if (Status s = CopyName(it->second->name, name, nameSize))
        return s;
    if (className != nullptr && classSize != nullptr) {
        // Keys carry no class names here.
        if (*classSize == 0) {
            *classSize = 1;
            return kErrorMoreData;
        }
        className[0] = '\0';
        *classSize = 0;
    }
    return kSuccess;
}

Status MemoryRegistry::EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                                 std::uint32_t* type, void* data, std::uint32_t* dataSize) {
    Handle h;
    Lock lock;
    if (Status s = Enter(key, "EnumValue", nullptr, &lock, &h))
        return s;
    if ((h.access & kKeyQueryValue) == 0)
        return kErrorAccessDenied;
    if (h.node->deleted)
        return kErrorKeyDeleted;
    if (name == nullptr || nameSize == nullptr)
        return kErrorInvalidParameter;
    if (data != nullptr && dataSize == nullptr)
        return kErrorInvalidParameter;
    if (index >= h.node->values.size())
        return kErrorNoMoreItems;
    const Node::Value& v = h.node->values[index];
    auto needed = static_cast<std::uint32_t>(v.data.size());
    Status nameStatus = CopyName(v.name, name, nameSize);
    if (type != nullptr)
        *type = v.type;
    if (nameStatus != kSuccess) {
        if (dataSize != nullptr)
            *dataSize = needed;
        return nameStatus;
    }
    if (data != nullptr) {
        if (*dataSize < needed) {
            *dataSize = needed;
            return kErrorMoreData;
        }
        if (needed > 0)
            std::memcpy(data, v.data.data(), needed);
    }
    if (dataSize != nullptr)
        *dataSize = needed;
    return kSuccess;
}

Status MemoryRegistry::QueryInfoKey(HKey key, KeyInfo* info) {
    Handle h;
    Lock lock;
    if (Status s = Enter(key, "QueryInfoKey", nullptr, &lock, &h))
        return s;
    if ((h.access & kKeyQueryValue) == 0)
        return kErrorAccessDenied;
    if (h.node->deleted)
        return kErrorKeyDeleted;
    if (info == nullptr)
        return kErrorInvalidParameter;
    KeyInfo out;
    out.subKeys = static_cast<std::uint32_t>(h.node->children.size());
    for (const auto& [folded, child] : h.node->children) {
        out.maxSubKeyLen =
            std::max(out.maxSubKeyLen, static_cast<std::uint32_t>(child->name.size()));
    }
    out.values = static_cast<std::uint32_t>(h.node->values.size());
    for (const Node::Value& v : h.node->values) {
        out.maxValueNameLen =
            std::max(out.maxValueNameLen, static_cast<std::uint32_t>(v.name.size()));
        out.maxValueLen = std::max(out.maxValueLen, static_cast<std::uint32_t>(v.data.size()));
    }
    *info = out;
    return kSuccess;
}

Status MemoryRegistry::NotifyChangeKeyValue(HKey key, bool watchSubtree, std::uint32_t filter) {
    Handle h;
    Lock lock;
    if (Status s = Enter(key, "NotifyChangeKeyValue", nullptr, &lock, &h))
        return s;
    if ((h.access & kKeyNotify) == 0)
        return kErrorAccessDenied;
    if (h.node->deleted)
        return kErrorKeyDeleted;
    if ((filter & ~kAnyChange) != 0 || filter == 0)
        return kErrorInvalidParameter;
    if (shuttingDown_)
        return kErrorInvalidHandle;
    Watch watch;
    watch.handle = key;
    watch.node = h.node.get();
    watch.subtree = watchSubtree;
    watch.filter = filter;
    watches_.push_back(&watch);
    changed_.wait(lock, [&watch] { return watch.done; });
    watches_.erase(std::find(watches_.begin(), watches_.end(), &watch));
    changed_.notify_all();  // the destructor waits for the list to empty
    return watch.result;
}

Status MemoryRegistry::ConnectRegistry(std::string_view, HKey, HKey* result) {
    if (result != nullptr)
        *result = kNullKey;
    return kErrorNotSupported;
}

void MemoryRegistry::Notify(const Node* changed, std::uint32_t change) {
    bool woke = false;
    for (Watch* w : watches_) {
        if (w->done || (w->filter & change) == 0)
            continue;
        bool hit = w->node == changed;
        if (!hit && w->subtree) {
            for (const Node* n = changed; n != nullptr && !hit; n = n->parent)
                hit = n == w->node;
        }
        if (hit) {
            w->done = true;
            w->result = kSuccess;
            woke = true;
        }
    }
    if (woke)
        changed_.notify_all();
}

void MemoryRegistry::WakeWatchersOf(const Node* node, Status result) {
    bool woke = false;
    for (Watch* w : watches_) {
        if (!w->done && w->node == node) {
            w->done = true;
            w->result = result;
            woke = true;
        }
    }
    if (woke)
        changed_.notify_all();
}

void MemoryRegistry::DenyAccess(HKey root, std::string_view path, std::uint32_t deniedMask) {
    Lock lock(mutex_);
    Handle h;
    if (Resolve(root, &h) != kSuccess)
        return;
    std::string canonical = CanonicalPath(h.node.get());
    std::vector<std::string_view> parts = Components(path);
    std::size_t i = 0;
    // Through an alias (HKEY_USERS\<sid>) the denial lands on the real key.
    if (h.node == hku_ && !parts.empty()) {
        auto it = hku_->children.find(Fold(parts[0]));
        if (it != hku_->children.end() && it->second->link) {
            canonical = CanonicalPath(it->second->link.get());
            i = 1;
        }
    }
    for (; i < parts.size(); ++i)
        canonical = Join(canonical, parts[i]);
    std::u16string folded = Fold(canonical);
    if (deniedMask == 0) {
        denied_.erase(folded);
    } else {
        denied_[folded] = MapAccess(deniedMask);
    }
}

void MemoryRegistry::SetFaultHook(FaultHook hook) {
    Lock lock(mutex_);
    hook_ = hook ? std::make_shared<FaultHook>(std::move(hook)) : nullptr;
}

std::size_t MemoryRegistry::WatchCount() const {
    Lock lock(mutex_);
    return watches_.size();
}

void MemoryRegistry::LinkCurrentUser(std::string_view sid) {
    Lock lock(mutex_);
    auto node = std::make_shared<Node>();
    node->name = std::string(sid);
    node->parent = hku_.get();
    node->link = hkcu_;
    hku_->children[Fold(sid)] = node;
}

std::size_t MemoryRegistry::OpenHandleCount() const {
    Lock lock(mutex_);
    return handles_.size();
}

std::size_t MemoryRegistry::PendingNotifyCount() const {
    Lock lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(watches_.begin(), watches_.end(), [](const Watch* w) { return !w->done; }));
}

MemoryRegistry::Node* MemoryRegistry::FindPath(HKey root, std::string_view path) const {
    Handle h;
    if (Resolve(root, &h) != kSuccess)
        return nullptr;
    Node* cur = h.node.get();
    for (std::string_view part : Components(path)) {
        if (cur->link)
            cur = cur->link.get();
        auto it = cur->children.find(Fold(part));
        if (it == cur->children.end())
            return nullptr;
        cur = it->second.get();
    }
    return cur;
}

bool MemoryRegistry::IsVolatile(HKey root, std::string_view path) const {
    Lock lock(mutex_);
    const Node* node = FindPath(root, path);
    return node != nullptr && node->isVolatile;
}

bool MemoryRegistry::IsLink(HKey root, std::string_view path) const {
    Lock lock(mutex_);
    const Node* node = FindPath(root, path);
    return node != nullptr && node->link != nullptr;
}

}  // namespace platform::host
