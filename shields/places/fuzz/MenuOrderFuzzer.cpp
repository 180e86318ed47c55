// The "Order" value is written by whatever runs as the user; the reader must
// stay inside it and give names that stay inside the Favorites folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "shields/places/MenuOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> blob(data, size);
    for (shields::OrderNameForm form :
         {shields::OrderNameForm::kPlain, shields::OrderNameForm::kXp}) {
        for (const shields::OrderItem& item : shields::ReadMenuOrder(blob, form)) {
            if (item.name.empty() || item.name.find_first_of("\\/:") != std::string::npos ||
                item.name == "..")
                std::abort();
        }
    }
    return 0;
}
