#include "shields/ShieldSet.h"

namespace shields {

std::vector<std::unique_ptr<Shield>> MakeShields(ShieldServices& services) {
    (void)services;
    std::vector<std::unique_ptr<Shield>> list;
    return list;
}

}  // namespace shields
