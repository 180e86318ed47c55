#include "platform/host/HiveFile.h"

#include <fcntl.h>
#include <hivex.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/Text.h"

namespace platform::host {

namespace {

// Keys nest at most this deep in the registry.
constexpr int kMaxDepth = 512;

// What hivex hands out with malloc.
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T>
using Malloced = std::unique_ptr<T, FreeDeleter>;

std::string Reason(const std::string& file, const char* what) {
    int code = errno;
    std::string message = file + ": " + what;
    if (code != 0)
        message += std::string(" (") + std::strerror(code) + ")";
    return message;
}

bool IsStringType(std::uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

struct Value {
    std::string name;
    std::uint32_t type = kRegNone;
    std::string data;  // as the in-memory registry holds it (strings in UTF-8)
    std::string raw;   // as the hive holds it (hive values only)
};

// ---- in-memory side ---------------------------------------------------------

bool MemoryValues(MemoryRegistry& reg, HKey key, std::vector<Value>* out) {
    KeyInfo info;
    if (reg.QueryInfoKey(key, &info) != kSuccess)
        return false;
    std::vector<char> name(info.maxValueNameLen + 1);
    std::string data(info.maxValueLen, '\0');
    for (std::uint32_t i = 0; i < info.values; ++i) {
        std::uint32_t nameSize = static_cast<std::uint32_t>(name.size());
        std::uint32_t dataSize = static_cast<std::uint32_t>(data.size());
        Value v;
        if (reg.EnumValue(key, i, name.data(), &nameSize, &v.type, data.data(), &dataSize) !=
            kSuccess)
            return false;
        v.name.assign(name.data(), nameSize);
        v.data.assign(data.data(), dataSize);
        out->push_back(std::move(v));
    }
    return true;
}

bool MemorySubKeys(MemoryRegistry& reg, HKey key, std::vector<std::string>* out) {
    KeyInfo info;
    if (reg.QueryInfoKey(key, &info) != kSuccess)
        return false;
    std::vector<char> name(info.maxSubKeyLen + 1);
    for (std::uint32_t i = 0; i < info.subKeys; ++i) {
        std::uint32_t size = static_cast<std::uint32_t>(name.size());
        if (reg.EnumKey(key, i, name.data(), &size, nullptr, nullptr) != kSuccess)
            return false;
        out->emplace_back(name.data(), size);
    }
    return true;
}

bool IsEmptyKey(MemoryRegistry& reg, HKey parent, const std::string& name) {
    HKey key = kNullKey;
    if (reg.OpenKey(parent, name, kKeyRead, &key) != kSuccess)
        return false;
    KeyInfo info;
    bool empty = reg.QueryInfoKey(key, &info) == kSuccess && info.subKeys == 0 && info.values == 0;
    reg.CloseKey(key);
    return empty;
}

// Closes an in-memory key when it goes out of scope.
class MemoryKey {
  public:
    MemoryKey(MemoryRegistry& reg) : reg_(reg) {}
    ~MemoryKey() {
        if (key_ != kNullKey)
            reg_.CloseKey(key_);
    }
    MemoryKey(const MemoryKey&) = delete;
    MemoryKey& operator=(const MemoryKey&) = delete;
    HKey* out() { return &key_; }
    HKey get() const { return key_; }

  private:
    MemoryRegistry& reg_;
    HKey key_ = kNullKey;
};

void PutLe32(std::string& buffer, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        buffer[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutLe16(std::string& buffer, std::size_t at, std::uint16_t value) {
    buffer[at] = static_cast<char>(value & 0xFF);
    buffer[at + 1] = static_cast<char>(value >> 8);
}

std::uint32_t GetLe32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    return v;
}

bool SyncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

// ---- the empty hive ---------------------------------------------------------

bool WriteEmptyHive(const std::string& path, std::string* error) {
    // The base block (4 KiB), then one 4 KiB bin holding the root key, its
    // security cell and one free cell for the rest.
    constexpr std::size_t kBase = 0x1000;
    constexpr std::uint32_t kBinSize = 0x1000;
    constexpr std::uint32_t kRootCell = 0x20;  // offsets count from the first bin
    constexpr std::uint32_t kSecurityCell = 0x78;
    constexpr std::uint32_t kFreeCell = 0xA8;
    const std::string rootName = "ROOT";
    std::string hive(kBase + kBinSize, '\0');

    std::memcpy(hive.data(), "regf", 4);
    PutLe32(hive, 0x04, 1);  // sequence numbers, equal: cleanly written
    PutLe32(hive, 0x08, 1);
    PutLe32(hive, 0x14, 1);  // format 1.3
    PutLe32(hive, 0x18, 3);
    PutLe32(hive, 0x1C, 0);  // primary file
    PutLe32(hive, 0x20, 1);  // direct memory load
    PutLe32(hive, 0x24, kRootCell);
    PutLe32(hive, 0x28, kBinSize);
    PutLe32(hive, 0x2C, 1);
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < 0x1FC; i += 4)
        sum ^= GetLe32(hive.data() + i);
    PutLe32(hive, 0x1FC, sum);

    std::memcpy(hive.data() + kBase, "hbin", 4);
    PutLe32(hive, kBase + 0x04, 0);
    PutLe32(hive, kBase + 0x08, kBinSize);

    // The root key: allocated cells carry their size negated.
    std::size_t nk = kBase + kRootCell;
    PutLe32(hive, nk,
            static_cast<std::uint32_t>(-static_cast<std::int32_t>(kSecurityCell - kRootCell)));
    std::memcpy(hive.data() + nk + 4, "nk", 2);
    PutLe16(hive, nk + 0x06, 0x2C);        // hive entry, not deletable, ASCII name
    PutLe32(hive, nk + 0x14, 0xFFFFFFFF);  // parent: none
    PutLe32(hive, nk + 0x20, 0xFFFFFFFF);  // subkey lists
    PutLe32(hive, nk + 0x24, 0xFFFFFFFF);
    PutLe32(hive, nk + 0x2C, 0xFFFFFFFF);  // value list
    PutLe32(hive, nk + 0x30, kSecurityCell);
    PutLe32(hive, nk + 0x34, 0xFFFFFFFF);  // class name
    PutLe16(hive, nk + 0x4C, static_cast<std::uint16_t>(rootName.size()));
    std::memcpy(hive.data() + nk + 0x50, rootName.data(), rootName.size());

    // A self-relative security descriptor with nothing in it, in a list of
    // one.
    std::size_t sk = kBase + kSecurityCell;
    PutLe32(hive, sk,
            static_cast<std::uint32_t>(-static_cast<std::int32_t>(kFreeCell - kSecurityCell)));
    std::memcpy(hive.data() + sk + 4, "sk", 2);
    PutLe32(hive, sk + 0x08, kSecurityCell);
    PutLe32(hive, sk + 0x0C, kSecurityCell);
    PutLe32(hive, sk + 0x10, 1);   // one key refers to it
    PutLe32(hive, sk + 0x14, 20);  // descriptor length
    hive[sk + 0x18] = 1;           // revision
    PutLe16(hive, sk + 0x1A, 0x8000);

    PutLe32(hive, kBase + kFreeCell, kBinSize - kFreeCell);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(hive.data(), static_cast<std::streamsize>(hive.size()));
    out.close();
    if (!out) {
        *error = "Cannot write " + path;
        return false;
    }
    return true;
}

// ---- the mounted hive -------------------------------------------------------

struct MountedHive::Impl {
    hive_h* h = nullptr;
    std::string file;
    MemoryRegistry* reg = nullptr;
    HKey root = kNullKey;
    std::string keyPath;
    std::map<std::string, std::string> aliases;  // hive name -> registry name
    // Keys the registry held below the mount before it was loaded: left out
    // of the hive while they stay empty.
    std::set<std::string> before;
    std::set<hive_node_h> seen;
    std::vector<std::string> excluded;
    std::string error;

    bool Excluded(const std::string& path) const {
        for (const std::string& e : excluded)
            if (text::EqualsNoCase(e, path))
                return true;
        return false;
    }

    ~Impl() {
        if (h != nullptr)
            hivex_close(h);
    }

    bool Fail(const char* what) {
        error = Reason(file, what);
        return false;
    }

    std::string RegistryName(const std::string& hiveName, int depth) const {
        if (depth == 0) {
            for (const auto& [from, to] : aliases)
                if (text::EqualsNoCase(from, hiveName))
                    return to;
        }
        return hiveName;
    }

    std::string HiveName(const std::string& registryName, int depth) const {
        if (depth == 0) {
            for (const auto& [from, to] : aliases)
                if (text::EqualsNoCase(to, registryName))
                    return from;
        }
        return registryName;
    }

    bool HiveValues(hive_node_h node, std::vector<Value>* out) {
        errno = 0;
        Malloced<hive_value_h> values(hivex_node_values(h, node));
        if (!values)
            return Fail("damaged hive: unreadable value list");
        for (hive_value_h* v = values.get(); *v != 0; ++v) {
            Value value;
            errno = 0;
            Malloced<char> name(hivex_value_key(h, *v));
            if (!name)
                return Fail("damaged hive: unreadable value name");
            value.name = name.get();
            hive_type type{};
            std::size_t length = 0;
            errno = 0;
            Malloced<char> data(hivex_value_value(h, *v, &type, &length));
            if (!data && length != 0)
                return Fail("damaged hive: unreadable value data");
            value.type = static_cast<std::uint32_t>(type);
            if (data)
                value.raw.assign(data.get(), length);
            value.data = IsStringType(value.type) ? text::Utf16LeToUtf8(value.raw) : value.raw;
            out->push_back(std::move(value));
        }
        return true;
    }

    bool HiveChildren(hive_node_h node, std::vector<std::pair<hive_node_h, std::string>>* out) {
        errno = 0;
        Malloced<hive_node_h> children(hivex_node_children(h, node));
        if (!children)
            return Fail("damaged hive: unreadable subkey list");
        for (hive_node_h* c = children.get(); *c != 0; ++c) {
            errno = 0;
            Malloced<char> name(hivex_node_name(h, *c));
            if (!name)
                return Fail("damaged hive: unreadable key name");
            std::string text = name.get();
            if (text.empty() || text.find('\\') != std::string::npos)
                return Fail("damaged hive: a key name that cannot be");
            out->emplace_back(*c, std::move(text));
        }
        return true;
    }

    bool LoadNode(hive_node_h node, HKey into, int depth) {
        if (depth > kMaxDepth)
            return Fail("damaged hive: keys nest too deep");
        // A subkey list that leads back to a key already read would never end.
        if (!seen.insert(node).second)
            return Fail("damaged hive: a key is listed twice");
        std::vector<Value> values;
        if (!HiveValues(node, &values))
            return false;
        for (const Value& v : values) {
            if (Status s = reg->SetValue(into, v.name, v.type, v.data.data(),
                                         static_cast<std::uint32_t>(v.data.size()));
                s != kSuccess) {
                error = file + ": cannot store a value (error " + std::to_string(s) + ")";
                return false;
            }
        }
        std::vector<std::pair<hive_node_h, std::string>> children;
        if (!HiveChildren(node, &children))
            return false;
        for (const auto& [child, name] : children) {
            MemoryKey key(*reg);
            if (Status s = reg->CreateKey(into, RegistryName(name, depth), kRegOptionNonVolatile,
                                          kKeyAllAccess, key.out(), nullptr);
                s != kSuccess) {
                error = file + ": cannot create a key (error " + std::to_string(s) + ")";
                return false;
            }
            if (!LoadNode(child, key.get(), depth + 1))
                return false;
        }
        return true;
    }

    static bool SameValues(const std::vector<Value>& a, const std::vector<Value>& b) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (a[i].name != b[i].name || a[i].type != b[i].type || a[i].data != b[i].data)
                return false;
        }
        return true;
    }

    bool SaveValues(hive_node_h node, HKey from, bool* changed) {
        std::vector<Value> wanted, stored;
        if (!MemoryValues(*reg, from, &wanted)) {
            error = file + ": cannot read the registry's values";
            return false;
        }
        if (!HiveValues(node, &stored))
            return false;
        if (SameValues(wanted, stored))
            return true;
        // Values left as they were keep their exact bytes (a string that was
        // not UTF-16 stays as it was).
        for (Value& v : wanted) {
            v.raw = IsStringType(v.type) ? text::Utf8ToUtf16Le(v.data) : v.data;
            for (const Value& old : stored) {
                if (text::EqualsNoCase(old.name, v.name) && old.type == v.type &&
                    old.data == v.data) {
                    v.raw = old.raw;
                    break;
                }
            }
        }
        std::vector<hive_set_value> set(wanted.size());
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            set[i].key = wanted[i].name.data();
            set[i].t = static_cast<hive_type>(wanted[i].type);
            set[i].len = wanted[i].raw.size();
            set[i].value = wanted[i].raw.data();
        }
        errno = 0;
        if (hivex_node_set_values(h, node, set.size(), set.data(), 0) != 0)
            return Fail("cannot write values into the hive");
        *changed = true;
        return true;
    }

    bool SaveNode(hive_node_h node, HKey from, int depth, const std::string& path, bool* changed) {
        if (depth > kMaxDepth)
            return Fail("keys nest too deep");
        if (!SaveValues(node, from, changed))
            return false;
        std::vector<std::pair<hive_node_h, std::string>> children;
        if (!HiveChildren(node, &children))
            return false;
        auto below = [&path](const std::string& name) {
            return path.empty() ? name : path + "\\" + name;
        };
        for (const auto& [child, name] : children) {
            if (Excluded(below(RegistryName(name, depth))))
                continue;
            MemoryKey key(*reg);
            Status s = reg->OpenKey(from, RegistryName(name, depth), kKeyRead, key.out());
            if (s == kErrorFileNotFound) {
                errno = 0;
                if (hivex_node_delete_child(h, child) != 0)
                    return Fail("cannot delete a key from the hive");
                *changed = true;
                continue;
            }
            if (s != kSuccess) {
                error = file + ": cannot read the registry (error " + std::to_string(s) + ")";
                return false;
            }
            if (!SaveNode(child, key.get(), depth + 1, below(RegistryName(name, depth)), changed))
                return false;
        }
        std::vector<std::string> names;
        if (!MemorySubKeys(*reg, from, &names)) {
            error = file + ": cannot read the registry's keys";
            return false;
        }
        for (const std::string& name : names) {
            if (Excluded(below(name)))
                continue;
            std::string hiveName = HiveName(name, depth);
            errno = 0;
            if (hivex_node_get_child(h, node, hiveName.c_str()) != 0)
                continue;
            if (errno != 0)
                return Fail("damaged hive: unreadable subkey list");
            if (depth == 0 && before.count(text::ToLower(name)) != 0 &&
                IsEmptyKey(*reg, from, name))
                continue;
            errno = 0;
            hive_node_h added = hivex_node_add_child(h, node, hiveName.c_str());
            if (added == 0)
                return Fail("cannot add a key to the hive");
            *changed = true;
            MemoryKey key(*reg);
            if (reg->OpenKey(from, name, kKeyRead, key.out()) != kSuccess) {
                error = file + ": cannot read the registry's keys";
                return false;
            }
            if (!SaveNode(added, key.get(), depth + 1, below(name), changed))
                return false;
        }
        return true;
    }
};

MountedHive::MountedHive() : impl_(std::make_unique<Impl>()) {}
MountedHive::~MountedHive() = default;

bool MountedHive::Open(const std::string& file, std::string* error) {
    file_ = file;
    impl_->file = file;
    std::ifstream in(file, std::ios::binary);
    char header[12] = {};
    if (!in.read(header, sizeof(header))) {
        errno = 0;
        *error = file + ": not a hive (too short or unreadable)";
        return false;
    }
    clean_ = GetLe32(header + 4) == GetLe32(header + 8);
    // HIVEX_OPEN_WRITE only lets later changes be made in memory: the file is
    // read through a read-only descriptor either way.
    errno = 0;
    impl_->h = hivex_open(file.c_str(), HIVEX_OPEN_WRITE);
    if (impl_->h == nullptr) {
        *error = Reason(file, "not a hive or a damaged one");
        return false;
    }
    return true;
}

bool MountedHive::ReadDword(std::string_view keyPath, std::string_view name,
                            std::uint32_t* value) const {
    if (impl_->h == nullptr)
        return false;
    hive_node_h node = hivex_root(impl_->h);
    for (std::string_view part : text::Split(keyPath, '\\')) {
        if (node == 0)
            return false;
        if (!part.empty())
            node = hivex_node_get_child(impl_->h, node, std::string(part).c_str());
    }
    if (node == 0)
        return false;
    hive_value_h v = hivex_node_get_value(impl_->h, node, std::string(name).c_str());
    hive_type type{};
    std::size_t length = 0;
    if (v == 0 || hivex_value_type(impl_->h, v, &type, &length) != 0 || type != hive_t_REG_DWORD ||
        length != 4)
        return false;
    *value = static_cast<std::uint32_t>(hivex_value_dword(impl_->h, v));
    return true;
}

bool MountedHive::Load(MemoryRegistry& registry, HKey root, std::string keyPath,
                       std::map<std::string, std::string> aliases, std::string* error) {
    Impl& m = *impl_;
    m.reg = &registry;
    m.root = root;
    m.keyPath = std::move(keyPath);
    m.aliases = std::move(aliases);
    MemoryKey top(registry);
    if (Status s = registry.CreateKey(root, m.keyPath, kRegOptionNonVolatile, kKeyAllAccess,
                                      top.out(), nullptr);
        s != kSuccess) {
        *error =
            file_ + ": cannot create the key it is loaded into (error " + std::to_string(s) + ")";
        return false;
    }
    std::vector<std::string> existing;
    if (MemorySubKeys(registry, top.get(), &existing)) {
        for (const std::string& name : existing)
            m.before.insert(text::ToLower(name));
    }
    m.seen.clear();
    if (!m.LoadNode(hivex_root(m.h), top.get(), 0)) {
        *error = m.error;
        return false;
    }
    m.seen.clear();
    return true;
}

bool MountedHive::Save(MemoryRegistry& registry, bool* changed, std::string* error) {
    Impl& m = *impl_;
    bool any = false;
    if (changed != nullptr)
        *changed = false;
    if (m.h == nullptr || m.reg != &registry) {
        *error = file_ + ": not loaded";
        return false;
    }
    MemoryKey top(registry);
    Status s = registry.OpenKey(m.root, m.keyPath, kKeyRead, top.out());
    if (s != kSuccess) {
        *error = file_ + ": the key it was loaded into is gone (error " + std::to_string(s) + ")";
        return false;
    }
    m.excluded = excluded_;
    if (!m.SaveNode(hivex_root(m.h), top.get(), 0, "", &any)) {
        *error = m.error;
        return false;
    }
    if (!any)
        return true;

    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string backup = file_ + std::string(kHiveBackupSuffix);
    const std::string fresh = file_ + std::string(kHiveNewSuffix);
    // The copy from before the first change is the one to keep.
    if (!fs::exists(backup, ec)) {
        if (!fs::copy_file(file_, backup, ec) || !SyncFile(backup)) {
            fs::remove(backup, ec);
            *error = "Cannot keep a copy of " + file_ + " as " + backup;
            return false;
        }
    }
    errno = 0;
    if (hivex_commit(m.h, fresh.c_str(), 0) != 0) {
        *error = Reason(fresh, "cannot write the new hive");
        fs::remove(fresh, ec);
        return false;
    }
    // Only a whole hive that reads back replaces the original.
    hive_h* check = hivex_open(fresh.c_str(), 0);
    if (check == nullptr || !SyncFile(fresh)) {
        if (check != nullptr)
            hivex_close(check);
        *error = fresh + ": the new hive does not read back; " + file_ + " is unchanged";
        fs::remove(fresh, ec);
        return false;
    }
    hivex_close(check);
    fs::rename(fresh, file_, ec);
    if (ec) {
        *error = "Cannot replace " + file_ + ": " + ec.message();
        fs::remove(fresh, ec);
        return false;
    }
    if (changed != nullptr)
        *changed = true;
    return true;
}

}  // namespace platform::host
