#pragma once
// The address of a favorite, read through the shell's Internet Shortcut
// object (the same object the browser reads .url files with).
#include "shields/places/Favorites.h"

namespace shields::win32 {

class InternetShortcutResolver : public ShortcutResolver {
  public:
    // The calling thread must have COM initialised.
    std::optional<std::string> ResolveShortcutUrl(std::string_view path) override;
};

}  // namespace shields::win32
