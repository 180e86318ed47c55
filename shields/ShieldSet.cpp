#include "shields/ShieldSet.h"

#include "shields/BrowserShield.h"
#include "shields/StartupShield.h"
#include "shields/places/PlaceShields.h"

namespace shields {

std::vector<std::unique_ptr<Shield>> MakeShields(ShieldServices& services) {
    std::vector<std::unique_ptr<Shield>> list;
    list.push_back(std::make_unique<BrowserShield>(services));
    list.push_back(std::make_unique<FavoritesFolderShield>(services));
    list.push_back(std::make_unique<CookieFolderShield>(services));
    list.push_back(std::make_unique<StartupShield>(services));
    list.push_back(std::make_unique<HostsFileShield>(services));
    return list;
}

}  // namespace shields
