#pragma once
// A registry held in memory that behaves like the Windows one: the four
// roots, names compared with case folding (beyond ASCII) and kept as written,
// subkeys in case-insensitive order of their UTF-16 names, values in creation
// order (a value written again keeps its place), access rights, handles of
// deleted keys, volatile keys and change notifications. Error codes are the
// ones Windows gives (checked against Wine by the conformance cases).
//
// Like Windows, HKEY_CLASSES_ROOT is the same key as
// HKEY_LOCAL_MACHINE\Software\Classes, the 32-bit view (kKeyWow64_32Key) of
// HKEY_LOCAL_MACHINE\Software is its Wow6432Node subkey, and, once
// LinkCurrentUser names a SID, HKEY_USERS\<SID> is HKEY_CURRENT_USER. Keys
// opened, created or deleted below HKEY_CLASSES_ROOT are the user's
// (HKEY_CURRENT_USER\Software\Classes) where the user has that key, else the
// machine's; enumerating HKEY_CLASSES_ROOT itself lists the machine's.
// A new registry holds HKEY_LOCAL_MACHINE\Software\Classes and
// HKEY_CURRENT_USER\Software.
//
// Size rules beyond Win32's: when a name buffer is too small the call answers
// kErrorMoreData with the capacity needed (terminating zero included).
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registry.h"

namespace platform::host {

class MemoryRegistry : public Registry {
  public:
    // Called at the start of every operation on a valid handle with the
    // operation's name ("OpenKey", "CreateKey", "SetValue", "DeleteKey",
    // "DeleteValue", "QueryValue", "EnumKey", "EnumValue", "QueryInfoKey",
    // "NotifyChangeKeyValue") and the full path of the key it acts on as the
    // caller named it, e.g. "HKEY_LOCAL_MACHINE\\Software\\X" (for OpenKey,
    // CreateKey and DeleteKey the handle's path joined with the subkey, without
    // empty components). A nonzero result fails the call with that code. It is
    // called without the registry's lock held, so it may use the registry.
    using FaultHook = std::function<Status(std::string_view operation, std::string_view keyPath)>;

    MemoryRegistry();
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    Status OpenKey(HKey parent, std::string_view subKey, std::uint32_t access,
                   HKey* result) override;
    Status CreateKey(HKey parent, std::string_view subKey, std::uint32_t options,
                     std::uint32_t access, HKey* result, bool* created) override;
    Status CloseKey(HKey key) override;
    Status QueryValue(HKey key, std::string_view name, std::uint32_t* type, void* data,
                      std::uint32_t* size) override;
    Status SetValue(HKey key, std::string_view name, std::uint32_t type, const void* data,
                    std::uint32_t size) override;
    Status DeleteValue(HKey key, std::string_view name) override;
    Status DeleteKey(HKey parent, std::string_view subKey) override;
    Status EnumKey(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                   char* className, std::uint32_t* classSize) override;
    Status EnumValue(HKey key, std::uint32_t index, char* name, std::uint32_t* nameSize,
                     std::uint32_t* type, void* data, std::uint32_t* dataSize) override;
    Status QueryInfoKey(HKey key, KeyInfo* info) override;
    // Ends with kSuccess on a matching change (writing a value's same type
    // and data again is none), kErrorInvalidHandle when the handle is closed
    // or the registry destroyed, kErrorKeyDeleted when the key is deleted.
    Status NotifyChangeKeyValue(HKey key, bool watchSubtree, std::uint32_t filter) override;
    // Answers kErrorNotSupported.
    Status ConnectRegistry(std::string_view machine, HKey root, HKey* result) override;

    // Test hooks.

    // An open or create of exactly this key (not its subkeys) asking for any
    // right in `deniedMask` fails with kErrorAccessDenied; DeleteKey asks for
    // DELETE (0x00010000). A mask of 0 lifts the denial.
    void DenyAccess(HKey root, std::string_view path, std::uint32_t deniedMask);
    // Replaces the fault hook; an empty function removes it.
    void SetFaultHook(FaultHook hook);
    // Calls blocked in NotifyChangeKeyValue now.
    std::size_t WatchCount() const;
    // Makes HKEY_USERS\<sid> the same key as HKEY_CURRENT_USER.
    void LinkCurrentUser(std::string_view sid);

    // Introspection for tests and for saving.

    // Number of handles currently open (predefined roots not counted).
    std::size_t OpenHandleCount() const;
    // Number of NotifyChangeKeyValue calls currently blocked.
    std::size_t PendingNotifyCount() const;
    // True when the key exists and was created volatile (or lies below such
    // a key). Paths are relative to `root`, '\\' separated.
    bool IsVolatile(HKey root, std::string_view path) const;
    // True when the key is an alias of another (HKEY_USERS\<sid> after
    // LinkCurrentUser): a whole-registry walk skips it.
    bool IsLink(HKey root, std::string_view path) const;

  private:
    struct Node;
    struct Handle {
        std::shared_ptr<Node> node;
        std::uint32_t access = 0;
        std::string path;  // full path as the caller named it
    };
    struct Watch;
    struct Target;

    using Lock = std::unique_lock<std::mutex>;

    Status Resolve(HKey key, Handle* out) const;  // with lock held
    Status Walk(const Handle& from, std::string_view subKey, std::uint32_t access, bool create,
                bool isVolatile, Target* out);
    Status CallHook(std::string_view operation, const std::string& path);
    // Looks the handle up, runs the fault hook for `operation` (on the
    // handle's path, or its subkey's when given), then locks and looks the
    // handle up again.
    // Below HKEY_CLASSES_ROOT a key of the user's classes
    // (HKEY_CURRENT_USER\Software\Classes) comes before the machine's one of
    // the same name, as Windows merges the two. Lock held.
    bool FindUserClass(HKey parent, const Handle& from, std::string_view subKey,
                       std::uint32_t access, Target* out);
    Status Enter(HKey key, std::string_view operation, const std::string_view* subKey, Lock* lock,
                 Handle* h);
    bool Denied(const std::string& canonicalPath, std::uint32_t access) const;
    std::string CanonicalPath(const Node* node) const;
    HKey AddHandle(std::shared_ptr<Node> node, std::uint32_t access, std::string path);
    void Notify(const Node* changed, std::uint32_t change);
    void WakeWatchersOf(const Node* node, Status result);
    Node* FindPath(HKey root, std::string_view path) const;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::shared_ptr<Node> hklm_, hkcu_, hku_, classes_;
    std::map<HKey, Handle> handles_;
    HKey nextHandle_ = 0x1000;
    std::vector<Watch*> watches_;
    std::map<std::u16string, std::uint32_t> denied_;  // folded canonical path -> mask
    std::shared_ptr<FaultHook> hook_;
    bool shuttingDown_ = false;
};

}  // namespace platform::host
